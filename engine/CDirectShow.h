#pragma once
// The process's filter-graph wrapper: a graph per opened file with CVelaFilter added as "Vela Filter"
// before the file is rendered, the video window owned by the player's window, and the playback
// operations (play, pause, stop, seek, rate, volume, state, duration, position, graph events) that the
// main window, the command line and the frame pump use. All other code reaches the graph through it.
//
// Each graph gets the process's shared reference clock unless one of its filters has a clock
// (GraphClock.h), and the filter draws its frames through the wrapper's frame renderer.
//
// Thread use: the UI thread. The frame pump's timer thread calls IsGraphReady, GetState and GetPos
// and reads the duration, only while it holds the graph lock (tried, never waited for).

#include "engine/CVelaFilter.h"
#include "engine/FrameBits.h"
#include "engine/FramePump.h"
#include "engine/FrameRenderer.h"
#include "foundation/CCritSec.h"
#include "foundation/PrivateMessages.h"

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The state of the playing media as the player shows and reports it.
enum class PlayState {
    Closed, // no graph
    Stopped,
    Paused,
    Running,
};

// The number kMsgPlayState answers and commands compare with: 2 running, 1 paused, 0 otherwise.
int PlayStateNumber(PlayState state);

class CDirectShow {
public:
    CDirectShow();
    ~CDirectShow();
    CDirectShow(const CDirectShow&) = delete;
    CDirectShow& operator=(const CDirectShow&) = delete;

    void InitDirectShow();
    void ShutdownDirectShow();

    // Builds the graph for the file and renders it; throws utl::exception::CException.
    void OpenMovie(const std::wstring& path, HWND owner);
    // Stops the frame pump and tears the graph down.
    void CloseFilterGraph();
    void ResetGraphState();
    bool IsGraphReady() const;

    // The graph's state (State_Stopped, State_Paused, State_Running) within 10 ms; 0 on failure.
    long GetState() const;
    // GetState as the player sees it; Closed while the graph is not ready.
    PlayState GetPlayState() const;
    void Play();
    void Pause();
    void Stop();
    // Absolute seek of the current position (100-ns units); the key-frame flag counts only at 0. A
    // paused video is redrawn at the new position (FlushAndRedraw), since no pump tick draws it.
    void Seek(LONGLONG position, bool keyFrame);
    void SeekMs(int32_t positionMs);
    void SeekPercent(int32_t percent);
    LONGLONG GetPos();
    double GetRate();
    // False when the graph refused the rate. An accepted rate is kept for the files opened later.
    bool SetRate(double rate);
    // The rate last accepted by a graph (1.0 until then); a new graph starts at 1.0 until it is given.
    double GetPlaybackRate() const { return m_playbackRate; }
    bool IsRateSupported();
    void SetVolume(long volume);
    void SetVolumePercent(int32_t percent);
    // −(100 − percent)², with 40 (the volume bar's lowest position) silent.
    static long VolumeFromPercent(int32_t percent);
    void ReadDuration();
    // The video's frame period in 100-ns units; 0 when unknown.
    LONGLONG ReadAvgTimePerFrame();
    void SetNotifyWindow(HWND window);
    // Takes one queued graph event without waiting; false when none is queued.
    bool GetGraphEvent(long& code);

    void SetupVideoWindow(HWND owner);
    // Hands a message of the owner window to the video window, as the video window asks of its owner.
    void NotifyOwnerMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void FitVideoWindow();
    bool SetVideoWindowPosition(long x, long y, long width, long height);
    bool SetVideoWindowRect(const RECT& rect);
    void HideVideoCursor(bool hide);

    int32_t GetSourceVideoWidth();
    int32_t GetSourceVideoHeight();
    int32_t GetFilterOutputWidth();
    int32_t GetFilterOutputHeight();
    // Names of the filters after CVelaFilter, pin by pin; false when the graph is not ready or there
    // are none.
    bool GetDownstreamFilters(std::vector<std::wstring>& names);

    static std::wstring FormatPlayTime(int32_t ms);
    static int32_t ParsePlayTime(const std::wstring& text);

