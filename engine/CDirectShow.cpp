#include "engine/CDirectShow.h"

#include "engine/GraphClock.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CWorkerThread.h"
#include "foundation/Exception.h"
#include "foundation/Regex.h"
#include "foundation/StringUtil.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <iomanip>
#include <sstream>

using Microsoft::WRL::ComPtr;

namespace {

constexpr LONGLONG kUnitsPerMs = 10000;
// How long closing a graph waits for its last release before it leaves the graph to the releaser.
constexpr DWORD kGraphReleaseWaitMs = 15000;

// Takes over a reference that a call handed out: MinGW's ComPtr::Attach adds one of its own.
template <typename T> ComPtr<T> Adopt(T* pointer) {
    ComPtr<T> held;
    *held.GetAddressOf() = pointer;
    return held;
}

template <typename T> void QueryOrThrow(IGraphBuilder* graph, ComPtr<T>& target, REFIID iid, const wchar_t* message) {
    const HRESULT hr = graph->QueryInterface(iid, reinterpret_cast<void**>(target.ReleaseAndGetAddressOf()));
    if (FAILED(hr) || !target) {
        VELA_THROW(message, hr);
    }
}

} // namespace

CDirectShow& GetDirectShow() {
    static CDirectShow directShow;
    return directShow;
}

CDirectShow::CDirectShow() : m_renderer(GetAppSettings()), m_framePump(*this) {
    InitDirectShow();
}

CDirectShow::~CDirectShow() {
    ShutdownDirectShow();
}

void CDirectShow::InitDirectShow() {
    m_comInitialized = SUCCEEDED(CoInitialize(nullptr));
    ResetGraphState();
}

void CDirectShow::ShutdownDirectShow() {
    try {
        CloseFilterGraph();
    } catch (...) {
    }
    if (m_comInitialized) {
        CoUninitialize();
        m_comInitialized = false;
    }
}

void CDirectShow::ResetGraphState() {
    m_pGraphBuilder.Reset();
    m_pMediaControl.Reset();
    m_pVideoWindow.Reset();
    m_pMediaSeeking.Reset();
    m_pMediaEventEx.Reset();
    m_pBasicAudio.Reset();
    m_pBasicVideo.Reset();
    m_pVelaFilter.Reset();
    m_rotCookie = 0;
    m_durationMs = 0;
    m_duration = 0;
    m_durationText.clear();
    m_hasVideo = false;
    m_videoChild = nullptr;
    m_renderer.FreeCanvas();
}

void CDirectShow::OpenMovie(const std::wstring& path, HWND owner) {
    CAutoLock lock(&m_graphLock);
    CloseFilterGraph();
    ResetGraphState();
    m_renderer.SetOwnerWindow(owner);
    m_endClaimed = false;
    BuildFilterGraph();
    RenderFile(path);
    if (FAILED(UseSharedClockUnlessProvided(m_pGraphBuilder.Get()))) {
        DebugLog() << L"Error : IMediaFilter->SetSyncSource" << EndLine;
    }
    SetupVideoWindow(owner);
    ReadDuration();
}

void CDirectShow::NotifyOwnerMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pVideoWindow) {
        m_pVideoWindow->NotifyOwnerMessage(reinterpret_cast<OAHWND>(window), static_cast<long>(message),
                                           static_cast<LONG_PTR>(wParam), static_cast<LONG_PTR>(lParam));
    }
}

