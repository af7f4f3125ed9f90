#pragma once
// The download window: a modeless, resizable dialog (template 100 of the private class "CWndDownload")
// with the URL box, the kind check boxes and the download list, one object for the process. It answers
// the download block of private messages (37864-38863, forwarded by the main window), keeps the list
// saved (a 3000 ms auto-save on a worker thread at lowest priority, and a save at destruction), joins
// the clipboard-viewer chain to offer the video references the user copies, and arms the queue's timer
// while the list has rows. Its commands remove,
// move, rename and re-edit rows (keeping the running workers' records on their rows), hand rows to the
// player and the playlist through the main window, copy them to the clipboard, open their files,
// folders and URLs, and take dropped files and list files.
//
// Thread use: UI thread, except where a function says otherwise. Worker threads reach the window only
// by messages (the download block through the main window; 32769 to the window itself).
//
// Never: terminate a running save (it may hold the heap's lock or be inside a file write); the next
// save asks it to stop and waits, answering the messages the save sends to this thread meanwhile.

#include "CWndDownload/DownloadSettings.h"
#include "CWndDownload/DownloadAdd.h"
#include "CWndDownload/DownloadListFile.h"
#include "foundation/CCritSec.h"
#include "foundation/CWndBase.h"
#include "foundation/CWorkerThread.h"
#include "foundation/Handles.h"
#include "foundation/PrivateMessages.h"
#include "windows/CToolWindow.h"

#include <commctrl.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The dialog extra bytes that the private class reserves, 30 on both targets; the dialog manager keeps
// its three pointer-sized values (DWLP_MSGRESULT, DWLP_DLGPROC, DWLP_USER) in them.
static_assert(DLGWINDOWEXTRA == 30, "the private dialog class reserves 30 extra bytes");
static_assert(DWLP_USER + sizeof(LONG_PTR) <= DLGWINDOWEXTRA, "the dialog's values fit the extra bytes");

// Delay of the list's auto-save after the last change.
constexpr UINT kDownloadAutoSaveDelayMs = 3000;
// Period of the queue's timer on the list view.
constexpr UINT kDownloadQueueTimerMs = 1000;

class CWndDownload : public CWndBase {
public:
    CWndDownload();
    ~CWndDownload() override;

    // Stores the caption (program title + " - ダウンロードウィンドウ"), the settings path, the list-file
    // path (the settings file's folder + "DownList.dat") and the main window.
    void Init(const std::wstring& appTitle, const std::wstring& settingsPath, HWND mainWindow);
    // The notice posted on WM_CLOSE (the main window's WM_COMMAND 8810).
    void SetNotify(const NotifyTarget& target) { m_closeNotice = target; }
    const NotifyTarget& GetNotify() const { return m_closeNotice; }

    // The first successful call registers the class, creates the window and reads the settings (which
    // starts loading DownList.dat on a worker); a failed creation is tried again by the next call. Then
    // ShowWindow. False while there is no window.
    bool Show(int showCommand);
    // Destroys the window (saving the settings and the list); the program's end.
    void Destroy();

    HWND GetHandle() const { return GetWindowHandle(); }
    HWND GetListView() const { return m_list; }
    HACCEL GetAccelerator() const { return m_accelerator.Get(); }
    // The settings sheet while it is open, else null.
    HWND GetSettingsSheetWindow() const;
    const std::wstring& GetTitle() const { return m_caption; }
    const std::wstring& GetSettingsPath() const { return m_settingsPath; }
    const std::wstring& GetListFilePath() const { return m_listFilePath; }
    bool IsListLoaded() const { return m_pending.listLoaded; }
    // Whether the queue's timer is armed on the list view.
    bool IsQueueTimerArmed() const { return m_queueTimer != 0; }

    // False with an empty list and when no row is ticked; otherwise whether a download item worker of
    // the process-wide worker list runs.
    bool IsDownloadRunning() const;
    // True while the download settings sheet is open.
    bool IsSettingsSheetOpen() const;
    // Keeps the path and starts loading that list file into the list on a worker; false (and a log
    // line) when the file is missing.
    bool AddListFromCommandLine(const std::wstring& path);

