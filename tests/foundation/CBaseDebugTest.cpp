#include "foundation/CBaseDebug.h"

#include "foundation/MainWindowMessages.h"
#include "tests/support/TestSupport.h"

#include <commctrl.h>

#include <climits>
#include <thread>

using testing_support::PumpMessagesUntil;
using testing_support::WindowText;

namespace {

const wchar_t kNotice[] = L"ウィンドウのバッファをクリアしました";

std::wstring LogText() { return WindowText(DebugLog().GetEditControl()); }

// A plain top-level window that records what reaches it: the close notification, log lines.
class RecordingWindow {
public:
    RecordingWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"LogTestRecorder";
        RegisterClassW(&wc);
        m_window = CreateWindowW(L"LogTestRecorder", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        SetPropW(m_window, L"recorder", this);
    }
    ~RecordingWindow() { DestroyWindow(m_window); }
    HWND Handle() const { return m_window; }

    std::vector<WPARAM> commands;
    std::vector<std::wstring> logLines;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = static_cast<RecordingWindow*>(GetPropW(window, L"recorder"));
        if (self != nullptr && message == WM_COMMAND) {
            self->commands.push_back(wParam);
            return 0;
        }
        if (self != nullptr && message == kMsgLogLine) {
            const wchar_t* text = reinterpret_cast<const wchar_t*>(wParam);
            self->logLines.push_back(text);
            DebugLog().AppendLine(text);
            return 1;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    HWND m_window = nullptr;
};

class CBaseDebugTest : public ::testing::Test {
protected:
    void SetUp() override {
        CBaseDebug::SetBufferLimitKilobytes(0);
        SetWindowTextW(DebugLog().GetEditControl(), L"");
    }
};

TEST_F(CBaseDebugTest, InformationWindowAsCreated) {
    HWND window = CBaseDebug::GetWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(WindowText(window), L"VelaPlayer - 情報ウィンドウ");
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    EXPECT_STREQ(className, L"CBaseDebug");
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(GetDlgItem(window, 16), CBaseDebug::GetTabControl());

    HWND edit = DebugLog().GetEditControl();
    EXPECT_EQ(GetDlgCtrlID(edit), 1);
    const LONG style = GetWindowLongW(edit, GWL_STYLE);
    EXPECT_TRUE((style & ES_READONLY) && (style & ES_MULTILINE));
}

TEST_F(CBaseDebugTest, StreamingEndsLinesOnlyAtWholeLineBreakTexts) {
    struct Step {
        const wchar_t* text;
        int number;
    };
    // number < 0 streams text, otherwise the number.
    const Step steps[] = {{L"a", -1}, {nullptr, 5}, {L"\n", -1}, {L"b\n", -1}, {L"c", -1}, {L"\r\n", -1}};
    for (const Step& step : steps) {
        if (step.text != nullptr) {
            DebugLog() << step.text;
        } else {
            DebugLog() << step.number;
        }
    }
    EXPECT_EQ(LogText(), L"a5\r\nb\nc\r\n");

    DebugLog() << std::wstring(L"\n") << 12345678901LL << -7 << EndLine;
    DebugLog().Flush();
    EXPECT_EQ(LogText(), L"a5\r\nb\nc\r\n\n12345678901-7\r\n\r\n");
}

TEST_F(CBaseDebugTest, NarrowTextIsReadInTheAnsiCodePage) {
    DebugLog() << "\x93\xfa\x96\x7b" << std::string(" ok") << EndLine; // "日本" in Shift_JIS
    EXPECT_EQ(LogText(), L"日本 ok\r\n");
}

TEST_F(CBaseDebugTest, TextBeyondTheLimitIsReplacedByTheNotice) {
    const std::wstring line(1000, L'x');
    int appended = 0;
    while (LogText().find(kNotice) == std::wstring::npos && appended < 100) {
        DebugLog().AppendLine(line);
        ++appended;
    }
    // 32 lines of 1002 characters fit in 32768; the 33rd makes the text longer.
    EXPECT_EQ(appended, 33);
    EXPECT_EQ(LogText(), kNotice);
    DebugLog() << L"next" << EndLine;
    EXPECT_EQ(LogText(), std::wstring(kNotice) + L"next\r\n");
}

TEST_F(CBaseDebugTest, BufferLimitFromKilobytes) {
    struct Case {
        int kilobytes;
        int limit;
    };
    const Case cases[] = {{8, 8192}, {32, 32768}, {0, 32768}, {-1, 32768}, {INT_MAX, 32768}, {2097151, 2147482624}};
    for (const Case& c : cases) {
        CBaseDebug::SetBufferLimitKilobytes(c.kilobytes);
        EXPECT_EQ(CBaseDebug::GetBufferLimit(), c.limit) << c.kilobytes;
    }
    CBaseDebug::SetBufferLimitKilobytes(0);
    DebugLog() << L"kept" << EndLine;
    EXPECT_EQ(LogText(), L"kept\r\n");
}

TEST_F(CBaseDebugTest, CloseBoxPostsTheNotificationAndKeepsTheWindow) {
    RecordingWindow main;
    CBaseDebug::SetCloseNotification(main.Handle(), WM_COMMAND, 8860, 0);
    SendMessageW(CBaseDebug::GetWindow(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !main.commands.empty(); }));
    EXPECT_EQ(main.commands, std::vector<WPARAM>{8860});
    EXPECT_TRUE(IsWindow(CBaseDebug::GetWindow()));
    CBaseDebug::SetCloseNotification(nullptr, 0, 0, 0);
}

TEST_F(CBaseDebugTest, LinesOfOtherThreadsReachTheWindowWhole) {
    DebugLog() << L"main ";
    std::thread worker([] {
        for (int i = 0; i < 20; ++i) {
            DebugLog() << L"worker " << i << EndLine;
        }
    });
    ASSERT_TRUE(PumpMessagesUntil([] { return LogText().find(L"worker 19\r\n") != std::wstring::npos; }));
    worker.join();
    DebugLog() << L"line" << EndLine;
    const std::wstring text = LogText();
    for (int i = 0; i < 20; ++i) {
        EXPECT_NE(text.find(L"worker " + std::to_wstring(i) + L"\r\n"), std::wstring::npos) << i;
    }
    EXPECT_EQ(text.substr(text.size() - 11), L"main line\r\n");
}

TEST_F(CBaseDebugTest, WorkerLinesGoThroughTheMainWindowWhenThereIsOne) {
    RecordingWindow main;
    SetMainWindow(main.Handle());
    std::thread worker([] { DebugLog() << L"via main" << EndLine; });
    ASSERT_TRUE(PumpMessagesUntil([&] { return !main.logLines.empty(); }));
    worker.join();
    SetMainWindow(nullptr);
    EXPECT_EQ(main.logLines, std::vector<std::wstring>{L"via main"});
    EXPECT_EQ(LogText(), L"via main\r\n");
}

TEST_F(CBaseDebugTest, PagesGetTabsAndAreRemovedWithTheirObject) {
    HWND tab = CBaseDebug::GetTabControl();
    const int before = CBaseDebug::GetPageCount();
    {
        CBaseDebug second;
        const int index = second.AddPage(second.GetEditControl());
        EXPECT_EQ(index, before);
        EXPECT_EQ(CBaseDebug::GetPageCount(), before + 1);
        EXPECT_EQ(TabCtrl_GetItemCount(tab), before + 1);
        wchar_t title[32] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = title;
        item.cchTextMax = 32;
        TabCtrl_GetItem(tab, index, &item);
        EXPECT_STREQ(title, L"メッセージ");

        TabCtrl_SetCurSel(tab, index);
        NMHDR notify = {tab, 16, static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(CBaseDebug::GetWindow(), WM_NOTIFY, 16, reinterpret_cast<LPARAM>(&notify));
        EXPECT_TRUE(GetWindowLongW(second.GetEditControl(), GWL_STYLE) & WS_VISIBLE);
    }
    EXPECT_EQ(CBaseDebug::GetPageCount(), before);
    EXPECT_EQ(TabCtrl_GetItemCount(tab), before);
    // The page before the removed one is shown again, and the window lives on.
    if (before > 0) {
        EXPECT_TRUE(GetWindowLongW(CBaseDebug::GetPage(before - 1), GWL_STYLE) & WS_VISIBLE);
    }
    MSG quit;
    EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(CBaseDebugTest, ResizingLaysOutTabStripAndPages) {
    HWND window = CBaseDebug::GetWindow();
    SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 200));
    RECT tabRect = {};
    GetWindowRect(CBaseDebug::GetTabControl(), &tabRect);
    EXPECT_EQ(tabRect.right - tabRect.left, 300);
    EXPECT_EQ(tabRect.bottom - tabRect.top, 26);
    for (int i = 0; i < CBaseDebug::GetPageCount(); ++i) {
        RECT page = {};
        GetWindowRect(CBaseDebug::GetPage(i), &page);
        EXPECT_EQ(page.right - page.left, 300);
        EXPECT_EQ(page.bottom - page.top, 174);
    }
}

} // namespace
