#pragma once
// The fonts comments are measured and drawn with: GDI+ for the process, the three shared fonts of
// one family and size setting, and text measurement. A record names its GDI+ font; its text is
// measured and drawn by GDI in the GDI font made from it (DescribeCommentGdiFont), so the box the layout
// places is exactly the text that is drawn.
//
// Sizes are points at 96 DPI; fonts are made in pixels (points × 4 / 3), so a measured text has the
// same size on any device the frame is drawn on.
//
// Thread use: a CommentFontSet is immutable and may be read by any thread, but GDI+ refuses an object
// that another thread is using at the same moment: each thread measures through its own
// CommentTextMeasurer, which holds private copies of the fonts.

#include "engine/CommentRecord.h"
#include "foundation/Handles.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

namespace Gdiplus {
class FontFamily;
} // namespace Gdiplus

struct CommentFontSizes {
    int32_t medium = 18;
    int32_t big = 29;
    int32_t small = 12;
    bool operator==(const CommentFontSizes& other) const {
        return medium == other.medium && big == other.big && small == other.small;
    }
    bool operator!=(const CommentFontSizes& other) const { return !(*this == other); }
    int32_t ForFlags(CommentFlags flags) const;
};

// Starts GDI+ once for the process; it is never shut down, so fonts may be deleted during static
// destruction. False when GDI+ cannot start.
bool StartGdiplus();

// The family itself when it is installed, else the first installed of the Japanese fallbacks
// ("IPAPGothic", "IPAGothic", ...), else the generic sans-serif family. The setting keeps its name.
std::wstring ResolveCommentFontFamily(const std::wstring& family);

// Pixel size of a font of the given points.
float CommentFontPixels(int32_t points);

// The three shared fonts (bold) of a family and size setting.
class CommentFontSet {
public:
    CommentFontSet(const std::wstring& family, const CommentFontSizes& sizes);
    ~CommentFontSet();
    CommentFontSet(const CommentFontSet&) = delete;
    CommentFontSet& operator=(const CommentFontSet&) = delete;

    // The font of the record's size bit; never null.
    Gdiplus::Font* ForFlags(CommentFlags flags) const;
    // The sizes the fonts have (the defaults where GDI+ refused the asked ones).
    const CommentFontSizes& Sizes() const { return m_sizes; }
    // Made for this family and these sizes.
    bool Matches(const std::wstring& family, const CommentFontSizes& sizes) const {
        return family == m_requested && sizes == m_requestedSizes;
    }
    // The installed family the fonts were made of (empty: the generic sans-serif family).
    const std::wstring& Family() const { return m_family; }

private:
    std::wstring m_requested;
    CommentFontSizes m_requestedSizes;
    std::wstring m_family;
    CommentFontSizes m_sizes;
    std::unique_ptr<Gdiplus::Font> m_medium, m_big, m_small;
};

struct CommentTextSize {
    int32_t width = 0;  // the drawn text's width (its ink before the origin and after the advance included)
    int32_t height = 0; // the drawn text's height + 4
};

// The GDI font of a comment's GDI+ font: its family, its em size in pixels (rounded), its style,
// antialiased; the key names it, for caches of such fonts. False when GDI+ cannot tell the family.
bool DescribeCommentGdiFont(const Gdiplus::Font& font, LOGFONTW& logFont, std::wstring& key);

// The text's extent in the DC's font as ExtTextOut (one line) or DrawText (line breaks) draws it:
// the width of the widest line, the lines' height, and left, how far the first glyph's ink reaches
// before the origin (draw at x + left to keep it inside the width).
struct CommentTextExtent {
    int32_t width = 0;
    int32_t height = 0;
    int32_t left = 0;
};
// overhangs, when given, keeps the glyphs' overhangs of the DC's font (one cache per font): comment
// texts begin and end with few distinct characters.
using CommentOverhangs = std::unordered_map<uint32_t, int32_t>;
CommentTextExtent MeasureCommentTextExtent(HDC dc, const std::wstring& text, CommentOverhangs* overhangs = nullptr);
// Draws the text with its box's top left at (x, y) as MeasureCommentTextExtent measured it, clipped.
void DrawCommentTextAt(HDC dc, int32_t x, int32_t y, const std::wstring& text, const RECT& clip);

class CommentTextMeasurer {
public:
    explicit CommentTextMeasurer(const CommentFontSet& fonts);
    ~CommentTextMeasurer();
    CommentTextMeasurer(const CommentTextMeasurer&) = delete;
    CommentTextMeasurer& operator=(const CommentTextMeasurer&) = delete;

    // In the set's shared font for the size bit.
    CommentTextSize Measure(CommentFlags flags, const std::wstring& text);
    // In a font that no other thread uses.
    CommentTextSize Measure(const Gdiplus::Font& font, const std::wstring& text);
    // A regular font of the set's family; null when GDI+ cannot make it.
    std::unique_ptr<Gdiplus::Font> MakeRegularFont(int32_t points) const;

private:
    std::unique_ptr<Gdiplus::FontFamily> m_family;
    std::unique_ptr<Gdiplus::Font> m_medium, m_big, m_small;
    // GDI measures in a memory DC of its own, in fonts kept by their key.
    CMemoryDc m_dc;
    std::map<std::wstring, CGdiObject<HFONT>> m_gdiFonts;
    std::map<const Gdiplus::Font*, HFONT> m_byFont;
    std::map<HFONT, CommentOverhangs> m_overhangs;
    HFONT m_selected = nullptr;
    CommentOverhangs* m_selectedOverhangs = nullptr;
};
