#include "engine/GraphClock.h"

#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

bool AFilterProvidesAClock(IFilterGraph* graph) {
    ComPtr<IEnumFilters> filters;
    if (FAILED(graph->EnumFilters(filters.GetAddressOf()))) {
        return false;
    }
    ComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        ComPtr<IReferenceClock> clock;
        if (SUCCEEDED(filter.As(&clock))) {
            return true;
        }
    }
    return false;
}

} // namespace

IReferenceClock* GetSharedSystemClock() {
    // Deliberately never released, not even at exit: the release is what can hang.
    static IReferenceClock* const clock = [] {
        IReferenceClock* made = nullptr;
        if (FAILED(CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock,
                                    reinterpret_cast<void**>(&made)))) {
            made = nullptr;
        }
        return made;
    }();
    return clock;
}

HRESULT UseSharedClockUnlessProvided(IFilterGraph* graph) {
    if (graph == nullptr) {
        return E_POINTER;
    }
    if (AFilterProvidesAClock(graph)) {
        return S_FALSE;
    }
    IReferenceClock* clock = GetSharedSystemClock();
    if (clock == nullptr) {
        return E_FAIL;
    }
    ComPtr<IMediaFilter> mediaFilter;
    HRESULT hr = graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(mediaFilter.GetAddressOf()));
    if (FAILED(hr)) {
        return hr;
    }
    return mediaFilter->SetSyncSource(clock);
}
