#include "foundation/CWorkerThread.h"
#include "foundation/Exception.h"
#include "foundation/Handles.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

using testing_support::PumpMessagesFor;
using testing_support::PumpMessagesUntil;

namespace {

struct Gate {
    CEventHandle entered = CreateEventOrThrow(true, false);
    CEventHandle release = CreateEventOrThrow(true, false);
    std::atomic<bool> passed{false};

    // A thread stopped while it starts up may hold the loader lock, which every later thread start and
    // end of the process then waits for; so tests stop a thread only once it runs its procedure.
    bool WaitEntered() const { return WaitForSingleObject(entered.Get(), 5000) == WAIT_OBJECT_0; }
};

// Waits at the gate, marks it passed and returns 7.
unsigned __stdcall PassGate(void* argument) {
    auto* gate = static_cast<Gate*>(argument);
    SetEvent(gate->entered.Get());
    WaitForSingleObject(gate->release.Get(), INFINITE);
    gate->passed = true;
    return 7;
}

unsigned __stdcall ReturnAtOnce(void*) {
    return 1;
}

} // namespace

TEST(CWorkerThreadTest, RunsUntilItsProcedureReturnsAndKeepsTheExitCode) {
    Gate gate;
    CWorkerThread worker(PassGate);
    EXPECT_FALSE(worker.IsRunning()) << "a record never started";
    ASSERT_TRUE(worker.Start(&gate));
    EXPECT_NE(worker.GetThreadId(), 0u);
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_EQ(worker.GetExitCode(), static_cast<DWORD>(STILL_ACTIVE));

    SetEvent(gate.release.Get());
    ASSERT_TRUE(PumpMessagesUntil([&] { return !worker.IsRunning(); }));
    EXPECT_TRUE(gate.passed);
    EXPECT_EQ(worker.GetExitCode(), 7u);
    EXPECT_FALSE(worker.Terminate()) << "an ended thread is not terminated";
}

TEST(CWorkerThreadTest, SuspendedThreadWaitsUntilResumed) {
    Gate gate;
    CWorkerThread worker;
    ASSERT_TRUE(worker.Start(PassGate, &gate));
    ASSERT_TRUE(gate.WaitEntered());
    ASSERT_TRUE(worker.Suspend());
    SetEvent(gate.release.Get());
    PumpMessagesFor(300);
    EXPECT_FALSE(gate.passed) << "ran while suspended";
    EXPECT_TRUE(worker.IsRunning());

    ASSERT_TRUE(worker.Resume());
    EXPECT_TRUE(PumpMessagesUntil([&] { return gate.passed.load(); }));
    EXPECT_TRUE(PumpMessagesUntil([&] { return !worker.IsRunning(); }));
}

TEST(CWorkerThreadTest, TerminateEndsARunningOrSuspendedThreadWithExitCodeZero) {
    for (const bool suspended : {false, true}) {
        SCOPED_TRACE(suspended ? "suspended" : "running");
        Gate gate;
        CWorkerThread worker(PassGate);
        ASSERT_TRUE(worker.Start(&gate));
        ASSERT_TRUE(gate.WaitEntered());
        if (suspended) {
            ASSERT_TRUE(worker.Suspend());
        }
        EXPECT_TRUE(worker.Terminate());
        EXPECT_FALSE(worker.IsRunning());
        EXPECT_EQ(worker.GetExitCode(), 0u);
        EXPECT_FALSE(worker.Terminate());
        SetEvent(gate.release.Get());
        PumpMessagesFor(50);
        EXPECT_FALSE(gate.passed);
    }
}

TEST(CWorkerThreadTest, EndedThreadIsNotMistakenForANewThreadThatGotItsId) {
    // The system hands an ended thread's ID to a later thread once the ID is free; a record that found
    // its thread by ID would then see (and suspend or terminate) that other thread.
    CWorkerThread ended(ReturnAtOnce);
    ASSERT_TRUE(ended.Start(nullptr));
    ASSERT_TRUE(PumpMessagesUntil([&] { return !ended.IsRunning(); }));

    std::set<DWORD> freedIds;
    bool reuseSeen = false;
    for (int i = 0; i < 1000 && !reuseSeen; ++i) {
        Gate gate;
        DWORD id = 0;
        CWorkerThread other = StartWorker({L"other", false}, [&gate] { PassGate(&gate); });
        ASSERT_TRUE(other.IsStarted());
        id = other.GetThreadId();
        reuseSeen = freedIds.count(id) != 0;
        ASSERT_FALSE(ended.IsRunning()) << "while thread " << id << " runs";
        SetEvent(gate.release.Get());
        ASSERT_TRUE(other.Wait(INFINITE));
        freedIds.insert(id);
    }
    EXPECT_TRUE(reuseSeen) << "no thread ID was handed out twice, so the case was not shown";
    EXPECT_EQ(ended.GetExitCode(), 1u);
    EXPECT_FALSE(ended.Suspend());
    EXPECT_FALSE(ended.Terminate());
}

