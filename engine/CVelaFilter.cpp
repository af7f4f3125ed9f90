#include "engine/CVelaFilter.h"

#include "foundation/WaitDispatching.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

using Microsoft::WRL::ComPtr;

// {C604C853-BF2D-4F0B-B3F9-A63602CC0815}
const CLSID CLSID_VelaFilter = {0xc604c853, 0xbf2d, 0x4f0b, {0xb3, 0xf9, 0xa6, 0x36, 0x02, 0xcc, 0x08, 0x15}};

namespace {

constexpr REFERENCE_TIME kOneSecond = 10000000;
constexpr REFERENCE_TIME kLateLimit = 5000000; // 500 ms
// How long Stop waits for the streaming thread before it flushes the renderer to release it.
constexpr DWORD kStopReleaseWaitMs = 1000;
constexpr int32_t kStopped = 0;
constexpr int32_t kPaused = 1;
constexpr int32_t kRunning = 2;
// A paused redraw whose buffer the streaming thread took tries again this often, this long apart.
constexpr int kRedrawAttempts = 50;
constexpr DWORD kRedrawRetryMs = 10;

const VIDEOINFOHEADER* VideoInfoOf(const CMediaType* type) {
    if (type->formattype != FORMAT_VideoInfo || type->pbFormat == nullptr || type->cbFormat < sizeof(VIDEOINFOHEADER)) {
        return nullptr;
    }
    return reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
}

const GUID* SubtypeForBitCount(WORD bitCount) {
    switch (bitCount) {
    case 24:
        return &MEDIASUBTYPE_RGB24;
    case 32:
        return &MEDIASUBTYPE_RGB32;
    default:
        return nullptr;
    }
}

BITMAPINFOHEADER MakeHeader(LONG width, LONG height, WORD bitCount) {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = bitCount;
    header.biSizeImage = DibImageSize(width, height, bitCount);
    return header;
}

// The one guard of the COM methods: no exception leaves them. It must not log: they run on the
// streaming thread or while the UI thread waits for them, and a line logged here would wait for it.
template <typename Call> HRESULT GuardComCall(Call&& call) noexcept {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

// Sets the event when the scope ends, also when an exception leaves it.
class EventSetter {
public:
    explicit EventSetter(HANDLE event) : m_event(event) {}
    ~EventSetter() { SetEvent(m_event); }
    EventSetter(const EventSetter&) = delete;
    EventSetter& operator=(const EventSetter&) = delete;

private:
    HANDLE m_event;
};

} // namespace

LONG DibStride(LONG width, WORD bitCount) {
    return ((width * bitCount + 31) / 32) * 4;
}

DWORD DibImageSize(LONG width, LONG height, WORD bitCount) {
    if (width < 0 || height < 0) {
        return 0;
    }
    const uint64_t stride = ((static_cast<uint64_t>(width) * bitCount + 31) / 32) * 4;
    const uint64_t size = stride * static_cast<uint64_t>(height);
    return size > static_cast<uint64_t>(std::numeric_limits<LONG>::max()) ? 0 : static_cast<DWORD>(size);
}

CVelaFilter::CVelaFilter(const wchar_t* name, int32_t outputWidth, int32_t outputHeight)
    : CTransformFilter(name, CLSID_VelaFilter), m_outputWidth(outputWidth), m_outputHeight(outputHeight),
      m_clockEvent(CreateEventOrThrow(false, false)), m_receiveIdle(CreateEventOrThrow(true, true)),
      m_runGate(CreateEventOrThrow(true, true)), m_redrawWake(CreateEventOrThrow(false, false)) {}

CVelaFilter::~CVelaFilter() {
    StopRedrawThread();
}

void CVelaFilter::SetDrawCallback(DrawFrameCallbackFn callback) {
    CAutoLock lock(&m_frameLock);
    m_drawCallback = std::move(callback);
}

const AMOVIESETUP_FILTER* CVelaFilter::GetSetupData() {
    return nullptr;
}

int32_t CVelaFilter::GetOutputWidth() {
    CAutoLock lock(&m_frameLock);
    return m_outputWidth != 0 ? m_outputWidth : m_inputHeader.biWidth;
}

int32_t CVelaFilter::GetOutputHeight() {
    CAutoLock lock(&m_frameLock);
    return m_outputHeight != 0 ? m_outputHeight : m_inputHeader.biHeight;
}

BITMAPINFOHEADER CVelaFilter::GetInputHeader() {
    CAutoLock lock(&m_frameLock);
    return m_inputHeader;
}

BITMAPINFOHEADER CVelaFilter::GetOutputHeader() {
    CAutoLock lock(&m_frameLock);
    const VIDEOINFOHEADER* info = VideoInfoOf(&m_outputType);
    return info != nullptr ? info->bmiHeader : BITMAPINFOHEADER{};
}

REFERENCE_TIME CVelaFilter::GetAvgTimePerFrame() {
    CAutoLock lock(&m_frameLock);
    return m_avgTimePerFrame;
}

bool CVelaFilter::HasHeldFrame() {
    CAutoLock lock(&m_frameLock);
    return !m_heldFrame.empty();
}

size_t CVelaFilter::GetHeldFrameSize() {
    CAutoLock lock(&m_frameLock);
    return m_heldFrame.size();
}

void CVelaFilter::FreeHeldFrame() {
    CAutoLock lock(&m_frameLock);
    std::vector<BYTE>().swap(m_heldFrame);
}

ComPtr<IReferenceClock> CVelaFilter::Clock() {
    CAutoLock lock(&m_frameLock);
    return m_referenceClock;
}

HRESULT CVelaFilter::CheckInputType(const CMediaType* type) {
    if (type == nullptr) {
        return E_POINTER;
    }
    if (type->majortype != MEDIATYPE_Video ||
        (type->subtype != MEDIASUBTYPE_RGB24 && type->subtype != MEDIASUBTYPE_RGB32)) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const VIDEOINFOHEADER* info = VideoInfoOf(type);
    if (info == nullptr || info->bmiHeader.biHeight < 0) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    // A picture of no width, or one whose size does not fit a buffer, would be copied unsafely.
    if (info->bmiHeader.biWidth <= 0 ||
        (info->bmiHeader.biHeight > 0 &&
         DibImageSize(info->bmiHeader.biWidth, info->bmiHeader.biHeight, info->bmiHeader.biBitCount) == 0)) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
}

HRESULT CVelaFilter::CheckTransform(const CMediaType* input, const CMediaType* output) {
    if (input == nullptr || output == nullptr) {
        return E_POINTER;
    }
    if (CheckInputType(input) != S_OK) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const WORD bitCount = reinterpret_cast<const VIDEOINFOHEADER*>(input->pbFormat)->bmiHeader.biBitCount;
    const GUID* subtype = SubtypeForBitCount(bitCount);
    if (output->majortype != MEDIATYPE_Video || subtype == nullptr || output->subtype != *subtype) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const VIDEOINFOHEADER* info = VideoInfoOf(output);
    if (info == nullptr || info->bmiHeader.biHeight < 0) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
}

HRESULT CVelaFilter::GetMediaType(int position, CMediaType* type) {
    if (!m_pInput->IsConnected()) {
        return E_UNEXPECTED;
    }
    if (position < 0) {
        return E_INVALIDARG;
    }
    if (type == nullptr) {
        return E_POINTER;
    }
    if (position > 1) {
        return VFW_S_NO_MORE_ITEMS;
    }
    const BITMAPINFOHEADER input = GetInputHeader();
    const GUID* subtype = SubtypeForBitCount(input.biBitCount);
    if (subtype == nullptr) {
        return E_FAIL;
    }
    const LONG width = GetOutputWidth();
    const LONG height = GetOutputHeight();
    type->Reset();
    type->SetType(&MEDIATYPE_Video);
    type->SetSubtype(subtype);
    type->SetFormatType(&FORMAT_VideoInfo);
    type->SetTemporalCompression(false);
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    if (info == nullptr) {
        return E_OUTOFMEMORY;
    }
    info->rcSource = {0, 0, width, height};
    info->rcTarget = {0, 0, width, height};
    info->AvgTimePerFrame = GetAvgTimePerFrame();
    info->bmiHeader = MakeHeader(width, height, input.biBitCount);
    type->SetSampleSize(info->bmiHeader.biSizeImage);
    return S_OK;
}

HRESULT CVelaFilter::SetMediaType(PIN_DIRECTION direction, const CMediaType* type) {
    HRESULT hr = CTransformFilter::SetMediaType(direction, type);
    if (FAILED(hr)) {
        return hr;
    }
    const VIDEOINFOHEADER* info = VideoInfoOf(type);
    if (info == nullptr) {
        return E_FAIL;
    }
    CAutoLock lock(&m_frameLock);
    if (direction == PINDIR_INPUT) {
        m_avgTimePerFrame = info->AvgTimePerFrame;
        m_inputHeader = MakeHeader(info->bmiHeader.biWidth, info->bmiHeader.biHeight, info->bmiHeader.biBitCount);
        const GUID* subtype = SubtypeForBitCount(info->bmiHeader.biBitCount);
        return subtype != nullptr && type->subtype == *subtype ? S_OK : E_FAIL;
    }
    if (direction == PINDIR_OUTPUT) {
        m_outputType = *type;
        if (!m_outputType.IsValid()) {
            return E_OUTOFMEMORY;
        }
        auto* own = reinterpret_cast<VIDEOINFOHEADER*>(m_outputType.pbFormat);
        std::memset(own, 0, sizeof(VIDEOINFOHEADER));
        const LONG width = m_outputWidth != 0 ? m_outputWidth : m_inputHeader.biWidth;
        const LONG height = m_outputHeight != 0 ? m_outputHeight : m_inputHeader.biHeight;
        own->bmiHeader = MakeHeader(width, height, m_inputHeader.biBitCount);
        own->AvgTimePerFrame = m_avgTimePerFrame;
        return S_OK;
    }
    return E_FAIL;
}

HRESULT CVelaFilter::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    if (!m_pInput->IsConnected()) {
        return E_UNEXPECTED;
    }
    if (allocator == nullptr || request == nullptr) {
        return E_POINTER;
    }
    const LONG size = static_cast<LONG>(std::max<ULONG>(m_outputType.lSampleSize, GetOutputHeader().biSizeImage));
    request->cBuffers = 1;
    request->cbBuffer = size;
    if (request->cbAlign == 0) {
        request->cbAlign = 1;
    }
    ALLOCATOR_PROPERTIES actual = {};
    const HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) {
        return hr;
    }
    if (actual.cBuffers < 1 || actual.cbBuffer < size) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CVelaFilter::Transform(IMediaSample* input, IMediaSample* output) {
    LONGLONG position = 0;
    if (m_pGraph != nullptr) {
        ComPtr<IMediaSeeking> seeking;
        if (SUCCEEDED(m_pGraph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(seeking.GetAddressOf())))) {
            seeking->GetCurrentPosition(&position);
        }
    }
    BYTE* inputBuffer = nullptr;
    BYTE* outputBuffer = nullptr;
    HRESULT hr = input->GetPointer(&inputBuffer);
    if (SUCCEEDED(hr)) {
        hr = output->GetPointer(&outputBuffer);
    }
    if (FAILED(hr)) {
        return hr;
    }
    CAutoLock lock(&m_frameLock);
    if (m_drawCallback) {
        m_drawCallback(inputBuffer, outputBuffer, static_cast<int32_t>(position / 10000), this);
    }
    return S_OK;
}

