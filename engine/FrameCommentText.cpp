#include "engine/FrameCommentText.h"

#include "engine/CommentFonts.h"

#include <windows.h>
#include <gdiplus.h>

#include <algorithm>
#include <climits>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace {

// Larger pictures GDI may refuse, and no frame shows more of a text anyway.
constexpr int32_t kMaxSide = 16384;
constexpr size_t kMaxFonts = 64;

COLORREF OutlineFor(COLORREF color) {
    const int luminance = (299 * GetRValue(color) + 587 * GetGValue(color) + 114 * GetBValue(color)) / 1000;
    return luminance < 64 ? RGB(200, 200, 200) : RGB(16, 16, 16);
}

inline uint32_t Div255(uint32_t value) {
    value += 128;
    return (value + (value >> 8)) >> 8;
}

// out = the largest of in over each pixel's 3 × 3 neighbourhood (rows then columns).
void Dilate(const std::vector<uint8_t>& in, std::vector<uint8_t>& out, std::vector<uint8_t>& scratch, int32_t width,
            int32_t height) {
    scratch.resize(in.size());
    out.resize(in.size());
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = in.data() + static_cast<size_t>(y) * width;
        uint8_t* target = scratch.data() + static_cast<size_t>(y) * width;
        for (int32_t x = 0; x < width; ++x) {
            uint8_t value = row[x];
            if (x > 0) {
                value = std::max(value, row[x - 1]);
            }
            if (x + 1 < width) {
                value = std::max(value, row[x + 1]);
            }
            target[x] = value;
        }
    }
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* above = scratch.data() + static_cast<size_t>(std::max(0, y - 1)) * width;
        const uint8_t* row = scratch.data() + static_cast<size_t>(y) * width;
        const uint8_t* below = scratch.data() + static_cast<size_t>(std::min(height - 1, y + 1)) * width;
        uint8_t* target = out.data() + static_cast<size_t>(y) * width;
        for (int32_t x = 0; x < width; ++x) {
            target[x] = std::max(row[x], std::max(above[x], below[x]));
        }
    }
}

} // namespace

HFONT CCommentTextRenderer::FontFor(const CommentRecord& record) {
    // Looked up by the description, never by the font's address: a store loaded again frees its
    // fonts, and a new one may take an old one's place.
    std::wstring key;
    LOGFONTW logFont;
    if (!DescribeCommentGdiFont(*record.font, logFont, key)) {
        return nullptr;
    }
    auto found = m_fonts.find(key);
    if (found == m_fonts.end()) {
        if (m_fonts.size() >= kMaxFonts) {
            m_fonts.clear();
        }
        CGdiObject<HFONT> made(CreateFontIndirectW(&logFont));
        if (!made) {
            return nullptr;
        }
        found = m_fonts.emplace(key, std::move(made)).first;
    }
    return found->second.Get();
}

bool CCommentTextRenderer::PrepareScratch(int32_t width, int32_t height) {
    const int32_t presentWidth = ScratchWidth();
    const int32_t presentHeight = -m_scratch.Header().biHeight;
    if (m_scratch.Bits() != nullptr && width <= presentWidth && height <= presentHeight) {
        return true;
    }
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = std::max(width, presentWidth);
    header.biHeight = -std::max(height, presentHeight); // top-down
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    if (!m_scratch.Prepare(header)) {
        return false;
    }
    SetBkMode(m_scratch.Dc(), TRANSPARENT);
    SetTextColor(m_scratch.Dc(), RGB(255, 255, 255));
    SetTextAlign(m_scratch.Dc(), TA_TOP | TA_LEFT | TA_NOUPDATECP);
    return true;
}

