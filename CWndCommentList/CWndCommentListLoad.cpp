// Loading the comment list's rows, following the play position and the comment time shift.
#include "CWndCommentList/CWndCommentList.h"

#include "app/MediaPlayback.h"
#include "engine/CCommentFilter.h"
#include "engine/CommentControl.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CWorkerThread.h"
#include "foundation/Dialogs.h"
#include "foundation/Exception.h"
#include "foundation/ListView.h"
#include "foundation/MainWindowMessages.h"

#include <commctrl.h>

#include <algorithm>

namespace {

// Progress goes to the title every this many comments; rows reach the window in batches as large.
constexpr int32_t kProgressStep = 250;

const wchar_t kLoadingTitle[] = L"リストデータ読み込み中...";

// The rows of chats, made on the loading thread.
std::vector<CommentRowTexts> MakeRows(const std::vector<ChatData>& chats) {
    std::vector<CommentRowTexts> rows;
    rows.reserve(chats.size());
    for (const ChatData& chat : chats) {
        rows.push_back(MakeCommentRow(chat));
    }
    return rows;
}

} // namespace

struct CWndCommentList::LoadRequest {
    unsigned generation = 0;
    CommentControl* store = nullptr;
    std::vector<std::wstring> paths;
    int32_t count = -1;
    int32_t start = -1;
};

bool CWndCommentList::LoadAsync(CommentControl& store) {
    // The player's comment loader calls from its worker: the window's members belong to its thread.
    if (m_hWnd != nullptr && GetWindowThreadProcessId(m_hWnd, nullptr) != GetCurrentThreadId()) {
        RunOnWindowThread([&] { LoadAsync(store); });
        return true;
    }
    // Set before the worker starts: its re-timing compares them with the playing comment file.
    m_loadedFiles = {GetPlayingMedia().commentPath};
    LoadRequest request;
    request.store = &store;
    StartLoad(std::move(request));
    return true;
}

bool CWndCommentList::LoadFilesAsync(const std::vector<std::wstring>& paths) {
    m_loadedFiles = paths;
    LoadRequest request;
    request.paths = paths;
    return StartLoad(std::move(request));
}

bool CWndCommentList::LoadFileAsync(const std::wstring& path) {
    return LoadFilesAsync({path});
}

void CWndCommentList::OpenCommentFile() {
    std::wstring path;
    if (ShowOpenFileDialog(m_hWnd, path, {{L"コメントファイル", L"*.xml"}})) {
        LoadFileAsync(path);
    }
}

bool CWndCommentList::StartLoad(LoadRequest request) {
    request.generation = ++m_loadGeneration;
    CWorkerThread thread = StartWorker({L"CWndCommentList::LoadThread", true},
                                       [this, request] { LoadThread(request); });
    return thread.IsStarted();
}

void CWndCommentList::BeginLoad() {
    SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    m_redrawOff = true;
    SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
    EnableWindow(m_list, FALSE);
    SetWindowTextW(m_hWnd, kLoadingTitle);
    m_lastScrollTarget.clear();
}

void CWndCommentList::EndLoad() {
    EnableWindow(m_list, TRUE);
    SetWindowTextW(m_hWnd, m_title.c_str());
    SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
    m_redrawOff = false;
    InvalidateRect(m_list, nullptr, TRUE);
    UpdateMenu(nullptr);
}

