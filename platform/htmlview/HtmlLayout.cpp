#include "platform/htmlview/HtmlLayout.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool IsOneOf(const std::wstring& tag, std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* name : names) {
        if (tag == name) {
            return true;
        }
    }
    return false;
}

bool IsBlock(const std::wstring& tag) {
    return IsOneOf(tag, {L"p", L"div", L"h1", L"h2", L"h3", L"h4", L"h5", L"h6", L"ul", L"ol", L"li", L"dl", L"dt",
                         L"dd", L"table", L"tr", L"pre", L"blockquote", L"hr", L"form", L"address", L"center",
                         L"body", L"html", L"caption", L"thead", L"tbody", L"tfoot", L"fieldset"});
}

bool IsHidden(const std::wstring& tag) {
    return IsOneOf(tag, {L"head", L"script", L"style", L"title", L"meta", L"link", L"select", L"input", L"button",
                         L"textarea", L"iframe", L"object", L"embed", L"applet", L"template", L"map"});
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    return text;
}

std::wstring Trim(const std::wstring& text) {
    size_t start = text.find_first_not_of(L" \t\r\n");
    if (start == std::wstring::npos) {
        return {};
    }
    size_t end = text.find_last_not_of(L" \t\r\n");
    return text.substr(start, end - start + 1);
}

// The value of one property of a style attribute ("color: red; font-size: 12px"), lower case.
std::wstring StyleProperty(const std::wstring& style, const wchar_t* property) {
    const std::wstring lower = Lower(style);
    size_t start = 0;
    while (start < lower.size()) {
        size_t end = lower.find(L';', start);
        if (end == std::wstring::npos) {
            end = lower.size();
        }
        std::wstring declaration = lower.substr(start, end - start);
        size_t colon = declaration.find(L':');
        if (colon != std::wstring::npos && Trim(declaration.substr(0, colon)) == property) {
            return Trim(declaration.substr(colon + 1));
        }
        start = end + 1;
    }
    return {};
}

bool IsWide(wchar_t c) { return c >= 0x2E80 && !(c >= 0xD800 && c <= 0xDFFF) && c < 0xFF61; }

int FontSizeOfHtmlSize(const std::wstring& value, int current) {
    static const int kSizes[] = {10, 13, 16, 18, 24, 32, 48};
    if (value.empty()) {
        return current;
    }
    int n = _wtoi(value.c_str());
    if (value[0] == L'+' || value[0] == L'-') {
        n = 3 + n;
    }
    n = std::clamp(n, 1, 7);
    return kSizes[n - 1];
}

int CssFontSize(const std::wstring& value, int current) {
    if (value.empty()) {
        return current;
    }
    double number = _wtof(value.c_str());
    if (number <= 0) {
        if (value == L"small") return 13;
        if (value == L"large") return 18;
        if (value == L"x-large") return 24;
        if (value == L"x-small") return 10;
        if (value == L"medium") return 16;
        return current;
    }
    if (value.find(L"pt") != std::wstring::npos) {
        number = number * 4 / 3;
    } else if (value.find(L"em") != std::wstring::npos) {
        number = number * current;
    } else if (value.find(L'%') != std::wstring::npos) {
        number = number * current / 100;
    }
    return std::clamp(static_cast<int>(number + 0.5), 6, 96);
}

class Layouter {
public:
    Layouter(int width, ILayoutMeasure& measure) : m_measure(measure) {
        m_page.width = width;
        m_right = std::max(width - kPageMargin, kPageMargin + 40);
        m_y = kPageMargin;
    }

