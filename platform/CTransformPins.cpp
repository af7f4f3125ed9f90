#include "platform/CTransformPins.h"

#include "platform/CTransformFilter.h"

CTransformInputPin::CTransformInputPin(CTransformFilter* filter, CCritSec* lock, const wchar_t* name)
    : CBaseInputPin(filter, lock, name), m_pTransformFilter(filter) {}

STDMETHODIMP CTransformInputPin::Receive(IMediaSample* sample) {
    CAutoLock lock(&m_pTransformFilter->m_csReceive);
    const HRESULT hr = CBaseInputPin::Receive(sample);
    if (hr != S_OK) {
        return hr;
    }
    return m_pTransformFilter->Receive(sample);
}

STDMETHODIMP CTransformInputPin::EndOfStream() {
    CAutoLock lock(&m_pTransformFilter->m_csReceive);
    const HRESULT hr = CheckStreaming();
    if (hr != S_OK) {
        return hr;
    }
    return m_pTransformFilter->EndOfStream();
}

STDMETHODIMP CTransformInputPin::BeginFlush() {
    CAutoLock lock(m_pLock);
    if (!IsConnected() || !m_pTransformFilter->m_pOutput->IsConnected()) {
        return VFW_E_NOT_CONNECTED;
    }
    CBaseInputPin::BeginFlush();
    return m_pTransformFilter->BeginFlush();
}

STDMETHODIMP CTransformInputPin::EndFlush() {
    CAutoLock lock(m_pLock);
    if (!IsConnected() || !m_pTransformFilter->m_pOutput->IsConnected()) {
        return VFW_E_NOT_CONNECTED;
    }
    const HRESULT hr = m_pTransformFilter->EndFlush();
    CBaseInputPin::EndFlush();
    return hr;
}

STDMETHODIMP CTransformInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    CBasePin::NewSegment(start, stop, rate);
    return m_pTransformFilter->NewSegment(start, stop, rate);
}

HRESULT CTransformInputPin::CheckMediaType(const CMediaType* type) {
    return m_pTransformFilter->CheckInputType(type);
}

HRESULT CTransformInputPin::SetMediaType(const CMediaType* type) {
    const HRESULT hr = CBasePin::SetMediaType(type);
    if (FAILED(hr)) {
        return hr;
    }
    return m_pTransformFilter->SetMediaType(PINDIR_INPUT, type);
}

HRESULT CTransformInputPin::CheckConnect(IPin* pin) {
    const HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_INPUT, pin);
    if (FAILED(hr)) {
        return hr;
    }
    return CBaseInputPin::CheckConnect(pin);
}

HRESULT CTransformInputPin::BreakConnect() {
    m_pTransformFilter->BreakConnect(PINDIR_INPUT);
    return CBaseInputPin::BreakConnect();
}

HRESULT CTransformInputPin::CompleteConnect(IPin* receivePin) {
    const HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_INPUT, receivePin);
    if (FAILED(hr)) {
        return hr;
    }
    return CBaseInputPin::CompleteConnect(receivePin);
}

CTransformOutputPin::CTransformOutputPin(CTransformFilter* filter, CCritSec* lock, const wchar_t* name)
    : CBaseOutputPin(filter, lock, name), m_pTransformFilter(filter),
      m_position(static_cast<IPin*>(this), filter->m_pInput) {
    // Our output type follows from the input; a downstream proposal could differ in size.
    SetTryMyTypesFirst(true);
}

STDMETHODIMP CTransformOutputPin::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IMediaSeeking) {
        *object = static_cast<IMediaSeeking*>(&m_position);
        AddRef();
        return S_OK;
    }
    return CBaseOutputPin::QueryInterface(iid, object);
}

STDMETHODIMP CTransformOutputPin::Notify(IBaseFilter* sender, Quality quality) {
    if (m_pQSink != nullptr) {
        return m_pQSink->Notify(sender, quality);
    }
    const HRESULT hr = m_pTransformFilter->AlterQuality(quality);
    if (hr != S_FALSE) {
        return hr;
    }
    return m_pTransformFilter->m_pInput->PassNotify(quality);
}

HRESULT CTransformOutputPin::CheckMediaType(const CMediaType* type) {
    if (!m_pTransformFilter->m_pInput->IsConnected()) {
        return E_UNEXPECTED;
    }
    return m_pTransformFilter->CheckTransform(&m_pTransformFilter->m_pInput->CurrentMediaType(), type);
}

HRESULT CTransformOutputPin::SetMediaType(const CMediaType* type) {
    const HRESULT hr = CBasePin::SetMediaType(type);
    if (FAILED(hr)) {
        return hr;
    }
    return m_pTransformFilter->SetMediaType(PINDIR_OUTPUT, type);
}

HRESULT CTransformOutputPin::GetMediaType(int position, CMediaType* type) {
    return m_pTransformFilter->GetMediaType(position, type);
}

HRESULT CTransformOutputPin::CheckConnect(IPin* pin) {
    if (!m_pTransformFilter->m_pInput->IsConnected()) {
        return E_UNEXPECTED;
    }
    const HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_OUTPUT, pin);
    if (FAILED(hr)) {
        return hr;
    }
    return CBaseOutputPin::CheckConnect(pin);
}

HRESULT CTransformOutputPin::BreakConnect() {
    m_pTransformFilter->BreakConnect(PINDIR_OUTPUT);
    return CBaseOutputPin::BreakConnect();
}

HRESULT CTransformOutputPin::CompleteConnect(IPin* receivePin) {
    const HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_OUTPUT, receivePin);
    if (FAILED(hr)) {
        return hr;
    }
    return CBaseOutputPin::CompleteConnect(receivePin);
}

HRESULT CTransformOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    return m_pTransformFilter->DecideBufferSize(allocator, request);
}