HRESULT CVelaFilter::Receive(IMediaSample* sample) {
    ResetEvent(m_receiveIdle.Get());
    EventSetter idle(m_receiveIdle.Get());
    return GuardComCall([&] {
        PassNotify(sample);
        return TransformHeldFrame(sample);
    });
}

HRESULT CVelaFilter::GetSampleLateness(REFERENCE_TIME sampleStart, REFERENCE_TIME* lateness) {
    if (!m_hasStartTime) {
        return E_FAIL;
    }
    REFERENCE_TIME now = 0;
    if (ComPtr<IReferenceClock> clock = Clock()) {
        clock->GetTime(&now);
    }
    *lateness = now - m_tStart - sampleStart;
    return S_OK;
}

HRESULT CVelaFilter::PassNotify(IMediaSample* sample) {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    if (FAILED(sample->GetTime(&start, &stop)) || start < kOneSecond) {
        return S_OK;
    }
    REFERENCE_TIME lateness = 0;
    HRESULT hr = GetSampleLateness(start, &lateness);
    if (FAILED(hr)) {
        return hr;
    }
    if (lateness <= kLateLimit) {
        return S_OK;
    }
    Quality quality = {};
    quality.Type = Flood;
    quality.Proportion = 500;
    quality.Late = lateness;
    quality.TimeStamp = start;
    m_pInput->PassNotify(quality);
    return S_FALSE;
}