    PageLayout Run(const HtmlNode& body) {
        TextStyle style;
        if (body.tag == L"body") {
            ParseHtmlColor(body.Attribute(L"text"), style.color);
            ParseHtmlColor(body.Attribute(L"bgcolor"), m_page.background);
            ParseHtmlColor(StyleProperty(body.Attribute(L"style"), L"background-color"), m_page.background);
        }
        Children(body, style, L"");
        EndLine(false);
        // The last line's end is no text to copy.
        while (m_page.text.size() >= 2 && m_page.text.compare(m_page.text.size() - 2, 2, L"\r\n") == 0) {
            m_page.text.erase(m_page.text.size() - 2);
        }
        m_page.height = m_y + kPageMargin;
        return std::move(m_page);
    }

private:
    void Children(const HtmlNode& node, const TextStyle& style, const std::wstring& href) {
        int ordinal = 0;
        for (const auto& child : node.children) {
            if (child->kind == HtmlNode::Kind::Text) {
                AddText(child->text, style, href);
            } else {
                if (child->tag == L"li") {
                    ++ordinal;
                }
                Element(*child, style, href, node.tag == L"ol" ? ordinal : 0);
            }
        }
    }

    void Element(const HtmlNode& element, TextStyle style, std::wstring href, int ordinal) {
        const std::wstring& tag = element.tag;
        const std::wstring css = element.Attribute(L"style");
        // Fragments put into deep elements can nest past the parser's limit; the stack sets this one.
        if (m_depth > 2 * HtmlDocument::kMaxDepth) {
            return;
        }
        struct DepthGuard {
            int& depth;
            explicit DepthGuard(int& d) : depth(++d) {}
            ~DepthGuard() { --depth; }
        } guard(m_depth);
        if (IsHidden(tag) || StyleProperty(css, L"display") == L"none" ||
            StyleProperty(css, L"visibility") == L"hidden") {
            return;
        }
        if (tag == L"br") {
            EndLine(true, style);
            return;
        }
        if (tag == L"hr") {
            BlockStart(8);
            LayoutRun rule;
            rule.kind = LayoutRun::Kind::Rule;
            rule.x = m_left;
            rule.width = m_right - m_left;
            rule.height = 2;
            rule.textStart = m_page.text.size();
            m_line.runs.push_back(rule);
            EndLine(false);
            BlockEnd(8);
            return;
        }
        if (tag == L"img") {
            AddImage(element, href);
            return;
        }

        // Styles.
        static const int kHeadingSizes[] = {32, 24, 19, 16, 13, 11};
        if (tag.size() == 2 && tag[0] == L'h' && tag[1] >= L'1' && tag[1] <= L'6') {
            style.size = kHeadingSizes[tag[1] - L'1'];
            style.bold = true;
        } else if (IsOneOf(tag, {L"b", L"strong", L"th"})) {
            style.bold = true;
        } else if (IsOneOf(tag, {L"i", L"em", L"cite", L"var", L"dfn", L"address"})) {
            style.italic = true;
        } else if (IsOneOf(tag, {L"u", L"ins"})) {
            style.underline = true;
        } else if (IsOneOf(tag, {L"pre", L"tt", L"code", L"kbd", L"samp", L"xmp"})) {
            style.monospace = true;
        } else if (tag == L"big") {
            style.size = style.size * 6 / 5;
        } else if (tag == L"small") {
            style.size = std::max(6, style.size * 5 / 6);
        } else if (tag == L"font") {
            style.size = FontSizeOfHtmlSize(element.Attribute(L"size"), style.size);
            ParseHtmlColor(element.Attribute(L"color"), style.color);
        } else if (tag == L"a" && element.HasAttribute(L"href")) {
            href = element.Attribute(L"href");
            style.underline = true;
            style.color = RGB(0, 0, 238);
        }
        if (!css.empty()) {
            ParseHtmlColor(StyleProperty(css, L"color"), style.color);
            style.size = CssFontSize(StyleProperty(css, L"font-size"), style.size);
            std::wstring weight = StyleProperty(css, L"font-weight");
            if (!weight.empty()) {
                style.bold = weight == L"bold" || weight == L"bolder" || _wtoi(weight.c_str()) >= 600;
            }
            if (StyleProperty(css, L"font-style") == L"italic") {
                style.italic = true;
            }
            std::wstring decoration = StyleProperty(css, L"text-decoration");
            if (!decoration.empty()) {
                style.underline = decoration.find(L"underline") != std::wstring::npos;
            }
        }

        if (tag == L"td" || tag == L"th") {
            if (m_cellsInRow++ > 0) {
                m_x = std::max(m_x, m_left) + kCellGap;
                m_page.text += L'\t';
                m_lastWasSpace = true;
            }
            Children(element, style, href);
            return;
        }
        if (!IsBlock(tag)) {
            Children(element, style, href);
            return;
        }

        const bool paragraph = IsOneOf(tag, {L"p", L"pre", L"blockquote", L"ul", L"ol", L"dl", L"table"}) ||
                               (tag.size() == 2 && tag[0] == L'h' && tag[1] >= L'1' && tag[1] <= L'6');
        const int space = paragraph ? style.size / 2 + 2 : 0;
        BlockStart(space);
        const int savedLeft = m_left;
        const bool savedPre = m_pre;
        const int savedCells = m_cellsInRow;
        if (IsOneOf(tag, {L"ul", L"ol", L"blockquote", L"dd"})) {
            m_left = std::min(m_left + 24, m_right - 40);
        }
        if (tag == L"pre") {
            m_pre = true;
        }
        if (tag == L"tr") {
            m_cellsInRow = 0;
        }
        if (tag == L"li") {
            std::wstring bullet = ordinal > 0 ? std::to_wstring(ordinal) + L". " : std::wstring(L"\x30FB");
            TextStyle bulletStyle = style;
            bulletStyle.underline = false;
            m_x = std::max(m_left - m_measure.TextWidth(bulletStyle, bullet.c_str(), bullet.size()), 0);
            AddPiece(bullet, bulletStyle, L"");
            m_x = std::max(m_x, m_left);
        }
        Children(element, style, href);
        EndLine(false);
        m_left = savedLeft;
        m_pre = savedPre;
        m_cellsInRow = savedCells;
        BlockEnd(space);
    }

