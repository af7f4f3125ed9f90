#pragma once
// A status window and the texts of its parts. UI thread.

#include <windows.h>

#include <string>
#include <vector>

struct CStatusBar {
    HWND m_hWnd = nullptr;
    std::vector<std::wstring> m_partTexts;

    // Creates the status window (child, visible, size grip, at the bottom, empty) with one part per
    // right edge, in client pixels; -1 runs the part to the right edge.
    bool CreateStatusBar(HWND parent, const std::vector<int>& rightEdges, UINT id = 1);
    // Stores the part's text and shows it; nothing is sent when it equals the stored text. False for
    // a part the status window cannot have (outside 0-255).
    bool SetStatusPartText(int part, const std::wstring& text);
};
