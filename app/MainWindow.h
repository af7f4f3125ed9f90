#pragma once
// The main window "CVelaPlayer": the message hub of the player. Its creation starts the whole
// application; its procedure routes every message.
//
// Thread use: UI thread; other threads reach it only through the private messages.

#include "app/MainWindowRules.h"
#include "foundation/CWndBase.h"
#include "foundation/Handles.h"
#include "foundation/PrivateMessages.h"

#include <windows.h>

#include <climits>
#include <deque>
#include <string>
#include <vector>

// The record that kMsgFilterEntry carries by address.
struct FilterEntryRecord {
    HWND owner;
    std::wstring kind;
    std::wstring fileName;
    std::wstring value;
    BYTE reloadNow;
};

extern const wchar_t kMainWindowClass[];

// The window's class registers CWndBase::StaticWndProc and the window is created with the object as
// its creation parameter; the object must outlive the window.
class CMainWindow : public CWndBase {
public:
    // The running instance found at start (null when none, or when it was closing); set before the
    // window is created, since the creation decides whether to hand the command line over to it.
    void SetRunningInstance(HWND window) { m_runningInstance = window; }
    HWND GetRunningInstance() const { return m_runningInstance; }

    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnCreate();
    // True refuses the close.
    bool OnClose();
    void OnCommand(WORD command);
    void OnButtonOrMenu(WPARAM wParam, LPARAM lParam);
    void OnHScroll(HWND bar);
    void OnDropFiles(HDROP drop);
    void OnGraphEvent();
    void OnFilterEntry(WPARAM wParam);
    void OnRedrawPaused(WPARAM wParam, LPARAM lParam);
    void OnContextMenu(LPARAM lParam);
    void OnSize();
    void OnTimer(WPARAM timer);
    void OnMouse(UINT message);
    void OnMouseMove();
    void OnMouseWheel(int delta);
    void OnToolWindowClosed(WORD command);
    void OnStatusPartClick(int part, bool right);
    void OnActivate(WPARAM wParam);
    bool OnSetFocus();
    void OnPaint();
    void OnSizing(int edge, RECT* dragged);
    // True when the command was handled here instead of by the system.
    bool OnSysCommand(WPARAM command);
    void OnPostResult(bool success);
    void FollowDockedWindows();
    void ToggleMute();
    LRESULT OnCopyData(const COPYDATASTRUCT* data);
    void RunPendingCommandLine();
    void OpenFileFromDialog();
    bool WillHandOver(const std::vector<std::wstring>& arguments) const;
    bool HandOver();

    HWND m_runningInstance = nullptr;
    CMenuHandle m_popupMenu;
    CMenuHandle m_selectCommentPopup;
    bool m_fullyCreated = false;
    // The window's rectangle at its last move or size, while shown normally (not minimised, maximised
    // or in full screen): the tool windows docked to it then follow it.
    RECT m_lastRect = {};
    bool m_haveLastRect = false;
    // The child that had the focus when the window was deactivated gets it back.
    HWND m_focusChild = nullptr;
    POINT m_lastCursor = {LONG_MIN, LONG_MIN};
    int m_pendingWheel = 0;
    // Command lines taken by WM_COPYDATA, run after the sender has its answer.
    std::deque<std::wstring> m_pendingCommandLines;
    bool m_runningCommandLine = false;
    bool m_closeWhenIdle = false;
};

// The API data (the getflv text) fetched for the playing video: kMsgVideoData answers it while that
// video plays, and an empty text otherwise.
CPlayingVideoData& GetPlayingVideoData();

// The menu bar "MAIN", kept from the window's creation: full screen takes it off the window, and its
// items are kept up to date all the same.
void SetMainMenuBar(HMENU menu);
HMENU GetMainMenuBar();

// Refreshes the menus' check marks and the status texts from the settings and the playback state.
void UpdateMainMenuAndState();

// Records for the comment drawing where the cursor is over the video, in the main window's client
// coordinates: only while comments may be picked with the mouse, the cursor is shown and the video
// window is the window under it; otherwise no point. UI thread.
void RecordMousePoint(HWND mainWindow);
