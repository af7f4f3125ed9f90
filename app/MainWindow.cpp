#include "app/MainWindow.h"

#include "app/Accelerators.h"
#include "app/CloseRules.h"
#include "app/CommandLine.h"
#include "app/FilterMenu.h"
#include "app/ControlBars.h"
#include "app/MediaPlayback.h"
#include "app/PlayerCommandHost.h"
#include "app/RecentFiles.h"
#include "app/SettingsFile.h"
#include "app/TrayIcon.h"
#include "app/UpdateCheck.h"
#include "app/resource.h"
#include "CWndCommentList/CWndCommentList.h"
#include "engine/CDirectShow.h"
#include "engine/CommentControl.h"
#include "CWndDownload/CWndDownload.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CIniFile.h"
#include "foundation/CSectionFile.h"
#include "foundation/Dialogs.h"
#include "foundation/Exception.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/PathUtil.h"
#include "foundation/Shell.h"
#include "foundation/StringUtil.h"
#include "foundation/WindowUtil.h"
#include "windows/CWndCommentPost.h"
#include "windows/CWndInfo.h"
#include "windows/CWndPlayList.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>

const wchar_t kMainWindowClass[] = L"CVelaPlayer";

namespace {

// The tray tip and the mouse point follow the window once a second.
constexpr UINT_PTR kSecondTimer = 1;
// In full screen the cursor that a move brought back hides again after this long without moves.
constexpr UINT_PTR kCursorTimer = 2;
constexpr UINT kCursorHideMs = 1500;

// The lParam of the View command that a tool window (or the log window) posts when the user closed
// it; a menu's command has 0 and a control's its handle, which is never 1.
constexpr LPARAM kClosedNotice = 1;

HMENU g_menuBar = nullptr;
CPlayingVideoData g_videoData;

int Box(HWND owner, const std::wstring& text, UINT flags) {
    return MessageBoxW(owner, text.c_str(), GetAppSettings().appName.c_str(), flags | MB_TOPMOST | MB_SETFOREGROUND);
}

// The sub-menu (at any depth) that holds the command.
HMENU FindSubMenuWithCommand(HMENU menu, UINT command) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (GetMenuItemID(menu, i) == command) {
            return menu;
        }
        if (HMENU sub = GetSubMenu(menu, i)) {
            if (HMENU found = FindSubMenuWithCommand(sub, command)) {
                return found;
            }
        }
    }
    return nullptr;
}

HMENU RecentFilesMenu() {
    return FindSubMenuWithCommand(g_menuBar, IDM_RECENT_CLEAR);
}

// What the main window does with a tool window. The download window is a dialog of its own class
// rather than a CToolWindow, so each window is reached through this.
class ToolWindowRef {
public:
    virtual HWND GetHandle() const = 0;
    virtual bool Show(int showCommand) = 0;
    virtual void SetNotify(const NotifyTarget& target) = 0;
    virtual void Destroy() = 0;

protected:
    ~ToolWindowRef() = default;
};

template <typename Window> ToolWindowRef* RefOf(Window& window) {
    class Ref final : public ToolWindowRef {
    public:
        explicit Ref(Window& window) : m_window(window) {}
        HWND GetHandle() const override { return m_window.GetHandle(); }
        bool Show(int showCommand) override { return m_window.Show(showCommand); }
        void SetNotify(const NotifyTarget& target) override { m_window.SetNotify(target); }
        void Destroy() override { m_window.Destroy(); }

    private:
        Window& m_window;
    };
    static Ref ref(window);
    return &ref;
}

// Every tool window with its View command and the setting that shows it.
struct ToolWindowEntry {
    ToolWindowRef* window;
    UINT command;
    bool AppSettings::*shown;
};

const ToolWindowEntry* ToolWindows() {
    static const ToolWindowEntry entries[] = {
        {RefOf(GetPlayListWindow()), IDM_VIEW_PLAYLIST, &AppSettings::ViewPlayList},
        {RefOf(GetDownloadWindow()), IDM_VIEW_DOWNLOAD, &AppSettings::ViewDownloadWindow},
        {RefOf(GetInfoWindow()), IDM_VIEW_VIDEO_INFO, &AppSettings::ViewVideoInfoWindow},
        {RefOf(GetCommentListWindow()), IDM_VIEW_COMMENT_LIST, &AppSettings::ViewCommentList},
        {RefOf(GetCommentPostWindow()), IDM_VIEW_COMMENT_POST, &AppSettings::ViewCommentPost},
        {nullptr, 0, nullptr},
    };
    return entries;
}

void ToggleToolWindow(const ToolWindowEntry& entry) {
    AppSettings& settings = GetAppSettings();
    // By what the user sees: a window shown without its setting (by a request) is hidden by the click.
    const HWND handle = entry.window->GetHandle();
    settings.*entry.shown = !(handle != nullptr && IsWindowVisible(handle));
    entry.window->Show(settings.*entry.shown ? SW_SHOW : SW_HIDE);
    UpdateMainMenuAndState();
}

void ToggleInformationWindow() {
    AppSettings& settings = GetAppSettings();
    settings.InfoView = !settings.InfoView;
    ShowWindow(CBaseDebug::GetWindow(), settings.InfoView ? SW_SHOW : SW_HIDE);
    UpdateMainMenuAndState();
}

// Set once the closing main window has destroyed its tool windows: a message of a block that comes
// later (a worker's) must not make a window again, which would load its list and never save it.
bool g_toolWindowsDestroyed = false;

