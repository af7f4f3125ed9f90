#include "foundation/CToolTip.h"

#include "foundation/CWndBase.h"

#include <commctrl.h>

namespace {

const COLORREF kListTipBackground = 0xAC7859;
const COLORREF kListTipText = 0xFFFFFF;

// The size of version 5 of the common controls: the larger structure of newer headers makes their
// TTM_ADDTOOL fail when the program runs without a manifest for version 6.
TOOLINFOW MakeToolInfo(HWND control, UINT_PTR id) {
    TOOLINFOW info = {};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = control;
    info.uId = id;
    return info;
}

} // namespace

class CToolTip::CToolRelay : public CWndBase {
public:
    CToolRelay(HWND tip, UINT_PTR id) : m_tip(tip), m_id(id) {}

    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message >= WM_MOUSEMOVE && message <= WM_MBUTTONDBLCLK) {
            const DWORD pos = GetMessagePos();
            MSG msg = {window,
                       message,
                       wParam,
                       lParam,
                       static_cast<DWORD>(GetMessageTime()),
                       {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))}};
            SendMessageW(m_tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
        } else if (message == WM_SIZE) {
            TOOLINFOW info = MakeToolInfo(window, m_id);
            GetClientRect(window, &info.rect);
            SendMessageW(m_tip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
        }
        return DefaultProc(window, message, wParam, lParam);
    }

private:
    HWND m_tip;
    UINT_PTR m_id;
};

CToolTip::CToolTip() = default;

CToolTip::~CToolTip() {
    m_relays.clear();
    if (m_hWnd != nullptr && IsWindow(m_hWnd) && GetWindowThreadProcessId(m_hWnd, nullptr) == GetCurrentThreadId()) {
        DestroyWindow(m_hWnd);
    }
}

bool CToolTip::Create(HWND owner) {
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
    m_hWnd = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_BALLOON, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, GetModuleHandleW(nullptr),
                             nullptr);
    if (m_hWnd == nullptr) {
        return false;
    }
    SendMessageW(m_hWnd, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN));
    return true;
}

bool CToolTip::AddWindowTool(HWND control, const std::wstring& text) {
    if (m_hWnd == nullptr || control == nullptr) {
        return false;
    }
    const UINT_PTR id = m_nextToolId++;
    TOOLINFOW info = MakeToolInfo(control, id);
    GetClientRect(control, &info.rect);
    info.lpszText = const_cast<wchar_t*>(text.c_str());
    auto relay = std::make_unique<CToolRelay>(m_hWnd, id);
    const bool relayed = CWndBase::Attach(control, relay.get());
    if (!relayed) {
        // The control already carries an object of its own; let the tooltip subclass it instead.
        info.uFlags |= TTF_SUBCLASS;
    }
    if (!SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info))) {
        return false;
    }
    if (relayed) {
        m_relays.push_back(std::move(relay));
    }
    return true;
}

bool SetupListToolTips(HWND list) {
    const HWND tip = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETTOOLTIPS, 0, 0));
    if (tip == nullptr) {
        return false;
    }
    SetWindowPos(tip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageW(tip, TTM_SETTIPBKCOLOR, kListTipBackground, 0);
    SendMessageW(tip, TTM_SETTIPTEXTCOLOR, kListTipText, 0);
    SendMessageW(tip, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(1, 0));
    return true;
}
