#include "tests/playback/PlayerWindow.h"

#include "engine/CDirectShow.h"

namespace {
const wchar_t kClassName[] = L"VelaPlaybackTestWindow";
}

PlayerWindow::PlayerWindow() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WndProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RegisterClassW(&windowClass);
    m_window = CreateWindowExW(0, kClassName, L"player", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 640,
                               480, nullptr, nullptr, GetModuleHandleW(nullptr), this);
}

PlayerWindow::~PlayerWindow() {
    if (m_window != nullptr) {
        DestroyWindow(m_window);
    }
}

LRESULT CALLBACK PlayerWindow::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<PlayerWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<PlayerWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && self->m_window == window) {
        return self->OnMessage(message, wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT PlayerWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kMsgPlayPosition:
        positions.push_back(static_cast<int32_t>(wParam));
        return 0;
    case kMsgEndOfMedia:
        ++endsOfMedia;
        return 0;
    case kMsgGraphEvent: {
        CDirectShow& graph = GetDirectShow();
        long code = 0;
        while (graph.IsGraphReady() && graph.GetGraphEvent(code)) {
            graphEvents.push_back(code);
            if (code == EC_COMPLETE) {
                ++completions;
                if (graph.ClaimEndOfMedia()) {
                    ++endsOfMedia;
                }
            }
        }
        return 0;
    }
    default:
        return DefWindowProcW(m_window, message, wParam, lParam);
    }
}
