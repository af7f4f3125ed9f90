#pragma once
// The download settings as far as they are built: a small modeless sheet with the account's mail
// address and password, opened by the settings command. OK stores both into the download settings and
// closes; Cancel and the close box just close. The process-wide settings-sheet-open flag is set while
// it is open (the main window refuses to close then; the login waits for it).
//
// Thread use: UI thread; IsDownloadSettingsSheetOpen from any thread.

#include "foundation/CWndBase.h"

bool IsDownloadSettingsSheetOpen();

class CDownloadAccountSheet : public CWndBase {
public:
    CDownloadAccountSheet() = default;
    ~CDownloadAccountSheet() override;

    // Creates and shows the sheet owned by the window, or brings an open one to the front; false
    // when it cannot be created (the flag stays clear then).
    bool Open(HWND owner);
    bool IsOpen() const { return GetWindowHandle() != nullptr; }

    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
};
