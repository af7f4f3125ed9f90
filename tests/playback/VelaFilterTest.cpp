#include "engine/CVelaFilter.h"

#include "engine/CommentControl.h"
#include "engine/CommentLayout.h"
#include "engine/CommentXml.h"
#include "engine/FrameCommentDrawing.h"
#include "engine/FrameRenderer.h"
#include "engine/GraphClock.h"
#include "foundation/AppSettings.h"
#include "foundation/CCritSec.h"
#include "foundation/Handles.h"
#include "platform/CBaseObject.h"
#include "tests/playback/TestFilters.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <wrl/client.h>

#include <atomic>
#include <thread>

using Microsoft::WRL::ComPtr;
using testing_support::PumpMessagesFor;
using testing_support::PumpMessagesUntil;

namespace {

constexpr REFERENCE_TIME kMs = 10000;

// The pixel (x, y), counted from the top, of a bottom-up RGB24 frame.
const BYTE* PixelAt(const std::vector<BYTE>& frame, LONG width, LONG height, LONG x, LONG y) {
    const LONG stride = DibStride(width, 24);
    return frame.data() + static_cast<size_t>(height - 1 - y) * stride + static_cast<size_t>(x) * 3;
}

// The filter with a look at its receive lock: held while a sample is inside Receive.
class ProbedVelaFilter : public CVelaFilter {
public:
    using CVelaFilter::CVelaFilter;
    bool IsReceiving() {
        CTryLock free(m_csReceive);
        return !free;
    }
};

// Push source → "Vela Filter" → capture sink, connected in a real filter graph that runs on the
// process's shared clock (a clock of its own could hang the graph's release).
class VelaFilterGraphTest : public ::testing::Test {
protected:
    void SetUp() override { m_savedSettings = GetAppSettings(); }

    void Build(const CMediaType& sourceType, int32_t outputWidth, int32_t outputHeight) {
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                                  reinterpret_cast<void**>(m_graph.GetAddressOf())));
        ASSERT_HRESULT_SUCCEEDED(m_graph.As(&m_control));
        m_source = new CPushSource(sourceType);
        m_probe = new ProbedVelaFilter(L"Vela Filter", outputWidth, outputHeight);
        m_vela = m_probe;
        m_vela->SetDrawCallback(m_renderer.Callback());
        m_sink = new CCaptureSink();
        ASSERT_HRESULT_SUCCEEDED(m_graph->AddFilter(m_source.Get(), L"Push Source"));
        ASSERT_HRESULT_SUCCEEDED(m_graph->AddFilter(m_vela.Get(), L"Vela Filter"));
        ASSERT_HRESULT_SUCCEEDED(m_graph->AddFilter(m_sink.Get(), L"Capture Sink"));
        ASSERT_HRESULT_SUCCEEDED(m_graph->ConnectDirect(m_source->Pin(), m_vela->GetPin(0), nullptr));
        ASSERT_HRESULT_SUCCEEDED(m_graph->ConnectDirect(m_vela->GetPin(1), m_sink->Pin(), nullptr));
        ASSERT_EQ(UseSharedClockUnlessProvided(m_graph.Get()), S_OK);
    }

    void TearDown() override {
        if (m_control) {
            m_control->Stop();
        }
        m_control.Reset();
        m_probe = nullptr;
        m_vela.Reset();
        m_source.Reset();
        m_sink.Reset();
        m_graph.Reset();
        m_renderer.SetCommentDrawing(DrawComments);
        GetCommentControl().ClearComments();
        GetAppSettings() = m_savedSettings;
        // Every filter, pin and enumerator of ours is released with the graph.
        EXPECT_EQ(CBaseObject::ObjectCount(), 0);
    }

    bool WaitForFrames(size_t count) {
        return PumpMessagesUntil([&] { return m_sink->Pin()->FrameCount() >= count; }, 5000);
    }
    bool WaitForResults(size_t count, DWORD timeoutMs = 5000) {
        return PumpMessagesUntil([&] { return m_source->Pin()->Results().size() >= count; }, timeoutMs);
    }

    ComPtr<IGraphBuilder> m_graph;
    ComPtr<IMediaControl> m_control;
    ComPtr<CPushSource> m_source;
    ComPtr<CVelaFilter> m_vela;
    ProbedVelaFilter* m_probe = nullptr; // m_vela's object
    ComPtr<CCaptureSink> m_sink;
    CFrameRenderer m_renderer{GetAppSettings()};

