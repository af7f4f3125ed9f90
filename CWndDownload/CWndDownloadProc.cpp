// The download window's procedure: the standard messages, the download block, the list's
// notifications and the commands.
#include "CWndDownload/CWndDownload.h"

#include "CWndDownload/DownloadQueue.h"

#include "CWndDownload/DownloadSettingsSheet.h"
#include "CWndDownload/DownloadListRow.h"
#include "CWndDownload/DownloadResource.h"
#include "client/ServiceUrls.h"
#include "client/VideoUrls.h"
#include "foundation/AppSettings.h"
#include "foundation/CToolTip.h"
#include "foundation/ListView.h"
#include "foundation/WindowUtil.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

const UINT_PTR kQueueTimerId = 0x4451;
const COLORREF kTipBackground = 0xAC7859;
const COLORREF kTipText = 0xFFFFFF;
const int kMinTrackHeight = 200;

// A dialog procedure hands its message result over through DWLP_MSGRESULT.
LRESULT DialogResult(HWND window, LRESULT value) {
    SetWindowLongPtrW(window, DWLP_MSGRESULT, value);
    return TRUE;
}

bool IsChecked(HWND button) {
    return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::wstring TextOf(LPARAM text) {
    const auto* chars = reinterpret_cast<const wchar_t*>(text);
    return chars != nullptr ? std::wstring(chars) : std::wstring();
}

// A mouse message's point (client coordinates of the window, which may lie outside it while the mouse
// is captured) on the screen.
POINT ClientPointToScreen(HWND window, LPARAM lParam) {
    POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ClientToScreen(window, &point);
    return point;
}

bool IsListLabelEditor(HWND control) {
    return control != nullptr && GetWindowClassName(control) == L"Edit" &&
           GetWindowClassName(GetParent(control)) == L"SysListView32";
}

} // namespace

LRESULT CWndDownload::CListSubclass::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KILLFOCUS) {
        // The selection's highlight and an in-place edit keep their state.
        return 0;
    }
    if (message == WM_KEYDOWN) {
        const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
        HWND parent = GetParent(window);
        if (wParam == VK_DELETE) {
            const bool shift = (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
            SendMessageW(parent, WM_COMMAND, shift ? IDM_DL_REMOVE_WITH_FILES : IDM_DL_REMOVE, 0);
        } else if (control && wParam == 'A') {
            ListView_SetItemState(window, -1, LVIS_SELECTED, LVIS_SELECTED);
        } else if (control && wParam == 'C') {
            SendMessageW(parent, WM_COMMAND, IDM_DL_COPY_URL_KEY, 0);
        }
    }
    return DefaultProc(window, message, wParam, lParam);
}

LRESULT CWndDownload::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT stepResult = 0;
    if (HandleDownloadRowStep(message, wParam, lParam, stepResult)) {
        return DialogResult(window, stepResult);
    }
    if (message == kMsgDownloadQueueStep) {
        m_queueStepPosted = false;
        if (m_list != nullptr) {
            GetDownloadQueue().StartWaitingItems(m_list);
        }
        return DialogResult(window, 0);
    }
    if (message >= kDownloadBlock && message < kDownloadBlock + kBlockSize) {
        bool handled = false;
        const LRESULT result = OnBlockMessage(message, wParam, lParam, handled);
        return handled ? DialogResult(window, result) : DefaultProc(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_INITDIALOG:
        return OnCreate(window);
    case WM_DESTROY:
        OnDestroy();
        return TRUE;
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return DialogResult(window, 0);
    case WM_CLOSE:
        m_closeNotice.Post();
        return DialogResult(window, 0);
    case WM_GETMINMAXINFO:
        if (m_initialWindowSize.cx > 0) {
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {m_initialWindowSize.cx, kMinTrackHeight};
        }
        return DialogResult(window, 0);
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header == nullptr || m_list == nullptr || header->hwndFrom != m_list) {
            return DialogResult(window, 0);
        }
        return DialogResult(window, OnListNotify(*header));
    }
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return DialogResult(window, 0);
    case WM_MOUSEMOVE:
        if (GetCapture() == window) {
            UpdateDragCursor(ClientPointToScreen(window, lParam));
        }
        return DialogResult(window, 0);
    case WM_LBUTTONDOWN:
        return DialogResult(window, 0);
    case WM_LBUTTONUP:
        if (GetCapture() == window) {
            OnListDragEnd(ClientPointToScreen(window, lParam));
        }
        return DialogResult(window, 0);
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return DialogResult(window, 0);
    case WM_DRAWCLIPBOARD:
        WatchClipboard();
        return DialogResult(window, 0);
    case WM_CHANGECBCHAIN:
        if (reinterpret_cast<HWND>(wParam) == m_nextClipboardViewer) {
            m_nextClipboardViewer = reinterpret_cast<HWND>(lParam);
        } else if (m_nextClipboardViewer != nullptr) {
            SendMessageW(m_nextClipboardViewer, message, wParam, lParam);
        }
        return DialogResult(window, 0);
    case kMsgDownloadAskUser:
        return DialogResult(window,
                            BringWindowToFront(reinterpret_cast<const wchar_t*>(wParam), static_cast<UINT>(lParam)));
    case kMsgDownloadListLoaded:
        OnListLoaded();
        return DialogResult(window, 0);
    default:
        return DefaultProc(window, message, wParam, lParam);
    }
}

