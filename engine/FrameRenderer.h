#pragma once
// Building an output frame from the held frame: the letterbox arithmetic, and the frame renderer,
// which stretches the picture into the output size, has the comments drawn onto it and posts the play
// position to the player's window.
//
// The renderer holds what a frame needs from the player: the canvas, the comment drawing, the owner
// window, the video area, whether the video cursor is hidden and the mouse point the UI thread last
// recorded. A frame is drawn under the filter's frame lock, which a seek on the UI thread waits for
// (through the streaming thread), so the drawing never asks the window system anything that could
// wait for the UI thread: it reads the recorded point, and it only posts.
//
// Thread use: DrawFrameCallback where the filter produces a frame (timer, streaming or UI thread),
// always under the filter's frame lock; the setters on the UI thread; the getters on any thread.

#include "engine/CVelaFilter.h"
#include "engine/FrameBits.h"
#include "engine/FrameCanvas.h"
#include "foundation/CCritSec.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

struct AppSettings;

// The picture of sourceWidth × sourceHeight fitted into the area, keeping its aspect ratio and
// centred: (left, top, right, bottom); integer division throughout.
RECT CalcLetterbox(int32_t areaHeight, int32_t sourceWidth, int32_t sourceHeight, int32_t areaWidth);

class CFrameRenderer {
public:
    // Reads the drawing settings (fit to window, comments shown, half-tone, mouse selection) at each
    // frame; the comment drawing starts as DrawComments of the process's store.
    explicit CFrameRenderer(const AppSettings& settings);
    CFrameRenderer(const CFrameRenderer&) = delete;
    CFrameRenderer& operator=(const CFrameRenderer&) = delete;

    // The filter's draw callback: held input frame to output buffer, with the comments at positionMs.
    int DrawFrameCallback(const BYTE* heldFrame, BYTE* outputBuffer, int32_t positionMs, CVelaFilter* filter);
    // The same with the filter's input and output headers given.
    void DrawFrame(const BYTE* heldFrame, const BITMAPINFOHEADER& input, BYTE* outputBuffer,
                   const BITMAPINFOHEADER& output, int32_t positionMs);
    // DrawFrameCallback of this renderer as the filter takes it; the renderer must outlive its use.
    DrawFrameCallbackFn Callback();

    // Called for each frame while comments are shown; null draws none.
    void SetCommentDrawing(DrawCommentsFn draw);
    // The index of the comment under the mouse point at the last frame, or -1.
    int32_t GetCommentUnderMouse() const { return m_commentUnderMouse; }
    // The cursor over the video window in the owner's client coordinates, or null when it is not over
    // the video; recorded by the UI thread, which alone may ask the window system where it is.
    void SetMousePoint(const POINT* clientPoint);
    bool GetMousePoint(POINT& clientPoint) const;

    // The window that gets the play position (null: none).
    void SetOwnerWindow(HWND owner) { m_owner = owner; }
    HWND GetOwnerWindow() const { return m_owner; }
    void PostToOwner(UINT message, WPARAM wParam, LPARAM lParam) const;
    // The player's video area in the owner's client coordinates; the whole client area until set.
    void SetVideoArea(const RECT& area);
    RECT GetVideoArea() const;
    void SetCursorHidden(bool hidden) { m_cursorHidden = hidden; }
    bool IsCursorHidden() const { return m_cursorHidden; }

    // Frees the canvas; only while no frame is drawn (the graph is closed).
    void FreeCanvas();

private:
    // The recorded mouse point in output-frame pixels, when comments may be picked with the mouse and
    // the cursor is shown.
    bool MouseInFrame(const RECT& letterbox, const BITMAPINFOHEADER& output, POINT& point) const;

    const AppSettings& m_settings;
    // Guards the canvas and the comment drawing; held for a whole frame.
    CCritSec m_drawLock;
    CFrameCanvas m_canvas;
    DrawCommentsFn m_drawComments;
    std::atomic<int32_t> m_commentUnderMouse{-1};
    // x in the high and y in the low 32 bits, so both change at once; kNoMousePoint when none.
    static constexpr uint64_t kNoMousePoint = ~0ULL;
    std::atomic<uint64_t> m_mousePoint{kNoMousePoint};
    std::atomic<HWND> m_owner{nullptr};
    mutable CCritSec m_areaLock;
    RECT m_videoArea = {};
    std::atomic<bool> m_cursorHidden{false};
};