private:
    AppSettings m_savedSettings;
};

TEST(VelaFilterTypeTest, InputTypesAreRgbBottomUpVideoInfoOnly) {
    struct Case {
        const char* name;
        CMediaType type;
        HRESULT expected;
    };
    CMediaType audio = MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96);
    audio.SetType(&MEDIATYPE_Audio);
    CMediaType videoInfo2 = MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96);
    videoInfo2.SetFormatType(&FORMAT_VideoInfo2);
    const Case cases[] = {
        {"RGB24", MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96), S_OK},
        {"RGB32", MakeRgbType(MEDIASUBTYPE_RGB32, 32, 640, 360), S_OK},
        {"RGB565", MakeRgbType(MEDIASUBTYPE_RGB565, 16, 640, 360), VFW_E_TYPE_NOT_ACCEPTED},
        {"top-down", MakeRgbType(MEDIASUBTYPE_RGB32, 32, 640, 360, true), VFW_E_TYPE_NOT_ACCEPTED},
        {"VideoInfo2", videoInfo2, VFW_E_TYPE_NOT_ACCEPTED},
        {"audio", audio, VFW_E_TYPE_NOT_ACCEPTED},
        {"no width", MakeRgbType(MEDIASUBTYPE_RGB24, 24, 0, 96), VFW_E_TYPE_NOT_ACCEPTED},
        {"oversized", MakeRgbType(MEDIASUBTYPE_RGB32, 32, 100000, 100000), VFW_E_TYPE_NOT_ACCEPTED},
    };
    ComPtr<CVelaFilter> filter = new CVelaFilter(L"Vela Filter", 0, 0);
    for (const Case& c : cases) {
        EXPECT_EQ(filter->CheckInputType(&c.type), c.expected) << c.name;
    }
    EXPECT_EQ(filter->CheckInputType(nullptr), E_POINTER);

    // Without a connected input there is nothing to offer, and nothing to redraw into.
    CMediaType offered;
    EXPECT_EQ(filter->GetMediaType(0, &offered), E_UNEXPECTED);
    EXPECT_EQ(filter->FlushAndRedraw(0), VFW_E_NOT_CONNECTED);
}

TEST_F(VelaFilterGraphTest, OutputTypeFollowsInputWithPaddedRows) {
    struct Case {
        int32_t overrideWidth, overrideHeight;
        LONG width, height;
    };
    const Case cases[] = {{0, 0, 171, 96}, {512, 384, 512, 384}};
    for (const Case& c : cases) {
        Build(MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96), c.overrideWidth, c.overrideHeight);
        CMediaType first;
        CMediaType second;
        ASSERT_EQ(m_vela->GetMediaType(0, &first), S_OK);
        ASSERT_EQ(m_vela->GetMediaType(1, &second), S_OK);
        EXPECT_TRUE(first == second);
        EXPECT_EQ(first.subtype, MEDIASUBTYPE_RGB24);
        const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(first.pbFormat);
        EXPECT_EQ(info->bmiHeader.biWidth, c.width);
        EXPECT_EQ(info->bmiHeader.biHeight, c.height);
        // Rows of 24-bit pixels are padded to whole DWORDs: 171 pixels take 516 bytes, not 513.
        EXPECT_EQ(info->bmiHeader.biSizeImage, static_cast<DWORD>(DibStride(c.width, 24) * c.height));
        EXPECT_EQ(first.lSampleSize, info->bmiHeader.biSizeImage);
        EXPECT_EQ(info->rcTarget.right, c.width);
        EXPECT_EQ(info->AvgTimePerFrame, 400000);
        EXPECT_EQ(m_vela->GetMediaType(2, &first), VFW_S_NO_MORE_ITEMS);
        EXPECT_EQ(m_vela->GetMediaType(-1, &first), E_INVALIDARG);
        EXPECT_EQ(m_vela->GetMediaType(0, nullptr), E_POINTER);
        // The sink got our type for the connection.
        EXPECT_TRUE(m_sink->Pin()->CurrentMediaType() == first);
        TearDown();
    }
}

