#include "foundation/CWorkerThread.h"

#include <process.h>

#include <algorithm>
#include <deque>

namespace {

// Bounds the wait for a termination to complete; a terminated thread runs none of its own code.
constexpr DWORD kTerminateWaitMs = 5000;

struct WorkerList {
    std::recursive_mutex lock;
    // A deque keeps its elements in place while it grows at the end.
    std::deque<WorkerThreadRecord> records;
};

// Never destroyed: worker threads are not joined at exit and may still touch their records while
// static destruction runs.
WorkerList& GetWorkerList() {
    static WorkerList* list = new WorkerList;
    return *list;
}

} // namespace

UniqueThreadHandle StartRuntimeThread(ThreadProcedure procedure, void* argument, DWORD* threadId) {
    unsigned id = 0;
    const uintptr_t handle = _beginthreadex(nullptr, 0, procedure, argument, 0, &id);
    if (threadId != nullptr) {
        *threadId = handle != 0 ? id : 0;
    }
    return UniqueThreadHandle(reinterpret_cast<HANDLE>(handle));
}

bool CWorkerThread::Start(void* argument) {
    if (m_procedure == nullptr) {
        return false;
    }
    DWORD threadId = 0;
    UniqueThreadHandle handle = StartRuntimeThread(m_procedure, argument, &threadId);
    if (!handle) {
        return false;
    }
    m_threadId = threadId;
    m_exitCode = STILL_ACTIVE;
    m_handle = std::shared_ptr<void>(handle.release(), ThreadHandleCloser());
    return true;
}

bool CWorkerThread::Start(ThreadProcedure procedure, void* argument) {
    m_procedure = procedure;
    return Start(argument);
}

bool CWorkerThread::IsRunning() {
    if (!m_handle) {
        return false;
    }
    DWORD exitCode = 0;
    if (!GetExitCodeThread(m_handle.get(), &exitCode)) {
        return false;
    }
    m_exitCode = exitCode;
    return exitCode == STILL_ACTIVE;
}

bool CWorkerThread::Suspend() {
    return m_handle && SuspendThread(m_handle.get()) != static_cast<DWORD>(-1);
}

bool CWorkerThread::Resume() {
    return m_handle && ResumeThread(m_handle.get()) != static_cast<DWORD>(-1);
}

bool CWorkerThread::Terminate() {
    if (!IsRunning()) {
        return false;
    }
    if (TerminateThread(m_handle.get(), 0)) {
        // Termination completes asynchronously; without the wait IsRunning could still answer true.
        WaitForSingleObject(m_handle.get(), kTerminateWaitMs);
    }
    IsRunning();
    return true;
}

std::unique_lock<std::recursive_mutex> LockWorkerThreads() {
    return std::unique_lock<std::recursive_mutex>(GetWorkerList().lock);
}

WorkerThreadRecord& AddWorkerThread(const WorkerThreadRecord& record) {
    WorkerList& list = GetWorkerList();
    std::lock_guard<std::recursive_mutex> guard(list.lock);
    list.records.push_back(record);
    return list.records.back();
}

WorkerThreadRecord& GetWorkerThread(size_t index) {
    WorkerList& list = GetWorkerList();
    std::lock_guard<std::recursive_mutex> guard(list.lock);
    return list.records.at(index);
}

size_t GetWorkerThreadCount() {
    WorkerList& list = GetWorkerList();
    std::lock_guard<std::recursive_mutex> guard(list.lock);
    return list.records.size();
}

void WaitMilliseconds(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        // Unsigned difference: correct across the tick count's wrap-around.
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds) {
            return;
        }
        Sleep(std::min<DWORD>(milliseconds - elapsed, 1000));
    }
}
