#include "platform/CBaseOutputPin.h"

#include "platform/CBaseFilter.h"

#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

CBaseOutputPin::CBaseOutputPin(CBaseFilter* filter, CCritSec* lock, const wchar_t* name)
    : CBasePin(filter, lock, name, PINDIR_OUTPUT) {}

CBaseOutputPin::~CBaseOutputPin() = default;

HRESULT CBaseOutputPin::CheckConnect(IPin* pin) {
    HRESULT hr = CBasePin::CheckConnect(pin);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<IMemInputPin> input;
    hr = pin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(input.GetAddressOf()));
    if (FAILED(hr)) {
        return VFW_E_NO_TRANSPORT;
    }
    CAutoLock lock(&m_transportLock);
    m_pInputPin.Swap(input);
    return S_OK;
}

HRESULT CBaseOutputPin::BreakConnect() {
    // Released outside the lock: a delivering thread may be waiting for it.
    ComPtr<IMemAllocator> allocator;
    ComPtr<IMemInputPin> input;
    {
        CAutoLock lock(&m_transportLock);
        allocator.Swap(m_pAllocator);
        input.Swap(m_pInputPin);
    }
    if (allocator) {
        allocator->Decommit();
    }
    return S_OK;
}

HRESULT CBaseOutputPin::CompleteConnect(IPin*) {
    ComPtr<IMemInputPin> input;
    GetTransport(input.GetAddressOf(), nullptr);
    if (!input) {
        return VFW_E_NO_TRANSPORT;
    }
    ComPtr<IMemAllocator> allocator;
    const HRESULT hr = DecideAllocator(input.Get(), allocator.GetAddressOf());
    if (FAILED(hr)) {
        return hr;
    }
    CAutoLock lock(&m_transportLock);
    m_pAllocator.Swap(allocator);
    return S_OK;
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
    *allocator = nullptr;
    ALLOCATOR_PROPERTIES request = {};
    pin->GetAllocatorRequirements(&request);
    if (request.cbAlign == 0) {
        request.cbAlign = 1;
    }
    // The downstream pin's allocator first, then one of our own.
    ComPtr<IMemAllocator> candidate;
    HRESULT hr = pin->GetAllocator(candidate.GetAddressOf());
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 1) {
            hr = InitAllocator(candidate.ReleaseAndGetAddressOf());
        }
        if (SUCCEEDED(hr) && candidate) {
            hr = DecideBufferSize(candidate.Get(), &request);
            if (SUCCEEDED(hr)) {
                hr = pin->NotifyAllocator(candidate.Get(), FALSE);
                if (SUCCEEDED(hr)) {
                    *allocator = candidate.Detach();
                    return S_OK;
                }
            }
        }
    }
    return hr;
}

HRESULT CBaseOutputPin::InitAllocator(IMemAllocator** allocator) {
    return CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                            reinterpret_cast<void**>(allocator));
}

HRESULT CBaseOutputPin::Active() {
    ComPtr<IMemAllocator> allocator;
    GetTransport(nullptr, allocator.GetAddressOf());
    return allocator ? allocator->Commit() : VFW_E_NO_ALLOCATOR;
}

HRESULT CBaseOutputPin::Inactive() {
    ComPtr<IMemAllocator> allocator;
    GetTransport(nullptr, allocator.GetAddressOf());
    return allocator ? allocator->Decommit() : VFW_E_NO_ALLOCATOR;
}

HRESULT CBaseOutputPin::GetTransport(IMemInputPin** pin, IMemAllocator** allocator) {
    CAutoLock lock(&m_transportLock);
    if (pin != nullptr) {
        m_pInputPin.CopyTo(pin);
    }
    if (allocator != nullptr) {
        m_pAllocator.CopyTo(allocator);
    }
    return S_OK;
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                          DWORD flags) {
    if (sample == nullptr) {
        return E_POINTER;
    }
    *sample = nullptr;
    ComPtr<IMemAllocator> allocator;
    GetTransport(nullptr, allocator.GetAddressOf());
    if (!allocator) {
        return VFW_E_NO_ALLOCATOR;
    }
    return allocator->GetBuffer(sample, start, stop, flags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample) {
    ComPtr<IMemInputPin> input;
    GetTransport(input.GetAddressOf(), nullptr);
    if (!input) {
        return VFW_E_NOT_CONNECTED;
    }
    return input->Receive(sample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream() {
    IPin* connected = GetConnected();
    return connected != nullptr ? connected->EndOfStream() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverBeginFlush() {
    IPin* connected = GetConnected();
    return connected != nullptr ? connected->BeginFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverEndFlush() {
    IPin* connected = GetConnected();
    return connected != nullptr ? connected->EndFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    IPin* connected = GetConnected();
    return connected != nullptr ? connected->NewSegment(start, stop, rate) : VFW_E_NOT_CONNECTED;
}
