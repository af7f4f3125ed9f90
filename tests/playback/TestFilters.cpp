#include "tests/playback/TestFilters.h"

#include <wrl/client.h>

#include <algorithm>
#include <cstring>

namespace {
// {5B1E3C2A-7E0F-4F53-9C1D-2A6B8E4F1001}, {5B1E3C2A-7E0F-4F53-9C1D-2A6B8E4F1002}
const CLSID kPushSourceClsid = {0x5b1e3c2a, 0x7e0f, 0x4f53, {0x9c, 0x1d, 0x2a, 0x6b, 0x8e, 0x4f, 0x10, 0x01}};
const CLSID kCaptureSinkClsid = {0x5b1e3c2a, 0x7e0f, 0x4f53, {0x9c, 0x1d, 0x2a, 0x6b, 0x8e, 0x4f, 0x10, 0x02}};
} // namespace

CMediaType MakeRgbType(const GUID& subtype, WORD bitCount, LONG width, LONG height, bool topDown) {
    CMediaType type;
    type.SetType(&MEDIATYPE_Video);
    type.SetSubtype(&subtype);
    type.SetFormatType(&FORMAT_VideoInfo);
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    info->AvgTimePerFrame = 400000;
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = topDown ? -height : height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = bitCount;
    info->bmiHeader.biSizeImage = static_cast<DWORD>(((width * bitCount + 31) / 32) * 4 * height);
    type.SetSampleSize(info->bmiHeader.biSizeImage);
    return type;
}

CPushPin::CPushPin(CPushSource* source, CCritSec* lock, const CMediaType& type)
    : CBaseOutputPin(source, lock, L"Out"), m_type(type) {}

CPushPin::~CPushPin() {
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
}

STDMETHODIMP CPushPin::Notify(IBaseFilter*, Quality quality) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_notices.push_back(quality);
    return S_OK;
}

HRESULT CPushPin::CheckMediaType(const CMediaType* type) {
    return *type == m_type ? S_OK : S_FALSE;
}

HRESULT CPushPin::GetMediaType(int position, CMediaType* type) {
    if (position != 0) {
        return VFW_S_NO_MORE_ITEMS;
    }
    *type = m_type;
    return S_OK;
}

HRESULT CPushPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    request->cBuffers = 2;
    request->cbBuffer = static_cast<long>(m_type.lSampleSize);
    ALLOCATOR_PROPERTIES actual = {};
    return allocator->SetProperties(request, &actual);
}

HRESULT CPushPin::Active() {
    const HRESULT hr = CBaseOutputPin::Active();
    if (FAILED(hr)) {
        return hr;
    }
    m_stopping = false;
    m_thread = std::thread([this] { Stream(); });
    return S_OK;
}

HRESULT CPushPin::Inactive() {
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    // Decommitting releases a thread that waits for a free buffer.
    const HRESULT hr = CBaseOutputPin::Inactive();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return hr;
}

void CPushPin::Push(const PushFrame& frame) {
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_queue.push_back(frame);
    }
    m_wake.notify_all();
}

std::vector<HRESULT> CPushPin::Results() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_results;
}

std::vector<Quality> CPushPin::Notices() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_notices;
}

void CPushPin::Stream() {
    for (;;) {
        PushFrame frame;
        {
            std::unique_lock<std::mutex> guard(m_mutex);
            m_wake.wait(guard, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping) {
                return;
            }
            frame = m_queue.front();
            m_queue.pop_front();
        }
        if (frame.endOfStream) {
            const HRESULT hr = DeliverEndOfStream();
            std::lock_guard<std::mutex> guard(m_mutex);
            m_results.push_back(hr);
            continue;
        }
        Microsoft::WRL::ComPtr<IMediaSample> sample;
        HRESULT hr = GetDeliveryBuffer(sample.GetAddressOf(), nullptr, nullptr, 0);
        if (SUCCEEDED(hr)) {
            BYTE* data = nullptr;
            sample->GetPointer(&data);
            std::memset(data, frame.fill, static_cast<size_t>(sample->GetSize()));
            sample->SetActualDataLength(static_cast<long>(m_type.lSampleSize));
            if (frame.timed) {
                sample->SetTime(&frame.start, &frame.stop);
            } else {
                sample->SetTime(nullptr, nullptr);
            }
            if (frame.hasMediaTime) {
                sample->SetMediaTime(&frame.mediaStart, &frame.mediaStop);
            } else {
                sample->SetMediaTime(nullptr, nullptr);
            }
            sample->SetSyncPoint(TRUE);
            hr = Deliver(sample.Get());
        }
        std::lock_guard<std::mutex> guard(m_mutex);
        m_results.push_back(hr);
    }
}

CPushSource::CPushSource(const CMediaType& type) : CBaseFilter(L"Push Source", &m_lock, kPushSourceClsid) {
    m_pin = new CPushPin(this, &m_lock, type);
}

CPushSource::~CPushSource() {
    delete m_pin;
}

CBasePin* CPushSource::GetPin(int index) {
    return index == 0 ? m_pin : nullptr;
}