HRESULT CVelaFilter::TransformHeldFrame(IMediaSample* sample) {
    const AM_SAMPLE2_PROPERTIES props = m_pInput->SampleProps();
    if (props.dwStreamId != AM_STREAM_MEDIA) {
        return m_pOutput->Deliver(sample);
    }
    if (m_state == kStopped) {
        return VFW_E_STATE_CHANGED;
    }
    // A flush that begins while this sample is on its way makes it a sample of before the seek.
    const uint32_t flushes = m_flushCount;
    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr)) {
        return hr;
    }
    const size_t length = static_cast<size_t>(std::max<long>(0, sample->GetActualDataLength()));
    {
        CAutoLock lock(&m_frameLock);
        if (!m_referenceClock && m_pClock != nullptr) {
            m_referenceClock = m_pClock;
        }
        // Sized once by the first sample; it only grows when a type change asks for a larger picture,
        // so the draw callback never reads past it and no sample is copied past its end.
        const size_t needed = std::max<size_t>(length, m_inputHeader.biSizeImage);
        if (m_heldFrame.size() < needed) {
            m_heldFrame.resize(needed);
        }
        if (flushes == m_flushCount) {
            std::memcpy(m_heldFrame.data(), data, std::min(length, m_heldFrame.size()));
            m_lastSample = props;
        }
    }
    LONGLONG mediaStart = 0;
    LONGLONG mediaStop = 0;
    if (flushes != m_flushCount) {
        // Keeps the times of the frame held.
    } else if (sample->GetMediaTime(&mediaStart, &mediaStop) == S_OK) {
        m_heldMediaStart = mediaStart;
        m_heldMediaStop = mediaStop;
    } else {
        m_heldMediaStart = -1;
        m_heldMediaStop = -1;
    }
    const bool timed = (props.dwSampleFlags & AM_SAMPLE_TIMEVALID) != 0;
    const REFERENCE_TIME start = timed ? props.tStart : 0;
    bool first = false;
    {
        // Under the lock BeginFlush clears the flag under: a sample that a flush overtook must not set
        // it, or the first sample after the seek would not be drawn (a paused seek would show nothing new).
        CAutoLock lock(&m_adviseLock);
        if (m_flushing || flushes != m_flushCount) {
            return S_OK;
        }
        first = !m_firstFrameHeld.exchange(true);
    }
    if (first) {
        // Drawn here, on the streaming thread, which may wait in a paused renderer like any sample.
        hr = FlushDownstreamUnlessFlushing();
        if (hr == S_FALSE) {
            return S_FALSE;
        }
        if (SUCCEEDED(hr)) {
            hr = Draw(static_cast<int32_t>((m_pInput->CurrentStartTime() + start) / 10000), true);
        }
        if (FAILED(hr)) {
            return hr;
        }
    }
    if (timed) {
        hr = WaitForSampleTime(start);
        if (FAILED(hr)) {
            return hr;
        }
    }
    if (m_state == kPaused) {
        WaitForSingleObject(m_runGate.Get(), INFINITE);
    }
    if (m_state == kStopped) {
        return VFW_E_STATE_CHANGED;
    }
    m_bSampleSkipped = false;
    return S_OK;
}

