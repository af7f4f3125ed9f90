#include "app/MediaPlayback.h"

#include "app/CWndSelectFile.h"
#include "app/CommandLine.h"
#include "app/ControlBars.h"
#include "app/MainWindow.h"
#include "app/PlayerCommandHost.h"
#include "app/RecentFiles.h"
#include "app/resource.h"
#include "client/Account.h"
#include "client/FlvData.h"
#include "CWndCommentList/CWndCommentList.h"
#include "engine/CDirectShow.h"
#include "engine/CCommentFilter.h"
#include "engine/CommentControl.h"
#include "engine/FramePump.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CSectionFile.h"
#include "foundation/CWorkerThread.h"
#include "foundation/Dialogs.h"
#include "foundation/Exception.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Network.h"
#include "foundation/PathUtil.h"
#include "foundation/Shell.h"
#include "foundation/StringUtil.h"
#include "foundation/VideoId.h"
#include "windows/CWndInfo.h"
#include "windows/CWndPlayList.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <sstream>

namespace {

// Comment options of a command line that are not given.
constexpr int kNotGiven = -4096;

bool g_infoCommandRunning = false;
// Opens in progress (a shortcut's open runs inside the open of the shortcut). Command lines and a
// close that arrive meanwhile, through the modal loops of its boxes and the comment-file chooser,
// wait until the outermost open has returned.
int g_openDepth = 0;
// The shortcuts being followed by the open in progress: one met again (in any case) is a cycle.
std::vector<std::wstring> g_shortcutChain;
// Beyond this many shortcuts in a row the chain counts as a cycle too.
constexpr size_t kMaxShortcutChain = 32;

// The open asked for while comments load, run once the load has ended: the latest request wins. Never
// destroyed, since its poller may still run while the process ends.
struct DeferredOpen {
    CCritSec lock;
    std::wstring command; // guarded by lock
    bool polling = false; // guarded by lock: a RunCommandLineDeferred worker waits
};
DeferredOpen& GetDeferredOpen() {
    static DeferredOpen* deferred = new DeferredOpen;
    return *deferred;
}
// Each comment load gets a number; a load that a newer one superseded does not play.
std::atomic<unsigned> g_loadGeneration{0};
std::atomic<int> g_loadsRunning{0};
CCritSec g_loadLock;

// The window as it was before full screen.
struct WindowedState {
    LONG_PTR style = 0;
    WINDOWPLACEMENT placement = {};
    HMENU menu = nullptr;
};
WindowedState g_windowed;
constexpr UINT_PTR kCursorHideTimer = 0x7F01;

void CALLBACK HideCursorTimerProc(HWND window, UINT, UINT_PTR timer, DWORD) {
    KillTimer(window, timer);
    if (GetDirectShow().IsGraphReady()) {
        GetDirectShow().HideVideoCursor(true);
    }
}

struct CommentLoad {
    unsigned generation;
    std::wstring path;
    int32_t readCount;
    int32_t readStart;
    int32_t shift;
    bool play;
};

int Box(const std::wstring& text, UINT flags) {
    return MessageBoxW(GetMainWindow(), text.c_str(), GetAppSettings().appName.c_str(),
                       flags | MB_TOPMOST | MB_SETFOREGROUND);
}

int OptionValue(const std::vector<std::wstring>& group, const wchar_t* key) {
    const std::wstring value = GetArgValueFirst(group, key, L"");
    return value.empty() ? kNotGiven : ToIntOrZero(value);
}

// The video of a comment or information file: the movie file in its folder with the same video ID.
std::wstring FindVideoOf(const std::wstring& path) {
    return FindRelatedMovieFile(GetFileName(path), RemoveTrailingSlash(GetDirectoryPath(path)));
}

void LoadCommentsAndPlay(const CommentLoad& load) {
    HWND main = GetMainWindow();
    {
        CAutoLock serial(g_loadLock);
        if (load.generation == g_loadGeneration) {
            const bool wait = GetAppSettings().ViewCommentLoadWait;
            if (wait && SendMessageW(main, kMsgPlayState, 0, 0) == 2) {
                SendMessageW(main, kMsgPause, 0, 0);
            }
            LogViaMainWindow(L"コメントデータ読み込み中...");
            // The video's own NG list lies beside its comment file.
            GetCommentFilter().LoadLocalFilter(load.path);
            CommentControl& store = GetCommentControl();
            if (!store.LoadCommentFile(load.path, load.readCount, load.readStart)) {
                LogViaMainWindow(L"コメントファイルの読み込みに失敗しました : " + load.path);
            } else if (load.shift != kNotGiven && load.shift != 0 && store.ShiftCommentTimes(load.shift)) {
                // Applied after the load's own records are in, so that it is not lost to the clear.
                GetAppSettings().CommentTimeShift = load.shift;
                LogViaMainWindow(L"コメントの時間軸変更 : " + std::to_wstring(load.shift / 1000));
            }
        }
    }
    if (load.generation == g_loadGeneration && load.play) {
        LogViaMainWindow(L"再生開始");
        SendMessageW(main, kMsgPlay, 0, 0);
    }
}

void StartCommentReload(const std::wstring& path, const std::vector<std::wstring>& group, bool play) {
    CommentLoad load{++g_loadGeneration,
                     path,
                     OptionValue(group, L"comment_readnum="),
                     OptionValue(group, L"comment_readstart="),
                     OptionValue(group, L"comment_shift="),
                     play};
    if (load.readCount == kNotGiven) {
        load.readCount = -1;
    }
    if (load.readStart == kNotGiven) {
        load.readStart = -1;
    }
    ++g_loadsRunning;
    // The end step lowers the count also when the load throws, or every later open would be refused.
    StartWorker(
        {L"LoadCommentsAndPlay", true}, [load] { LoadCommentsAndPlay(load); }, [] { --g_loadsRunning; });
}

// As SplitCommandLine reads it back: quoted when it holds a blank or a quote, or is empty.
std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = argument;
    ReplaceAll(quoted, L"\"", L"\\\"");
    return L"\"" + quoted + L"\"";
}