// A tool window's handle for its block, made first when it is missing (the comment post window is not).
HWND BlockTarget(UINT message) {
    if (g_toolWindowsDestroyed) {
        return nullptr;
    }
    if (message >= kDownloadBlock && message < kDownloadBlock + kBlockSize) {
        if (GetDownloadWindow().GetHandle() == nullptr) {
            GetDownloadWindow().Show(SW_SHOW);
            GetAppSettings().ViewDownloadWindow = true;
        }
        return GetDownloadWindow().GetHandle();
    }
    CToolWindow* hidden = nullptr;
    if (message >= kPlaylistBlock && message < kPlaylistBlock + kBlockSize) {
        hidden = &GetPlayListWindow();
    } else if (message >= kVideoInfoBlock && message < kVideoInfoBlock + kBlockSize) {
        hidden = &GetInfoWindow();
    } else if (message >= kCommentListBlock && message < kCommentListBlock + kBlockSize) {
        CWndCommentList& commentList = GetCommentListWindow();
        if (commentList.GetHandle() == nullptr) {
            commentList.Show(SW_HIDE);
        }
        return commentList.GetHandle();
    }
    if (hidden != nullptr && hidden->GetHandle() == nullptr) {
        hidden->Show(SW_HIDE);
    }
    return hidden != nullptr ? hidden->GetHandle() : nullptr;
}

LRESULT ForwardBlockMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // The comment post window is never made for a forwarded message: without it the answer is 0.
    HWND target = message >= kCommentPostBlock ? GetCommentPostWindow().GetHandle() : BlockTarget(message);
    return target != nullptr ? SendMessageW(target, message, wParam, lParam) : 0;
}

// A text from any process: exactly cbData bytes, an even count of at least one character, with a
// terminator of its own; anything else is refused.
bool ReadCopyDataText(const COPYDATASTRUCT* data, std::wstring& text) {
    if (data == nullptr || data->dwData != 0 || data->cbData < 2 || data->cbData % 2 != 0 || data->lpData == nullptr) {
        return false;
    }
    text.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / 2);
    const auto end = text.find(L'\0');
    if (end != std::wstring::npos) {
        text.resize(end);
    }
    return true;
}

// The tool bar buttons' tips.
void OnNotify(NMHDR* header) {
    if (header->code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        switch (header->idFrom) {
        case IDC_PLAY_PAUSE:
            info->lpszText = const_cast<wchar_t*>(L"再生/一時停止");
            break;
        case IDC_STOP:
            info->lpszText = const_cast<wchar_t*>(L"停止");
            break;
        case IDC_PREV_FILE:
            info->lpszText = const_cast<wchar_t*>(L"前のファイル");
            break;
        case IDC_NEXT_FILE:
            info->lpszText = const_cast<wchar_t*>(L"次のファイル");
            break;
        case IDC_TOOL_PLAYLIST:
            info->lpszText = const_cast<wchar_t*>(L"プレイリスト");
            break;
        case IDC_TOOL_COMMENT_LIST:
            info->lpszText = const_cast<wchar_t*>(L"コメントリスト");
            break;
        case IDC_TOOL_VIDEO_INFO:
            info->lpszText = const_cast<wchar_t*>(L"動画情報");
            break;
        case IDC_TOOL_COMMENT_POST:
            info->lpszText = const_cast<wchar_t*>(L"コメント投稿");
            break;
        default:
            break;
        }
    }
}

void ShowFirstBootNotice(HWND window) {
    const AppSettings& settings = GetAppSettings();
    std::wstring text;
    if (settings.version.find(L"Test") != std::wstring::npos) {
        text = L"このバージョンはテストバージョンです。予期しないバグが含まれている可能性がありますのでご注意下さい。\n"
               L"通常は以前のバージョンをお使い下さい。\n"
               L"デバッグに協力して頂ける場合は動作確認や不具合の報告をして頂けると助かります。\n";
    } else {
        text = L"(※このダイアログは初回起動時のみ表示されます)\n\n"
               L"flv,mp4ファイルの再生にはフィルタ(コーデック)を別途導入する必要があります。\n"
               L"詳しくはreadme.txtをお読み下さい。\n\n"
               L"既にこれらのファイルをWindows Media Playerで再生できる環境であれば導入は不要です。\n";
    }
    Box(window, text, MB_OK | MB_ICONINFORMATION);
}

void PlaceWindows(HWND window) {
    const AppSettings& settings = GetAppSettings();
    SendMessageW(GetMainControls().volumeBar, TBM_SETPOS, TRUE, settings.Volume);
    UpdateMuteButton(settings.Mute);
    SetWindowPos(window, nullptr, settings.Left, settings.Top, settings.Width, settings.Height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    FitWindowToMonitor(window);
    HWND info = CBaseDebug::GetWindow();
    SetWindowPos(info, nullptr, settings.InfoLeft, settings.InfoTop, settings.InfoWidth, settings.InfoHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (MonitorFromWindow(info, MONITOR_DEFAULTTONULL) == nullptr) {
        FitWindowToMonitor(info);
    }
    if (settings.InfoBuffer != 0) {
        CBaseDebug::SetBufferLimitKilobytes(settings.InfoBuffer);
    }
    ShowWindow(info, settings.InfoView ? SW_SHOWNOACTIVATE : SW_HIDE);
}

// Runs the command text kept for this start; it is cleared first, so a failure that keeps it runs once.
void RunNextBootCommandLine() {
    AppSettings& settings = GetAppSettings();
    if (settings.NextBootCommandLine.empty()) {
        return;
    }
    const std::wstring text = L". " + settings.NextBootCommandLine;
    settings.NextBootCommandLine.clear();
    ParseCommandLine(SplitCommandLine(text), GetPlayerCommandHost());
}

// The position display: the time text in the status bar's first part and the seek bar, unless the
// user drags it.
void UpdatePlayPosition(int32_t positionMs) {
    MainControls& controls = GetMainControls();
    const int32_t duration = GetDirectShow().GetDurationMs();
    controls.statusBar.SetStatusPartText(0, CDirectShow::FormatPlayTime(positionMs) + L"/" +
                                                CDirectShow::FormatPlayTime(duration));
    if (!controls.seekBarObject.IsDragging() && duration > 0) {
        SendMessageW(controls.seekBar, TBM_SETPOS, TRUE,
                     static_cast<LPARAM>(static_cast<int64_t>(positionMs) * 100 / duration));
    }
    GetCommentListWindow().ScrollToPlayPosition(positionMs);
}

void RedrawPausedFrame(int32_t positionMs) {
    CDirectShow& graph = GetDirectShow();
    if (graph.IsGraphReady() && graph.GetVelaFilter() != nullptr && graph.GetPlayState() != PlayState::Running) {
        graph.GetVelaFilter()->FlushAndRedraw(positionMs);
    }
}

// 1.0 without media.
double CurrentPlayRate() {
    CDirectShow& graph = GetDirectShow();
    if (!graph.IsGraphReady()) {
        return 1.0;
    }
    try {
        return graph.GetRate();
    } catch (const utl::exception::CException&) {
        return 1.0;
    }
}

// The tool windows (and the log window) shown with the main window, which come forward with it.
std::vector<HWND> ShownToolWindows() {
    std::vector<HWND> shown;
    for (const ToolWindowEntry* entry = ToolWindows(); entry->window != nullptr; ++entry) {
        if (entry->window->GetHandle() != nullptr && IsWindowVisible(entry->window->GetHandle())) {
            shown.push_back(entry->window->GetHandle());
        }
    }
    if (IsWindowVisible(CBaseDebug::GetWindow())) {
        shown.push_back(CBaseDebug::GetWindow());
    }
    return shown;
}

void LimitTrackSize(HWND window, MINMAXINFO* info) {
    info->ptMinTrackSize.x = 200;
    info->ptMinTrackSize.y = 150;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        info->ptMaxTrackSize.y = monitor.rcMonitor.bottom - monitor.rcMonitor.top;
    }
}

} // namespace

