#pragma once
// The two pins of a transform filter: each hands its connection and streaming calls to the filter.
//
// Thread use: as their base pins.

#include "platform/CBaseInputPin.h"
#include "platform/CBaseOutputPin.h"
#include "platform/CPosPassThru.h"

class CTransformFilter;

class CTransformInputPin : public CBaseInputPin {
public:
    CTransformInputPin(CTransformFilter* filter, CCritSec* lock, const wchar_t* name);

    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT SetMediaType(const CMediaType* type) override;
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* receivePin) override;

private:
    CTransformFilter* m_pTransformFilter;
};

class CTransformOutputPin : public CBaseOutputPin {
public:
    CTransformOutputPin(CTransformFilter* filter, CCritSec* lock, const wchar_t* name);

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    // Quality notices from downstream go to the filter, and upstream when it does not take them.
    STDMETHODIMP Notify(IBaseFilter* sender, Quality quality) override;

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT SetMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

private:
    CTransformFilter* m_pTransformFilter;
    CPosPassThru m_position;
};