void CDirectShow::BuildFilterGraph() {
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  reinterpret_cast<void**>(m_pGraphBuilder.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) {
        VELA_THROW(L"CoCreateInstance : IID_IGraphBuilder", hr);
    }
    if (GetAppSettings().DebugMode) {
        AddToRot();
    }
    const bool fixedSize = GetAppSettings().MovieSizeFixComment;
    m_pVelaFilter = new CVelaFilter(L"Vela Filter", fixedSize ? 512 : 0, fixedSize ? 384 : 0);
    m_pVelaFilter->SetDrawCallback(m_renderer.Callback());
    hr = m_pGraphBuilder->AddFilter(m_pVelaFilter.Get(), L"Vela Filter");
    if (FAILED(hr)) {
        VELA_THROW(L"AddFilter", hr);
    }
    QueryOrThrow(m_pGraphBuilder.Get(), m_pMediaControl, IID_IMediaControl, L"QueryInterface : IID_IMediaControl");
    QueryOrThrow(m_pGraphBuilder.Get(), m_pVideoWindow, IID_IVideoWindow, L"QueryInterface : IID_IVideoWindow");
    QueryOrThrow(m_pGraphBuilder.Get(), m_pMediaEventEx, IID_IMediaEventEx, L"QueryInterface : IID_IMediaEventEx");
    QueryOrThrow(m_pGraphBuilder.Get(), m_pBasicAudio, IID_IBasicAudio, L"QueryInterface : IID_IBasicAudio");
    QueryOrThrow(m_pGraphBuilder.Get(), m_pBasicVideo, IID_IBasicVideo, L"QueryInterface : IID_IBasicVideo");
    QueryOrThrow(m_pGraphBuilder.Get(), m_pMediaSeeking, IID_IMediaSeeking, L"QueryInterface : IID_IMediaSeeking");
}

void CDirectShow::AddToRot() {
    ComPtr<IRunningObjectTable> table;
    HRESULT hr = GetRunningObjectTable(0, table.GetAddressOf());
    if (SUCCEEDED(hr)) {
        std::wostringstream name;
        name << L"FilterGraph " << std::hex << std::setfill(L'0') << std::setw(8)
             << reinterpret_cast<uintptr_t>(m_pGraphBuilder.Get()) << L" pid " << std::setw(8) << GetCurrentProcessId();
        ComPtr<IMoniker> moniker;
        hr = CreateItemMoniker(L"!", name.str().c_str(), moniker.GetAddressOf());
        if (SUCCEEDED(hr)) {
            hr = table->Register(ROTFLAGS_REGISTRATIONKEEPSALIVE, m_pGraphBuilder.Get(), moniker.Get(), &m_rotCookie);
        }
    }
    if (FAILED(hr)) {
        m_rotCookie = 0;
        VELA_THROW(L"AddToRot", hr);
    }
}

void CDirectShow::RemoveFromRot() {
    if (m_rotCookie == 0) {
        return;
    }
    ComPtr<IRunningObjectTable> table;
    if (SUCCEEDED(GetRunningObjectTable(0, table.GetAddressOf()))) {
        table->Revoke(m_rotCookie);
    }
    m_rotCookie = 0;
}

void CDirectShow::RenderFile(const std::wstring& path) {
    const HRESULT hr = m_pGraphBuilder->RenderFile(path.c_str(), nullptr);
    if (FAILED(hr)) {
        VELA_THROW(L"RenderFile : ファイルを再生するためのフィルターが見つかりません。", hr);
    }
}

void CDirectShow::CloseFilterGraph() {
    CAutoLock lock(&m_graphLock);
    // A tick reads the graph and delivers through the filter: no tick may start from here on, and the
    // one in progress must be over before anything is released.
    m_framePump.Halt();
    RemoveFromRot();
    if (m_pMediaControl) {
        m_pMediaControl->Pause();
        Sleep(100);
        // Also releases a tick whose delivery waits in a paused renderer.
        m_pMediaControl->Stop();
    }
    m_framePump.WaitIdle();
    if (m_pVelaFilter) {
        m_pVelaFilter->StopRedrawThread();
        m_pVelaFilter->FreeHeldFrame();
    }
    m_pBasicVideo.Reset();
    m_pBasicAudio.Reset();
    m_pMediaEventEx.Reset();
    m_pMediaSeeking.Reset();
    m_pVelaFilter.Reset();
    m_pVideoWindow.Reset();
    m_pMediaControl.Reset();
    ReleaseGraph();
    m_renderer.FreeCanvas();
}

