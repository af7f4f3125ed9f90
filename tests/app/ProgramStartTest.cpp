// Both programs start as real GUI programs, open their log window and close cleanly.

#include "app/resource.h"
#include "foundation/Handles.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

class ProgramStartTest : public TempFolderTest {};

TEST_F(ProgramStartTest, BothProgramsCarryIcon1000) {
    for (const wchar_t* name : {L"VelaPlayer.exe", L"VelaPlayerUpdate.exe"}) {
        const std::wstring program = CopyProgramTo(name, Folder());
        const CModuleHandle module(LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(module) << name;
        EXPECT_NE(FindResourceW(module.Get(), MAKEINTRESOURCEW(1000), RT_GROUP_ICON), nullptr) << name;
    }
}

TEST_F(ProgramStartTest, PlayerOpensMainAndInformationWindowsAndClosesCleanly) {
    const std::wstring program = CopyProgramTo(L"VelaPlayer.exe", Folder());
    ASSERT_FALSE(program.empty());
    ProgramProcess player;
    ASSERT_TRUE(player.Start(program));
    // The first start greets the user once.
    MessageBoxAnswerer answerer({IDOK}, player.ProcessId());
    ASSERT_TRUE(answerer.WaitForCount(1, 10000));
    EXPECT_EQ(answerer.Seen()[0].caption, L"VelaPlayer");
    EXPECT_EQ(answerer.Seen()[0].text.rfind(L"(※このダイアログは初回起動時のみ表示されます)", 0), 0u);

    HWND main = player.WaitForWindow(L"CVelaPlayer");
    ASSERT_NE(main, nullptr);
    HWND info = player.WaitForWindow(L"CBaseDebug");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(WindowText(main), L"VelaPlayer");
    EXPECT_EQ(WindowText(info), L"VelaPlayer - 情報ウィンドウ");
    HWND edit = GetDlgItem(info, 1);
    ASSERT_TRUE(
        PumpMessagesUntil([&] { return WindowText(edit).find(L"VelaPlayer Ver.1.28\r\n") != std::wstring::npos; }));

    // The View command shows the information window; its close box only hides it, through the main window.
    PostMessageW(main, WM_COMMAND, IDM_VIEW_INFORMATION, 0);
    ASSERT_TRUE(PumpMessagesUntil([&] { return IsWindowVisible(info) != FALSE; }));
    PostMessageW(info, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !IsWindowVisible(info); }));
    EXPECT_TRUE(IsWindow(info));

    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(player.WaitForExit(), 0);
    // The settings are saved at the close, beside the program.
    EXPECT_EQ(GetPrivateProfileIntW(L"main", L"LastBootVer", 0, PathOf(L"velaplayer.ini").c_str()), 128u);
    EXPECT_EQ(GetPrivateProfileIntW(L"main", L"FirstBoot", 1, PathOf(L"velaplayer.ini").c_str()), 0u);
}

TEST_F(ProgramStartTest, UpdaterOpensItsLogWindowAndClosesWithIt) {
    const std::wstring program = CopyProgramTo(L"VelaPlayerUpdate.exe", Folder());
    ASSERT_FALSE(program.empty());
    ProgramProcess updater;
    ASSERT_TRUE(updater.Start(program));

    HWND window = updater.WaitForWindow(L"CBaseDebug");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PumpMessagesUntil([&] { return IsWindowVisible(window) != FALSE; }));
    HWND edit = GetDlgItem(window, 1);
    EXPECT_EQ(WindowText(window), L"VelaPlayerUpdate 1.40");
    // Started without arguments: it says so (and asks in a box, which the close takes along).
    ASSERT_TRUE(PumpMessagesUntil(
        [&] { return WindowText(edit).find(L"コマンドライン指定が見つかりません\r\n") != std::wstring::npos; }));

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(updater.WaitForExit(), 0);
}

} // namespace
