// The real player under Wine: single instance, command lines from other processes, the forwarding of
// the tool windows' messages.

#include "tests/support/TestSupport.h"

#include <atomic>

using namespace testing_support;

namespace {

// A window of the test that receives the player's WM_COPYDATA replies.
class ReplyWindow {
public:
    ReplyWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PlayerReplyWindow";
        RegisterClassW(&wc);
        m_window = CreateWindowW(L"PlayerReplyWindow", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        SetPropW(m_window, L"reply", this);
    }
    ~ReplyWindow() { DestroyWindow(m_window); }
    HWND Handle() const { return m_window; }
    std::vector<std::wstring> replies;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = static_cast<ReplyWindow*>(GetPropW(window, L"reply"));
        if (self != nullptr && message == WM_COPYDATA) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            std::wstring text(static_cast<const wchar_t*>(data->lpData), data->cbData / 2);
            text.resize(text.find(L'\0') == std::wstring::npos ? text.size() : text.find(L'\0'));
            self->replies.push_back(text);
            return TRUE;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    HWND m_window = nullptr;
};

LRESULT SendText(HWND target, const void* bytes, DWORD size, ULONG_PTR dwData = 0) {
    COPYDATASTRUCT data = {};
    data.dwData = dwData;
    data.cbData = size;
    data.lpData = const_cast<void*>(bytes);
    return SendMessageW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

LRESULT SendCommandLine(HWND target, const std::wstring& text) {
    return SendText(target, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

int CountPlayerWindows() {
    int count = 0;
    for (HWND window = FindWindowW(L"CVelaPlayer", nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, L"CVelaPlayer", nullptr)) {
        ++count;
    }
    return count;
}

class MainWindowTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        m_program = CopyProgramTo(L"VelaPlayer.exe", Folder());
        ASSERT_FALSE(m_program.empty());
        // A known user: no first-start greeting, no upgrade questions.
        WriteBytes(PathOf(L"velaplayer.ini"), "[main]\r\nLastBootVer=128\r\nFirstBoot=0\r\n");
    }

    HWND StartPlayer(ProgramProcess& process, const std::wstring& arguments = L"") {
        if (!process.Start(m_program, arguments)) {
            return nullptr;
        }
        HWND main = process.WaitForWindow(L"CVelaPlayer");
        // Shown at the end of its creation.
        PumpMessagesUntil([&] { return main != nullptr && IsWindowVisible(main); });
        return main;
    }

    static std::wstring LogOf(HWND main) {
        DWORD pid = 0;
        GetWindowThreadProcessId(main, &pid);
        return WindowText(GetDlgItem(FindProcessWindow(pid, L"CBaseDebug"), 1));
    }

    static void Close(ProgramProcess& process, HWND main) {
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(process.WaitForExit(), 0);
    }

    std::wstring m_program;
};

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
    // A window of the player's class that reads as closing.
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CVelaPlayer";
    RegisterClassW(&wc);
    HWND closing = CreateWindowW(L"CVelaPlayer", L"終了しています...", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    ProgramProcess player;
    ASSERT_TRUE(player.Start(m_program));
    PumpMessagesFor(1500);
    EXPECT_EQ(FindProcessWindow(player.ProcessId(), L"CVelaPlayer"), nullptr);

    // Once the old window's title changes, the new instance starts on its own instead of handing over.
    SetWindowTextW(closing, L"VelaPlayer");
    HWND main = player.WaitForWindow(L"CVelaPlayer");
    ASSERT_NE(main, nullptr);
    PumpMessagesFor(500);
    EXPECT_TRUE(IsWindow(main));
    DestroyWindow(closing);
    UnregisterClassW(L"CVelaPlayer", GetModuleHandleW(nullptr));
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
        {37864, L"CWndDownload", true},
        {38864, L"CWndPlayList", true},
        {39865, L"CWndInfo", false},
        {40865, L"CWndCommentList", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindProcessWindow(player.ProcessId(), c.className) != nullptr, c.madeAtStart) << c.message;
        HWND answer = reinterpret_cast<HWND>(SendMessageW(main, c.message, 0, 0));
        ASSERT_NE(answer, nullptr) << c.message;
        EXPECT_EQ(answer, FindProcessWindow(player.ProcessId(), c.className)) << c.message;
        EXPECT_FALSE(IsWindowVisible(answer)) << c.message;
    }
    EXPECT_EQ(SendMessageW(main, 41865, 0, 0), 0);
    EXPECT_EQ(FindProcessWindow(player.ProcessId(), L"CWndCommentPost"), nullptr);

    // The View command shows a tool window; its close box hides it again through the main window.
    HWND download = FindProcessWindow(player.ProcessId(), L"CWndDownload");
    PostMessageW(main, WM_COMMAND, 8810, 0);
    ASSERT_TRUE(PumpMessagesUntil([&] { return IsWindowVisible(download) != FALSE; }));
    PostMessageW(download, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !IsWindowVisible(download); }));
    EXPECT_TRUE(IsWindow(download));
    Close(player, main);
}

} // namespace