// Waits every 500 ms until no comment load runs, then sends the latest open asked for meanwhile to
// the main window as a command line.
void RunCommandLineDeferred() {
    DeferredOpen& deferred = GetDeferredOpen();
    for (;;) {
        Sleep(500);
        if (IsLoadingComments()) {
            continue;
        }
        std::wstring command;
        {
            CAutoLock lock(deferred.lock);
            command.swap(deferred.command);
            deferred.polling = false;
        }
        HWND main = GetMainWindow();
        if (!command.empty() && main != nullptr) {
            SendMessageW(main, kMsgCommandLine, reinterpret_cast<WPARAM>(command.c_str()), 0);
        }
        return;
    }
}

void DeferOpen(const std::wstring& path, const std::vector<std::wstring>& group) {
    // The group's first entry is the file itself; the rest are its options.
    std::wstring command = QuoteArgument(path);
    for (size_t i = 1; i < group.size(); ++i) {
        command += L" " + QuoteArgument(group[i]);
    }
    DeferredOpen& deferred = GetDeferredOpen();
    CAutoLock lock(deferred.lock);
    deferred.command = command;
    if (deferred.polling) {
        return;
    }
    deferred.polling = true;
    // The end step also covers a poller that threw or never started; a second poller meanwhile only
    // finds the command taken.
    StartWorker(
        {L"RunCommandLineDeferred", false}, [] { RunCommandLineDeferred(); },
        [] {
            CAutoLock lock(GetDeferredOpen().lock);
            GetDeferredOpen().polling = false;
        });
}

