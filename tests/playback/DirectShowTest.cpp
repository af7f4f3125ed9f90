#include "engine/CDirectShow.h"
#include "engine/FrameCommentDrawing.h"
#include "engine/GraphClock.h"

#include "foundation/AppSettings.h"
#include "foundation/Exception.h"
#include "foundation/PathUtil.h"
#include "platform/CBaseObject.h"
#include "tests/playback/MediaFiles.h"
#include "tests/playback/NullAudioRenderer.h"
#include "tests/playback/PlayerWindow.h"
#include "tests/playback/TestFilters.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <wrl/client.h>

#include <atomic>
#include <functional>

using Microsoft::WRL::ComPtr;
using testing_support::PumpMessagesFor;
using testing_support::PumpMessagesUntil;

namespace {

std::wstring SamplePath(const wchar_t* name) {
    return GetProgramFolder() + L"\\playback-samples\\" + name;
}

// The message of the exception the call throws, or "(none)".
std::wstring ThrownMessage(const std::function<void()>& call) {
    try {
        call();
    } catch (const utl::exception::CException& e) {
        return e.message;
    }
    return L"(none)";
}

std::atomic<int> g_commentDraws{0};
std::atomic<int> g_mouseDraws{0}; // draws given a mouse point

int32_t CountDraws(const FrameBits&, int32_t, const POINT* mouse) {
    ++g_commentDraws;
    if (mouse != nullptr) {
        ++g_mouseDraws;
    }
    return -1;
}

class DirectShowTest : public testing_support::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        m_savedSettings = GetAppSettings();
        g_commentDraws = 0;
        g_mouseDraws = 0;
    }
    void TearDown() override {
        GetDirectShow().CloseFilterGraph();
        GetDirectShow().SetCommentDrawing(DrawComments);
        GetDirectShow().SetMousePoint(nullptr);
        GetDirectShow().FramePump().SetSeekBarDragging(false);
        GetAppSettings() = m_savedSettings;
        EXPECT_EQ(CBaseObject::ObjectCount(), 0) << "the graph kept a reference on our filter";
        TempFolderTest::TearDown();
    }

    std::wstring WriteAvi(const AviFormat& format = AviFormat()) {
        const std::wstring path = PathOf(L"clip.avi");
        WriteRgb24Avi(path, format);
        return path;
    }

    // Plays until the graph has run and the filter holds a frame.
    void Play(CDirectShow& graph) {
        graph.Play();
        ASSERT_TRUE(PumpMessagesUntil(
            [&] { return graph.GetState() == State_Running && graph.GetVelaFilter()->IsFirstFrameHeld(); }));
    }

    PlayerWindow m_player;

private:
    AppSettings m_savedSettings;
};

TEST_F(DirectShowTest, VideoFilesPlayThroughVelaFilter) {
    struct Case {
        const char* name;
        std::wstring path;
        bool fixedSize;
        int32_t sourceWidth, sourceHeight, outputWidth, outputHeight, durationMs;
    };
    const Case cases[] = {
        {"RGB24 AVI of odd width", WriteAvi(), true, 171, 96, 512, 384, 2000},
        {"RGB24 AVI at its own size", WriteAvi(), false, 171, 96, 171, 96, 2000},
        {"H.264 MP4", SamplePath(L"sample.mp4"), true, 320, 240, 512, 384, 3000},
        {"FLV1", SamplePath(L"sample.flv"), false, 320, 240, 320, 240, 3000},
    };
    CDirectShow& graph = GetDirectShow();
    for (const Case& c : cases) {
        GetAppSettings().MovieSizeFixComment = c.fixedSize;
        ASSERT_NO_THROW(graph.OpenMovie(c.path, m_player.Handle())) << c.name;
        EXPECT_TRUE(graph.IsGraphReady()) << c.name;
        // No filter here has a clock (there is no audio renderer): the graph runs on the shared one.
        EXPECT_EQ(SyncSourceOf(graph.GetGraphBuilder()).Get(), GetSharedSystemClock()) << c.name;
        EXPECT_TRUE(graph.HasVideo()) << c.name;
        EXPECT_EQ(graph.GetSourceVideoWidth(), c.sourceWidth) << c.name;
        EXPECT_EQ(graph.GetSourceVideoHeight(), c.sourceHeight) << c.name;
        EXPECT_EQ(graph.GetFilterOutputWidth(), c.outputWidth) << c.name;
        EXPECT_EQ(graph.GetFilterOutputHeight(), c.outputHeight) << c.name;
        // The FLV's last frame ends a little after 3 s.
        EXPECT_NEAR(graph.GetDurationMs(), c.durationMs, 100) << c.name;
        EXPECT_EQ(graph.GetDurationText(), CDirectShow::FormatPlayTime(graph.GetDurationMs())) << c.name;
        EXPECT_EQ(graph.ReadAvgTimePerFrame(), 400000) << c.name;
        std::vector<std::wstring> downstream;
        EXPECT_TRUE(graph.GetDownstreamFilters(downstream)) << c.name;
        EXPECT_EQ(downstream, std::vector<std::wstring>{L"Video Renderer"}) << c.name;
        // The renderer's window is a child of the player's window.
        ASSERT_NE(graph.GetVideoChildWindow(), nullptr) << c.name;
        EXPECT_EQ(GetParent(graph.GetVideoChildWindow()), m_player.Handle()) << c.name;
        Play(graph);
        EXPECT_EQ(SyncSourceOf(graph.GetGraphBuilder()).Get(), GetSharedSystemClock()) << c.name;
        graph.CloseFilterGraph();
        EXPECT_FALSE(graph.IsGraphReady()) << c.name;
        EXPECT_EQ(CBaseObject::ObjectCount(), 0) << c.name;
    }
}