void CDirectShow::ReleaseGraph() {
    if (!m_pGraphBuilder) {
        return;
    }
    // The graph's last release ends the graph's own thread, which owns the renderer's window; on its
    // way out that window can still send to the player's windows, and a UI thread blocked inside the
    // release never answers: both wait for good. So the release runs on a worker while this thread
    // answers what is sent to it.
    // Under Wine the last release has also been seen to stay inside the graph's removal of its filters
    // for minutes: after a bound the graph is left to its worker (and to the process's end), so that
    // closing a file or the program goes on.
    CWorkerThread releaser =
        StartWorker({L"ReleaseFilterGraph", true}, [graph = std::move(m_pGraphBuilder)]() mutable { graph.Reset(); });
    if (!releaser.Wait(kGraphReleaseWaitMs)) {
        DebugLog() << L"◆フィルタグラフの解放が終わりません。解放を待たずに続けます" << EndLine;
    }
}

bool CDirectShow::IsGraphReady() const {
    return m_pGraphBuilder && m_pMediaControl && m_pVideoWindow && m_pMediaSeeking && m_pMediaEventEx &&
           m_pBasicAudio && m_pBasicVideo;
}

long CDirectShow::GetState() const {
    if (!m_pMediaControl) {
        return State_Stopped;
    }
    OAFilterState state = State_Stopped;
    if (FAILED(m_pMediaControl->GetState(10, &state))) {
        return State_Stopped;
    }
    return state;
}

void CDirectShow::Play() {
    if (!m_pMediaControl) {
        VELA_THROW(L"Play : pMediaControl == NULL", 0);
    }
    if (GetState() == State_Running) {
        return;
    }
    const HRESULT hr = m_pMediaControl->Run();
    if (FAILED(hr)) {
        VELA_THROW(L"Play", hr);
    }
}

void CDirectShow::Pause() {
    if (!m_pMediaControl) {
        VELA_THROW(L"Pause : pMediaControl == NULL", 0);
    }
    if (GetState() == State_Paused) {
        return;
    }
    const HRESULT hr = m_pMediaControl->Pause();
    if (FAILED(hr)) {
        VELA_THROW(L"Pause", hr);
    }
}

void CDirectShow::Stop() {
    if (!m_pMediaControl) {
        VELA_THROW(L"Stop : pMediaControl == NULL", 0);
    }
    Pause();
    if (GetPos() != 0) {
        Seek(0, true);
    }
}

void CDirectShow::Seek(LONGLONG position, bool keyFrame) {
    if (position < 0) {
        VELA_THROW(L"Seek : Range", 0);
    }
    if (!m_pMediaSeeking) {
        VELA_THROW(L"Seek : pMediaSeeking == NULL", 0);
    }
    DWORD flags = AM_SEEKING_AbsolutePositioning;
    if (keyFrame && position == 0) {
        flags |= AM_SEEKING_SeekToKeyFrame;
    }
    const HRESULT hr = m_pMediaSeeking->SetPositions(&position, flags, nullptr, AM_SEEKING_NoPositioning);
    if (FAILED(hr)) {
        VELA_THROW(L"Seek", hr);
    }
    m_endClaimed = false;
    // Paused, no tick draws: the frame and its comments at the new place are drawn once here.
    if (m_hasVideo && m_pVelaFilter && GetState() == State_Paused) {
        m_pVelaFilter->FlushAndRedraw(
            static_cast<int32_t>(std::min<LONGLONG>(position / kUnitsPerMs, std::numeric_limits<int32_t>::max())));
    }
}

void CDirectShow::SeekMs(int32_t positionMs) {
    Seek(static_cast<LONGLONG>(positionMs) * kUnitsPerMs, false);
}

void CDirectShow::SeekPercent(int32_t percent) {
    if (percent < 0 || percent > 100) {
        VELA_THROW(L"SeekPercent : Range", 0);
    }
    // In 64 bits: percent × duration × 10,000 passes 2^31 for any video longer than a few minutes.
    Seek(static_cast<LONGLONG>(percent) * m_durationMs / 100 * kUnitsPerMs, false);
}

LONGLONG CDirectShow::GetPos() {
    if (!m_pMediaSeeking) {
        DebugLog() << L"GetPos() : m_pMediaSeeking == NULL" << EndLine;
        return 0;
    }
    LONGLONG position = 0;
    const HRESULT hr = m_pMediaSeeking->GetCurrentPosition(&position);
    if (FAILED(hr)) {
        VELA_THROW(L"GetPos", hr);
    }
    return position;
}

