// The main of every test program: the log is created first, on the main thread, as in the programs,
// with its page added as the main window adds it.

#include "foundation/CBaseDebug.h"

#include <gtest/gtest.h>

#include <objbase.h>

CBaseDebug& DebugLog() {
    static CBaseDebug log;
    return log;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    CoInitialize(nullptr);
    DebugLog().AddPage(DebugLog().GetEditControl());
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