TEST_F(DirectShowTest, AudioOnlyFileGoesWithoutTheFilter) {
    const std::wstring wav = PathOf(L"tone.wav");
    WritePcmWav(wav, 2000);
    NullAudioRegistration audio;
    ASSERT_TRUE(audio.Registered());
    CDirectShow& graph = GetDirectShow();
    ASSERT_NO_THROW(graph.OpenMovie(wav, m_player.Handle()));
    EXPECT_FALSE(graph.HasVideo());
    EXPECT_EQ(graph.GetVideoChildWindow(), nullptr);
    EXPECT_EQ(graph.GetDurationMs(), 2000);
    EXPECT_EQ(SyncSourceOf(graph.GetGraphBuilder()).Get(), GetSharedSystemClock());
    ComPtr<IBaseFilter> found;
    EXPECT_HRESULT_FAILED(graph.GetGraphBuilder()->FindFilterByName(L"Vela Filter", found.GetAddressOf()));
    std::vector<std::wstring> downstream;
    EXPECT_FALSE(graph.GetDownstreamFilters(downstream));
}

TEST_F(DirectShowTest, FailuresThrowTheirTexts) {
    CDirectShow& graph = GetDirectShow();
    WriteBytes(PathOf(L"broken.mp4"), std::string(4096, 'x'));
    EXPECT_EQ(ThrownMessage([&] { graph.OpenMovie(PathOf(L"broken.mp4"), m_player.Handle()); }),
              L"RenderFile : ファイルを再生するためのフィルターが見つかりません。");
    graph.CloseFilterGraph();

    struct Case {
        const char* name;
        std::function<void()> call;
        const wchar_t* message;
    };
    const Case cases[] = {
        {"Play", [&] { graph.Play(); }, L"Play : pMediaControl == NULL"},
        {"Pause", [&] { graph.Pause(); }, L"Pause : pMediaControl == NULL"},
        {"Stop", [&] { graph.Stop(); }, L"Stop : pMediaControl == NULL"},
        {"GetRate", [&] { graph.GetRate(); }, L"GetRate : pMediaSeeking == NULL"},
        {"SetRate", [&] { graph.SetRate(1.5); }, L"SetRate : pMediaSeeking == NULL"},
        {"Seek", [&] { graph.Seek(10, false); }, L"Seek : pMediaSeeking == NULL"},
        {"Seek before 0", [&] { graph.Seek(-1, false); }, L"Seek : Range"},
        {"SeekPercent 101", [&] { graph.SeekPercent(101); }, L"SeekPercent : Range"},
        {"SetVolume", [&] { graph.SetVolume(-100); }, L"SetVolume : pBasicAudio == NULL"},
        {"SetVolume 1", [&] { graph.SetVolume(1); }, L"SetVolume : Range"},
        {"SetVolumePercent 101", [&] { graph.SetVolumePercent(101); }, L"SetVolumePercent : Range"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ThrownMessage(c.call), c.message) << c.name;
    }
    long code = 0;
    EXPECT_FALSE(graph.GetGraphEvent(code));
    EXPECT_EQ(graph.GetPos(), 0);
    EXPECT_FALSE(graph.IsRateSupported());
}

