#include "foundation/WindowUtil.h"

#include <vector>

namespace {

const UINT kMoveFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;

} // namespace

void CenterWindow(HWND window) {
    RECT rect = {};
    if (!GetWindowRect(window, &rect)) {
        return;
    }
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    SetWindowPos(window, nullptr, left, rect.top, 0, 0, kMoveFlags);
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(window, nullptr, left, top, 0, 0, kMoveFlags);
}

void FitWindowToMonitor(HWND window) {
    RECT rect = {};
    if (!GetWindowRect(window, &rect)) {
        return;
    }
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info)) {
        return;
    }
    const RECT& monitor = info.rcMonitor;
    int left = rect.left;
    int top = rect.top;
    if (rect.right > monitor.right) {
        left -= rect.right - monitor.right;
    }
    if (left < monitor.left) {
        left = monitor.left;
    }
    if (rect.bottom > monitor.bottom) {
        top -= rect.bottom - monitor.bottom;
    }
    if (top < monitor.top) {
        top = monitor.top;
    }
    if (left != rect.left || top != rect.top) {
        SetWindowPos(window, nullptr, left, top, 0, 0, kMoveFlags);
    }
}

void ForceForegroundWindow(HWND window) {
    const DWORD ownThread = GetCurrentThreadId();
    const HWND foreground = GetForegroundWindow();
    const DWORD foregroundThread = foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    // The system lets only the thread that has the input change the foreground window.
    const bool attached =
        foregroundThread != 0 && foregroundThread != ownThread && AttachThreadInput(ownThread, foregroundThread, TRUE);
    SetForegroundWindow(window);
    if (attached) {
        AttachThreadInput(ownThread, foregroundThread, FALSE);
    }
}

std::wstring GetWindowTextString(HWND window) {
    // The length is only a hint: the text may grow between the two calls.
    std::vector<wchar_t> buffer(static_cast<size_t>(GetWindowTextLengthW(window)) + 2);
    for (;;) {
        const int copied = GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
        if (copied < static_cast<int>(buffer.size()) - 1) {
            return std::wstring(buffer.data(), copied > 0 ? copied : 0);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring GetWindowClassName(HWND window) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        const int copied = GetClassNameW(window, buffer.data(), static_cast<int>(buffer.size()));
        if (copied < static_cast<int>(buffer.size()) - 1) {
            return std::wstring(buffer.data(), copied > 0 ? copied : 0);
        }
        buffer.resize(buffer.size() * 2);
    }
}