HRESULT CVelaFilter::WaitForSampleTime(REFERENCE_TIME sampleStart) {
    {
        CAutoLock lock(&m_adviseLock);
        // Checked under the lock that Stop and BeginFlush cancel under, so no advise outlives them.
        if (m_state == kStopped || m_flushing) {
            return S_OK;
        }
        ComPtr<IReferenceClock> clock = Clock();
        if (!clock) {
            return S_OK;
        }
        ResetEvent(m_clockEvent.Get());
        DWORD_PTR cookie = 0;
        const HRESULT hr =
            clock->AdviseTime(m_tStart, sampleStart, reinterpret_cast<HEVENT>(m_clockEvent.Get()), &cookie);
        if (hr == E_INVALIDARG) {
            return S_OK;
        }
        if (FAILED(hr)) {
            return hr;
        }
        m_adviseCookie = cookie;
        m_adviseClock = clock;
    }
    WaitForSingleObject(m_clockEvent.Get(), INFINITE);
    CAutoLock lock(&m_adviseLock);
    m_adviseCookie = 0;
    m_adviseClock.Reset();
    return S_OK;
}

void CVelaFilter::CancelClockWait() {
    CAutoLock lock(&m_adviseLock);
    if (m_adviseCookie != 0 && m_adviseClock) {
        m_adviseClock->Unadvise(m_adviseCookie);
    }
    m_adviseCookie = 0;
    m_adviseClock.Reset();
    SetEvent(m_clockEvent.Get());
}

