#include "CWndDownload/CWndDownload.h"

#include "CWndDownload/DownloadSettingsSheet.h"
#include "CWndDownload/DownloadClipboard.h"
#include "CWndDownload/DownloadCommands.h"
#include "CWndDownload/DownloadListFile.h"
#include "CWndDownload/DownloadListRow.h"
#include "CWndDownload/DownloadResource.h"
#include "client/DownloadFileNameFormats.h"
#include "client/SaveNames.h"
#include "client/ServiceUrls.h"
#include "client/VideoUrls.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CIniFile.h"
#include "foundation/Dialogs.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Shell.h"
#include "foundation/StringUtil.h"
#include "foundation/VideoId.h"
#include "foundation/CToolTip.h"
#include "foundation/ListView.h"
#include "foundation/PathUtil.h"
#include "foundation/WindowUtil.h"

#include <commctrl.h>

namespace {

const wchar_t kWindowClass[] = L"CWndDownload";
const wchar_t kCaptionSuffix[] = L" - ダウンロードウィンドウ";
// Width of the last column, which shows nothing and is not stored.
const int kLastColumnWidth = 70;
// The stored widths in their keys' order, by column.
const int kStoredWidthColumns[kDownloadStoredColumnCount] = {0, 2, 3, 4, 1, 5, 6, 7, 8, 9};

// The window whose auto-save timer is pending (a thread timer carries no window).
CWndDownload* g_autoSaveOwner = nullptr;

bool IsChecked(HWND button) {
    return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND button, bool checked) {
    SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

DownloadListTarget MakeListTarget(HWND window, HWND list, const std::wstring& caption) {
    const AppSettings& app = GetAppSettings();
    DownloadListTarget target;
    target.window = window;
    target.list = list;
    target.caption = caption;
    target.programFolder = app.programFolder;
    target.settingsDatPath = app.settingsDatPath;
    target.debugMode = app.DebugMode;
    return target;
}

} // namespace

CWndDownload::CWndDownload() = default;

CWndDownload::~CWndDownload() {
    if (g_autoSaveOwner == this) {
        g_autoSaveOwner = nullptr;
    }
}

void CWndDownload::Init(const std::wstring& appTitle, const std::wstring& settingsPath, HWND mainWindow) {
    m_appTitle = appTitle;
    m_caption = appTitle + kCaptionSuffix;
    m_settingsPath = settingsPath;
    m_listFilePath = GetDirectoryPath(settingsPath) + L"DownList.dat";
    m_mainWindow = mainWindow;
}

bool CWndDownload::RegisterWndClass() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kWindowClass, &existing)) {
        return true;
    }
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &CWndBase::StaticWndProc;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hIconSm = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWndDownload::CreateDlg() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    HWND window =
        CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_DOWNLOAD), nullptr,
                           reinterpret_cast<DLGPROC>(&CWndBase::StaticWndProc), reinterpret_cast<LPARAM>(this));
    if (window == nullptr) {
        return false;
    }
    RECT rect = {};
    GetWindowRect(window, &rect);
    m_initialWindowSize = {rect.right - rect.left, rect.bottom - rect.top};
    GetClientRect(window, &rect);
    m_initialClientSize = {rect.right, rect.bottom};
    m_accelerator.Reset(LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_DOWNLOAD_ACCEL)));
    return true;
}

bool CWndDownload::Show(int showCommand) {
    if (!m_created) {
        if (GetHandle() == nullptr && !(RegisterWndClass() && CreateDlg())) {
            return false;
        }
        m_created = true;
        LoadSettings();
    }
    if (GetHandle() == nullptr) {
        return false;
    }
    ShowWindow(GetHandle(), showCommand);
    return true;
}

void CWndDownload::Destroy() {
    if (GetHandle() != nullptr) {
        DestroyWindow(GetHandle());
    }
}

HWND CWndDownload::GetSettingsSheetWindow() const {
    return GetDownloadSettingsSheetWindow();
}

