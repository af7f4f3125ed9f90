#pragma once
// A stand-in for the download window in tests: a hidden popup of the test's own class and procedure
// owning a real download list (control 2010, check boxes, the 11 columns), so that row steps, adds
// and notices sent to the list's parent reach the test.

#include <windows.h>

#include <atomic>

namespace testing_support {

struct StandInDownloadWindow {
    HWND window = nullptr;
    HWND list = nullptr;
};

// Registers the class (once per process) and makes the window and its list; both null on failure.
StandInDownloadWindow CreateStandInDownloadWindow(const wchar_t* className, WNDPROC procedure,
                                                  const wchar_t* caption = L"", DWORD listStyles = 0);

// A procedure for a stand-in that answers the list's row steps and counts the list-save requests
// (37895) in StandInSaveRequests.
LRESULT CALLBACK StandInDownloadProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
std::atomic<int>& StandInSaveRequests();

} // namespace testing_support
