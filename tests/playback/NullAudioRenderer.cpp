#include "tests/playback/NullAudioRenderer.h"

#include "platform/CBaseFilter.h"
#include "platform/CBaseInputPin.h"
#include "platform/CPosPassThru.h"

#include <dshow.h>
#include <wrl/client.h>

#include <future>

using Microsoft::WRL::ComPtr;

namespace {

// {5B1E3C2A-7E0F-4F53-9C1D-2A6B8E4F1003}
const CLSID kNullAudioClsid = {0x5b1e3c2a, 0x7e0f, 0x4f53, {0x9c, 0x1d, 0x2a, 0x6b, 0x8e, 0x4f, 0x10, 0x03}};

class CNullAudioRenderer;

class CNullAudioPin : public CBaseInputPin {
public:
    CNullAudioPin(CNullAudioRenderer* filter, CCritSec* lock);

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (object != nullptr && iid == IID_IMediaSeeking) {
            *object = static_cast<IMediaSeeking*>(&m_position);
            AddRef();
            return S_OK;
        }
        return CBaseInputPin::QueryInterface(iid, object);
    }
    STDMETHODIMP EndOfStream() override;
    HRESULT CheckMediaType(const CMediaType* type) override {
        return type->majortype == MEDIATYPE_Audio ? S_OK : S_FALSE;
    }

    CPosPassThru m_position;
};

class CNullAudioRenderer : public CBaseFilter {
public:
    CNullAudioRenderer() : CBaseFilter(L"Null Audio Renderer", &m_lock, kNullAudioClsid) {
        m_pin = new CNullAudioPin(this, &m_lock);
    }
    ~CNullAudioRenderer() override { delete m_pin; }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        // The graph seeks through its renderers.
        if (object != nullptr && iid == IID_IMediaSeeking) {
            return m_pin->QueryInterface(iid, object);
        }
        return CBaseFilter::QueryInterface(iid, object);
    }
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int index) override { return index == 0 ? m_pin : nullptr; }
    void Complete() { NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this))); }

private:
    CCritSec m_lock;
    CNullAudioPin* m_pin;
};

CNullAudioPin::CNullAudioPin(CNullAudioRenderer* filter, CCritSec* lock)
    : CBaseInputPin(filter, lock, L"Audio Input"), m_position(static_cast<IPin*>(this), this) {}

STDMETHODIMP CNullAudioPin::EndOfStream() {
    static_cast<CNullAudioRenderer*>(m_pFilter)->Complete();
    return S_OK;
}

class CNullAudioFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        ComPtr<CNullAudioRenderer> renderer = new CNullAudioRenderer();
        return renderer->QueryInterface(iid, object);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

CNullAudioFactory g_factory;

} // namespace

NullAudioRegistration::NullAudioRegistration() {
    // The graph builder creates filters on a thread of its own in the multithreaded apartment; a
    // class object registered there is found from it.
    std::promise<DWORD> registered;
    std::future<DWORD> cookie = registered.get_future();
    m_classThread = std::thread([this, &registered] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        DWORD value = 0;
        if (FAILED(
                CoRegisterClassObject(kNullAudioClsid, &g_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &value))) {
            value = 0;
        }
        registered.set_value(value);
        std::unique_lock<std::mutex> guard(m_mutex);
        m_wake.wait(guard, [this] { return m_ending; });
        if (value != 0) {
            CoRevokeClassObject(value);
        }
        CoUninitialize();
    });
    m_classCookie = cookie.get();
    if (m_classCookie == 0) {
        return;
    }
    ComPtr<IFilterMapper2> mapper;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                reinterpret_cast<void**>(mapper.GetAddressOf())))) {
        return;
    }
    REGPINTYPES types = {&MEDIATYPE_Audio, &MEDIASUBTYPE_NULL};
    REGFILTERPINS2 pin = {};
    pin.dwFlags = REG_PINFLAG_B_RENDERER;
    pin.cInstances = 1;
    pin.nMediaTypes = 1;
    pin.lpMediaType = &types;
    REGFILTER2 filter = {};
    filter.dwVersion = 2;
    filter.dwMerit = MERIT_NORMAL;
    filter.cPins2 = 1;
    filter.rgPins2 = &pin;
    m_registered = SUCCEEDED(mapper->RegisterFilter(kNullAudioClsid, L"Null Audio Renderer", nullptr,
                                                    &CLSID_LegacyAmFilterCategory, nullptr, &filter));
}

NullAudioRegistration::~NullAudioRegistration() {
    ComPtr<IFilterMapper2> mapper;
    if (m_registered &&
        SUCCEEDED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                   reinterpret_cast<void**>(mapper.GetAddressOf())))) {
        mapper->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, kNullAudioClsid);
    }
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_ending = true;
    }
    m_wake.notify_all();
    m_classThread.join();
}