    void BlockStart(int space) {
        EndLine(false);
        if (m_y > kPageMargin) {
            m_pendingSpace = std::max(m_pendingSpace, space);
        }
    }
    void BlockEnd(int space) { m_pendingSpace = std::max(m_pendingSpace, space); }

    // Finishes the line being filled. A hard end (br) makes a line even when it is empty.
    void EndLine(bool hard, const TextStyle& style = TextStyle()) {
        if (m_line.runs.empty() && !hard) {
            if (m_hadLine) {
                EndText();
            }
            return;
        }
        if (m_line.runs.empty()) {
            m_line.height = m_measure.LineHeight(style);
        }
        m_y += m_pendingSpace;
        m_pendingSpace = 0;
        m_line.y = m_y;
        m_y += m_line.height;
        m_page.lines.push_back(std::move(m_line));
        m_line = LayoutLine();
        m_x = m_left;
        m_lastWasSpace = true;
        m_hadLine = true;
        EndText();
    }

    // A hard line end in the page's text, once.
    void EndText() {
        if (!m_page.text.empty() && m_page.text.back() != L'\n') {
            m_page.text += L"\r\n";
        }
        m_hadLine = false;
    }

    void AddText(const std::wstring& raw, const TextStyle& style, const std::wstring& href) {
        if (m_pre) {
            size_t start = 0;
            while (start <= raw.size()) {
                size_t end = raw.find(L'\n', start);
                std::wstring part = raw.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
                part.erase(std::remove(part.begin(), part.end(), L'\r'), part.end());
                std::replace(part.begin(), part.end(), L'\t', L' ');
                if (!part.empty()) {
                    AddPiece(part, style, href);
                }
                if (end == std::wstring::npos) {
                    break;
                }
                EndLine(true, style);
                start = end + 1;
            }
            return;
        }
        // Blanks collapse to one; a piece is a word with its following blank, or one wide character.
        std::wstring piece;
        for (wchar_t c : raw) {
            const bool space = c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f';
            if (space) {
                if (m_lastWasSpace && piece.empty()) {
                    continue;
                }
                if (!piece.empty() && piece.back() == L' ') {
                    continue;
                }
                piece += L' ';
                AddPiece(piece, style, href);
                piece.clear();
                m_lastWasSpace = true;
                continue;
            }
            if (IsWide(c)) {
                if (!piece.empty()) {
                    AddPiece(piece, style, href);
                    piece.clear();
                }
                AddPiece(std::wstring(1, c == L'\xA0' ? L' ' : c), style, href);
                m_lastWasSpace = false;
                continue;
            }
            piece += c == L'\xA0' ? L' ' : c;
            m_lastWasSpace = false;
        }
        if (!piece.empty()) {
            AddPiece(piece, style, href);
        }
    }

