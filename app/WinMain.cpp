// Start-up of the player: the main window "CVelaPlayer", its information window and the message loop.

#include "app/SettingsFile.h"
#include "foundation/CBaseDebug.h"
#include "foundation/MainWindowMessages.h"

#include <windows.h>
#include <objbase.h>

CBaseDebug& DebugLog() {
    static CBaseDebug log;
    return log;
}

namespace {

const wchar_t kMainClassName[] = L"CVelaPlayer";
const wchar_t kAppTitle[] = L"VelaPlayer";
constexpr int kProgramIconId = 1000;
constexpr WORD kCommandViewInfoWindow = 8860;

void ToggleInfoWindow() {
    HWND info = CBaseDebug::GetWindow();
    ShowWindow(info, IsWindowVisible(info) ? SW_HIDE : SW_SHOW);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        LoadSettings(GetAppSettings());
        CBaseDebug::SetBufferLimitKilobytes(GetAppSettings().InfoBuffer);
        SetMainWindow(window);
        CBaseDebug::SetCloseNotification(window, WM_COMMAND, kCommandViewInfoWindow, 0);
        DebugLog().AddPage(DebugLog().GetEditControl());
        ShowWindow(CBaseDebug::GetWindow(), SW_SHOWNOACTIVATE);
        DebugLog() << L"VelaPlayer 1.28" << EndLine;
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kCommandViewInfoWindow) {
            ToggleInfoWindow();
            return 0;
        }
        break;
    case kMainWindowLogLine:
        DebugLog().AppendLine(reinterpret_cast<const wchar_t*>(wParam));
        return 1;
    case WM_CLOSE:
        SaveSettings(GetAppSettings(), window, CBaseDebug::GetWindow());
        break;
    case WM_DESTROY:
        SetMainWindow(nullptr);
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    CoInitialize(nullptr);
    DebugLog();

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kProgramIconId));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kMainClassName;
    if (RegisterClassExW(&wc) == 0) {
        return 1;
    }
    HWND window = CreateWindowExW(0, kMainClassName, kAppTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 400,
                                  360, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    CoUninitialize();
    return static_cast<int>(msg.wParam);
}
