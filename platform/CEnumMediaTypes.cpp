#include "platform/CEnumMediaTypes.h"

#include "platform/CBasePin.h"
#include "platform/CMediaType.h"

using Microsoft::WRL::ComPtr;

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin) : m_pin(pin) {}

CEnumMediaTypes::~CEnumMediaTypes() = default;

STDMETHODIMP CEnumMediaTypes::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IEnumMediaTypes) {
        *object = static_cast<IEnumMediaTypes*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CEnumMediaTypes::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CEnumMediaTypes::Release() {
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) {
        delete this;
    }
    return static_cast<ULONG>(count);
}

STDMETHODIMP CEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
    if (types == nullptr || (count > 1 && fetched == nullptr)) {
        return E_POINTER;
    }
    ULONG given = 0;
    while (given < count) {
        CMediaType type;
        // A failure (a type that cannot be offered yet) ends the list like the end itself.
        if (m_pin->ProposeMediaType(m_position, &type) != S_OK) {
            break;
        }
        ++m_position;
        AM_MEDIA_TYPE* copy = CreateMediaType(&type);
        if (copy == nullptr) {
            break;
        }
        types[given++] = copy;
    }
    if (fetched != nullptr) {
        *fetched = given;
    }
    return given == count ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumMediaTypes::Skip(ULONG count) {
    if (count == 0) {
        return S_OK;
    }
    m_position += static_cast<int>(count);
    CMediaType type;
    return m_pin->ProposeMediaType(m_position - 1, &type) == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumMediaTypes::Reset() {
    m_position = 0;
    return S_OK;
}

STDMETHODIMP CEnumMediaTypes::Clone(IEnumMediaTypes** clone) {
    if (clone == nullptr) {
        return E_POINTER;
    }
    *clone = nullptr;
    ComPtr<CEnumMediaTypes> copy;
    try {
        copy = new CEnumMediaTypes(m_pin.Get());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    copy->m_position = m_position;
    *clone = copy.Detach();
    return S_OK;
}
