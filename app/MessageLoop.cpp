#include "app/MessageLoop.h"

#include "app/Accelerators.h"
#include "CWndCommentList/CWndCommentList.h"
#include "CWndDownload/CWndDownload.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/WindowUtil.h"
#include "windows/CWndCommentPost.h"
#include "windows/CWndInfo.h"
#include "windows/CWndPlayList.h"

bool TranslateAppAccelerators(MSG& message) {
    HWND active = GetActiveWindow();
    if (active == nullptr) {
        return false;
    }
    HWND main = GetMainWindow();
    const CWndPlayList& playlist = GetPlayListWindow();
    const CWndDownload& download = GetDownloadWindow();
    const CWndCommentList& commentList = GetCommentListWindow();
    if (GetMainAccelerator() != nullptr && active == main) {
        if (TranslateAcceleratorW(main, GetMainAccelerator(), &message)) {
            return true;
        }
    } else if (playlist.GetAccelerator() != nullptr &&
               (active == playlist.GetHandle() || active == playlist.GetDialogWindow())) {
        if (TranslateAcceleratorW(playlist.GetHandle(), playlist.GetAccelerator(), &message)) {
            return true;
        }
    } else if (download.GetAccelerator() != nullptr && active == download.GetHandle()) {
        if (TranslateAcceleratorW(download.GetHandle(), download.GetAccelerator(), &message)) {
            return true;
        }
    } else if (active == GetInfoWindow().GetHandle() && active != nullptr) {
        // Keys typed into the embedded page also reach the window's own key handling.
        if (message.message >= WM_KEYFIRST && message.message <= 0x108 &&
            GetWindowClassName(message.hwnd) == L"Internet Explorer_Server") {
            SendMessageW(active, message.message, message.wParam, message.lParam);
        }
    } else if (commentList.GetAccelerator() != nullptr &&
               (active == commentList.GetHandle() || active == commentList.GetDialogWindow())) {
        if (TranslateAcceleratorW(commentList.GetHandle(), commentList.GetAccelerator(), &message)) {
            return true;
        }
    }
    return GetSharedAccelerator() != nullptr && TranslateAcceleratorW(main, GetSharedAccelerator(), &message) != 0;
}

bool RouteDialogMessage(MSG& message) {
    HWND main = GetMainWindow();
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && main != nullptr &&
        IsDialogMessageW(main, &message)) {
        return true;
    }
    for (HWND window : {GetDownloadWindow().GetHandle(), GetDownloadWindow().GetSettingsSheetWindow(),
                        GetPlayListWindow().GetDialogWindow(), GetCommentListWindow().GetDialogWindow(),
                        GetCommentPostWindow().GetHandle()}) {
        if (window != nullptr && IsDialogMessageW(window, &message)) {
            return true;
        }
    }
    return false;
}