HRESULT CVelaFilter::EndOfStream() {
    // Stop waits for it as for a sample: the renderer's end of stream can ask this filter's pins for the
    // stop position (Wine's does), which waits for the filter lock that the base Stop holds while it
    // waits for this streaming thread. Marked busy before the state is read, as Stop sets the state
    // before it waits, so that one of the two always sees the other.
    ResetEvent(m_receiveIdle.Get());
    EventSetter idle(m_receiveIdle.Get());
    if (m_state == kStopped) {
        return S_OK;
    }
    return GuardComCall([&] { return CTransformFilter::EndOfStream(); });
}

HRESULT CVelaFilter::BeginFlush() {
    return GuardComCall([&] {
        {
            CAutoLock lock(&m_adviseLock);
            m_flushing = true;
            ++m_flushCount;
            m_firstFrameHeld = false;
        }
        SetEvent(m_runGate.Get());
        CancelClockWait();
        return CTransformFilter::BeginFlush();
    });
}

HRESULT CVelaFilter::EndFlush() {
    return GuardComCall([&] {
        m_flushing = false;
        // BeginFlush opened the gate to release a paused streaming thread; closed again, the next
        // sample waits for Run as any sample in pause does.
        if (m_state == kPaused) {
            ResetEvent(m_runGate.Get());
        }
        return CTransformFilter::EndFlush();
    });
}

HRESULT CVelaFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    return GuardComCall([&] { return CTransformFilter::NewSegment(start, stop, rate); });
}

STDMETHODIMP CVelaFilter::Stop() {
    return GuardComCall([&] {
        m_state = kStopped;
        m_hasStartTime = false;
        SetEvent(m_runGate.Get());
        // A sample far in the future would otherwise keep Receive, and so this wait, busy until its time.
        CancelClockWait();
        // The graph stops the renderer first, which lets go of a delivery it holds in pause. Should this
        // filter be stopped first (seen under Wine), the streaming thread waits in the paused renderer
        // for good, and so would this wait: a flush of the renderer releases it.
        if (!WaitDispatchingSentMessages(m_receiveIdle.Get(), kStopReleaseWaitMs)) {
            IPin* connected = m_pOutput->GetConnected();
            if (connected != nullptr) {
                connected->BeginFlush();
            }
            WaitDispatchingSentMessages(m_receiveIdle.Get());
            if (connected != nullptr) {
                connected->EndFlush();
            }
        }
        return CTransformFilter::Stop();
    });
}

