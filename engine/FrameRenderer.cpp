#include "engine/FrameRenderer.h"

#include "engine/FrameCommentDrawing.h"
#include "foundation/AppSettings.h"
#include "foundation/PrivateMessages.h"

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

CFrameRenderer::CFrameRenderer(const AppSettings& settings) : m_settings(settings), m_drawComments(DrawComments) {}

DrawFrameCallbackFn CFrameRenderer::Callback() {
    return [this](const BYTE* heldFrame, BYTE* outputBuffer, int32_t positionMs, CVelaFilter* filter) {
        return DrawFrameCallback(heldFrame, outputBuffer, positionMs, filter);
    };
}

int CFrameRenderer::DrawFrameCallback(const BYTE* heldFrame, BYTE* outputBuffer, int32_t positionMs,
                                      CVelaFilter* filter) {
    try {
        // Posted: a sent message would wait for the UI thread, which may itself wait for this frame.
        PostToOwner(kMsgPlayPosition, static_cast<WPARAM>(positionMs), 0);
        DrawFrame(heldFrame, filter->GetInputHeader(), outputBuffer, filter->GetOutputHeader(), positionMs);
    } catch (...) {
        // A failed frame is skipped; the next tick draws again.
    }
    return 0;
}

void CFrameRenderer::DrawFrame(const BYTE* heldFrame, const BITMAPINFOHEADER& input, BYTE* outputBuffer,
                               const BITMAPINFOHEADER& output, int32_t positionMs) {
    if (output.biSizeImage == 0 || input.biSizeImage == 0) {
        return;
    }
    const bool fitWindow = m_settings.MovieSizeFitWindow;
    const bool viewComment = m_settings.ViewComment;
    RECT letterbox = {};
    if (!fitWindow) {
        const RECT area = GetVideoArea();
        letterbox = CalcLetterbox(area.bottom - area.top, output.biWidth, output.biHeight, area.right - area.left);
    }
    POINT point;
    const POINT* mouse = MouseInFrame(letterbox, output, point) ? &point : nullptr;

    const bool sameSize =
        input.biWidth == output.biWidth && input.biHeight == output.biHeight && input.biBitCount == output.biBitCount;
    if (sameSize && !viewComment) {
        std::memcpy(outputBuffer, heldFrame, std::min(input.biSizeImage, output.biSizeImage));
        return;
    }
    CAutoLock lock(m_drawLock);
    if (!m_canvas.Prepare(output)) {
        return;
    }
    if (sameSize) {
        std::memcpy(m_canvas.Bits(), heldFrame, output.biSizeImage);
    } else {
        // The canvas is kept between frames: the bars must be cleared of the last frame's comments.
        std::memset(m_canvas.Bits(), 0, output.biSizeImage);
        const RECT box = CalcLetterbox(output.biHeight, input.biWidth, input.biHeight, output.biWidth);
        if (m_settings.VideoHalfTone) {
            SetStretchBltMode(m_canvas.Dc(), HALFTONE);
            SetBrushOrgEx(m_canvas.Dc(), 0, 0, nullptr);
        } else {
            SetStretchBltMode(m_canvas.Dc(), COLORONCOLOR);
        }
        BITMAPINFO info = {};
        info.bmiHeader = input;
        StretchDIBits(m_canvas.Dc(), box.left, box.top, box.right - box.left, box.bottom - box.top, 0, 0, input.biWidth,
                      input.biHeight, heldFrame, &info, DIB_RGB_COLORS, SRCCOPY);
        GdiFlush();
    }
    if (viewComment && m_drawComments) {
        m_commentUnderMouse = m_drawComments(TopDownView(m_canvas.Bits(), output), positionMs, mouse);
    }
    std::memcpy(outputBuffer, m_canvas.Bits(), output.biSizeImage);
}

bool CFrameRenderer::MouseInFrame(const RECT& letterbox, const BITMAPINFOHEADER& output, POINT& point) const {
    POINT cursor;
    if (!m_settings.CommentMouseSelect || m_cursorHidden || !GetMousePoint(cursor)) {
        return false;
    }
    const RECT area = GetVideoArea();
    const LONG areaWidth = area.right - area.left;
    const LONG areaHeight = area.bottom - area.top;
    if (areaWidth <= 0 || areaHeight <= 0) {
        return false;
    }
    LONGLONG x = cursor.x - area.left;
    LONGLONG y = cursor.y - area.top;
    if (!m_settings.MovieSizeFitWindow) {
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

void CFrameRenderer::SetCommentDrawing(DrawCommentsFn draw) {
    CAutoLock lock(m_drawLock);
    m_drawComments = std::move(draw);
}

void CFrameRenderer::SetMousePoint(const POINT* clientPoint) {
    m_mousePoint = clientPoint == nullptr ? kNoMousePoint
                                          : static_cast<uint64_t>(static_cast<uint32_t>(clientPoint->x)) << 32 |
                                                static_cast<uint32_t>(clientPoint->y);
}

bool CFrameRenderer::GetMousePoint(POINT& clientPoint) const {
    const uint64_t packed = m_mousePoint;
    if (packed == kNoMousePoint) {
        return false;
    }
    clientPoint.x = static_cast<LONG>(static_cast<int32_t>(packed >> 32));
    clientPoint.y = static_cast<LONG>(static_cast<int32_t>(packed & 0xFFFFFFFF));
    return true;
}

void CFrameRenderer::PostToOwner(UINT message, WPARAM wParam, LPARAM lParam) const {
    // A null window would post to the calling (timer or streaming) thread's own queue.
    if (const HWND owner = m_owner) {
        PostMessageW(owner, message, wParam, lParam);
    }
}

void CFrameRenderer::SetVideoArea(const RECT& area) {
    CAutoLock lock(&m_areaLock);
    m_videoArea = area;
}

RECT CFrameRenderer::GetVideoArea() const {
    {
        CAutoLock lock(&m_areaLock);
        if (!IsRectEmpty(&m_videoArea)) {
            return m_videoArea;
        }
    }
    RECT client = {};
    if (const HWND owner = m_owner) {
        GetClientRect(owner, &client);
    }
    return client;
}

void CFrameRenderer::FreeCanvas() {
    CAutoLock lock(m_drawLock);
    m_canvas.Free();
}