void CWndDownload::LoadSettings() {
    const AppSettings& app = GetAppSettings();
    DownloadWindowKeys& keys = m_windowKeys;
    keys = DownloadWindowKeys{};
    DownloadFileNameFormats formats;
    ReadDownloadSettings(m_settingsPath, app.programFolder, keys, GetDownloadSettings(), formats);
    SetDownloadFileNameFormats(formats);

    HWND window = GetHandle();
    const UINT flags = SWP_NOMOVE | SWP_NOZORDER;
    RECT rect = {};
    GetWindowRect(window, &rect);
    SetWindowPos(window, nullptr, 0, 0, keys.width, rect.bottom - rect.top, flags);
    GetWindowRect(window, &rect);
    SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, keys.height, flags);
    if (keys.left == kDownloadPositionNotSet && keys.top == kDownloadPositionNotSet) {
        CenterWindow(window);
    } else {
        GetWindowRect(window, &rect);
        SetWindowPos(window, nullptr, keys.left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        GetWindowRect(window, &rect);
        SetWindowPos(window, nullptr, rect.left, keys.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        if (MonitorFromWindow(window, MONITOR_DEFAULTTONULL) == nullptr) {
            FitWindowToMonitor(window);
        }
    }
    SetWindowTextW(m_urlBox, keys.Url.c_str());
    SetChecked(m_checkMovie, keys.CheckMovie);
    SetChecked(m_checkComment, keys.CheckComment);
    m_commentLogWarned = keys.CheckedCommentOnce;
    SetChecked(m_checkVideoInfo, keys.CheckVideoInfo);
    SetChecked(m_checkPlayAfter, keys.CheckPlayAfterDown);
    SetChecked(m_checkAddPlaylist, keys.CheckAddPlayList);
    for (int i = 0; i < kDownloadStoredColumnCount; ++i) {
        ListView_SetColumnWidth(m_list, kStoredWidthColumns[i], keys.columnWidths[i]);
    }
    ListView_SetColumnWidth(m_list, kDownloadColumnCount - 1, kLastColumnWidth);
    if (!keys.columnOrder.empty()) {
        std::vector<int> order = keys.columnOrder;
        ListView_SetColumnOrderArray(m_list, static_cast<int>(order.size()), order.data());
    }
    // On its own, before the saved list: without a saved list the except list must still be known, or
    // the close would write an empty one over the user's.
    ReadDownloadExceptLists(GetAppSettings().settingsDatPath);
    StartListLoad(m_listFilePath, DownloadListSource::SavedList);
}

void CWndDownload::SaveSettings() {
    DownloadWindowKeys keys = m_windowKeys;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    keys.hasPlacement = GetWindowPlacement(GetHandle(), &placement) != FALSE;
    if (keys.hasPlacement) {
        const RECT& normal = placement.rcNormalPosition;
        keys.left = normal.left;
        keys.top = normal.top;
        keys.width = normal.right - normal.left;
        keys.height = normal.bottom - normal.top;
    }
    keys.Url = GetWindowTextString(m_urlBox);
    keys.CheckMovie = IsChecked(m_checkMovie);
    keys.CheckComment = IsChecked(m_checkComment);
    keys.CheckedCommentOnce = m_commentLogWarned;
    keys.CheckVideoInfo = IsChecked(m_checkVideoInfo);
    keys.CheckPlayAfterDown = IsChecked(m_checkPlayAfter);
    keys.CheckAddPlayList = IsChecked(m_checkAddPlaylist);
    for (int i = 0; i < kDownloadStoredColumnCount; ++i) {
        keys.columnWidths[i] = ListView_GetColumnWidth(m_list, kStoredWidthColumns[i]);
    }
    std::vector<int> order(kDownloadColumnCount);
    if (ListView_GetColumnOrderArray(m_list, kDownloadColumnCount, order.data())) {
        keys.columnOrder = order;
    }
    const AppSettings& app = GetAppSettings();
    WriteDownloadSettings(m_settingsPath, app.programFolder, keys, GetDownloadSettings());

    // A load cut short would leave the list part old, part new: every load asked for ends first (its
    // rows come in through this thread meanwhile), then the list is saved.
    WaitForDownloadListLoads();
    StopAutoSave();
    SaveList(m_listFilePath);
}

bool CWndDownload::SaveList(const std::wstring& path) {
    return SaveDownloadList(MakeListTarget(GetHandle(), m_list, m_caption), path, false);
}

void CWndDownload::StartListLoad(const std::wstring& path, DownloadListSource source) {
    // A missing list file changes nothing: not even the caption for a moment.
    if (!IsDownloadListLoading() && GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        PostMessageW(GetHandle(), kMsgDownloadListLoaded, 0, 0);
        return;
    }
    DownloadListTarget target = MakeListTarget(GetHandle(), m_list, m_caption);
    // The adding gate's context for the rows of one batch: the check boxes cannot change within one
    // step on this thread, and reading them for every row would cost more than the row.
    struct BatchContext {
        bool made = false;
        DownloadAddContext context;
    };
    const auto batch = std::make_shared<BatchContext>();
    target.addRow = [this, batch](const std::vector<std::wstring>& texts, DWORD flags, DownloadListSource from) {
        if (m_list == nullptr) {
            return false;
        }
        if (!batch->made) {
            batch->context = MakeAddContext();
        }
        // The saved list is the user's own: its rows come back as they were saved, also those whose
        // ID was put on the except list later (the list guards new additions). Coming back, they are
        // no change to save; a list file's rows are.
        const bool saveAfterLoad = m_saveAfterLoad;
        batch->context.savedRow = from == DownloadListSource::SavedList;
        const bool added = ::AddItemFromArgs(batch->context, texts, flags);
        batch->context.savedRow = false;
        if (from == DownloadListSource::SavedList) {
            m_saveAfterLoad = saveAfterLoad;
        }
        return Added(added) == 1;
    };
    target.runBatch = [this, batch](const std::function<void()>& rows) {
        batch->context = MakeAddContext();
        batch->made = true;
        // Each row sends the list several notifications, after each of which the window would refresh
        // its item menus by reading the whole list: once after the batch is enough.
        const bool refreshing = m_updatingQueueTimer;
        m_updatingQueueTimer = true;
        rows();
        m_updatingQueueTimer = refreshing;
        batch->made = false;
        UpdateQueueTimer();
    };
    auto load = std::make_unique<CDownloadListLoad>(target);
    WorkerOptions options;
    options.name = L"LoadListThread";
    StartWorker(options, [load = std::move(load), path, source] { load->Run(path, source); });
}

bool CWndDownload::AddListFromCommandLine(const std::wstring& path) {
    m_commandLineList = path;
    if (!FileExists(path)) {
        DebugLog() << L"リストファイルが見つかりません : " << path << EndLine;
        return false;
    }
    if (GetHandle() == nullptr && !Show(SW_HIDE)) {
        return false;
    }
    StartListLoad(m_commandLineList);
    return true;
}

bool CWndDownload::IsDownloadRunning() const {
    HWND list = m_list;
    const int count = list != nullptr ? ListView_GetItemCount(list) : 0;
    if (count == 0) {
        return false;
    }
    if (static_cast<int>(GetUncheckedListItems(list).size()) == count) {
        return false;
    }
    CAutoLock guard = LockWorkerThreads();
    for (size_t i = 0; i < GetWorkerThreadCount(); ++i) {
        WorkerThreadRecord& record = GetWorkerThread(i);
        if (record.state == WorkerThreadRecord::kRunning && record.thread.IsRunning()) {
            return true;
        }
    }
    return false;
}

bool CWndDownload::IsSettingsSheetOpen() const {
    return IsDownloadSettingsSheetOpen();
}

DWORD CWndDownload::GetDownloadKindFlags() const {
    const DownloadSettings& settings = GetDownloadSettings();
    DWORD flags = IsChecked(m_checkMovie) ? (kDownloadKindBase | kDownloadKindVideo) : kDownloadKindBase;
    if (IsChecked(m_checkComment)) {
        flags |= kDownloadKindComments;
    }
    if (IsChecked(m_checkVideoInfo)) {
        flags |= kDownloadKindInfo;
    }
    if (settings.VideoInfoSaveThumbnail) {
        flags |= kDownloadKindThumbnail;
    }
    if (IsChecked(m_checkPlayAfter)) {
        flags |= kDownloadKindPlay;
    }
    if (IsChecked(m_checkAddPlaylist)) {
        flags |= kDownloadKindPlaylist;
    }
    if (settings.CreateFolderEveryVideo) {
        flags |= kDownloadKindFolder;
    }
    return flags | (static_cast<DWORD>(kDownloadStatusWaiting) << 16);
}

DownloadAddContext CWndDownload::MakeAddContext() {
    DownloadAddContext context;
    context.window = GetHandle();
    context.list = m_list;
    context.urlBox = m_urlBox;
    context.videoCheck = m_checkMovie;
    context.mainWindow = m_mainWindow != nullptr ? m_mainWindow : GetHandle();
    context.appTitle = BoxCaption();
    context.caption = m_caption;
    context.kindFlags = GetDownloadKindFlags();
    context.settings = &GetDownloadSettings();
    context.exceptList = &GetDownloadExceptList();
    context.rowKeys = &m_rowKeys;
    context.pending = &m_pending;
    context.removeRow = [this](int row) { return RemoveItemAt(row); };
    return context;
}

bool CWndDownload::AddDownloadItem(const std::wstring& folder, const std::wstring& text, DWORD flags, bool quiet,
                                   bool askReplace) {
    if (m_list == nullptr) {
        return false;
    }
    return ::AddDownloadItem(folder, MakeAddContext(), text, flags, quiet, askReplace);
}

int CWndDownload::BringWindowToFront(const wchar_t* text, UINT type) {
    Show(SW_SHOW);
    HWND window = GetHandle();
    HWND previous = GetForegroundWindow();
    ForceForegroundWindow(window);
    const std::wstring& caption = m_appTitle.empty() ? GetAppSettings().appName : m_appTitle;
    const int answer = MessageBoxW(window, text != nullptr ? text : L"", caption.c_str(), type);
    if (answer == IDNO || (answer == IDCANCEL && previous != nullptr && previous != window)) {
        SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        if (previous != nullptr) {
            ForceForegroundWindow(previous);
        }
    } else {
        SetFocus(m_list);
    }
    return answer;
}

void CWndDownload::ScheduleListAutoSave() {
    if (!GetDownloadSettings().ListAutoSave) {
        return;
    }
    // A save would be refused while a list is loading: the end of the last load makes it.
    if (IsDownloadListLoading()) {
        m_saveAfterLoad = true;
        return;
    }
    if (m_autoSaveTimer != 0) {
        KillTimer(nullptr, m_autoSaveTimer);
    }
    g_autoSaveOwner = this;
    m_autoSaveTimer = SetTimer(nullptr, 0, kDownloadAutoSaveDelayMs, &CWndDownload::ListAutoSaveTimerProc);
}

void CALLBACK CWndDownload::ListAutoSaveTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    CWndDownload* self = g_autoSaveOwner;
    if (self == nullptr || self->m_autoSaveTimer != id) {
        return;
    }
    self->m_autoSaveTimer = 0;
    self->StartAutoSave();
}

