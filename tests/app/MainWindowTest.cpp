// The real player under Wine: single instance, command lines from other processes, the forwarding of
// the tool windows' messages, and what its window does with paints, the mouse, the status bar, the
// system commands and the tool windows beside it.

#include "app/resource.h"
#include "foundation/PrivateMessages.h"
#include "tests/app/PlayerFixture.h"

#include <commctrl.h>

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

class MainWindowTest : public PlayerTest {
protected:
    // The value of a key of section main in the ini the player saved.
    int SavedInt(const wchar_t* key) {
        return static_cast<int>(GetPrivateProfileIntW(L"main", key, -1, PathOf(L"velaplayer.ini").c_str()));
    }
    // Waits until the player has handled what was posted to it before: a query's answer comes from its queue.
    void Settle(HWND main) { EXPECT_EQ(Query(main, L"get -version"), L"1.28"); }
};

// The colour on the screen at a point of the window's client area.
COLORREF ScreenPixel(HWND window, POINT client) {
    ClientToScreen(window, &client);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, client.x, client.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

RECT ChildRect(HWND parent, HWND child) {
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST_F(MainWindowTest, SecondStartHandsItsCommandLineOverAndSavesNothing) {
    ProgramProcess first;
    HWND main = StartPlayer(first);
    ASSERT_NE(main, nullptr);
    const std::wstring video = PathOf(L"渡す動画.flv");
    WriteBytes(video, "x");
    const std::string iniBefore = ReadBytes(PathOf(L"velaplayer.ini"));
    // The handed file is no video: its open ends in the failure box, which the close waits for.
    MessageBoxAnswerer answerer({IDOK}, first.ProcessId());

    ProgramProcess second;
    ASSERT_TRUE(second.Start(m_program, L"\"" + video + L"\""));
    EXPECT_EQ(second.WaitForExit(), 0);
    EXPECT_EQ(ReadBytes(PathOf(L"velaplayer.ini")), iniBefore);
    EXPECT_TRUE(PumpMessagesUntil([&] { return LogOf(main).find(L"動画ファイル : " + video) != std::wstring::npos; }));
    EXPECT_TRUE(answerer.WaitForCount(1, 15000));
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
    // Once the comment post window exists, its block goes to it like the others.
    PostMessageW(main, WM_COMMAND, IDM_VIEW_COMMENT_POST, 0);
    ASSERT_TRUE(PumpMessagesUntil([&] { return FindProcessWindow(player.ProcessId(), L"CWndCommentPost"); }));
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(main, kMsgCommentPostHandle, 0, 0)),
              FindProcessWindow(player.ProcessId(), L"CWndCommentPost"));

    // The View command shows a tool window; its close box hides it again through the main window.
    HWND download = FindProcessWindow(player.ProcessId(), L"CWndDownload");
    PostMessageW(main, WM_COMMAND, IDM_VIEW_DOWNLOAD, 0);
    ASSERT_TRUE(PumpMessagesUntil([&] { return IsWindowVisible(download) != FALSE; }));
    PostMessageW(download, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !IsWindowVisible(download); }));
    EXPECT_TRUE(IsWindow(download));
    Close(player, main);
}

