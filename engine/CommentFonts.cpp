#include "engine/CommentFonts.h"

#include <windows.h>
#include <gdiplus.h>

#include <algorithm>
#include <climits>
#include <cwchar>

namespace {

// Japanese families found on systems where the configured one is missing.
const wchar_t* const kFallbackFamilies[] = {L"IPAPGothic", L"IPAGothic",    L"IPA Pゴシック", L"IPAゴシック",
                                            L"MS PGothic", L"MS UI Gothic", L"Meiryo"};

bool IsFamilyInstalled(const std::wstring& name) {
    if (name.empty()) {
        return false;
    }
    Gdiplus::FontFamily family(name.c_str());
    return family.GetLastStatus() == Gdiplus::Ok && family.IsAvailable();
}

std::unique_ptr<Gdiplus::FontFamily> MakeFamily(const std::wstring& family) {
    std::unique_ptr<Gdiplus::FontFamily> made(family.empty() ? Gdiplus::FontFamily::GenericSansSerif()->Clone()
                                                             : new Gdiplus::FontFamily(family.c_str()));
    if (made && made->GetLastStatus() != Gdiplus::Ok) {
        made.reset();
    }
    return made;
}

std::unique_ptr<Gdiplus::Font> MakeFont(const Gdiplus::FontFamily* family, int32_t points, int style) {
    if (family == nullptr || points < 1) {
        return nullptr;
    }
    auto font = std::make_unique<Gdiplus::Font>(family, CommentFontPixels(points), style, Gdiplus::UnitPixel);
    if (font->GetLastStatus() != Gdiplus::Ok) {
        font.reset();
    }
    return font;
}

std::unique_ptr<Gdiplus::Font> CloneFont(const Gdiplus::Font* font) {
    std::unique_ptr<Gdiplus::Font> copy(font != nullptr ? font->Clone() : nullptr);
    if (copy && copy->GetLastStatus() != Gdiplus::Ok) {
        copy.reset();
    }
    return copy;
}

} // namespace

int32_t CommentFontSizes::ForFlags(CommentFlags flags) const {
    if (flags & comment_flags::kBig) {
        return big;
    }
    if (flags & comment_flags::kSmall) {
        return small;
    }
    return medium;
}

bool StartGdiplus() {
    static const bool started = [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    }();
    return started;
}

std::wstring ResolveCommentFontFamily(const std::wstring& family) {
    StartGdiplus();
    if (IsFamilyInstalled(family)) {
        return family;
    }
    for (const wchar_t* fallback : kFallbackFamilies) {
        if (IsFamilyInstalled(fallback)) {
            return fallback;
        }
    }
    return std::wstring();
}

float CommentFontPixels(int32_t points) {
    return static_cast<float>(points) * 96.0f / 72.0f;
}

CommentFontSet::CommentFontSet(const std::wstring& family, const CommentFontSizes& sizes)
    : m_requested(family), m_requestedSizes(sizes), m_family(ResolveCommentFontFamily(family)), m_sizes(sizes) {
    const std::unique_ptr<Gdiplus::FontFamily> made = MakeFamily(m_family);
    // A size GDI+ refuses (0 or negative) gets the default size instead.
    const CommentFontSizes defaults;
    for (auto* size : {&m_sizes.medium, &m_sizes.big, &m_sizes.small}) {
        *size = std::max(*size, 1);
    }
    m_medium = MakeFont(made.get(), m_sizes.medium, Gdiplus::FontStyleBold);
    m_big = MakeFont(made.get(), m_sizes.big, Gdiplus::FontStyleBold);
    m_small = MakeFont(made.get(), m_sizes.small, Gdiplus::FontStyleBold);
    if (!m_medium || !m_big || !m_small) {
        m_sizes = defaults;
        m_medium = MakeFont(made.get(), m_sizes.medium, Gdiplus::FontStyleBold);
        m_big = MakeFont(made.get(), m_sizes.big, Gdiplus::FontStyleBold);
        m_small = MakeFont(made.get(), m_sizes.small, Gdiplus::FontStyleBold);
    }
}

CommentFontSet::~CommentFontSet() = default;

Gdiplus::Font* CommentFontSet::ForFlags(CommentFlags flags) const {
    if (flags & comment_flags::kBig) {
        return m_big.get();
    }
    if (flags & comment_flags::kSmall) {
        return m_small.get();
    }
    return m_medium.get();
}

bool DescribeCommentGdiFont(const Gdiplus::Font& font, LOGFONTW& logFont, std::wstring& key) {
    Gdiplus::FontFamily family;
    WCHAR name[LF_FACESIZE] = {};
    key.clear();
    logFont = {};
    if (font.GetFamily(&family) != Gdiplus::Ok || family.GetFamilyName(name) != Gdiplus::Ok) {
        return false;
    }
    float emPixels = font.GetSize();
    if (font.GetUnit() == Gdiplus::UnitPoint) {
        emPixels = emPixels * 96.0f / 72.0f;
    }
    const INT style = font.GetStyle();
    const LONG height = std::max<LONG>(1, static_cast<LONG>(emPixels + 0.5f));
    key = std::wstring(name) + L"|" + std::to_wstring(height) + L"|" + std::to_wstring(style);
    logFont.lfHeight = -height;
    logFont.lfWeight = (style & Gdiplus::FontStyleBold) ? FW_BOLD : FW_NORMAL;
    logFont.lfItalic = (style & Gdiplus::FontStyleItalic) ? TRUE : FALSE;
    logFont.lfUnderline = (style & Gdiplus::FontStyleUnderline) ? TRUE : FALSE;
    logFont.lfStrikeOut = (style & Gdiplus::FontStyleStrikeout) ? TRUE : FALSE;
    logFont.lfCharSet = DEFAULT_CHARSET;
    logFont.lfQuality = ANTIALIASED_QUALITY;
    wcsncpy(logFont.lfFaceName, name, LF_FACESIZE - 1);
    return true;
}