CommentTextBitmap CCommentTextRenderer::Render(const CommentRecord& record) {
    CommentTextBitmap text;
    if (record.font == nullptr || record.chat.text.empty() || record.width <= 0 || record.height <= 0 ||
        record.width > kMaxSide || record.height > kMaxSide || record.chat.text.size() > static_cast<size_t>(INT_MAX)) {
        return text;
    }
    const HFONT font = FontFor(record);
    const int32_t width = record.width + 2 * CommentTextBitmap::kMargin;
    const int32_t height = record.height + 2 * CommentTextBitmap::kMargin;
    if (font == nullptr || !PrepareScratch(width, height)) {
        return text;
    }
    for (int32_t y = 0; y < height; ++y) {
        std::fill_n(ScratchBits() + static_cast<size_t>(y) * ScratchWidth(), width, 0u);
    }
    const HGDIOBJ oldFont = SelectObject(m_scratch.Dc(), font);
    // The box the layout placed is the one measured in this font (CommentTextMeasurer).
    const RECT clip = {0, 0, width, height};
    DrawCommentTextAt(m_scratch.Dc(), CommentTextBitmap::kMargin, CommentTextBitmap::kMargin, record.chat.text, clip);
    SelectObject(m_scratch.Dc(), oldFont);
    GdiFlush();

    const size_t area = static_cast<size_t>(width) * height;
    m_text.resize(area);
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* row = ScratchBits() + static_cast<size_t>(y) * ScratchWidth();
        uint8_t* coverage = m_text.data() + static_cast<size_t>(y) * width;
        for (int32_t column = 0; column < width; ++column) {
            const uint32_t pixel = row[column];
            coverage[column] =
                static_cast<uint8_t>(std::max(pixel & 0xFF, std::max((pixel >> 8) & 0xFF, (pixel >> 16) & 0xFF)));
        }
    }
    // A ring of one pixel at full strength and a second at half, so the edge is soft.
    Dilate(m_text, m_outline, m_spread, width, height);
    Dilate(m_outline, m_wide, m_spread, width, height);

    const COLORREF outline = OutlineFor(record.color);
    text.width = width;
    text.height = height;
    text.pixels.resize(area);
    text.first.assign(height, 0);
    text.last.assign(height, 0);
    for (int32_t y = 0; y < height; ++y) {
        const size_t offset = static_cast<size_t>(y) * width;
        int32_t first = width;
        int32_t last = 0;
        for (int32_t column = 0; column < width; ++column) {
            const uint32_t c = m_text[offset + column];
            const uint32_t o =
                std::max<uint32_t>(std::max<uint32_t>(m_outline[offset + column], m_wide[offset + column] / 2), c);
            const uint32_t under = Div255(o * (255 - c));
            const uint32_t a = c + under;
            if (a == 0) {
                text.pixels[offset + column] = 0;
                continue;
            }
            const uint32_t r = std::min(a, Div255(GetRValue(record.color) * c) + Div255(GetRValue(outline) * under));
            const uint32_t g = std::min(a, Div255(GetGValue(record.color) * c) + Div255(GetGValue(outline) * under));
            const uint32_t b = std::min(a, Div255(GetBValue(record.color) * c) + Div255(GetBValue(outline) * under));
            text.pixels[offset + column] = (a << 24) | (r << 16) | (g << 8) | b;
            first = std::min(first, column);
            last = column + 1;
        }
        text.first[y] = first < last ? first : 0;
        text.last[y] = first < last ? last : 0;
    }
    return text;
}

