#include "platform/CBaseOutputPin.h"

#include "platform/CBaseFilter.h"

#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

CBaseOutputPin::CBaseOutputPin(CBaseFilter* filter, CCritSec* lock, const wchar_t* name)
    : CBasePin(filter, lock, name, PINDIR_OUTPUT) {}

CBaseOutputPin::~CBaseOutputPin() {
    if (m_pAllocator != nullptr) {
        m_pAllocator->Release();
    }
    if (m_pInputPin != nullptr) {
        m_pInputPin->Release();
    }
}

HRESULT CBaseOutputPin::CheckConnect(IPin* pin) {
    HRESULT hr = CBasePin::CheckConnect(pin);
    if (FAILED(hr)) {
        return hr;
    }
    IMemInputPin* input = nullptr;
    hr = pin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input));
    if (FAILED(hr)) {
        return VFW_E_NO_TRANSPORT;
    }
    CAutoLock lock(&m_transportLock);
    if (m_pInputPin != nullptr) {
        m_pInputPin->Release();
    }
    m_pInputPin = input;
    return S_OK;
}

HRESULT CBaseOutputPin::BreakConnect() {
    IMemAllocator* allocator = nullptr;
    IMemInputPin* input = nullptr;
    {
        CAutoLock lock(&m_transportLock);
        allocator = m_pAllocator;
        input = m_pInputPin;
        m_pAllocator = nullptr;
        m_pInputPin = nullptr;
    }
    if (allocator != nullptr) {
        allocator->Decommit();
        allocator->Release();
    }
    if (input != nullptr) {
        input->Release();
    }
    return S_OK;
}

HRESULT CBaseOutputPin::CompleteConnect(IPin*) {
    IMemInputPin* input = nullptr;
    {
        CAutoLock lock(&m_transportLock);
        input = m_pInputPin;
    }
    if (input == nullptr) {
        return VFW_E_NO_TRANSPORT;
    }
    IMemAllocator* allocator = nullptr;
    const HRESULT hr = DecideAllocator(input, &allocator);
    if (FAILED(hr)) {
        return hr;
    }
    CAutoLock lock(&m_transportLock);
    if (m_pAllocator != nullptr) {
        m_pAllocator->Release();
    }
    m_pAllocator = allocator;
    return S_OK;
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
    *allocator = nullptr;
    ALLOCATOR_PROPERTIES request = {};
    pin->GetAllocatorRequirements(&request);
    if (request.cbAlign == 0) {
        request.cbAlign = 1;
    }
    HRESULT hr = pin->GetAllocator(allocator);
    if (SUCCEEDED(hr)) {
        hr = DecideBufferSize(*allocator, &request);
        if (SUCCEEDED(hr)) {
            hr = pin->NotifyAllocator(*allocator, FALSE);
            if (SUCCEEDED(hr)) {
                return S_OK;
            }
        }
    }
    if (*allocator != nullptr) {
        (*allocator)->Release();
        *allocator = nullptr;
    }
    hr = InitAllocator(allocator);
    if (SUCCEEDED(hr)) {
        hr = DecideBufferSize(*allocator, &request);
        if (SUCCEEDED(hr)) {
            hr = pin->NotifyAllocator(*allocator, FALSE);
            if (SUCCEEDED(hr)) {
                return S_OK;
            }
        }
    }
    if (*allocator != nullptr) {
        (*allocator)->Release();
        *allocator = nullptr;
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
        *pin = m_pInputPin;
        if (m_pInputPin != nullptr) {
            m_pInputPin->AddRef();
        }
    }
    if (allocator != nullptr) {
        *allocator = m_pAllocator;
        if (m_pAllocator != nullptr) {
            m_pAllocator->AddRef();
        }
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
