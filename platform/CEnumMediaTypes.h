#pragma once
// IEnumMediaTypes over a pin's GetMediaType positions, asked as the enumeration goes, so a type that
// depends on another connection is current when it is fetched.
//
// Thread use: one thread at a time per enumerator, as COM enumerators are used.

#include "platform/CBaseObject.h"

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

class CBasePin;

class CEnumMediaTypes : public IEnumMediaTypes, public CBaseObject {
public:
    explicit CEnumMediaTypes(CBasePin* pin);
    ~CEnumMediaTypes() override;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** clone) override;

private:
    Microsoft::WRL::ComPtr<CBasePin> m_pin;
    int m_position = 0;
    LONG m_refCount = 0;
};