void CWndDownload::StartAutoSave() {
    StopRunningSave();
    if (GetHandle() == nullptr) {
        return;
    }
    const DownloadListTarget target = MakeListTarget(GetHandle(), m_list, m_caption);
    auto stop = std::make_shared<std::atomic<bool>>(false);
    m_saveStop = stop;
    WorkerOptions options;
    options.name = L"SaveListThread";
    const std::wstring path = m_listFilePath;
    m_saveThread = StartWorker(options, [target, path, stop]() -> unsigned {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
        if (SaveDownloadList(target, path, true, stop.get())) {
            return 1;
        }
        // Refused by a load that began meanwhile: asked for again, it is made after the load.
        PostMessageW(target.window, kMsgDownloadScheduleSave, 0, 0);
        return 0;
    });
}

void CWndDownload::StopRunningSave() {
    if (m_saveStop) {
        m_saveStop->store(true);
    }
    // The save reads the list by messages to this thread, so they are answered while it ends.
    m_saveThread.Wait(INFINITE);
    m_saveThread = CWorkerThread();
    m_saveStop.reset();
}

void CWndDownload::StopAutoSave() {
    if (m_autoSaveTimer != 0) {
        KillTimer(nullptr, m_autoSaveTimer);
        m_autoSaveTimer = 0;
    }
    StopRunningSave();
}

CWndDownload& GetDownloadWindow() {
    static CWndDownload window;
    return window;
}

// ---- Rows: removing, moving, renaming ---------------------------------------------------------------

