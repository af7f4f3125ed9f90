// Start-up of the updater: its log window is its only window; closing it ends the program.

#include "CWndMain/Update.h"
#include "CWndMain/UpdaterUtil.h"
#include "foundation/CBaseDebug.h"
#include "foundation/WindowUtil.h"

#include <windows.h>
#include <objbase.h>
#include <process.h>

CBaseDebug& DebugLog() {
    static CBaseDebug log(L"ウィンドウのバッファをクリアしました");
    return log;
}

namespace {

// Built before the entry point, so that the window exists, hidden, from the start.
CBaseDebug& g_log = DebugLog();

void BringToFront(HWND window) {
    const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    const DWORD thisThread = GetCurrentThreadId();
    const bool attached = foregroundThread != 0 && foregroundThread != thisThread &&
                          AttachThreadInput(thisThread, foregroundThread, TRUE);
    SetForegroundWindow(window);
    if (attached) {
        AttachThreadInput(thisThread, foregroundThread, FALSE);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    CoInitialize(nullptr);
    HWND window = CBaseDebug::GetWindow();
    if (window == nullptr) {
        return 1;
    }
    const std::wstring title = std::wstring(kUpdaterName) + L" " + kUpdaterVersion;
    SetWindowTextW(window, title.c_str());
    SetWindowPos(window, nullptr, 0, 0, 400, 440, SWP_NOMOVE | SWP_NOZORDER);
    CenterWindow(window);
    ShowWindow(window, SW_SHOW);
    BringToFront(window);

    // Static: the worker is not joined and may still use it while the program ends.
    static CWndMain run(window, GetProgramArguments(), GetModuleDirectory());
    const uintptr_t thread = _beginthreadex(nullptr, 0, UpdateThreadProc, &run, 0, nullptr);
    if (thread != 0) {
        CloseHandle(reinterpret_cast<HANDLE>(thread));
    }

    MSG msg = {};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // Closed while the program folder is being replaced: let that step finish or roll back first.
    { CAutoLock waitForInstall(CWndMain::InstallLock()); }
    CoUninitialize();
    return static_cast<int>(msg.wParam);
}