// The window is sized so that its video area takes the video at the scale.
void FitWindowToVideo(HWND main, CDirectShow& graph, double scale) {
    const int32_t width = graph.GetSourceVideoWidth();
    const int32_t height = graph.GetSourceVideoHeight();
    if (!graph.HasVideo() || width <= 0 || height <= 0) {
        return;
    }
    const RECT area = GetVideoArea(main);
    RECT window = {};
    GetWindowRect(main, &window);
    const LONG wantedWidth = static_cast<LONG>(width * scale);
    const LONG wantedHeight = static_cast<LONG>(height * scale);
    const LONG newWidth = window.right - window.left + wantedWidth - (area.right - area.left);
    const LONG newHeight = window.bottom - window.top + wantedHeight - (area.bottom - area.top);
    SetWindowPos(main, nullptr, 0, 0, newWidth, newHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The video follows the area, also where no WM_SIZE came (the size did not change).
    graph.SetVideoArea(GetVideoArea(main));
    graph.FitVideoWindow();
}

// A new graph plays at 1; the rate the user chose is given to it again.
void ApplyPlaybackRate(CDirectShow& graph) {
    const double rate = graph.GetPlaybackRate();
    if (rate == 1.0 || rate == 0.0) {
        return;
    }
    if (!graph.SetRate(rate)) {
        std::wostringstream text;
        text << rate;
        DebugLog() << L"再生レートの設定に失敗しました : " << text.str() << EndLine;
    }
}

UINT RefreshInterval(CDirectShow& graph) {
    const AppSettings& settings = GetAppSettings();
    if (!graph.HasVideo()) {
        return CalcRefreshInterval(false, 0, settings);
    }
    UINT frameMs = static_cast<UINT>(graph.ReadAvgTimePerFrame() / 10000);
    if (frameMs == 0) {
        DebugLog() << L"◆平均フレーム間隔の取得に失敗しました : AvgTimePerFrame = 0" << EndLine;
        DebugLog() << L"フィルタが正しく設定されていない可能性があります" << EndLine;
        DebugLog() << L"フレーム間隔を " << settings.DefaultAvgTimePerFrame << L"ms と仮定して再生を行います("
                   << GetFileName(settings.iniPath) << L" の DefaultAvgTimePerFrame= で変更可能)" << EndLine;
        frameMs = static_cast<UINT>(settings.DefaultAvgTimePerFrame);
    }
    DebugLog() << L"平均フレーム間隔 = " << frameMs << EndLine;
    // Each bound in turn, as the interval's arithmetic applies them: a minimum above the maximum meets both.
    UINT bounded = frameMs;
    if (settings.MinAvgTimePerFrame != 0 && bounded < static_cast<UINT>(settings.MinAvgTimePerFrame)) {
        bounded = static_cast<UINT>(settings.MinAvgTimePerFrame);
        DebugLog() << L"初期平均フレーム間隔を" << settings.MinAvgTimePerFrame << L"に設定しました(MinAvgTimePerFrame=)"
                   << EndLine;
    }
    if (settings.MaxAvgTimePerFrame != 0 && bounded > static_cast<UINT>(settings.MaxAvgTimePerFrame)) {
        DebugLog() << L"初期平均フレーム間隔を" << settings.MaxAvgTimePerFrame << L"に設定しました(MaxAvgTimePerFrame=)"
                   << EndLine;
    }
    return CalcRefreshInterval(true, frameMs, settings);
}

void SetCommentFontSizesForVideo(CDirectShow& graph) {
    CommentFontSizes sizes;
    const int32_t width = graph.GetSourceVideoWidth();
    const int32_t height = graph.GetSourceVideoHeight();
    const bool small =
        width <= 0 || height <= 0 || (!GetAppSettings().MovieSizeFixComment && (width < 512 || height < 384));
    if (small) {
        sizes.medium = 13;
        sizes.big = 20;
        sizes.small = 8;
    }
    CommentControl& store = GetCommentControl();
    store.SetCommentFontSizes(sizes);
    const int32_t frameWidth = graph.GetFilterOutputWidth();
    const int32_t frameHeight = graph.GetFilterOutputHeight();
    if (frameWidth > 0 && frameHeight > 0) {
        store.SetFrameSize(frameWidth, frameHeight);
    }
}

void ShowOpenFailure(const std::wstring& box, const std::wstring& logLine, const utl::exception::CException& e) {
    Box(L"Error : \n" + box, MB_OK | MB_ICONERROR);
    DebugLog() << logLine << e.message << EndLine;
    CloseMediaFile();
}

bool StartTimer(CDirectShow& graph) {
    const UINT interval = RefreshInterval(graph);
    DebugLog() << L"更新間隔 = " << interval << EndLine;
    TIMECAPS caps = {};
    if (timeGetDevCaps(&caps, sizeof(caps)) != TIMERR_NOERROR) {
        VELA_THROW(L"timeGetDevCaps", 0);
    }
    if (!graph.FramePump().Start(interval, caps.wPeriodMin)) {
        DebugLog() << L"timeSetEvent : return NULL" << EndLine;
        return false;
    }
    return true;
}

} // namespace