TEST_F(VelaFilterGraphTest, TransformNeedsTheMatchingRgbSubtype) {
    Build(MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96), 0, 0);
    const CMediaType input = MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96);
    struct Case {
        const char* name;
        CMediaType output;
        HRESULT expected;
    };
    CMediaType audio = MakeRgbType(MEDIASUBTYPE_RGB24, 24, 512, 384);
    audio.SetType(&MEDIATYPE_Audio);
    const Case cases[] = {
        {"RGB24 at another size", MakeRgbType(MEDIASUBTYPE_RGB24, 24, 512, 384), S_OK},
        {"RGB32 for a 24-bit input", MakeRgbType(MEDIASUBTYPE_RGB32, 32, 171, 96), VFW_E_TYPE_NOT_ACCEPTED},
        {"top-down", MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96, true), VFW_E_TYPE_NOT_ACCEPTED},
        {"audio", audio, VFW_E_TYPE_NOT_ACCEPTED},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(m_vela->CheckTransform(&input, &c.output), c.expected) << c.name;
    }
    const CMediaType refused = MakeRgbType(MEDIASUBTYPE_RGB565, 16, 171, 96);
    EXPECT_EQ(m_vela->CheckTransform(&refused, &cases[0].output), VFW_E_TYPE_NOT_ACCEPTED);
}

std::atomic<int32_t> g_drawnPosition{-1};

// Draws a white 4 × 4 block at (2, 3) from the top left, as the comment drawing draws into the frame.
int32_t DrawMarker(const FrameBits& frame, int32_t positionMs, const POINT*) {
    g_drawnPosition = positionMs;
    const int bytes = frame.bitCount / 8;
    for (int y = 3; y < 7; ++y) {
        memset(frame.top + y * frame.stride + 2 * bytes, 0xFF, static_cast<size_t>(4 * bytes));
    }
    return -1;
}

TEST_F(VelaFilterGraphTest, DeliveredFramesAreLetterboxedInOurTypeWithoutTimes) {
    Build(MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96), 512, 384);
    m_renderer.SetCommentDrawing(DrawMarker);
    ASSERT_HRESULT_SUCCEEDED(m_control->Run());
    PushFrame frame;
    frame.fill = 0xC8;
    m_source->Pin()->Push(frame);
    // The streaming thread draws the first frame itself; later ones come from Draw.
    ASSERT_TRUE(WaitForFrames(1));
    EXPECT_EQ(m_vela->Draw(1234, false), S_OK);
    ASSERT_TRUE(WaitForFrames(2));
    EXPECT_EQ(g_drawnPosition, 1234);

    for (const CapturedFrame& captured : m_sink->Pin()->Frames()) {
        ASSERT_TRUE(captured.hasType);
        EXPECT_EQ(captured.type.subtype, MEDIASUBTYPE_RGB24);
        const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(captured.type.pbFormat);
        EXPECT_EQ(info->bmiHeader.biWidth, 512);
        EXPECT_EQ(info->bmiHeader.biHeight, 384);
        EXPECT_EQ(captured.timeResult, VFW_E_SAMPLE_TIME_NOT_SET);
        ASSERT_EQ(captured.bytes.size(), static_cast<size_t>(1536 * 384));
        // 171 × 96 fitted into 512 × 384 fills rows 48 to 334; the bars stay black.
        EXPECT_EQ(*PixelAt(captured.bytes, 512, 384, 256, 10), 0);
        EXPECT_EQ(*PixelAt(captured.bytes, 512, 384, 256, 190), 0xC8);
        EXPECT_EQ(*PixelAt(captured.bytes, 512, 384, 256, 370), 0);
        // The drawing's rows run from the top.
        EXPECT_EQ(*PixelAt(captured.bytes, 512, 384, 3, 4), 0xFF);
        EXPECT_EQ(*PixelAt(captured.bytes, 512, 384, 10, 4), 0);
        EXPECT_EQ(*PixelAt(captured.bytes, 512, 384, 3, 380), 0);
    }
}

