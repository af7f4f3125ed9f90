#include "platform/CBasePin.h"

#include "platform/CBaseFilter.h"
#include "platform/CEnumMediaTypes.h"

#include <wrl/client.h>

#include <cstring>
#include <cwchar>

using Microsoft::WRL::ComPtr;

CBasePin::CBasePin(CBaseFilter* filter, CCritSec* lock, const wchar_t* name, PIN_DIRECTION direction)
    : m_pFilter(filter), m_pLock(lock), m_name(name != nullptr ? name : L""), m_dir(direction) {}

CBasePin::~CBasePin() = default;

STDMETHODIMP CBasePin::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IPin) {
        *object = static_cast<IPin*>(this);
    } else if (iid == IID_IQualityControl) {
        *object = static_cast<IQualityControl*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CBasePin::AddRef() {
    return m_pFilter->AddRef();
}

STDMETHODIMP_(ULONG) CBasePin::Release() {
    return m_pFilter->Release();
}

STDMETHODIMP CBasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
    if (receivePin == nullptr) {
        return E_POINTER;
    }
    CAutoLock lock(m_pLock);
    if (m_Connected) {
        return VFW_E_ALREADY_CONNECTED;
    }
    if (!m_pFilter->IsStopped()) {
        return VFW_E_NOT_STOPPED;
    }
    if (type == nullptr) {
        return AgreeMediaType(receivePin, nullptr);
    }
    const CMediaType wanted(*type);
    return AgreeMediaType(receivePin, &wanted);
}

HRESULT CBasePin::AgreeMediaType(IPin* receivePin, const CMediaType* type) {
    if (type != nullptr && !type->IsPartiallySpecified()) {
        return AttemptConnection(receivePin, type);
    }
    HRESULT lastError = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int pass = 0; pass < 2; ++pass) {
        const bool mine = (pass == 0) == m_bTryMyTypesFirst;
        ComPtr<IEnumMediaTypes> types;
        const HRESULT hr = mine ? EnumMediaTypes(&types) : receivePin->EnumMediaTypes(&types);
        if (FAILED(hr) || !types) {
            continue;
        }
        const HRESULT tried = TryMediaTypes(receivePin, type, types.Get());
        if (SUCCEEDED(tried)) {
            return tried;
        }
        if (tried != VFW_E_NO_ACCEPTABLE_TYPES) {
            lastError = tried;
        }
    }
    return lastError;
}

HRESULT CBasePin::TryMediaTypes(IPin* receivePin, const CMediaType* partial, IEnumMediaTypes* types) {
    types->Reset();
    HRESULT lastError = VFW_E_NO_ACCEPTABLE_TYPES;
    for (;;) {
        AM_MEDIA_TYPE* next = nullptr;
        ULONG fetched = 0;
        if (types->Next(1, &next, &fetched) != S_OK || fetched != 1 || next == nullptr) {
            return lastError;
        }
        const CMediaType candidate(*next);
        DeleteMediaType(next);
        if (partial != nullptr && !partial->MatchesPartial(candidate)) {
            continue;
        }
        const HRESULT hr = AttemptConnection(receivePin, &candidate);
        if (SUCCEEDED(hr)) {
            return hr;
        }
        lastError = hr;
    }
}

HRESULT CBasePin::AttemptConnection(IPin* receivePin, const CMediaType* type) {
    HRESULT hr = CheckConnect(receivePin);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    hr = CheckMediaType(type);
    if (hr != S_OK) {
        BreakConnect();
        return SUCCEEDED(hr) ? VFW_E_TYPE_NOT_ACCEPTED : hr;
    }
    m_Connected = receivePin;
    hr = SetMediaType(type);
    if (SUCCEEDED(hr)) {
        hr = receivePin->ReceiveConnection(this, type);
        if (SUCCEEDED(hr)) {
            hr = CompleteConnect(receivePin);
            if (SUCCEEDED(hr)) {
                return S_OK;
            }
            receivePin->Disconnect();
        }
    }
    BreakConnect();
    ClearConnection();
    return hr;
}

void CBasePin::ClearConnection() {
    m_Connected.Reset();
    m_mt.Reset();
}

