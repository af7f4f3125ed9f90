#include "platform/CBaseInputPin.h"

#include "platform/CBaseFilter.h"

#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

// Reads what IMediaSample2 gives, or the same through IMediaSample; keeps no pointer of the sample.
HRESULT ReadSampleProperties(IMediaSample* sample, AM_SAMPLE2_PROPERTIES& props, CMediaType& changedType) {
    props = {};
    props.cbData = sizeof(props);
    ComPtr<IMediaSample2> sample2;
    if (SUCCEEDED(sample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void**>(sample2.GetAddressOf())))) {
        const HRESULT hr = sample2->GetProperties(sizeof(props), reinterpret_cast<BYTE*>(&props));
        if (FAILED(hr)) {
            return hr;
        }
        if ((props.dwSampleFlags & AM_SAMPLE_TYPECHANGED) && props.pMediaType != nullptr) {
            changedType = *props.pMediaType;
        }
    } else {
        HRESULT hr = sample->GetTime(&props.tStart, &props.tStop);
        if (SUCCEEDED(hr)) {
            props.dwSampleFlags |= AM_SAMPLE_TIMEVALID;
            if (hr == S_OK) {
                props.dwSampleFlags |= AM_SAMPLE_STOPVALID;
            }
        }
        if (sample->IsSyncPoint() == S_OK) {
            props.dwSampleFlags |= AM_SAMPLE_SPLICEPOINT;
        }
        if (sample->IsPreroll() == S_OK) {
            props.dwSampleFlags |= AM_SAMPLE_PREROLL;
        }
        if (sample->IsDiscontinuity() == S_OK) {
            props.dwSampleFlags |= AM_SAMPLE_DATADISCONTINUITY;
        }
        props.lActual = sample->GetActualDataLength();
        props.cbBuffer = sample->GetSize();
        props.dwStreamId = AM_STREAM_MEDIA;
        AM_MEDIA_TYPE* type = nullptr;
        if (sample->GetMediaType(&type) == S_OK && type != nullptr) {
            props.dwSampleFlags |= AM_SAMPLE_TYPECHANGED;
            changedType = *type;
            DeleteMediaType(type);
        }
    }
    props.pbBuffer = nullptr;
    props.pMediaType = nullptr;
    return S_OK;
}

} // namespace

CBaseInputPin::CBaseInputPin(CBaseFilter* filter, CCritSec* lock, const wchar_t* name)
    : CBasePin(filter, lock, name, PINDIR_INPUT) {}

CBaseInputPin::~CBaseInputPin() = default;

STDMETHODIMP CBaseInputPin::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IMemInputPin) {
        *object = static_cast<IMemInputPin*>(this);
        AddRef();
        return S_OK;
    }
    return CBasePin::QueryInterface(iid, object);
}

STDMETHODIMP CBaseInputPin::GetAllocator(IMemAllocator** allocator) {
    if (allocator == nullptr) {
        return E_POINTER;
    }
    CAutoLock lock(m_pLock);
    if (!m_pAllocator) {
        const HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                            reinterpret_cast<void**>(m_pAllocator.ReleaseAndGetAddressOf()));
        if (FAILED(hr)) {
            *allocator = nullptr;
            return hr;
        }
    }
    return m_pAllocator.CopyTo(allocator);
}

STDMETHODIMP CBaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
    if (allocator == nullptr) {
        return E_POINTER;
    }
    CAutoLock lock(m_pLock);
    m_pAllocator = allocator;
    m_bReadOnly = readOnly != FALSE;
    return S_OK;
}

STDMETHODIMP CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) {
    return E_NOTIMPL;
}

HRESULT CBaseInputPin::CheckStreaming() {
    if (!IsConnected()) {
        return VFW_E_NOT_CONNECTED;
    }
    if (m_pFilter->IsStopped()) {
        return VFW_E_WRONG_STATE;
    }
    if (m_bFlushing) {
        return S_FALSE;
    }
    if (m_bRunTimeError) {
        return VFW_E_RUNTIME_ERROR;
    }
    return S_OK;
}

STDMETHODIMP CBaseInputPin::Receive(IMediaSample* sample) {
    if (sample == nullptr) {
        return E_POINTER;
    }
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) {
        return hr;
    }
    try {
        CMediaType changedType;
        hr = ReadSampleProperties(sample, m_SampleProps, changedType);
        if (FAILED(hr)) {
            return hr;
        }
        if (changedType.IsValid()) {
            if (CheckMediaType(&changedType) != S_OK) {
                m_bRunTimeError = true;
                m_pFilter->NotifyEvent(EC_ERRORABORT, VFW_E_TYPE_NOT_ACCEPTED, 0);
                return VFW_E_INVALIDMEDIATYPE;
            }
            hr = SetMediaType(&changedType);
            if (FAILED(hr)) {
                return hr;
            }
        }
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP CBaseInputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
    if (samples == nullptr || processed == nullptr) {
        return E_POINTER;
    }
    HRESULT hr = S_OK;
    *processed = 0;
    while (*processed < count) {
        hr = Receive(samples[*processed]);
        if (hr != S_OK) {
            break;
        }
        ++*processed;
    }
    return hr;
}

STDMETHODIMP CBaseInputPin::ReceiveCanBlock() {
    return S_OK;
}

STDMETHODIMP CBaseInputPin::BeginFlush() {
    m_bFlushing = true;
    return S_OK;
}

STDMETHODIMP CBaseInputPin::EndFlush() {
    m_bFlushing = false;
    m_bRunTimeError = false;
    return S_OK;
}

HRESULT CBaseInputPin::BreakConnect() {
    if (m_pAllocator) {
        m_pAllocator->Decommit();
        m_pAllocator.Reset();
    }
    return S_OK;
}

HRESULT CBaseInputPin::Inactive() {
    m_bRunTimeError = false;
    m_bFlushing = false;
    return m_pAllocator ? m_pAllocator->Decommit() : S_OK;
}

HRESULT CBaseInputPin::PassNotify(const Quality& quality) {
    ComPtr<IPin> upstream;
    if (FAILED(ConnectedTo(upstream.GetAddressOf()))) {
        return VFW_E_NOT_CONNECTED;
    }
    ComPtr<IQualityControl> control;
    const HRESULT hr = upstream.As(&control);
    if (FAILED(hr)) {
        return VFW_E_NOT_FOUND;
    }
    return control->Notify(m_pFilter, quality);
}