    void AddPiece(const std::wstring& piece, const TextStyle& style, const std::wstring& href) {
        int width = m_measure.TextWidth(style, piece.c_str(), piece.size());
        const int height = m_measure.LineHeight(style);
        // A blank that ends a piece may hang over the right edge.
        int fitWidth = width;
        if (!piece.empty() && piece.back() == L' ') {
            fitWidth = m_measure.TextWidth(style, piece.c_str(), piece.size() - 1);
        }
        if (!m_pre && m_x + fitWidth > m_right && !m_line.runs.empty()) {
            SoftBreak();
        }
        if (!m_pre && m_x + fitWidth > m_right && piece.size() > 1) {
            // Wider than a whole line: cut it where it fills the line.
            size_t fit = 1;
            while (fit < piece.size() && m_x + m_measure.TextWidth(style, piece.c_str(), fit + 1) <= m_right) {
                ++fit;
            }
            AddPiece(piece.substr(0, fit), style, href);
            AddPiece(piece.substr(fit), style, href);
            return;
        }
        if (m_line.runs.empty() && piece == L" ") {
            return;
        }
        LayoutRun* last = m_line.runs.empty() ? nullptr : &m_line.runs.back();
        if (last && last->kind == LayoutRun::Kind::Text && last->style == style && last->href == href &&
            last->x + last->width == m_x) {
            last->text += piece;
            last->width = m_measure.TextWidth(style, last->text.c_str(), last->text.size());
            m_x = last->x + last->width;
        } else {
            LayoutRun run;
            run.x = m_x;
            run.width = width;
            run.height = height;
            run.text = piece;
            run.style = style;
            run.href = href;
            run.textStart = m_page.text.size();
            m_line.runs.push_back(std::move(run));
            m_x += width;
        }
        m_page.text += piece;
        m_line.height = std::max(m_line.height, height);
    }

    // A wrap inside a paragraph: the page's text goes on without a line end.
    void SoftBreak() {
        m_y += m_pendingSpace;
        m_pendingSpace = 0;
        m_line.y = m_y;
        m_y += m_line.height;
        m_page.lines.push_back(std::move(m_line));
        m_line = LayoutLine();
        m_x = m_left;
        m_hadLine = true;
    }

    void AddImage(const HtmlNode& element, const std::wstring& href) {
        const std::wstring src = element.Attribute(L"src");
        SIZE size = src.empty() ? SIZE{0, 0} : m_measure.ImageSize(src);
        int width = _wtoi(element.Attribute(L"width").c_str());
        int height = _wtoi(element.Attribute(L"height").c_str());
        if (width > 0 && height <= 0 && size.cx > 0) {
            height = static_cast<int>(static_cast<long long>(size.cy) * width / size.cx);
        } else if (height > 0 && width <= 0 && size.cy > 0) {
            width = static_cast<int>(static_cast<long long>(size.cx) * height / size.cy);
        }
        if (width <= 0) width = size.cx > 0 ? size.cx : 16;
        if (height <= 0) height = size.cy > 0 ? size.cy : 16;
        width = std::min(width, 4096);
        height = std::min(height, 4096);
        if (m_x + width > m_right && !m_line.runs.empty()) {
            SoftBreak();
        }
        LayoutRun run;
        run.kind = LayoutRun::Kind::Image;
        run.x = m_x;
        run.width = width;
        run.height = height;
        run.src = src;
        run.href = href;
        run.text = element.Attribute(L"alt");
        run.textStart = m_page.text.size();
        m_line.runs.push_back(std::move(run));
        m_line.height = std::max(m_line.height, height);
        m_x += width;
        m_lastWasSpace = false;
    }

