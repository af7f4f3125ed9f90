// The program's entry: COM, the keep-alive thread, the search for a running instance, the main
// window and the message loop.

#include "app/MainWindow.h"
#include "app/MediaPlayback.h"
#include "app/MessageLoop.h"
#include "app/resource.h"
#include "engine/CDirectShow.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CWorkerThread.h"
#include "foundation/Exception.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/WindowUtil.h"
#include "windows/CWndPlayList.h"

#include <windows.h>
#include <objbase.h>

// The process-wide objects, in the order they are built: the settings record, then the log.
CBaseDebug& DebugLog() {
    static CBaseDebug log;
    return log;
}

namespace {

const AppSettings& g_settingsFirst = GetAppSettings();
CBaseDebug& g_logSecond = DebugLog();

void KeepAlive() {
    for (;;) {
        Sleep(1000);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    }
}

// A running instance that is closing is waited for and then treated as gone.
HWND FindRunningInstance() {
    HWND running = FindWindowW(kMainWindowClass, nullptr);
    const std::wstring& closing = GetAppSettings().closingTitle;
    if (running != nullptr && GetWindowTextString(running) == closing) {
        while (GetWindowTextString(running) == closing) {
            Sleep(100);
        }
        return nullptr;
    }
    return running;
}

int Run(HINSTANCE instance, MSG& message) {
    CWorkerThread keepAlive = StartWorker({L"KeepAlive", false}, KeepAlive);
    CMainWindow mainWindow;
    mainWindow.SetRunningInstance(FindRunningInstance());

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = CWndBase::StaticWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_PROGRAM));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszMenuName = L"MAIN";
    wc.lpszClassName = kMainWindowClass;
    if (RegisterClassExW(&wc) == 0) {
        return 0;
    }
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, kMainWindowClass, GetAppSettings().appName.c_str(),
                                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 400, 360,
                                  nullptr, nullptr, instance, &mainWindow);
    if (window == nullptr) {
        return 0;
    }
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (TranslateAppAccelerators(message) || RouteDialogMessage(message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // The keep-alive thread is never stopped or joined; a comment load is let finish before the store goes.
    keepAlive.IsRunning();
    WaitForCommentLoads(30000);
    return static_cast<int>(message.wParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    (void)g_settingsFirst;
    (void)g_logSecond;
    CoInitialize(nullptr);
    MSG message = {};
    int result = 0;
    try {
        result = Run(instance, message);
    } catch (const utl::exception::CException& e) {
        MessageBoxW(nullptr, e.text.c_str(), L"CException", MB_OK);
        result = static_cast<int>(message.wParam);
    } catch (...) {
        MessageBoxW(GetMainWindow(), L"例外が発生しました。", GetAppSettings().appName.c_str(),
                    MB_OK | MB_TOPMOST | MB_SETFOREGROUND);
        result = static_cast<int>(message.wParam);
    }
    // The graph and DirectShow's own COM end here, before the program's: left to static destruction they
    // would end after it, as the process goes down.
    GetDirectShow().ShutdownDirectShow();
    CoUninitialize();
    return result;
}