TEST_F(VelaFilterGraphTest, DeliveredFramesCarryTheCommentsAtTheLayoutsPlaces) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"vela-filter-comments.xml";
    CommentDocument document;
    ChatData chat;
    chat.vpos = 100;
    chat.mail = L"ue red";
    chat.text = L"赤いコメント";
    document.chats = {chat};
    ASSERT_TRUE(WriteCommentXml(path, document));
    CommentControl& store = GetCommentControl();
    store.SetFrameSize(512, 384);
    const bool loaded = store.LoadCommentFile(path);
    DeleteFileW(path.c_str());
    ASSERT_TRUE(loaded);
    CommentLayout layout;
    layout.SetFrameSize(512, 384);
    std::vector<VisibleComment> visible;
    layout.GetVisibleComments(store, 1500, visible);
    ASSERT_EQ(visible.size(), 1u);
    const VisibleComment box = visible[0];

    Build(MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96), 512, 384);
    ASSERT_HRESULT_SUCCEEDED(m_control->Run());
    PushFrame frame;
    frame.fill = 0x40;
    m_source->Pin()->Push(frame);
    ASSERT_TRUE(WaitForFrames(1));
    EXPECT_EQ(m_vela->Draw(1500, false), S_OK);
    ASSERT_TRUE(WaitForFrames(2));
    const CapturedFrame captured = m_sink->Pin()->Frames()[1];
    ASSERT_EQ(captured.bytes.size(), static_cast<size_t>(1536 * 384));
    int redInside = 0;
    int redOutside = 0;
    for (LONG y = 0; y < 384; ++y) {
        for (LONG x = 0; x < 512; ++x) {
            const BYTE* p = PixelAt(captured.bytes, 512, 384, x, y);
            if (p[2] > 200 && p[1] < 60 && p[0] < 60) {
                const bool inside = x >= box.x && x < box.x + box.width && y >= box.y && y < box.y + box.height;
                ++(inside ? redInside : redOutside);
            }
        }
    }
    EXPECT_GT(redInside, 50);
    EXPECT_EQ(redOutside, 0);
}

TEST_F(VelaFilterGraphTest, SameSizeFramesKeepTheirBytes) {
    for (bool viewComment : {false, true}) {
        GetAppSettings().ViewComment = viewComment;
        Build(MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96), 0, 0);
        ASSERT_HRESULT_SUCCEEDED(m_control->Run());
        PushFrame frame;
        frame.fill = 0x5A;
        m_source->Pin()->Push(frame);
        ASSERT_TRUE(WaitForFrames(1));
        const CapturedFrame captured = m_sink->Pin()->Frames()[0];
        EXPECT_EQ(captured.bytes, std::vector<BYTE>(static_cast<size_t>(516 * 96), 0x5A)) << viewComment;
        TearDown();
    }
}

TEST_F(VelaFilterGraphTest, MediaTimesGoThroughOnlyWhenTheSampleHasThem) {
    Build(MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96), 0, 0);
    ASSERT_HRESULT_SUCCEEDED(m_control->Run());
    PushFrame withTimes;
    withTimes.hasMediaTime = true;
    withTimes.mediaStart = 100;
    withTimes.mediaStop = 200;
    m_source->Pin()->Push(withTimes);
    ASSERT_TRUE(WaitForFrames(1));
    PushFrame without;
    without.start = 40 * kMs;
    without.stop = 80 * kMs;
    m_source->Pin()->Push(without);
    ASSERT_TRUE(WaitForResults(2));
    EXPECT_EQ(m_vela->GetHeldMediaStart(), -1);
    EXPECT_EQ(m_vela->GetHeldMediaStop(), -1);
    EXPECT_EQ(m_vela->Draw(40, false), S_OK);
    ASSERT_TRUE(WaitForFrames(2));

    const std::vector<CapturedFrame> frames = m_sink->Pin()->Frames();
    EXPECT_EQ(frames[0].mediaTimeResult, S_OK);
    EXPECT_EQ(frames[0].mediaStart, 100);
    EXPECT_EQ(frames[0].mediaStop, 200);
    EXPECT_EQ(frames[1].mediaTimeResult, VFW_E_MEDIA_TIME_NOT_SET);
}

