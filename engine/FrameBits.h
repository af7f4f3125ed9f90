#pragma once
// The frame that the comment drawing draws into, and the hook through which the drawing plugs into
// the frame renderer.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>

// Rows from top to bottom: row y starts at top + y * stride. The filter's pictures are bottom-up
// DIBs, so the stride is negative there; rows are padded to whole DWORDs.
struct FrameBits {
    BYTE* top = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    ptrdiff_t stride = 0;
    WORD bitCount = 32; // 24 or 32, blue green red [unused]
};

// Draws the comments visible at positionMs into the frame. mouse is the mouse point in frame pixels,
// or null; the result is the index of the comment under it, or -1.
using DrawCommentsFn = std::function<int32_t(const FrameBits& frame, int32_t positionMs, const POINT* mouse)>;
