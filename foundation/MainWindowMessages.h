#pragma once
// Requests to the player's main window from any thread. The main window registers itself at creation.

#include "foundation/PrivateMessages.h"

#include <windows.h>

#include <string>

void SetMainWindow(HWND window);
HWND GetMainWindow();

// Sends (waits) the text as a log line to the main window; returns what SendMessageW returns.
LRESULT LogViaMainWindow(const std::wstring& text);

// Sends the program's quoted path, a blank and arguments by WM_COPYDATA (dwData 0, with the terminator).
LRESULT SendCommandLineToMainWindow(const std::wstring& arguments);
// As a second start would: the program's path and the given path, each in double quotes.
LRESULT SendOptionToMainWindow(const std::wstring& path);
// Appends "%__SILENT__%" to the script and sends kMsgRunScript; returns the answer.
LRESULT SendMainWindowStrings(const std::wstring& script, const std::wstring& language);

// Sends a command line (UTF-16 with its terminator) to a window by WM_COPYDATA with dwData 0.
LRESULT SendCopyData(HWND target, HWND sender, const std::wstring& text);
