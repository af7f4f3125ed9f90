#pragma once
// A stand-in for the download window in tests: a hidden popup of the test's own class and procedure
// owning a real download list (control 2010, check boxes, the 11 columns), so that row steps, adds
// and notices sent to the list's parent reach the test.

#include <windows.h>

namespace testing_support {

struct StandInDownloadWindow {
    HWND window = nullptr;
    HWND list = nullptr;
};

// Registers the class (once per process) and makes the window and its list; both null on failure.
StandInDownloadWindow CreateStandInDownloadWindow(const wchar_t* className, WNDPROC procedure,
                                                  const wchar_t* caption = L"", DWORD listStyles = 0);

} // namespace testing_support