TEST_F(VelaFilterGraphTest, NothingIsDrawnBeforeAFrameIsHeld) {
    Build(MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96), 0, 0);
    ASSERT_HRESULT_SUCCEEDED(m_control->Pause());
    EXPECT_EQ(m_vela->Draw(0, false), E_FAIL);
    EXPECT_EQ(m_vela->Draw(0, true), E_POINTER);
    EXPECT_EQ(m_sink->Pin()->FrameCount(), 0u);
}

TEST_F(VelaFilterGraphTest, PauseHoldsTheStreamingThreadUntilAFlushOrStop) {
    Build(MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96), 0, 0);
    ASSERT_HRESULT_SUCCEEDED(m_control->Pause());
    m_source->Pin()->Push(PushFrame());
    // The first frame is shown while paused...
    ASSERT_TRUE(WaitForFrames(1));
    // ...and the sample's Receive stays blocked until the graph runs, flushes or stops.
    PumpMessagesFor(300);
    EXPECT_TRUE(m_source->Pin()->Results().empty());
    // A flush (a seek upstream) releases it; the next sample is shown and held again.
    ComPtr<IPin> input = m_vela->GetPin(0);
    input->BeginFlush();
    input->EndFlush();
    ASSERT_TRUE(WaitForResults(1));
    m_source->Pin()->Push(PushFrame());
    ASSERT_TRUE(WaitForFrames(2));
    PumpMessagesFor(300);
    EXPECT_EQ(m_source->Pin()->Results().size(), 1u);
    ASSERT_HRESULT_SUCCEEDED(m_control->Stop());
    EXPECT_EQ(m_source->Pin()->Results(), (std::vector<HRESULT>{S_OK, VFW_E_STATE_CHANGED}));
}

// A seek's flush that overtakes a sample on its way (held up here at the copy by a drawing that holds
// the frame) must leave the first-frame flag clear: the sample is of before the seek, and the first
// sample after it is the one to be drawn at once (while paused nothing else would show it).
TEST_F(VelaFilterGraphTest, FlushThatOvertakesASampleLeavesTheFirstFrameToTheNextOne) {
    struct Case {
        const char* name;
        bool resumesWhileFlushing;
    };
    const Case cases[] = {{"sample resumes while flushing", true}, {"sample resumes after the flush", false}};
    for (const Case& c : cases) {
        Build(MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96), 0, 0);
        ASSERT_HRESULT_SUCCEEDED(m_control->Run());
        // Without times: no sample waits for the clock and no drawing is dropped as late.
        PushFrame before;
        before.timed = false;
        before.fill = 0x11;
        m_source->Pin()->Push(before);
        ASSERT_TRUE(WaitForFrames(1)) << c.name;
        ASSERT_TRUE(WaitForResults(1)) << c.name;

        CEventHandle gate = CreateEventOrThrow(true, false);
        std::atomic<bool> drawing{false};
        DrawFrameCallbackFn render = m_renderer.Callback();
        m_vela->SetDrawCallback([&](const BYTE* held, BYTE* output, int32_t ms, CVelaFilter* filter) {
            drawing = true;
            WaitForSingleObject(gate.Get(), 10000);
            return render(held, output, ms, filter);
        });
        std::thread drawer([&] { m_vela->Draw(0, true); });
        ASSERT_TRUE(PumpMessagesUntil([&] { return drawing.load(); })) << c.name;
        PushFrame overtaken = before;
        overtaken.fill = 0x22;
        m_source->Pin()->Push(overtaken);
        ASSERT_TRUE(PumpMessagesUntil([&] { return m_probe->IsReceiving(); })) << c.name;
        // Past the pin's check of the flush, the sample waits for the frame the drawing holds.
        PumpMessagesFor(100);

        ComPtr<IPin> input = m_vela->GetPin(0);
        input->BeginFlush();
        if (!c.resumesWhileFlushing) {
            input->EndFlush();
        }
        SetEvent(gate.Get());
        EXPECT_TRUE(WaitForResults(2)) << c.name;
        if (c.resumesWhileFlushing) {
            input->EndFlush();
        }
        drawer.join();
        EXPECT_FALSE(m_vela->IsFirstFrameHeld()) << c.name;

        m_vela->SetDrawCallback(render);
        const size_t delivered = m_sink->Pin()->FrameCount();
        PushFrame after = before;
        after.fill = 0x33;
        m_source->Pin()->Push(after);
        ASSERT_TRUE(WaitForFrames(delivered + 1)) << c.name;
        EXPECT_TRUE(m_vela->IsFirstFrameHeld()) << c.name;
        const std::vector<CapturedFrame> frames = m_sink->Pin()->Frames();
        EXPECT_EQ(frames.back().bytes, std::vector<BYTE>(static_cast<size_t>(516 * 96), 0x33)) << c.name;
        for (const CapturedFrame& frame : frames) {
            EXPECT_FALSE(!frame.bytes.empty() && frame.bytes[0] == 0x22)
                << c.name << ": the overtaken sample was shown";
        }
        input.Reset();
        TearDown();
    }
}

