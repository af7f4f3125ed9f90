#pragma once
// A push source and a capture sink built on our own filter base, to drive CVelaFilter in a real graph
// and read back exactly what it delivers, and a reference clock whose time the test sets.
//
// Thread use: the source delivers on a streaming thread of its own while it is active; the sink
// records on whichever thread delivers to it. The accessors and the clock may be used from any thread.

#include "platform/CBaseFilter.h"
#include "platform/CBaseInputPin.h"
#include "platform/CBaseOutputPin.h"

#include <wrl/client.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// An RGB video type of that size (bottom-up unless topDown).
CMediaType MakeRgbType(const GUID& subtype, WORD bitCount, LONG width, LONG height, bool topDown = false);

struct PushFrame {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    bool timed = true;
    LONGLONG mediaStart = 0;
    LONGLONG mediaStop = 0;
    bool hasMediaTime = false;
    BYTE fill = 0x80;         // every byte of the frame
    bool endOfStream = false; // delivers the end of the stream instead of a sample
};

class CPushSource;

class CPushPin : public CBaseOutputPin {
public:
    CPushPin(CPushSource* source, CCritSec* lock, const CMediaType& type);
    ~CPushPin() override;

    STDMETHODIMP Notify(IBaseFilter* sender, Quality quality) override;
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    void Push(const PushFrame& frame);
    std::vector<HRESULT> Results();
    std::vector<Quality> Notices();

private:
    void Stream();

    CMediaType m_type;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<PushFrame> m_queue;
    bool m_stopping = false;
    std::vector<HRESULT> m_results;
    std::vector<Quality> m_notices;
    std::thread m_thread;
};

class CPushSource : public CBaseFilter {
public:
    explicit CPushSource(const CMediaType& type);
    ~CPushSource() override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int index) override;
    CPushPin* Pin() { return m_pin; }

private:
    CCritSec m_lock;
    CPushPin* m_pin;
};

struct CapturedFrame {
    bool hasType = false;
    CMediaType type;
    HRESULT timeResult = S_OK;
    HRESULT mediaTimeResult = S_OK;
    LONGLONG mediaStart = 0;
    LONGLONG mediaStop = 0;
    std::vector<BYTE> bytes;
};

class CCaptureSink;

class CCapturePin : public CBaseInputPin {
public:
    CCapturePin(CCaptureSink* sink, CCritSec* lock);

    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP ReceiveCanBlock() override { return S_FALSE; }
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndOfStream() override;
    HRESULT CheckMediaType(const CMediaType* type) override;

    // Runs inside EndOfStream, on the delivering thread, as a renderer's own end-of-stream work does.
    void SetEndOfStreamHook(std::function<void()> hook);
    std::vector<CapturedFrame> Frames();
    size_t FrameCount();
    int Flushes();

private:
    std::mutex m_mutex;
    std::vector<CapturedFrame> m_frames;
    int m_flushes = 0;
    std::function<void()> m_endOfStreamHook;
};

class CCaptureSink : public CBaseFilter {
public:
    CCaptureSink();
    ~CCaptureSink() override;

    // With a clock, the sink provides it as a renderer with a clock of its own (an audio renderer) does.
    void ProvideClock(IReferenceClock* clock) { m_clock = clock; }
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int index) override;
    CCapturePin* Pin() { return m_pin; }

private:
    CCritSec m_lock;
    CCapturePin* m_pin;
    Microsoft::WRL::ComPtr<IReferenceClock> m_clock;
};

// A reference clock that stands still until the test moves it. An advise fires when the time reaches
// it: at once when it already has, else when SetTime gets there.
class CFakeClock final : public IReferenceClock {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTime(REFERENCE_TIME* time) override;
    STDMETHODIMP AdviseTime(REFERENCE_TIME base, REFERENCE_TIME offset, HEVENT event, DWORD_PTR* cookie) override;
    STDMETHODIMP AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR*) override { return E_NOTIMPL; }
    STDMETHODIMP Unadvise(DWORD_PTR cookie) override;

    REFERENCE_TIME Time();
    void SetTime(REFERENCE_TIME time);
    // Advises not yet fired nor cancelled.
    size_t PendingAdvises();

private:
    struct Advise {
        DWORD_PTR cookie;
        REFERENCE_TIME time;
        HANDLE event;
    };

    LONG m_refCount = 0;
    std::mutex m_mutex;
    REFERENCE_TIME m_time = 0;
    DWORD_PTR m_nextCookie = 1;
    std::vector<Advise> m_advises;
};

// The reference clock the graph runs on (null for none).
Microsoft::WRL::ComPtr<IReferenceClock> SyncSourceOf(IUnknown* graph);
