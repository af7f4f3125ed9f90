#include "client/SaveNames.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

SaveNameValues Values(const std::wstring& title, const std::wstring& videoId = L"sm9") {
    SaveNameValues values;
    values.title = title;
    values.videoId = videoId;
    values.time = {2008, 1, 3, 2, 4, 5, 6, 0};
    return values;
}

using SaveFolderTest = testing_support::TempFolderTest;

} // namespace

TEST(SaveNamesTest, TemplatesExpandEachPlaceholderOnce) {
    struct Case {
        const wchar_t* nameTemplate;
        const wchar_t* title;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"%title%(%thread%)", L"動画", L"動画(sm9)"},
        {L"[%year2%.%month2%.%day2% %hour2%時%minute2%分%second2%]", L"", L"[08.01.02 04時05分06]"},
        {L"%year%-%month%-%day% %hour%:%minute%:%second%", L"", L"2008-1-2 4:5:6"},
        {L"%unknown%%title%%", L"a", L"%unknown%a%"},
        {L"%title%", L"%thread%", L"%thread%"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExpandNameTemplate(c.nameTemplate, Values(c.title)), c.expected) << c.nameTemplate;
    }
}

TEST(SaveNamesTest, NamesAreSafeForTheFileSystem) {
    struct Case {
        const wchar_t* name;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"a\\b/c:d*e?f\"g<h>i|j", L"a＼b／c：d＊e？f＂g＜h＞i｜j"},
        {L"tab\there\x01", L"tab_here_"},
        {L"dots... ", L"dots"},
        {L"..", L"_"},
        {L"", L"_"},
        {L"con", L"_con"},
        {L"CON.txt", L"_CON.txt"},
        {L"nul .flv", L"_nul .flv"},
        {L"Com1", L"_Com1"},
        {L"LPT9.a.b", L"_LPT9.a.b"},
        {L"conin$", L"_conin$"},
        {L"COM0", L"COM0"},
        {L"console", L"console"},
        {L"sm9 .x", L"sm9 .x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MakeSafeFileName(c.name), c.expected) << c.name;
    }
}

TEST(SaveNamesTest, FoldersStayInsideTheSaveFolder) {
    struct Case {
        const wchar_t* folderTemplate;
        const wchar_t* title;
        const wchar_t* expected; // below C:\Save
    };
    const Case cases[] = {
        {L"", L"t", L""},
        {L"%title%", L"動画", L"\\動画"},
        {L"..\\..\\x", L"t", L"\\x"},
        {L"%title%", L"..", L"\\_"},
        {L"%title%", L"..\\..\\Windows", L"\\..＼..＼Windows"},
        {L"C:\\Windows", L"t", L"\\C：\\Windows"},
        {L"\\\\server\\share", L"t", L"\\server\\share"},
        {L"/%thread%/ . /%title%. ", L"a", L"\\sm9\\a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildSaveFolder(L"C:\\Save\\", c.folderTemplate, Values(c.title)),
                  std::wstring(L"C:\\Save") + c.expected)
            << c.folderTemplate << L" " << c.title;
    }

    // No folder: the result stays relative, never on the drive's root; a root keeps its separator.
    EXPECT_EQ(BuildSaveFolder(L"", L"\\%thread%\\%title%", Values(L"t")), L"sm9\\t");
    EXPECT_EQ(BuildSaveFilePath(L"", L"%title%", Values(L"t"), L".txt"), L"t.txt");
    EXPECT_EQ(BuildSaveFolder(L"C:\\", L"", Values(L"t")), L"C:\\");
    EXPECT_EQ(BuildSaveFolder(L"C:\\", L"%title%", Values(L"t")), L"C:\\t");
    EXPECT_EQ(BuildSaveFilePath(L"C:\\", L"%title%", Values(L"t"), L".txt"), L"C:\\t.txt");

    const std::wstring longFolder = BuildSaveFolder(L"C:\\Save", L"%title%\\%thread%", Values(std::wstring(300, L'x')));
    EXPECT_EQ(longFolder, L"C:\\Save\\" + std::wstring(kMaxFolderPath - 8, L'x'));
}

TEST(SaveNamesTest, FilePathsStayWithinThePathLimit) {
    const std::wstring folder = L"C:\\Save";
    const size_t room = MAX_PATH - 1 - folder.size() - 1 - 4; // for the name
    const std::wstring pair = L"\xD83C\xDFA5";                // one character of two units
    struct Case {
        const char* name;
        std::wstring title;
        size_t reserve;
        std::wstring expectedName;
    };
    const Case cases[] = {
        {"short", L"動画", 0, L"動画"},
        {"cut", std::wstring(300, L'a'), 0, std::wstring(room, L'a')},
        {"cut with reserve", std::wstring(300, L'a'), 9, std::wstring(room - 9, L'a')},
        {"pair across the cut", std::wstring(room - 1, L'a') + pair, 0, std::wstring(room - 1, L'a')},
        {"pair before the cut", std::wstring(room - 2, L'a') + pair + L"b", 0, std::wstring(room - 2, L'a') + pair},
        {"blanks at the cut", std::wstring(room - 2, L'a') + L"  b", 0, std::wstring(room - 2, L'a')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring path = BuildSaveFilePath(folder + L"\\", L"%title%", Values(c.title), L".flv", c.reserve);
        EXPECT_EQ(path, folder + L"\\" + c.expectedName + L".flv");
        EXPECT_LE(path.size() + c.reserve, static_cast<size_t>(MAX_PATH - 1));
    }
    EXPECT_EQ(BuildSaveFilePath(std::wstring(MAX_PATH - 6, L'x'), L"%title%", Values(L"t"), L".flv"), L"");
}

TEST_F(SaveFolderTest, CreateFolderPathMakesMissingParents) {
    const std::wstring nested = PathOf(L"a\\b\\動画\\");
    EXPECT_TRUE(CreateFolderPath(nested));
    EXPECT_NE(GetFileAttributesW(nested.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_TRUE(CreateFolderPath(PathOf(L"a/b"))) << "an existing folder";
    WriteBytes(PathOf(L"file"), "x");
    EXPECT_FALSE(CreateFolderPath(PathOf(L"file")));
    EXPECT_FALSE(CreateFolderPath(PathOf(L"file\\sub")));
    EXPECT_FALSE(CreateFolderPath(L""));
}