// A renderer's end of stream may ask upstream for the stop position (Wine's does), through this
// filter's pins and so its filter lock. A stop under way meanwhile must not hold that lock while it
// waits for the streaming thread.
TEST_F(VelaFilterGraphTest, StopWhileTheRendererEndsTheStreamFinishes) {
    Build(MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96), 0, 0);
    const CEventHandle ending = CreateEventOrThrow(true, false);
    const CEventHandle release = CreateEventOrThrow(true, false);
    m_sink->Pin()->SetEndOfStreamHook([&] {
        SetEvent(ending.Get());
        WaitForSingleObject(release.Get(), 10000);
        ComPtr<IPin> upstream;
        ComPtr<IMediaSeeking> seeking;
        LONGLONG stop = 0;
        if (SUCCEEDED(m_sink->Pin()->ConnectedTo(upstream.GetAddressOf())) && SUCCEEDED(upstream.As(&seeking))) {
            seeking->GetStopPosition(&stop);
        }
    });
    ASSERT_HRESULT_SUCCEEDED(m_control->Run());
    PushFrame end;
    end.endOfStream = true;
    m_source->Pin()->Push(end);
    ASSERT_TRUE(PumpMessagesUntil([&] { return WaitForSingleObject(ending.Get(), 0) == WAIT_OBJECT_0; }));
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        m_control->Stop();
        stopped = true;
    });
    // The stop reaches this filter before the renderer asks back.
    PumpMessagesFor(200);
    SetEvent(release.Get());
    const bool prompt = PumpMessagesUntil([&] { return stopped.load(); }, 5000);
    EXPECT_TRUE(prompt) << "the stop and the end of stream wait for each other";
    if (!prompt) {
        stopper.detach();
        return;
    }
    stopper.join();
    m_sink->Pin()->SetEndOfStreamHook(nullptr);
}