void CWndCommentList::LoadThread(const LoadRequest& request) {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    CAutoLock serial(m_loadLock);
    // A newer request started meanwhile: its rows are the ones the list must end with.
    if (!IsCurrentLoad(request.generation) || m_hWnd == nullptr) {
        return;
    }
    RunOnWindowThread([this] { BeginLoad(); });
    bool complete = true;
    if (request.store != nullptr) {
        CommentControl& store = *request.store;
        const int32_t count = store.GetCommentCount();
        std::vector<ChatData> chats;
        chats.reserve(static_cast<size_t>(std::max(count, 0)));
        for (int32_t i = 0; i < count; ++i) {
            chats.push_back(store.GetChatData(i));
        }
        const std::vector<CommentRowTexts> rows = MakeRows(chats);
        for (size_t first = 0; first < rows.size() && complete;) {
            // Up to and including the next index that is a multiple of the step.
            const size_t end = std::min(rows.size(), (first / kProgressStep + 1) * kProgressStep + 1);
            complete = IsCurrentLoad(request.generation);
            if (complete) {
                RunOnWindowThread([&] { InsertRows(rows, first, end); });
                if ((end - 1) % kProgressStep == 0 && end - 1 > 0) {
                    SetWindowTextW(m_hWnd, (L"ファイル読み込み中..." + std::to_wstring(end - 1) + L"/" +
                                            std::to_wstring(count))
                                               .c_str());
                }
            }
            first = end;
        }
        if (complete) {
            RunOnWindowThread([this] { OrderAfterStoreLoad(); });
        }
    } else {
        for (const std::wstring& path : request.paths) {
            if (!IsCurrentLoad(request.generation) || !LoadXmlSource(path, -1, -1, request.generation)) {
                complete = false;
                break;
            }
        }
        if (complete) {
            RunOnWindowThread([this] {
                m_listTimeShift = 0;
                ApplyTimeShift(GetAppSettings().CommentTimeShift);
                Sort();
            });
        }
    }
    if (!IsCurrentLoad(request.generation)) {
        // The newer load clears the rows and ends the busy state itself.
        return;
    }
    RunOnWindowThread([this, complete] {
        EndLoad();
        if (complete && m_autoViewLastLine) {
            ScrollLastRowIntoView();
        }
    });
}

void CWndCommentList::OrderAfterStoreLoad() {
    // The store's chats carry their times before the shift: the list starts from none, then follows it.
    m_listTimeShift = 0;
    ApplyTimeShift(GetAppSettings().CommentTimeShift);
    const int key = m_sortKeys.CurrentKey();
    if (key == -1) {
        SetSortMark(comment_column::kNo, 1);
        Sort();
        SetSortMark(comment_column::kNo, 0);
    } else if (!(key == comment_column::kTime && m_sortKeys.Direction(key) == 1)) {
        Sort();
    }
}

void CWndCommentList::ScrollLastRowIntoView() {
    const int count = static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0));
    if (count > 0) {
        SendMessageW(m_list, LVM_ENSUREVISIBLE, count - 1, TRUE);
    }
}