TEST_F(MainWindowTest, UncoveredLetterboxIsPaintedAgain) {
    const std::wstring video = CopySample(L"short.mp4", L"short.mp4");
    ASSERT_FALSE(video.empty());
    ProgramProcess player;
    HWND main = StartPlayer(player, L"\"" + video + L"\"");
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PumpMessagesUntil([&] { return WindowText(main) == L"short.mp4 - VelaPlayer"; }, 15000));
    HWND picture = nullptr;
    ASSERT_TRUE(PumpMessagesUntil([&] {
        picture = FindWindowExW(main, nullptr, nullptr, L"ActiveMovie Window");
        return picture != nullptr && IsWindowVisible(picture);
    }));

    // A 4:3 video in the wider area leaves a black band at its left.
    HWND volume = GetDlgItem(main, IDC_VOLUME_BAR);
    const RECT videoRect = ChildRect(main, picture);
    ASSERT_GT(videoRect.left, 6);
    const POINT band = {videoRect.left / 2, (videoRect.top + videoRect.bottom) / 2};
    ASSERT_TRUE(PumpMessagesUntil([&] { return ScreenPixel(main, band) == RGB(0, 0, 0); }));

    // The volume bar laid over the band and taken back leaves it to the main window to paint. (A window
    // of another program would do on Windows; under Wine the player's own copy of its pixels comes back
    // without a paint when such a window moves away, so a child of the player covers the band.)
    const RECT home = ChildRect(main, volume);
    SetWindowPos(volume, nullptr, 0, band.y - 9, videoRect.left, 18, SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(PumpMessagesUntil([&] { return ScreenPixel(main, band) != RGB(0, 0, 0); }));
    SetWindowPos(volume, nullptr, home.left, home.top, home.right - home.left, home.bottom - home.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(PumpMessagesUntil([&] { return ScreenPixel(main, band) == RGB(0, 0, 0); }))
        << std::hex << ScreenPixel(main, band);
    Close(player, main);
}

TEST_F(MainWindowTest, WheelMovesTheVolumeBarAlsoOverTheSeekBar) {
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    HWND volume = GetDlgItem(main, IDC_VOLUME_BAR);
    HWND seek = GetDlgItem(main, IDC_SEEK_BAR);
    ASSERT_EQ(SendMessageW(volume, TBM_GETPOS, 0, 0), 50);
    const auto volumeIs = [&](LRESULT position) {
        return PumpMessagesUntil([&] { return SendMessageW(volume, TBM_GETPOS, 0, 0) == position; });
    };

    PostMessageW(main, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_TRUE(volumeIs(55));
    PostMessageW(main, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-3 * WHEEL_DELTA)), 0);
    EXPECT_TRUE(volumeIs(40));
    // A focused track bar would take the wheel itself.
    const LRESULT seekBefore = SendMessageW(seek, TBM_GETPOS, 0, 0);
    PostMessageW(seek, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    EXPECT_TRUE(volumeIs(35));
    EXPECT_EQ(SendMessageW(seek, TBM_GETPOS, 0, 0), seekBefore);
    Close(player, main);
    EXPECT_EQ(SavedInt(L"Volume"), 35);
}

TEST_F(MainWindowTest, ClosedToolWindowStaysHiddenAndItsSettingFollows) {
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    struct Case {
        const wchar_t* className;
        WORD viewCommand;
    };
    const Case cases[] = {
        {L"CWndPlayList", IDM_VIEW_PLAYLIST},
        {L"CWndDownload", IDM_VIEW_DOWNLOAD},
        {L"CBaseDebug", IDM_VIEW_INFORMATION},
    };
    for (const Case& c : cases) {
        HWND tool = FindProcessWindow(player.ProcessId(), c.className);
        ASSERT_NE(tool, nullptr) << c.viewCommand;
        // Shown without its View setting, as a command line or a forwarded message shows it.
        ShowWindow(tool, SW_SHOWNOACTIVATE);
        ASSERT_TRUE(PumpMessagesUntil([&] { return IsWindowVisible(tool) != FALSE; })) << c.viewCommand;
        PostMessageW(tool, WM_CLOSE, 0, 0);
        ASSERT_TRUE(PumpMessagesUntil([&] { return !IsWindowVisible(tool); })) << c.viewCommand;
        Settle(main);
        EXPECT_FALSE(IsWindowVisible(tool)) << c.viewCommand;

        // One View command shows it, and its close box hides it for good.
        PostMessageW(main, WM_COMMAND, c.viewCommand, 0);
        ASSERT_TRUE(PumpMessagesUntil([&] { return IsWindowVisible(tool) != FALSE; })) << c.viewCommand;
        PostMessageW(tool, WM_CLOSE, 0, 0);
        ASSERT_TRUE(PumpMessagesUntil([&] { return !IsWindowVisible(tool); })) << c.viewCommand;
        Settle(main);
        EXPECT_FALSE(IsWindowVisible(tool)) << c.viewCommand;
    }
    Close(player, main);
    EXPECT_EQ(SavedInt(L"ViewPlayList"), 0);
    EXPECT_EQ(SavedInt(L"ViewDownloadWindow"), 0);
    EXPECT_EQ(GetPrivateProfileIntW(L"info", L"View", -1, PathOf(L"velaplayer.ini").c_str()), 0u);
}

// Windows left open at the last close open again; the View command goes by what is seen, so a window
// shown without its setting is hidden by one click instead of needing two.
TEST_F(MainWindowTest, ToolWindowsLeftOpenComeBackAndViewGoesByWhatIsSeen) {
    AddSettings("ViewPlayList=1\r\n");
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    HWND playlist = FindProcessWindow(player.ProcessId(), L"CWndPlayList");
    HWND download = FindProcessWindow(player.ProcessId(), L"CWndDownload");
    ASSERT_NE(playlist, nullptr);
    ASSERT_NE(download, nullptr);
    ASSERT_TRUE(PumpMessagesUntil([&] { return IsWindowVisible(playlist) != FALSE; }));
    EXPECT_FALSE(IsWindowVisible(download));

    ShowWindow(download, SW_SHOWNOACTIVATE);
    ASSERT_TRUE(PumpMessagesUntil([&] { return IsWindowVisible(download) != FALSE; }));
    PostMessageW(main, WM_COMMAND, IDM_VIEW_DOWNLOAD, 0);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !IsWindowVisible(download); }));
    PostMessageW(main, WM_COMMAND, IDM_VIEW_PLAYLIST, 0);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !IsWindowVisible(playlist); }));
    Close(player, main);
    EXPECT_EQ(SavedInt(L"ViewPlayList"), 0);
    EXPECT_EQ(SavedInt(L"ViewDownloadWindow"), 0);
}

