// The real player under Wine: single instance, command lines from other processes, the forwarding of
// the tool windows' messages.

#include "app/resource.h"
#include "foundation/PrivateMessages.h"
#include "tests/app/PlayerFixture.h"

using namespace testing_support;
using namespace player_testing;

namespace {

// A window of this test process that passes for a running player.
class FakePlayerWindow {
public:
    FakePlayerWindow(const wchar_t* title, WNDPROC proc) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CVelaPlayer";
        RegisterClassW(&wc);
        m_window = CreateWindowW(L"CVelaPlayer", title, WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    }
    ~FakePlayerWindow() {
        DestroyWindow(m_window);
        UnregisterClassW(L"CVelaPlayer", GetModuleHandleW(nullptr));
    }
    HWND Handle() const { return m_window; }

private:
    HWND m_window;
};

class MainWindowTest : public PlayerTest {};

TEST_F(MainWindowTest, SecondStartHandsItsCommandLineOverAndSavesNothing) {
    ProgramProcess first;
    HWND main = StartPlayer(first);
    ASSERT_NE(main, nullptr);
    const std::wstring video = PathOf(L"渡す動画.flv");
    WriteBytes(video, "x");
    const std::string iniBefore = ReadBytes(PathOf(L"velaplayer.ini"));

    ProgramProcess second;
    ASSERT_TRUE(second.Start(m_program, L"\"" + video + L"\""));
    EXPECT_EQ(second.WaitForExit(), 0);
    EXPECT_EQ(ReadBytes(PathOf(L"velaplayer.ini")), iniBefore);
    EXPECT_TRUE(PumpMessagesUntil([&] { return LogOf(main).find(L"動画ファイル : " + video) != std::wstring::npos; }));
    EXPECT_EQ(CountPlayerWindows(), 1);

    ProgramProcess multi;
    HWND other = StartPlayer(multi, L"-multi");
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, main);
    EXPECT_EQ(CountPlayerWindows(), 2);
    Close(multi, other);
    Close(first, main);
}

TEST_F(MainWindowTest, StartWaitsWhileTheRunningInstanceIsClosing) {
    FakePlayerWindow closing(L"終了しています...", DefWindowProcW);
    ProgramProcess player;
    ASSERT_TRUE(player.Start(m_program));
    PumpMessagesFor(1500);
    EXPECT_EQ(FindProcessWindow(player.ProcessId(), L"CVelaPlayer"), nullptr);

    // Once the old window's title changes, the new instance starts on its own instead of handing over.
    SetWindowTextW(closing.Handle(), L"VelaPlayer");
    HWND main = player.WaitForWindow(L"CVelaPlayer");
    ASSERT_NE(main, nullptr);
    PumpMessagesFor(500);
    EXPECT_TRUE(IsWindow(main));
    Close(player, main);
}

// A running instance that does not take the request: the new one opens the file itself and keeps
// its settings.
LRESULT CALLBACK RefusingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_COPYDATA ? 0 : DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(MainWindowTest, HandOverThatIsNotTakenStartsNormally) {
    FakePlayerWindow refusing(L"VelaPlayer", RefusingProc);
    const std::wstring video = PathOf(L"渡す動画.flv");
    WriteBytes(video, "x");
    ProgramProcess player;
    ASSERT_TRUE(player.Start(m_program, L"\"" + video + L"\""));
    MessageBoxAnswerer answerer({IDOK}, player.ProcessId()); // the file is no real video
    HWND main = player.WaitForWindow(L"CVelaPlayer");
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PumpMessagesUntil([&] { return IsWindowVisible(main) != FALSE; }));
    EXPECT_TRUE(PumpMessagesUntil([&] { return LogOf(main).find(L"動画ファイル : " + video) != std::wstring::npos; }));
    EXPECT_TRUE(answerer.WaitForCount(1, 10000));
    Close(player, main);
    EXPECT_NE(ReadBytes(PathOf(L"velaplayer.ini")).find("WindowTopmost="), std::string::npos) << "settings saved";
}

TEST_F(MainWindowTest, NextStartCommandRunsOnceAndIsCleared) {
    AddSettings("NextBootCommandLine=info msg=next-start-command -inactive\r\n");
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(PumpMessagesUntil([&] { return LogOf(main).find(L"next-start-command\r\n") != std::wstring::npos; }));
    Close(player, main);
    wchar_t kept[64] = L"?";
    GetPrivateProfileStringW(L"main", L"NextBootCommandLine", L"?", kept, 64, PathOf(L"velaplayer.ini").c_str());
    EXPECT_STREQ(kept, L"");
}