    // The kind flags of the check boxes and the settings, with status 1 (waiting) in the high word.
    DWORD GetDownloadKindFlags() const;
    // Adds one row through the list's one adding gate (DownloadAdd.h), with this window's context.
    bool AddDownloadItem(const std::wstring& folder, const std::wstring& text, DWORD flags, bool quiet,
                         bool askReplace);
    // Asks the user on behalf of a worker (message 32769): shows the window in the foreground and a box
    // owned by it; the answer.
    int BringWindowToFront(const wchar_t* text, UINT type);
    // (Re)arms the one-shot auto-save timer when the setting ListAutoSave is on.
    void ScheduleListAutoSave();

    // Row removal (the selection, asking about running and economy rows; deleteFiles also moves the
    // rows' files and their related files to the recycle bin; addExcept appends the rows to the except
    // list). Running records on later rows are renumbered.
    void RemoveDownloadItem(bool addExcept, bool deleteFiles);
    // Removes the row alone (selected and focused first); true when the number of rows changed.
    bool RemoveItemAt(int row);
    // Removes every done row (an economy row only when the user agrees).
    void RemoveCompletedItems(bool addExcept);
    // Moves the selected rows as a block to the target row, keeping their running records on them.
    void MoveSelectedItems(int target);
    void MoveSelectedItemsUp();
    void MoveSelectedItemsDown();
    // Renames the row's finished files (every file of its folder whose name holds the old title and, when
    // the file has a video ID, the same ID), then the row's title.
    void RenameItemFiles(int row, const std::wstring& title);
    // The enabled state of the item commands in the menu (the menu bar and the item popup).
    void UpdateItemMenu(HMENU menu);
    HMENU GetItemPopupMenu() const { return m_itemPopup.Get(); }

    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    class CListSubclass : public CWndBase {
    public:
        LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    };
    // The list's in-place title editor: its end is reported to the window as LVN_ENDLABELEDITW with the
    // editor's handle, while its text can still be read.
    class CWndListEditLabel : public CWndBase {
    public:
        LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    };

    bool RegisterWndClass();
    bool CreateDlg();
    void LoadSettings();
    void SaveSettings();
    // The save at close: the list and the except list (SaveDownloadList, not automatic).
    bool SaveList(const std::wstring& path);
    // Counts a load of the list file at once (saves are refused from now on) and runs it on a worker.
    void StartListLoad(const std::wstring& path, DownloadListSource source = DownloadListSource::UserFile);

    // The window procedure's parts (CWndDownloadProc.cpp).
    BOOL OnCreate(HWND window);
    void OnDestroy();
    void OnSize(int width, int height);
    void OnCommand(UINT id, HWND control, UINT code);
    LRESULT OnListNotify(const NMHDR& header);
    LRESULT OnBlockMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    void OnListLoaded();
    // What the adding gate needs of this window, for one call.
    DownloadAddContext MakeAddContext();
    void ShowCommentLogWarning();
    void ShowDownloadSettings();
    void RenamePathInList(const std::wstring& from, const std::wstring& to);

    // Rows (CWndDownload.cpp).
    const std::wstring& BoxCaption() const;
    int Ask(const std::wstring& text, UINT type);
    bool ConfirmDeleteEconomyItem(int row);
    void ReEditSelectedRow();
    bool IsAnySelectedRunning() const;
    void ListEditLabelNotifyMessageSender(HWND edit);
    void OnEndLabelEdit(const NMLVDISPINFOW& info);
    void OnItemChanged(const NMLISTVIEW& change);
    // The reaction to a row's check box having changed (queue again, pause, resume).
    void OnCheckChanged(int row);
    LRESULT OnListCustomDraw(NMLVCUSTOMDRAW& draw);
    void ToggleSelectedChecks();
    void TickAllStartableItems();
    void RedoEconomyItems();
    void CancelItemDownload();
    // The row drag (the mouse captured by the window); points in screen coordinates.
    HWND GetPlaylistListView() const;
    void UpdateDragCursor(POINT screen);
    void OnListDragEnd(POINT screen);

