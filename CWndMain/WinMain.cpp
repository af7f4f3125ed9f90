// Start-up of the updater: its log window is its only window; closing it ends the program.

#include "foundation/CBaseDebug.h"

#include <windows.h>
#include <objbase.h>

CBaseDebug& DebugLog() {
    static CBaseDebug log(L"ウィンドウのバッファをクリアしました");
    return log;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    CoInitialize(nullptr);
    DebugLog();
    HWND window = CBaseDebug::GetWindow();
    if (window == nullptr) {
        return 1;
    }
    SetWindowTextW(window, L"VelaPlayerUpdate");
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    DebugLog() << L"VelaPlayerUpdate 1.40" << EndLine;

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    CoUninitialize();
    return static_cast<int>(msg.wParam);
}
