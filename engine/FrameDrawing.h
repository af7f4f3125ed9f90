#pragma once
// Building an output frame from the held frame: the letterbox arithmetic and the filter's draw
// callback, which stretches the picture into the output size and has the comments drawn onto it.
//
// Thread use: the draw callback runs where the filter produces a frame (timer, streaming or UI
// thread), always under the filter's frame lock.

#include <windows.h>

#include <cstdint>

class CVelaFilter;

// The picture of sourceWidth × sourceHeight fitted into the area, keeping its aspect ratio and
// centred: (left, top, right, bottom); integer division throughout.
RECT CalcLetterbox(int32_t areaHeight, int32_t sourceWidth, int32_t sourceHeight, int32_t areaWidth);

// The filter's draw callback: held input frame to output buffer, with the comments at positionMs.
int DrawFrameCallback(const BYTE* heldFrame, BYTE* outputBuffer, int32_t positionMs, CVelaFilter* filter);
