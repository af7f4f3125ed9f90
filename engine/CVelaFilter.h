#pragma once
// The program's video transform filter. The upstream streaming thread only copies each sample into a
// held frame and then waits for the sample's time; the pictures that go downstream are made by Draw,
// on the frame pump's timer (and once by the streaming thread after a start or a flush), through the
// draw callback, which letterboxes the held frame and draws the comments onto it. Comments therefore
// move at the timer's rate, also while the video delivers frames slowly.
//
// Thread use: Receive and the flushes on the upstream streaming thread; Draw on the timer thread and
// the UI thread; state changes on the UI thread (through the graph). The frame lock guards the held
// frame, the media types and every call of the draw callback.

#include "foundation/CWorkerThread.h"
#include "foundation/Handles.h"
#include "platform/CTransformFilter.h"

#include <windows.h>

#include <wrl/client.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

class CVelaFilter;

// Held input frame, output buffer, play position in ms, the filter; nobody reads the result. Called
// under the filter's frame lock.
using DrawFrameCallbackFn =
    std::function<int(const BYTE* heldFrame, BYTE* outputBuffer, int32_t positionMs, CVelaFilter* filter)>;

extern const CLSID CLSID_VelaFilter;

// Bytes per row of a DIB: rows are padded to whole DWORDs.
LONG DibStride(LONG width, WORD bitCount);
// Bytes of a DIB of that size; 0 for a negative or overflowing size.
DWORD DibImageSize(LONG width, LONG height, WORD bitCount);

class CVelaFilter : public CTransformFilter {
public:
    // outputWidth and outputHeight: the picture's size downstream; 0 keeps the input's size.
    CVelaFilter(const wchar_t* name, int32_t outputWidth, int32_t outputHeight);
    ~CVelaFilter() override;

    const AMOVIESETUP_FILTER* GetSetupData() override;
    HRESULT Transform(IMediaSample* input, IMediaSample* output) override;
    HRESULT CheckInputType(const CMediaType* type) override;
    HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* type) override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;

    // Flushes the renderer and draws the held frame at once (after a seek while paused). A paused
    // renderer keeps a delivered frame until it runs or is flushed, so while paused the frame is
    // delivered by the filter's redraw thread and the caller returns at once.
    HRESULT FlushAndRedraw(int32_t positionMs);
    // Ends the redraw thread; the graph must be stopped first (that releases a blocked delivery).
    void StopRedrawThread();
    // Builds one frame from the held frame and delivers it. Unless forced, E_FAIL before a frame is
    // held; S_FALSE when the frame was dropped as late. bufferFlags go to GetDeliveryBuffer
    // (AM_GBF_NOWAIT: VFW_E_TIMEOUT instead of waiting while the renderer holds every buffer).
    HRESULT Draw(int32_t positionMs, bool forced, DWORD bufferFlags = 0);
    void SetDrawCallback(DrawFrameCallbackFn callback);

    int32_t GetOutputWidth();
    int32_t GetOutputHeight();
    BITMAPINFOHEADER GetInputHeader();
    // The header of the connected output type (what the output buffer holds).
    BITMAPINFOHEADER GetOutputHeader();
    REFERENCE_TIME GetAvgTimePerFrame();
    bool IsFirstFrameHeld() const { return m_firstFrameHeld; }
    // The streaming state as the filter last set it (0 stopped, 1 paused, 2 running) and whether an
    // upstream flush is under way; plain reads, for diagnostics of a stuck graph.
    int32_t GetStreamingState() const { return m_state; }
    bool IsFlushing() const { return m_flushing; }
    bool HasHeldFrame();
    size_t GetHeldFrameSize();
    LONGLONG GetHeldMediaStart() const { return m_heldMediaStart; }
    LONGLONG GetHeldMediaStop() const { return m_heldMediaStop; }
    // Frees the held frame (the graph wrapper does it when the graph closes).
    void FreeHeldFrame();

    // Sends a flood notice upstream when the sample is more than 500 ms late (after the first second).
    HRESULT PassNotify(IMediaSample* sample);
    HRESULT TransformHeldFrame(IMediaSample* sample);
    // Clock time less the start time and the sample's start, in 100-ns units.
    HRESULT GetSampleLateness(REFERENCE_TIME sampleStart, REFERENCE_TIME* lateness);

private:
    HRESULT FlushDownstream();
    HRESULT FlushDownstreamUnlessFlushing();
    void RedrawLoop();
    HRESULT WaitForSampleTime(REFERENCE_TIME sampleStart);
    // Cancels a pending clock advise and wakes the streaming thread waiting for it.
    void CancelClockWait();
    void PrepareOutputSample(IMediaSample* output, const AM_SAMPLE2_PROPERTIES& props);
    Microsoft::WRL::ComPtr<IReferenceClock> Clock();

    CMediaType m_outputType;
    BITMAPINFOHEADER m_inputHeader = {};
    REFERENCE_TIME m_avgTimePerFrame = 0;
    CCritSec m_frameLock;
    int32_t m_outputWidth;
    int32_t m_outputHeight;
    DrawFrameCallbackFn m_drawCallback; // guarded by the frame lock
    Microsoft::WRL::ComPtr<IReferenceClock> m_referenceClock;
    CEventHandle m_clockEvent;  // auto-reset: the clock's advise
    CEventHandle m_receiveIdle; // set while no Receive or EndOfStream runs
    CEventHandle m_runGate;     // set unless paused
    CCritSec m_adviseLock;
    DWORD_PTR m_adviseCookie = 0;
    Microsoft::WRL::ComPtr<IReferenceClock> m_adviseClock;
    std::atomic<int32_t> m_state{0}; // 0 stopped, 1 paused, 2 running
    std::atomic<bool> m_hasStartTime{false};
    std::vector<BYTE> m_heldFrame;
    std::atomic<LONGLONG> m_heldMediaStart{-1};
    std::atomic<LONGLONG> m_heldMediaStop{-1};
    // The last received sample's properties, copied while it was in Receive.
    AM_SAMPLE2_PROPERTIES m_lastSample = {};
    std::atomic<bool> m_flushing{false};
    std::atomic<bool> m_firstFrameHeld{false};
    // Counts the flushes begun, so that a sample can tell one overtook it.
    std::atomic<uint32_t> m_flushCount{0};

    CCritSec m_redrawLock;
    CEventHandle m_redrawWake; // auto-reset
    bool m_redrawPending = false;
    bool m_redrawQuit = false;
    int32_t m_redrawPosition = 0;
    CWorkerThread m_redrawThread;
};