BOOL CWndDownload::OnCreate(HWND window) {
    m_frame = GetDlgItem(window, IDC_DOWNLOAD_FRAME);
    m_urlBox = GetDlgItem(window, IDC_DOWNLOAD_URL);
    m_checkMovie = GetDlgItem(window, IDC_DOWNLOAD_CHECK_MOVIE);
    m_checkComment = GetDlgItem(window, IDC_DOWNLOAD_CHECK_COMMENT);
    m_pastLogButton = GetDlgItem(window, IDC_DOWNLOAD_PAST_LOG);
    m_checkVideoInfo = GetDlgItem(window, IDC_DOWNLOAD_CHECK_VIDEO_INFO);
    m_checkPlayAfter = GetDlgItem(window, IDC_DOWNLOAD_CHECK_PLAY_AFTER);
    m_checkAddPlaylist = GetDlgItem(window, IDC_DOWNLOAD_CHECK_ADD_PLAYLIST);
    m_addButton = GetDlgItem(window, IDC_DOWNLOAD_ADD);
    m_list = GetDlgItem(window, IDC_DOWNLOAD_LIST);

    SetWindowLongPtrW(m_urlBox, GWL_STYLE, GetWindowLongPtrW(m_urlBox, GWL_STYLE) | WS_BORDER);
    SetWindowPos(m_urlBox, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_NOOWNERZORDER);

    ListView_SetExtendedListViewStyle(m_list, LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_HEADERDRAGDROP |
                                                  LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
    SetupListToolTips(m_list);
    InsertDownloadListColumns(m_list);

    m_itemPopup.Reset(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_DOWNLOAD_ITEM_POPUP)));
    CWndBase::Attach(m_list, &m_listSubclass);

    m_toolTip = std::make_unique<CToolTip>();
    if (m_toolTip->Create(window)) {
        HWND tip = m_toolTip->GetWindowHandle();
        SendMessageW(tip, TTM_SETTIPBKCOLOR, kTipBackground, 0);
        SendMessageW(tip, TTM_SETTIPTEXTCOLOR, kTipText, 0);
        const std::wstring urlTip =
            std::wstring(L"動画のURLを入力して下さい\n(\"") + GetWatchUrl(GetAppSettings().Country) +
            L"\"は省略できます)\n"
            L"また、マイリストや検索結果などの動画URLを含んだページのURLを指定することで、リストに複数動画を一括して登"
            L"録できます。\n"
            L"その他に、このウィンドウにURLや動画IDを含んだファイルをドラッグ＆ドロップすることでURLを指定できます";
        const struct {
            HWND control;
            std::wstring text;
        } tools[] = {
            {m_urlBox, urlTip},
            {m_checkMovie, L"動画ファイルをダウンロードする"},
            {m_checkComment, L"コメントファイルをダウンロードする"},
            {m_pastLogButton, L"過去ログを取得する\r\n(※プレミアムユーザーのみ)\n\nlog=\"年/月/日 "
                              L"時:分:秒\"の形式で指定できます\n(※時,分,秒の指定は省略すると0になります)"},
            {m_checkVideoInfo,
             L"動画情報をダウンロードする\n(ダウンロードする内容の設定は設定ダイアログの[動画情報]タブより行えます)"},
            {m_checkAddPlaylist, L"ファイルをダウンロードした後、リストに追加します"},
            {m_checkPlayAfter, L"ファイルをダウンロードした後、自動的に動画を再生します"},
            {m_addButton, L"ダウンロードを開始します"},
        };
        for (const auto& tool : tools) {
            m_toolTip->AddWindowTool(tool.control, tool.text);
        }
    }

    m_nextClipboardViewer = SetClipboardViewer(window);
    return TRUE;
}