bool IsInformationCommandRunning() {
    return g_infoCommandRunning;
}

bool RunInformationCommand(std::wstring command, const std::function<void(const std::vector<std::wstring>&)>& execute) {
    if (g_infoCommandRunning) {
        return false;
    }
    ReplaceAll(command, L"\n", L" ");
    DebugLog() << L"動画情報コマンド : " << command << EndLine;
    // Runs once: the command cannot open the information file's command again. Released also when the
    // command throws, or no information file would run its command again.
    g_infoCommandRunning = true;
    struct GuardEnd {
        ~GuardEnd() { g_infoCommandRunning = false; }
    } guardEnd;
    execute(SplitCommandLine(L". " + command));
    return true;
}

std::vector<std::wstring> ReadVideoFilters(const std::wstring& videoPath, HWND owner) {
    if (!IsInternetConnected()) {
        return {L"インターネットの接続を確認できません"};
    }
    const std::wstring videoId = GetVideoIdFromFilePath(videoPath);
    if (videoId.empty()) {
        return {L"再生中ファイル名から動画IDが見つかりませんでした"};
    }
    const std::vector<std::wstring> filters =
        GetOwnerNgList(GetFlvDataFromHtml(videoId, owner, GetAppSettings().Country));
    if (filters.empty()) {
        return {L"動画に設定されているフィルターはありませんでした"};
    }
    const std::wstring rule = L"-----------------------------------";
    std::vector<std::wstring> lines = {rule};
    lines.insert(lines.end(), filters.begin(), filters.end());
    lines.push_back(rule);
    return lines;
}

void GetVideoFilterThread() {
    const std::wstring video = GetPlayingMedia().videoPath;
    StartWorker({L"GetVideoFilterThread", true}, [video] {
        HWND main = GetMainWindow();
        LogViaMainWindow(L"動画に設定されているフィルターを取得しています...");
        for (const std::wstring& line : ReadVideoFilters(video, main)) {
            LogViaMainWindow(line);
        }
    });
}

std::wstring FetchVideoData(const std::wstring& videoPath, const std::wstring& country) {
    const std::wstring videoId = GetVideoIdFromFilePath(videoPath);
    if (videoId.empty() || !IsInternetConnected()) {
        return std::wstring();
    }
    const std::wstring data = GetFlvData(videoId, country, INTERNET_FLAG_RELOAD);
    return IsClosed(data) ? std::wstring() : data;
}

namespace {

// The data of the video just opened, fetched on a worker; a later open supersedes it.
void StartVideoDataFetch(const std::wstring& videoPath) {
    GetPlayingVideoData().Expect(videoPath);
    if (GetAppSettings().OfflineMode || GetVideoIdFromFilePath(videoPath).empty()) {
        return;
    }
    const std::wstring country = GetAppSettings().Country;
    StartWorker({L"FetchVideoData", false}, [videoPath, country] {
        const std::wstring data = FetchVideoData(videoPath, country);
        if (!data.empty()) {
            GetPlayingVideoData().Keep(videoPath, data);
        }
    });
}

} // namespace

