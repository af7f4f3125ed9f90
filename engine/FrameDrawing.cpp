#include "engine/FrameDrawing.h"

#include "engine/CDirectShow.h"
#include "engine/CVelaFilter.h"
#include "foundation/AppSettings.h"

#include <algorithm>
#include <cstring>

namespace {

FrameBits TopDownView(BYTE* bits, const BITMAPINFOHEADER& header) {
    FrameBits frame;
    frame.width = header.biWidth;
    frame.height = header.biHeight;
    frame.bitCount = header.biBitCount;
    const ptrdiff_t stride = DibStride(header.biWidth, header.biBitCount);
    // Bottom-up DIB: the top row is the last one in memory.
    frame.top = bits + stride * (header.biHeight > 0 ? header.biHeight - 1 : 0);
    frame.stride = -stride;
    return frame;
}

// The mouse point in output-frame pixels when comments may be picked with the mouse and the cursor
// is shown over the video window.
bool MousePoint(const CDirectShow& graph, const RECT& letterbox, const BITMAPINFOHEADER& output, POINT& point) {
    const AppSettings& settings = GetAppSettings();
    const HWND owner = graph.GetOwnerWindow();
    const HWND video = graph.GetVideoChildWindow();
    if (!settings.CommentMouseSelect || graph.IsVideoCursorHidden() || owner == nullptr || video == nullptr) {
        return false;
    }
    POINT cursor;
    if (!GetCursorPos(&cursor) || WindowFromPoint(cursor) != video || !ScreenToClient(owner, &cursor)) {
        return false;
    }
    const RECT area = graph.GetVideoArea();
    const LONG areaWidth = area.right - area.left;
    const LONG areaHeight = area.bottom - area.top;
    if (areaWidth <= 0 || areaHeight <= 0) {
        return false;
    }
    LONGLONG x = cursor.x - area.left;
    LONGLONG y = cursor.y - area.top;
    if (!settings.MovieSizeFitWindow) {
        const LONG boxWidth = letterbox.right - letterbox.left;
        const LONG boxHeight = letterbox.bottom - letterbox.top;
        if (boxWidth <= 0 || boxHeight <= 0) {
            return false;
        }
        x = (x - letterbox.left) * areaWidth / boxWidth;
        y = (y - letterbox.top) * areaHeight / boxHeight;
    }
    point.x = static_cast<LONG>(x * output.biWidth / areaWidth);
    point.y = static_cast<LONG>(y * output.biHeight / areaHeight);
    return true;
}

void DrawCommentsOnCanvas(CDirectShow& graph, BYTE* bits, const BITMAPINFOHEADER& header, int32_t positionMs,
                          const POINT* mouse) {
    const DrawCommentsFn draw = graph.GetCommentDrawing();
    if (draw == nullptr) {
        return;
    }
    graph.SetCommentUnderMouse(draw(TopDownView(bits, header), positionMs, mouse));
}

} // namespace

RECT CalcLetterbox(int32_t areaHeight, int32_t sourceWidth, int32_t sourceHeight, int32_t areaWidth) {
    const int32_t widthDivisor = sourceWidth != 0 ? sourceWidth : 1;
    const int32_t fittedHeight = static_cast<int32_t>(static_cast<int64_t>(sourceHeight) * areaWidth / widthDivisor);
    if (fittedHeight > areaHeight) {
        const int32_t heightDivisor = sourceHeight != 0 ? sourceHeight : 1;
        const int32_t width = static_cast<int32_t>(static_cast<int64_t>(areaHeight) * sourceWidth / heightDivisor);
        const int32_t left = (areaWidth - width) / 2;
        return RECT{left, 0, left + width, areaHeight};
    }
    const int32_t top = (areaHeight - fittedHeight) / 2;
    return RECT{0, top, areaWidth, top + fittedHeight};
}

int DrawFrameCallback(const BYTE* heldFrame, BYTE* outputBuffer, int32_t positionMs, CVelaFilter* filter) {
    try {
        CDirectShow& graph = GetDirectShow();
        const AppSettings& settings = GetAppSettings();
        // Posted: a sent message would wait for the UI thread, which may itself wait for this frame.
        graph.PostToOwner(kMsgPlayPosition, static_cast<WPARAM>(positionMs), 0);

        const BITMAPINFOHEADER input = filter->GetInputHeader();
        const BITMAPINFOHEADER output = filter->GetOutputHeader();
        if (output.biSizeImage == 0 || input.biSizeImage == 0) {
            return 0;
        }
        RECT letterbox = {};
        if (!settings.MovieSizeFitWindow) {
            const RECT area = graph.GetVideoArea();
            letterbox = CalcLetterbox(area.bottom - area.top, output.biWidth, output.biHeight, area.right - area.left);
        }
        POINT point;
        const POINT* mouse = MousePoint(graph, letterbox, output, point) ? &point : nullptr;

        const bool sameSize = input.biWidth == output.biWidth && input.biHeight == output.biHeight &&
                              input.biBitCount == output.biBitCount;
        if (sameSize && !settings.ViewComment) {
            std::memcpy(outputBuffer, heldFrame, std::min(input.biSizeImage, output.biSizeImage));
            return 0;
        }
        CFrameCanvas& canvas = graph.FrameCanvas();
        if (!canvas.Prepare(output)) {
            return 0;
        }
        if (sameSize) {
            std::memcpy(canvas.Bits(), heldFrame, output.biSizeImage);
        } else {
            // The canvas is kept between frames: the bars must be cleared of the last frame's comments.
            std::memset(canvas.Bits(), 0, output.biSizeImage);
            const RECT box = CalcLetterbox(output.biHeight, input.biWidth, input.biHeight, output.biWidth);
            if (settings.VideoHalfTone) {
                SetStretchBltMode(canvas.Dc(), HALFTONE);
                SetBrushOrgEx(canvas.Dc(), 0, 0, nullptr);
            } else {
                SetStretchBltMode(canvas.Dc(), COLORONCOLOR);
            }
            BITMAPINFO info = {};
            info.bmiHeader = input;
            StretchDIBits(canvas.Dc(), box.left, box.top, box.right - box.left, box.bottom - box.top, 0, 0,
                          input.biWidth, input.biHeight, heldFrame, &info, DIB_RGB_COLORS, SRCCOPY);
            GdiFlush();
        }
        if (settings.ViewComment) {
            DrawCommentsOnCanvas(graph, canvas.Bits(), output, positionMs, mouse);
        }
        std::memcpy(outputBuffer, canvas.Bits(), output.biSizeImage);
    } catch (...) {
        // A failed frame is skipped; the next tick draws again.
    }
    return 0;
}
