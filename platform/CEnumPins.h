#pragma once
// IEnumPins over the pins a filter had when the enumerator was made (our filters' pins are fixed).
//
// Thread use: one thread at a time per enumerator, as COM enumerators are used.

#include "platform/CBaseObject.h"

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <vector>

class CBaseFilter;

class CEnumPins : public IEnumPins, public CBaseObject {
public:
    explicit CEnumPins(CBaseFilter* filter);
    ~CEnumPins() override;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumPins** clone) override;

private:
    Microsoft::WRL::ComPtr<CBaseFilter> m_filter;
    std::vector<IPin*> m_pins; // the filter's, alive while it is
    size_t m_position = 0;
    LONG m_refCount = 0;
};
