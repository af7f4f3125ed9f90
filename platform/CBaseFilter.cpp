#include "platform/CBaseFilter.h"

#include "platform/CBasePin.h"
#include "platform/CEnumPins.h"

#include <cstring>
#include <cwchar>

using Microsoft::WRL::ComPtr;

CBaseFilter::CBaseFilter(const wchar_t* name, CCritSec* lock, REFCLSID clsid)
    : m_pLock(lock), m_name(name != nullptr ? name : L""), m_clsid(clsid) {}

CBaseFilter::~CBaseFilter() = default;

STDMETHODIMP CBaseFilter::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IMediaFilter || iid == IID_IBaseFilter) {
        *object = static_cast<IBaseFilter*>(this);
    } else if (iid == IID_IAMovieSetup) {
        *object = static_cast<IAMovieSetup*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CBaseFilter::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CBaseFilter::Release() {
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) {
        delete this;
    }
    return static_cast<ULONG>(count);
}

STDMETHODIMP CBaseFilter::GetClassID(CLSID* clsid) {
    if (clsid == nullptr) {
        return E_POINTER;
    }
    *clsid = m_clsid;
    return S_OK;
}

STDMETHODIMP CBaseFilter::Stop() {
    CAutoLock lock(m_pLock);
    HRESULT result = S_OK;
    if (m_State != State_Stopped) {
        for (int i = 0; i < GetPinCount(); ++i) {
            CBasePin* pin = GetPin(i);
            if (pin != nullptr && pin->IsConnected()) {
                const HRESULT hr = pin->Inactive();
                if (FAILED(hr) && SUCCEEDED(result)) {
                    result = hr;
                }
            }
        }
    }
    m_State = State_Stopped;
    return result;
}

STDMETHODIMP CBaseFilter::Pause() {
    CAutoLock lock(m_pLock);
    if (m_State == State_Stopped) {
        for (int i = 0; i < GetPinCount(); ++i) {
            CBasePin* pin = GetPin(i);
            if (pin != nullptr && pin->IsConnected()) {
                const HRESULT hr = pin->Active();
                if (FAILED(hr)) {
                    return hr;
                }
            }
        }
    }
    m_State = State_Paused;
    return S_OK;
}

STDMETHODIMP CBaseFilter::Run(REFERENCE_TIME start) {
    CAutoLock lock(m_pLock);
    if (m_State == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr)) {
            return hr;
        }
    }
    m_tStart = start;
    if (m_State == State_Paused) {
        for (int i = 0; i < GetPinCount(); ++i) {
            CBasePin* pin = GetPin(i);
            if (pin != nullptr && pin->IsConnected()) {
                const HRESULT hr = pin->Run(start);
                if (FAILED(hr)) {
                    return hr;
                }
            }
        }
    }
    m_State = State_Running;
    return S_OK;
}

STDMETHODIMP CBaseFilter::GetState(DWORD, FILTER_STATE* state) {
    if (state == nullptr) {
        return E_POINTER;
    }
    *state = m_State;
    return S_OK;
}

STDMETHODIMP CBaseFilter::SetSyncSource(IReferenceClock* clock) {
    CAutoLock lock(m_pLock);
    m_pClock = clock;
    return S_OK;
}

STDMETHODIMP CBaseFilter::GetSyncSource(IReferenceClock** clock) {
    if (clock == nullptr) {
        return E_POINTER;
    }
    CAutoLock lock(m_pLock);
    return m_pClock.CopyTo(clock);
}

STDMETHODIMP CBaseFilter::EnumPins(IEnumPins** pins) {
    if (pins == nullptr) {
        return E_POINTER;
    }
    *pins = nullptr;
    ComPtr<IEnumPins> enumerator;
    try {
        enumerator = new CEnumPins(this);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *pins = enumerator.Detach();
    return S_OK;
}

STDMETHODIMP CBaseFilter::FindPin(LPCWSTR id, IPin** pin) {
    if (id == nullptr || pin == nullptr) {
        return E_POINTER;
    }
    CAutoLock lock(m_pLock);
    for (int i = 0; i < GetPinCount(); ++i) {
        CBasePin* candidate = GetPin(i);
        if (candidate != nullptr && candidate->Name() == id) {
            return ComPtr<IPin>(candidate).CopyTo(pin);
        }
    }
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP CBaseFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    std::memset(info->achName, 0, sizeof(info->achName));
    wcsncpy(info->achName, m_name.c_str(), sizeof(info->achName) / sizeof(info->achName[0]) - 1);
    // The filter's own pointer is weak; the caller's gets a reference.
    return ComPtr<IFilterGraph>(m_pGraph).CopyTo(&info->pGraph);
}

STDMETHODIMP CBaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) try {
    CAutoLock lock(m_pLock);
    m_pGraph = graph;
    m_pSink = nullptr;
    if (graph != nullptr) {
        ComPtr<IMediaEventSink> sink;
        if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(sink.GetAddressOf())))) {
            // Kept weak like the graph: the graph outlives its membership.
            m_pSink = sink.Get();
        }
        m_name = name != nullptr ? name : L"";
    }
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CBaseFilter::QueryVendorInfo(LPWSTR* vendorInfo) {
    if (vendorInfo != nullptr) {
        *vendorInfo = nullptr;
    }
    return E_NOTIMPL;
}

STDMETHODIMP CBaseFilter::Register() {
    return GetSetupData() == nullptr ? S_FALSE : E_NOTIMPL;
}

STDMETHODIMP CBaseFilter::Unregister() {
    return GetSetupData() == nullptr ? S_FALSE : E_NOTIMPL;
}

bool CBaseFilter::IsActive() {
    CAutoLock lock(m_pLock);
    return m_State != State_Stopped;
}

bool CBaseFilter::IsStopped() {
    return m_State == State_Stopped;
}

HRESULT CBaseFilter::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2) {
    if (m_pSink == nullptr) {
        return E_NOTIMPL;
    }
    return m_pSink->Notify(code, param1, param2);
}

HRESULT CBaseFilter::StreamTime(REFERENCE_TIME* time) {
    CAutoLock lock(m_pLock);
    if (!m_pClock) {
        return VFW_E_NO_CLOCK;
    }
    REFERENCE_TIME now = 0;
    const HRESULT hr = m_pClock->GetTime(&now);
    if (FAILED(hr)) {
        return hr;
    }
    *time = now - m_tStart;
    return S_OK;
}