TEST(CWorkerThreadTest, RecordInTheListOutlivesTheCopyItWasMadeFrom) {
    Gate gate;
    size_t index;
    {
        WorkerThreadRecord record;
        record.thread.Start(PassGate, &gate);
        record.rowIndex = 4;
        record.state = WorkerThreadRecord::kRunning;
        record.pausedFromStatus = 0xFFFF;
        auto lock = LockWorkerThreads();
        index = GetWorkerThreadCount();
        AddWorkerThread(record);
    }
    WorkerThreadRecord& listed = GetWorkerThread(index);
    EXPECT_EQ(listed.rowIndex, 4);
    EXPECT_EQ(listed.state, WorkerThreadRecord::kRunning);
    EXPECT_EQ(listed.pausedFromStatus, 0xFFFF);
    EXPECT_EQ(listed.thread.GetProcedure(), &PassGate);
    EXPECT_TRUE(listed.thread.IsRunning());
    ASSERT_TRUE(gate.WaitEntered());
    EXPECT_TRUE(listed.thread.Suspend());
    EXPECT_TRUE(listed.thread.Resume());

    SetEvent(gate.release.Get());
    EXPECT_TRUE(PumpMessagesUntil([&] { return !listed.thread.IsRunning(); }));
    EXPECT_EQ(listed.thread.GetExitCode(), 7u);
}

TEST(CWorkerThreadTest, ConcurrentAppendsLoseNothingAndKeepEarlierRecordsInPlace) {
    constexpr int kThreads = 8;
    constexpr int kAppendsPerThread = 250;
    WorkerThreadRecord first;
    size_t start;
    WorkerThreadRecord* firstAddress;
    {
        auto lock = LockWorkerThreads();
        start = GetWorkerThreadCount();
        firstAddress = &AddWorkerThread(first);
    }

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, firstAddress] {
            for (int i = 0; i < kAppendsPerThread; ++i) {
                WorkerThreadRecord record;
                record.rowIndex = t * kAppendsPerThread + i;
                AddWorkerThread(record);
                // Read-modify-write of a shared record under the list's lock.
                auto lock = LockWorkerThreads();
                WorkerThreadRecord& shared = *firstAddress;
                shared.pausedFromStatus = static_cast<uint16_t>(shared.pausedFromStatus + 1);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }

    ASSERT_EQ(GetWorkerThreadCount(), start + 1 + kThreads * kAppendsPerThread);
    EXPECT_EQ(&GetWorkerThread(start), firstAddress);
    EXPECT_EQ(firstAddress->pausedFromStatus, kThreads * kAppendsPerThread);
    std::vector<int> rows;
    for (size_t i = start + 1; i < GetWorkerThreadCount(); ++i) {
        rows.push_back(GetWorkerThread(i).rowIndex);
    }
    std::sort(rows.begin(), rows.end());
    for (int i = 0; i < kThreads * kAppendsPerThread; ++i) {
        ASSERT_EQ(rows[i], i);
    }
}

TEST(CWorkerThreadTest, WaitMillisecondsSleepsInStepsOfAtMostASecondUntilTheTimeHasPassed) {
    // A clock that advances by what is slept, plus a little, as a busy machine's would.
    class FakeClock : public CWaitClock {
    public:
        DWORD Now() override { return now; }
        void Sleep(DWORD milliseconds) override {
            sleeps.push_back(milliseconds);
            now += milliseconds + 3;
        }
        DWORD now = 0xFFFFFF00; // the tick count wraps around during the wait
        std::vector<DWORD> sleeps;
    };
    struct Case {
        DWORD wait;
        std::vector<DWORD> sleeps;
    };
    const Case cases[] = {
        {0, {}},
        {120, {120}},
        {1100, {1000, 97}},
        {2500, {1000, 1000, 494}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wait);
        FakeClock clock;
        WaitMilliseconds(c.wait, clock);
        EXPECT_EQ(clock.sleeps, c.sleeps);
    }
}