TEST_F(DirectShowTest, DebugModeRegistersTheGraphForInspection) {
    GetAppSettings().DebugMode = true;
    CDirectShow& graph = GetDirectShow();
    graph.OpenMovie(WriteAvi(), m_player.Handle());
    const std::wstring prefix = L"!FilterGraph ";
    const std::wstring pid = L" pid " + [] {
        wchar_t text[16];
        swprintf(text, 16, L"%08x", static_cast<unsigned>(GetCurrentProcessId()));
        return std::wstring(text);
    }();
    auto registered = [&] {
        ComPtr<IRunningObjectTable> table;
        ComPtr<IEnumMoniker> monikers;
        ComPtr<IBindCtx> context;
        if (FAILED(GetRunningObjectTable(0, table.GetAddressOf())) ||
            FAILED(table->EnumRunning(monikers.GetAddressOf())) || FAILED(CreateBindCtx(0, context.GetAddressOf()))) {
            return false;
        }
        ComPtr<IMoniker> moniker;
        while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
            LPOLESTR name = nullptr;
            if (SUCCEEDED(moniker->GetDisplayName(context.Get(), nullptr, &name))) {
                const std::wstring text = name;
                CoTaskMemFree(name);
                if (text.compare(0, prefix.size(), prefix) == 0 && text.size() > pid.size() &&
                    text.compare(text.size() - pid.size(), pid.size(), pid) == 0) {
                    return true;
                }
            }
        }
        return false;
    };
    EXPECT_NE(graph.GetRotCookie(), 0u);
    EXPECT_TRUE(registered());
    graph.CloseFilterGraph();
    EXPECT_FALSE(registered());
}

TEST_F(DirectShowTest, SeekingAndRateReachTheSource) {
    AviFormat longClip;
    longClip.width = 16;
    longClip.height = 16;
    longClip.framesPerSecond = 1;
    longClip.frames = 400;
    CDirectShow& graph = GetDirectShow();
    graph.OpenMovie(WriteAvi(longClip), m_player.Handle());
    ASSERT_EQ(graph.GetDurationMs(), 400000);
    graph.Pause();
    // 75 % of 400 s: 300,000 ms × 10,000 does not fit in 32 bits.
    graph.SeekPercent(75);
    EXPECT_EQ(graph.GetPos(), 3000000000LL);
    graph.SeekMs(1500);
    EXPECT_EQ(graph.GetPos(), 15000000LL);
    // Rate and seeking reach the source through the filter's output pin (Wine's graph accepts a rate
    // but keeps reporting 1).
    EXPECT_TRUE(graph.IsRateSupported());
    EXPECT_TRUE(graph.SetRate(1.5));
    // Kept for the next file's graph, which starts at 1.
    EXPECT_EQ(graph.GetPlaybackRate(), 1.5);
    EXPECT_TRUE(graph.SetRate(1.0));
    graph.Stop();
    EXPECT_EQ(graph.GetPos(), 0);
}

TEST_F(DirectShowTest, PlayingToTheEndEndsTheMediaOncePerPass) {
    CDirectShow& graph = GetDirectShow();
    graph.OpenMovie(WriteAvi(), m_player.Handle());
    graph.SetNotifyWindow(m_player.Handle());
    ASSERT_TRUE(graph.FramePump().Start(40, 1));
    for (int pass = 1; pass <= 2; ++pass) {
        Play(graph);
        // Both the pump (position at the duration) and EC_COMPLETE see the end.
        ASSERT_TRUE(PumpMessagesUntil([&] { return m_player.completions == pass; }, 8000)) << pass;
        PumpMessagesFor(300);
        EXPECT_EQ(m_player.endsOfMedia, pass) << pass;
        EXPECT_EQ(graph.GetPos(), graph.GetDuration()) << pass;
        // A new pass: as the player's repeat does.
        graph.Pause();
        graph.Seek(0, true);
    }
}

