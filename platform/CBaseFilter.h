#pragma once
// The base of our filters: IBaseFilter with its state machine (stopped, paused, running), the
// reference clock, the graph it joined, pin enumeration, and IAMovieSetup.
//
// Thread use: the COM methods may be called from any thread; the state is guarded by the lock given
// to the constructor, which the filter's pins share.

#include "platform/CBaseObject.h"
#include "foundation/CCritSec.h"

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <string>

class CBasePin;
// Registration data of a filter; our filters have none: they are created with new and added to a
// graph by the program, never registered.
struct AMOVIESETUP_FILTER;

class CBaseFilter : public IBaseFilter, public IAMovieSetup, public CBaseObject {
public:
    CBaseFilter(const wchar_t* name, CCritSec* lock, REFCLSID clsid);
    ~CBaseFilter() override;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IPersist
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** pins) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* vendorInfo) override;
    // IAMovieSetup
    STDMETHODIMP Register() override;
    STDMETHODIMP Unregister() override;

    virtual int GetPinCount() = 0;
    virtual CBasePin* GetPin(int index) = 0;
    // Registration data; null for a filter that is never registered.
    virtual const AMOVIESETUP_FILTER* GetSetupData() { return nullptr; }

    bool IsActive();
    bool IsStopped();
    // Sends an event to the graph's event sink; E_NOTIMPL outside a graph.
    HRESULT NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);
    // The clock's time less the start time of the last Run; VFW_E_NO_CLOCK without a clock.
    HRESULT StreamTime(REFERENCE_TIME* time);
    IFilterGraph* GetFilterGraph() const { return m_pGraph; }
    const std::wstring& GetName() const { return m_name; }

protected:
    CCritSec* m_pLock;
    FILTER_STATE m_State = State_Stopped;
    Microsoft::WRL::ComPtr<IReferenceClock> m_pClock;
    REFERENCE_TIME m_tStart = 0;
    // Weak: a filter never holds a reference on its graph, which holds the filter.
    IFilterGraph* m_pGraph = nullptr;
    IMediaEventSink* m_pSink = nullptr;
    std::wstring m_name;

private:
    CLSID m_clsid;
    LONG m_refCount = 0;
};
