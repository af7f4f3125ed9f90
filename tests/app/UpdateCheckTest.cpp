#include "app/UpdateCheck.h"

#include <gtest/gtest.h>

namespace {

TEST(UpdateCheckTest, VersionsCompareAsTexts) {
    struct Case {
        const wchar_t* latest;
        bool newer;
    };
    const Case cases[] = {{L"1.29", true}, {L"1.28", false}, {L"1.27", false}, {L"", false},
                          {L"1.28\r\n", false}, {L"1.29\r\n", true}, {L"2.00", true}, {L"0.99", false}, {L" \n", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(IsNewerVersion(c.latest, L"1.28"), c.newer) << c.latest;
    }
}

} // namespace
