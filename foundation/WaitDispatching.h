#pragma once
// Waiting on a handle while the waiting thread still answers messages sent to its windows: a thread
// that owns windows must keep doing so while it waits for a streaming, timer or worker thread, since
// those may send to it (window hit tests, cross-thread window calls of the renderer, log lines).
//
// Thread use: any thread.

#include <windows.h>

// True when the handle was signalled within the time (INFINITE waits for good).
bool WaitDispatchingSentMessages(HANDLE handle, DWORD timeoutMs = INFINITE);