double CDirectShow::GetRate() {
    if (!m_pMediaSeeking) {
        VELA_THROW(L"GetRate : pMediaSeeking == NULL", 0);
    }
    double rate = 1.0;
    if (FAILED(m_pMediaSeeking->GetRate(&rate))) {
        return 1.0;
    }
    return rate;
}

bool CDirectShow::SetRate(double rate) {
    if (!m_pMediaSeeking) {
        VELA_THROW(L"SetRate : pMediaSeeking == NULL", 0);
    }
    if (FAILED(m_pMediaSeeking->SetRate(rate))) {
        return false;
    }
    m_playbackRate = rate;
    return true;
}

bool CDirectShow::IsRateSupported() {
    if (!IsGraphReady()) {
        return false;
    }
    double rate = 1.0;
    return m_pMediaSeeking->GetRate(&rate) != E_NOTIMPL;
}

void CDirectShow::SetVolume(long volume) {
    if (volume < -10000 || volume > 0) {
        VELA_THROW(L"SetVolume : Range", 0);
    }
    if (!m_pBasicAudio) {
        VELA_THROW(L"SetVolume : pBasicAudio == NULL", 0);
    }
    const HRESULT hr = m_pBasicAudio->put_Volume(volume);
    if (FAILED(hr)) {
        VELA_THROW(L"SetVolume", hr);
    }
}

long CDirectShow::VolumeFromPercent(int32_t percent) {
    if (percent == 40) {
        return -10000;
    }
    const long quiet = 100 - percent;
    return -(quiet * quiet);
}

void CDirectShow::SetVolumePercent(int32_t percent) {
    if (percent < 0 || percent > 100) {
        VELA_THROW(L"SetVolumePercent : Range", 0);
    }
    SetVolume(VolumeFromPercent(percent));
}

void CDirectShow::ReadDuration() {
    if (!m_pMediaSeeking) {
        DebugLog() << L"m_pMediaSeeking == NULL" << EndLine;
        m_duration = 0;
        m_durationMs = 0;
        m_durationText = FormatPlayTime(0);
        return;
    }
    DWORD capabilities = AM_SEEKING_CanSeekAbsolute;
    HRESULT hr = m_pMediaSeeking->CheckCapabilities(&capabilities);
    if (hr != S_OK) {
        VELA_THROW(L"CheckCapabilities", hr);
    }
    LONGLONG duration = 0;
    hr = m_pMediaSeeking->GetDuration(&duration);
    if (FAILED(hr)) {
        VELA_THROW(L"GetDuration", hr);
    }
    m_duration = duration;
    m_durationMs = static_cast<int32_t>(duration / kUnitsPerMs);
    m_durationText = FormatPlayTime(m_durationMs);
}

LONGLONG CDirectShow::ReadAvgTimePerFrame() {
    if (!m_pBasicVideo) {
        DebugLog() << L"m_pBasicVideo = NULL" << EndLine;
        return 0;
    }
    REFTIME seconds = 0;
    if (FAILED(m_pBasicVideo->get_AvgTimePerFrame(&seconds))) {
        return 0;
    }
    return static_cast<LONGLONG>(seconds * 10000000.0 + 0.5);
}

void CDirectShow::SetNotifyWindow(HWND window) {
    if (!m_pMediaEventEx) {
        VELA_THROW(L"SetNotifyWindow", 0);
    }
    const HRESULT hr = m_pMediaEventEx->SetNotifyWindow(reinterpret_cast<OAHWND>(window), kMsgGraphEvent, 0);
    if (FAILED(hr)) {
        VELA_THROW(L"SetNotifyWindow", hr);
    }
}

