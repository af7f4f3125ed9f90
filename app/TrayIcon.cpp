#include "app/TrayIcon.h"

#include "app/resource.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/WindowUtil.h"

#include <shellapi.h>

#include <cwchar>

namespace {

NOTIFYICONDATAW g_tray = {};

void CopyTip(const std::wstring& text) {
    wcsncpy(g_tray.szTip, text.c_str(), sizeof(g_tray.szTip) / sizeof(g_tray.szTip[0]) - 1);
}

} // namespace

bool AddTrayIcon(HWND mainWindow) {
    if (HasTrayIcon()) {
        return true;
    }
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = mainWindow;
    data.uID = 1;
    data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = kMsgTrayIcon;
    data.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PROGRAM));
    g_tray = data;
    CopyTip(GetWindowTextString(mainWindow));
    if (!Shell_NotifyIconW(NIM_ADD, &g_tray)) {
        g_tray = NOTIFYICONDATAW{};
        return false;
    }
    return true;
}

void RemoveTrayIcon() {
    if (HasTrayIcon()) {
        Shell_NotifyIconW(NIM_DELETE, &g_tray);
        g_tray = NOTIFYICONDATAW{};
    }
}

bool HasTrayIcon() {
    return g_tray.cbSize != 0;
}

void UpdateTrayTip() {
    if (!HasTrayIcon()) {
        return;
    }
    const std::wstring title = GetWindowTextString(GetMainWindow());
    if (title != g_tray.szTip) {
        CopyTip(title);
        g_tray.uFlags = NIF_TIP;
        Shell_NotifyIconW(NIM_MODIFY, &g_tray);
    }
}
