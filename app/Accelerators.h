#pragma once
// Keyboard shortcuts from accel.ini in the program folder: section "main" for the main window and
// "common" for the shared table that acts on the main window from every window. Each key is a
// command ID and each value a key such as "Space", "Ctrl+O" or "Alt+Enter". A missing file is written
// with the default shortcuts first.
//
// Thread use: the tables are built on a worker thread; their handles are read by the UI thread.

#include <windows.h>

#include <string>

// Parses "Ctrl+Shift+Alt+Key"; false for a text that names no key.
bool ParseAcceleratorKey(const std::wstring& text, ACCEL& accel);

// Builds both tables from the file on a worker thread.
void StartBuildingAccelerators(const std::wstring& programFolder);
// Builds them on the calling thread.
void BuildAccelerators(const std::wstring& programFolder);
// Null until built.
HACCEL GetMainAccelerator();
HACCEL GetSharedAccelerator();
void DestroyAccelerators();
