// The comment list's sorting, grouping, selecting, finding and row actions.
#include "CWndCommentList/CWndCommentList.h"

#include "CWndCommentList/CommentListResource.h"
#include "app/MainWindow.h"
#include "foundation/CBaseDebug.h"
#include "foundation/Clipboard.h"
#include "foundation/CWorkerThread.h"
#include "foundation/ListView.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/WindowUtil.h"

#include <commctrl.h>
#include <dlgs.h>

#include <algorithm>

namespace {

const wchar_t kSortingTitle[] = L"ソート中...";

// The process's one search text, kept between openings of the Find dialog.
wchar_t g_findText[256] = L"";

int CALLBACK CompareByRank(LPARAM first, LPARAM second, LPARAM ranks) {
    const auto& rank = *reinterpret_cast<const std::vector<int>*>(ranks);
    const size_t a = static_cast<size_t>(first), b = static_cast<size_t>(second);
    if (a >= rank.size() || b >= rank.size()) {
        return 0;
    }
    return rank[a] < rank[b] ? -1 : rank[a] > rank[b] ? 1 : 0;
}

} // namespace

std::vector<std::wstring> CWndCommentList::ColumnTexts(int column) const {
    const int count = static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0));
    std::vector<std::wstring> texts;
    texts.reserve(static_cast<size_t>(std::max(count, 0)));
    std::wstring buffer(512, L'\0');
    for (int row = 0; row < count; ++row) {
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = &buffer[0];
        item.cchTextMax = static_cast<int>(buffer.size());
        const int length = static_cast<int>(SendMessageW(m_list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
        // A text that filled the buffer may be longer: read it whole.
        texts.push_back(length + 1 >= static_cast<int>(buffer.size()) ? GetListItemText(m_list, row, column)
                                                                      : std::wstring(buffer.c_str(), length));
    }
    return texts;
}

std::vector<bool> CWndCommentList::SelectedFlags() const {
    const int count = static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0));
    std::vector<bool> selected(static_cast<size_t>(std::max(count, 0)), false);
    for (int row = -1; (row = static_cast<int>(SendMessageW(m_list, LVM_GETNEXTITEM, row, LVNI_SELECTED))) != -1;) {
        selected[static_cast<size_t>(row)] = true;
    }
    return selected;
}

void CWndCommentList::NumberItemsForSort() {
    const int count = static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        item.lParam = row;
        SendMessageW(m_list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
}

void CWndCommentList::ApplyRanks(const std::vector<int>& ranks, const std::function<void()>& afterSort) {
    const bool enabled = IsWindowEnabled(m_list) != FALSE;
    const std::wstring title = GetWindowTextString(m_hWnd);
    // Busy first: renumbering raises a change notification for every row, which the gate then drops;
    // and without redraw a visible list does not repaint for each of them.
    SetWindowTextW(m_hWnd, kSortingTitle);
    const bool redraw = !m_redrawOff;
    if (redraw) {
        SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    }
    NumberItemsForSort();
    EnableWindow(m_list, FALSE);
    // The ranks were worked out from a snapshot: the comparison reads nothing of the list.
    SendMessageW(m_list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&ranks), reinterpret_cast<LPARAM>(CompareByRank));
    if (afterSort) {
        afterSort();
    }
    if (redraw) {
        SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(m_list, nullptr, TRUE);
    }
    SetWindowTextW(m_hWnd, title.c_str());
    if (enabled) {
        EnableWindow(m_list, TRUE);
    }
    m_lastScrollTarget.clear();
}

void CWndCommentList::SetSortMark(int key, int direction) {
    for (int column = 0; column < comment_column::kCount; ++column) {
        const std::wstring title = GetListColumnText(m_list, column);
        const std::wstring plain = RemoveSortMarks(title);
        const std::wstring shown = column == key ? WithSortMark(plain, direction) : plain;
        if (shown != title) {
            SetListColumnText(shown, m_list, column);
        }
    }
    m_sortKeys.SetKey(key, direction);
}

bool CWndCommentList::Sort() {
    const int key = m_sortKeys.CurrentKey();
    if (key == -1 || m_list == nullptr) {
        return false;
    }
    SortSnapshot snapshot;
    if (key == CSortKeyTable::kSelectionKey) {
        snapshot.selected = SelectedFlags();
    } else {
        snapshot.texts = ColumnTexts(key);
    }
    ApplyRanks(ComputeSortRanks(snapshot, key, m_sortKeys.Direction(key)));
    return true;
}

void CWndCommentList::OnColumnClick(int column) {
    SetSortMark(column, m_sortKeys.NextDirection(column));
    Sort();
}