void CWndDownload::OnDestroy() {
    HWND window = GetHandle();
    SaveSettings();
    ChangeClipboardChain(window, m_nextClipboardViewer);
    m_nextClipboardViewer = nullptr;
    if (m_dragCursor != nullptr) {
        DestroyCursor(m_dragCursor);
        m_dragCursor = nullptr;
    }
    if (m_queueTimer != 0) {
        KillTimer(m_list, m_queueTimer);
        m_queueTimer = 0;
    }
    m_toolTip.reset();
    m_itemPopup.Close();
    m_textAnswers.clear();
    // A window made again (only tests do so) starts as a first one.
    m_created = false;
    m_pending = DownloadPendingAdd{};
    m_rowKeys = CDownloadRowKeys{};
    // A new menu may get an old one's handle: its items are set from scratch.
    m_menuStates.clear();
    m_listSizeRecorded = false;
    m_list = m_urlBox = m_frame = m_checkMovie = m_checkComment = m_pastLogButton = nullptr;
    m_checkVideoInfo = m_checkPlayAfter = m_checkAddPlaylist = m_addButton = nullptr;
}

void CWndDownload::OnSize(int width, int height) {
    if (m_list == nullptr || m_initialClientSize.cx == 0) {
        return;
    }
    if (!m_listSizeRecorded) {
        RECT rect = {};
        GetWindowRect(m_list, &rect);
        m_initialListSize = {rect.right - rect.left, rect.bottom - rect.top};
        m_listSizeRecorded = true;
    }
    SetWindowPos(m_list, nullptr, 0, 0, m_initialListSize.cx + (width - m_initialClientSize.cx),
                 m_initialListSize.cy + (height - m_initialClientSize.cy), SWP_NOZORDER | SWP_NOMOVE);
}

LRESULT CWndDownload::OnBlockMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    const DownloadSettings& settings = GetDownloadSettings();
    const auto* texts = reinterpret_cast<const std::vector<std::wstring>*>(wParam);
    const auto* text = reinterpret_cast<const wchar_t*>(wParam);
    const auto* folder = reinterpret_cast<const wchar_t*>(lParam);
    const DWORD flags = static_cast<DWORD>(lParam);
    switch (message) {
    case kMsgDownloadHandle:
        return reinterpret_cast<LRESULT>(GetHandle());
    case kMsgDownloadListHandle:
        return reinterpret_cast<LRESULT>(m_list);
    case kMsgDownloadAddItem:
        return Added(texts != nullptr && m_list != nullptr && ::AddItemFromArgs(MakeAddContext(), *texts, flags));
    case kMsgDownloadQueueAddItem:
        return Added(texts != nullptr && m_list != nullptr && ::QueueAddItem(MakeAddContext(), *texts, flags));
    case kMsgDownloadAddUrl:
        return Added(m_list != nullptr && ::AddUrlWithCheckedKinds(MakeAddContext(), text, folder));
    case kMsgDownloadAddUrlComment:
        return Added(m_list != nullptr && ::AddUrlCommentOnly(MakeAddContext(), text, folder));
    case kMsgDownloadAddUrlVideo:
        return Added(m_list != nullptr && ::AddUrlVideoOnly(MakeAddContext(), text, folder));
    case kMsgDownloadAddUrlInfo:
        return Added(m_list != nullptr && ::AddUrlVideoInfoOnly(MakeAddContext(), text, folder));
    case kMsgDownloadSetUrlFromFile:
        SetWindowTextW(m_urlBox, GetWatchUrlFromFileName(TextOf(wParam)).c_str());
        return 1;
    case kMsgDownloadOpenSettings:
        SendMessageW(GetHandle(), WM_COMMAND, IDM_DL_SETTINGS, 0);
        return 0;
    case kMsgDownloadGetSavePath:
        return AnswerText(message, settings.SavePath);
    case kMsgDownloadRenamePath:
        RenamePathInList(TextOf(wParam), TextOf(lParam));
        return 0;
    case kMsgDownloadScheduleSave:
        ScheduleListAutoSave();
        return 0;
    case kMsgDownloadGetCommentFormat:
        return AnswerText(message, settings.FileNameFormatXML);
    case kMsgDownloadGetOwnerCommentFormat:
        return AnswerText(message, settings.FileNameFormatOwnerXML);
    case kMsgDownloadGetPass:
        return AnswerText(message, settings.Pass);
    case kMsgDownloadGetMail:
        return AnswerText(message, settings.Mail);
    case kMsgDownloadIsSettingsOpen:
        return IsSettingsSheetOpen() ? 1 : 0;
    case kMsgDownloadGetCommentOwner:
        return settings.CommentGetOwner ? 1 : 0;
    default:
        handled = false;
        return 0;
    }
}

