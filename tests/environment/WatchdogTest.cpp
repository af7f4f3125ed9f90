// The test programs' watchdog: a test that runs past its bound ends its program as failed, with the
// stuck threads' stacks, the program's own reports and the last log lines written out.

#include "foundation/CBaseDebug.h"
#include "foundation/CWorkerThread.h"
#include "foundation/Handles.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TestWatchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

CEventHandle& NeverSet() {
    static CEventHandle event = CreateEventOrThrow(true, false);
    return event;
}

// Neither inlined nor left by a tail call, so that its name stands in the stack.
__attribute__((noinline)) unsigned WaitForeverInTheWorker() {
    const DWORD result = WaitForSingleObject(NeverSet().Get(), INFINITE);
    return result + 1;
}

// Run only as the child program of the test below, with a bound of a few seconds.
TEST(WatchdogChild, DISABLED_HangsInAWorker) {
    testing_support::AddWatchdogReport("the child's own state",
                                       [] { return std::string("  state seen by the report"); });
    DebugLog() << L"the last line before the hang" << EndLine;
    CWorkerThread worker = StartWorker({L"StuckWorker", false}, WaitForeverInTheWorker);
    worker.Wait(INFINITE);
}

// The child's whole output and its exit code.
bool RunChild(const std::wstring& arguments, std::string& output, DWORD& exitCode) {
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        return false;
    }
    CKernelHandle reader(readEnd);
    CKernelHandle writer(writeEnd);
    SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer.Get();
    startup.hStdError = writer.Get();
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\" " + arguments;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
        return false;
    }
    CKernelHandle process(info.hProcess);
    CKernelHandle thread(info.hThread);
    writer.Close();
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(reader.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        output.append(buffer, read);
    }
    WaitForSingleObject(process.Get(), INFINITE);
    // The child's standard output is in text mode: its line ends arrive as CR LF.
    output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
    return GetExitCodeProcess(process.Get(), &exitCode) != FALSE;
}

TEST(WatchdogTest, ATestPastItsBoundFailsItsProgramWithTheStacksReportsAndLastLines) {
    SetEnvironmentVariableW(L"VELA_TEST_BOUND_SECONDS", L"3");
    std::string output;
    DWORD exitCode = 0;
    const bool ran = RunChild(L"--gtest_also_run_disabled_tests --gtest_filter=WatchdogChild.*", output, exitCode);
    SetEnvironmentVariableW(L"VELA_TEST_BOUND_SECONDS", nullptr);
    ASSERT_TRUE(ran);
    EXPECT_NE(exitCode, 0u);
    const char* expected[] = {
        "==== Watchdog: WatchdogChild.DISABLED_HangsInAWorker has run past its bound of 3 s",
        "StuckWorker, thread ",
        "(the test thread):",
        "(worker StuckWorker):",
        "WaitForeverInTheWorker",
        "-- the child's own state\n  state seen by the report",
        "-- Last log lines\n",
        "the last line before the hang",
        "[  FAILED  ] WatchdogChild.DISABLED_HangsInAWorker (stopped by the watchdog after 3 s)",
    };
    for (const char* text : expected) {
        EXPECT_NE(output.find(text), std::string::npos) << text << "\n---- output:\n" << output;
    }
}

} // namespace
