#include "client/Account.h"
#include "client/ListPages.h"

#include "tests/client/ClientTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using ListPagesTest = client_testing::FakeServiceTest;

std::vector<std::wstring> IdsOf(const std::wstring& text) {
    std::vector<std::wstring> ids;
    GetVideoIdFromJson(ids, text);
    return ids;
}

} // namespace

TEST(VideoIdFromJsonTest, EveryVideoIdValueIsAppended) {
    struct Case {
        const wchar_t* text;
        std::vector<std::wstring> ids;
    };
    const Case cases[] = {
        {L"{\"item_data\":{\"video_id\":\"sm9\"},\"x\":{\"video_id\" : \"nm10\"}}", {L"sm9", L"nm10"}},
        {L"{\"watch_id\":\"sm9\",\"video_id\":1}", {}},
        {L"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IdsOf(c.text), c.ids);
    }
    std::vector<std::wstring> ids{L"so1"};
    GetVideoIdFromJson(ids, L"\"video_id\":\"sm2\"");
    EXPECT_EQ(ids, (std::vector<std::wstring>{L"so1", L"sm2"}));
}

TEST_F(ListPagesTest, MylistAndOwnListTexts) {
    std::wstring text;
    ASSERT_TRUE(GetMylistPage(Url(L"mylist/123"), text));
    EXPECT_EQ(IdsOf(text), (std::vector<std::wstring>{L"sm9", L"nm10"}));
    EXPECT_FALSE(GetMylistPage(Url(L"my/mylist"), text));
    EXPECT_TRUE(LogHas(L"Error : GetMylistPage()"));

    // The own list needs the login.
    ASSERT_TRUE(GetDeflistPage(text));
    EXPECT_TRUE(IdsOf(text).empty()) << text;
    ASSERT_TRUE(Login(L"user@example.com", L"pass word&1"));
    ASSERT_TRUE(GetDeflistPage(text));
    EXPECT_EQ(IdsOf(text), (std::vector<std::wstring>{L"nm10", L"sm9"}));

    const auto requests = m_fake.Requests();
    EXPECT_EQ(requests.front().path, L"/api/mylist/list?group_id=123");
    EXPECT_EQ(requests.back().path, L"/api/deflist/list");
}
