#include "engine/FramePump.h"

#include "engine/CDirectShow.h"
#include "foundation/AppSettings.h"
#include "foundation/WaitDispatching.h"

#include <mmsystem.h>

#include <algorithm>

CFramePump::CFramePump(CDirectShow& graph) : m_graph(graph), m_idle(CreateEventOrThrow(true, true)) {}

CFramePump::~CFramePump() {
    Stop();
}

bool CFramePump::Start(UINT periodMs, UINT resolutionMs) {
    Stop();
    {
        CAutoLock lock(m_tickLock);
        m_halted = false;
    }
    m_period = periodMs;
    m_timerId = timeSetEvent(periodMs, resolutionMs, MediaTimerProc, reinterpret_cast<DWORD_PTR>(this), TIME_PERIODIC);
    return m_timerId != 0;
}

void CFramePump::Halt() {
    {
        CAutoLock lock(m_tickLock);
        m_halted = true;
    }
    const UINT timerId = m_timerId.exchange(0);
    if (timerId != 0) {
        timeKillEvent(timerId);
    }
}

void CFramePump::WaitIdle() {
    // A tick's delivery may reach a renderer that sends to this thread's windows, so the wait answers them.
    WaitDispatchingSentMessages(m_idle.Get());
}

void CFramePump::Stop() {
    Halt();
    WaitIdle();
}

bool CFramePump::BeginTick() {
    CAutoLock lock(m_tickLock);
    const bool start = !m_halted && !m_ticking;
    if (start) {
        m_ticking = true;
        ResetEvent(m_idle.Get());
    }
    return start;
}

void CFramePump::EndTick() {
    ++m_ticks;
    CAutoLock lock(m_tickLock);
    m_ticking = false;
    SetEvent(m_idle.Get());
}

void CFramePump::Tick() {
    if (!BeginTick()) {
        return;
    }
    try {
        CVelaFilter* filter = nullptr;
        int32_t positionMs = 0;
        {
            // The UI thread holds the lock while it opens or closes a graph: skip this tick then.
            CTryLock lock(m_graph.GraphLock());
            if (lock && m_graph.IsGraphReady() && !m_dragging && m_graph.GetState() == State_Running) {
                const LONGLONG position = m_graph.GetPos();
                if (position == m_graph.GetDuration()) {
                    if (m_graph.ClaimEndOfMedia()) {
                        m_graph.PostToOwner(kMsgEndOfMedia, 0, 0);
                    }
                } else {
                    positionMs = static_cast<int32_t>(position / 10000);
                    m_graph.PostToOwner(kMsgPlayPosition, static_cast<WPARAM>(positionMs), 0);
                    filter = m_graph.GetVelaFilter();
                }
            }
        }
        // Delivery happens outside the graph lock: it can wait for the renderer, and closing the graph
        // (which stops the renderer) must be able to take the lock meanwhile. The filter stays alive
        // until this tick ends, since closing waits for that before it releases anything.
        if (filter != nullptr && filter->IsFirstFrameHeld() && filter->HasHeldFrame()) {
            filter->Draw(positionMs, false);
        }
    } catch (...) {
        // A failed tick ends silently; the next one tries again.
    }
    EndTick();
}

void CALLBACK MediaTimerProc(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    try {
        if (user != 0) {
            reinterpret_cast<CFramePump*>(user)->Tick();
        }
    } catch (...) {
    }
}

UINT CalcRefreshInterval(bool hasVideo, UINT frameMs, const AppSettings& settings) {
    if (!hasVideo) {
        return 250;
    }
    UINT interval = frameMs != 0 ? frameMs : static_cast<UINT>(std::max(0, settings.DefaultAvgTimePerFrame));
    if (settings.MinAvgTimePerFrame != 0 && interval < static_cast<UINT>(settings.MinAvgTimePerFrame)) {
        interval = static_cast<UINT>(settings.MinAvgTimePerFrame);
    }
    if (settings.MaxAvgTimePerFrame != 0 && interval > static_cast<UINT>(settings.MaxAvgTimePerFrame)) {
        interval = static_cast<UINT>(settings.MaxAvgTimePerFrame);
    }
    switch (settings.VideoPlayQuality) {
    case 2:
        return std::min<UINT>(static_cast<UINT>(std::min<UINT>(interval, 40) * 1.5), 60);
    case 1:
        return std::min<UINT>(interval * 2, 80);
    case 0:
        return std::min<UINT>(interval * 4, 160);
    default:
        return interval;
    }
}
