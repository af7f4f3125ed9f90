#pragma once
// The base of our pins: IPin with the connection protocol (media-type agreement, connect, receive
// connection, disconnect), the segment of the last NewSegment, and IQualityControl. A pin lives
// inside its filter: its reference count is the filter's.
//
// Thread use: any thread; connection state is guarded by the filter's lock.

#include "platform/CBaseObject.h"
#include "foundation/CCritSec.h"
#include "platform/CMediaType.h"

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <string>

class CBaseFilter;

class CBasePin : public IPin, public IQualityControl, public CBaseObject {
public:
    CBasePin(CBaseFilter* filter, CCritSec* lock, const wchar_t* name, PIN_DIRECTION direction);
    ~CBasePin() override;

    // IUnknown (delegated to the filter)
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IPin
    STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
    STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    // IQualityControl
    STDMETHODIMP Notify(IBaseFilter* sender, Quality quality) override;
    STDMETHODIMP SetSink(IQualityControl* sink) override;

    // Connection hooks, called under the filter's lock.
    virtual HRESULT CheckMediaType(const CMediaType* type) = 0;
    virtual HRESULT SetMediaType(const CMediaType* type);
    virtual HRESULT CheckConnect(IPin* pin);
    virtual HRESULT BreakConnect();
    virtual HRESULT CompleteConnect(IPin* receivePin);
    // The types this pin proposes, by position: S_OK, VFW_S_NO_MORE_ITEMS past the last one.
    virtual HRESULT GetMediaType(int position, CMediaType* type);
    // GetMediaType under the filter's lock, for enumerators.
    HRESULT ProposeMediaType(int position, CMediaType* type);
    // State changes of the filter (only for connected pins).
    virtual HRESULT Active() { return S_OK; }
    virtual HRESULT Inactive() { return S_OK; }
    virtual HRESULT Run(REFERENCE_TIME) { return S_OK; }

    bool IsConnected() const { return m_Connected != nullptr; }
    IPin* GetConnected() const { return m_Connected.Get(); }
    const CMediaType& CurrentMediaType() const { return m_mt; }
    const std::wstring& Name() const { return m_name; }
    REFERENCE_TIME CurrentStartTime() const { return m_tStart; }
    REFERENCE_TIME CurrentStopTime() const { return m_tStop; }
    double CurrentRate() const { return m_dRate; }
    // Types offered by the other pin are tried after this pin's own ones.
    void SetTryMyTypesFirst(bool first) { m_bTryMyTypesFirst = first; }

protected:
    HRESULT AgreeMediaType(IPin* receivePin, const CMediaType* type);
    HRESULT TryMediaTypes(IPin* receivePin, const CMediaType* partial, IEnumMediaTypes* types);
    HRESULT AttemptConnection(IPin* receivePin, const CMediaType* type);
    void ClearConnection();

    CBaseFilter* m_pFilter;
    CCritSec* m_pLock;
    std::wstring m_name;
    PIN_DIRECTION m_dir;
    Microsoft::WRL::ComPtr<IPin> m_Connected;
    CMediaType m_mt;
    REFERENCE_TIME m_tStart = 0;
    REFERENCE_TIME m_tStop = MAXLONGLONG;
    double m_dRate = 1.0;
    IQualityControl* m_pQSink = nullptr; // weak, as the sink belongs to the graph
    bool m_bTryMyTypesFirst = false;
};
