#pragma once
// The main window's close rules: a running download asks the user (unless the exit was forced), an
// open download settings sheet refuses with a notice.
//
// Thread use: UI thread.

#include <windows.h>

class CWndDownload;

struct CloseConditions {
    bool downloadRunning = false;
    bool exitForced = false;
    bool settingsSheetOpen = false;
};

// True when the close is refused. The question is owned by the download window, which is shown for it;
// the notice is owned by main.
bool IsCloseRefused(const CloseConditions& conditions, HWND main, CWndDownload& download);
