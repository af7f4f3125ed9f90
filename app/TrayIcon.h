#pragma once
// The task-tray icon of the main window. UI thread.

#include "foundation/PrivateMessages.h"

#include <windows.h>

// The icon sends kMsgTrayIcon to the main window.
bool AddTrayIcon(HWND mainWindow);
// Removes the icon whenever it exists.
void RemoveTrayIcon();
bool HasTrayIcon();
// Keeps the icon's tip equal to the main window's title (the main window's 1000 ms timer).
void UpdateTrayTip();