    // Commands of files, folders, the playlist and the clipboard (CWndDownload.cpp).
    void OpenItemFile();
    void AddSelectedToPlaylist();
    void OpenItemFolder();
    void OpenSaveFolder();
    void OpenExceptList();
    void OpenItemUrl();
    void CopyItemToClipboard(UINT kind);
    void CheckUrlBox();
    void AddPastLogOption();
    void OnDropFiles(HDROP drop);
    void TakeDroppedFile(const std::wstring& path);
    void OpenListFileDialog();
    void ScrollToLastRow();
    void UpdateQueueTimer();
    // An add's answer; a row added also asks the queue to look at once.
    LRESULT Added(bool added);
    // A text answer of the block: a copy kept until the same message is asked again, so that it stays
    // valid while the settings sheet replaces the setting.
    LRESULT AnswerText(UINT message, const std::wstring& text);

    // The clipboard watch (DownloadClipboard.cpp): WM_DRAWCLIPBOARD, and the analysis of a new text with
    // the question about its video references.
    void WatchClipboard();
    void AnalyzeClipboard();

    // The auto-save (on a worker) and the stop of a running one.
    static void CALLBACK ListAutoSaveTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
    void StartAutoSave();
    void StopAutoSave();
    void StopRunningSave();

    std::wstring m_windowName = L"CWndDownload";
    std::wstring m_appTitle;
    std::wstring m_caption;
    std::wstring m_settingsPath;
    std::wstring m_listFilePath;
    std::wstring m_commandLineList;
    std::wstring m_droppedList;
    std::wstring m_dialogList;
    HWND m_mainWindow = nullptr;
    HWND m_nextClipboardViewer = nullptr;
    // The clipboard watch's lock, held through its question; the notice being watched (the lock lets a
    // nested one of the same thread in); the text last read from the clipboard and the one last analysed.
    CCritSec m_clipboardLock;
    bool m_watchingClipboard = false;
    std::wstring m_clipboardText;
    std::wstring m_lastAnalyzedClipboardText;
    CAcceleratorTable m_accelerator;
    CMenuHandle m_itemPopup;
    HCURSOR m_dragCursor = nullptr;
    UINT_PTR m_queueTimer = 0;
    SIZE m_initialWindowSize = {};
    SIZE m_initialClientSize = {};
    SIZE m_initialListSize = {};
    bool m_listSizeRecorded = false;
    NotifyTarget m_closeNotice;
    bool m_created = false;
    // The list-loaded flag and the add held until then; the rows' keys for the adding gate.
    DownloadPendingAdd m_pending;
    CDownloadRowKeys m_rowKeys;
    bool m_commentLogWarned = false;
    bool m_updatingQueueTimer = false;
    // A save was asked for (or refused) while a list was loading: it is made once the last load ends.
    bool m_saveAfterLoad = false;
    // The enabled states UpdateItemMenu last gave each menu, a bit per item.
    std::map<HMENU, uint32_t> m_menuStates;
    // A kMsgDownloadQueueStep is on its way (many adds in a row post one).
    bool m_queueStepPosted = false;
    // The window keys of the section "download" not held by a control (the clipboard watch's patterns).
    DownloadWindowKeys m_windowKeys;
    std::map<UINT, std::wstring> m_textAnswers;

    HWND m_list = nullptr;
    HWND m_urlBox = nullptr;
    HWND m_frame = nullptr;
    HWND m_checkMovie = nullptr;
    HWND m_checkComment = nullptr;
    HWND m_pastLogButton = nullptr;
    HWND m_checkVideoInfo = nullptr;
    HWND m_checkPlayAfter = nullptr;
    HWND m_checkAddPlaylist = nullptr;
    HWND m_addButton = nullptr;
    CListSubclass m_listSubclass;
    CWndListEditLabel m_labelEditor;
    HWND m_labelEdit = nullptr;
    std::unique_ptr<class CToolTip> m_toolTip;

    UINT_PTR m_autoSaveTimer = 0;
    CWorkerThread m_saveThread;
    std::shared_ptr<std::atomic<bool>> m_saveStop;
};

// The process's one download window object.
CWndDownload& GetDownloadWindow();
