#pragma once
// A comment's text drawn once, with its outline, into a premultiplied bitmap, and the blend of such
// a bitmap into a frame. GDI+ draws text slowly (under Wine a few ms for one outlined text, more than
// a whole frame's blending), so each text is drawn once, by GDI in the record's font, and each frame
// only blends.
//
// Thread use: a CCommentTextRenderer on one thread at a time; it reads the record's font, so it runs
// where the record's store is held (the frame thread). The bitmaps are plain values.

#include "engine/CommentRecord.h"
#include "engine/FrameBits.h"
#include "engine/FrameCanvas.h"
#include "foundation/Handles.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct CommentTextBitmap {
    // The text's origin (the comment's top left at the layout's place) lies at (margin, margin).
    static constexpr int32_t kMargin = 2;

    int32_t width = 0;
    int32_t height = 0;
    // Premultiplied blue, green, red, alpha, top row first.
    std::vector<uint32_t> pixels;
    // Per row, the columns [first, last) that hold any ink; first == last for a blank row.
    std::vector<int32_t> first;
    std::vector<int32_t> last;

    bool Empty() const { return width == 0 || height == 0; }
};

class CCommentTextRenderer {
public:
    CCommentTextRenderer() = default;
    CCommentTextRenderer(const CCommentTextRenderer&) = delete;
    CCommentTextRenderer& operator=(const CCommentTextRenderer&) = delete;

    // The record's text in its font and colour, with a dark outline so light text reads on light
    // video (a light one for dark text). Empty when the record has no font or GDI refused.
    CommentTextBitmap Render(const CommentRecord& record);

private:
    // The GDI font of the record's font (DescribeCommentGdiFont), made once.
    HFONT FontFor(const CommentRecord& record);
    // The scratch grows to hold the largest text so far; it is 32-bit and top-down.
    bool PrepareScratch(int32_t width, int32_t height);
    uint32_t* ScratchBits() const { return reinterpret_cast<uint32_t*>(m_scratch.Bits()); }
    int32_t ScratchWidth() const { return m_scratch.Header().biWidth; }

    // GDI fonts by their key.
    std::map<std::wstring, CGdiObject<HFONT>> m_fonts;
    CFrameCanvas m_scratch;
    // Coverage of the text and of its outline, per pixel of the scratch.
    std::vector<uint8_t> m_text;
    std::vector<uint8_t> m_outline;
    std::vector<uint8_t> m_wide;
    std::vector<uint8_t> m_spread;
};

// Blends the bitmap into the frame with the comment's top left at (x, y), clipped to the frame;
// alpha 0 to 255 scales the whole bitmap. 32-bit frames are blended four pixels at a time where the
// processor has SSE2 (every x86-64 one; checked at run time on i686), with the same result, to the
// bit, as the pixel-by-pixel path that 24-bit frames and other processors take.
void BlendCommentText(const FrameBits& frame, const CommentTextBitmap& text, int32_t x, int32_t y, uint32_t alpha);

enum class BlendPath {
    kFastest,
    kScalar, // pixel by pixel, whatever the processor: the reference the fast path is checked against
};
void BlendCommentText(const FrameBits& frame, const CommentTextBitmap& text, int32_t x, int32_t y, uint32_t alpha,
                      BlendPath path);
