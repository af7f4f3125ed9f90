#include "CWndDownload/CWndDownload.h"

#include "CWndDownload/DownloadAccountSheet.h"
#include "CWndDownload/DownloadListFile.h"
#include "CWndDownload/DownloadListRow.h"
#include "CWndDownload/DownloadResource.h"
#include "client/DownloadFileNameFormats.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
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

} // namespace

void CALLBACK DownloadQueueTimerProc(HWND, UINT, UINT_PTR, DWORD) {}

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
    return m_accountSheet ? m_accountSheet->GetWindowHandle() : nullptr;
}

void CWndDownload::LoadSettings() {
    const AppSettings& app = GetAppSettings();
    DownloadWindowKeys& keys = m_windowKeys;
    keys = DownloadWindowKeys{};
    ReadDownloadSettings(m_settingsPath, app.programFolder, keys, GetDownloadSettings(), GetDownloadFileNameFormats());

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
    StartListLoad(m_listFilePath);
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

    StopAutoSave();
    DownloadListTarget target = {GetHandle(), m_list, app.programFolder, app.settingsDatPath, app.DebugMode};
    SaveDownloadList(target, m_listFilePath, false);
}

void CWndDownload::StartListLoad(const std::wstring& path) {
    const AppSettings& app = GetAppSettings();
    DownloadListTarget target = {GetHandle(), m_list, app.programFolder, app.settingsDatPath, app.DebugMode};
    WorkerOptions options;
    options.name = L"LoadListThread";
    StartWorker(options, [target, path] { LoadDownloadList(target, path); });
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

bool CWndDownload::AddDownloadItem(const std::wstring& folder, const std::wstring& text, DWORD flags, bool, bool) {
    if (text.empty() || m_list == nullptr) {
        return false;
    }
    const size_t blank = text.find(L' ');
    const std::wstring key = text.substr(0, blank);
    const std::wstring addData = blank == std::wstring::npos ? std::wstring() : text.substr(blank + 1);
    if (key.empty()) {
        return false;
    }
    if (flags == 0) {
        flags = GetDownloadKindFlags();
    }
    const DownloadSettings& settings = GetDownloadSettings();
    std::wstring saveFolder = folder;
    if (saveFolder.empty() && !settings.SelectPath) {
        saveFolder = settings.SavePath;
    }
    saveFolder = RemoveTrailingSlash(saveFolder);
    const WORD kinds = LOWORD(flags);
    WORD status = HIWORD(flags);
    if ((kinds & kDownloadKindCompleted) != 0) {
        status = kDownloadStatusDone;
    } else if (status == 0) {
        status = kDownloadStatusWaiting;
    }

    const int row = InsertListItem(-1, L"", m_list);
    if (row < 0) {
        return false;
    }
    SetListItemText(key, kDownloadColumnId, m_list, row);
    SetListItemText(saveFolder, kDownloadColumnSaveFolder, m_list, row);
    SetListItemText(addData, kDownloadColumnAddData, m_list, row);
    SetDownloadItemStatus(m_list, status, row);
    MakeItemStateText(kinds, m_list, row);
    ListView_SetItemState(m_list, row, INDEXTOSTATEIMAGEMASK((kinds & kDownloadKindBase) != 0 ? 2 : 1),
                          LVIS_STATEIMAGEMASK);
    // Rows the loader adds are saved by its own end, not one timer per row.
    if (GetWindowTextString(GetHandle()).find(kDownloadListLoadingSuffix) == std::wstring::npos) {
        ScheduleListAutoSave();
    }
    return true;
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
    const AppSettings& app = GetAppSettings();
    DownloadListTarget target = {GetHandle(), m_list, app.programFolder, app.settingsDatPath, app.DebugMode};
    auto stop = std::make_shared<std::atomic<bool>>(false);
    m_saveStop = stop;
    WorkerOptions options;
    options.name = L"SaveListThread";
    const std::wstring path = m_listFilePath;
    m_saveThread = StartWorker(options, [target, path, stop]() -> unsigned {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
        return SaveDownloadList(target, path, true, stop.get()) ? 1 : 0;
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
