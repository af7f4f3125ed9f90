#pragma once
// The reference clock of the process's filter graphs. A graph that no filter of its own gives a clock
// (on Windows the audio renderer does; here no graph has one) would make a system clock of its own,
// and releasing a system clock soon after it was last advised can wait forever for the clock's
// thread under Wine: the graph's release would hang. So every graph shares one system clock that is
// never released.
//
// Thread use: any thread that has initialised COM.

#include <windows.h>

#include <dshow.h>

// The process's system clock, made on first use; null when none could be made.
IReferenceClock* GetSharedSystemClock();

// Gives the graph the shared clock unless a filter in it provides one, which the graph then picks
// itself when it starts, as it always did. Call after the graph is built and before it first pauses
// or runs. S_OK when the shared clock was given, S_FALSE when a filter has a clock.
HRESULT UseSharedClockUnlessProvided(IFilterGraph* graph);