bool CDirectShow::GetGraphEvent(long& code) {
    if (!m_pMediaEventEx) {
        DebugLog() << L"pMediaEventEx = NULL" << EndLine;
        return false;
    }
    LONG_PTR param1 = 0;
    LONG_PTR param2 = 0;
    if (FAILED(m_pMediaEventEx->GetEvent(&code, &param1, &param2, 0))) {
        return false;
    }
    const HRESULT hr = m_pMediaEventEx->FreeEventParams(code, param1, param2);
    if (FAILED(hr)) {
        VELA_THROW(L"FreeEventParams", hr);
    }
    return true;
}

void CDirectShow::SetupVideoWindow(HWND owner) {
    if (!m_pVideoWindow) {
        VELA_THROW(L"pVideoWindow == NULL", 0);
    }
    if (FAILED(m_pVideoWindow->put_AutoShow(OATRUE))) {
        m_hasVideo = false;
        if (m_pVelaFilter && FAILED(m_pGraphBuilder->RemoveFilter(m_pVelaFilter.Get()))) {
            DebugLog() << L"!RemoveFilter VelaFilter" << EndLine;
        }
        return;
    }
    m_hasVideo = true;
    OAHWND current = 0;
    m_pVideoWindow->get_Owner(&current);
    if (owner != nullptr && reinterpret_cast<HWND>(current) != owner) {
        if (FAILED(m_pVideoWindow->put_Owner(reinterpret_cast<OAHWND>(owner)))) {
            DebugLog() << L"Error : IVideoWindow->put_Owner" << EndLine;
        }
        if (FAILED(m_pVideoWindow->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS))) {
            DebugLog() << L"Error : IVideoWindow->put_WindowStyle" << EndLine;
        }
        FitVideoWindow();
        if (FAILED(m_pVideoWindow->put_MessageDrain(reinterpret_cast<OAHWND>(owner)))) {
            DebugLog() << L"Error : IVideoWindow->put_MessageDrain" << EndLine;
        }
    }
    m_videoChild = owner != nullptr ? FindWindowExW(owner, nullptr, nullptr, L"ActiveMovie Window") : nullptr;
}

void CDirectShow::FitVideoWindow() {
    if (!m_hasVideo || !m_pVideoWindow) {
        return;
    }
    const RECT area = GetVideoArea();
    const long areaWidth = area.right - area.left;
    const long areaHeight = area.bottom - area.top;
    if (GetAppSettings().MovieSizeFitWindow) {
        SetVideoWindowPosition(area.left, area.top, areaWidth, areaHeight);
        return;
    }
    long width = 0;
    long height = 0;
    if (!m_pBasicVideo || FAILED(m_pBasicVideo->GetVideoSize(&width, &height))) {
        DebugLog() << L"!m_pBasicVideo->GetVideoSize" << EndLine;
        return;
    }
    const RECT box = CalcLetterbox(areaHeight, width, height, areaWidth);
    SetVideoWindowPosition(area.left + box.left, area.top + box.top, box.right - box.left, box.bottom - box.top);
    // The owner paints the bands beside the picture itself, also after they were covered.
    if (const HWND owner = GetOwnerWindow()) {
        InvalidateRect(owner, &area, FALSE);
    }
}

bool CDirectShow::SetVideoWindowPosition(long x, long y, long width, long height) {
    if (!m_pVideoWindow || FAILED(m_pVideoWindow->SetWindowPosition(x, y, width, height))) {
        DebugLog() << L"Error : IVideoWindow->SetWindowPosition" << EndLine;
        return false;
    }
    return true;
}

