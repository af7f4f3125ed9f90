#pragma once
// The main window "CVelaPlayer": the message hub of the player. Its creation starts the whole
// application; its procedure routes every message.
//
// Thread use: UI thread; other threads reach it only through the private messages.

#include "foundation/PrivateMessages.h"

#include <windows.h>

#include <string>

// The record that message 0x9004 carries by address.
struct FilterEntryRecord {
    HWND owner;
    std::wstring kind;
    std::wstring fileName;
    std::wstring value;
    BYTE reloadNow;
};

extern const wchar_t kMainWindowClass[];

// The running instance found at start (null when none, or when it was closing).
void SetRunningInstance(HWND window);
HWND GetRunningInstance();

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Executes a command-line text as a second start's hand-off is executed (first word: the program).
void ExecuteCommandLineText(const std::wstring& text);
// Refreshes the menus' check marks and the status texts from the settings and the playback state.
void UpdateMainMenuAndState();
