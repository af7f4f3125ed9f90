#pragma once
// The playlist window. The list, its files and its play order come with the playlist itself; this holds the
// window, its notify targets and the requests the main window makes of it.
//
// Thread use: UI thread.

#include "windows/CToolWindow.h"

#include <string>
#include <vector>

class CWndPlayList : public CToolWindow {
public:
    CWndPlayList() : CToolWindow(L"CWndPlayList", L" - プレイリスト", 38864) {}
    // The second notify target: the start-up load of the list has ended (WM_COMMAND 8000).
    void SetLoadEndedNotify(const NotifyTarget& target) { m_loadEnded = target; }
    // Empties the list; with confirm it asks first and does nothing on No.
    void Clear(bool confirm);
    // The file before, after, or at random from the current one; empty when there is none.
    std::wstring GetPrevFile(const std::wstring& current);
    std::wstring GetNextFile(const std::wstring& current);
    std::wstring GetRandomFile(const std::wstring& current);
    // The child dialog that takes dialog keys, and the window's own accelerator table (null until built).
    HWND GetDialogWindow() const { return nullptr; }
    HACCEL GetAccelerator() const { return nullptr; }

private:
    NotifyTarget m_loadEnded;
};

// The process's one playlist window object.
CWndPlayList& GetPlayListWindow();
