#pragma once
// A watchdog for the test programs: when one test runs past its bound, it writes what can be had of
// the stuck program — every thread's stack with our workers' names, what the test program reports of
// its own state, the stacks of the programs a test started, the last log lines — and ends the test
// program as failed, naming the test, instead of letting it run into CTest's time-out unexplained.

#include <windows.h>

#include <functional>
#include <string>

namespace testing_support {

// Installs the watchdog for the tests run after it. The bound in seconds is VELA_TEST_BOUND_SECONDS
// when that is set, else defaultBoundSeconds.
void InstallTestWatchdog(unsigned defaultBoundSeconds);

// A part of the report that a test program adds (the graph's state, say). It runs on the watchdog's
// thread while others may be stuck holding locks: it may only read (atomics, try-locks), never wait,
// send a message or take a lock that a stuck thread could hold.
void AddWatchdogReport(const std::string& title, std::function<std::string()> report);

// A program a test started (its process handle stays open while watched); its threads' stacks are
// written too. Unwatch before the handle is closed.
void WatchProcess(HANDLE process, const std::wstring& name);
void UnwatchProcess(HANDLE process);

// The report as the watchdog writes it, for the watchdog's own test.
std::string WriteWatchdogReport(const std::string& testName);

} // namespace testing_support
