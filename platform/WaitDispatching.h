#pragma once
// Waiting on an event while the waiting thread still answers messages sent to its windows: a thread
// that owns windows must keep doing so while it waits for a streaming or timer thread, since those
// may send to it (window hit tests, cross-thread window calls of the renderer).
//
// Thread use: any thread.

#include <windows.h>

void WaitDispatchingSentMessages(HANDLE event);
