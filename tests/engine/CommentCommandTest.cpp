#include "engine/CommentCommand.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using namespace comment_flags;

TEST(CommentCommandTest, FlagsHaveOnePositionAndOneSizeBitWhateverTheWords) {
    struct Case {
        const wchar_t* mail;
        CommentFlags expected;
    };
    const Case cases[] = {
        {L"", kNaka | kMedium},
        {L"184", kNaka | kMedium | k184},
        {L"ue", kUe | kMedium},
        {L"shita big", kShita | kBig},
        {L"small naka sage", kNaka | kSmall | kSage},
        {L"ue shita", kShita | kMedium},          // the last position word counts
        {L"big small medium", kNaka | kMedium},   // and the last size word
        {L"184\x3000ue\tbig", kUe | kBig | k184}, // full-width space and tab separate words
        {L"  sage   184  ", kNaka | kMedium | k184 | kSage},
        {L"blue", kNaka | kMedium}, // a word, not a part of one
        {L"bigger ueue 1845", kNaka | kMedium},
        {L"UE BIG", kNaka | kMedium}, // words are lower-case
    };
    for (const Case& c : cases) {
        const CommentFlags flags = ParseCommandFlags(c.mail);
        EXPECT_EQ(flags, c.expected) << testing::PrintToString(std::wstring(c.mail));
        const CommentFlags position = flags & kPositionMask;
        const CommentFlags size = flags & kSizeMask;
        EXPECT_TRUE(position == kNaka || position == kUe || position == kShita);
        EXPECT_TRUE(size == kMedium || size == kBig || size == kSmall);
    }
}

TEST(CommentCommandTest, ColourFromAWordOrACodeWhiteOtherwise) {
    struct Case {
        const wchar_t* mail;
        COLORREF expected;
    };
    const Case cases[] = {
        {L"", RGB(0xFF, 0xFF, 0xFF)},
        {L"184 ue", RGB(0xFF, 0xFF, 0xFF)},
        {L"red", RGB(0xFF, 0x00, 0x00)},
        {L"shita blue big", RGB(0x00, 0x00, 0xFF)},
        {L"#00FF80", RGB(0x00, 0xFF, 0x80)}, // COLORREF holds blue in its high byte
        {L"#a0b1c2", RGB(0xA0, 0xB1, 0xC2)},
        {L"red #0000FF", RGB(0x00, 0x00, 0xFF)}, // the last colour word counts
        {L"#0000FF red", RGB(0xFF, 0x00, 0x00)},
        {L"purple2", RGB(0x66, 0x33, 0xCC)},
        {L"violet", RGB(0x66, 0x33, 0xCC)},
        {L"#12345 #GG0000 #1234567 ##123456 red2x", RGB(0xFF, 0xFF, 0xFF)},
        {L"reds", RGB(0xFF, 0xFF, 0xFF)},
        {L"Red", RGB(0xFF, 0xFF, 0xFF)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseCommandColor(c.mail), c.expected) << testing::PrintToString(std::wstring(c.mail));
    }
}

TEST(CommentCommandTest, ColourTableRowsAndLists) {
    const wchar_t* const basic[] = {L"white", L"red",  L"pink", L"orange", L"yellow",
                                    L"green", L"cyan", L"blue", L"purple", L"black"};
    for (int row = 0; row < 10; ++row) {
        EXPECT_EQ(GetColorName(row), basic[row]);
    }
    EXPECT_EQ(GetColorName(10), L"white2");
    EXPECT_EQ(GetColorName(22), L"purple2");
    EXPECT_EQ(GetColorName(-1), L"");
    EXPECT_EQ(GetColorName(GetColorCount()), L"");

    const std::vector<std::wstring>& names = GetColorNameList();
    ASSERT_EQ(names.size(), 24u);
    std::vector<std::wstring> premium;
    AddPremiumColors(premium);
    ASSERT_EQ(premium.size(), 14u);
    EXPECT_TRUE(std::equal(premium.begin(), premium.end(), names.begin() + 10));

    // Every word of the table is understood; a premium colour and its other name are one colour.
    std::set<COLORREF> colours;
    for (size_t row = 0; row < names.size(); ++row) {
        const COLORREF colour = ParseCommandColor(L"184 " + names[row]);
        EXPECT_TRUE(row == 0 || colour != RGB(0xFF, 0xFF, 0xFF)) << names[row];
        if (row >= 10 && row % 2 == 1) {
            EXPECT_EQ(colour, ParseCommandColor(names[row - 1])) << names[row];
        }
        colours.insert(colour);
    }
    EXPECT_EQ(colours.size(), 17u);
}

} // namespace
