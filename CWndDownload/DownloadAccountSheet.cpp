#include "CWndDownload/DownloadAccountSheet.h"

#include "CWndDownload/DownloadResource.h"
#include "CWndDownload/DownloadSettings.h"
#include "foundation/WindowUtil.h"

#include <atomic>

namespace {

const wchar_t kSheetClass[] = L"CWndDownloadAccount";

std::atomic<bool> g_sheetOpen{false};

bool RegisterSheetClass(HINSTANCE instance) {
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kSheetClass, &existing)) {
        return true;
    }
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &CWndBase::StaticWndProc;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kSheetClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace

bool IsDownloadSettingsSheetOpen() {
    return g_sheetOpen.load();
}

CDownloadAccountSheet::~CDownloadAccountSheet() {
    if (GetWindowHandle() != nullptr) {
        DestroyWindow(GetWindowHandle());
    }
}

bool CDownloadAccountSheet::Open(HWND owner) {
    if (GetWindowHandle() != nullptr) {
        SetForegroundWindow(GetWindowHandle());
        return true;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterSheetClass(instance)) {
        return false;
    }
    // Set before the sheet exists: a login asking at once must see it open.
    g_sheetOpen = true;
    HWND window =
        CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_DOWNLOAD_ACCOUNT_SHEET), owner,
                           reinterpret_cast<DLGPROC>(&CWndBase::StaticWndProc), reinterpret_cast<LPARAM>(this));
    if (window == nullptr) {
        g_sheetOpen = false;
        return false;
    }
    ShowWindow(window, SW_SHOW);
    return true;
}

LRESULT CDownloadAccountSheet::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const DownloadSettings& settings = GetDownloadSettings();
        SetDlgItemTextW(window, IDC_DOWNLOAD_ACCOUNT_MAIL, settings.Mail.c_str());
        SetDlgItemTextW(window, IDC_DOWNLOAD_ACCOUNT_PASS, settings.Pass.c_str());
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            DownloadSettings& settings = GetDownloadSettings();
            settings.Mail = GetWindowTextString(GetDlgItem(window, IDC_DOWNLOAD_ACCOUNT_MAIL));
            settings.Pass = GetWindowTextString(GetDlgItem(window, IDC_DOWNLOAD_ACCOUNT_PASS));
            DestroyWindow(window);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            DestroyWindow(window);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        DestroyWindow(window);
        return TRUE;
    case WM_DESTROY:
        g_sheetOpen = false;
        return TRUE;
    default:
        return DefaultProc(window, message, wParam, lParam);
    }
}
