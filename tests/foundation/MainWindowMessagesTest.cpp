#include "foundation/MainWindowMessages.h"

#include "foundation/PathUtil.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// What reached the stand-in main window, as its handler saw it during the sent message.
struct Received {
    UINT message = 0;
    ULONG_PTR dwData = 0;
    std::wstring text;
    std::wstring language;
};

std::vector<Received> g_received;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        Received got;
        got.message = message;
        got.dwData = data->dwData;
        // Exactly cbData bytes, so a missing terminator or a wrong size shows.
        got.text.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
        g_received.push_back(got);
        return 7;
    }
    if (message == kMsgRunScript || message == kMsgLogLine) {
        Received got;
        got.message = message;
        got.text = reinterpret_cast<const wchar_t*>(wParam);
        if (lParam != 0) {
            got.language = reinterpret_cast<const wchar_t*>(lParam);
        }
        g_received.push_back(got);
        return 9;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(MainWindowMessagesTest, RequestsReachTheMainWindowAsTheirMessagesWithTerminatedTexts) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MainWindowMessagesRecorder";
    RegisterClassW(&wc);
    HWND main =
        CreateWindowW(wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(main, nullptr);
    HWND saved = GetMainWindow();
    SetMainWindow(main);

    const std::wstring program = L"\"" + GetProgramPath() + L"\" ";
    struct Case {
        std::function<LRESULT()> send;
        UINT message;
        std::wstring text;
        std::wstring language;
        LRESULT answer;
    };
    const Case cases[] = {
        {[] { return SendCommandLineToMainWindow(L"player -seek time=10"); }, WM_COPYDATA,
         program + L"player -seek time=10", L"", 7},
        {[] { return SendCommandLineToMainWindow(L""); }, WM_COPYDATA, program, L"", 7},
        {[] { return SendOptionToMainWindow(L"C:\\動画\\a b.mp4"); }, WM_COPYDATA, program + L"\"C:\\動画\\a b.mp4\"",
         L"", 7},
        {[] { return SendMainWindowStrings(L"vp.onNotify('x')", L"JScript"); }, kMsgRunScript,
         L"vp.onNotify('x')%__SILENT__%", L"JScript", 9},
        {[] { return SendMainWindowStrings(L"", L""); }, kMsgRunScript, L"%__SILENT__%", L"", 9},
        {[] { return LogViaMainWindow(L"ログの行"); }, kMsgLogLine, L"ログの行", L"", 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        g_received.clear();
        EXPECT_EQ(c.send(), c.answer);
        ASSERT_EQ(g_received.size(), 1u);
        const Received& got = g_received[0];
        EXPECT_EQ(got.message, c.message);
        EXPECT_EQ(got.language, c.language);
        if (c.message == WM_COPYDATA) {
            // The size counts the terminator, and the terminator is there.
            EXPECT_EQ(got.dwData, 0u);
            EXPECT_EQ(got.text, c.text + L'\0');
        } else {
            EXPECT_EQ(got.text, c.text);
        }
    }

    SetMainWindow(saved);
    DestroyWindow(main);
}

} // namespace