STDMETHODIMP CVelaFilter::Pause() {
    return GuardComCall([&] {
        m_state = kPaused;
        ResetEvent(m_runGate.Get());
        return CTransformFilter::Pause();
    });
}

STDMETHODIMP CVelaFilter::Run(REFERENCE_TIME start) {
    return GuardComCall([&] {
        // The base Run would pause a stopped filter itself, after the gate was opened here.
        if (m_State == State_Stopped) {
            const HRESULT hr = Pause();
            if (FAILED(hr)) {
                return hr;
            }
        }
        m_tStart = start;
        m_hasStartTime = true;
        m_state = kRunning;
        SetEvent(m_runGate.Get());
        return CTransformFilter::Run(start);
    });
}

HRESULT CVelaFilter::FlushDownstream() {
    IPin* connected = m_pOutput->GetConnected();
    if (connected == nullptr) {
        return VFW_E_NOT_CONNECTED;
    }
    connected->BeginFlush();
    connected->EndFlush();
    return S_OK;
}

HRESULT CVelaFilter::FlushDownstreamUnlessFlushing() {
    // An upstream flush has flushed the renderer already; a flush of ours ending it early would let a
    // sample block in the paused renderer while the upstream seek waits for the streaming thread.
    CAutoLock lock(&m_adviseLock);
    return m_flushing ? S_FALSE : FlushDownstream();
}

HRESULT CVelaFilter::FlushAndRedraw(int32_t positionMs) {
    return GuardComCall([&] {
        const HRESULT hr = FlushDownstreamUnlessFlushing();
        if (hr != S_OK) {
            return hr;
        }
        if (m_state != kPaused) {
            return Draw(positionMs, true);
        }
        // The flush above released a frame the redraw thread may still be delivering.
        CAutoLock lock(&m_redrawLock);
        if (m_redrawQuit) {
            return VFW_E_WRONG_STATE;
        }
        if (!m_redrawThread.IsStarted()) {
            m_redrawThread = StartWorker(WorkerOptions{L"Vela Filter redraw", false}, [this] { RedrawLoop(); });
            if (!m_redrawThread.IsStarted()) {
                return E_FAIL;
            }
        }
        m_redrawPosition = positionMs;
        m_redrawPending = true;
        SetEvent(m_redrawWake.Get());
        return S_OK;
    });
}

void CVelaFilter::RedrawLoop() {
    for (;;) {
        WaitForSingleObject(m_redrawWake.Get(), INFINITE);
        int32_t position = 0;
        {
            CAutoLock lock(&m_redrawLock);
            if (m_redrawQuit) {
                return;
            }
            if (!m_redrawPending) {
                continue;
            }
            m_redrawPending = false;
            position = m_redrawPosition;
        }
        // A redraw that fails leaves the loop waiting for the next one. The flush again: after a seek
        // the streaming thread's first frame may have taken the one buffer into the paused renderer
        // since FlushAndRedraw's flush. It can still take it between this flush and the draw, so the
        // draw does not wait for a buffer (it would wait until the graph runs): it flushes and tries
        // again, and the streaming thread, past its first frame, waits at the run gate meanwhile.
        for (int attempt = 0; attempt < kRedrawAttempts; ++attempt) {
            const HRESULT hr = GuardComCall([&] {
                const HRESULT flushed = FlushDownstreamUnlessFlushing();
                return flushed == S_OK ? Draw(position, true, AM_GBF_NOWAIT) : flushed;
            });
            // S_FALSE: an upstream flush (a further seek) runs; its own first frame comes next.
            if (hr != VFW_E_TIMEOUT || m_state != kPaused) {
                break;
            }
            WaitForSingleObject(m_redrawWake.Get(), kRedrawRetryMs);
            CAutoLock lock(&m_redrawLock);
            if (m_redrawQuit) {
                return;
            }
            // A newer request takes the place of this one.
            if (m_redrawPending) {
                m_redrawPending = false;
                position = m_redrawPosition;
            }
        }
    }
}

