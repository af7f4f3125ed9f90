#include "foundation/WindowUtil.h"

#include "foundation/Handles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// A popup's window rectangle is exactly the size it is given.
CWindowHandle CreatePopup(int left, int top, int width, int height, DWORD style = 0) {
    return CWindowHandle(CreateWindowExW(0, L"STATIC", L"", WS_POPUP | style, left, top, width, height, nullptr,
                                         nullptr, nullptr, nullptr));
}

RECT WindowRect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

} // namespace

TEST(WindowUtilTest, CenterWindowCentresOnThePrimaryScreenKeepingTheSize) {
    CWindowHandle window = CreatePopup(5, 7, 300, 201);
    CenterWindow(window.Get());
    const RECT rect = WindowRect(window.Get());
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 300) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 201) / 2);
    EXPECT_EQ(rect.right - rect.left, 300);
    EXPECT_EQ(rect.bottom - rect.top, 201);
}

TEST(WindowUtilTest, FitWindowToMonitorMovesTheWindowInsideWithoutResizing) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info));
    const RECT m = info.rcMonitor;
    const int mw = m.right - m.left;
    const int mh = m.bottom - m.top;
    struct Case {
        const char* name;
        int left, top, width, height;
        int expectedLeft, expectedTop;
    };
    const Case cases[] = {
        {"inside stays", m.left + 10, m.top + 20, 200, 100, m.left + 10, m.top + 20},
        {"over the right and bottom edges", m.right - 50, m.bottom - 30, 200, 100, m.right - 200, m.bottom - 100},
        {"over the left and top edges", m.left - 70, m.top - 40, 200, 100, m.left, m.top},
        {"wholly beyond the right", m.right + 500, m.top + 5, 200, 100, m.right - 200, m.top + 5},
        {"larger than the monitor keeps its left and top on it", m.left + 30, m.top + 30, mw + 100, mh + 50, m.left,
         m.top},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CWindowHandle window = CreatePopup(c.left, c.top, c.width, c.height);
        FitWindowToMonitor(window.Get());
        const RECT rect = WindowRect(window.Get());
        EXPECT_EQ(rect.left, c.expectedLeft);
        EXPECT_EQ(rect.top, c.expectedTop);
        EXPECT_EQ(rect.right - rect.left, c.width);
        EXPECT_EQ(rect.bottom - rect.top, c.height);
    }
}

TEST(WindowUtilTest, ForceForegroundWindowTakesTheForegroundFromAnotherThread) {
    std::atomic<HWND> other{nullptr};
    std::atomic<bool> stop{false};
    std::thread thread([&] {
        CWindowHandle window = CreatePopup(0, 0, 100, 100, WS_VISIBLE);
        SetForegroundWindow(window.Get());
        other = window.Get();
        while (!stop) {
            testing_support::PumpMessagesFor(10);
        }
    });
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return other != nullptr; }));
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return GetForegroundWindow() == other; }));

    CWindowHandle window = CreatePopup(200, 0, 100, 100, WS_VISIBLE);
    ForceForegroundWindow(window.Get());
    EXPECT_TRUE(testing_support::PumpMessagesUntil([&] { return GetForegroundWindow() == window.Get(); }));
    stop = true;
    thread.join();
}

TEST(WindowUtilTest, WindowTextAndClassNameComeBackWhole) {
    const size_t lengths[] = {0, 1, 255, 256, 257, 511, 512, 513, 5000};
    CWindowHandle window = CreatePopup(0, 0, 10, 10);
    for (const size_t length : lengths) {
        const std::wstring text = testing_support::RepeatText(L"動画コメントabc", length);
        SetWindowTextW(window.Get(), text.c_str());
        EXPECT_EQ(GetWindowTextString(window.Get()), text) << length;
    }
    EXPECT_EQ(GetWindowClassName(window.Get()), L"Static");

    // Class names hold at most 255 characters.
    const size_t classLengths[] = {1, 254, 255};
    for (const size_t length : classLengths) {
        const std::wstring name = testing_support::RepeatText(L"ウィンドウClass", length);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = name.c_str();
        ASSERT_NE(RegisterClassW(&wc), 0) << length;
        const HWND own = CreateWindowExW(0, name.c_str(), L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                         GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(own, nullptr);
        EXPECT_EQ(GetWindowClassName(own), name) << length;
        DestroyWindow(own);
        UnregisterClassW(name.c_str(), GetModuleHandleW(nullptr));
    }
}
