#pragma once
// The comment post window. Posting comes with the window itself; this holds the window, its notify target
// and the requests the main window makes of it.
//
// Thread use: UI thread.

#include "foundation/PrivateMessages.h"
#include "windows/CToolWindow.h"

#include <string>
#include <vector>

class CWndCommentPost : public CToolWindow {
public:
    CWndCommentPost() : CToolWindow(L"CWndCommentPost", L" - コメント投稿ウィンドウ", kMsgCommentPostHandle) {}
    // The player option "-postcomment" with the values of its group.
    void PostFromCommandLine(const std::vector<std::wstring>& group);
    // The playback state changed.
    void UpdateControlState() {}
};

// The process's one comment post window object.
CWndCommentPost& GetCommentPostWindow();