PlayingMedia& GetPlayingMedia() {
    static PlayingMedia media;
    return media;
}

bool IsLoadingComments() {
    return g_loadsRunning > 0;
}

void WaitForCommentLoads(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (IsLoadingComments() && GetTickCount() - start < timeoutMs) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_SENDMESSAGE);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void ApplyVolume() {
    CDirectShow& graph = GetDirectShow();
    try {
        if (GetAppSettings().Mute) {
            graph.SetVolume(-10000);
        } else {
            graph.SetVolumePercent(static_cast<int32_t>(SendMessageW(GetMainControls().volumeBar, TBM_GETPOS, 0, 0)));
        }
    } catch (const utl::exception::CException& e) {
        DebugLog() << L"◆ボリュームの設定に失敗しました : " << e.message << EndLine;
    }
}

bool IsOpeningMedia() {
    return g_openDepth > 0;
}

bool OpenMediaFile(const std::wstring& requested, const std::vector<std::wstring>& group) {
    struct OpenScope {
        OpenScope() { ++g_openDepth; }
        ~OpenScope() {
            // What waited for the open runs now.
            if (--g_openDepth == 0 && GetMainWindow() != nullptr) {
                PostMessageW(GetMainWindow(), kMsgRunPendingCommandLine, 0, 0);
            }
        }
    } openScope;
    SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
    PlayingMedia& media = GetPlayingMedia();
    if (IsLoadingComments()) {
        DebugLog() << L"コメントの読み込みが完了していません" << EndLine;
        DeferOpen(requested, group);
        return false;
    }
    if (!FileExists(requested)) {
        Box(L"ファイルが見つかりません。\n\n" + requested, MB_OK | MB_ICONWARNING);
        return false;
    }
    std::wstring video = requested;
    std::wstring fixedComment;
    const std::wstring extension = ToLower(GetFileExtension(requested));
    if (extension == L".xml") {
        fixedComment = requested;
        video = FindVideoOf(requested);
        if (video.empty()) {
            if (Box(L"コメントファイルに対応する動画ファイルが見つかりません。\n" + requested +
                        L"再生する動画ファイルを手動で選択しますか？",
                    MB_YESNO | MB_ICONQUESTION) != IDYES) {
                return false;
            }
            const AppSettings& settings = GetAppSettings();
            const FileDialogFilter filter = {{L"動画ファイル", settings.movieFileMask},
                                             {L"すべてのファイル(*.*)", L"*.*"}};
            if (!ShowOpenFileDialog(GetMainWindow(), video, filter)) {
                return false;
            }
        }
    } else if (extension == L".txt") {
        video = FindVideoOf(requested);
        if (video.empty()) {
            Box(requested + L"\n\n動画情報ファイルに対応する動画ファイルが見つかりません。", MB_OK | MB_ICONWARNING);
            return false;
        }
    } else if (extension == L".lnk") {
        const std::wstring key = ToLower(requested);
        const bool cycle = std::any_of(g_shortcutChain.begin(), g_shortcutChain.end(),
                                       [&](const std::wstring& followed) { return ToLower(followed) == key; }) ||
                           g_shortcutChain.size() >= kMaxShortcutChain;
        const std::wstring target = cycle ? std::wstring() : GetShortcutTarget(requested);
        if (target.empty()) {
            // A shortcut that leads back to itself has no video either; the user sees the one opened.
            const std::wstring shown = g_shortcutChain.empty() ? requested : g_shortcutChain.front();
            Box(L"ショートカットに対応する動画ファイルが見つかりません。\n" + shown, MB_OK | MB_ICONWARNING);
            return false;
        }
        g_shortcutChain.push_back(requested);
        struct ChainEnd {
            ~ChainEnd() { g_shortcutChain.pop_back(); }
        } chainEnd;
        return OpenMediaFile(target, group);
    }

    media.videoPath = video;
    media.commentPath = fixedComment;
    media.infoPath = RemoveExtension(video) + L".txt";

    if (!IsInformationCommandRunning()) {
        const std::wstring command = CSectionFile(media.infoPath).ReadSection(L"command", L"");
        if (!command.empty()) {
            RunInformationCommand(command, [](const std::vector<std::wstring>& arguments) {
                ParseCommandLine(arguments, GetPlayerCommandHost());
            });
            return true;
        }
    }

    if (GetPlayListWindow().GetHandle() != nullptr) {
        SendMessageW(GetPlayListWindow().GetHandle(), kMsgPlaylistPlayingFile, reinterpret_cast<WPARAM>(video.c_str()),
                     0);
    }
    DebugLog() << L"動画ファイル : " << video << EndLine;
    DebugLog() << L"動画ファイルの読み込み中..." << EndLine;
    CDirectShow& graph = GetDirectShow();
    HWND main = GetMainWindow();
    try {
        graph.OpenMovie(video, main);
    } catch (const utl::exception::CException& e) {
        ShowOpenFailure(
            L"ファイル形式に対応したフィルタがインストールされていません。\nフィルタのインストールを行って下さい。\n\n"
            L"ファイルの読み込みに失敗しました。\n",
            L"◆ファイルの読み込みに失敗しました : ", e);
        return false;
    }
    try {
        // The graph's events (its end of stream among them) come to the main window as kMsgGraphEvent.
        graph.SetNotifyWindow(main);
        graph.SetVideoArea(GetVideoArea(main));
        graph.FitVideoWindow();
        SetCommentFontSizesForVideo(graph);
        GetCommentControl().ClearComments();
        GetAppSettings().CommentTimeShift = 0;
        ApplyVolume();
        StartTimer(graph);
    } catch (const utl::exception::CException& e) {
        ShowOpenFailure(L"ファイル形式に対応したフィルタがインストールされていない、または、ファイルが動画ファイルでな"
                        L"い可能性があります。\n\n"
                        L"動画ファイルの初期化処理でエラーが発生しました。\n",
                        L"◆動画ファイルの初期化処理に失敗しました : ", e);
        DebugLog() << L"フィルタ(コーデック)が使用できない状態になっている可能性があります" << EndLine;
        return false;
    }
    SetWindowTextW(main, (GetFileName(video) + L" - " + GetAppSettings().appName).c_str());
    if (GetAppSettings().MovieSizeAuto && !media.fullScreen) {
        FitWindowToVideo(main, graph, 1.0);
    }
    ApplyPlaybackRate(graph);

    std::wstring comment = fixedComment;
    if (comment.empty()) {
        CWndSelectFile chooser;
        comment = chooser.Choose(main, video);
    }
    const bool wait = GetAppSettings().ViewCommentLoadWait;
    if (comment == CWndSelectFile::kCancel) {
        DebugLog() << L"コメントファイルの読み込みを行いませんでした" << EndLine;
        comment.clear();
    } else if (comment.empty()) {
        DebugLog() << L"コメントファイルが見つかりませんでした" << EndLine;
    }
    if (comment.empty() || !wait) {
        graph.Play();
        DebugLog() << L"再生開始" << EndLine;
    }
    if (!comment.empty()) {
        StartCommentReload(comment, group, wait);
    }
    media.commentPath = comment;
    if (!GetAppSettings().ViewVideoInfoWindow && GetInfoWindow().GetHandle() != nullptr) {
        GetInfoWindow().Move(L"");
    }
    GetRecentFiles().Add(requested);
    media.open = true;
    StartVideoDataFetch(media.videoPath);
    UpdateMainMenuAndState();
    return true;
}