void CWndCommentList::SortBySelection() {
    for (int column = 0; column < comment_column::kCount; ++column) {
        const std::wstring title = GetListColumnText(m_list, column);
        const std::wstring plain = RemoveSortMarks(title);
        if (plain != title) {
            SetListColumnText(plain, m_list, column);
        }
    }
    m_sortKeys.SetDirection(CSortKeyTable::kSelectionKey, 1);
    SortSnapshot snapshot;
    snapshot.selected = SelectedFlags();
    const bool enabled = IsWindowEnabled(m_list) != FALSE;
    ApplyRanks(ComputeSortRanks(snapshot, CSortKeyTable::kSelectionKey, 1));
    SetWindowTextW(m_hWnd, m_title.c_str());
    if (!enabled) {
        EnableWindow(m_list, TRUE);
    }
}

void CWndCommentList::SortByPostCount() {
    const std::vector<std::wstring> ids = ColumnTexts(comment_column::kId);
    if (ids.size() < 3) {
        return;
    }
    const IdGrouping grouping = GroupRowsById(ids);
    std::vector<int> ranks(ids.size());
    for (size_t place = 0; place < grouping.order.size(); ++place) {
        ranks[static_cast<size_t>(grouping.order[place])] = static_cast<int>(place);
    }
    // The rows are numbered by their present index before the sort, so the flags still fit them.
    ApplyRanks(ranks, [&] {
        // Rows put into a group are new rows: they lose their selection.
        LVITEMW clear = {};
        clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        for (size_t place = 0; place < grouping.order.size(); ++place) {
            if (grouping.grouped[static_cast<size_t>(grouping.order[place])]) {
                SendMessageW(m_list, LVM_SETITEMSTATE, place, reinterpret_cast<LPARAM>(&clear));
            }
        }
    });
    SetWindowTextW(m_hWnd, m_title.c_str());
}