TEST_F(DirectShowTest, PumpFollowsThePlayPositionTickByTick) {
    GetDirectShow().SetCommentDrawing(CountDraws);
    CDirectShow& graph = GetDirectShow();
    graph.OpenMovie(WriteAvi(), m_player.Handle());
    CFramePump& pump = graph.FramePump();
    const uint64_t ticksBefore = pump.TickCount();
    // Each tick posts its position; the frame it draws posts the same one. Keep one per tick. The
    // first frame, drawn on the streaming thread, posts its start (0), which may come after the first
    // ticks' posts: it is not the pump's.
    auto distinctPositions = [&] {
        std::vector<int32_t> distinct;
        for (const int32_t ms : m_player.positions) {
            if (ms != 0 && (distinct.empty() || ms != distinct.back())) {
                distinct.push_back(ms);
            }
        }
        return distinct;
    };
    ASSERT_TRUE(pump.Start(40, 1));
    Play(graph);
    PumpMessagesUntil([&] { return distinctPositions().size() >= 15; }, 5000);
    pump.Stop();
    const uint64_t ticks = pump.TickCount() - ticksBefore;
    const std::vector<int32_t> distinct = distinctPositions();
    ASSERT_GE(distinct.size(), 15u);
    for (size_t i = 1; i < distinct.size(); ++i) {
        EXPECT_GT(distinct[i], distinct[i - 1]);
    }
    EXPECT_LE(distinct.back(), graph.GetDurationMs());
    // Positions and draws come from the ticks, besides the first frame, which the streaming thread draws.
    EXPECT_LE(distinct.size(), ticks + 1);
    EXPECT_GT(g_commentDraws.load(), 10);
    EXPECT_LE(static_cast<uint64_t>(g_commentDraws.load()), ticks + 1);
}

TEST_F(DirectShowTest, PumpDrawsNothingWhileStoppedPausedOrSeeking) {
    GetDirectShow().SetCommentDrawing(CountDraws);
    CDirectShow& graph = GetDirectShow();
    CFramePump& pump = graph.FramePump();
    graph.OpenMovie(WriteAvi(), m_player.Handle());
    ASSERT_TRUE(pump.Start(20, 1));
    // Some ticks run in each state; a tick that should draw would have.
    auto ticksPass = [&] {
        const uint64_t from = pump.TickCount();
        return PumpMessagesUntil([&] { return pump.TickCount() >= from + 8; });
    };
    ASSERT_TRUE(ticksPass());
    EXPECT_EQ(g_commentDraws.load(), 0) << "stopped, nothing held";
    EXPECT_TRUE(m_player.positions.empty());

    Play(graph);
    ASSERT_TRUE(PumpMessagesUntil([] { return g_commentDraws.load() > 5; }));

    pump.SetSeekBarDragging(true);
    ASSERT_TRUE(ticksPass()); // a tick that began before it may still draw
    int before = g_commentDraws;
    ASSERT_TRUE(ticksPass());
    EXPECT_EQ(g_commentDraws.load(), before) << "while the seek bar is dragged";
    pump.SetSeekBarDragging(false);
    ASSERT_TRUE(PumpMessagesUntil([&] { return g_commentDraws.load() > before; }));

    graph.Pause();
    ASSERT_TRUE(PumpMessagesUntil([&] { return graph.GetState() == State_Paused; }));
    // A tick that passed its look at the state just before the pause may wait in the paused renderer
    // until the graph runs or flushes (closing stops the graph before it waits for the tick), so the
    // ticks need not go on here; none may draw.
    PumpMessagesFor(200);
    before = g_commentDraws;
    PumpMessagesFor(400);
    EXPECT_EQ(g_commentDraws.load(), before) << "while paused";

    // A redraw while paused returns before it has drawn (a paused renderer keeps the frame it is
    // given, so the redraw thread delivers it) and then draws.
    const CEventHandle release = CreateEventOrThrow(true, false);
    std::atomic<int> redraws{0};
    graph.SetCommentDrawing([&](const FrameBits&, int32_t, const POINT*) {
        WaitForSingleObject(release.Get(), 10000);
        ++redraws;
        return -1;
    });
    EXPECT_EQ(graph.GetVelaFilter()->FlushAndRedraw(500), S_OK);
    EXPECT_EQ(redraws.load(), 0) << "FlushAndRedraw waited for the redraw";
    SetEvent(release.Get());
    EXPECT_TRUE(PumpMessagesUntil([&] { return redraws.load() == 1; }));
    graph.SetCommentDrawing(CountDraws);
}

