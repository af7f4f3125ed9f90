#pragma once
// An input pin with the memory transport: the allocator the upstream pin agrees on, flushing, the
// streaming checks of Receive, and quality notices passed to the upstream pin.
//
// Thread use: Receive on the upstream filter's streaming thread; the rest on the graph's threads.

#include "platform/CBasePin.h"

#include <windows.h>

#include <dshow.h>

#include <atomic>

class CBaseInputPin : public CBasePin, public IMemInputPin {
public:
    CBaseInputPin(CBaseFilter* filter, CCritSec* lock, const wchar_t* name);
    ~CBaseInputPin() override;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return CBasePin::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CBasePin::Release(); }
    // IMemInputPin
    STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
    // Checks that the pin may stream and takes the sample's properties; S_OK lets the sample through.
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
    STDMETHODIMP ReceiveCanBlock() override;
    // IPin
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    HRESULT BreakConnect() override;
    HRESULT Inactive() override;

    // S_OK while samples are wanted: connected, not stopped, not flushing, no earlier runtime error.
    HRESULT CheckStreaming();
    // Sends a quality notice to the upstream pin (through its IQualityControl).
    HRESULT PassNotify(const Quality& quality);
    // The properties of the sample last passed to Receive. They are copies: the buffer and media-type
    // pointers are cleared, since the sample may be reused by its allocator once Receive returns.
    const AM_SAMPLE2_PROPERTIES& SampleProps() const { return m_SampleProps; }
    bool IsFlushing() const { return m_bFlushing; }
    bool IsReadOnly() const { return m_bReadOnly; }

protected:
    Microsoft::WRL::ComPtr<IMemAllocator> m_pAllocator;
    bool m_bReadOnly = false;
    std::atomic<bool> m_bFlushing{false};
    std::atomic<bool> m_bRunTimeError{false};
    AM_SAMPLE2_PROPERTIES m_SampleProps = {};
};
