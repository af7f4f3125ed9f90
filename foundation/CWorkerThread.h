#pragma once
// Worker threads: the runtime thread start, the record of one worker thread, the process-wide list of
// download worker records and a coarse wait.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>

// The procedure of a thread started through the runtime library (so the CRT's per-thread data is set up).
using ThreadProcedure = unsigned(__stdcall*)(void* argument);

struct ThreadHandleCloser {
    void operator()(HANDLE handle) const {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
};
using UniqueThreadHandle = std::unique_ptr<void, ThreadHandleCloser>;

// Starts procedure(argument) on a new thread and stores its ID in threadId (0 on failure). The handle is
// null on failure; a caller that does not need it lets it go, which closes it at once.
UniqueThreadHandle StartRuntimeThread(ThreadProcedure procedure, void* argument, DWORD* threadId);

// Record of a worker thread: its procedure, thread ID and last seen exit code. The record keeps the
// thread's handle, shared by its copies: a thread ID is given to another thread once the first one has
// ended, so a thread must never be found again by its ID.
// Thread use: any thread; a record used by several threads is guarded by its owner (see LockWorkerThreads).
class CWorkerThread {
public:
    CWorkerThread() = default;
    explicit CWorkerThread(ThreadProcedure procedure) : m_procedure(procedure) {}

    // Starts the record's procedure with the argument; false when no thread could be started.
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

    ThreadProcedure GetProcedure() const { return m_procedure; }
    void SetProcedure(ThreadProcedure procedure) { m_procedure = procedure; }
    DWORD GetThreadId() const { return m_threadId; }
    DWORD GetExitCode() const { return m_exitCode; }

private:
    ThreadProcedure m_procedure = nullptr;
    DWORD m_threadId = 0;
    DWORD m_exitCode = 0;
    std::shared_ptr<void> m_handle;
};

// One entry of the download manager's worker list.
struct WorkerThreadRecord {
    enum State : int32_t { kFree = 1, kRunning = 2, kAbandoned = 3 };

    CWorkerThread thread;
    int32_t rowIndex = -1;
    int32_t state = kFree;
    uint16_t pausedFromStatus = 0;
};

// The process-wide worker list. It only grows; a reference returned by AddWorkerThread or
// GetWorkerThread stays valid for the life of the process, also while other threads append.
// Appending and indexing lock the list themselves; a caller that reads and then writes records (or
// walks the list) holds LockWorkerThreads() meanwhile. The lock is recursive, so the calls below may
// be made while holding it.
std::unique_lock<std::recursive_mutex> LockWorkerThreads();
// Appends a copy of the record; returns the copy in the list.
WorkerThreadRecord& AddWorkerThread(const WorkerThreadRecord& record);
// Record index (0 ≤ index < GetWorkerThreadCount()).
WorkerThreadRecord& GetWorkerThread(size_t index);
size_t GetWorkerThreadCount();

// Waits until the tick count has advanced by milliseconds, sleeping in steps of at most one second.
void WaitMilliseconds(DWORD milliseconds);