namespace {

const wchar_t kNotCompleted[] = L"この項目のダウンロードはまだ完了していません : ";

bool IsRowSelected(HWND list, int row) {
    return (ListView_GetItemState(list, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

// A running record's worker given up: it is told to end and, abandoned, never touches a row again
// (its row changes reach the list as messages that name the record, which the UI thread drops).
void AbandonWorker(int slot) {
    CAutoLock guard = LockWorkerThreads();
    WorkerThreadRecord& record = GetWorkerThread(static_cast<size_t>(slot));
    record.state = WorkerThreadRecord::kAbandoned;
    record.rowIndex = -1;
    record.signals->cancelled = true;
    record.signals->paused = false;
}

// A row's running worker as it was when the user was asked about it. A question is modal: while it
// is open the worker may end (its row done, perhaps removed) and the queue may give its record to
// another row, so the answer is applied only to the same worker's row, found again afterwards.
struct AskedWorker {
    int slot = -1;
    std::shared_ptr<WorkerSignals> signals;
    std::wstring key;
};

AskedWorker GetAskedWorker(HWND list, int row) {
    AskedWorker asked;
    asked.slot = FindRunningThreadSlot(row);
    asked.key = GetListItemText(list, row, kDownloadColumnId);
    if (asked.slot >= 0) {
        CAutoLock guard = LockWorkerThreads();
        asked.signals = GetWorkerThread(static_cast<size_t>(asked.slot)).signals;
    }
    return asked;
}

// Whether the worker asked about still works on a row of the list; its row then.
bool FindAskedWorkerRow(HWND list, const AskedWorker& asked, int& row) {
    CAutoLock guard = LockWorkerThreads();
    const WorkerThreadRecord& record = GetWorkerThread(static_cast<size_t>(asked.slot));
    if (record.state != WorkerThreadRecord::kRunning || record.signals != asked.signals || record.rowIndex < 0 ||
        record.rowIndex >= ListView_GetItemCount(list)) {
        return false;
    }
    row = record.rowIndex;
    return true;
}

// A row as it is rewritten by a move.
struct RowRecord {
    bool ticked = false;
    std::vector<std::wstring> texts;
    LPARAM data = 0;
    int slot = -1;
};

} // namespace

const std::wstring& CWndDownload::BoxCaption() const {
    return m_appTitle.empty() ? GetAppSettings().appName : m_appTitle;
}

int CWndDownload::Ask(const std::wstring& text, UINT type) {
    return MessageBoxW(GetHandle(), text.c_str(), BoxCaption().c_str(), type);
}

bool CWndDownload::ConfirmDeleteEconomyItem(int row) {
    const std::wstring text = GetListItemText(m_list, row, kDownloadColumnTitle) + L"\n\n" +
                              L"エコノミーモードでダウンロードした動画です。\n項目を削除しますか？\n\n" +
                              L"(※後から通常モードでダウンロードする場合は項目を削除せず、チェックボックスをチェック"
                              L"し再ダウンロードする必要があります)";
    return Ask(text, MB_YESNO | MB_SETFOREGROUND | MB_TOPMOST) == IDYES;
}

void CWndDownload::RemoveDownloadItem(bool addExcept, bool deleteFiles) {
    HWND list = m_list;
    int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    while (row != -1) {
        const std::wstring key = GetListItemText(list, row, kDownloadColumnId);
        const std::wstring title = GetListItemText(list, row, kDownloadColumnTitle);
        const AskedWorker asked = GetAskedWorker(list, row);
        const int slot = asked.slot;
        if (slot >= 0) {
            const std::wstring question = L"動画名 : " + key + L"\n" + L"タイトル : " + title + L"\n\n" +
                                          L"この項目をは現在ダウンロード処理途中です。" + L"\n" +
                                          L"項目を削除しますか？" + L"\n" +
                                          L"(※処理途中のファイルの削除は行われません)";
            if (Ask(question, MB_YESNO | MB_SETFOREGROUND | MB_TOPMOST) != IDYES) {
                break;
            }
            if (FindAskedWorkerRow(list, asked, row)) {
                AbandonWorker(slot);
            } else {
                // The worker ended while the question was open; its row may have moved or gone.
                row = FindRowById(list, key);
                if (row < 0) {
                    row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
                    continue;
                }
            }
        }
        const LPARAM data = GetListItemParam(list, row);
        if ((GetItemFlagsOf(data) & kDownloadKindEconomy) != 0 && GetItemStatusOf(data) == kDownloadStatusDone &&
            !ConfirmDeleteEconomyItem(row)) {
            break;
        }
        if (deleteFiles && slot < 0) {
            std::wstring path = GetListItemText(list, row, kDownloadColumnVideoPath);
            if (path.empty()) {
                path = GetListItemText(list, row, kDownloadColumnCommentPath);
            }
            bool removed;
            if (!path.empty()) {
                removed = DeleteRelatedFiles(path);
            } else {
                // A row without a save folder has nothing on disk yet.
                const std::wstring folder = GetListItemText(list, row, kDownloadColumnSaveFolder);
                removed = folder.empty() || DeleteRelatedFilesInFolder(key, folder);
                path = folder + L"\\" + key;
            }
            if (!removed) {
                MessageBoxW(GetHandle(),
                            (path + L"\n" + L"ファイルまたは関連するファイルの削除に失敗しました。").c_str(),
                            BoxCaption().c_str(), MB_OK);
                break;
            }
        }
        ShiftThreadSlotItems(row);
        if (addExcept) {
            GetDownloadExceptList().Append(key + L"\t# " + title);
        }
        ListView_DeleteItem(list, row);
        row = ListView_GetNextItem(list, row - 1, LVNI_SELECTED);
    }
    const int focused = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
    if (focused >= 0) {
        ListView_SetItemState(list, focused, LVIS_SELECTED, LVIS_SELECTED);
    }
}

bool CWndDownload::RemoveItemAt(int row) {
    HWND list = m_list;
    const int before = ListView_GetItemCount(list);
    SetFocus(list);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list, row, FALSE);
    RemoveDownloadItem(false, false);
    return ListView_GetItemCount(list) != before;
}

void CWndDownload::RemoveCompletedItems(bool addExcept) {
    HWND list = m_list;
    int row = 0;
    while (row < ListView_GetItemCount(list)) {
        const LPARAM data = GetListItemParam(list, row);
        if (GetItemStatusOf(data) == kDownloadStatusDone &&
            ((GetItemFlagsOf(data) & kDownloadKindEconomy) == 0 || ConfirmDeleteEconomyItem(row))) {
            ShiftThreadSlotItems(row);
            if (addExcept) {
                GetDownloadExceptList().Append(GetListItemText(list, row, kDownloadColumnId) + L"\t# " +
                                               GetListItemText(list, row, kDownloadColumnTitle));
            }
            ListView_DeleteItem(list, row);
            continue;
        }
        ++row;
    }
}

void CWndDownload::MoveSelectedItems(int target) {
    HWND list = m_list;
    // The rows are rewritten in one go on this thread; the workers reach rows only by messages that
    // this thread answers afterwards, through their re-pointed records.
    const int count = ListView_GetItemCount(list);
    const int columns = Header_GetItemCount(ListView_GetHeader(list));
    std::vector<RowRecord> records(count);
    std::vector<bool> selected(count);
    for (int row = 0; row < count; ++row) {
        RowRecord& record = records[row];
        selected[row] = IsRowSelected(list, row);
        record.ticked = IsDownloadRowTicked(list, row);
        for (int column = 0; column < columns; ++column) {
            record.texts.push_back(GetListItemText(list, row, column));
        }
        record.data = GetListItemParam(list, row);
        record.slot = FindRunningThreadSlot(row);
    }
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);

    const DownloadRowMove move = PlanDownloadRowMove(selected, target);
    if (move.movedCount > 0) {
        DownloadRowsRewriting() = true;
        for (int row = 0; row < count; ++row) {
            const RowRecord& record = records[move.order[row]];
            for (int column = 0; column < columns; ++column) {
                SetListItemText(record.texts[column], column, list, row);
            }
            SetListItemParam(list, row, record.data);
            SetDownloadRowTicked(list, row, record.ticked);
            if (record.slot >= 0) {
                CAutoLock guard = LockWorkerThreads();
                GetWorkerThread(static_cast<size_t>(record.slot)).rowIndex = row;
            }
        }
        DownloadRowsRewriting() = false;
        for (int i = 0; i < move.movedCount; ++i) {
            ListView_SetItemState(list, move.firstPlaced + i, LVIS_SELECTED, LVIS_SELECTED);
        }
    }
    SendMessageW(m_mainWindow != nullptr ? m_mainWindow : GetHandle(), kMsgDownloadScheduleSave, 0, 0);
}

void CWndDownload::MoveSelectedItemsUp() {
    const std::vector<int> selected = GetSelectedListItems(m_list);
    if (selected.empty() || selected.front() == 0) {
        return;
    }
    const int target = selected.front() - 1;
    MoveSelectedItems(target);
    ListView_SetItemState(m_list, target, LVIS_FOCUSED, LVIS_FOCUSED);
    ListView_EnsureVisible(m_list, target, FALSE);
}

void CWndDownload::MoveSelectedItemsDown() {
    const std::vector<int> selected = GetSelectedListItems(m_list);
    const int count = ListView_GetItemCount(m_list);
    if (selected.empty() || selected.back() == count - 1) {
        return;
    }
    const int first = selected.front();
    const int last = selected.back();
    MoveSelectedItems(first + 1);
    const std::vector<int> moved = GetSelectedListItems(m_list);
    if (!moved.empty() && moved.back() == last) {
        MoveSelectedItems(count - 1);
    }
    ListView_SetItemState(m_list, first + 1, LVIS_FOCUSED, LVIS_FOCUSED);
    ListView_EnsureVisible(m_list, last + 1, FALSE);
}

bool CWndDownload::IsAnySelectedRunning() const {
    for (int row : GetSelectedListItems(m_list)) {
        if (FindRunningThreadSlot(row) >= 0) {
            return true;
        }
    }
    return false;
}

void CWndDownload::ReEditSelectedRow() {
    const std::vector<int> selected = GetSelectedListItems(m_list);
    if (selected.size() != 1 || IsAnySelectedRunning()) {
        return;
    }
    const int row = selected.front();
    const std::wstring key = GetListItemText(m_list, row, kDownloadColumnId);
    const std::wstring addData =
        RemoveItemAddDataWord(GetListItemText(m_list, row, kDownloadColumnAddData), DownloadDeletedMark());
    RemoveDownloadItem(false, false);
    SetWindowTextW(m_urlBox, (key + L" " + addData).c_str());
}

void CWndDownload::RenameItemFiles(int row, const std::wstring& title) {
    HWND list = m_list;
    const std::wstring oldTitle = GetListItemText(list, row, kDownloadColumnTitle);
    if (title == oldTitle) {
        return;
    }
    if (GetItemStatusOf(GetListItemParam(list, row)) != kDownloadStatusDone) {
        MessageBeep(0);
        DebugLog() << L"◆項目のダウンロードが完了していません" << EndLine;
        return;
    }
    // An empty old title names no file (as a mask it would take every file of the folder): the edit is
    // refused, as a failed rename is.
    if (oldTitle.empty()) {
        MessageBeep(0);
        return;
    }
    const std::wstring file = FindItemFile(list, row);
    if (!file.empty()) {
        const std::wstring videoId = GetVideoIdFromFilePath(file);
        const std::wstring folder = GetDirectoryPath(file);
        std::vector<std::wstring> names;
        EnumerateFiles(folder, L"*" + oldTitle + L"*", names, false, false, false);
        for (const std::wstring& name : names) {
            // The mask also matches short names and wildcards of the title; the long name must hold it.
            if (name.find(oldTitle) == std::wstring::npos ||
                (!videoId.empty() && GetVideoIdFromFileName(name) != videoId)) {
                continue;
            }
            std::wstring newName = name;
            ReplaceAll(newName, oldTitle, title);
            const std::wstring oldPath = folder + name;
            const std::wstring newPath = folder + newName;
            if (!IsTitleUsableInFileName(title) || !RenameFile(oldPath, newPath)) {
                DebugLog() << L"◆リネームに失敗しました : " << oldPath << L" -> " << newPath << EndLine;
                MessageBeep(0);
                return;
            }
            for (int column = 0; column < kDownloadColumnCount; ++column) {
                if (GetListItemText(list, row, column) == oldPath) {
                    SetListItemText(newPath, column, list, row);
                }
            }
            if (m_mainWindow != nullptr) {
                SendMessageW(m_mainWindow, kMsgPlaylistRenamePath, reinterpret_cast<WPARAM>(oldPath.c_str()),
                             reinterpret_cast<LPARAM>(newPath.c_str()));
            }
        }
    }
    SetListItemText(title, kDownloadColumnTitle, list, row);
}

void CWndDownload::ListEditLabelNotifyMessageSender(HWND edit) {
    if (m_labelEditor.GetWindowHandle() == edit) {
        return;
    }
    if (m_labelEditor.GetWindowHandle() != nullptr) {
        m_labelEditor.Detach();
    }
    if (CWndBase::Attach(edit, &m_labelEditor)) {
        m_labelEdit = edit;
    }
}

LRESULT CWndDownload::CWndListEditLabel::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        SendListNotify(window, LVN_ENDLABELEDITW);
    }
    return DefaultProc(window, message, wParam, lParam);
}

