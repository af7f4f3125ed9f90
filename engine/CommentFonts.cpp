#include "engine/CommentFonts.h"

#include <windows.h>
#include <gdiplus.h>

#include <algorithm>

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

CommentTextMeasurer::CommentTextMeasurer(const CommentFontSet& fonts) {
    StartGdiplus();
    m_family = MakeFamily(fonts.Family());
    m_bitmap = std::make_unique<Gdiplus::Bitmap>(1, 1, PixelFormat32bppARGB);
    m_bitmap->SetResolution(96.0f, 96.0f);
    m_graphics = std::make_unique<Gdiplus::Graphics>(m_bitmap.get());
    m_medium = CloneFont(fonts.ForFlags(comment_flags::kMedium));
    m_big = CloneFont(fonts.ForFlags(comment_flags::kBig));
    m_small = CloneFont(fonts.ForFlags(comment_flags::kSmall));
}

CommentTextMeasurer::~CommentTextMeasurer() = default;

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
    Gdiplus::RectF box;
    CommentTextSize size;
    if (text.size() <= static_cast<size_t>(INT_MAX) &&
        m_graphics->MeasureString(text.c_str(), static_cast<INT>(text.size()), &font, Gdiplus::PointF(0.0f, 0.0f),
                                  &box) == Gdiplus::Ok) {
        size.width = static_cast<int32_t>(box.Width);
        size.height = static_cast<int32_t>(box.Height) + 4;
    }
    return size;
}
