#include "foundation/Regex.h"

#include "foundation/CBaseDebug.h"
#include "foundation/StringUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using Texts = std::vector<std::wstring>;

namespace {

int CountLogLinesNaming(const std::wstring& text) {
    int count = 0;
    for (const auto& line : Split(testing_support::WindowText(DebugLog().GetEditControl()), L"\r\n", true)) {
        if (line.find(text) != std::wstring::npos) {
            ++count;
        }
    }
    return count;
}

} // namespace

TEST(RegexTest, SearchReturnsWholeMatchAndEveryGroup) {
    struct Case {
        const wchar_t* text;
        const wchar_t* pattern;
        bool found;
        Texts groups;
    };
    const Case cases[] = {
        {L"id=sm9&x=1", L"id=([a-z]+)([0-9]+)", true, {L"id=sm9", L"sm", L"9"}},
        // A group that took no part is empty, and later groups keep their places.
        {L"ab", L"(a)(x)?(b)", true, {L"ab", L"a", L"", L"b"}},
        {L"b", L"(a)|(b)", true, {L"b", L"", L"b"}},
        // "." also matches a line end.
        {L"a\r\nb", L"a.+b", true, {L"a\r\nb"}},
        // "^" and "$" hold at every line.
        {L"x\nkey=1\ny", L"^key=(\\d)$", true, {L"key=1", L"1"}},
        {L"タイトル(sm9)", L"(.+)\\(sm9\\)", true, {L"タイトル(sm9)", L"タイトル"}},
        {L"abc", L"x", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.text << " | " << c.pattern);
        Texts out = {L"stale"};
        EXPECT_EQ(RegexSearch(c.text, c.pattern, out), c.found);
        EXPECT_EQ(out, c.groups);
    }
}

TEST(RegexTest, MatchNeedsTheWholeText) {
    EXPECT_TRUE(RegexMatch(L"abc", L"a.c"));
    EXPECT_FALSE(RegexMatch(L"abc", L"b"));
    EXPECT_FALSE(RegexMatch(L"abcd", L"a.c"));
    EXPECT_TRUE(RegexMatch(L"ファイルのダウンロード", L"ファイルの.+"));
    EXPECT_TRUE(RegexMatch(L"", L".*"));
}

TEST(RegexTest, ReplaceEveryMatchWithFormat) {
    struct Case {
        const wchar_t* text;
        const wchar_t* pattern;
        const wchar_t* format;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"a1b22", L"\\d+", L"<$0>", L"a<1>b<22>"},
        {L"one two", L"(\\w+) (\\w+)", L"$2 $1", L"two one"},
        {L"NG word here", L"(^|\\W)word($|\\W)", L"$1$2", L"NG  here"},
        {L"l1\nl2", L"^", L"> ", L"> l1\n> l2"},
        {L"abc", L"x", L"y", L"abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.text << " | " << c.pattern);
        std::wstring text = c.text;
        EXPECT_TRUE(RegexReplace(text, c.pattern, c.format));
        EXPECT_EQ(text, c.expected);
    }
}

TEST(RegexTest, GrepAppendsNonEmptyGroupsInOrder) {
    Texts out = {L"kept"};
    RegexGrep(1, L"k=1;k=;k=33;x=4", L"k=(\\d*)", out);
    EXPECT_EQ(out, (Texts{L"kept", L"1", L"33"}));

    out.clear();
    RegexGrep(0, L"sm1\nxsm2\nsm3", L"^sm\\d", out);
    EXPECT_EQ(out, (Texts{L"sm1", L"sm3"}));

    out.clear();
    RegexGrep(2, L"a1 b c3", L"([a-z])(\\d)?", out);
    EXPECT_EQ(out, (Texts{L"1", L"3"}));
}

TEST(RegexTest, GetRegexGroupOfFirstMatch) {
    struct Case {
        const wchar_t* pattern;
        const wchar_t* text;
        int n;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"v=(\\d+)", L"v=1 v=2", 0, L"v=1"}, {L"v=(\\d+)", L"v=1 v=2", 1, L"1"}, {L"v=(\\d+)", L"v=1", 2, L""},
        {L"v=(\\d+)", L"v=1", -1, L""},       {L"v=(\\d+)", L"w=1", 0, L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetRegexGroup(c.pattern, c.text, c.n), c.expected) << c.pattern << " " << c.n;
    }
}

TEST(RegexTest, EscapedTextMatchesOnlyItself) {
    const std::wstring literal = L"a.b[c]{1}(x)\\*+?|^$ 動画";
    const std::wstring escaped = RegexEscape(literal);
    EXPECT_TRUE(RegexMatch(literal, escaped));
    EXPECT_FALSE(RegexMatch(L"aXb[c]{1}(x)\\*+?|^$ 動画", escaped));
    EXPECT_EQ(GetRegexGroup(L"\\(" + RegexEscape(L"sm9") + L"\\)", L"t(sm9).mp4", 0), L"(sm9)");
}

TEST(RegexTest, BadPatternIsLoggedOnceAndMatchesNothing) {
    // A pattern of its own per run, since each faulty pattern is reported once per process.
    static int runs = 0;
    const std::wstring pattern = L"(unclosed RegexTest " + std::to_wstring(++runs) + L" ";
    ASSERT_NE(DebugLog().GetEditControl(), nullptr);
    ASSERT_EQ(CountLogLinesNaming(pattern), 0);
    for (int round = 0; round < 2; ++round) {
        Texts out = {L"stale"};
        EXPECT_FALSE(RegexSearch(pattern, pattern, out));
        EXPECT_TRUE(out.empty());
        EXPECT_FALSE(RegexMatch(L"x", pattern));
        out = {L"kept"};
        RegexGrep(0, L"x", pattern, out);
        EXPECT_EQ(out, Texts{L"kept"});
        EXPECT_EQ(GetRegexGroup(pattern, L"x", 0), L"");
        std::wstring text = L"unchanged";
        EXPECT_FALSE(RegexReplace(text, pattern, L"y"));
        EXPECT_EQ(text, L"unchanged");
    }
    EXPECT_EQ(CountLogLinesNaming(pattern), 1);
    EXPECT_EQ(CountLogLinesNaming(L"Error : Regex : " + pattern), 1);
}
