#include "platform/CTransformFilter.h"

#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

CTransformFilter::CTransformFilter(const wchar_t* name, REFCLSID clsid) : CBaseFilter(name, &m_csFilter, clsid) {
    m_pInput = new CTransformInputPin(this, &m_csFilter, L"Input");
    m_pOutput = new CTransformOutputPin(this, &m_csFilter, L"Output");
}

CTransformFilter::~CTransformFilter() {
    delete m_pOutput;
    delete m_pInput;
}

CBasePin* CTransformFilter::GetPin(int index) {
    switch (index) {
    case 0:
        return m_pInput;
    case 1:
        return m_pOutput;
    default:
        return nullptr;
    }
}

STDMETHODIMP CTransformFilter::Stop() {
    CAutoLock lock(&m_csFilter);
    if (m_State == State_Stopped) {
        return S_OK;
    }
    if (!m_pInput->IsConnected() || !m_pOutput->IsConnected()) {
        m_State = State_Stopped;
        m_bEOSDelivered = false;
        return S_OK;
    }
    // The input first, so that no new sample starts while the receive lock is awaited.
    m_pInput->Inactive();
    CAutoLock receiveLock(&m_csReceive);
    m_pOutput->Inactive();
    const HRESULT hr = StopStreaming();
    if (SUCCEEDED(hr)) {
        m_State = State_Stopped;
        m_bEOSDelivered = false;
    }
    return hr;
}

STDMETHODIMP CTransformFilter::Pause() {
    CAutoLock lock(&m_csFilter);
    if (m_State == State_Paused) {
        return S_OK;
    }
    if (!m_pInput->IsConnected()) {
        // Nothing will ever arrive: let the renderer downstream complete.
        if (m_pOutput->IsConnected() && !m_bEOSDelivered) {
            m_pOutput->DeliverEndOfStream();
            m_bEOSDelivered = true;
        }
        m_State = State_Paused;
        return S_OK;
    }
    if (!m_pOutput->IsConnected()) {
        m_State = State_Paused;
        return S_OK;
    }
    if (m_State == State_Stopped) {
        CAutoLock receiveLock(&m_csReceive);
        const HRESULT hr = StartStreaming();
        if (FAILED(hr)) {
            return hr;
        }
    }
    return CBaseFilter::Pause();
}

HRESULT CTransformFilter::Transform(IMediaSample*, IMediaSample*) {
    return E_UNEXPECTED;
}

HRESULT CTransformFilter::SetMediaType(PIN_DIRECTION, const CMediaType*) {
    return S_OK;
}

HRESULT CTransformFilter::CheckConnect(PIN_DIRECTION, IPin*) {
    return S_OK;
}

HRESULT CTransformFilter::BreakConnect(PIN_DIRECTION) {
    return S_OK;
}

HRESULT CTransformFilter::CompleteConnect(PIN_DIRECTION, IPin*) {
    return S_OK;
}

HRESULT CTransformFilter::InitializeOutputSample(IMediaSample* input, IMediaSample** output) {
    const AM_SAMPLE2_PROPERTIES& props = m_pInput->SampleProps();
    const bool timed = (props.dwSampleFlags & AM_SAMPLE_TIMEVALID) != 0;
    REFERENCE_TIME start = props.tStart;
    REFERENCE_TIME stop = props.tStop;
    HRESULT hr = m_pOutput->GetDeliveryBuffer(output, timed ? &start : nullptr, timed ? &stop : nullptr, 0);
    if (FAILED(hr)) {
        return hr;
    }
    IMediaSample* sample = *output;
    if (timed) {
        sample->SetTime(&start, (props.dwSampleFlags & AM_SAMPLE_STOPVALID) ? &stop : nullptr);
    } else {
        sample->SetTime(nullptr, nullptr);
    }
    sample->SetSyncPoint((props.dwSampleFlags & AM_SAMPLE_SPLICEPOINT) ? TRUE : FALSE);
    sample->SetPreroll((props.dwSampleFlags & AM_SAMPLE_PREROLL) ? TRUE : FALSE);
    sample->SetDiscontinuity(((props.dwSampleFlags & AM_SAMPLE_DATADISCONTINUITY) || m_bSampleSkipped) ? TRUE : FALSE);
    LONGLONG mediaStart = 0;
    LONGLONG mediaStop = 0;
    if (input->GetMediaTime(&mediaStart, &mediaStop) == S_OK) {
        sample->SetMediaTime(&mediaStart, &mediaStop);
    } else {
        sample->SetMediaTime(nullptr, nullptr);
    }
    return S_OK;
}

HRESULT CTransformFilter::Receive(IMediaSample* sample) {
    if (m_pInput->SampleProps().dwStreamId != AM_STREAM_MEDIA) {
        return m_pOutput->Deliver(sample);
    }
    ComPtr<IMediaSample> output;
    HRESULT hr = InitializeOutputSample(sample, output.GetAddressOf());
    if (FAILED(hr)) {
        return hr;
    }
    hr = Transform(sample, output.Get());
    if (hr == S_OK) {
        m_bSampleSkipped = false;
        return m_pOutput->Deliver(output.Get());
    }
    if (hr == S_FALSE) {
        m_bSampleSkipped = true;
        return S_OK;
    }
    return hr;
}

HRESULT CTransformFilter::EndOfStream() {
    return m_pOutput->DeliverEndOfStream();
}

HRESULT CTransformFilter::BeginFlush() {
    return m_pOutput->DeliverBeginFlush();
}

HRESULT CTransformFilter::EndFlush() {
    return m_pOutput->DeliverEndFlush();
}

HRESULT CTransformFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    return m_pOutput->DeliverNewSegment(start, stop, rate);
}
