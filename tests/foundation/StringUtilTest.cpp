#include "foundation/StringUtil.h"

#include <gtest/gtest.h>

#include <windows.h>

using Texts = std::vector<std::wstring>;

TEST(StringUtilTest, ReplaceAllGoesOnBehindEachInsertedValue) {
    struct Case {
        const wchar_t* text;
        const wchar_t* from;
        const wchar_t* to;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"abc", L"", L"x", L"abc"},
        {L"aaa", L"a", L"aa", L"aaaaaa"},
        {L"aaaa", L"aa", L"b", L"bb"},
        {L"aaa", L"aa", L"a", L"aa"},
        {L"a-b--c-", L"-", L"", L"abc"},
        {L"%20%20x", L"%20", L" ", L"  x"},
        {L"%__TITLE__%", L"%__TITLE__%", L"%__TITLE__%!", L"%__TITLE__%!"},
        {L"動画と動画", L"動画", L"映像", L"映像と映像"},
        {L"", L"a", L"b", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.text << " | " << c.from << " -> " << c.to);
        std::wstring text = c.text;
        ReplaceAll(text, c.from, c.to);
        EXPECT_EQ(text, c.expected);
    }
}

TEST(StringUtilTest, SplitKeepsOrDropsEmptyPieces) {
    struct Case {
        const wchar_t* text;
        const wchar_t* delimiters;
        bool dropEmpty;
        Texts expected;
    };
    const Case cases[] = {
        {L"a,,b", L",", false, {L"a", L"", L"b"}},
        {L"a,,b", L",", true, {L"a", L"b"}},
        {L",a", L",", false, {L"", L"a"}},
        {L"a,b,", L",", false, {L"a", L"b"}},
        {L"a,,", L",", false, {L"a", L""}},
        {L",", L",", false, {L""}},
        {L",,", L",", true, {}},
        {L"", L",", false, {}},
        {L"a", L",", true, {L"a"}},
        {L"a;b,c\nd", L";,\n", false, {L"a", L"b", L"c", L"d"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "\"" << c.text << "\" drop " << c.dropEmpty);
        EXPECT_EQ(Split(c.text, c.delimiters, c.dropEmpty), c.expected);
    }
}

TEST(StringUtilTest, JoinEraseAndListHelpers) {
    EXPECT_EQ(JoinStrings({}, L", "), L"");
    EXPECT_EQ(JoinStrings({L"a"}, L", "), L"a");
    EXPECT_EQ(JoinStrings({L"a", L"", L"b"}, L"\n"), L"a\n\nb");

    std::wstring text = L"a<!--x-->b<!--y-->c";
    EXPECT_TRUE(EraseBetween(text, L"<!--", L"-->"));
    EXPECT_EQ(text, L"ab<!--y-->c");
    for (const wchar_t* unchanged : {L"a<!--x", L"a-->b<!--"}) {
        text = unchanged;
        EXPECT_FALSE(EraseBetween(text, L"<!--", L"-->"));
        EXPECT_EQ(text, unchanged);
    }

    Texts texts = {L"b", L"a", L"b", L"B", L"a", L""};
    EXPECT_TRUE(ContainsString(texts, L"B"));
    EXPECT_FALSE(ContainsString(texts, L"c"));
    RemoveDuplicateStrings(texts);
    EXPECT_EQ(texts, (Texts{L"b", L"a", L"B", L""}));
}

TEST(StringUtilTest, CaseNumbersAndSlashes) {
    EXPECT_EQ(ToLower(L"ABC xyz ＡＢＣ 動画"), L"abc xyz ａｂｃ 動画");

    struct IntCase {
        const wchar_t* text;
        int value;
    };
    const IntCase ints[] = {{L"12", 12}, {L"-3", -3}, {L"+4", 4},          {L"0", 0},   {L"1a", 0},
                            {L"", 0},    {L" 1", 0},  {L"99999999999", 0}, {L"1.5", 0}, {L"2147483647", 2147483647},
                            {L"-", 0}};
    for (const auto& c : ints) {
        EXPECT_EQ(ToIntOrZero(c.text), c.value) << "\"" << c.text << "\"";
    }

    EXPECT_EQ(TrimSlashes(L"/a.*b/"), L"a.*b");
    EXPECT_EQ(TrimSlashes(L"//"), L"");
    EXPECT_EQ(TrimSlashes(L"/"), L"/");
    EXPECT_EQ(TrimSlashes(L"/a"), L"/a");
    EXPECT_EQ(TrimSlashes(EncloseInSlashes(L"/x/")), L"/x/");
}

TEST(StringUtilTest, ConvertsJapaneseThroughAnsiAndUtf8) {
    // The test prefix runs with the Japanese code page, as the program's users do.
    ASSERT_EQ(GetACP(), 932u);
    const std::wstring text = L"日本語 abc ｱｲ";
    const std::string ansi = WideToAnsi(text);
    EXPECT_EQ(ansi, "\x93\xfa\x96\x7b\x8c\xea abc \xb1\xb2");
    EXPECT_EQ(AnsiToWide(ansi), text);

    const std::wstring wide = L"日本 \U0002000B";
    const std::string utf8 = WideToUtf8(wide);
    EXPECT_EQ(utf8, "\xe6\x97\xa5\xe6\x9c\xac \xf0\xa0\x80\x8b");
    EXPECT_EQ(Utf8ToWide(utf8), wide);

    EXPECT_EQ(WideToAnsi(L""), "");
    EXPECT_EQ(Utf8ToWide(""), L"");
}

TEST(StringUtilTest, SplitCommandLineDropsProgramAndHonoursQuotes) {
    struct Case {
        const wchar_t* text;
        Texts args;
    };
    const Case cases[] = {
        {L"", {}},
        {L"prog", {}},
        {L"prog a  b", {L"a", L"b"}},
        {L"\"C:\\Program Files\\p.exe\" \"x y\" z", {L"x y", L"z"}},
        {L"dummy exec=\"C:\\a b\\t.exe\" -x", {L"exec=C:\\a b\\t.exe", L"-x"}},
        {L"prog a\\\"b", {L"a\"b"}},
        {L"prog \"a\\\\\" b", {L"a\\", L"b"}},
        {L"prog C:\\dir\\ \"\"", {L"C:\\dir\\", L""}},
        {L"player -shift time=\"-1.5\"", {L"-shift", L"time=-1.5"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(SplitCommandLine(c.text), c.args);
    }
}

TEST(StringUtilTest, GetArgValueTakesLastAndGetArgValueFirstTheFirst) {
    const Texts args = {L"get", L"id=sm1", L"-multi", L"idx=9", L"id=sm2", L"id="};
    EXPECT_EQ(GetArgValue(args, L"id=", L"none"), L"");
    EXPECT_EQ(GetArgValueFirst(args, L"id=", L"none"), L"sm1");
    EXPECT_EQ(GetArgValue(args, L"idx=", L"none"), L"9");
    EXPECT_EQ(GetArgValue(args, L"vpos=", L"none"), L"none");
    EXPECT_EQ(GetArgValueFirst(args, L"vpos=", L""), L"");
    EXPECT_EQ(GetArgValue({L"id=sm1", L"id=sm2"}, L"id=", L""), L"sm2");
    EXPECT_EQ(GetArgValue({}, L"id=", L"d"), L"d");
}