LRESULT CWndDownload::AnswerText(UINT message, const std::wstring& text) {
    std::wstring& kept = m_textAnswers[message];
    kept = text;
    return reinterpret_cast<LRESULT>(kept.c_str());
}

void CWndDownload::OnListLoaded() {
    if (m_saveAfterLoad && !IsDownloadListLoading()) {
        m_saveAfterLoad = false;
        ScheduleListAutoSave();
    }
    m_pending.listLoaded = true;
    if (m_pending.texts.empty()) {
        return;
    }
    const std::vector<std::wstring> texts = std::move(m_pending.texts);
    const DWORD flags = m_pending.flags;
    m_pending.texts.clear();
    m_pending.flags = 0;
    HWND target = m_mainWindow != nullptr ? m_mainWindow : GetHandle();
    SendMessageW(target, kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&texts), static_cast<LPARAM>(flags));
    ScrollToLastRow();
}

void CWndDownload::ShowCommentLogWarning() {
    if (!IsChecked(m_checkComment) || m_commentLogWarned || !GetAppSettings().AutoAcquireComment) {
        return;
    }
    m_commentLogWarned = true;
    MessageBoxW(GetHandle(),
                L"現在コメントを自動更新する設定となっています。\n動画再生時に自動的にコメントがダウンロードされるので"
                L"、現在のコメントをログとして保存したい方以外はチェックする必要はありません。\n\n("
                L"このチェックによってダウンロードしたファイルは通常 \"動画タイトル(動画ID)[日時].xml\" "
                L"というファイル名で保存されます。\nこのように日時の付いたコメントファイルはコメントの自動更新が行われ"
                L"ないので、コメントをログとして保存した場合にお使い下さい。)",
                (m_appTitle.empty() ? GetAppSettings().appName : m_appTitle).c_str(), MB_TOPMOST | MB_SETFOREGROUND);
}

void CWndDownload::ShowDownloadSettings() {
    ::ShowDownloadSettings(GetHandle());
}

void CWndDownload::ScrollToLastRow() {
    const int count = ListView_GetItemCount(m_list);
    if (count > 0) {
        ListView_EnsureVisible(m_list, count - 1, TRUE);
    }
}

