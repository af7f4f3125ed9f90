#include "engine/GraphClock.h"

#include "platform/CBaseObject.h"
#include "tests/playback/TestFilters.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

// On Windows the audio renderer provides a clock and the graph picks it; no audio renderer exists here,
// so the sink provides one in the second case.
TEST(GraphClockTest, GraphsRunOnTheSharedClockUnlessAFilterProvidesOne) {
    ASSERT_NE(GetSharedSystemClock(), nullptr);
    EXPECT_EQ(GetSharedSystemClock(), GetSharedSystemClock());
    struct Case {
        const char* name;
        bool sinkHasClock;
        HRESULT given;
    };
    const Case cases[] = {{"no filter has a clock", false, S_OK}, {"the sink has a clock", true, S_FALSE}};
    for (const Case& c : cases) {
        ComPtr<CFakeClock> ownClock = new CFakeClock();
        {
            ComPtr<IGraphBuilder> graph;
            ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                                      IID_IGraphBuilder,
                                                      reinterpret_cast<void**>(graph.GetAddressOf())));
            ComPtr<CPushSource> source = new CPushSource(MakeRgbType(MEDIASUBTYPE_RGB24, 24, 16, 16));
            ComPtr<CCaptureSink> sink = new CCaptureSink();
            if (c.sinkHasClock) {
                sink->ProvideClock(ownClock.Get());
            }
            ASSERT_HRESULT_SUCCEEDED(graph->AddFilter(source.Get(), L"Push Source"));
            ASSERT_HRESULT_SUCCEEDED(graph->AddFilter(sink.Get(), L"Capture Sink"));
            ASSERT_HRESULT_SUCCEEDED(graph->ConnectDirect(source->Pin(), sink->Pin(), nullptr));
            EXPECT_EQ(UseSharedClockUnlessProvided(graph.Get()), c.given) << c.name;

            ComPtr<IMediaControl> control;
            ASSERT_HRESULT_SUCCEEDED(
                graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(control.GetAddressOf())));
            ASSERT_HRESULT_SUCCEEDED(control->Pause());
            IReferenceClock* expected =
                c.sinkHasClock ? static_cast<IReferenceClock*>(ownClock.Get()) : GetSharedSystemClock();
            EXPECT_EQ(SyncSourceOf(graph.Get()).Get(), expected) << c.name;
            ComPtr<IReferenceClock> sinkClock;
            EXPECT_HRESULT_SUCCEEDED(sink->GetSyncSource(sinkClock.GetAddressOf()));
            EXPECT_EQ(sinkClock.Get(), expected) << c.name << ": the graph hands its clock to its filters";
            ASSERT_HRESULT_SUCCEEDED(control->Stop());
        }
        EXPECT_EQ(CBaseObject::ObjectCount(), 0) << c.name;
    }
}

} // namespace