    static constexpr int kCellGap = 16;
    ILayoutMeasure& m_measure;
    PageLayout m_page;
    LayoutLine m_line;
    int m_left = kPageMargin;
    int m_right = 0;
    int m_x = kPageMargin;
    int m_y = 0;
    int m_pendingSpace = 0;
    int m_cellsInRow = 0;
    int m_depth = 0;
    bool m_pre = false;
    bool m_lastWasSpace = true;
    bool m_hadLine = false;
};

}  // namespace

bool ParseHtmlColor(const std::wstring& raw, COLORREF& color) {
    std::wstring text = Lower(Trim(raw));
    struct Named {
        const wchar_t* name;
        COLORREF color;
    };
    static const Named kNamed[] = {
        {L"black", RGB(0, 0, 0)},        {L"white", RGB(255, 255, 255)}, {L"red", RGB(255, 0, 0)},
        {L"green", RGB(0, 128, 0)},      {L"blue", RGB(0, 0, 255)},      {L"gray", RGB(128, 128, 128)},
        {L"grey", RGB(128, 128, 128)},   {L"silver", RGB(192, 192, 192)}, {L"maroon", RGB(128, 0, 0)},
        {L"navy", RGB(0, 0, 128)},       {L"purple", RGB(128, 0, 128)},  {L"olive", RGB(128, 128, 0)},
        {L"teal", RGB(0, 128, 128)},     {L"orange", RGB(255, 165, 0)},  {L"yellow", RGB(255, 255, 0)},
        {L"lime", RGB(0, 255, 0)},       {L"aqua", RGB(0, 255, 255)},    {L"fuchsia", RGB(255, 0, 255)},
    };
    for (const Named& named : kNamed) {
        if (text == named.name) {
            color = named.color;
            return true;
        }
    }
    if (!text.empty() && text[0] == L'#') {
        text.erase(0, 1);
    }
    if (text.size() != 3 && text.size() != 6) {
        return false;
    }
    if (text.find_first_not_of(L"0123456789abcdef") != std::wstring::npos) {
        return false;
    }
    unsigned long value = wcstoul(text.c_str(), nullptr, 16);
    if (text.size() == 3) {
        unsigned r = (value >> 8) & 0xF, g = (value >> 4) & 0xF, b = value & 0xF;
        color = RGB(r * 17, g * 17, b * 17);
    } else {
        color = RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    }
    return true;
}

PageLayout LayoutPage(const HtmlNode& body, int width, ILayoutMeasure& measure) {
    return Layouter(width, measure).Run(body);
}

const LayoutRun* PageLayout::RunAt(int x, int y) const {
    for (const LayoutLine& line : lines) {
        if (y < line.y || y >= line.y + line.height) {
            continue;
        }
        for (const LayoutRun& run : line.runs) {
            if (x >= run.x && x < run.x + run.width && y >= line.y + line.height - run.height) {
                return &run;
            }
        }
    }
    return nullptr;
}

size_t PageLayout::TextIndexAt(ILayoutMeasure& measure, int x, int y) const {
    if (lines.empty() || y < lines.front().y) {
        return 0;
    }
    const LayoutLine* line = &lines.back();
    for (const LayoutLine& candidate : lines) {
        if (y < candidate.y + candidate.height) {
            line = &candidate;
            break;
        }
    }
    if (y >= lines.back().y + lines.back().height) {
        return text.size();
    }
    if (line->runs.empty()) {
        for (const LayoutLine* next = line; next != lines.data() + lines.size(); ++next) {
            if (!next->runs.empty()) {
                return next->runs.front().textStart;
            }
        }
        return text.size();
    }
    for (const LayoutRun& run : line->runs) {
        const size_t length = run.kind == LayoutRun::Kind::Text ? run.text.size() : 0;
        if (x < run.x) {
            return run.textStart;
        }
        if (x >= run.x + run.width) {
            continue;
        }
        size_t best = 0;
        int bestDistance = x - run.x;
        for (size_t k = 1; k <= length; ++k) {
            int distance = std::abs(run.x + measure.TextWidth(run.style, run.text.c_str(), k) - x);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = k;
            }
        }
        return run.textStart + best;
    }
    const LayoutRun& last = line->runs.back();
    return last.textStart + (last.kind == LayoutRun::Kind::Text ? last.text.size() : 0);
}