TEST_F(MainWindowTest, DockedToolWindowFollowsTheMainWindow) {
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    HWND playlist = FindProcessWindow(player.ProcessId(), L"CWndPlayList");
    HWND download = FindProcessWindow(player.ProcessId(), L"CWndDownload");
    RECT window = {};
    GetWindowRect(main, &window);
    // The playlist against the right edge; the download window apart from it.
    SetWindowPos(playlist, nullptr, window.right, window.top + 10, 200, 150, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(download, nullptr, window.right + 300, window.top, 200, 150, SWP_NOZORDER | SWP_NOACTIVATE);
    PostMessageW(main, WM_COMMAND, IDM_VIEW_PLAYLIST, 0);
    PostMessageW(main, WM_COMMAND, IDM_VIEW_DOWNLOAD, 0);
    ASSERT_TRUE(PumpMessagesUntil([&] { return IsWindowVisible(playlist) && IsWindowVisible(download); }));

    SetWindowPos(main, nullptr, window.left + 30, window.top + 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT followed = {};
    EXPECT_TRUE(PumpMessagesUntil([&] {
        GetWindowRect(playlist, &followed);
        return followed.left == window.right + 30 && followed.top == window.top + 30;
    })) << followed.left
        << "," << followed.top;
    RECT apart = {};
    GetWindowRect(download, &apart);
    EXPECT_EQ(apart.left, window.right + 300);
    EXPECT_EQ(apart.top, window.top);
    Close(player, main);
}

TEST_F(MainWindowTest, StatusBarPartsShowAndStepTheirState) {
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    HWND status = GetDlgItem(main, IDC_STATUS_BAR);
    ASSERT_NE(status, nullptr);
    // Texts of another process cannot be read back, their lengths can.
    const auto length = [&](int part) { return LOWORD(SendMessageW(status, SB_GETTEXTLENGTHW, part, 0)); };
    EXPECT_EQ(length(2), wcslen(L"停止"));
    EXPECT_EQ(length(3), wcslen(L"x1.00"));
    const auto click = [&](UINT down, UINT up, int x) {
        PostMessageW(status, down, 0, MAKELPARAM(x, 5));
        PostMessageW(status, up, 0, MAKELPARAM(x, 5));
    };
    // Play way (130-190): two steps on (a quick pair, whose second click comes as a double click), one
    // back; comment display (110-130) off.
    click(WM_LBUTTONDOWN, WM_LBUTTONUP, 150);
    click(WM_LBUTTONDBLCLK, WM_LBUTTONUP, 150);
    click(WM_RBUTTONDOWN, WM_RBUTTONUP, 150);
    click(WM_RBUTTONDOWN, WM_RBUTTONUP, 120);
    Settle(main);
    EXPECT_EQ(length(2), wcslen(L"リピート"));
    EXPECT_EQ(length(1), wcslen(L"非表示"));
    EXPECT_EQ(FindMessageBox(player.ProcessId()), nullptr);

    // A post's result: the log says that a comment of a file that cannot be refreshed stays unseen.
    const std::wstring notShown = L"◆更新コメントではないので投稿コメントはVelaPlayer上に反映されません";
    SendMessageW(main, kMsgPostResult, 1, 0);
    EXPECT_EQ(length(4), wcslen(L"コメント投稿完了"));
    EXPECT_NE(LogOf(main).find(notShown), std::wstring::npos);
    const std::wstring before = LogOf(main);
    SendMessageW(main, kMsgPostResult, 0, 0);
    EXPECT_EQ(LogOf(main), before) << "a failed post logs nothing more";
    Close(player, main);
    EXPECT_EQ(SavedInt(L"PlayWay"), 1);
    EXPECT_EQ(SavedInt(L"ViewComment"), 0);
}

// Who has the keyboard focus in a thread of another process.
HWND FocusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

TEST_F(MainWindowTest, MouseButtonsOnTheVideoArea) {
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    HWND volume = GetDlgItem(main, IDC_VOLUME_BAR);
    const LPARAM inside = MAKELPARAM(40, 40);

    // A click on a bar gives it the focus; one on the video area takes it back for the player's keys.
    PostMessageW(volume, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 5));
    PostMessageW(volume, WM_LBUTTONUP, 0, MAKELPARAM(50, 5));
    ASSERT_TRUE(PumpMessagesUntil([&] { return FocusOf(main) == volume; }));
    PostMessageW(main, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    PostMessageW(main, WM_LBUTTONUP, 0, inside);
    EXPECT_TRUE(PumpMessagesUntil([&] { return FocusOf(main) == main; }));

    // A double click goes to full screen and back.
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT rect = {};
    const auto fullScreen = [&] { return GetWindowRect(main, &rect) && EqualRect(&rect, &monitor.rcMonitor); };
    PostMessageW(main, WM_LBUTTONDBLCLK, MK_LBUTTON, inside);
    EXPECT_TRUE(PumpMessagesUntil(fullScreen));
    PostMessageW(main, WM_LBUTTONDBLCLK, MK_LBUTTON, inside);
    EXPECT_TRUE(PumpMessagesUntil([&] { return !fullScreen(); }));

    // A middle click mutes.
    PostMessageW(main, WM_MBUTTONDOWN, MK_MBUTTON, inside);
    Settle(main);
    Close(player, main);
    EXPECT_EQ(SavedInt(L"Mute"), 1);
}

TEST_F(MainWindowTest, ActivationGivesTheFocusBackToTheChildThatHadIt) {
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    HWND volume = GetDlgItem(main, IDC_VOLUME_BAR);
    PostMessageW(volume, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 5));
    PostMessageW(volume, WM_LBUTTONUP, 0, MAKELPARAM(50, 5));
    ASSERT_TRUE(PumpMessagesUntil([&] { return FocusOf(main) == volume; }));

    // Another program's window, then the player again.
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    SetForegroundWindow(other);
    ASSERT_TRUE(PumpMessagesUntil([&] { return GetForegroundWindow() == other; }));
    SetForegroundWindow(main);
    EXPECT_TRUE(PumpMessagesUntil([&] { return GetForegroundWindow() == main && FocusOf(main) == volume; }))
        << FocusOf(main);
    DestroyWindow(other);
    Close(player, main);
}

TEST_F(MainWindowTest, RightClickOnTheBarsOpensTheMenuButNotOnTheStatusParts) {
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    const auto menuOpen = [&] {
        HWND menu = FindProcessWindow(player.ProcessId(), L"#32768");
        return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
    };
    HWND status = GetDlgItem(main, IDC_STATUS_BAR);
    PostMessageW(status, WM_RBUTTONDOWN, 0, MAKELPARAM(50, 5));
    PostMessageW(status, WM_RBUTTONUP, 0, MAKELPARAM(50, 5));
    Settle(main);
    EXPECT_EQ(menuOpen(), nullptr);

    HWND toolBar = GetDlgItem(main, IDC_TOOL_BAR);
    PostMessageW(toolBar, WM_RBUTTONDOWN, 0, MAKELPARAM(3, 3));
    PostMessageW(toolBar, WM_RBUTTONUP, 0, MAKELPARAM(3, 3));
    ASSERT_TRUE(PumpMessagesUntil([&] { return menuOpen() != nullptr; }));
    PostMessageW(menuOpen(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(PumpMessagesUntil([&] { return menuOpen() == nullptr; }));
    Settle(main);
    Close(player, main);
}

TEST_F(MainWindowTest, SizingKeepsTheShapeOfAStretchedVideo) {
    AddSettings("MovieSizeFitWindow=1\r\n");
    const std::wstring video = CopySample(L"short.mp4", L"short.mp4");
    ProgramProcess player;
    HWND main = StartPlayer(player, L"\"" + video + L"\"");
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PumpMessagesUntil([&] { return WindowText(main) == L"short.mp4 - VelaPlayer"; }, 15000));
    RECT window = {};
    GetWindowRect(main, &window);
    RECT client = {};
    GetClientRect(main, &client);
    const RECT seek = ChildRect(main, GetDlgItem(main, IDC_SEEK_BAR));
    const LONG frameWidth = (window.right - window.left) - client.right;
    const LONG frameHeight = (window.bottom - window.top) - seek.top;

    // Dragged 100 px wider by the right edge: the height follows the 320 x 240 video.
    RECT dragged = {window.left, window.top, window.right + 100, window.bottom};
    SendMessageW(main, WM_SIZING, WMSZ_RIGHT, reinterpret_cast<LPARAM>(&dragged));
    const LONG areaWidth = (dragged.right - dragged.left) - frameWidth;
    EXPECT_EQ(dragged.bottom, window.top + areaWidth * 240 / 320 + frameHeight);
    EXPECT_EQ(dragged.right, window.right + 100);
    Close(player, main);
}

// The close button with XButtonMinimize on: the window minimises (to the tray, hidden, when
// MinimizeTaskTray is on too) and the tray icon's click brings it back.
class CloseButtonTest : public MainWindowTest {
protected:
    void CloseButtonMinimises(const std::string& settings, bool hidden) {
        AddSettings(settings);
        ProgramProcess player;
        HWND main = StartPlayer(player);
        ASSERT_NE(main, nullptr);
        PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(PumpMessagesUntil([&] { return IsIconic(main) != FALSE; }));
        Settle(main);
        EXPECT_TRUE(IsWindow(main));
        EXPECT_EQ(IsWindowVisible(main) == FALSE, hidden);

        PostMessageW(main, kMsgTrayIcon, 1, WM_LBUTTONUP);
        EXPECT_TRUE(PumpMessagesUntil([&] { return IsWindowVisible(main) && !IsIconic(main); }));
        Close(player, main);
    }
};

TEST_F(CloseButtonTest, MinimisesToTheTaskBar) {
    CloseButtonMinimises("XButtonMinimize=1\r\nMinimizeTaskTray=0\r\n", false);
}

TEST_F(CloseButtonTest, MinimisesToTheTray) {
    CloseButtonMinimises("XButtonMinimize=1\r\nMinimizeTaskTray=1\r\nAlwaysTaskTray=0\r\n", true);
}

} // namespace