namespace {

// Counts its copies alive and remembers the thread that destroyed the last one.
struct Tracked {
    explicit Tracked(std::atomic<int>& alive, std::atomic<DWORD>& destroyedOn)
        : alive(&alive), destroyedOn(&destroyedOn) {
        ++alive;
    }
    Tracked(const Tracked& other) : alive(other.alive), destroyedOn(other.destroyedOn) { ++*alive; }
    ~Tracked() {
        if (--*alive == 0) {
            *destroyedOn = GetCurrentThreadId();
        }
    }
    std::atomic<int>* alive;
    std::atomic<DWORD>* destroyedOn;
};

} // namespace

TEST(StartWorkerTest, BodyThenEndRunOnTheWorkerWhichOwnsAndDestroysWhatItWasGiven) {
    struct Case {
        const char* name;
        int throwKind; // 0 none, 1 runtime_error, 2 CException, 3 an int
        const wchar_t* logged;
        DWORD exitCode;
    };
    const Case cases[] = {
        {"returns", 0, nullptr, 5},
        {"std::runtime_error", 1, L"Error : TestWorker : the body failed", 1},
        {"CException", 2, L"Error : TestWorker : thrown by the body", 1},
        {"anything else", 3, L"Error : TestWorker : unknown exception", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::ClearLog();
        std::atomic<int> alive{0};
        std::atomic<DWORD> destroyedOn{0};
        std::atomic<DWORD> bodyThread{0};
        std::atomic<DWORD> endThread{0};
        std::atomic<bool> endAfterBody{false};
        CWorkerThread worker;
        {
            Tracked argument(alive, destroyedOn);
            const int kind = c.throwKind;
            worker = StartWorker(
                {L"TestWorker", false},
                [argument, kind, &bodyThread]() -> unsigned {
                    bodyThread = GetCurrentThreadId();
                    if (kind == 1) {
                        throw std::runtime_error("the body failed");
                    }
                    if (kind == 2) {
                        VELA_THROW(L"thrown by the body", 0);
                    }
                    if (kind == 3) {
                        throw 42;
                    }
                    return 5;
                },
                [argument, &endThread, &bodyThread, &endAfterBody] {
                    endThread = GetCurrentThreadId();
                    endAfterBody = bodyThread != 0;
                });
        }
        ASSERT_TRUE(worker.IsStarted());
        ASSERT_TRUE(worker.Wait(10000));
        EXPECT_EQ(worker.GetExitCode(), c.exitCode);
        EXPECT_EQ(bodyThread.load(), worker.GetThreadId());
        EXPECT_EQ(endThread.load(), worker.GetThreadId());
        EXPECT_TRUE(endAfterBody);
        EXPECT_EQ(alive.load(), 0) << "what the worker was given is gone with it";
        EXPECT_EQ(destroyedOn.load(), worker.GetThreadId());
        const std::wstring log = testing_support::LogText();
        if (c.logged != nullptr) {
            EXPECT_NE(log.find(std::wstring(c.logged) + L"\r\n"), std::wstring::npos) << testing::PrintToString(log);
        } else {
            EXPECT_EQ(log.find(L"Error : "), std::wstring::npos);
        }
    }
}

TEST(StartWorkerTest, ComIsInitialisedWhenAskedAndTheWorkerIsListedWhileItRuns) {
    Gate gate;
    std::atomic<HRESULT> comState{E_FAIL};
    CWorkerThread worker = StartWorker({L"ListedWorker", true}, [&] {
        // Initialised already: a second initialisation of the same kind answers S_FALSE.
        comState = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(comState.load())) {
            CoUninitialize();
        }
        PassGate(&gate);
    });
    ASSERT_TRUE(gate.WaitEntered());
    EXPECT_EQ(comState.load(), S_FALSE);
    const auto listed = [&] {
        for (const RunningWorker& running : GetRunningWorkers()) {
            if (running.threadId == worker.GetThreadId()) {
                return running.name == L"ListedWorker";
            }
        }
        return false;
    };
    EXPECT_TRUE(listed());
    SetEvent(gate.release.Get());
    ASSERT_TRUE(worker.Wait(10000));
    EXPECT_FALSE(listed());
}