void CWndCommentList::InsertRows(const std::vector<CommentRowTexts>& rows, size_t first, size_t end) {
    int index = static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0));
    for (size_t i = first; i < end; ++i, ++index) {
        const CommentRowTexts& row = rows[i];
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = index;
        item.lParam = index;
        item.pszText = const_cast<wchar_t*>(row[0].c_str());
        const int inserted = static_cast<int>(SendMessageW(m_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (inserted < 0) {
            continue;
        }
        for (int column = 1; column <= comment_column::kPremium; ++column) {
            // A new row's cells are empty already.
            if (row[column].empty()) {
                continue;
            }
            LVITEMW cell = {};
            cell.iSubItem = column;
            cell.pszText = const_cast<wchar_t*>(row[column].c_str());
            SendMessageW(m_list, LVM_SETITEMTEXTW, inserted, reinterpret_cast<LPARAM>(&cell));
        }
    }
}

void CWndCommentList::InsertCommentItem(const ChatData& chat) {
    const std::vector<CommentRowTexts> rows{MakeCommentRow(chat)};
    InsertRows(rows, 0, 1);
}

bool CWndCommentList::LoadCommentXml(const std::wstring& source, int32_t count, int32_t start) {
    return LoadXmlSource(source, count, start, 0);
}

bool CWndCommentList::LoadXmlSource(const std::wstring& source, int32_t count, int32_t start, unsigned generation) {
    const bool filtering = GetAppSettings().EnableFilter && !GetCommentFilter().IsFilterEmpty();
    std::function<bool(ChatData&)> keep;
    if (filtering) {
        keep = [](ChatData& chat) { return GetCommentFilter().IsCommentAllowed(chat); };
    }
    CommentListXml xml;
    try {
        // Called by the main window on its own thread, COM is already there; the worker has its own.
        if (!ReadCommentListXml(source, count, start, keep, [](const std::wstring& line) { LogViaMainWindow(line); },
                                xml)) {
            return false;
        }
    } catch (const utl::exception::CException& error) {
        DebugLog() << error.text << EndLine;
        const std::wstring text = L"コメントデータ読み込み中に例外が発生しました。\n\n"
                                  L"MSXMLがインストールされていない、または、古いMSXMLを使用する設定になっている可能性があります。\n"
                                  L"MSXML2.DLL以降が使用できる状態にして下さい。\n\n" +
                                  error.text + L"\n";
        MessageBoxW(m_hWnd, text.c_str(), m_appTitle.c_str(), MB_OK | MB_TOPMOST | MB_SETFOREGROUND);
        return false;
    }
    const std::vector<CommentRowTexts> rows = MakeRows(xml.chats);
    const int32_t n = xml.range.count;
    for (size_t first = 0; first < rows.size();) {
        const size_t end = std::min(rows.size(), first + kProgressStep);
        if (generation != 0 && !IsCurrentLoad(generation)) {
            return false;
        }
        RunOnWindowThread([&] { InsertRows(rows, first, end); });
        // Only a load shows progress: a call of the main window's has no one to give the title back.
        if (generation != 0 && end < rows.size()) {
            SetWindowTextW(m_hWnd, (L"リスト読み込み中..." + std::to_wstring(end) + L"/" + std::to_wstring(n)).c_str());
        }
        first = end;
    }
    return true;
}

bool CWndCommentList::RefreshAfterAppend() {
    const int key = m_sortKeys.CurrentKey();
    if (key != -1) {
        const bool alreadyInOrder =
            (key == comment_column::kNo || key == comment_column::kPostTime) && m_sortKeys.Direction(key) == 1;
        if (!alreadyInOrder) {
            Sort();
            return true;
        }
    }
    if (m_autoViewLastLine) {
        ScrollLastRowIntoView();
    }
    return true;
}

void CWndCommentList::ScrollToPlayPosition(int32_t positionMs) {
    if (m_hWnd == nullptr || !m_autoScroll || m_sortKeys.Direction(comment_column::kTime) == 0 || IsBusy()) {
        return;
    }
    const std::wstring target = FormatVposTime(positionMs / 10);
    // Positions arrive many times a second; the rows change only when the shown second does.
    if (target == m_lastScrollTarget) {
        return;
    }
    m_lastScrollTarget = target;
    const int row = FindPlayPositionRow(ColumnTexts(comment_column::kTime), positionMs);
    if (row >= 0) {
        SendMessageW(m_list, LVM_ENSUREVISIBLE, row, TRUE);
    }
}

void CWndCommentList::ConfirmSortForAutoScroll() {
    m_autoScroll = !m_autoScroll;
    if (!m_autoScroll) {
        return;
    }
    m_lastScrollTarget.clear();
    if (m_sortKeys.Direction(comment_column::kTime) == 0) {
        const int answer = MessageBoxW(m_hWnd,
                                       L"自動スクロールを有効にするには、リスト項目を表示時間順に並び替える必要があります。\n"
                                       L"並び替えを行いますか？",
                                       m_appTitle.c_str(), MB_YESNO | MB_TOPMOST | MB_SETFOREGROUND);
        if (answer == IDYES) {
            SetSortMark(comment_column::kTime, 1);
            Sort();
        }
    }
}

bool CWndCommentList::ApplyTimeShift(int32_t shiftMs) {
    const std::wstring& playing = GetPlayingMedia().commentPath;
    if (m_list == nullptr || shiftMs == m_listTimeShift ||
        std::find(m_loadedFiles.begin(), m_loadedFiles.end(), playing) == m_loadedFiles.end()) {
        return false;
    }
    const std::vector<std::wstring> times = ColumnTexts(comment_column::kTime);
    for (size_t row = 0; row < times.size(); ++row) {
        const std::wstring text = ShiftVposText(times[row], shiftMs, m_listTimeShift);
        LVITEMW cell = {};
        cell.iSubItem = comment_column::kTime;
        cell.pszText = const_cast<wchar_t*>(text.c_str());
        SendMessageW(m_list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&cell));
    }
    m_listTimeShift = shiftMs;
    m_lastScrollTarget.clear();
    return true;
}

void CWndCommentList::OnCheckStateChanged(int row) {
    if (row >= 0) {
        const UINT state = static_cast<UINT>(SendMessageW(m_list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
        const std::wstring mark = (state >> 12) == 1 ? L"○" : L"";
        // Written only when it changes, so that the write raises no change of its own.
        if (GetListItemText(m_list, row, comment_column::kDeleted) != mark) {
            SetListItemText(mark, comment_column::kDeleted, m_list, row);
        }
    }
    // The status text follows with the menu refresh that the notification posts.
}
