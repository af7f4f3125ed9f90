#pragma once
// The comment list window. The list of comments comes with the window itself; this holds the window, its
// notify target and the requests the main window makes of it.
//
// Thread use: UI thread.

#include "foundation/PrivateMessages.h"
#include "windows/CToolWindow.h"

#include <string>
#include <vector>

class CWndCommentList : public CToolWindow {
public:
    CWndCommentList() : CToolWindow(L"CWndCommentList", L" - コメントリスト", kMsgCommentListHandle) {}
    // Re-times all rows when the comment time shift changes.
    void ApplyTimeShift(int shiftMs);
    HWND GetDialogWindow() const { return nullptr; }
    HACCEL GetAccelerator() const { return nullptr; }
};

// The process's one comment list window object.
CWndCommentList& GetCommentListWindow();
