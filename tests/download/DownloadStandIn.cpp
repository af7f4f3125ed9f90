#include "tests/download/DownloadStandIn.h"

#include "CWndDownload/DownloadListRow.h"
#include "foundation/PrivateMessages.h"

#include <commctrl.h>

namespace testing_support {

std::atomic<int>& StandInSaveRequests() {
    static std::atomic<int> count{0};
    return count;
}

LRESULT CALLBACK StandInDownloadProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleDownloadRowStep(message, wParam, lParam, result)) {
        return result;
    }
    if (message == kMsgDownloadScheduleSave) {
        ++StandInSaveRequests();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

StandInDownloadWindow CreateStandInDownloadWindow(const wchar_t* className, WNDPROC procedure,
                                                  const wchar_t* caption, DWORD listStyles) {
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassExW(&wc); // already registered by an earlier test: fine
    StandInDownloadWindow made;
    made.window = CreateWindowExW(0, className, caption, WS_POPUP, 0, 0, 600, 300, nullptr, nullptr, wc.hInstance,
                                  nullptr);
    if (made.window == nullptr) {
        return {};
    }
    made.list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | listStyles, 0, 0, 600, 300,
                                made.window, reinterpret_cast<HMENU>(2010), nullptr, nullptr);
    if (made.list == nullptr) {
        DestroyWindow(made.window);
        return {};
    }
    SendMessageW(made.list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    if (!InsertDownloadListColumns(made.list)) {
        DestroyWindow(made.window);
        return {};
    }
    return made;
}

} // namespace testing_support