void CloseMediaFile() {
    PlayingMedia& media = GetPlayingMedia();
    // A load still running finds itself superseded and does not play what is gone.
    ++g_loadGeneration;
    media.videoPath.clear();
    media.commentPath.clear();
    media.infoPath.clear();
    media.open = false;
    GetPlayingVideoData().Clear();
    GetDirectShow().CloseFilterGraph();
    if (HWND main = GetMainWindow()) {
        SetWindowTextW(main, GetAppSettings().appName.c_str());
    }
    UpdateMainMenuAndState();
}

void PlayNextByPlayWay() {
    HWND main = GetMainWindow();
    // The position display shows the end, also when the last tick came before it.
    SendMessageW(main, kMsgPlayPosition, static_cast<WPARAM>(std::max(GetDirectShow().GetDurationMs(), 0)), 0);
    SendMessageW(GetMainControls().seekBar, TBM_SETPOS, TRUE, 100);
    const int32_t way = GetAppSettings().PlayWay;
    if (way == 1) {
        // A graph that has reported its end is stopped first: a seek alone did not make it stream
        // again under Wine, and from stopped a seek and a run restart it on either platform.
        if (GetDirectShow().IsGraphReady()) {
            CAutoLock lock(&GetDirectShow().GraphLock());
            Microsoft::WRL::ComPtr<IMediaControl> control;
            if (SUCCEEDED(GetDirectShow().GetGraphBuilder()->QueryInterface(IID_PPV_ARGS(&control)))) {
                control->Stop();
            }
        }
        SendMessageW(main, kMsgSeek, 0, 0);
        SendMessageW(main, kMsgPlay, 0, 0);
    } else if (way == 0 || way == 2 || way == 3) {
        SendMessageW(main, kMsgPause, 0, 0);
        if (way == 2) {
            PostMessageW(main, WM_COMMAND, IDC_NEXT_FILE, 0);
        } else if (way == 3) {
            PostMessageW(main, WM_COMMAND, IDC_RANDOM_FILE, 0);
        }
    }
    UpdateMainMenuAndState();
}

