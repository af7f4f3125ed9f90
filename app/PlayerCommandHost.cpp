#include "app/PlayerCommandHost.h"

#include "app/ControlBars.h"
#include "app/MainWindow.h"
#include "app/MediaPlayback.h"
#include "CWndCommentList/CWndCommentList.h"
#include "CWndDownload/CWndDownload.h"
#include "engine/CDirectShow.h"
#include "engine/CommentControl.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Shell.h"
#include "windows/CWndCommentPost.h"
#include "windows/CWndInfo.h"
#include "windows/CWndPlayList.h"

#include <commctrl.h>

namespace {

// Long enough for a requester that pumps its messages on a loaded machine.
constexpr UINT kReplyTimeoutMs = 5000;

class PlayerCommandHost : public CommandLineHost {
public:
    void ExecuteDownloadCommand(const CommandArgs& group) override {
        DebugLog() << L"ダウンロード : " << group[0] << EndLine;
        CWndDownload& download = GetDownloadWindow();
        GetAppSettings().ViewDownloadWindow = true;
        if (!download.Show(SW_SHOW)) {
            return;
        }
        // Queued: a request of the start's own command line comes before the saved list is read.
        DownloadRequest request = MakeDownloadRequest(group, download.GetDownloadKindFlags());
        SendMessageW(download.GetHandle(), kMsgDownloadQueueAddItem, reinterpret_cast<WPARAM>(&request.texts),
                     static_cast<LPARAM>(request.flags));
    }
    void ExecutePlaylistCommand(const CommandArgs& group) override {
        GetAppSettings().ViewPlayList = true;
        GetPlayListWindow().Show(SW_SHOW);
        DebugLog() << L"プレイリスト : " << group[0] << EndLine;
    }
    void OpenDownloadList(const std::wstring& path) override {
        GetDownloadWindow().Show(SW_SHOW);
        GetDownloadWindow().AddListFromCommandLine(path);
    }
    void AddToPlaylist(const std::wstring& path) override {
        GetPlayListWindow().Show(SW_HIDE);
        SendMessageW(GetPlayListWindow().GetHandle(), kMsgPlaylistAddFile, reinterpret_cast<WPARAM>(path.c_str()), 0);
    }
    void OpenMediaFile(const std::wstring& path, const CommandArgs& group) override { ::OpenMediaFile(path, group); }

    bool IsGraphReady() override { return GetDirectShow().IsGraphReady(); }
    long long GetDurationMs() override { return GetDirectShow().GetDurationMs(); }
    void Play() override { GetDirectShow().Play(); }
    void Pause() override { GetDirectShow().Pause(); }
    void Stop() override { GetDirectShow().Stop(); }
    void SendMainCommand(WORD command) override { SendMessageW(GetMainWindow(), WM_COMMAND, command, 0); }
    void SeekPercent(int percent) override { GetDirectShow().SeekPercent(percent); }
    void SeekMs(int milliseconds) override { GetDirectShow().SeekMs(milliseconds); }
    bool ShiftCommentTimes(int totalMs) override { return GetCommentControl().ShiftCommentTimes(totalMs); }
    void ApplyTimeShiftToCommentList(int totalMs) override { GetCommentListWindow().ApplyTimeShift(totalMs); }
    void SetVolumeBarPosition(int position) override {
        SendMessageW(GetMainControls().volumeBar, TBM_SETPOS, TRUE, position);
        // TBM_SETPOS tells the main window nothing, and the close saves this setting.
        GetAppSettings().Volume = static_cast<int32_t>(SendMessageW(GetMainControls().volumeBar, TBM_GETPOS, 0, 0));
        if (GetDirectShow().IsGraphReady()) {
            ApplyVolume();
        }
    }
    bool SetRate(double rate) override { return GetDirectShow().SetRate(rate); }
    void PostCommentFromCommandLine(const CommandArgs& group) override {
        GetCommentPostWindow().PostFromCommandLine(group);
    }
    void CommentAlphaChanged() override {
        UpdateMainMenuAndState();
        const PlayState state = GetDirectShow().GetPlayState();
        if (state != PlayState::Closed && state != PlayState::Running) {
            PostMessageW(GetMainWindow(), kMsgRedrawPaused, 0, 0);
        }
    }

    void ShowPlaylist() override { GetPlayListWindow().Show(SW_SHOW); }
    void ClearPlaylist(bool confirm) override { GetPlayListWindow().Clear(confirm); }
    void ShowVideoInfo(const std::wstring& href) override {
        GetInfoWindow().Show(SW_SHOW);
        GetInfoWindow().Move(href);
    }
    void SetVideoInfoOpenInside(bool inside) override { GetInfoWindow().SetOpenInside(inside); }
    void RepaintVideoInfo() override {
        if (GetInfoWindow().GetHandle() != nullptr) {
            InvalidateRect(GetInfoWindow().GetHandle(), nullptr, TRUE);
        }
    }
    void ShowInformationWindow() override {
        ShowWindow(CBaseDebug::GetWindow(), SW_SHOW);
        UpdateMainMenuAndState();
    }

    MediaQueryState GetMediaState() override {
        const PlayingMedia& media = GetPlayingMedia();
        MediaQueryState state;
        state.videoPath = media.videoPath;
        state.commentPath = media.commentPath;
        state.infoPath = media.infoPath;
        state.playlistFiles = GetPlayListWindow().GetFiles();
        CDirectShow& graph = GetDirectShow();
        const PlayState playState = graph.GetPlayState();
        state.state = playState == PlayState::Closed ? -1 : PlayStateNumber(playState);
        if (playState != PlayState::Closed) {
            state.positionMs = graph.GetPos() / 10000;
            state.durationMs = graph.GetDurationMs();
        }
        return state;
    }
    void SendReply(const std::wstring& target, const std::wstring& text) override {
        if (target == L"VIDEOINFO") {
            SendMessageW(GetInfoWindow().GetHandle(), kMsgVideoInfoReply, reinterpret_cast<WPARAM>(text.c_str()), 0);
            return;
        }
        HWND window = ParseWindowHandle(target);
        if (window == nullptr || !IsWindow(window)) {
            DebugLog() << L"get : 返信先のウィンドウが見つかりません : " << target << EndLine;
            return;
        }
        // The requester may never answer (a thread that does not pump, a hung program): the player waits
        // a bounded time and goes on.
        COPYDATASTRUCT data = {};
        data.dwData = 0;
        data.cbData = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        data.lpData = const_cast<wchar_t*>(text.c_str());
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(window, WM_COPYDATA, reinterpret_cast<WPARAM>(GetMainWindow()),
                                 reinterpret_cast<LPARAM>(&data), SMTO_NORMAL | SMTO_ABORTIFHUNG, kReplyTimeoutMs,
                                 &answer)) {
            DebugLog() << L"get : 返信先のウィンドウが応答しません : " << target << EndLine;
        }
    }

    LRESULT SendToMainWindow(UINT message, WPARAM wParam, LPARAM lParam) override {
        return SendMessageW(GetMainWindow(), message, wParam, lParam);
    }

    bool DeleteFolderSilently(const std::wstring& folder) override {
        return DeletePath(folder, FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI,
                          GetMainWindow()) == 0;
    }
    bool GetExchangeHtml(std::wstring& html) override { return GetInfoWindow().GetInnerHTML(L"exchange", html); }
};

} // namespace

CommandLineHost& GetPlayerCommandHost() {
    static PlayerCommandHost host;
    return host;
}
