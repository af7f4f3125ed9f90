#pragma once
// The base of a filter with one input and one output pin: connection of the output follows the
// input's type (CheckTransform, GetMediaType), streaming goes through Receive (by default an output
// sample per input sample, made by Transform), and flushes, segments and end of stream are passed on.
//
// Thread use: state changes on the graph's threads, Receive on the upstream streaming thread.

#include "platform/CBaseFilter.h"
#include "platform/CTransformPins.h"

class CTransformFilter : public CBaseFilter {
public:
    CTransformFilter(const wchar_t* name, REFCLSID clsid);
    ~CTransformFilter() override;

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int index) override;

    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;

    // Fills output from input; S_FALSE skips the sample.
    virtual HRESULT Transform(IMediaSample* input, IMediaSample* output);
    virtual HRESULT CheckInputType(const CMediaType* type) = 0;
    virtual HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) = 0;
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
    virtual HRESULT GetMediaType(int position, CMediaType* type) = 0;
    virtual HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* type);
    virtual HRESULT CheckConnect(PIN_DIRECTION direction, IPin* pin);
    virtual HRESULT BreakConnect(PIN_DIRECTION direction);
    virtual HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* receivePin);
    virtual HRESULT StartStreaming() { return S_OK; }
    virtual HRESULT StopStreaming() { return S_OK; }
    // S_FALSE passes the notice upstream.
    virtual HRESULT AlterQuality(const Quality&) { return S_FALSE; }

    // Streaming calls from the input pin.
    virtual HRESULT Receive(IMediaSample* sample);
    virtual HRESULT EndOfStream();
    virtual HRESULT BeginFlush();
    virtual HRESULT EndFlush();
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

protected:
    // An output sample with the input's times and flags.
    HRESULT InitializeOutputSample(IMediaSample* input, IMediaSample** output);

    friend class CTransformInputPin;
    friend class CTransformOutputPin;

    CCritSec m_csFilter;
    // Held by the input pin around Receive; Stop takes it so that no sample is in flight after it.
    CCritSec m_csReceive;
    CTransformInputPin* m_pInput = nullptr;
    CTransformOutputPin* m_pOutput = nullptr;
    bool m_bEOSDelivered = false;
    bool m_bSampleSkipped = false;
    bool m_bQualityChanged = false;
};