void CWndDownload::OnCommand(UINT id, HWND control, UINT code) {
    if (code == EN_SETFOCUS && IsListLabelEditor(control)) {
        ListEditLabelNotifyMessageSender(control);
    }
    const int rowsBefore = m_list != nullptr ? ListView_GetItemCount(m_list) : 0;
    switch (id) {
    case IDC_DOWNLOAD_URL:
        CheckUrlBox();
        break;
    case IDC_DOWNLOAD_CHECK_COMMENT:
        if (code == BN_CLICKED) {
            ShowCommentLogWarning();
        }
        break;
    case IDC_DOWNLOAD_PAST_LOG:
        AddPastLogOption();
        break;
    case IDC_DOWNLOAD_ADD:
        ::AddFromUrlBox(MakeAddContext());
        break;
    case IDC_DOWNLOAD_ENTER:
        ::OnEnterCommand(MakeAddContext());
        break;
    case IDM_DL_ADD_FROM_FILE:
        OpenListFileDialog();
        break;
    case IDM_DL_CLOSE:
        SendMessageW(GetHandle(), WM_CLOSE, 0, 0);
        break;
    case IDM_DL_SETTINGS:
        ShowDownloadSettings();
        break;
    case IDM_DL_OPEN_EXCEPT_LIST:
        OpenExceptList();
        break;
    case IDM_DL_OPEN_SAVE_FOLDER:
        OpenSaveFolder();
        break;
    case IDM_DL_PLAY:
        OpenItemFile();
        break;
    case IDM_DL_REEDIT:
        ReEditSelectedRow();
        break;
    case IDM_DL_ADD_TO_PLAYLIST:
        AddSelectedToPlaylist();
        break;
    case IDM_DL_OPEN_ITEM_FOLDER:
        OpenItemFolder();
        break;
    case IDM_DL_TOGGLE_PAUSE:
        ToggleSelectedChecks();
        break;
    case IDM_DL_CANCEL:
        CancelItemDownload();
        break;
    case IDM_DL_PAUSE_ALL:
        UncheckAllListItems(m_list);
        break;
    case IDM_DL_START_ALL:
        TickAllStartableItems();
        break;
    case IDM_DL_REDO_ECONOMY:
        RedoEconomyItems();
        break;
    case IDM_DL_COPY_ID:
    case IDM_DL_COPY_URL:
    case IDM_DL_COPY_TITLE:
    case IDM_DL_COPY_FILE_NAME:
    case IDM_DL_COPY_FILE_PATH:
    case IDM_DL_COPY_URL_KEY:
        CopyItemToClipboard(id);
        break;
    case IDM_DL_OPEN_URL:
        OpenItemUrl();
        break;
    case IDM_DL_MOVE_UP:
        MoveSelectedItemsUp();
        break;
    case IDM_DL_MOVE_DOWN:
        MoveSelectedItemsDown();
        break;
    case IDM_DL_REMOVE:
        RemoveDownloadItem(false, false);
        break;
    case IDM_DL_REMOVE_WITH_FILES:
        if (Ask(L"選択している項目の削除と関連するファイルをゴミ箱に移動します。\nよろしいですか？\n\n※「関連するファイ"
                L"ル」"
                L"とは同じIDが名前に含まれるファイルです",
                MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION | MB_SETFOREGROUND | MB_TOPMOST) == IDYES) {
            RemoveDownloadItem(false, true);
        }
        break;
    case IDM_DL_REMOVE_COMPLETED:
        RemoveCompletedItems(false);
        break;
    case IDM_DL_EXCEPT_REMOVE:
        RemoveDownloadItem(true, false);
        break;
    case IDM_DL_EXCEPT_REMOVE_WITH_FILES:
        if (Ask(L"選択している項目と関連するファイルをコンピュータから削除します。\nよろしいですか？\n\n※「関連するファ"
                L"イ"
                L"ル」とは同じIDが名前に含まれるファイルです",
                MB_YESNO | MB_SETFOREGROUND | MB_TOPMOST) == IDYES) {
            RemoveDownloadItem(true, true);
        }
        break;
    case IDM_DL_EXCEPT_REMOVE_COMPLETED:
        RemoveCompletedItems(true);
        break;
    default:
        break;
    }
    if (id == 0 || m_list == nullptr) {
        return;
    }
    if (ListView_GetItemCount(m_list) != rowsBefore) {
        ScheduleListAutoSave();
    }
    UpdateQueueTimer();
}

LRESULT CWndDownload::OnListNotify(const NMHDR& header) {
    switch (header.code) {
    case NM_CUSTOMDRAW:
        // The list hands over its own record, which the answer's colours are written into.
        return OnListCustomDraw(const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(header)));
    case LVN_ENDLABELEDITW:
        OnEndLabelEdit(reinterpret_cast<const NMLVDISPINFOW&>(header));
        break;
    case LVN_ITEMCHANGED:
        OnItemChanged(reinterpret_cast<const NMLISTVIEW&>(header));
        break;
    case LVN_BEGINDRAG:
        SetCapture(GetHandle());
        break;
    case NM_RCLICK:
        if (m_itemPopup) {
            POINT cursor = {};
            GetCursorPos(&cursor);
            TrackPopupMenu(GetSubMenu(m_itemPopup.Get(), 0), TPM_LEFTBUTTON, cursor.x, cursor.y, 0, GetHandle(),
                           nullptr);
        }
        break;
    case NM_RETURN:
    case NM_DBLCLK:
        OnCommand(IDM_DL_PLAY, nullptr, 0);
        break;
    default:
        break;
    }
    UpdateQueueTimer();
    return 0;
}

LRESULT CWndDownload::Added(bool added) {
    if (added && !m_queueStepPosted && PostMessageW(GetHandle(), kMsgDownloadQueueStep, 0, 0)) {
        m_queueStepPosted = true;
    }
    return added ? 1 : 0;
}

void CWndDownload::UpdateQueueTimer() {
    if (m_updatingQueueTimer || m_list == nullptr) {
        return;
    }
    m_updatingQueueTimer = true;
    const int count = ListView_GetItemCount(m_list);
    UpdateItemMenu(GetMenu(GetHandle()));
    UpdateItemMenu(m_itemPopup.Get());
    if (count == 0) {
        if (m_queueTimer != 0) {
            KillTimer(m_list, m_queueTimer);
            m_queueTimer = 0;
        }
    } else if (m_queueTimer == 0) {
        m_queueTimer = SetTimer(m_list, kQueueTimerId, kDownloadQueueTimerMs, &DownloadQueueTimerProc);
    }
    m_updatingQueueTimer = false;
}