void SetFullScreen(bool on) {
    HWND main = GetMainWindow();
    PlayingMedia& media = GetPlayingMedia();
    if (main == nullptr || on == media.fullScreen) {
        return;
    }
    MainControls& controls = GetMainControls();
    const HWND bars[] = {controls.toolBar, controls.seekBar, controls.muteButton, controls.volumeBar,
                         controls.statusBar.m_hWnd};
    if (on) {
        g_windowed.style = GetWindowLongPtrW(main, GWL_STYLE);
        g_windowed.placement.length = sizeof(WINDOWPLACEMENT);
        GetWindowPlacement(main, &g_windowed.placement);
        g_windowed.menu = GetMenu(main);
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), &monitor);
        for (HWND bar : bars) {
            ShowWindow(bar, SW_HIDE);
        }
        SetMenu(main, nullptr);
        SetWindowLongPtrW(main, GWL_STYLE, (g_windowed.style & ~WS_OVERLAPPEDWINDOW) | WS_POPUP);
        const RECT& area = monitor.rcMonitor;
        SetWindowPos(main, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_FRAMECHANGED | SWP_SHOWWINDOW);
        SetTimer(main, kCursorHideTimer, 1500, HideCursorTimerProc);
    } else {
        KillTimer(main, kCursorHideTimer);
        if (GetDirectShow().IsGraphReady()) {
            GetDirectShow().HideVideoCursor(false);
        }
        SetWindowLongPtrW(main, GWL_STYLE, g_windowed.style);
        SetMenu(main, g_windowed.menu);
        for (HWND bar : bars) {
            ShowWindow(bar, SW_SHOW);
        }
        SetWindowPlacement(main, &g_windowed.placement);
        SetWindowPos(main, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    }
    media.fullScreen = on;
    // The video follows the client area, which the bars no longer share in full screen.
    LayoutMainWindow(main);
    if (GetDirectShow().IsGraphReady()) {
        GetDirectShow().SetVideoArea(GetVideoArea(main));
        GetDirectShow().FitVideoWindow();
    }
    UpdateMainMenuAndState();
}

void ToggleFullScreen() {
    SetFullScreen(!GetPlayingMedia().fullScreen);
}