CCapturePin::CCapturePin(CCaptureSink* sink, CCritSec* lock) : CBaseInputPin(sink, lock, L"In") {}

STDMETHODIMP CCapturePin::Receive(IMediaSample* sample) {
    CapturedFrame frame;
    AM_MEDIA_TYPE* type = nullptr;
    if (sample->GetMediaType(&type) == S_OK && type != nullptr) {
        frame.hasType = true;
        frame.type = *type;
        DeleteMediaType(type);
    }
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    frame.timeResult = sample->GetTime(&start, &stop);
    frame.mediaTimeResult = sample->GetMediaTime(&frame.mediaStart, &frame.mediaStop);
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    frame.bytes.assign(data, data + sample->GetActualDataLength());
    const HRESULT hr = CBaseInputPin::Receive(sample);
    if (hr != S_OK) {
        return hr;
    }
    std::lock_guard<std::mutex> guard(m_mutex);
    m_frames.push_back(std::move(frame));
    return S_OK;
}

STDMETHODIMP CCapturePin::BeginFlush() {
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        ++m_flushes;
    }
    return CBaseInputPin::BeginFlush();
}

STDMETHODIMP CCapturePin::EndOfStream() {
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        hook = m_endOfStreamHook;
    }
    if (hook) {
        hook();
    }
    return S_OK;
}

void CCapturePin::SetEndOfStreamHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_endOfStreamHook = std::move(hook);
}

HRESULT CCapturePin::CheckMediaType(const CMediaType* type) {
    return type->majortype == MEDIATYPE_Video && type->formattype == FORMAT_VideoInfo ? S_OK : S_FALSE;
}

std::vector<CapturedFrame> CCapturePin::Frames() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_frames;
}

size_t CCapturePin::FrameCount() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_frames.size();
}

int CCapturePin::Flushes() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_flushes;
}

CCaptureSink::CCaptureSink() : CBaseFilter(L"Capture Sink", &m_lock, kCaptureSinkClsid) {
    m_pin = new CCapturePin(this, &m_lock);
}

CCaptureSink::~CCaptureSink() {
    delete m_pin;
}

STDMETHODIMP CCaptureSink::QueryInterface(REFIID iid, void** object) {
    if (object != nullptr && iid == IID_IReferenceClock && m_clock) {
        return m_clock.CopyTo(reinterpret_cast<IReferenceClock**>(object));
    }
    return CBaseFilter::QueryInterface(iid, object);
}

CBasePin* CCaptureSink::GetPin(int index) {
    return index == 0 ? m_pin : nullptr;
}

STDMETHODIMP CFakeClock::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IReferenceClock) {
        *object = static_cast<IReferenceClock*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CFakeClock::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CFakeClock::Release() {
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) {
        delete this;
    }
    return static_cast<ULONG>(count);
}

STDMETHODIMP CFakeClock::GetTime(REFERENCE_TIME* time) {
    if (time == nullptr) {
        return E_POINTER;
    }
    *time = Time();
    return S_OK;
}

STDMETHODIMP CFakeClock::AdviseTime(REFERENCE_TIME base, REFERENCE_TIME offset, HEVENT event, DWORD_PTR* cookie) {
    if (cookie == nullptr) {
        return E_POINTER;
    }
    std::lock_guard<std::mutex> guard(m_mutex);
    *cookie = m_nextCookie++;
    if (base + offset <= m_time) {
        SetEvent(reinterpret_cast<HANDLE>(event));
    } else {
        m_advises.push_back({*cookie, base + offset, reinterpret_cast<HANDLE>(event)});
    }
    return S_OK;
}

STDMETHODIMP CFakeClock::Unadvise(DWORD_PTR cookie) {
    std::lock_guard<std::mutex> guard(m_mutex);
    const auto found = std::find_if(m_advises.begin(), m_advises.end(),
                                    [cookie](const Advise& advise) { return advise.cookie == cookie; });
    if (found == m_advises.end()) {
        return S_FALSE;
    }
    m_advises.erase(found);
    return S_OK;
}

REFERENCE_TIME CFakeClock::Time() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_time;
}

void CFakeClock::SetTime(REFERENCE_TIME time) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_time = time;
    const auto due = std::stable_partition(m_advises.begin(), m_advises.end(),
                                           [time](const Advise& advise) { return advise.time > time; });
    for (auto advise = due; advise != m_advises.end(); ++advise) {
        SetEvent(advise->event);
    }
    m_advises.erase(due, m_advises.end());
}

size_t CFakeClock::PendingAdvises() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_advises.size();
}

Microsoft::WRL::ComPtr<IReferenceClock> SyncSourceOf(IUnknown* graph) {
    Microsoft::WRL::ComPtr<IMediaFilter> filter;
    Microsoft::WRL::ComPtr<IReferenceClock> clock;
    if (SUCCEEDED(graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(filter.GetAddressOf())))) {
        filter->GetSyncSource(clock.GetAddressOf());
    }
    return clock;
}