void CWndDownload::OnEndLabelEdit(const NMLVDISPINFOW& info) {
    HWND edit = reinterpret_cast<HWND>(info.item.lParam);
    if (edit == nullptr || edit != m_labelEdit) {
        return;
    }
    m_labelEdit = nullptr;
    if ((GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0 || info.item.iItem < 0) {
        return;
    }
    RenameItemFiles(info.item.iItem, GetWindowTextString(edit));
}

void CWndDownload::RenamePathInList(const std::wstring& from, const std::wstring& to) {
    const int count = ListView_GetItemCount(m_list);
    const std::wstring title = GetTitleFromFileName(GetFileName(to));
    for (int row = 0; row < count; ++row) {
        for (int column = 0; column < kDownloadColumnCount; ++column) {
            if (GetListItemText(m_list, row, column) == from) {
                SetListItemText(to, column, m_list, row);
                if (column == kDownloadColumnId) {
                    m_rowKeys.Forget();
                }
                if (!title.empty()) {
                    SetListItemText(title, kDownloadColumnTitle, m_list, row);
                }
            }
        }
    }
}

// ---- Check boxes and colours ------------------------------------------------------------------------

void CWndDownload::OnItemChanged(const NMLISTVIEW& change) {
    if (DownloadSkipNextCheckChange() || DownloadRowsRewriting()) {
        DownloadSkipNextCheckChange() = false;
        return;
    }
    if ((change.uChanged & LVIF_STATE) == 0 || ((change.uOldState ^ change.uNewState) & LVIS_STATEIMAGEMASK) == 0) {
        return;
    }
    // Windows tells a change made to every row at once (LVM_SETITEMSTATE of row -1, as "全て一時停止"
    // makes) by one notice of row -1; Wine sends one per row.
    if (change.iItem < 0) {
        const int count = ListView_GetItemCount(m_list);
        for (int row = 0; row < count; ++row) {
            OnCheckChanged(row);
        }
        return;
    }
    OnCheckChanged(change.iItem);
}

void CWndDownload::OnCheckChanged(int row) {
    HWND list = m_list;
    const bool ticked = IsDownloadRowTicked(list, row);
    const LPARAM data = GetListItemParam(list, row);
    const WORD status = GetItemStatusOf(data);
    const WORD flags = GetItemFlagsOf(data);
    if (ticked && GetListItemText(list, row, kDownloadColumnTitle) == DownloadTitlePlaceholder()) {
        SetListItemText(L"", kDownloadColumnTitle, list, row);
    }
    const bool economy = (flags & kDownloadKindEconomy) != 0;
    if (status == kDownloadStatusError || status == kDownloadStatusCancelled ||
        (status == kDownloadStatusDone && economy)) {
        if (ticked && !HasItemOptionText(list, row)) {
            if (economy) {
                WORD bits = kDownloadKindVideo;
                if (IsChecked(m_checkAddPlaylist)) {
                    bits |= kDownloadKindPlaylist;
                }
                if (IsChecked(m_checkPlayAfter)) {
                    bits |= kDownloadKindPlay;
                }
                AddDownloadItemFlags(list, row, bits);
            }
            // Queued again, the row is no longer done: kept, the mark would bring it back as done
            // (over its partial file) from the saved list.
            if (flags & kDownloadKindCompleted) {
                RemoveDownloadItemFlags(list, row, kDownloadKindCompleted);
            }
            SetDownloadItemStatus(list, kDownloadStatusWaiting, row);
        }
        return;
    }
    const int slot = FindRunningThreadSlot(row);
    if (slot < 0) {
        return;
    }
    CAutoLock guard = LockWorkerThreads();
    WorkerThreadRecord& record = GetWorkerThread(static_cast<size_t>(slot));
    if (!ticked) {
        if (status != kDownloadStatusNone && status != kDownloadStatusPaused && status != kDownloadStatusError &&
            status != kDownloadStatusCancelled && status != kDownloadStatusDone) {
            record.pausedFromStatus = status;
            SetDownloadItemStatus(list, kDownloadStatusPaused, row);
            record.signals->paused = true;
        }
    } else if (status == kDownloadStatusPaused) {
        SetDownloadItemStatus(list, record.pausedFromStatus, row);
        record.signals->paused = false;
    }
}

LRESULT CWndDownload::OnListCustomDraw(NMLVCUSTOMDRAW& draw) {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        return CDRF_NOTIFYITEMDRAW;
    }
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) {
        return CDRF_DODEFAULT;
    }
    const int row = static_cast<int>(draw.nmcd.dwItemSpec);
    const LPARAM data = GetListItemParam(m_list, row);
    const DownloadRowColour colour =
        GetDownloadRowColour(GetItemStatusOf(data), GetItemFlagsOf(data), HasItemOptionText(m_list, row));
    if (!colour.custom) {
        return CDRF_DODEFAULT;
    }
    if ((draw.nmcd.uItemState & CDIS_SELECTED) != 0) {
        draw.clrTextBk = colour.selectedBackground;
        draw.nmcd.uItemState &= ~CDIS_SELECTED;
    } else {
        draw.clrTextBk = colour.background;
    }
    return CDRF_NEWFONT;
}

