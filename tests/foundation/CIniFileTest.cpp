#include "foundation/CIniFile.h"

#include "foundation/StringUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

class CIniFileTest : public testing_support::TempFolderTest {
protected:
    std::wstring Path() const { return PathOf(L"velaplayer.ini"); }
    // The file's text: UTF-16LE behind the mark FF FE (what a new file gets), else ANSI.
    std::wstring FileText() const {
        const std::string bytes = ReadBytes(Path());
        if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
            return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
        }
        return AnsiToWide(bytes);
    }
};

TEST_F(CIniFileTest, NumbersAndBoolsRoundTripAndMissingKeysGiveTheDefault) {
    CIniFile ini(Path(), L"main");
    const int32_t ints[] = {0, 1, -1, 400, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
    for (const int32_t value : ints) {
        ASSERT_TRUE(ini.Write(L"", L"Int", value));
        EXPECT_EQ(ini.ReadInt(L"", L"Int", 0x80000000), value);
    }
    const int64_t longs[] = {0, -1, 1700000000123, std::numeric_limits<int64_t>::min(),
                             std::numeric_limits<int64_t>::max()};
    for (const int64_t value : longs) {
        ASSERT_TRUE(ini.Write(L"", L"LastNotifyUpdate", value));
        EXPECT_EQ(ini.ReadInt64(L"", L"LastNotifyUpdate", 5), value);
    }
    ASSERT_TRUE(ini.Write(L"", L"Color", 0xFFFFFFFFu));
    EXPECT_EQ(ini.ReadString(L"", L"Color", L""), L"4294967295");
    ASSERT_TRUE(ini.Write(L"", L"On", true));
    ASSERT_TRUE(ini.Write(L"", L"Off", false));
    EXPECT_TRUE(ini.ReadBool(L"", L"On", false));
    EXPECT_FALSE(ini.ReadBool(L"", L"Off", true));

    const std::wstring file = FileText();
    EXPECT_NE(file.find(L"On=1\r\n"), std::wstring::npos);
    EXPECT_NE(file.find(L"Off=0\r\n"), std::wstring::npos);

    EXPECT_EQ(ini.ReadInt(L"", L"Missing", 0x80000000), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ini.ReadInt64(L"", L"Missing", -5), -5);
    EXPECT_TRUE(ini.ReadBool(L"", L"Missing", true));
    EXPECT_FALSE(ini.ReadBool(L"", L"Missing", false));
    EXPECT_EQ(ini.ReadString(L"", L"Missing", L"jp"), L"jp");
    EXPECT_EQ(ini.Read(L"info", L"Missing", L"default"), L"default");
}

TEST_F(CIniFileTest, EmptySectionIsTheDefaultOneAndNamesIgnoreCase) {
    CIniFile ini(Path(), L"main");
    ASSERT_TRUE(ini.Write(L"", L"Width", 400));
    ASSERT_TRUE(ini.Write(L"info", L"Width", 240));
    EXPECT_EQ(ini.ReadInt(L"MAIN", L"width", 0), 400);
    EXPECT_EQ(ini.ReadInt(L"Info", L"WIDTH", 0), 240);
    EXPECT_EQ(CIniFile(Path(), L"INFO").ReadInt(L"", L"width", 0), 240);
    EXPECT_EQ(FileText(), L"[main]\r\nWidth=400\r\n[info]\r\nWidth=240\r\n");
}

// What the platform does to a value on reading; the quoting of Write rests on it. Windows strips
// surrounding blanks and one pair of matching surrounding quotes as Wine does here.
TEST_F(CIniFileTest, ProfileFunctionsStripBlanksAndOnePairOfQuotes) {
    struct Case {
        std::wstring stored;
        std::wstring read;
    };
    const Case cases[] = {
        {L"  a b  ", L"a b"},     {L"\ta\t", L"a"},     {L"\"a\"", L"a"}, {L"'a'", L"a"},
        {L"\"\"a\"\"", L"\"a\""}, {L"\" a \"", L" a "}, {L"\"a", L"\"a"}, {L"a\"", L"a\""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WritePrivateProfileStringW(L"main", L"Key", c.stored.c_str(), Path().c_str()));
        wchar_t buffer[64] = {};
        GetPrivateProfileStringW(L"main", L"Key", L"", buffer, 64, Path().c_str());
        EXPECT_EQ(std::wstring(buffer), c.read) << testing::PrintToString(c.stored);
    }
}

TEST_F(CIniFileTest, TextValuesReadBackUnchanged) {
    struct Case {
        std::wstring value;
        std::wstring line; // as stored in the file
    };
    const Case cases[] = {
        {L"%path% %url%", L"Key=%path% %url%\r\n"},
        {L"", L"Key=\r\n"},
        {L" leading blank", L"Key=\" leading blank\"\r\n"},
        {L"trailing blank ", L"Key=\"trailing blank \"\r\n"},
        {L"\tleading tab", L"Key=\"\tleading tab\"\r\n"},
        {L"trailing tab\t", L"Key=\"trailing tab\t\"\r\n"},
        {L" ", L"Key=\" \"\r\n"},
        {L"\"quoted\"", L"Key=\"\"quoted\"\"\r\n"},
        {L"'single'", L"Key=\"'single'\"\r\n"},
        {L"\"opening only", L"Key=\"\"opening only\"\r\n"},
        {L"closing only\"", L"Key=closing only\"\r\n"},
        {L"\"", L"Key=\"\"\"\r\n"},
        {L"'", L"Key=\"'\"\r\n"},
        {L" \"both\" ", L"Key=\" \"both\" \"\r\n"},
        {L"(.+)\\([:id:]\\).+?", L"Key=(.+)\\([:id:]\\).+?\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.value));
        DeleteFileW(Path().c_str());
        ASSERT_TRUE(CIniFile(Path(), L"main").Write(L"", L"Key", c.value));
        EXPECT_EQ(FileText(), L"[main]\r\n" + c.line);
        EXPECT_EQ(CIniFile(Path(), L"main").ReadString(L"", L"Key", L"default"), c.value);
    }
    // Other white space is quoted too: which characters a reader strips is the platform's choice.
    ASSERT_TRUE(CIniFile(Path(), L"main").Write(L"", L"Key", L"　全角空白　"));
    EXPECT_EQ(CIniFile(Path(), L"main").ReadString(L"", L"Key", L""), L"　全角空白　");
}

TEST_F(CIniFileTest, LongValuesAreReadWhole) {
    CIniFile ini(Path(), L"main");
    const size_t lengths[] = {253, 254, 255, 256, 257, 510, 511, 512, 10000};
    for (const size_t length : lengths) {
        for (const wchar_t* lead : {L"", L" "}) {
            // The last character shows a cut.
            const std::wstring value = lead + std::wstring(length - 1, L'x') + L"終";
            ASSERT_TRUE(ini.Write(L"", L"Long", value));
            EXPECT_EQ(ini.ReadString(L"", L"Long", L""), value) << length << " characters, lead '" << lead << "'";
        }
    }
    const std::wstring longDefault(1000, L'd');
    EXPECT_EQ(ini.ReadString(L"", L"Missing", longDefault), longDefault);
}

TEST_F(CIniFileTest, NewFileGetsTheUtf16MarkAndKeepsEveryCharacter) {
    const std::wstring values[] = {L"ＭＳ Ｐゴシック", L"C:\\ユーザー\\動画\\保存先フォルダ", L"한국어\u00A0Ω€"};
    {
        CIniFile ini(Path(), L"main");
        for (size_t i = 0; i < 3; ++i) {
            ASSERT_TRUE(ini.Write(L"", L"Key" + std::to_wstring(i), values[i]));
        }
    }
    EXPECT_EQ(ReadBytes(Path()).substr(0, 2), "\xFF\xFE");
    CIniFile reloaded(Path(), L"main");
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(reloaded.ReadString(L"", L"Key" + std::to_wstring(i), L""), values[i]);
    }
}

TEST_F(CIniFileTest, JapaneseValuesSurviveAnExistingAnsiFile) {
    ASSERT_EQ(GetACP(), 932u) << "the tests expect the Japanese ANSI code page";
    const std::wstring font = L"ＭＳ Ｐゴシック";
    const std::wstring folder = L"C:\\ユーザー\\動画\\保存先フォルダ";
    WriteBytes(Path(), WideToAnsi(L"[main]\r\nCommentFont=" + font + L"\r\n"));
    ASSERT_TRUE(CIniFile(Path(), L"main").Write(L"", L"CommonDir", folder));
    // The file stays in Shift_JIS, as users' files are.
    EXPECT_EQ(ReadBytes(Path()), WideToAnsi(L"[main]\r\nCommentFont=" + font + L"\r\nCommonDir=" + folder + L"\r\n"));
    CIniFile reloaded(Path(), L"main");
    EXPECT_EQ(reloaded.ReadString(L"", L"CommentFont", L""), font);
    EXPECT_EQ(reloaded.ReadString(L"", L"CommonDir", L""), folder);
}

TEST_F(CIniFileTest, ValueWithALineBreakIsRefusedAndTheFileKept) {
    CIniFile ini(Path(), L"main");
    ASSERT_TRUE(ini.Write(L"", L"Key", L"kept"));
    EXPECT_FALSE(ini.Write(L"", L"Key", L"one\r\nInjected=1"));
    EXPECT_FALSE(ini.Write(L"", L"Key", L"one\ntwo"));
    EXPECT_EQ(ini.ReadString(L"", L"Key", L""), L"kept");
    EXPECT_EQ(ini.ReadString(L"", L"Injected", L"none"), L"none");
}

TEST_F(CIniFileTest, DeleteKeyRemovesOnlyThatKey) {
    CIniFile ini(Path(), L"main");
    ASSERT_TRUE(ini.Write(L"", L"RecentOpen0", L"a.flv"));
    ASSERT_TRUE(ini.Write(L"", L"RecentOpen1", L"b.flv"));
    ASSERT_TRUE(ini.DeleteKey(L"", L"RecentOpen0"));
    EXPECT_EQ(ini.ReadString(L"", L"RecentOpen0", L"gone"), L"gone");
    EXPECT_EQ(ini.ReadString(L"", L"RecentOpen1", L""), L"b.flv");
}

} // namespace
