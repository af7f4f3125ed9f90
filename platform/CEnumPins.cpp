#include "platform/CEnumPins.h"

#include "platform/CBaseFilter.h"
#include "platform/CBasePin.h"

using Microsoft::WRL::ComPtr;

CEnumPins::CEnumPins(CBaseFilter* filter) : m_filter(filter) {
    for (int i = 0; i < filter->GetPinCount(); ++i) {
        if (CBasePin* pin = filter->GetPin(i)) {
            m_pins.push_back(pin);
        }
    }
}

CEnumPins::~CEnumPins() = default;

STDMETHODIMP CEnumPins::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IEnumPins) {
        *object = static_cast<IEnumPins*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CEnumPins::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CEnumPins::Release() {
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) {
        delete this;
    }
    return static_cast<ULONG>(count);
}

STDMETHODIMP CEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched) {
    if (pins == nullptr || (count > 1 && fetched == nullptr)) {
        return E_POINTER;
    }
    ULONG given = 0;
    while (given < count && m_position < m_pins.size()) {
        ComPtr<IPin>(m_pins[m_position++]).CopyTo(&pins[given]);
        ++given;
    }
    if (fetched != nullptr) {
        *fetched = given;
    }
    return given == count ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumPins::Skip(ULONG count) {
    if (m_pins.size() - m_position < count) {
        m_position = m_pins.size();
        return S_FALSE;
    }
    m_position += count;
    return S_OK;
}

STDMETHODIMP CEnumPins::Reset() {
    m_position = 0;
    return S_OK;
}

STDMETHODIMP CEnumPins::Clone(IEnumPins** clone) {
    if (clone == nullptr) {
        return E_POINTER;
    }
    *clone = nullptr;
    ComPtr<CEnumPins> copy;
    try {
        copy = new CEnumPins(m_filter.Get());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    copy->m_position = m_position;
    *clone = copy.Detach();
    return S_OK;
}
