#pragma once
// Worker threads. Every thread of the program starts through StartWorker (or a record's Start, which
// goes the same way): the thread owns what it was given, initialises COM when asked, catches and logs
// every exception ("Error : " and the worker's name), always runs its end step, and is listed among
// the running workers while it runs. Also: the record of one worker thread, the download manager's
// process-wide list of worker records, and a coarse wait.

#include "foundation/CCritSec.h"
#include "foundation/Handles.h"

#include <windows.h>

#include <cstdint>
#include <atomic>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

// The procedure of a record's thread.
using ThreadProcedure = unsigned(__stdcall*)(void* argument);

struct WorkerOptions {
    // Names the worker in its error lines and in the list of running workers.
    std::wstring name;
    // COM (apartment-threaded) is initialised before the body and released after the end step.
    bool initializeCom = false;
};

// Record of a worker thread: its procedure, thread ID and last seen exit code. The record keeps the
// thread's handle, shared by its copies: a thread ID is given to another thread once the first one has
// ended, so a thread must never be found again by its ID.
// Thread use: any thread; a record used by several threads is guarded by its owner (see LockWorkerThreads).
class CWorkerThread {
public:
    CWorkerThread() = default;
    explicit CWorkerThread(ThreadProcedure procedure) : m_procedure(procedure) {}

    // Starts the record's procedure with the argument (which the caller keeps alive); false when no
    // thread could be started.
    bool Start(void* argument);
    // Sets the procedure, then as Start(argument).
    bool Start(ThreadProcedure procedure, void* argument);

    // Refreshes the exit code; true while it is STILL_ACTIVE (259). False for a record never started.
    bool IsRunning();
    bool Suspend();
    bool Resume();
    // Terminates the thread with exit code 0 when it is still active and waits briefly for its end;
    // returns whether it was active.
    bool Terminate();
    // Waits for the thread's end, answering messages sent to the calling thread meanwhile (a worker may
    // be sending to it); true when it ended (or never ran) within the time.
    bool Wait(DWORD timeoutMs);

    ThreadProcedure GetProcedure() const { return m_procedure; }
    void SetProcedure(ThreadProcedure procedure) { m_procedure = procedure; }
    DWORD GetThreadId() const { return m_threadId; }
    DWORD GetExitCode() const { return m_exitCode; }
    bool IsStarted() const { return m_handle != nullptr; }
    bool IsCurrentThread() const { return m_threadId != 0 && m_threadId == GetCurrentThreadId(); }

private:
    friend class CWorkerStarter;

    ThreadProcedure m_procedure = nullptr;
    DWORD m_threadId = 0;
    DWORD m_exitCode = 0;
    std::shared_ptr<CThreadHandle> m_handle;
};

// The work of one worker thread, owned by the thread once it runs.
class CWorkerTask {
public:
    virtual ~CWorkerTask() = default;
    // The thread's exit code.
    virtual unsigned Run() = 0;
    virtual void End() = 0;
};

namespace worker_detail {

template <typename Body, typename EndStep> class Task final : public CWorkerTask {
public:
    Task(Body body, EndStep end) : m_body(std::move(body)), m_end(std::move(end)) {}
    unsigned Run() override {
        if constexpr (std::is_void_v<std::invoke_result_t<Body&>>) {
            m_body();
            return 0;
        } else {
            return static_cast<unsigned>(m_body());
        }
    }
    void End() override { m_end(); }

private:
    Body m_body;
    EndStep m_end;
};

struct NoEnd {
    void operator()() const {}
};

} // namespace worker_detail

// Starts the task on a new thread. The result is a started record, or an empty one (IsStarted false)
// when no thread could be started; then the end step has already run on the calling thread.
CWorkerThread StartWorkerTask(const WorkerOptions& options, std::unique_ptr<CWorkerTask> task);

// Runs body() on a new thread, then end(), also when the body threw (logged) or no thread could be
// started (then on the calling thread). What the two callables hold is the thread's argument: it is
// destroyed on the worker thread after the end step. The body's result, when it has one, is the exit
// code; an exception gives exit code 1.
template <typename Body, typename EndStep = worker_detail::NoEnd>
CWorkerThread StartWorker(const WorkerOptions& options, Body body, EndStep end = EndStep()) {
    return StartWorkerTask(options,
                           std::make_unique<worker_detail::Task<Body, EndStep>>(std::move(body), std::move(end)));
}

// One running worker as the list of running workers shows it.
struct RunningWorker {
    std::wstring name;
    DWORD threadId = 0;
    ULONGLONG startTick = 0;
};
// The workers whose body or end step is running now, in the order they started. For diagnostics: a
// worker that cannot take the list's lock at once is left out rather than waited for.
std::vector<RunningWorker> GetRunningWorkers();

// What the download manager asks of a running item worker. The worker is never suspended (a thread
// stopped inside the heap or WinInet would freeze the process): it looks at these between steps and
// in its progress callbacks, waits while paused, and ends when cancelled.
struct WorkerSignals {
    std::atomic<bool> paused{false};
    std::atomic<bool> cancelled{false};
};

// One entry of the download manager's worker list.
struct WorkerThreadRecord {
    enum State : int32_t { kFree = 1, kRunning = 2, kAbandoned = 3 };

    CWorkerThread thread;
    // Shared by the copies of the record.
    std::shared_ptr<WorkerSignals> signals = std::make_shared<WorkerSignals>();
    int32_t rowIndex = -1;
    int32_t state = kFree;
    uint16_t pausedFromStatus = 0;
};

// The process-wide worker list. It only grows; a reference returned by AddWorkerThread or
// GetWorkerThread stays valid for the life of the process, also while other threads append.
// Appending and indexing lock the list themselves; a caller that reads and then writes records (or
// walks the list) holds LockWorkerThreads() meanwhile. The lock may be entered again by its holder, so
// the calls below may be made while holding it.
CAutoLock LockWorkerThreads();
// Appends a copy of the record; returns the copy in the list.
WorkerThreadRecord& AddWorkerThread(const WorkerThreadRecord& record);
// Record index (0 ≤ index < GetWorkerThreadCount()).
WorkerThreadRecord& GetWorkerThread(size_t index);
size_t GetWorkerThreadCount();

// What WaitMilliseconds reads and how it sleeps; tests give a clock of their own.
class CWaitClock {
public:
    virtual ~CWaitClock() = default;
    virtual DWORD Now() = 0;
    virtual void Sleep(DWORD milliseconds) = 0;
};
// The tick count and the system's Sleep.
CWaitClock& SystemWaitClock();

// Waits until the tick count has advanced by milliseconds, sleeping in steps of at most one second.
void WaitMilliseconds(DWORD milliseconds, CWaitClock& clock = SystemWaitClock());
