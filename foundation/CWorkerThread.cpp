#include "foundation/CWorkerThread.h"

#include "foundation/CBaseDebug.h"
#include "foundation/Exception.h"
#include "foundation/StringUtil.h"
#include "foundation/WaitDispatching.h"

#include <objbase.h>
#include <process.h>

#include <algorithm>
#include <deque>
#include <exception>
#include <list>

namespace {

// Bounds the wait for a termination to complete; a terminated thread runs none of its own code.
constexpr DWORD kTerminateWaitMs = 5000;

struct WorkerList {
    CCritSec lock;
    // A deque keeps its elements in place while it grows at the end.
    std::deque<WorkerThreadRecord> records;
};

// Never destroyed: worker threads are not joined at exit and may still touch their records while
// static destruction runs.
WorkerList& GetWorkerList() {
    static WorkerList* list = new WorkerList;
    return *list;
}

struct RunningList {
    CCritSec lock;
    std::list<RunningWorker> workers;
};

// Never destroyed, for the same reason.
RunningList& GetRunningList() {
    static RunningList* list = new RunningList;
    return *list;
}

// Lists the worker for as long as the object lives.
class RunningEntry {
public:
    explicit RunningEntry(const std::wstring& name) {
        RunningList& list = GetRunningList();
        CAutoLock lock(list.lock);
        m_entry = list.workers.insert(list.workers.end(), RunningWorker{name, GetCurrentThreadId(), GetTickCount64()});
    }
    ~RunningEntry() {
        RunningList& list = GetRunningList();
        CAutoLock lock(list.lock);
        list.workers.erase(m_entry);
    }
    RunningEntry(const RunningEntry&) = delete;
    RunningEntry& operator=(const RunningEntry&) = delete;

private:
    std::list<RunningWorker>::iterator m_entry;
};

struct StartBlock {
    WorkerOptions options;
    std::unique_ptr<CWorkerTask> task;
};

void LogFailure(const std::wstring& name, const std::wstring& what) {
    DebugLog() << L"Error : " << name << L" : " << what << EndLine;
}

// Runs one step; an exception is logged and reported as false.
template <typename Step> bool RunGuarded(const std::wstring& name, Step step) {
    try {
        step();
        return true;
    } catch (const utl::exception::CException& e) {
        LogFailure(name, e.message);
    } catch (const std::exception& e) {
        LogFailure(name, AnsiToWide(e.what()));
    } catch (...) {
        LogFailure(name, L"unknown exception");
    }
    return false;
}

unsigned RunTask(StartBlock& block) {
    const std::wstring& name = block.options.name;
    const RunningEntry listed(name);
    const bool com = block.options.initializeCom && SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    unsigned exitCode = 1;
    RunGuarded(name, [&] { exitCode = block.task->Run(); });
    RunGuarded(name, [&] { block.task->End(); });
    // What the task holds goes away on this thread, before COM does.
    RunGuarded(name, [&] { block.task.reset(); });
    if (com) {
        CoUninitialize();
    }
    return exitCode;
}

unsigned __stdcall WorkerEntry(void* argument) {
    std::unique_ptr<StartBlock> block(static_cast<StartBlock*>(argument));
    return RunTask(*block);
}

// A record's raw procedure, run as a task.
class ProcedureTask final : public CWorkerTask {
public:
    ProcedureTask(ThreadProcedure procedure, void* argument) : m_procedure(procedure), m_argument(argument) {}
    unsigned Run() override { return m_procedure(m_argument); }
    void End() override {}

private:
    ThreadProcedure m_procedure;
    void* m_argument;
};

} // namespace

