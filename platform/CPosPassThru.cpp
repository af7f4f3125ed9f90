#include "platform/CPosPassThru.h"

#include "platform/CBasePin.h"

#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

CPosPassThru::CPosPassThru(IUnknown* outer, CBasePin* input) : m_outer(outer), m_input(input) {}

STDMETHODIMP CPosPassThru::QueryInterface(REFIID iid, void** object) {
    return m_outer->QueryInterface(iid, object);
}

STDMETHODIMP_(ULONG) CPosPassThru::AddRef() {
    return m_outer->AddRef();
}

STDMETHODIMP_(ULONG) CPosPassThru::Release() {
    return m_outer->Release();
}

HRESULT CPosPassThru::Upstream(IMediaSeeking** seeking) {
    *seeking = nullptr;
    ComPtr<IPin> upstream;
    if (FAILED(m_input->ConnectedTo(upstream.GetAddressOf()))) {
        return VFW_E_NOT_CONNECTED;
    }
    if (FAILED(upstream->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(seeking)))) {
        return E_NOTIMPL;
    }
    return S_OK;
}

#define VELA_PASS_UPSTREAM(call)                                                                                       \
    ComPtr<IMediaSeeking> seeking;                                                                                     \
    const HRESULT upstreamResult = Upstream(seeking.GetAddressOf());                                                   \
    if (FAILED(upstreamResult)) {                                                                                      \
        return upstreamResult;                                                                                         \
    }                                                                                                                  \
    return seeking->call

STDMETHODIMP CPosPassThru::GetCapabilities(DWORD* capabilities) {
    VELA_PASS_UPSTREAM(GetCapabilities(capabilities));
}

STDMETHODIMP CPosPassThru::CheckCapabilities(DWORD* capabilities) {
    VELA_PASS_UPSTREAM(CheckCapabilities(capabilities));
}

STDMETHODIMP CPosPassThru::IsFormatSupported(const GUID* format) {
    VELA_PASS_UPSTREAM(IsFormatSupported(format));
}

STDMETHODIMP CPosPassThru::QueryPreferredFormat(GUID* format) {
    VELA_PASS_UPSTREAM(QueryPreferredFormat(format));
}

STDMETHODIMP CPosPassThru::GetTimeFormat(GUID* format) {
    VELA_PASS_UPSTREAM(GetTimeFormat(format));
}

STDMETHODIMP CPosPassThru::IsUsingTimeFormat(const GUID* format) {
    VELA_PASS_UPSTREAM(IsUsingTimeFormat(format));
}

STDMETHODIMP CPosPassThru::SetTimeFormat(const GUID* format) {
    VELA_PASS_UPSTREAM(SetTimeFormat(format));
}

STDMETHODIMP CPosPassThru::GetDuration(LONGLONG* duration) {
    VELA_PASS_UPSTREAM(GetDuration(duration));
}

STDMETHODIMP CPosPassThru::GetStopPosition(LONGLONG* stop) {
    VELA_PASS_UPSTREAM(GetStopPosition(stop));
}

STDMETHODIMP CPosPassThru::GetCurrentPosition(LONGLONG* current) {
    VELA_PASS_UPSTREAM(GetCurrentPosition(current));
}

STDMETHODIMP CPosPassThru::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                             const GUID* sourceFormat) {
    VELA_PASS_UPSTREAM(ConvertTimeFormat(target, targetFormat, source, sourceFormat));
}

STDMETHODIMP CPosPassThru::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
    VELA_PASS_UPSTREAM(SetPositions(current, currentFlags, stop, stopFlags));
}

STDMETHODIMP CPosPassThru::GetPositions(LONGLONG* current, LONGLONG* stop) {
    VELA_PASS_UPSTREAM(GetPositions(current, stop));
}

STDMETHODIMP CPosPassThru::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
    VELA_PASS_UPSTREAM(GetAvailable(earliest, latest));
}

STDMETHODIMP CPosPassThru::SetRate(double rate) {
    VELA_PASS_UPSTREAM(SetRate(rate));
}

STDMETHODIMP CPosPassThru::GetRate(double* rate) {
    VELA_PASS_UPSTREAM(GetRate(rate));
}

STDMETHODIMP CPosPassThru::GetPreroll(LONGLONG* preroll) {
    VELA_PASS_UPSTREAM(GetPreroll(preroll));
}

#undef VELA_PASS_UPSTREAM
