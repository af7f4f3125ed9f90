#pragma once
// The controls of the main window: tool bar, seek bar, mute button, volume bar and status bar, their
// tool tips, and the layout that puts the video above them.
//
// Thread use: UI thread.

#include "foundation/CStatusBar.h"
#include "foundation/CToolTip.h"
#include "foundation/CWndBase.h"
#include "foundation/Handles.h"

#include <windows.h>

#include <functional>

// A track bar (seek or volume) subclassed so that the player knows while the user drags it, and so
// that a click jumps to the clicked place. The wheel goes to the main window, where it sets the volume.
class CSubSeekBar : public CWndBase {
public:
    bool IsDragging() const { return m_dragging; }
    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool m_dragging = false;
};

// The status bar, subclassed for the clicks on its parts: the handler gets the part under the cursor
// and whether the right button was pressed.
class CSubStatusBar : public CWndBase {
public:
    std::function<void(int part, bool right)> onPartClick;
    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
};

struct MainControls {
    HWND toolBar = nullptr;
    HWND seekBar = nullptr;
    HWND muteButton = nullptr;
    HWND volumeBar = nullptr;
    CStatusBar statusBar;
    CSubStatusBar statusBarObject;
    CSubSeekBar seekBarObject;
    CSubSeekBar volumeBarObject;
    CToolTip toolTips;
    CGdiObject<HBITMAP> soundBitmap;
    CGdiObject<HBITMAP> muteBitmap;
};

// The process's one set of main-window controls.
MainControls& GetMainControls();

// Creates the status bar, seek bar, tool bar, mute button and volume bar, in that order, and their tips.
bool CreateMainControls(HWND mainWindow);
// The client rectangle left for the video above the bars.
RECT GetVideoArea(HWND mainWindow);
// Puts the tool bar, seek bar, volume bar, mute button and status bar along the bottom.
void LayoutMainWindow(HWND mainWindow);
// Shows the muted or the sound bitmap on the mute button.
void UpdateMuteButton(bool muted);
