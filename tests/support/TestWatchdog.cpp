#include "tests/support/TestWatchdog.h"

#include "foundation/CBaseDebug.h"
#include "foundation/CCritSec.h"
#include "foundation/CWorkerThread.h"
#include "foundation/Handles.h"
#include "foundation/StringUtil.h"

#include <gtest/gtest.h>

#include <dbghelp.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <vector>

namespace testing_support {
namespace {

constexpr int kMaxFrames = 48;

struct AddedReport {
    std::string title;
    std::function<std::string()> report;
};

struct WatchedProcess {
    HANDLE process;
    std::wstring name;
};

struct WatchState {
    CCritSec lock;
    std::vector<AddedReport> reports;
    std::vector<WatchedProcess> processes;
    std::string testName;
    std::atomic<ULONGLONG> deadline{0};
    std::atomic<bool> armed{false};
    unsigned boundSeconds = 0;
    DWORD testThreadId = 0;
};

// Never destroyed: the watchdog's thread reads it until the program ends.
WatchState& State() {
    static WatchState* state = new WatchState;
    return *state;
}

std::string Hex(unsigned long long value) {
    char text[32];
    snprintf(text, sizeof(text), "0x%llx", value);
    return text;
}

// One frame: module!symbol file:line, or module+offset when the module has no symbols.
std::string DescribeAddress(HANDLE process, DWORD64 address) {
    std::string module = "?";
    DWORD64 moduleBase = 0;
    IMAGEHLP_MODULE64 moduleInfo = {};
    moduleInfo.SizeOfStruct = sizeof(moduleInfo);
    if (SymGetModuleInfo64(process, address, &moduleInfo)) {
        module = moduleInfo.ModuleName;
        moduleBase = moduleInfo.BaseOfImage;
    }
    alignas(SYMBOL_INFO) char buffer[sizeof(SYMBOL_INFO) + 256] = {};
    auto* symbol = reinterpret_cast<SYMBOL_INFO*>(buffer);
    symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
    symbol->MaxNameLen = 255;
    DWORD64 displacement = 0;
    std::string text = module;
    if (SymFromAddr(process, address, &displacement, symbol)) {
        text += "!" + std::string(symbol->Name);
    } else if (moduleBase != 0) {
        text += "+" + Hex(address - moduleBase);
    } else {
        text += " " + Hex(address);
    }
    IMAGEHLP_LINE64 line = {};
    line.SizeOfStruct = sizeof(line);
    DWORD lineDisplacement = 0;
    if (SymGetLineFromAddr64(process, address, &lineDisplacement, &line) && line.FileName != nullptr) {
        std::string file = line.FileName;
        const auto slash = file.find_last_of("\\/");
        text +=
            " " + (slash == std::string::npos ? file : file.substr(slash + 1)) + ":" + std::to_string(line.LineNumber);
    }
    return text;
}

// The thread's stack. The thread is suspended only to read its registers: anything that allocates
// (the symbol lookups do) runs after it is resumed, so a thread stopped inside the heap cannot stop
// the watchdog too. A thread that is stuck does not change its stack meanwhile.
std::string ThreadStack(HANDLE process, HANDLE thread) {
    CONTEXT context = {};
    context.ContextFlags = CONTEXT_FULL;
    if (SuspendThread(thread) == static_cast<DWORD>(-1)) {
        return "    (cannot be suspended)\n";
    }
    const bool haveContext = GetThreadContext(thread, &context) != FALSE;
    ResumeThread(thread);
    if (!haveContext) {
        return "    (no registers)\n";
    }
    STACKFRAME64 frame = {};
#if defined(_M_X64) || defined(__x86_64__)
    const DWORD machine = IMAGE_FILE_MACHINE_AMD64;
    frame.AddrPC.Offset = context.Rip;
    frame.AddrFrame.Offset = context.Rbp;
    frame.AddrStack.Offset = context.Rsp;
#else
    const DWORD machine = IMAGE_FILE_MACHINE_I386;
    frame.AddrPC.Offset = context.Eip;
    frame.AddrFrame.Offset = context.Ebp;
    frame.AddrStack.Offset = context.Esp;
#endif
    frame.AddrPC.Mode = AddrModeFlat;
    frame.AddrFrame.Mode = AddrModeFlat;
    frame.AddrStack.Mode = AddrModeFlat;
    std::string text;
    for (int i = 0; i < kMaxFrames; ++i) {
        if (!StackWalk64(machine, process, thread, &frame, &context, nullptr, SymFunctionTableAccess64,
                         SymGetModuleBase64, nullptr) ||
            frame.AddrPC.Offset == 0) {
            break;
        }
        text += "    #" + std::to_string(i) + " " + DescribeAddress(process, frame.AddrPC.Offset) + "\n";
    }
    return text.empty() ? "    (no frames)\n" : text;
}

std::string ThreadName(DWORD threadId, const std::vector<RunningWorker>& workers) {
    if (threadId == State().testThreadId) {
        return "the test thread";
    }
    for (const RunningWorker& worker : workers) {
        if (worker.threadId == threadId) {
            return "worker " + WideToUtf8(worker.name);
        }
    }
    return "not started by us";
}

std::vector<DWORD> ThreadsOf(DWORD processId) {
    std::vector<DWORD> threads;
    CKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot || snapshot.Get() == INVALID_HANDLE_VALUE) {
        snapshot.Release();
        return threads;
    }
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID == processId) {
            threads.push_back(entry.th32ThreadID);
        }
    }
    return threads;
}