void CWndCommentList::ClearSelection() {
    LVITEMW clear = {};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(m_list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
}

void CWndCommentList::SelectRow(int row, bool focus) {
    LVITEMW item = {};
    item.state = LVIS_SELECTED | (focus ? LVIS_FOCUSED : 0);
    item.stateMask = item.state;
    SendMessageW(m_list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void CWndCommentList::SelectSameId(HWND owner, std::wstring id) {
    if (id.empty()) {
        const int first = static_cast<int>(SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        if (first < 0) {
            return;
        }
        id = GetListItemText(m_list, first, comment_column::kId);
    }
    ClearSelection();
    const std::vector<int> rows = RowsWithId(ColumnTexts(comment_column::kId), id);
    for (int row : rows) {
        SelectRow(row, false);
    }
    if (!rows.empty()) {
        SendMessageW(owner, WM_COMMAND, IDM_CL_SORT_SELECTED, 0);
        SendMessageW(m_list, LVM_ENSUREVISIBLE, 0, FALSE);
        LVITEMW focus = {};
        focus.state = LVIS_FOCUSED;
        focus.stateMask = LVIS_FOCUSED;
        SendMessageW(m_list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&focus));
        SetFocus(m_list);
    }
}

void CWndCommentList::SelectSameIdAsync(const std::wstring& id) {
    StartWorker({L"CWndCommentList::SelectSameIdThread"}, [this, id] {
        // A selection asked for during a load or a sort waits until the list is complete.
        for (bool done = false; !done && m_hWnd != nullptr;) {
            if (IsBusy()) {
                Sleep(500);
                continue;
            }
            RunOnWindowThread([&] {
                if (!IsBusy()) {
                    SelectSameId(m_hWnd, id);
                    done = true;
                }
            });
        }
    });
}

void CWndCommentList::ShowFindDialog() {
    if (m_findDialog != nullptr) {
        return;
    }
    if (m_findMessage == 0) {
        m_findMessage = RegisterWindowMessageW(FINDMSGSTRINGW);
        if (m_findMessage == 0) {
            return;
        }
    }
    m_find = {};
    m_find.lStructSize = sizeof(m_find);
    m_find.hwndOwner = m_hWnd;
    m_find.lpstrFindWhat = g_findText;
    m_find.wFindWhatLen = static_cast<WORD>(std::size(g_findText));
    m_find.Flags = FR_DOWN | (m_matchCase ? FR_MATCHCASE : 0);
    m_findDialog = FindTextW(&m_find);
    if (m_findDialog == nullptr) {
        return;
    }
    const LONG_PTR exStyle = GetWindowLongPtrW(m_findDialog, GWL_EXSTYLE);
    SetWindowLongPtrW(m_findDialog, GWL_EXSTYLE, exStyle & ~static_cast<LONG_PTR>(WS_EX_CONTEXTHELP));
    SetWindowPos(m_findDialog, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    // The whole-word box means here: select every matching row.
    SetDlgItemTextW(m_findDialog, chx1, L"一致項目を選択状態にする(&S)");
}

void CWndCommentList::FindUp() {
    if (m_findDialog != nullptr) {
        FindNext(2);
    } else {
        ShowFindDialog();
    }
}

void CWndCommentList::FindDown() {
    if (m_findDialog != nullptr) {
        FindNext(1);
    } else {
        ShowFindDialog();
    }
}

int CWndCommentList::FindMessageBox(const std::wstring& text) {
    return MessageBoxW(m_findDialog != nullptr ? m_findDialog : m_hWnd, text.c_str(), m_appTitle.c_str(),
                       MB_OK | MB_TOPMOST | MB_SETFOREGROUND);
}

void CWndCommentList::FindNext(int direction) {
    if ((m_find.Flags & FR_DIALOGTERM) != 0) {
        m_lastFound = -1;
        m_findDialog = nullptr;
        m_find.Flags &= ~static_cast<DWORD>(FR_DIALOGTERM);
        return;
    }
    if (SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0) <= 0) {
        return;
    }
    const std::wstring text = g_findText;
    if (text.empty()) {
        FindMessageBox(L"検索する文字列を入力して下さい。");
        return;
    }
    m_matchCase = (m_find.Flags & FR_MATCHCASE) != 0;
    const CCommentFinder finder(ColumnTexts(comment_column::kText), ColumnTexts(comment_column::kId),
                                ColumnTexts(comment_column::kCommand));
    if ((m_find.Flags & FR_WHOLEWORD) != 0) {
        ClearSelection();
        const std::vector<int> rows = finder.FindAll(text, m_matchCase);
        for (int row : rows) {
            SelectRow(row, true);
        }
        FindMessageBox(rows.empty() ? std::wstring(L"一致する項目は見つかりませんでした。")
                                    : L"一致した" + std::to_wstring(rows.size()) + L"項目を選択状態にしました。");
        m_lastFound = 0;
        return;
    }
    const bool down = direction == 1;
    const int row = finder.FindStep(text, m_matchCase, m_lastFound, down);
    if (row >= 0) {
        ClearSelection();
        SelectRow(row, true);
        SendMessageW(m_list, LVM_ENSUREVISIBLE, row, FALSE);
        m_lastFound = row;
        return;
    }
    FindMessageBox(std::wstring(down ? L"最後" : L"先頭") + L"まで検索しました。");
    m_lastFound = -1;
}

void CWndCommentList::SeekToSelected() {
    const int row = static_cast<int>(SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row < 0) {
        return;
    }
    const std::wstring time = GetListItemText(m_list, row, comment_column::kTime);
    if (time.empty()) {
        return;
    }
    const int64_t ms = std::max<int64_t>(ParseVposTime(time), 0);
    SendMessageW(GetMainWindow(), kMsgSeek, static_cast<WPARAM>(std::min<int64_t>(ms, UINT32_MAX)), 0);
}

std::wstring CWndCommentList::GetSelectedText(int column) const {
    std::wstring text;
    for (int row : GetSelectedListItems(m_list)) {
        // An empty cell adds no line of its own.
        const std::wstring cell = GetListItemText(m_list, row, column);
        if (cell.empty()) {
            continue;
        }
        if (!text.empty()) {
            text += L"\n";
        }
        text += cell;
    }
    return text;
}

void CWndCommentList::CopySelection(int column, HWND owner) {
    const std::wstring text = GetSelectedText(column);
    if (text.empty() || !OpenClipboard(owner)) {
        return;
    }
    SetClipboardText(text);
}

void CWndCommentList::AddExcludeId() {
    AddFilterFromSelection(L"Exclude ID", L"NG ID.txt", m_list, m_hWnd, comment_column::kId);
}

void CWndCommentList::AddExcludeWord() {
    AddFilterFromSelection(L"Exclude Word", L"NG ワード.txt", m_list, m_hWnd, comment_column::kText);
}

void CWndCommentList::AddExcludeCommand() {
    AddFilterFromSelection(L"Exclude Command", L"NG コマンド.txt", m_list, m_hWnd, comment_column::kCommand);
}

void CWndCommentList::AddFilterFromSelection(const std::wstring& kind, const std::wstring& fileName, HWND list,
                                             HWND owner, int column) {
    bool sent = false;
    for (int row : GetSelectedListItems(list)) {
        FilterEntryRecord record{owner, kind, fileName, GetListItemText(list, row, column), 0};
        if (record.value.empty()) {
            DebugLog() << L"フィルタ文字列が指定されていません" << EndLine;
            continue;
        }
        SendMessageW(GetMainWindow(), kMsgFilterEntry, reinterpret_cast<WPARAM>(&record), 0);
        sent = true;
    }
    if (sent) {
        SendMessageW(GetMainWindow(), kMsgFilterEntry, 0, 0);
    }
}

void CWndCommentList::SelectAll() {
    LVITEMW item = {};
    item.state = LVIS_SELECTED;
    item.stateMask = LVIS_SELECTED;
    SendMessageW(m_list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}