namespace {

// One pixel of the bitmap over a frame pixel: out = source × alpha + target × (1 − source alpha).
inline void BlendPixel(const uint32_t pixel, uint32_t alpha, BYTE* target) {
    uint32_t a = pixel >> 24;
    if (a == 0) {
        return;
    }
    uint32_t b = pixel & 0xFF;
    uint32_t g = (pixel >> 8) & 0xFF;
    uint32_t r = (pixel >> 16) & 0xFF;
    if (alpha != 255) {
        a = Div255(a * alpha);
        b = Div255(b * alpha);
        g = Div255(g * alpha);
        r = Div255(r * alpha);
    }
    if (a == 255) {
        target[0] = static_cast<BYTE>(b);
        target[1] = static_cast<BYTE>(g);
        target[2] = static_cast<BYTE>(r);
        return;
    }
    const uint32_t keep = 255 - a;
    target[0] = static_cast<BYTE>(std::min<uint32_t>(255, b + Div255(target[0] * keep)));
    target[1] = static_cast<BYTE>(std::min<uint32_t>(255, g + Div255(target[1] * keep)));
    target[2] = static_cast<BYTE>(std::min<uint32_t>(255, r + Div255(target[2] * keep)));
}

// A row's pixels [begin, end) one at a time; any frame depth.
void BlendRowScalar(const uint32_t* source, BYTE* target, int32_t count, int bytes, uint32_t alpha) {
    for (int32_t i = 0; i < count; ++i, target += bytes) {
        BlendPixel(source[i], alpha, target);
    }
}

#if defined(__i386__) || defined(__x86_64__)
#define VELA_HAVE_SSE2_BLEND 1

// Div255 of eight 16-bit products at once; the same rounding as the scalar one.
__attribute__((target("sse2"))) inline __m128i Div255x8(__m128i value) {
    value = _mm_add_epi16(value, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(value, _mm_srli_epi16(value, 8)), 8);
}

// Two pixels in 16-bit lanes (b, g, r, a each), blended over two frame pixels in 16-bit lanes.
template <bool kScaled>
__attribute__((target("sse2"))) inline __m128i BlendTwo(__m128i source, __m128i target, __m128i alpha) {
    if (kScaled) {
        source = Div255x8(_mm_mullo_epi16(source, alpha));
    }
    // Each pixel's alpha in its four lanes, then 255 minus it.
    __m128i keep = _mm_shufflehi_epi16(_mm_shufflelo_epi16(source, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
    keep = _mm_sub_epi16(_mm_set1_epi16(255), keep);
    return _mm_add_epi16(source, Div255x8(_mm_mullo_epi16(target, keep)));
}

// A row of a 32-bit frame, four pixels at a time; groups without ink are skipped. The fourth byte of
// each frame pixel is left as it was, as the scalar blend leaves it.
template <bool kScaled>
__attribute__((target("sse2"))) void BlendRowSse2(const uint32_t* source, BYTE* target, int32_t count,
                                                 uint32_t alpha) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i alphas = _mm_set1_epi16(static_cast<short>(alpha));
    const __m128i colourMask = _mm_set1_epi32(0x00FFFFFF);
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        // Premultiplied: a pixel without alpha is all zero.
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(pixels, zero)) == 0xFFFF) {
            continue;
        }
        __m128i* place = reinterpret_cast<__m128i*>(target + static_cast<size_t>(i) * 4);
        const __m128i frame = _mm_loadu_si128(place);
        __m128i blended;
        if (!kScaled &&
            _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(pixels, alphaMask), alphaMask)) == 0xFFFF) {
            // Four opaque pixels replace the frame's.
            blended = pixels;
        } else {
            const __m128i low =
                BlendTwo<kScaled>(_mm_unpacklo_epi8(pixels, zero), _mm_unpacklo_epi8(frame, zero), alphas);
            const __m128i high =
                BlendTwo<kScaled>(_mm_unpackhi_epi8(pixels, zero), _mm_unpackhi_epi8(frame, zero), alphas);
            // The pack saturates at 255, as the scalar blend's min does.
            blended = _mm_packus_epi16(low, high);
        }
        _mm_storeu_si128(place, _mm_or_si128(_mm_and_si128(blended, colourMask), _mm_andnot_si128(colourMask, frame)));
    }
    BlendRowScalar(source + i, target + static_cast<size_t>(i) * 4, count - i, 4, alpha);
}

bool HasSse2() {
#if defined(__x86_64__)
    return true;
#else
    static const bool has = __builtin_cpu_supports("sse2");
    return has;
#endif
}
#endif

} // namespace

void BlendCommentText(const FrameBits& frame, const CommentTextBitmap& text, int32_t x, int32_t y, uint32_t alpha) {
    BlendCommentText(frame, text, x, y, alpha, BlendPath::kFastest);
}

void BlendCommentText(const FrameBits& frame, const CommentTextBitmap& text, int32_t x, int32_t y, uint32_t alpha,
                      BlendPath path) {
    if (text.Empty() || frame.top == nullptr || alpha == 0 || (frame.bitCount != 24 && frame.bitCount != 32)) {
        return;
    }
    alpha = std::min<uint32_t>(alpha, 255);
    const int32_t left = x - CommentTextBitmap::kMargin;
    const int32_t top = y - CommentTextBitmap::kMargin;
    const int32_t rowBegin = std::max(0, -top);
    const int32_t rowEnd = std::min(text.height, frame.height - top);
    const int32_t columnMin = std::max(0, -left);
    const int32_t columnMax = std::min(text.width, frame.width - left);
    const int bytes = frame.bitCount / 8;
#ifdef VELA_HAVE_SSE2_BLEND
    const bool vector = path == BlendPath::kFastest && bytes == 4 && HasSse2();
#else
    const bool vector = false;
#endif
    for (int32_t row = rowBegin; row < rowEnd; ++row) {
        const int32_t begin = std::max(columnMin, text.first[row]);
        const int32_t end = std::min(columnMax, text.last[row]);
        if (begin >= end) {
            continue;
        }
        const uint32_t* source = text.pixels.data() + static_cast<size_t>(row) * text.width + begin;
        BYTE* target = frame.top + (top + row) * frame.stride + static_cast<ptrdiff_t>(left + begin) * bytes;
#ifdef VELA_HAVE_SSE2_BLEND
        if (vector) {
            if (alpha == 255) {
                BlendRowSse2<false>(source, target, end - begin, alpha);
            } else {
                BlendRowSse2<true>(source, target, end - begin, alpha);
            }
            continue;
        }
#endif
        BlendRowScalar(source, target, end - begin, bytes, alpha);
    }
}