class CWorkerStarter {
public:
    static CWorkerThread Start(const WorkerOptions& options, std::unique_ptr<CWorkerTask> task) {
        auto block = std::make_unique<StartBlock>(StartBlock{options, std::move(task)});
        unsigned id = 0;
        const uintptr_t handle = _beginthreadex(nullptr, 0, WorkerEntry, block.get(), 0, &id);
        CWorkerThread record;
        if (handle == 0) {
            const std::wstring name = block->options.name;
            LogFailure(name, L"_beginthreadex");
            RunGuarded(name, [&] { block->task->End(); });
            RunGuarded(name, [&] { block.reset(); });
            return record;
        }
        block.release();
        record.m_threadId = id;
        record.m_exitCode = STILL_ACTIVE;
        record.m_handle = std::make_shared<CThreadHandle>(reinterpret_cast<HANDLE>(handle));
        return record;
    }
};

CWorkerThread StartWorkerTask(const WorkerOptions& options, std::unique_ptr<CWorkerTask> task) {
    return CWorkerStarter::Start(options, std::move(task));
}

std::vector<RunningWorker> GetRunningWorkers() {
    RunningList& list = GetRunningList();
    CTryLock lock(list.lock);
    if (!lock) {
        return {};
    }
    return std::vector<RunningWorker>(list.workers.begin(), list.workers.end());
}

bool CWorkerThread::Start(void* argument) {
    if (m_procedure == nullptr) {
        return false;
    }
    const ThreadProcedure procedure = m_procedure;
    CWorkerThread started =
        StartWorkerTask({L"worker thread", false}, std::make_unique<ProcedureTask>(procedure, argument));
    if (!started.IsStarted()) {
        return false;
    }
    *this = started;
    m_procedure = procedure;
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
    if (!GetExitCodeThread(m_handle->Get(), &exitCode)) {
        return false;
    }
    m_exitCode = exitCode;
    return exitCode == STILL_ACTIVE;
}

bool CWorkerThread::Suspend() {
    return m_handle && SuspendThread(m_handle->Get()) != static_cast<DWORD>(-1);
}

bool CWorkerThread::Resume() {
    return m_handle && ResumeThread(m_handle->Get()) != static_cast<DWORD>(-1);
}

bool CWorkerThread::Terminate() {
    if (!IsRunning()) {
        return false;
    }
    if (TerminateThread(m_handle->Get(), 0)) {
        // Termination completes asynchronously; without the wait IsRunning could still answer true.
        WaitForSingleObject(m_handle->Get(), kTerminateWaitMs);
    }
    IsRunning();
    return true;
}

bool CWorkerThread::Wait(DWORD timeoutMs) {
    if (!m_handle) {
        return true;
    }
    const bool ended = WaitDispatchingSentMessages(m_handle->Get(), timeoutMs);
    IsRunning();
    return ended;
}

CAutoLock LockWorkerThreads() {
    return CAutoLock(GetWorkerList().lock);
}

WorkerThreadRecord& AddWorkerThread(const WorkerThreadRecord& record) {
    WorkerList& list = GetWorkerList();
    CAutoLock guard(list.lock);
    list.records.push_back(record);
    return list.records.back();
}

WorkerThreadRecord& GetWorkerThread(size_t index) {
    WorkerList& list = GetWorkerList();
    CAutoLock guard(list.lock);
    return list.records.at(index);
}

size_t GetWorkerThreadCount() {
    WorkerList& list = GetWorkerList();
    CAutoLock guard(list.lock);
    return list.records.size();
}

namespace {

class SystemClock final : public CWaitClock {
public:
    DWORD Now() override { return GetTickCount(); }
    void Sleep(DWORD milliseconds) override { ::Sleep(milliseconds); }
};

} // namespace

CWaitClock& SystemWaitClock() {
    static SystemClock clock;
    return clock;
}

void WaitMilliseconds(DWORD milliseconds, CWaitClock& clock) {
    const DWORD start = clock.Now();
    for (;;) {
        // Unsigned difference: correct across the tick count's wrap-around.
        const DWORD elapsed = clock.Now() - start;
        if (elapsed >= milliseconds) {
            return;
        }
        clock.Sleep(std::min<DWORD>(milliseconds - elapsed, 1000));
    }
}
