#pragma once
// An output pin with the memory transport: it agrees on an allocator with the downstream input pin
// (the downstream one first, else a memory allocator of its own), commits it while the filter is
// active, and delivers samples, end of stream, flushes and segments downstream.
//
// Thread use: delivery on any streaming thread; connection and state changes on the graph's threads.

#include "platform/CBasePin.h"

#include <windows.h>

#include <dshow.h>

class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(CBaseFilter* filter, CCritSec* lock, const wchar_t* name);
    ~CBaseOutputPin() override;

    // IPin: input-side calls, refused on an output pin.
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
    STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }

    HRESULT CheckConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator);
    // Sets the buffer count and size on the allocator (SetProperties) and checks what it gave.
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
    virtual HRESULT InitAllocator(IMemAllocator** allocator);

    // A free sample of the agreed allocator; waits while all are in use.
    HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags);
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();
    HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

protected:
    // The downstream transport and the allocator, taken with a reference under m_transportLock so
    // that a delivering thread never uses a pointer that a disconnection is releasing.
    HRESULT GetTransport(IMemInputPin** pin, IMemAllocator** allocator);

    Microsoft::WRL::ComPtr<IMemInputPin> m_pInputPin;
    Microsoft::WRL::ComPtr<IMemAllocator> m_pAllocator;
    CCritSec m_transportLock;
};