void CWndDownload::ToggleSelectedChecks() {
    for (int row : GetSelectedListItems(m_list)) {
        SetDownloadRowTicked(m_list, row, !IsDownloadRowTicked(m_list, row));
    }
}

void CWndDownload::TickAllStartableItems() {
    const int count = ListView_GetItemCount(m_list);
    for (int row = 0; row < count; ++row) {
        const WORD status = GetItemStatusOf(GetListItemParam(m_list, row));
        if (status == kDownloadStatusDone || (status == kDownloadStatusError && HasItemOptionText(m_list, row))) {
            continue;
        }
        SetDownloadRowTicked(m_list, row, true);
    }
}

void CWndDownload::RedoEconomyItems() {
    for (int row : GetSelectedListItems(m_list)) {
        if ((GetItemFlagsOf(GetListItemParam(m_list, row)) & kDownloadKindEconomy) != 0 && !IsDownloadRowTicked(m_list, row)) {
            SetDownloadRowTicked(m_list, row, true);
        }
    }
}

void CWndDownload::CancelItemDownload() {
    // Every selected running row as it is now: rows move while the questions are open.
    std::vector<AskedWorker> running;
    for (int row : GetSelectedListItems(m_list)) {
        AskedWorker asked = GetAskedWorker(m_list, row);
        if (asked.slot >= 0) {
            running.push_back(std::move(asked));
        }
    }
    for (const AskedWorker& asked : running) {
        int row = -1;
        if (!FindAskedWorkerRow(m_list, asked, row)) {
            continue;
        }
        const std::wstring question = L"動画名：" + asked.key + L"\n\n" +
                                      L"この項目のダウンロード処理を中断しますか？" + L"\n" +
                                      L"(※リスト項目左のチェックボックスをチェックすれば、後から処理を再開できます。)";
        // A worker that ended while the question was open has left its row as it ended.
        if (Ask(question, MB_YESNO | MB_SETFOREGROUND | MB_TOPMOST) != IDYES ||
            !FindAskedWorkerRow(m_list, asked, row)) {
            continue;
        }
        AbandonWorker(asked.slot);
        SetDownloadItemStatus(m_list, kDownloadStatusNone, row);
        SetListItemText(L"", kDownloadColumnSize, m_list, row);
        SetListItemText(L"", kDownloadColumnPercent, m_list, row);
        SetDownloadRowTicked(m_list, row, false);
        SetDownloadItemStatus(m_list, kDownloadStatusCancelled, row);
    }
}

// ---- The row drag -----------------------------------------------------------------------------------

namespace {

// The drag cursor, drawn here: the arrow with a small sheet below its tip. Rows of 32 characters:
// 'X' black, '.' white, anything else transparent.
const char* const kDragCursorRows[] = {
    "X                               ", "XX                              ", "X.X                             ",
    "X..X                            ", "X...X                           ", "X....X                          ",
    "X.....X                         ", "X......X                        ", "X.......X                       ",
    "X........X                      ", "X.....XXXXX                     ", "X..X..X                         ",
    "X.X X..X                        ", "XX  X..X                        ", "X    X..X                       ",
    "     X..X                       ", "      XX  XXXXXXXXXX            ", "          X........X            ",
    "          X.XXXXXX.X            ", "          X........X            ", "          X.XXXXXX.X            ",
    "          X........X            ", "          X.XXXX...X            ", "          X........X            ",
    "          XXXXXXXXXX            ",
};

HCURSOR CreateDragCursor() {
    const int size = 32;
    BYTE andMask[size * size / 8];
    BYTE xorMask[size * size / 8];
    memset(andMask, 0xFF, sizeof(andMask));
    memset(xorMask, 0x00, sizeof(xorMask));
    const int rows = static_cast<int>(sizeof(kDragCursorRows) / sizeof(kDragCursorRows[0]));
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < size; ++x) {
            const char c = kDragCursorRows[y][x];
            const int byte = y * size / 8 + x / 8;
            const BYTE bit = static_cast<BYTE>(0x80 >> (x % 8));
            if (c == 'X' || c == '.') {
                andMask[byte] &= static_cast<BYTE>(~bit);
                if (c == '.') {
                    xorMask[byte] |= bit;
                }
            }
        }
    }
    return CreateCursor(GetModuleHandleW(nullptr), 0, 0, size, size, andMask, xorMask);
}