STDMETHODIMP CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (connector == nullptr || type == nullptr) {
        return E_POINTER;
    }
    CAutoLock lock(m_pLock);
    if (m_Connected) {
        return VFW_E_ALREADY_CONNECTED;
    }
    if (!m_pFilter->IsStopped()) {
        return VFW_E_NOT_STOPPED;
    }
    HRESULT hr = CheckConnect(connector);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    const CMediaType offered(*type);
    hr = CheckMediaType(&offered);
    if (hr != S_OK) {
        BreakConnect();
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    m_Connected = connector;
    hr = SetMediaType(&offered);
    if (SUCCEEDED(hr)) {
        hr = CompleteConnect(connector);
        if (SUCCEEDED(hr)) {
            return S_OK;
        }
    }
    BreakConnect();
    ClearConnection();
    return hr;
}

STDMETHODIMP CBasePin::Disconnect() {
    CAutoLock lock(m_pLock);
    if (!m_pFilter->IsStopped()) {
        return VFW_E_NOT_STOPPED;
    }
    if (!m_Connected) {
        return S_FALSE;
    }
    const HRESULT hr = BreakConnect();
    if (FAILED(hr)) {
        return hr;
    }
    ClearConnection();
    return S_OK;
}

STDMETHODIMP CBasePin::ConnectedTo(IPin** pin) {
    if (pin == nullptr) {
        return E_POINTER;
    }
    CAutoLock lock(m_pLock);
    m_Connected.CopyTo(pin);
    return m_Connected ? S_OK : VFW_E_NOT_CONNECTED;
}

STDMETHODIMP CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (type == nullptr) {
        return E_POINTER;
    }
    CAutoLock lock(m_pLock);
    if (!m_Connected) {
        std::memset(type, 0, sizeof(*type));
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(type, &m_mt);
}

STDMETHODIMP CBasePin::QueryPinInfo(PIN_INFO* info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    ComPtr<IBaseFilter>(m_pFilter).CopyTo(&info->pFilter);
    info->dir = m_dir;
    std::memset(info->achName, 0, sizeof(info->achName));
    wcsncpy(info->achName, m_name.c_str(), sizeof(info->achName) / sizeof(info->achName[0]) - 1);
    return S_OK;
}

STDMETHODIMP CBasePin::QueryDirection(PIN_DIRECTION* direction) {
    if (direction == nullptr) {
        return E_POINTER;
    }
    *direction = m_dir;
    return S_OK;
}

STDMETHODIMP CBasePin::QueryId(LPWSTR* id) {
    if (id == nullptr) {
        return E_POINTER;
    }
    const size_t bytes = (m_name.size() + 1) * sizeof(wchar_t);
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*id == nullptr) {
        return E_OUTOFMEMORY;
    }
    std::memcpy(*id, m_name.c_str(), bytes);
    return S_OK;
}

STDMETHODIMP CBasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (type == nullptr) {
        return E_POINTER;
    }
    CAutoLock lock(m_pLock);
    const CMediaType offered(*type);
    const HRESULT hr = CheckMediaType(&offered);
    return hr == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP CBasePin::EnumMediaTypes(IEnumMediaTypes** types) {
    if (types == nullptr) {
        return E_POINTER;
    }
    *types = nullptr;
    ComPtr<IEnumMediaTypes> enumerator;
    try {
        enumerator = new CEnumMediaTypes(this);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *types = enumerator.Detach();
    return S_OK;
}

STDMETHODIMP CBasePin::QueryInternalConnections(IPin**, ULONG*) {
    return E_NOTIMPL;
}

STDMETHODIMP CBasePin::EndOfStream() {
    return S_OK;
}

STDMETHODIMP CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    m_tStart = start;
    m_tStop = stop;
    m_dRate = rate;
    return S_OK;
}

STDMETHODIMP CBasePin::Notify(IBaseFilter*, Quality) {
    return E_NOTIMPL;
}

STDMETHODIMP CBasePin::SetSink(IQualityControl* sink) {
    CAutoLock lock(m_pLock);
    m_pQSink = sink;
    return S_OK;
}

HRESULT CBasePin::SetMediaType(const CMediaType* type) {
    m_mt = *type;
    return m_mt.IsValid() ? S_OK : E_OUTOFMEMORY;
}

HRESULT CBasePin::CheckConnect(IPin* pin) {
    PIN_DIRECTION direction;
    const HRESULT hr = pin->QueryDirection(&direction);
    if (FAILED(hr)) {
        return hr;
    }
    return direction == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::BreakConnect() {
    return S_OK;
}

HRESULT CBasePin::CompleteConnect(IPin*) {
    return S_OK;
}

HRESULT CBasePin::GetMediaType(int, CMediaType*) {
    return E_UNEXPECTED;
}

HRESULT CBasePin::ProposeMediaType(int position, CMediaType* type) {
    CAutoLock lock(m_pLock);
    return GetMediaType(position, type);
}
