#pragma once
// The frame pump: a periodic multimedia timer whose ticks draw the held frame with the comments at
// the current play position and deliver it, show the position in the player and end the media when
// the position reaches the duration.
//
// Thread use: Start, Stop and SetSeekBarDragging on the UI thread; ticks on the timer's thread.

#include "foundation/CCritSec.h"
#include "foundation/Handles.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

struct AppSettings;
class CDirectShow;

class CFramePump {
public:
    explicit CFramePump(CDirectShow& graph);
    ~CFramePump();
    CFramePump(const CFramePump&) = delete;
    CFramePump& operator=(const CFramePump&) = delete;

    // Starts the periodic timer (a running one is stopped first); false when no timer was given.
    bool Start(UINT periodMs, UINT resolutionMs);
    // Kills the timer and waits for a tick in progress to end.
    void Stop();
    // The two halves of Stop: no tick starts after Halt; WaitIdle returns once none runs. The graph
    // wrapper stops the graph between them, which releases a tick blocked in delivering a frame.
    void Halt();
    void WaitIdle();
    bool IsRunning() const { return m_timerId != 0; }
    UINT Period() const { return m_period; }
    // Ticks run to their end since the pump was made (those that found nothing to do included).
    uint64_t TickCount() const { return m_ticks; }

    // While the user drags the seek bar the pump draws nothing.
    void SetSeekBarDragging(bool dragging) { m_dragging = dragging; }
    bool IsSeekBarDragging() const { return m_dragging; }

    // One tick (MediaTimerProc calls it).
    void Tick();

private:
    bool BeginTick();
    void EndTick();

    CDirectShow& m_graph;
    std::atomic<UINT> m_timerId{0};
    UINT m_period = 0;
    std::atomic<bool> m_dragging{false};
    CCritSec m_tickLock;
    bool m_halted = true;
    bool m_ticking = false;
    CEventHandle m_idle; // set while no tick runs
    std::atomic<uint64_t> m_ticks{0};
};

// The timer callback: user data is the CFramePump.
void CALLBACK MediaTimerProc(UINT timerId, UINT message, DWORD_PTR user, DWORD_PTR, DWORD_PTR);

// The pump's period in ms for a video with that frame time in ms (0 = unknown: DefaultAvgTimePerFrame):
// bounded by MinAvgTimePerFrame and MaxAvgTimePerFrame (0 = no bound), then scaled by
// VideoPlayQuality; 250 ms without video.
UINT CalcRefreshInterval(bool hasVideo, UINT frameMs, const AppSettings& settings);