bool IsWindowOrChildOf(HWND window, HWND target) {
    return target != nullptr && (window == target || IsChild(target, window));
}

} // namespace

HWND CWndDownload::GetPlaylistListView() const {
    if (m_mainWindow == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<HWND>(SendMessageW(m_mainWindow, kMsgPlaylistListHandle, 0, 0));
}

void CWndDownload::UpdateDragCursor(POINT screen) {
    HWND under = WindowFromPoint(screen);
    const bool oneSelected = ListView_GetSelectedCount(m_list) == 1;
    const bool target = under == m_list || (under == m_urlBox && oneSelected) ||
                        IsWindowOrChildOf(under, m_mainWindow) || IsWindowOrChildOf(under, GetPlaylistListView());
    if (target) {
        if (m_dragCursor == nullptr) {
            m_dragCursor = CreateDragCursor();
        }
        SetCursor(m_dragCursor);
    } else {
        SetCursor(LoadCursorW(nullptr, IDC_NO));
    }
}

void CWndDownload::OnListDragEnd(POINT screen) {
    HWND under = WindowFromPoint(screen);
    HWND parent = under != nullptr ? GetParent(under) : nullptr;
    auto is = [&](HWND target) { return target != nullptr && (under == target || parent == target); };
    HWND playlist = GetPlaylistListView();
    if (is(m_mainWindow)) {
        OnCommand(IDM_DL_PLAY, nullptr, 0);
    } else if (is(playlist)) {
        OnCommand(IDM_DL_ADD_TO_PLAYLIST, nullptr, 0);
    } else if (is(m_urlBox) && ListView_GetSelectedCount(m_list) == 1) {
        const int before = ListView_GetItemCount(m_list);
        ReEditSelectedRow();
        if (ListView_GetItemCount(m_list) != before) {
            ScheduleListAutoSave();
        }
        UpdateQueueTimer();
    } else if (is(m_list)) {
        LVHITTESTINFO hit = {};
        hit.pt = screen;
        ScreenToClient(m_list, &hit.pt);
        const int row = ListView_HitTest(m_list, &hit);
        if (row >= 0 && !IsRowSelected(m_list, row)) {
            MoveSelectedItems(row);
        }
    }
    ReleaseCapture();
}

// ---- Files, folders, the playlist, the clipboard ---------------------------------------------------

void CWndDownload::OpenItemFile() {
    const int row = ListView_GetNextItem(m_list, -1, LVNI_SELECTED);
    if (row < 0) {
        return;
    }
    std::wstring path = GetItemFilePath(m_list, row);
    if (path.empty() || !FileExists(path)) {
        path = FindRelatedMovieFile(GetListItemText(m_list, row, kDownloadColumnId),
                                    GetListItemText(m_list, row, kDownloadColumnSaveFolder));
    }
    if (path.empty()) {
        DebugLog() << kNotCompleted << GetListItemText(m_list, row, kDownloadColumnId) << EndLine;
        return;
    }
    SendOptionToMainWindow(path);
}

void CWndDownload::AddSelectedToPlaylist() {
    for (int row : GetSelectedListItems(m_list)) {
        const std::wstring path = GetItemSavePath(m_list, row);
        if (path.empty()) {
            DebugLog() << kNotCompleted << GetListItemText(m_list, row, kDownloadColumnId) << EndLine;
            continue;
        }
        if (m_mainWindow != nullptr) {
            SendMessageW(m_mainWindow, kMsgPlaylistAddFile, reinterpret_cast<WPARAM>(path.c_str()), 0);
        }
    }
}

void CWndDownload::OpenItemFolder() {
    const int row = ListView_GetNextItem(m_list, -1, LVNI_SELECTED);
    if (row < 0) {
        return;
    }
    std::wstring target = GetListItemText(m_list, row, kDownloadColumnCommentPath);
    if (target.empty()) {
        target = GetListItemText(m_list, row, kDownloadColumnVideoPath);
    }
    const std::wstring folder = GetListItemText(m_list, row, kDownloadColumnSaveFolder);
    DownloadShellDoor& shell = GetDownloadShellDoor();
    if (!target.empty() && FileExists(target) && !IsFolder(target)) {
        shell.execute(L"explorer.exe /n,/select,\"" + target + L"\"");
    } else if (!folder.empty() && IsFolder(folder)) {
        shell.execute(L"\"" + folder + L"\"");
    } else {
        MessageBoxW(GetHandle(), L"ファイル・フォルダが見つかりませんでした。", BoxCaption().c_str(),
                    MB_TOPMOST | MB_SETFOREGROUND);
    }
}

void CWndDownload::OpenSaveFolder() {
    const std::wstring folder = GetDownloadSettings().SavePath;
    if (!folder.empty() && (IsFolder(folder) || CreateFolderPath(folder))) {
        GetDownloadShellDoor().execute(L"\"" + folder + L"\"");
    }
}

void CWndDownload::OpenExceptList() {
    const std::wstring path = GetAppSettings().settingsDatPath;
    const UINT type = MB_TOPMOST | MB_SETFOREGROUND;
    if (path.empty() || !FileExists(path)) {
        MessageBoxW(GetHandle(), (path + L"除外リストファイルが見つかりません。").c_str(), BoxCaption().c_str(), type);
        return;
    }
    MessageBoxW(GetHandle(),
                L"ダウンロード除外リストは[ExceptDownload]セクションに記述されているIDです。\nこのリストにある動画IDは"
                L"ダウンロードを行わなくなります。\n形式は \"動画ID\t# コメント(動画タイトル)\" となっています。\nID"
                L"のみの記入も可能です。\n\n(※手動で編集する場合はVelaPlayerを終了させた状態で行って下さい。)",
                BoxCaption().c_str(), type);
    GetDownloadShellDoor().execute(L"\"" + path + L"\"");
}

void CWndDownload::OpenItemUrl() {
    const int row = ListView_GetNextItem(m_list, -1, LVNI_SELECTED);
    if (row < 0) {
        return;
    }
    std::wstring url = GetListItemText(m_list, row, kDownloadColumnId);
    if (url.find(L"http://") == std::wstring::npos) {
        url = GetWatchUrl(GetItemOption(m_list, row, L"country=")) + url;
    }
    GetDownloadShellDoor().openUrl(url);
}

void CWndDownload::CopyItemToClipboard(UINT kind) {
    if (GetFocus() != m_list) {
        return;
    }
    std::vector<std::wstring> lines;
    for (int row : GetSelectedListItems(m_list)) {
        DownloadCopyRow copy;
        copy.title = GetListItemText(m_list, row, kDownloadColumnTitle);
        copy.key = GetListItemText(m_list, row, kDownloadColumnId);
        copy.country = GetItemOption(m_list, row, L"country=");
        copy.savePath = GetItemSavePath(m_list, row);
        lines.push_back(MakeDownloadCopyLine(kind, copy));
    }
    if (lines.empty()) {
        return;
    }
    PutOwnTextOnClipboard(GetHandle(), JoinStrings(lines, L"\n"));
}

void CWndDownload::CheckUrlBox() {
    const UrlBoxCheck check = CheckUrlBoxText(GetWindowTextString(m_urlBox));
    EnableWindow(m_addButton, check.addEnabled ? TRUE : FALSE);
    if (check.replaceText) {
        SetWindowTextW(m_urlBox, check.replacement.c_str());
    }
}

void CWndDownload::AddPastLogOption() {
    const std::wstring text = GetWindowTextString(m_urlBox);
    if (text.empty()) {
        MessageBoxW(GetHandle(), L"URLを先に入力して下さい。", BoxCaption().c_str(), MB_TOPMOST | MB_SETFOREGROUND);
        return;
    }
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    const PastLogEdit edit = ApplyPastLogOption(text, MakePastLogOption(now));
    SetWindowTextW(m_urlBox, edit.text.c_str());
    SetFocus(m_urlBox);
    SendMessageW(m_urlBox, EM_SETSEL, edit.selectionStart, edit.selectionEnd);
}

void CWndDownload::OnDropFiles(HDROP drop) {
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
        std::wstring path = GetDroppedFileName(drop, 0);
        if (ToLower(GetFileExtension(path)) == L".lnk") {
            // A shortcut stands for its target; one that cannot be read is taken by its own name.
            const std::wstring target = GetShortcutTarget(path);
            if (!target.empty()) {
                path = target;
            }
        }
        TakeDroppedFile(path);
    }
    DragFinish(drop);
}