TEST_F(MainWindowTest, FullScreenTakesTheMonitorAndComesBack) {
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    RECT windowed = {};
    GetWindowRect(main, &windowed);
    HWND status = FindWindowExW(main, nullptr, L"msctls_statusbar32", nullptr);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), &monitor);

    SendMessageW(main, WM_COMMAND, IDM_FULL_SCREEN, 0);
    RECT full = {};
    GetWindowRect(main, &full);
    EXPECT_TRUE(EqualRect(&full, &monitor.rcMonitor));
    EXPECT_EQ(GetMenu(main), nullptr);
    EXPECT_FALSE(IsWindowVisible(status));

    SendMessageW(main, WM_COMMAND, IDM_FULL_SCREEN, 0);
    RECT back = {};
    GetWindowRect(main, &back);
    EXPECT_TRUE(EqualRect(&back, &windowed));
    EXPECT_NE(GetMenu(main), nullptr);
    EXPECT_TRUE(IsWindowVisible(status));
    Close(player, main);
}

TEST_F(MainWindowTest, CopyDataIsValidatedAndGetQueriesAreAnswered) {
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    ReplyWindow reply;
    const std::wstring hwnd = std::to_wstring(reinterpret_cast<uintptr_t>(reply.Handle()));

    const char odd[3] = {'a', 0, 'b'};
    EXPECT_EQ(SendText(main, odd, 3), FALSE);
    EXPECT_EQ(SendText(main, odd, 1), FALSE);
    EXPECT_EQ(SendText(main, odd, 0), FALSE);
    const std::wstring command = L"\"VelaPlayer.exe\" get -version hwnd=" + hwnd;
    EXPECT_EQ(SendText(main, command.c_str(), 16, 1), FALSE) << "dwData other than 0";

    // Without a terminator the text is still taken, exactly as long as sent.
    EXPECT_EQ(SendText(main, command.c_str(), static_cast<DWORD>(command.size() * sizeof(wchar_t))), TRUE);
    ASSERT_TRUE(PumpMessagesUntil([&] { return reply.replies.size() == 1; }));
    EXPECT_EQ(reply.replies[0], L"<PRE>1.28</PRE>");

    // Hex handles are understood too; an unknown media state reads "Closed".
    char hex[32];
    snprintf(hex, sizeof(hex), "0x%llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(reply.Handle())));
    EXPECT_EQ(SendCommandLine(main, L"x get -mediastate hwnd=" + std::wstring(hex, hex + strlen(hex))), TRUE);
    ASSERT_TRUE(PumpMessagesUntil([&] { return reply.replies.size() == 2; }));
    EXPECT_EQ(reply.replies[1], L"<PRE>Closed</PRE>");
    EXPECT_TRUE(IsWindow(main));
    Close(player, main);
}

TEST_F(MainWindowTest, BlockMessagesReachTheirToolWindows) {
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    struct Case {
        UINT message;
        const wchar_t* className;
        bool madeAtStart;
    };
    // The playlist and download windows are made hidden at the start; the others by their first message.
    const Case cases[] = {
        {kMsgDownloadHandle, L"CWndDownload", true},
        {kMsgPlaylistHandle, L"CWndPlayList", true},
        {kMsgVideoInfoHandle, L"CWndInfo", false},
        {kMsgCommentListHandle, L"CWndCommentList", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindProcessWindow(player.ProcessId(), c.className) != nullptr, c.madeAtStart) << c.message;
        HWND answer = reinterpret_cast<HWND>(SendMessageW(main, c.message, 0, 0));
        ASSERT_NE(answer, nullptr) << c.message;
        EXPECT_EQ(answer, FindProcessWindow(player.ProcessId(), c.className)) << c.message;
        EXPECT_FALSE(IsWindowVisible(answer)) << c.message;
    }
    EXPECT_EQ(SendMessageW(main, kMsgCommentPostHandle, 0, 0), 0);
    EXPECT_EQ(FindProcessWindow(player.ProcessId(), L"CWndCommentPost"), nullptr);

    // The View command shows a tool window; its close box hides it again through the main window.
    HWND download = FindProcessWindow(player.ProcessId(), L"CWndDownload");
    PostMessageW(main, WM_COMMAND, IDM_VIEW_DOWNLOAD, 0);
    ASSERT_TRUE(PumpMessagesUntil([&] { return IsWindowVisible(download) != FALSE; }));
    PostMessageW(download, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !IsWindowVisible(download); }));
    EXPECT_TRUE(IsWindow(download));
    Close(player, main);
}

} // namespace