TEST_F(VelaFilterGraphTest, StopAndFlushDoNotWaitForASampleFarAhead) {
    struct Case {
        const char* name;
        bool stop;
        HRESULT expected;
    };
    const Case cases[] = {{"stop", true, VFW_E_STATE_CHANGED}, {"flush", false, S_OK}};
    for (const Case& c : cases) {
        Build(MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96), 0, 0);
        ASSERT_HRESULT_SUCCEEDED(m_control->Run());
        PushFrame farAhead;
        farAhead.start = 3600LL * 1000 * kMs;
        farAhead.stop = farAhead.start + 40 * kMs;
        m_source->Pin()->Push(farAhead);
        ASSERT_TRUE(WaitForFrames(1)) << c.name;
        PumpMessagesFor(100);
        ASSERT_TRUE(m_source->Pin()->Results().empty()) << c.name << ": the sample should wait for its time";
        if (c.stop) {
            std::atomic<bool> stopped{false};
            std::thread stopper([&] {
                m_control->Stop();
                stopped = true;
            });
            const bool prompt = PumpMessagesUntil([&] { return stopped.load(); }, 5000);
            EXPECT_TRUE(prompt) << "Stop waited for the sample's time";
            if (!prompt) {
                stopper.detach();
                return;
            }
            stopper.join();
        } else {
            ComPtr<IPin> input = m_vela->GetPin(0);
            input->BeginFlush();
            EXPECT_TRUE(WaitForResults(1, 5000)) << "BeginFlush left the sample waiting";
            input->EndFlush();
        }
        ASSERT_EQ(m_source->Pin()->Results().size(), 1u) << c.name;
        EXPECT_EQ(m_source->Pin()->Results()[0], c.expected) << c.name;
        TearDown();
    }
}

TEST_F(VelaFilterGraphTest, LateSamplesAfterTheFirstSecondAskUpstreamToFloodAndAreNotDrawn) {
    Build(MakeRgbType(MEDIASUBTYPE_RGB24, 24, 171, 96), 0, 0);
    ComPtr<CFakeClock> clock = new CFakeClock();
    ComPtr<IMediaFilter> graphFilter;
    ASSERT_HRESULT_SUCCEEDED(
        m_graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(graphFilter.GetAddressOf())));
    ASSERT_HRESULT_SUCCEEDED(graphFilter->SetSyncSource(clock.Get()));
    ASSERT_HRESULT_SUCCEEDED(m_control->Run());
    // The stream's start on the clock, as the graph chose it.
    REFERENCE_TIME sinceStart = 0;
    ASSERT_TRUE(PumpMessagesUntil([&] { return SUCCEEDED(m_vela->GetSampleLateness(0, &sinceStart)); }));
    const REFERENCE_TIME start = clock->Time() - sinceStart;

    clock->SetTime(start + 1700 * kMs);
    PushFrame early;
    early.start = 500 * kMs;
    early.stop = 540 * kMs;
    m_source->Pin()->Push(early);
    ASSERT_TRUE(WaitForResults(1));
    EXPECT_TRUE(m_source->Pin()->Notices().empty()) << "a sample of the first second is never reported";

    clock->SetTime(start + 2300 * kMs);
    PushFrame late;
    late.start = 1000 * kMs;
    late.stop = 1040 * kMs;
    m_source->Pin()->Push(late);
    ASSERT_TRUE(WaitForResults(2));
    const std::vector<Quality> notices = m_source->Pin()->Notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].Type, Flood);
    EXPECT_EQ(notices[0].Proportion, 500);
    EXPECT_EQ(notices[0].Late, 1300 * kMs);
    EXPECT_EQ(notices[0].TimeStamp, 1000 * kMs);
    // A frame more than 500 ms late is dropped while running.
    const size_t delivered = m_sink->Pin()->FrameCount();
    EXPECT_EQ(m_vela->Draw(1000, false), S_FALSE);
    EXPECT_EQ(m_sink->Pin()->FrameCount(), delivered);

    // A sample ahead of the clock waits for it, unreported.
    PushFrame ahead;
    ahead.start = 2500 * kMs;
    ahead.stop = 2540 * kMs;
    m_source->Pin()->Push(ahead);
    ASSERT_TRUE(PumpMessagesUntil([&] { return clock->PendingAdvises() == 1; }));
    EXPECT_EQ(m_source->Pin()->Results().size(), 2u);
    clock->SetTime(start + 2500 * kMs);
    ASSERT_TRUE(WaitForResults(3));
    EXPECT_EQ(m_source->Pin()->Notices().size(), 1u);
}

} // namespace