bool CDirectShow::SetVideoWindowRect(const RECT& rect) {
    return SetVideoWindowPosition(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

void CDirectShow::HideVideoCursor(bool hide) {
    if (!m_pVideoWindow) {
        return;
    }
    m_pVideoWindow->HideCursor(hide ? OATRUE : OAFALSE);
    m_renderer.SetCursorHidden(hide);
    POINT cursor;
    if (GetCursorPos(&cursor)) {
        SetCursorPos(cursor.x, cursor.y);
    }
}

int32_t CDirectShow::GetSourceVideoWidth() {
    return m_pVelaFilter ? m_pVelaFilter->GetInputHeader().biWidth : 0;
}

int32_t CDirectShow::GetSourceVideoHeight() {
    return m_pVelaFilter ? m_pVelaFilter->GetInputHeader().biHeight : 0;
}

int32_t CDirectShow::GetFilterOutputWidth() {
    return m_pVelaFilter ? m_pVelaFilter->GetOutputWidth() : 0;
}

int32_t CDirectShow::GetFilterOutputHeight() {
    return m_pVelaFilter ? m_pVelaFilter->GetOutputHeight() : 0;
}

bool CDirectShow::GetDownstreamFilters(std::vector<std::wstring>& names) {
    names.clear();
    if (!IsGraphReady() || !m_pVelaFilter) {
        return false;
    }
    ComPtr<IBaseFilter> filter = m_pVelaFilter.Get();
    // A graph is acyclic, but a bound keeps a faulty one from looping.
    for (int depth = 0; depth < 64 && filter; ++depth) {
        ComPtr<IEnumPins> pins;
        if (FAILED(filter->EnumPins(pins.GetAddressOf()))) {
            break;
        }
        ComPtr<IBaseFilter> next;
        ComPtr<IPin> pin;
        while (!next && pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
            PIN_DIRECTION direction;
            ComPtr<IPin> connected;
            if (FAILED(pin->QueryDirection(&direction)) || direction != PINDIR_OUTPUT ||
                FAILED(pin->ConnectedTo(connected.GetAddressOf()))) {
                continue;
            }
            PIN_INFO info = {};
            if (SUCCEEDED(connected->QueryPinInfo(&info)) && info.pFilter != nullptr) {
                next = Adopt(info.pFilter);
                FILTER_INFO filterInfo = {};
                if (SUCCEEDED(next->QueryFilterInfo(&filterInfo))) {
                    const ComPtr<IFilterGraph> graph = Adopt(filterInfo.pGraph);
                    names.push_back(filterInfo.achName);
                }
            }
        }
        filter = next;
    }
    return !names.empty();
}

std::wstring CDirectShow::FormatPlayTime(int32_t ms) {
    wchar_t text[32];
    swprintf(text, sizeof(text) / sizeof(text[0]), L"%d:%02d", ms / 60000, (ms / 1000) % 60);
    return text;
}

namespace {

// The digits' value, saturated at the limit (a huge text would overflow any integer type).
int64_t DigitsUpTo(const std::wstring& digits, int64_t limit) {
    int64_t value = 0;
    for (wchar_t digit : digits) {
        value = value * 10 + (digit - L'0');
        if (value >= limit) {
            return limit;
        }
    }
    return value;
}

} // namespace

int32_t CDirectShow::ParsePlayTime(const std::wstring& text) {
    std::vector<std::wstring> groups;
    if (!RegexSearch(text, L"([0-9]+)\\D+([0-9]+).*", groups) || groups.size() < 3) {
        return 0;
    }
    // In 64 bits and clamped to what the callers' 32-bit milliseconds hold: a time past any video.
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    const int64_t ms = DigitsUpTo(groups[1], kMax) * 60000 + DigitsUpTo(groups[2], kMax) * 1000;
    return static_cast<int32_t>(std::min(ms, kMax));
}

void CDirectShow::PostToOwner(UINT message, WPARAM wParam, LPARAM lParam) const {
    m_renderer.PostToOwner(message, wParam, lParam);
}

void CDirectShow::SetVideoArea(const RECT& area) {
    m_renderer.SetVideoArea(area);
}

RECT CDirectShow::GetVideoArea() const {
    return m_renderer.GetVideoArea();
}

PlayState CDirectShow::GetPlayState() const {
    if (!IsGraphReady()) {
        return PlayState::Closed;
    }
    switch (GetState()) {
    case State_Running:
        return PlayState::Running;
    case State_Paused:
        return PlayState::Paused;
    default:
        return PlayState::Stopped;
    }
}

int PlayStateNumber(PlayState state) {
    switch (state) {
    case PlayState::Running:
        return 2;
    case PlayState::Paused:
        return 1;
    default:
        return 0;
    }
}

bool CDirectShow::ClaimEndOfMedia() {
    return !m_endClaimed.exchange(true);
}
