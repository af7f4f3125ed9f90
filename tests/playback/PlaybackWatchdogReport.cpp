// What the watchdog writes of the playback chain when a playback test is stuck: only plain reads of
// our own state, since a stuck thread may hold the graph's, the filter's or the pump's locks. And the
// chain's end before the program's.

#include "engine/CDirectShow.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TestWatchdog.h"

#include <sstream>

namespace {

std::string DescribePlayback() {
    CDirectShow& graph = GetDirectShow();
    std::ostringstream out;
    out << "  graph built: " << (graph.GetGraphBuilder() != nullptr) << ", has video: " << graph.HasVideo()
        << ", duration: " << graph.GetDurationMs() << " ms, video window: " << graph.GetVideoChildWindow() << "\n";
    CFramePump& pump = graph.FramePump();
    out << "  frame pump: running " << pump.IsRunning() << ", period " << pump.Period() << " ms, ticks "
        << pump.TickCount() << ", seek bar dragged " << pump.IsSeekBarDragging() << "\n";
    if (CVelaFilter* filter = graph.GetVelaFilter()) {
        out << "  filter: state " << filter->GetStreamingState() << " (0 stopped, 1 paused, 2 running), flushing "
            << filter->IsFlushing() << ", first frame held " << filter->IsFirstFrameHeld() << ", held media start "
            << filter->GetHeldMediaStart() << "\n";
    } else {
        out << "  filter: none\n";
    }
    return out.str();
}

const bool g_registered = (testing_support::AddWatchdogReport("The playback chain", DescribePlayback), true);
// As the player does before it returns.
const bool g_endRegistered = (testing_support::AddProgramEndStep([] { GetDirectShow().ShutdownDirectShow(); }), true);

} // namespace
