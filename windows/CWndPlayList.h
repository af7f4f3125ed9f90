#pragma once
// The playlist window. The list view, playlist files and their loading come with the playlist itself; this
// holds the window, its notify targets, the files added to it (kMsgPlaylistAddFile) with the playing one
// (kMsgPlaylistPlayingFile), and the requests the main window makes of it.
//
// Thread use: UI thread.

#include "foundation/PrivateMessages.h"
#include "windows/CToolWindow.h"

#include <string>
#include <vector>

class CWndPlayList : public CToolWindow {
public:
    CWndPlayList() : CToolWindow(L"CWndPlayList", L" - プレイリスト", kMsgPlaylistHandle) {}
    // The second notify target: the start-up load of the list has ended (WM_COMMAND 8000).
    void SetLoadEndedNotify(const NotifyTarget& target) { m_loadEnded = target; }
    // Empties the list; with confirm it asks first and does nothing on No.
    void Clear(bool confirm);
    // The file before, after, or at random from the current one; empty when there is none.
    std::wstring GetPrevFile(const std::wstring& current);
    std::wstring GetNextFile(const std::wstring& current);
    std::wstring GetRandomFile(const std::wstring& current);
    const std::vector<std::wstring>& GetFiles() const { return m_files; }
    // The child dialog that takes dialog keys, and the window's own accelerator table (null until built).
    HWND GetDialogWindow() const { return nullptr; }
    HACCEL GetAccelerator() const { return nullptr; }

    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The entry of path, or of the playing file when path is not in the list; -1 when neither is.
    int IndexOf(const std::wstring& path) const;

    NotifyTarget m_loadEnded;
    std::vector<std::wstring> m_files;
    std::wstring m_playing;
};

// The process's one playlist window object.
CWndPlayList& GetPlayListWindow();