// Paused, no pump tick draws: a seek draws the frame with the comments of its new position itself.
TEST_F(DirectShowTest, SeekWhilePausedRedrawsAtTheNewPosition) {
    std::atomic<bool> drawnThere{false};
    // Between two frames' times, so that only the redraw is given this position.
    constexpr int32_t kTarget = 1013;
    GetDirectShow().SetCommentDrawing([&](const FrameBits&, int32_t ms, const POINT*) {
        drawnThere = drawnThere || ms == kTarget;
        return -1;
    });
    CDirectShow& graph = GetDirectShow();
    graph.OpenMovie(WriteAvi(), m_player.Handle());
    Play(graph);
    graph.Pause();
    ASSERT_TRUE(PumpMessagesUntil([&] { return graph.GetState() == State_Paused; }));
    graph.SeekMs(kTarget);
    EXPECT_TRUE(PumpMessagesUntil([&] { return drawnThere.load(); }));
}

// The main window records the cursor over the video on its own thread and the drawing only reads it,
// so seeks (which wait for the streaming thread, which waits for the frame lock) never wait on a
// hit test asked by the drawing's thread while it holds that lock.
TEST_F(DirectShowTest, SeekingWhileThePumpDrawsUnderTheMouseFinishes) {
    GetAppSettings().CommentMouseSelect = true;
    GetAppSettings().ViewComment = true;
    GetDirectShow().SetCommentDrawing(CountDraws);
    AviFormat clip;
    clip.frames = 250;
    CDirectShow& graph = GetDirectShow();
    graph.OpenMovie(WriteAvi(clip), m_player.Handle());
    CFramePump& pump = graph.FramePump();
    ASSERT_TRUE(pump.Start(5, 1));
    // The video window shows once the graph runs.
    Play(graph);
    const HWND video = graph.GetVideoChildWindow();
    ASSERT_NE(video, nullptr);
    RECT box = {};
    ASSERT_TRUE(GetWindowRect(video, &box));
    const POINT centre = {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
    ASSERT_TRUE(SetCursorPos(centre.x, centre.y));
    HWND under = nullptr;
    // As the main window records it, at the video's centre: under Wine in Xvfb a loaded machine may put
    // the cursor back where the X server has it, so the point is not read back from the cursor.
    auto recordMouse = [&] {
        POINT point = centre;
        under = WindowFromPoint(point);
        const bool over = under == video && ScreenToClient(m_player.Handle(), &point);
        graph.SetMousePoint(over ? &point : nullptr);
        return over;
    };
    ASSERT_TRUE(recordMouse()) << under << " is under the cursor, not " << video;
    for (int round = 0; round < 12; ++round) {
        const int32_t ms = 500 + round * 650;
        graph.Pause();
        ASSERT_TRUE(PumpMessagesUntil([&] { return graph.GetState() == State_Paused; })) << round;
        graph.SeekMs(ms);
        // As the player redraws after a seek while not running.
        EXPECT_HRESULT_SUCCEEDED(graph.GetVelaFilter()->FlushAndRedraw(ms)) << round;
        EXPECT_TRUE(recordMouse()) << round << ": " << under;
        graph.Play();
        graph.SeekMs(ms + 300);
        const uint64_t ticks = pump.TickCount();
        ASSERT_TRUE(PumpMessagesUntil([&] { return pump.TickCount() >= ticks + 5; })) << round;
    }
    EXPECT_GT(g_mouseDraws.load(), 0);
    graph.CloseFilterGraph();
    EXPECT_EQ(CBaseObject::ObjectCount(), 0);
}

TEST_F(DirectShowTest, ClosingWhileThePumpRunsIsSafe) {
    CDirectShow& graph = GetDirectShow();
    GetDirectShow().SetCommentDrawing(CountDraws);
    const std::wstring avi = WriteAvi();
    for (int round = 0; round < 4; ++round) {
        graph.OpenMovie(avi, m_player.Handle());
        ASSERT_TRUE(graph.FramePump().Start(1, 1));
        Play(graph);
        PumpMessagesFor(150);
        graph.CloseFilterGraph();
        EXPECT_FALSE(graph.FramePump().IsRunning());
        EXPECT_EQ(CBaseObject::ObjectCount(), 0) << round;
    }
}

} // namespace
