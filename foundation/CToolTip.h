#pragma once
// Tooltip windows: one with tools over controls, and the preparation of a list view's own. UI thread.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class CToolTip {
public:
    CToolTip();
    // Destroys the tooltip window when it still exists and gives the controls back their procedures.
    ~CToolTip();
    CToolTip(const CToolTip&) = delete;
    CToolTip& operator=(const CToolTip&) = delete;

    // Creates the tooltip window (always tip, balloon) owned by the window; tips may be as wide as
    // the screen, so texts with line breaks show as several lines.
    bool Create(HWND owner);
    // Adds a tool over the control's client rectangle. The control is subclassed to relay its mouse
    // messages to the tooltip and to keep the rectangle in step with its size.
    bool AddWindowTool(HWND control, const std::wstring& text);

    HWND GetWindowHandle() const { return m_hWnd; }

private:
    class CToolRelay;

    HWND m_hWnd = nullptr;
    std::vector<std::unique_ptr<CToolRelay>> m_relays;
    UINT_PTR m_nextToolId = 1;
};

// Makes the list view's own tooltip window topmost, with background 0xAC7859, text 0xFFFFFF and an
// initial delay of 1 ms. False when the list view has no tooltip window.
bool SetupListToolTips(HWND list);