void UpdateMainMenuAndState() {
    HWND window = GetMainWindow();
    // Full screen takes the menu bar off the window; its state is kept all the same.
    HMENU menu = g_menuBar;
    if (window == nullptr || menu == nullptr) {
        return;
    }
    const AppSettings& settings = GetAppSettings();
    const auto check = [&](UINT command, bool on) {
        CheckMenuItem(menu, command, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
    };
    for (const ToolWindowEntry* entry = ToolWindows(); entry->window != nullptr; ++entry) {
        check(entry->command, settings.*entry->shown);
    }
    check(IDM_VIEW_INFORMATION, IsWindowVisible(CBaseDebug::GetWindow()) != FALSE);
    check(IDM_VIEW_COMMENT, settings.ViewComment);
    check(IDM_WINDOW_TOPMOST, settings.WindowTopmost);
    check(IDM_ENABLE_FILTER, settings.EnableFilter);
    check(IDM_CHECK_MULTI_BOOT, settings.CheckMultiBoot);
    check(IDM_OFFLINE_MODE, settings.OfflineMode);
    check(IDM_FULL_SCREEN, GetPlayingMedia().fullScreen);
    const bool ready = GetDirectShow().IsGraphReady();
    EnableMenuItem(menu, IDM_CLOSE_FILE, MF_BYCOMMAND | (ready ? MF_ENABLED : MF_GRAYED));
    CStatusBar& status = GetMainControls().statusBar;
    status.SetStatusPartText(kStatusPartComment, settings.ViewComment ? L"表示" : L"非表示");
    status.SetStatusPartText(kStatusPartPlayWay, PlayWayText(settings.PlayWay));
    status.SetStatusPartText(kStatusPartRate, PlayRateText(CurrentPlayRate()));
    status.SetStatusPartText(4, L"透明度 " + std::to_wstring(settings.CommentAlpha) + L"%");
}

void SetMainMenuBar(HMENU menu) {
    g_menuBar = menu;
}

HMENU GetMainMenuBar() {
    return g_menuBar;
}

CPlayingVideoData& GetPlayingVideoData() {
    return g_videoData;
}

// The drawing reads only this point: asking the window system from its own thread could wait for this one.
void RecordMousePoint(HWND mainWindow) {
    CDirectShow& graph = GetDirectShow();
    const HWND video = graph.GetVideoChildWindow();
    POINT cursor = {};
    const bool overVideo = GetAppSettings().CommentMouseSelect && !graph.IsVideoCursorHidden() && video != nullptr &&
                           GetCursorPos(&cursor) && WindowFromPoint(cursor) == video &&
                           ScreenToClient(mainWindow, &cursor);
    graph.SetMousePoint(overVideo ? &cursor : nullptr);
}

// The settings that the running instance is asked to honour: read before the settings are loaded,
// since an instance that hands over must not run the upgrade steps.
bool CMainWindow::WillHandOver(const CommandArgs& arguments) const {
    if (m_runningInstance == nullptr || ContainsString(arguments, L"-multi")) {
        return false;
    }
    return CIniFile(GetAppSettings().iniPath, L"main").ReadBool(L"main", L"CheckMultiBoot", true);
}

bool CMainWindow::HandOver() {
    if (!IsWindow(m_runningInstance)) {
        return false;
    }
    const std::wstring commandLine = GetCommandLineW();
    DWORD_PTR answer = 0;
    COPYDATASTRUCT data = {};
    data.dwData = 0;
    data.cbData = static_cast<DWORD>((commandLine.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(commandLine.c_str());
    if (!SendMessageTimeoutW(m_runningInstance, WM_COPYDATA, reinterpret_cast<WPARAM>(m_hWnd),
                             reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 30000, &answer)) {
        return false;
    }
    return answer != 0;
}

LRESULT CMainWindow::OnCreate() {
    HWND window = m_hWnd;
    AppSettings& settings = GetAppSettings();
    DebugLog() << settings.appName << L" Ver." << settings.version << EndLine;
    SetMainWindow(window);
    InitCommonControls();
    DragAcceptFiles(window, TRUE);

    const CommandArgs arguments = SplitCommandLine(GetCommandLineW());
    const bool handOver = WillHandOver(arguments);
    if (handOver) {
        settings.maySave = false;
    }
    LoadSettings(settings);

    GetPlayListWindow().Init(settings.appName, settings.iniPath);
    GetInfoWindow().Init(settings.appName, settings.iniPath);
    GetCommentListWindow().Init(settings.appName, settings.iniPath);
    GetCommentPostWindow().Init(settings.appName, settings.iniPath);
    GetDownloadWindow().Init(settings.appName, settings.iniPath, window);

    if (handOver) {
        if (HandOver()) {
            PostMessageW(window, WM_CLOSE, 0, 0);
            return 0;
        }
        // The running instance did not take the request: this one starts instead, with the steps it skipped.
        m_runningInstance = nullptr;
        settings.maySave = true;
        LoadSettings(settings);
    }

    SetMainMenuBar(GetMenu(window));
    BuildFilterMenu(g_menuBar);
    ReloadFilters();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    m_popupMenu.Reset(LoadMenuW(instance, L"MAIN_POPUP"));
    m_selectCommentPopup.Reset(LoadMenuW(instance, L"MAIN_POPUP_SELECTCOMMENT"));
    CreateMainControls(window);

    for (const ToolWindowEntry* entry = ToolWindows(); entry->window != nullptr; ++entry) {
        NotifyTarget target;
        target.owner = window;
        target.menu = g_menuBar;
        target.commandId = entry->command;
        target.lParam = kClosedNotice;
        entry->window->SetNotify(target);
    }
    NotifyTarget loaded;
    loaded.owner = window;
    loaded.menu = g_menuBar;
    loaded.commandId = IDM_PLAYLIST_LOADED;
    GetPlayListWindow().SetLoadEndedNotify(loaded);
    CBaseDebug::SetCloseNotification(window, WM_COMMAND, IDM_VIEW_INFORMATION, kClosedNotice);
    if (CBaseDebug::GetPageCount() == 0) {
        DebugLog().AddPage(DebugLog().GetEditControl());
    }
    SetWindowLongPtrW(CBaseDebug::GetWindow(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(window));

    GetRecentFiles().Load(settings.settingsDatPath);
    GetRecentFiles().FillMenu(RecentFilesMenu());
    StartBuildingAccelerators(settings.programFolder);
    GetPlayListWindow().Show(SW_HIDE);
    GetDownloadWindow().Show(SW_HIDE);

    PlaceWindows(window);
    if (settings.AlwaysTaskTray) {
        AddTrayIcon(window);
    }
    if (settings.Minimize) {
        PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else {
        ShowWindow(window, SW_SHOW);
        if (settings.Maximize) {
            PostMessageW(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        }
    }
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    // The raise above ends on not topmost; a window kept topmost stays so, as its menu says.
    if (settings.WindowTopmost) {
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    // The tool windows left open at the last close open again, so that each View check tells the truth.
    for (const ToolWindowEntry* entry = ToolWindows(); entry->window != nullptr; ++entry) {
        if (settings.*entry->shown) {
            entry->window->Show(SW_SHOWNOACTIVATE);
        }
    }
    SetTimer(window, kSecondTimer, 1000, nullptr);
    GetMainControls().statusBarObject.onPartClick = [this](int part, bool right) { OnStatusPartClick(part, right); };
    m_fullyCreated = true;
    FollowDockedWindows();

    RunNextBootCommandLine();
    ParseCommandLine(arguments, GetPlayerCommandHost());
    if (settings.FirstBoot) {
        ShowFirstBootNotice(window);
    }
    StartUpdateCheck();
    UpdateMainMenuAndState();
    return 0;
}

bool CMainWindow::OnClose() {
    HWND window = m_hWnd;
    // A close asked for while an open or a command line runs (the updater's, say) comes after it.
    if (m_runningCommandLine || IsOpeningMedia()) {
        m_closeWhenIdle = true;
        return true;
    }
    AppSettings& settings = GetAppSettings();
    CWndDownload& download = GetDownloadWindow();
    if (IsCloseRefused({download.IsDownloadRunning(), IsExitForced(), download.IsSettingsSheetOpen()}, window,
                       download)) {
        return true;
    }
    // The windowed placement is the one saved.
    SetFullScreen(false);
    SetWindowTextW(window, settings.closingTitle.c_str());
    for (const ToolWindowEntry* entry = ToolWindows(); entry->window != nullptr; ++entry) {
        if (entry->window->GetHandle() != nullptr) {
            ShowWindow(entry->window->GetHandle(), SW_HIDE);
        }
    }
    ShowWindow(CBaseDebug::GetWindow(), SW_HIDE);
    ShowWindow(window, SW_HIDE);
    // The icon would otherwise stay in the tray after the program is gone.
    RemoveTrayIcon();
    if (GetDirectShow().IsGraphReady()) {
        CloseMediaFile();
    }
    DestroyAccelerators();
    m_popupMenu.Close();
    m_selectCommentPopup.Close();
    if (m_fullyCreated) {
        SaveSettings(settings, window, CBaseDebug::GetWindow());
        if (settings.maySave) {
            GetRecentFiles().Save(settings.settingsDatPath);
        }
    }
    g_toolWindowsDestroyed = true;
    for (const ToolWindowEntry* entry = ToolWindows(); entry->window != nullptr; ++entry) {
        entry->window->Destroy();
    }
    return false;
}

void CMainWindow::OnCommand(WORD command) {
    for (const ToolWindowEntry* entry = ToolWindows(); entry->window != nullptr; ++entry) {
        if (entry->command == command) {
            ToggleToolWindow(*entry);
            return;
        }
    }
    HWND window = m_hWnd;
    AppSettings& settings = GetAppSettings();
    CDirectShow& graph = GetDirectShow();
    switch (command) {
    case IDM_VIEW_INFORMATION:
        ToggleInformationWindow();
        break;
    case IDC_TOOL_PLAYLIST:
        OnCommand(IDM_VIEW_PLAYLIST);
        break;
    case IDC_TOOL_COMMENT_LIST:
        OnCommand(IDM_VIEW_COMMENT_LIST);
        break;
    case IDC_TOOL_VIDEO_INFO:
        OnCommand(IDM_VIEW_VIDEO_INFO);
        break;
    case IDC_TOOL_COMMENT_POST:
        OnCommand(IDM_VIEW_COMMENT_POST);
        break;
    case IDC_PLAY_PAUSE:
        if (graph.IsGraphReady()) {
            graph.GetPlayState() == PlayState::Running ? graph.Pause() : graph.Play();
        }
        break;
    case IDC_STOP:
        if (graph.IsGraphReady()) {
            graph.Stop();
        }
        break;
    case IDC_PREV_FILE:
    case IDM_PREV_FILE: {
        const std::wstring path = GetPlayListWindow().GetPrevFile(GetPlayingMedia().videoPath);
        if (!path.empty()) {
            OpenMediaFile(path);
        }
        break;
    }
    case IDC_NEXT_FILE:
    case IDM_NEXT_FILE:
    case IDC_RANDOM_FILE: {
        const std::wstring current = GetPlayingMedia().videoPath;
        const std::wstring path = command == IDC_RANDOM_FILE ? GetPlayListWindow().GetRandomFile(current)
                                                             : GetPlayListWindow().GetNextFile(current);
        if (!path.empty()) {
            OpenMediaFile(path);
        }
        break;
    }
    case IDM_SEEK_BACK:
    case IDM_SEEK_FORWARD:
        if (graph.IsGraphReady()) {
            const long long step = settings.SeekSecond * 1000LL * (command == IDM_SEEK_BACK ? -1 : 1);
            const long long target = graph.GetPos() / 10000 + step;
            graph.SeekMs(static_cast<int32_t>(std::clamp<long long>(target, 0, std::max(graph.GetDurationMs(), 0))));
        }
        break;
    case IDM_OPEN_FILE:
        OpenFileFromDialog();
        break;
    case IDM_CLOSE_FILE:
        CloseMediaFile();
        UpdateMainMenuAndState();
        break;
    case IDM_RECENT_CLEAR:
        GetRecentFiles().Clear();
        GetRecentFiles().FillMenu(RecentFilesMenu());
        break;
    case IDM_EXIT:
        PostMessageW(window, WM_CLOSE, 0, 0);
        break;
    case IDM_VIEW_COMMENT:
        settings.ViewComment = !settings.ViewComment;
        UpdateMainMenuAndState();
        break;
    case IDM_WINDOW_TOPMOST:
        settings.WindowTopmost = !settings.WindowTopmost;
        SetWindowPos(window, settings.WindowTopmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE);
        UpdateMainMenuAndState();
        break;
    case IDM_ENABLE_FILTER:
        settings.EnableFilter = !settings.EnableFilter;
        UpdateMainMenuAndState();
        break;
    case IDM_CHECK_MULTI_BOOT:
        settings.CheckMultiBoot = !settings.CheckMultiBoot;
        UpdateMainMenuAndState();
        break;
    case IDM_OFFLINE_MODE:
        settings.OfflineMode = !settings.OfflineMode;
        UpdateMainMenuAndState();
        break;
    case IDM_ABOUT:
        Box(window, settings.appName + L" Ver." + settings.version, MB_OK | MB_ICONINFORMATION);
        break;
    case IDM_FULL_SCREEN:
        ToggleFullScreen();
        break;
    case IDM_RELOAD_FILTER:
        ReloadFilters();
        BuildFilterMenu(g_menuBar);
        break;
    case IDM_GET_VIDEO_FILTER:
        GetVideoFilterThread();
        break;
    case IDM_PLAYLIST_LOADED:
        break;
    default:
        if (command >= IDM_FILTER_FIRST && command <= IDM_FILTER_LAST) {
            ToggleFilterFile(g_menuBar, command);
        }
        if (command >= IDM_RECENT_FIRST && command <= IDM_RECENT_LAST) {
            const auto& files = GetRecentFiles().Files();
            const size_t index = command - IDM_RECENT_FIRST;
            if (index < files.size()) {
                OpenMediaFile(std::wstring(files[index]));
            }
        }
        break;
    }
}

// The mute button tells by its handle, a closed tool window by its notice; every other command by its number.
void CMainWindow::OnButtonOrMenu(WPARAM wParam, LPARAM lParam) {
    if (reinterpret_cast<HWND>(lParam) == GetMainControls().muteButton && lParam != 0) {
        ToggleMute();
        return;
    }
    if (lParam == kClosedNotice) {
        OnToolWindowClosed(LOWORD(wParam));
        return;
    }
    OnCommand(LOWORD(wParam));
}

void CMainWindow::ToggleMute() {
    GetAppSettings().Mute = !GetAppSettings().Mute;
    UpdateMuteButton(GetAppSettings().Mute);
    if (GetDirectShow().IsGraphReady()) {
        ApplyVolume();
    }
}

// The window is hidden already: a toggle would show again one that was shown without its setting.
void CMainWindow::OnToolWindowClosed(WORD command) {
    AppSettings& settings = GetAppSettings();
    if (command == IDM_VIEW_INFORMATION) {
        settings.InfoView = false;
        ShowWindow(CBaseDebug::GetWindow(), SW_HIDE);
    }
    for (const ToolWindowEntry* entry = ToolWindows(); entry->window != nullptr; ++entry) {
        if (entry->command == command) {
            settings.*entry->shown = false;
            if (entry->window->GetHandle() != nullptr) {
                ShowWindow(entry->window->GetHandle(), SW_HIDE);
            }
        }
    }
    UpdateMainMenuAndState();
}

void CMainWindow::OnHScroll(HWND bar) {
    const MainControls& controls = GetMainControls();
    CDirectShow& graph = GetDirectShow();
    if (bar == controls.seekBar) {
        graph.FramePump().SetSeekBarDragging(controls.seekBarObject.IsDragging());
        if (graph.IsGraphReady()) {
            const long long position = SendMessageW(bar, TBM_GETPOS, 0, 0);
            graph.SeekMs(static_cast<int32_t>(position * graph.GetDurationMs() / 100));
        }
    } else if (bar == controls.volumeBar) {
        GetAppSettings().Volume = static_cast<int32_t>(SendMessageW(bar, TBM_GETPOS, 0, 0));
        if (graph.IsGraphReady()) {
            ApplyVolume();
        }
    }
}

void CMainWindow::OnDropFiles(HDROP drop) {
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::wstring path = count == 1 ? GetDroppedFileName(drop, 0) : std::wstring();
    DragFinish(drop);
    if (count > 1) {
        Box(m_hWnd, L"複数ファイルはドラッグ＆ドロップできません。", MB_OK | MB_ICONWARNING);
        return;
    }
    if (!path.empty()) {
        OpenMediaFile(path);
    }
}

void CMainWindow::OpenFileFromDialog() {
    std::wstring path;
    const FileDialogFilter filter = {
        {L"動画ファイル (" + GetAppSettings().movieFileMask + L")", GetAppSettings().movieFileMask},
        {L"すべてのファイル(*.*)", L"*.*"}};
    if (ShowOpenFileDialog(m_hWnd, path, filter)) {
        OpenMediaFile(path);
    }
}

void CMainWindow::OnGraphEvent() {
    CDirectShow& graph = GetDirectShow();
    long code = 0;
    while (graph.IsGraphReady() && graph.GetGraphEvent(code)) {
        // The pump may have seen the end first; each pass through the file ends once.
        if (code == EC_COMPLETE && graph.ClaimEndOfMedia()) {
            PlayNextByPlayWay();
        }
    }
}

void CMainWindow::OnFilterEntry(WPARAM wParam) {
    if (wParam != 0) {
        AddFilterEntry(g_menuBar, *reinterpret_cast<const FilterEntryRecord*>(wParam));
    } else {
        ReloadFilters();
        BuildFilterMenu(g_menuBar);
    }
}

// Requests queued meanwhile are answered by this one redraw.
void CMainWindow::OnRedrawPaused(WPARAM wParam, LPARAM lParam) {
    MSG queued;
    while (PeekMessageW(&queued, m_hWnd, kMsgRedrawPaused, kMsgRedrawPaused, PM_REMOVE)) {
    }
    RedrawPausedFrame(lParam == 0 ? static_cast<int32_t>(GetDirectShow().GetPos() / 10000)
                                  : static_cast<int32_t>(wParam));
}

void CMainWindow::OnContextMenu(LPARAM lParam) {
    if (m_popupMenu) {
        TrackPopupMenu(GetSubMenu(m_popupMenu.Get(), 0), TPM_RIGHTBUTTON, static_cast<short>(LOWORD(lParam)),
                       static_cast<short>(HIWORD(lParam)), 0, m_hWnd, nullptr);
    }
}

void CMainWindow::OnSize() {
    FollowDockedWindows();
    LayoutMainWindow(m_hWnd);
    CDirectShow& graph = GetDirectShow();
    if (graph.IsGraphReady()) {
        graph.SetVideoArea(GetVideoArea(m_hWnd));
        graph.FitVideoWindow();
    }
}

void CMainWindow::OnTimer(WPARAM timer) {
    if (timer == kSecondTimer) {
        UpdateTrayTip();
        // A cursor that left the video without a move message is noticed here.
        RecordMousePoint(m_hWnd);
    } else if (timer == kCursorTimer) {
        KillTimer(m_hWnd, kCursorTimer);
        CDirectShow& graph = GetDirectShow();
        if (GetPlayingMedia().fullScreen && graph.IsGraphReady()) {
            graph.HideVideoCursor(true);
        }
    }
}

// The video window's mouse messages reach this window too, through the graph's message drain.
void CMainWindow::OnMouse(UINT message) {
    RecordMousePoint(m_hWnd);
    if (message == WM_MOUSEMOVE) {
        TRACKMOUSEEVENT leave = {sizeof(leave), TME_LEAVE, m_hWnd, 0};
        TrackMouseEvent(&leave);
        OnMouseMove();
    }
}

// In full screen a move brings the hidden cursor back until the mouse rests again.
void CMainWindow::OnMouseMove() {
    POINT cursor = {};
    if (!GetCursorPos(&cursor) || !CursorMoved(m_lastCursor, cursor) || !GetPlayingMedia().fullScreen) {
        return;
    }
    CDirectShow& graph = GetDirectShow();
    if (graph.IsGraphReady() && graph.IsVideoCursorHidden()) {
        graph.HideVideoCursor(false);
    }
    SetTimer(m_hWnd, kCursorTimer, kCursorHideMs, nullptr);
}

// The volume, as the volume bar's tip promises.
void CMainWindow::OnMouseWheel(int delta) {
    HWND bar = GetMainControls().volumeBar;
    const int volume = static_cast<int>(SendMessageW(bar, TBM_GETPOS, 0, 0));
    SendMessageW(bar, TBM_SETPOS, TRUE, VolumeAfterWheel(volume, delta, m_pendingWheel));
    OnHScroll(bar);
}

void CMainWindow::OnStatusPartClick(int part, bool right) {
    AppSettings& settings = GetAppSettings();
    switch (part) {
    case kStatusPartComment:
        OnCommand(IDM_VIEW_COMMENT);
        return;
    case kStatusPartPlayWay:
        settings.PlayWay = NextPlayWay(settings.PlayWay, right);
        break;
    case kStatusPartRate: {
        CDirectShow& graph = GetDirectShow();
        if (!graph.IsGraphReady()) {
            return;
        }
        const double rate = NextPlayRate(CurrentPlayRate(), right);
        bool applied = false;
        try {
            applied = graph.SetRate(rate);
        } catch (const utl::exception::CException&) {
        }
        if (!applied) {
            DebugLog() << L"レートの設定限界です" << EndLine;
        }
        break;
    }
    default:
        return;
    }
    UpdateMainMenuAndState();
}

void CMainWindow::OnActivate(WPARAM wParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        m_focusChild = focus != nullptr && IsChild(m_hWnd, focus) ? focus : nullptr;
        return;
    }
    if (HIWORD(wParam) != 0) {
        return; // activated while minimised
    }
    for (HWND tool : ShownToolWindows()) {
        SetWindowPos(tool, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

// True when the focus went on to the child that had it.
bool CMainWindow::OnSetFocus() {
    if (!m_fullyCreated || m_focusChild == nullptr) {
        return false;
    }
    HWND child = m_focusChild;
    m_focusChild = nullptr;
    if (!IsWindow(child) || !IsChild(m_hWnd, child) || !IsWindowVisible(child)) {
        return false;
    }
    SetFocus(child);
    return true;
}

// The video area is black where the video does not cover it (the video window is a child, clipped
// out), the rest of the client area the colour of the bars.
void CMainWindow::OnPaint() {
    PAINTSTRUCT paint = {};
    HDC dc = BeginPaint(m_hWnd, &paint);
    if (dc == nullptr) {
        return;
    }
    const RECT video = GetVideoArea(m_hWnd);
    FillRect(dc, &video, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    RECT client = {};
    GetClientRect(m_hWnd, &client);
    RECT below = client;
    below.top = video.bottom;
    if (below.top < below.bottom) {
        FillRect(dc, &below, GetSysColorBrush(COLOR_BTNFACE));
    }
    EndPaint(m_hWnd, &paint);
}

// A video stretched over the area keeps its shape while the user sizes the window.
void CMainWindow::OnSizing(int edge, RECT* dragged) {
    CDirectShow& graph = GetDirectShow();
    if (dragged == nullptr || !GetAppSettings().MovieSizeFitWindow || GetPlayingMedia().fullScreen ||
        !graph.IsGraphReady() || !graph.HasVideo()) {
        return;
    }
    RECT window = {};
    GetWindowRect(m_hWnd, &window);
    const RECT area = GetVideoArea(m_hWnd);
    const SIZE frame = {(window.right - window.left) - (area.right - area.left),
                        (window.bottom - window.top) - (area.bottom - area.top)};
    // A top-down picture has a negative height.
    const SIZE video = {graph.GetSourceVideoWidth(), std::abs(graph.GetSourceVideoHeight())};
    *dragged = KeepVideoShape(*dragged, edge, frame, video);
}

bool CMainWindow::OnSysCommand(WPARAM command) {
    const AppSettings& settings = GetAppSettings();
    const SysCommandAction action = DecideSysCommand(command, settings.MinimizeTaskTray, settings.XButtonMinimize);
    switch (action) {
    case SysCommandAction::Default:
        return false;
    case SysCommandAction::Minimize:
        ShowWindow(m_hWnd, SW_MINIMIZE);
        return true;
    case SysCommandAction::MinimizeToTray:
        ShowWindow(m_hWnd, SW_MINIMIZE);
        // Without an icon the hidden window could not be brought back: it stays on the task bar.
        if (AddTrayIcon(m_hWnd)) {
            ShowWindow(m_hWnd, SW_HIDE);
        }
        return true;
    }
    return false;
}

void CMainWindow::OnPostResult(bool success) {
    // Only comments of a latest-comments fetch can be fetched again with the newer ones.
    const bool refreshable = !GetCommentControl().GetFetchArguments().texts.empty();
    const PostResultAnswer answer = AnswerPostResult(success, refreshable);
    GetMainControls().statusBar.SetStatusPartText(4, answer.statusText);
    // answer.startRefresh asks for the newer comments, which nothing in the player fetches yet.
    if (answer.logNotShown) {
        DebugLog() << L"◆更新コメントではないので投稿コメントはVelaPlayer上に反映されません" << EndLine;
    }
}

// Tool windows docked to the window follow its moves and the edges it is sized by. Minimised,
// maximised and full-screen placements take nothing along.
void CMainWindow::FollowDockedWindows() {
    if (!m_fullyCreated) {
        return;
    }
    RECT now = {};
    if (IsIconic(m_hWnd) || IsZoomed(m_hWnd) || GetPlayingMedia().fullScreen || !IsWindowVisible(m_hWnd) ||
        !GetWindowRect(m_hWnd, &now)) {
        return;
    }
    if (m_haveLastRect && !EqualRect(&now, &m_lastRect)) {
        for (HWND tool : ShownToolWindows()) {
            RECT rect = {};
            if (IsIconic(tool) || !GetWindowRect(tool, &rect)) {
                continue;
            }
            const POINT shift = DockedWindowShift(m_lastRect, now, rect);
            if (shift.x != 0 || shift.y != 0) {
                SetWindowPos(tool, nullptr, rect.left + shift.x, rect.top + shift.y, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
        }
    }
    m_lastRect = now;
    m_haveLastRect = true;
}

// Takes a command line; it runs from the queue, so that the sender (another process, a second
// start) is not kept waiting for what it asks.
LRESULT CMainWindow::OnCopyData(const COPYDATASTRUCT* data) {
    std::wstring text;
    if (!ReadCopyDataText(data, text)) {
        DebugLog() << L"WM_COPYDATA : 不正なデータを受け取りました" << EndLine;
        return FALSE;
    }
    m_pendingCommandLines.push_back(text);
    PostMessageW(m_hWnd, kMsgRunPendingCommandLine, 0, 0);
    return TRUE;
}

void CMainWindow::RunPendingCommandLine() {
    // Never one inside another, nor inside an open: a request that arrives in the modal loop of a box
    // or of the comment-file chooser would otherwise run in the middle of the one that showed it.
    // The end of each posts this message again.
    if (m_runningCommandLine || IsOpeningMedia()) {
        return;
    }
    if (m_closeWhenIdle) {
        m_closeWhenIdle = false;
        PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        return;
    }
    if (m_pendingCommandLines.empty()) {
        return;
    }
    const std::wstring text = m_pendingCommandLines.front();
    m_pendingCommandLines.pop_front();
    m_runningCommandLine = true;
    struct RunEnd {
        CMainWindow& window;
        ~RunEnd() {
            window.m_runningCommandLine = false;
            PostMessageW(window.m_hWnd, kMsgRunPendingCommandLine, 0, 0);
        }
    } runEnd{*this};
    const CommandArgs arguments = SplitCommandLine(text);
    if (ContainsString(arguments, L"-echo")) {
        DebugLog() << text << L" exec " << EndLine;
    }
    if (!ContainsString(arguments, L"-inactive") && !IsIconic(m_hWnd) && IsWindowVisible(m_hWnd)) {
        ForceForegroundWindow(m_hWnd);
    }
    ParseCommandLine(arguments, GetPlayerCommandHost());
}

LRESULT CMainWindow::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDirectShow& graph = GetDirectShow();
    if (graph.IsGraphReady()) {
        graph.NotifyOwnerMessage(window, message, wParam, lParam);
    }
    if (IsToolWindowBlockMessage(message)) {
        return ForwardBlockMessage(message, wParam, lParam);
    }
    switch (message) {
    case WM_CREATE:
        return OnCreate();
    case WM_DESTROY:
        SetMainWindow(nullptr);
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
    case WM_RBUTTONDOWN:
        return 0;
    case WM_MOVE:
        FollowDockedWindows();
        return 0;
    case WM_SIZE:
        OnSize();
        return 0;
    case WM_ACTIVATE:
        OnActivate(wParam);
        break;
    case WM_SETFOCUS:
        if (OnSetFocus()) {
            return 0;
        }
        break;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_SYSCOMMAND:
        if (OnSysCommand(wParam)) {
            return 0;
        }
        break;
    case WM_CLOSE:
        if (OnClose()) {
            return 0;
        }
        break;
    case WM_GETMINMAXINFO:
        LimitTrackSize(window, reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        break;
    case WM_MOUSEMOVE:
        OnMouse(message);
        return 0;
    case WM_MOUSELEAVE:
        OnMouse(message);
        break;
    case WM_LBUTTONDOWN:
        // Keys go to the player again, not to a bar that had the focus.
        SetFocus(window);
        return 0;
    case WM_LBUTTONDBLCLK:
        ToggleFullScreen();
        return 0;
    case WM_MBUTTONDOWN:
        ToggleMute();
        return 0;
    case WM_MOUSEWHEEL:
        OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_SIZING:
        OnSizing(static_cast<int>(wParam), reinterpret_cast<RECT*>(lParam));
        return TRUE;
    case WM_COPYDATA:
        return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case kMsgRunPendingCommandLine:
        RunPendingCommandLine();
        return 0;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        // Non-zero keeps the control from asking for the context menu a second time; the status bar's
        // own right clicks are its parts'.
        if (header->code == static_cast<UINT>(NM_RCLICK)) {
            if (header->hwndFrom != GetMainControls().statusBar.m_hWnd) {
                POINT cursor = {};
                GetCursorPos(&cursor);
                OnContextMenu(MAKELPARAM(cursor.x, cursor.y));
            }
            return TRUE;
        }
        OnNotify(reinterpret_cast<NMHDR*>(lParam));
        return 0;
    }
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) != GetMainControls().statusBar.m_hWnd) {
            OnContextMenu(lParam);
        }
        return 0;
    case WM_COMMAND:
        OnButtonOrMenu(wParam, lParam);
        return 0;
    case WM_HSCROLL:
        OnHScroll(reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case kMsgGraphEvent:
        OnGraphEvent();
        return 0;
    case kMsgPlayPosition:
        UpdatePlayPosition(static_cast<int32_t>(wParam));
        return 0;
    case kMsgEndOfMedia:
        if (graph.IsGraphReady()) {
            PlayNextByPlayWay();
        }
        return 0;
    case kMsgPause:
        if (graph.IsGraphReady()) {
            graph.Pause();
        }
        return 0;
    case kMsgPlay:
        if (graph.IsGraphReady()) {
            graph.Play();
        }
        return 0;
    case kMsgPlayState:
        return PlayStateNumber(graph.GetPlayState());
    case kMsgTrayIcon:
        if (lParam == WM_LBUTTONUP || lParam == WM_LBUTTONDBLCLK) {
            ShowWindow(window, SW_RESTORE);
            ForceForegroundWindow(window);
            // An icon put there only to bring the window back from the tray goes with it.
            if (!GetAppSettings().AlwaysTaskTray) {
                RemoveTrayIcon();
            }
        }
        return 0;
    case kMsgUpdateMenu:
        if (GetAppSettings().ViewDownloadWindow) {
            GetDownloadWindow().Show(SW_SHOW);
        }
        UpdateMainMenuAndState();
        return 0;
    case kMsgLogLine:
        if (wParam != 0) {
            DebugLog().AppendLine(reinterpret_cast<const wchar_t*>(wParam));
        }
        return 0;
    case kMsgSeek:
        // The position is an unsigned number of milliseconds from any sender; past the end is the end.
        if (graph.IsGraphReady()) {
            const auto target = static_cast<int32_t>(std::min<ULONGLONG>(wParam, std::max(graph.GetDurationMs(), 0)));
            graph.SeekMs(target);
            UpdatePlayPosition(target);
        }
        return 0;
    case kMsgFilterEntry:
        OnFilterEntry(wParam);
        return 0;
    case kMsgCommandLine:
        if (wParam != 0) {
            // Sent on as a command line, with the program in front as a start would have it.
            const std::wstring text = L"\"" + GetProgramPath() + L"\" " + reinterpret_cast<const wchar_t*>(wParam);
            SendCopyData(window, window, text);
        }
        break;
    case kMsgRedrawPaused:
        OnRedrawPaused(wParam, lParam);
        return 0;
    case kMsgVideoData: {
        const PlayingMedia& media = GetPlayingMedia();
        return reinterpret_cast<LRESULT>(g_videoData.Answer(media.videoPath, media.open).c_str());
    }
    case kMsgPostResult:
        OnPostResult(wParam != 0);
        return 0;
    default:
        break;
    }
    return DefaultProc(window, message, wParam, lParam);
}
