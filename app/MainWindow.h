#pragma once
// The main window "CVelaPlayer": the message hub of the player. Its creation starts the whole
// application; its procedure routes every message.
//
// Thread use: UI thread; other threads reach it only through the private messages.

#include <windows.h>

#include <string>

// Private messages: from the graph and the tray (0x8001-0x800A), from workers and tool windows (0x9001-0x9008).
constexpr UINT kMsgGraphEvent = 0x8001;
constexpr UINT kMsgPause = 0x8002;
constexpr UINT kMsgPlay = 0x8003;
constexpr UINT kMsgPlayState = 0x8004;
constexpr UINT kMsgUpdateMenu = 0x9001;
constexpr UINT kMsgSeek = 0x9003;
constexpr UINT kMsgFilterEntry = 0x9004;
constexpr UINT kMsgCommandLine = 0x9005;
constexpr UINT kMsgRedrawPaused = 0x9006;
constexpr UINT kMsgVideoData = 0x9007;
constexpr UINT kMsgPostResult = 0x9008;

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