void CWndDownload::TakeDroppedFile(const std::wstring& path) {
    if (path.empty() || IsFolder(path)) {
        return;
    }
    const std::wstring extension = ToLower(GetFileExtension(path));
    if (extension == L".url") {
        CIniFile shortcut(path, L"InternetShortcut");
        SetWindowTextW(m_urlBox, shortcut.ReadString(L"InternetShortcut", L"URL", L"").c_str());
    } else if (extension == L".txt" || extension == L".dat") {
        m_droppedList = path;
        StartListLoad(m_droppedList);
    } else {
        SetWindowTextW(m_urlBox, GetWatchUrlFromFileName(GetFileName(path)).c_str());
    }
}

void CWndDownload::OpenListFileDialog() {
    std::wstring path;
    HWND owner = m_mainWindow != nullptr ? m_mainWindow : GetHandle();
    if (!ShowOpenFileDialog(owner, path, {{L"リストファイル(*.txt,*.dat)", L"*.txt;*.dat"}})) {
        return;
    }
    m_dialogList = path;
    StartListLoad(m_dialogList);
}

void CWndDownload::UpdateItemMenu(HMENU menu) {
    if (menu == nullptr || m_list == nullptr) {
        return;
    }
    HWND list = m_list;
    const std::vector<int> selected = GetSelectedListItems(list);
    const bool anySelected = !selected.empty();
    const bool notEmpty = ListView_GetItemCount(list) > 0;
    const bool anyRunning = IsAnySelectedRunning();
    bool anySavePath = false;
    bool anyEconomy = false;
    for (int row : selected) {
        anySavePath = anySavePath || !GetItemSavePath(list, row).empty();
        anyEconomy = anyEconomy || (GetItemFlagsOf(GetListItemParam(list, row)) & kDownloadKindEconomy) != 0;
    }
    const struct {
        UINT id;
        bool enabled;
    } items[] = {
        {IDM_DL_PLAY, anySelected && !GetItemFilePath(list, selected.front()).empty()},
        {IDM_DL_REEDIT, selected.size() == 1 && !anyRunning},
        {IDM_DL_ADD_TO_PLAYLIST, anySavePath},
        {IDM_DL_OPEN_ITEM_FOLDER, anySelected},
        {IDM_DL_TOGGLE_PAUSE, anySelected},
        {IDM_DL_CANCEL, anyRunning},
        {IDM_DL_PAUSE_ALL, notEmpty},
        {IDM_DL_START_ALL, notEmpty},
        {IDM_DL_REDO_ECONOMY, anyEconomy},
        {IDM_DL_COPY_ID, anySelected},
        {IDM_DL_COPY_URL, anySelected},
        {IDM_DL_COPY_TITLE, anySelected},
        {IDM_DL_COPY_FILE_NAME, anySelected},
        {IDM_DL_COPY_FILE_PATH, anySelected},
        {IDM_DL_OPEN_URL, anySelected},
        {IDM_DL_MOVE_UP, anySelected},
        {IDM_DL_MOVE_DOWN, anySelected},
        {IDM_DL_REMOVE, anySelected},
        {IDM_DL_REMOVE_WITH_FILES, anySelected},
        {IDM_DL_REMOVE_COMPLETED, notEmpty},
        {IDM_DL_EXCEPT_REMOVE, anySelected},
        {IDM_DL_EXCEPT_REMOVE_WITH_FILES, anySelected},
        {IDM_DL_EXCEPT_REMOVE_COMPLETED, notEmpty},
    };
    static_assert(sizeof(items) / sizeof(items[0]) <= 32, "one bit per item");
    uint32_t states = 0;
    for (size_t i = 0; i < sizeof(items) / sizeof(items[0]); ++i) {
        states |= items[i].enabled ? 1u << i : 0u;
    }
    // The list calls this after each of its notifications (several for every row added): the menu is
    // touched only when a state changed.
    const auto known = m_menuStates.find(menu);
    const uint32_t changed = known == m_menuStates.end() ? ~0u : known->second ^ states;
    for (size_t i = 0; i < sizeof(items) / sizeof(items[0]); ++i) {
        if ((changed & (1u << i)) != 0) {
            EnableMenuItem(menu, items[i].id, MF_BYCOMMAND | (items[i].enabled ? MF_ENABLED : MF_GRAYED));
        }
    }
    m_menuStates[menu] = states;
}
