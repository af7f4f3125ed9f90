#pragma once
// The fonts comments are measured and drawn with: GDI+ for the process, the three shared fonts of
// one family and size setting, and text measurement.
//
// Sizes are points at 96 DPI; fonts are made in pixels (points × 4 / 3), so a measured text has the
// same size on any device the frame is drawn on.
//
// Thread use: a CommentFontSet is immutable and may be read by any thread, but GDI+ refuses an object
// that another thread is using at the same moment: each thread measures through its own
// CommentTextMeasurer, which holds private copies of the fonts.

#include "engine/CommentRecord.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Gdiplus {
class Bitmap;
class FontFamily;
class Graphics;
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
    int32_t width = 0;  // truncated measured width
    int32_t height = 0; // truncated measured height + 4
};

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
    std::unique_ptr<Gdiplus::Bitmap> m_bitmap;
    std::unique_ptr<Gdiplus::Graphics> m_graphics;
    std::unique_ptr<Gdiplus::Font> m_medium, m_big, m_small;
};