void CVelaFilter::StopRedrawThread() {
    {
        CAutoLock lock(&m_redrawLock);
        m_redrawQuit = true;
    }
    SetEvent(m_redrawWake.Get());
    if (m_redrawThread.IsStarted() && !m_redrawThread.IsCurrentThread()) {
        // The thread may be delivering into a renderer that sends to this thread's windows.
        m_redrawThread.Wait(INFINITE);
    }
}

void CVelaFilter::PrepareOutputSample(IMediaSample* output, const AM_SAMPLE2_PROPERTIES& props) {
    REFERENCE_TIME start = props.tStart;
    REFERENCE_TIME stop = props.tStop;
    if (props.dwSampleFlags & AM_SAMPLE_TIMEVALID) {
        output->SetTime(&start, (props.dwSampleFlags & AM_SAMPLE_STOPVALID) ? &stop : nullptr);
    }
    output->SetSyncPoint((props.dwSampleFlags & AM_SAMPLE_SPLICEPOINT) ? TRUE : FALSE);
    output->SetDiscontinuity((props.dwSampleFlags & AM_SAMPLE_DATADISCONTINUITY) ? TRUE : FALSE);
    output->SetPreroll((props.dwSampleFlags & AM_SAMPLE_PREROLL) ? TRUE : FALSE);
}

HRESULT CVelaFilter::Draw(int32_t positionMs, bool forced, DWORD bufferFlags) {
    if (!forced && !m_firstFrameHeld) {
        return E_FAIL;
    }
    if (!HasHeldFrame()) {
        return E_POINTER;
    }
    ComPtr<IMediaSample> output;
    HRESULT hr = m_pOutput->GetDeliveryBuffer(output.GetAddressOf(), nullptr, nullptr, bufferFlags);
    if (FAILED(hr)) {
        return hr;
    }
    AM_SAMPLE2_PROPERTIES last;
    {
        CAutoLock lock(&m_frameLock);
        last = m_lastSample;
    }
    PrepareOutputSample(output.Get(), last);
    LONGLONG mediaStart = m_heldMediaStart;
    LONGLONG mediaStop = m_heldMediaStop;
    if (mediaStop > 0) {
        output->SetMediaTime(&mediaStart, &mediaStop);
    } else {
        // The allocator hands samples back with what their last use left on them.
        output->SetMediaTime(nullptr, nullptr);
    }
    if (m_state == kRunning && (last.dwSampleFlags & AM_SAMPLE_TIMEVALID)) {
        REFERENCE_TIME lateness = 0;
        if (SUCCEEDED(GetSampleLateness(last.tStart, &lateness)) && lateness > kLateLimit) {
            return S_FALSE;
        }
    }
    {
        CAutoLock lock(&m_frameLock);
        if (m_heldFrame.empty()) {
            return E_POINTER;
        }
        BYTE* buffer = nullptr;
        hr = output->GetPointer(&buffer);
        if (FAILED(hr)) {
            return hr;
        }
        if (m_drawCallback) {
            m_drawCallback(m_heldFrame.data(), buffer, positionMs, this);
        }
        output->SetMediaType(&m_outputType);
        const VIDEOINFOHEADER* info = VideoInfoOf(&m_outputType);
        const long imageSize = info != nullptr ? static_cast<long>(info->bmiHeader.biSizeImage) : 0;
        output->SetActualDataLength(std::min(imageSize, output->GetSize()));
        // No time: the renderer shows the frame at once.
        output->SetTime(nullptr, nullptr);
    }
    return m_pOutput->Deliver(output.Get());
}