namespace {

bool HasLineBreak(const std::wstring& text) {
    return text.find_first_of(L"\r\n") != std::wstring::npos;
}

constexpr UINT kDrawTextFlags = DT_LEFT | DT_TOP | DT_NOPREFIX;

// The ink of a glyph before its origin (negative A) or after its advance (negative C), and the pixel
// its smoothed edge may reach beyond its whole-pixel widths.
int32_t Overhang(HDC dc, wchar_t c, bool before) {
    ABC abc = {};
    if (!GetCharABCWidthsW(dc, c, c, &abc)) {
        return 1;
    }
    const int value = before ? abc.abcA : abc.abcC;
    return (value < 0 ? -value : 0) + 1;
}

int32_t Overhang(HDC dc, wchar_t c, bool before, CommentOverhangs* overhangs) {
    if (overhangs == nullptr) {
        return Overhang(dc, c, before);
    }
    const uint32_t key = (static_cast<uint32_t>(c) << 1) | (before ? 1u : 0u);
    const auto found = overhangs->find(key);
    if (found != overhangs->end()) {
        return found->second;
    }
    const int32_t value = Overhang(dc, c, before);
    overhangs->emplace(key, value);
    return value;
}

} // namespace

CommentTextExtent MeasureCommentTextExtent(HDC dc, const std::wstring& text, CommentOverhangs* overhangs) {
    CommentTextExtent extent;
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) {
        return extent;
    }
    const int length = static_cast<int>(text.size());
    if (HasLineBreak(text)) {
        RECT box = {0, 0, 0, 0};
        DrawTextW(dc, text.c_str(), length, &box, kDrawTextFlags | DT_CALCRECT);
        extent.width = box.right - box.left;
        extent.height = box.bottom - box.top;
    } else {
        SIZE size = {};
        if (!GetTextExtentPoint32W(dc, text.c_str(), length, &size)) {
            return extent;
        }
        extent.width = size.cx;
        extent.height = size.cy;
    }
    extent.left = Overhang(dc, text.front(), true, overhangs);
    extent.width += extent.left + Overhang(dc, text.back(), false, overhangs);
    return extent;
}

void DrawCommentTextAt(HDC dc, int32_t x, int32_t y, const std::wstring& text, const RECT& clip) {
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) {
        return;
    }
    const int length = static_cast<int>(text.size());
    const int32_t left = Overhang(dc, text.front(), true);
    if (HasLineBreak(text)) {
        RECT box = {x + left, y, clip.right, clip.bottom};
        DrawTextW(dc, text.c_str(), length, &box, kDrawTextFlags);
    } else {
        ExtTextOutW(dc, x + left, y, ETO_CLIPPED, &clip, text.c_str(), static_cast<UINT>(length), nullptr);
    }
}

CommentTextMeasurer::CommentTextMeasurer(const CommentFontSet& fonts) {
    StartGdiplus();
    m_family = MakeFamily(fonts.Family());
    m_dc.Reset(CreateCompatibleDC(nullptr));
    m_medium = CloneFont(fonts.ForFlags(comment_flags::kMedium));
    m_big = CloneFont(fonts.ForFlags(comment_flags::kBig));
    m_small = CloneFont(fonts.ForFlags(comment_flags::kSmall));
}

CommentTextMeasurer::~CommentTextMeasurer() {
    if (m_dc && m_selected != nullptr) {
        SelectObject(m_dc.Get(), GetStockObject(SYSTEM_FONT));
    }
}

std::unique_ptr<Gdiplus::Font> CommentTextMeasurer::MakeRegularFont(int32_t points) const {
    return MakeFont(m_family.get(), points, Gdiplus::FontStyleRegular);
}

CommentTextSize CommentTextMeasurer::Measure(CommentFlags flags, const std::wstring& text) {
    const Gdiplus::Font* font = (flags & comment_flags::kBig)     ? m_big.get()
                                : (flags & comment_flags::kSmall) ? m_small.get()
                                                                  : m_medium.get();
    return font != nullptr ? Measure(*font, text) : CommentTextSize();
}

CommentTextSize CommentTextMeasurer::Measure(const Gdiplus::Font& font, const std::wstring& text) {
    CommentTextSize size;
    if (!m_dc) {
        return size;
    }
    // A font is looked at once: its GDI font is kept by the font's address (the fonts measured with
    // live as long as this measurer), and fonts of one key share one GDI font.
    auto known = m_byFont.find(&font);
    if (known == m_byFont.end()) {
        std::wstring key;
        LOGFONTW logFont;
        HFONT gdiFont = nullptr;
        if (DescribeCommentGdiFont(font, logFont, key)) {
            auto found = m_gdiFonts.find(key);
            if (found == m_gdiFonts.end()) {
                CGdiObject<HFONT> made(CreateFontIndirectW(&logFont));
                if (made) {
                    found = m_gdiFonts.emplace(key, std::move(made)).first;
                }
            }
            gdiFont = found != m_gdiFonts.end() ? found->second.Get() : nullptr;
        }
        known = m_byFont.emplace(&font, gdiFont).first;
    }
    if (known->second == nullptr) {
        return size;
    }
    if (m_selected != known->second) {
        m_selected = known->second;
        m_selectedOverhangs = &m_overhangs[m_selected];
        SelectObject(m_dc.Get(), m_selected);
    }
    const CommentTextExtent extent = MeasureCommentTextExtent(m_dc.Get(), text, m_selectedOverhangs);
    size.width = extent.width;
    size.height = extent.height + 4;
    return size;
}
