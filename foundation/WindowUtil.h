#pragma once
// Placement and text helpers for top-level windows. UI thread.

#include <windows.h>

#include <string>

// Centres the window on the primary screen, keeping its size and Z order: first horizontally, then
// vertically (two moves).
void CenterWindow(HWND window);
// Moves the window, without resizing it, so that it lies inside its nearest monitor; a window larger
// than the monitor keeps its left (top) edge on the monitor's.
void FitWindowToMonitor(HWND window);
// Makes the window the foreground window, also when another thread's window is in front.
void ForceForegroundWindow(HWND window);

// The window's whole text, of any length.
std::wstring GetWindowTextString(HWND window);
std::wstring GetWindowClassName(HWND window);
