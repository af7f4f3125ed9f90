#include "windows/VideoInfoRequests.h"

#include <gtest/gtest.h>

namespace {

TEST(VideoInfoRequestsTest, SameSourceTwiceBuildsOnceAndEmptyStartsNothing) {
    CVideoInfoRequests requests;
    auto first = requests.Submit(L"http://x/watch/sm1");
    EXPECT_TRUE(first.changed && first.startBuild);
    EXPECT_FALSE(requests.Submit(L"http://x/watch/sm1").changed);
    auto empty = requests.Submit(L"");
    EXPECT_TRUE(empty.changed);
    EXPECT_FALSE(empty.startBuild);
    EXPECT_FALSE(requests.Submit(L"").changed);
}

TEST(VideoInfoRequestsTest, NewerRequestSupersedesARunningBuildEvenWhenEmpty) {
    CVideoInfoRequests requests;
    auto a = requests.Submit(L"a.txt");
    EXPECT_TRUE(requests.IsCurrent(a.generation));
    auto b = requests.Submit(L"b.txt");
    EXPECT_FALSE(requests.IsCurrent(a.generation));
    EXPECT_TRUE(requests.IsCurrent(b.generation));
    requests.Submit(L"");
    EXPECT_FALSE(requests.IsCurrent(b.generation));
    // A superseded build cannot set the last-build flag; the current one can.
    requests.SetLastBuild(b.generation);
    EXPECT_FALSE(requests.IsLastBuild());
    auto c = requests.Submit(L"c.txt");
    requests.SetLastBuild(c.generation);
    EXPECT_TRUE(requests.IsLastBuild());
}

}  // namespace