    int32_t GetDurationMs() const { return m_durationMs; }
    LONGLONG GetDuration() const { return m_duration; }
    std::wstring GetDurationText() const { return m_durationText; }
    bool HasVideo() const { return m_hasVideo; }
    // The "ActiveMovie Window" child of the owner, once the owner is set.
    HWND GetVideoChildWindow() const { return m_videoChild; }
    CVelaFilter* GetVelaFilter() const { return m_pVelaFilter.Get(); }
    IGraphBuilder* GetGraphBuilder() const { return m_pGraphBuilder.Get(); }
    DWORD GetRotCookie() const { return m_rotCookie; }

    // The window that gets the play position and end-of-media messages (the OpenMovie owner).
    HWND GetOwnerWindow() const { return m_renderer.GetOwnerWindow(); }
    void PostToOwner(UINT message, WPARAM wParam, LPARAM lParam) const;
    // The player's video area in the owner's client coordinates; the whole client area until set.
    void SetVideoArea(const RECT& area);
    RECT GetVideoArea() const;
    bool IsVideoCursorHidden() const { return m_renderer.IsCursorHidden(); }

    // The end of the media is handled once for each pass through the file: the first of the frame
    // pump and the graph's EC_COMPLETE to ask gets true; a new file or a seek starts a new pass.
    bool ClaimEndOfMedia();

    // The comment drawing that the renderer calls for each frame: DrawComments of the process's store
    // until changed; null draws none.
    void SetCommentDrawing(DrawCommentsFn draw) { m_renderer.SetCommentDrawing(std::move(draw)); }
    // The index of the comment under the mouse point at the last frame, or -1.
    int32_t GetCommentUnderMouse() const { return m_renderer.GetCommentUnderMouse(); }
    // UI thread: the cursor over the video window in the owner's client coordinates, or null when it is
    // not over the video (left, hidden). The drawing reads the last point recorded; it never asks the
    // window system itself, since a hit test from the drawing's thread could wait for the UI thread.
    void SetMousePoint(const POINT* clientPoint) { m_renderer.SetMousePoint(clientPoint); }
    bool GetMousePoint(POINT& clientPoint) const { return m_renderer.GetMousePoint(clientPoint); }

    CFramePump& FramePump() { return m_framePump; }
    CFrameRenderer& FrameRenderer() { return m_renderer; }
    CCritSec& GraphLock() { return m_graphLock; }

private:
    void BuildFilterGraph();
    void RenderFile(const std::wstring& path);
    void AddToRot();
    void RemoveFromRot();
    void ReleaseGraph();

    Microsoft::WRL::ComPtr<IGraphBuilder> m_pGraphBuilder;
    Microsoft::WRL::ComPtr<IMediaControl> m_pMediaControl;
    Microsoft::WRL::ComPtr<IVideoWindow> m_pVideoWindow;
    Microsoft::WRL::ComPtr<IMediaSeeking> m_pMediaSeeking;
    Microsoft::WRL::ComPtr<IMediaEventEx> m_pMediaEventEx;
    Microsoft::WRL::ComPtr<IBasicAudio> m_pBasicAudio;
    Microsoft::WRL::ComPtr<IBasicVideo> m_pBasicVideo;
    Microsoft::WRL::ComPtr<CVelaFilter> m_pVelaFilter;

    std::atomic<int32_t> m_durationMs{0};
    std::atomic<LONGLONG> m_duration{0};
    std::wstring m_durationText;
    std::atomic<bool> m_hasVideo{false};
    std::atomic<HWND> m_videoChild{nullptr};
    DWORD m_rotCookie = 0;
    // Recursive: OpenMovie holds it and calls CloseFilterGraph, which takes it too.
    CCritSec m_graphLock;
    bool m_comInitialized = false;

    std::atomic<bool> m_endClaimed{false};
    double m_playbackRate = 1.0;
    CFrameRenderer m_renderer;
    CFramePump m_framePump;
};

// The process's one wrapper, made on first use (by the UI thread, which it initialises COM for).
CDirectShow& GetDirectShow();