std::string ProcessStacks(HANDLE process, DWORD processId, const std::vector<RunningWorker>& workers) {
    std::string text;
    if (!SymInitialize(process, nullptr, TRUE)) {
        text += "    (no symbols: SymInitialize failed)\n";
    }
    for (DWORD threadId : ThreadsOf(processId)) {
        if (threadId == GetCurrentThreadId()) {
            continue;
        }
        text += "  Thread " + Hex(threadId) + " (" +
                (processId == GetCurrentProcessId() ? ThreadName(threadId, workers) : std::string("")) + "):\n";
        CKernelHandle thread(
            OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE, threadId));
        text += thread ? ThreadStack(process, thread.Get()) : "    (cannot be opened)\n";
    }
    SymCleanup(process);
    return text;
}

void Watch() {
    WatchState& state = State();
    for (;;) {
        Sleep(500);
        if (!state.armed || GetTickCount64() < state.deadline) {
            continue;
        }
        std::string name;
        {
            CTryLock lock(state.lock);
            name = lock ? state.testName : std::string("(a test)");
        }
        const std::string report = WriteWatchdogReport(name);
        fputs(report.c_str(), stdout);
        printf("[  FAILED  ] %s (stopped by the watchdog after %u s)\n", name.c_str(), state.boundSeconds);
        fflush(stdout);
        fflush(stderr);
        // ExitProcess would wait for the stuck threads' locks (the loader's among them).
        TerminateProcess(GetCurrentProcess(), 3);
    }
}

class WatchdogListener : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo& info) override {
        WatchState& state = State();
        {
            CAutoLock lock(state.lock);
            state.testName = std::string(info.test_suite_name()) + "." + info.name();
        }
        state.deadline = GetTickCount64() + state.boundSeconds * 1000ULL;
        state.armed = true;
    }
    void OnTestEnd(const ::testing::TestInfo&) override { State().armed = false; }
};

} // namespace

void InstallTestWatchdog(unsigned defaultBoundSeconds) {
    WatchState& state = State();
    state.boundSeconds = defaultBoundSeconds;
    if (const char* bound = std::getenv("VELA_TEST_BOUND_SECONDS")) {
        const long seconds = std::strtol(bound, nullptr, 10);
        if (seconds > 0) {
            state.boundSeconds = static_cast<unsigned>(seconds);
        }
    }
    state.testThreadId = GetCurrentThreadId();
    SymSetOptions(SYMOPT_UNDNAME | SYMOPT_DEFERRED_LOADS | SYMOPT_LOAD_LINES);
    ::testing::UnitTest::GetInstance()->listeners().Append(new WatchdogListener);
    // Its own thread, not a worker of the program's: it must not show among the workers it reports.
    std::thread(Watch).detach();
}

void AddWatchdogReport(const std::string& title, std::function<std::string()> report) {
    WatchState& state = State();
    CAutoLock lock(state.lock);
    state.reports.push_back({title, std::move(report)});
}

void WatchProcess(HANDLE process, const std::wstring& name) {
    WatchState& state = State();
    CAutoLock lock(state.lock);
    state.processes.push_back({process, name});
}

void UnwatchProcess(HANDLE process) {
    WatchState& state = State();
    CAutoLock lock(state.lock);
    for (auto it = state.processes.begin(); it != state.processes.end(); ++it) {
        if (it->process == process) {
            state.processes.erase(it);
            return;
        }
    }
}

std::string WriteWatchdogReport(const std::string& testName) {
    WatchState& state = State();
    std::ostringstream out;
    out << "\n==== Watchdog: " << testName << " has run past its bound of " << state.boundSeconds << " s ====\n";
    const std::vector<RunningWorker> workers = GetRunningWorkers();
    out << "-- Running workers (" << workers.size() << ")\n";
    for (const RunningWorker& worker : workers) {
        out << "  " << WideToUtf8(worker.name) << ", thread " << Hex(worker.threadId) << ", running for "
            << (GetTickCount64() - worker.startTick) << " ms\n";
    }
    out << "-- Threads of the test program\n" << ProcessStacks(GetCurrentProcess(), GetCurrentProcessId(), workers);
    std::vector<AddedReport> reports;
    std::vector<WatchedProcess> processes;
    {
        CTryLock lock(state.lock);
        if (lock) {
            reports = state.reports;
            processes = state.processes;
        } else {
            out << "-- (the reports' list is held by a stuck thread)\n";
        }
    }
    for (const AddedReport& added : reports) {
        out << "-- " << added.title << "\n";
        try {
            out << added.report();
        } catch (...) {
            out << "  (the report failed)\n";
        }
        out << "\n";
    }
    for (const WatchedProcess& watched : processes) {
        DWORD exitCode = 0;
        if (GetExitCodeProcess(watched.process, &exitCode) && exitCode != STILL_ACTIVE) {
            continue;
        }
        out << "-- Threads of " << WideToUtf8(watched.name) << " (process " << GetProcessId(watched.process) << ")\n"
            << ProcessStacks(watched.process, GetProcessId(watched.process), {});
    }
    out << "-- Last log lines\n";
    for (const std::wstring& line : CBaseDebug::RecentLines()) {
        out << "  " << WideToUtf8(line) << "\n";
    }
    out << "====\n";
    return out.str();
}

} // namespace testing_support
