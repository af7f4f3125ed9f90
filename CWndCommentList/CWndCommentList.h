#pragma once
// The comment list window: every comment of the playing video (or of comment files the user opens)
// as a row of a report list, sorted, grouped and searched in place, with row actions that seek
// playback, copy texts and add NG filter entries through the main window.
//
// The window title is the busy mark: while a load or a sort runs it shows progress, and commands and
// list notifications are dropped. Loads run on a worker that reads the comments and hands rows in
// batches to the window's thread; a newer load makes an older one stop, so the list ends with the
// rows of the last request. The orders and searches are worked out by CommentListOrder on snapshots
// of the rows.
//
// Thread use: UI thread, except LoadCommentXml, which the loading worker also calls.

#include "CWndCommentList/CommentListOrder.h"
#include "CWndCommentList/CommentListRows.h"
#include "foundation/CCritSec.h"
#include "foundation/CStatusBar.h"
#include "foundation/CWndBase.h"
#include "foundation/PrivateMessages.h"
#include "windows/CToolWindow.h"

#include <windows.h>
#include <commdlg.h>

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <vector>

class CommentControl;

// Keeps the list's focused look when the focus leaves it.
class CWndCommentListSub : public CWndBase {
public:
    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
};

class CWndCommentList : public CWndBase {
public:
    CWndCommentList();
    ~CWndCommentList() override;

    // The title (the application title + " - コメントリスト") and the path of velaplayer.ini.
    void Init(const std::wstring& appTitle, const std::wstring& settingsPath);
    void SetNotify(const NotifyTarget& target) { m_notify = target; }
    const NotifyTarget& GetNotify() const { return m_notify; }
    // Creates the window on first use (then reads its settings) and shows it; false when it cannot.
    bool Show(int showCommand);
    // At the program's end: the settings are saved as the window goes.
    void Destroy();
    HWND GetHandle() const { return m_hWnd; }
    HWND GetListView() const { return m_list; }
    HWND GetStatusBar() const { return m_statusBar.m_hWnd; }
    HWND GetDialogWindow() const { return m_findDialog; }
    HACCEL GetAccelerator() const { return m_accelerator; }
    const std::wstring& GetTitle() const { return m_title; }
    // The window title differs from the stored title while a load or a sort runs.
    bool IsBusy() const;

    // Loading. LoadAsync lists the store's comments; the others read comment files.
    bool LoadAsync(CommentControl& store);
    bool LoadFilesAsync(const std::vector<std::wstring>& paths);
    bool LoadFileAsync(const std::wstring& path);
    void OpenCommentFile();
    // Appends the rows of a comment file, or of comment XML text when no such file exists; false when
    // it holds no comment or cannot be read (logged, and a message box for a missing parser).
    bool LoadCommentXml(const std::wstring& source, int32_t count, int32_t start);
    // After LoadCommentXml appended newer comments: sorts again unless they already sit in order.
    bool RefreshAfterAppend();
    void ScrollToPlayPosition(int32_t positionMs);
    // Re-times the time column when the playing comment file is listed; false when nothing changes.
    bool ApplyTimeShift(int32_t shiftMs);
    void ConfirmSortForAutoScroll();
    const std::vector<std::wstring>& GetLoadedFiles() const { return m_loadedFiles; }
    int64_t GetListTimeShift() const { return m_listTimeShift; }
    bool GetAutoScroll() const { return m_autoScroll; }
    bool GetAutoViewLastLine() const { return m_autoViewLastLine; }
    bool GetMatchCase() const { return m_matchCase; }

    // Sorting, grouping, selecting and finding.
    void SetSortMark(int key, int direction);
    bool Sort();
    void OnColumnClick(int column);
    void SortBySelection();
    void SortByPostCount();
    void SelectSameId(HWND owner, std::wstring id);
    void SelectSameIdAsync(const std::wstring& id);
    void ShowFindDialog();
    void FindUp();
    void FindDown();
    // 1 down, 2 up.
    void FindNext(int direction);
    const CSortKeyTable& GetSortKeys() const { return m_sortKeys; }

    // Row actions.
    void SeekToSelected();
    std::wstring GetSelectedText(int column) const;
    void CopySelection(int column, HWND owner);
    void AddExcludeId();
    void AddExcludeWord();
    void AddExcludeCommand();
    void AddFilterFromSelection(const std::wstring& kind, const std::wstring& fileName, HWND list, HWND owner,
                                int column);
    void SelectAll();

    void UpdateMenu(HMENU menu);
    void UpdateStatusText();

    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct LoadRequest;
    bool RegisterWindowClass();
    bool CreateMainWindow();
    LRESULT OnCreate(HWND window);
    void OnDestroy();
    void OnSize();
    void OnNotify(const NMHDR* header);
    void OnCommand(UINT id);
    void OnDropFiles(HDROP drop);
    void OnCheckStateChanged(int row);
    void ShowContextMenu();
    void PostNotifyMessage() const { m_notify.Post(); }
    void LoadSettings();
    void SaveSettings();

    // Runs the step on the window's thread (at once when called there) and waits for it.
    void RunOnWindowThread(const std::function<void()>& step);
    bool StartLoad(LoadRequest request);
    void LoadThread(const LoadRequest& request);
    bool IsCurrentLoad(unsigned generation) const { return generation == m_loadGeneration.load(); }
    bool LoadXmlSource(const std::wstring& source, int32_t count, int32_t start, unsigned generation);
    // Appends rows (UI thread) with the list's redraw left as it is.
    void InsertRows(const std::vector<CommentRowTexts>& rows, size_t first, size_t end);
    void InsertCommentItem(const ChatData& chat);
    void BeginLoad();
    void EndLoad();
    void OrderAfterStoreLoad();
    void ScrollLastRowIntoView();

    std::vector<std::wstring> ColumnTexts(int column) const;
    std::vector<bool> SelectedFlags() const;
    void NumberItemsForSort();
    // Puts the rows in the order of their ranks, under the busy title, with the list disabled.
    void ApplyRanks(const std::vector<int>& ranks, const std::function<void()>& afterSort = nullptr);
    void ClearSelection();
    void SelectRow(int row, bool focus);
    int FindMessageBox(const std::wstring& text);

    std::wstring m_appTitle;
    std::wstring m_title;
    std::wstring m_settingsPath;
    NotifyTarget m_notify;
    HWND m_list = nullptr;
    CStatusBar m_statusBar;
    HACCEL m_accelerator = nullptr;
    CWndCommentListSub m_listSub;

    std::vector<std::wstring> m_loadedFiles;
    int64_t m_listTimeShift = 0;
    bool m_autoScroll = false;
    bool m_autoViewLastLine = true;
    bool m_matchCase = true;
    CSortKeyTable m_sortKeys;
    // The time text auto-scroll last looked for; it looks again only when the shown second changes.
    std::wstring m_lastScrollTarget;

    HWND m_findDialog = nullptr;
    UINT m_findMessage = 0;
    FINDREPLACEW m_find = {};
    int m_lastFound = -1;

    std::atomic<unsigned> m_loadGeneration{0};
    // One load at a time works on the rows; a load that finds a newer one started gives way.
    CCritSec m_loadLock;
    CCritSec m_stepLock;
    std::set<const void*> m_pendingSteps;
    bool m_menuRefreshPosted = false;
    // Set while a load keeps the list from redrawing.
    bool m_redrawOff = false;
};

// The process's one comment list window object.
CWndCommentList& GetCommentListWindow();
