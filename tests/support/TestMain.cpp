// The main of every test program: the log is created first, on the main thread, as in the programs,
// with its page added as the main window adds it; a watchdog stops a test that runs past its bound.

#include "foundation/CBaseDebug.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TestWatchdog.h"

#include <gtest/gtest.h>

#include <objbase.h>

CBaseDebug& DebugLog() {
    static CBaseDebug log;
    return log;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Well inside CTest's time-outs, so that a stuck test is named and shown, not just timed out.
    testing_support::InstallTestWatchdog(90);
    CoInitialize(nullptr);
    DebugLog().AddPage(DebugLog().GetEditControl());
    const int result = RUN_ALL_TESTS();
    testing_support::RunProgramEndSteps();
    CoUninitialize();
    return result;
}
