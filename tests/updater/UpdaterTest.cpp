// The updater's steps driven directly: outcome lines, command-line values, the message page's
// texts, the version order, and the install that never leaves a mixed program folder.

#include "CWndMain/Update.h"
#include "CWndMain/UpdateException.h"
#include "CWndMain/UpdateWeb.h"
#include "CWndMain/UpdaterUtil.h"
#include "CWndMain/unzipfunc.h"
#include "foundation/CBaseDebug.h"
#include "foundation/Handles.h"
#include "foundation/PathUtil.h"
#include "foundation/Shell.h"
#include "foundation/StringUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using utl::exception::Exception;

std::wstring TempFolder(const wchar_t* name) {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    std::wstring folder = std::wstring(base) + L"vela-updater-" + name;
    if (FileExists(folder)) {
        DeletePath(folder, 0x614, nullptr);
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadFile(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(UpdaterException, TextsOfTheThreeForms) {
    const Exception info(L"終了します...");
    EXPECT_TRUE(info.IsInformation());
    EXPECT_EQ(L"Exception : 終了します...(-1)", GetExceptionText(info));

    const Exception error(L"既に最新バージョンを使用しています", "CWndMain/Update.cpp", 42);
    EXPECT_FALSE(error.IsInformation());
    EXPECT_EQ(static_cast<int32_t>(0x80000001u), error.Code());
    EXPECT_EQ(L"Exception : 既に最新バージョンを使用しています\r\nFile : Update.cpp(42)", GetExceptionText(error));
    EXPECT_EQ(L"既に最新バージョンを使用しています", GetExceptionMessage(error));

    const Exception coded(L"ファイルの解凍に失敗しました", 2, "CWndMain\\unzipfunc.cpp", 7);
    EXPECT_EQ(L"Exception : ファイルの解凍に失敗しました(2)\r\nFile : unzipfunc.cpp(7)", GetExceptionText(coded));
    // A library that answers -1 is still an error, not information.
    const Exception minusOne(L"ファイルの解凍に失敗しました", -1, "unzipfunc.cpp", 7);
    EXPECT_FALSE(minusOne.IsInformation());
}

TEST(UpdaterException, OutcomeLines) {
    SetWindowTextW(DebugLog().GetEditControl(), L"");
    LogRunOutcome(Exception(L"お知らせ\r\n二行目"));
    LogRunOutcome(Exception(L"ファイルの解凍に失敗しました", -1, "unzipfunc.cpp", 9));
    LogRunOutcome(std::runtime_error("plain"));
    wchar_t text[2048] = {};
    GetWindowTextW(DebugLog().GetEditControl(), text, 2048);
    EXPECT_EQ(std::wstring(L"■情報 : お知らせ\r\n二行目\r\n"
                           L"◆エラーが発生しました\r\nException : ファイルの解凍に失敗しました(-1)\r\nFile : unzipfunc.cpp(9)\r\n"
                           L"◆エラーが発生しました\r\nplain\r\n"),
              text);
}

TEST(UpdaterUtil, CommandLineValuesAndFolders) {
    const std::vector<std::wstring> args = {L"ver=1.00", L"xdir=C:\\no", L"dir=C:\\Vela", L"ver=1.28", L"dir="};
    EXPECT_EQ(L"1.28", GetCommandLineValue(L"ver=", args, L""));
    EXPECT_EQ(L"", GetCommandLineValue(L"dir=", args, L"none")); // the last one wins, also empty
    EXPECT_EQ(L"none", GetCommandLineValue(L"DIR=", {L"dir=C:\\x"}, L"none"));
    EXPECT_EQ(L"C:\\Program Files\\Vela", GetDirectoryPathNoSlash(L"C:\\Program Files\\Vela\\VelaPlayerUpdate.exe"));
    EXPECT_EQ(L"C:", GetDirectoryPathNoSlash(L"C:file.exe"));
    EXPECT_FALSE(GetModuleDirectory().empty());
    EXPECT_NE(L'\\', GetModuleDirectory().back());
}

TEST(UpdaterPages, MessagePageBlocksAndPatterns) {
    const std::wstring page = L"action={dialog exit}\ndialog={\nお知らせです}\nexit={終了\\nします}";
    EXPECT_EQ(L"dialog exit", FindPatternGroup(page, L"action=\\{\\n?([^\\}]+)\\n?\\}"));
    EXPECT_EQ(L"お知らせです", FindPatternGroup(page, L"dialog=\\{\\n?([^\\}]+)\\n?\\}"));
    EXPECT_TRUE(MatchPattern(L"xdialogs", L".*dialog.*"));
    EXPECT_FALSE(MatchPattern(L"none", L".*exit.*"));
    EXPECT_EQ(L"a\nb\n\tc", ReplacePattern(L"\ta\n\tb\n\t\tc", L"^\\t", L""));
    const std::wstring history = L"v1.40\n\t変更1\n\t変更2\n2026/12/01\nv1.28\n古い\n2026/01/01";
    EXPECT_EQ(L"\n\t変更1\n\t変更2", FindPatternGroup(history, L"^v\\d\\.\\d\\d(.*?)\\n\\d\\d\\d\\d/\\d\\d/\\d\\d"));
    const std::wstring links = L"<a href=\"archive/velaplayer140.zip\"></a><a href=\"archive/velaplayer141.zip\">";
    EXPECT_EQ(L"velaplayer140.zip", FindPatternGroup(links, L"<a href=\"archive/(velaplayer\\d+.zip)\">"));
}

TEST(UpdaterRun, MissingArgumentsEndAsTheRulesSay) {
    const std::wstring folder = TempFolder(L"args");
    CWndMain noVersion(nullptr, {L"dir=C:\\x"}, folder);
    try {
        noVersion.GetCurrentVersion();
        FAIL();
    } catch (const Exception& error) {
        EXPECT_EQ(L"コマンドラインにバージョン指定が見つかりません", error.Message());
    }
    CWndMain noFolder(nullptr, {L"ver=1.28"}, folder);
    EXPECT_THROW(noFolder.GetPlayerDirectory(), Exception);
    // No settings file beside the updater.
    try {
        noFolder.LoadUpdateSettings();
        FAIL();
    } catch (const Exception& error) {
        EXPECT_EQ(L"設定ファイルが見つかりません", error.Message());
        EXPECT_FALSE(error.IsInformation());
    }
}

// The program folder as the install leaves it: the files' bytes by relative path.
struct InstallFixture : ::testing::Test {
    void SetUp() override {
        root = TempFolder(L"install");
        release = root + L"\\release";
        program = root + L"\\program";
        CreateDirectoryW(release.c_str(), nullptr);
        CreateDirectoryW((release + L"\\sub").c_str(), nullptr);
        CreateDirectoryW(program.c_str(), nullptr);
        WriteFile(release + L"\\a.exe", "new a");
        WriteFile(release + L"\\b.dll", "new b");
        WriteFile(release + L"\\sub\\c.txt", "new c");
        WriteFile(program + L"\\a.exe", "old a");
        WriteFile(program + L"\\b.dll", "old b");
        WriteFile(program + L"\\keep.ini", "mine");
    }
    std::wstring root, release, program;
};

TEST_F(InstallFixture, CopiesTheReleaseOverTheProgramFolder) {
    CWndMain run(nullptr, {}, root);
    run.CopyFolder(release, program);
    EXPECT_EQ("new a", ReadFile(program + L"\\a.exe"));
    EXPECT_EQ("new b", ReadFile(program + L"\\b.dll"));
    EXPECT_EQ("new c", ReadFile(program + L"\\sub\\c.txt"));
    EXPECT_EQ("mine", ReadFile(program + L"\\keep.ini"));
    std::vector<std::wstring> left;
    EnumerateFiles(program, L"*.vela-*", left, false, true, true);
    EXPECT_TRUE(left.empty());
}

TEST_F(InstallFixture, AFileHeldOpenLeavesTheOldInstallByteForByte) {
    CFileHandle held(CreateFileW((program + L"\\b.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 0, nullptr));
    ASSERT_TRUE(held);
    CWndMain run(nullptr, {}, root);
    try {
        run.CopyFolder(release, program);
        FAIL() << "the install went on past a file in use";
    } catch (const Exception& error) {
        EXPECT_EQ(L"フォルダのコピー/上書きに失敗しました", error.Message());
    }
    held.Close();
    EXPECT_EQ("old a", ReadFile(program + L"\\a.exe"));
    EXPECT_EQ("old b", ReadFile(program + L"\\b.dll"));
    EXPECT_EQ("mine", ReadFile(program + L"\\keep.ini"));
    EXPECT_FALSE(FileExists(program + L"\\sub"));
    std::vector<std::wstring> all;
    EnumerateFiles(program, L"*", all, false, true, true);
    EXPECT_EQ(3u, all.size());
}

TEST(UpdaterUnzip, RefusesPathsLongerThanTheLibraryBuffers) {
    const std::wstring longPath = L"C:\\" + std::wstring(300, L'x') + L".zip";
    bool called = false;
    (void)called;
    EXPECT_THROW(UnzipWithDll(nullptr, longPath, L"C:\\out"), Exception);
    EXPECT_THROW(UnzipWithDll(nullptr, L"C:\\a.zip", L"C:\\" + std::wstring(300, L'y')), Exception);
}

int WINAPI FailingUnzip(int, char**, int, char**, void*, void*) {
    return 2;
}

TEST(UpdaterUnzip, LibraryErrorCarriesItsCode) {
    try {
        UnzipWithDll(reinterpret_cast<void*>(&FailingUnzip), L"C:\\a.zip", L"C:\\out");
        FAIL();
    } catch (const Exception& error) {
        EXPECT_EQ(2, error.Code());
        EXPECT_NE(std::wstring::npos, GetExceptionText(error).find(L"ファイルの解凍に失敗しました(2)\r\nFile : unzipfunc.cpp("));
    }
}

} // namespace
