#pragma once
// A page's body laid out for a given width: HTML elements → styled pieces → lines of runs, and the
// page's text as one string for selecting and copying.
//
// Blocks (p, div, headings, lists, tables, pre, blockquote, hr) start new lines; br breaks one;
// text wraps at blanks, and between any two characters of Japanese text. A table is drawn as rows:
// each tr is a line of cells separated by a gap (a tab in the copied text). An element styled
// "display:none" and the head, scripts and styles are not drawn. Links are drawn underlined in blue
// and carry their href. The text of the page (LayoutPage::text) holds every text run's characters in
// reading order, "\r\n" at each hard line end (not at soft wraps), and '\t' between table cells; each
// run knows where its characters are in it.
//
// Thread use: one thread at a time.

#include "platform/htmlview/HtmlDocument.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

struct TextStyle {
    int size = 16;  // pixels
    COLORREF color = RGB(0, 0, 0);
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool monospace = false;
    bool operator==(const TextStyle& other) const {
        return size == other.size && color == other.color && bold == other.bold && italic == other.italic &&
               underline == other.underline && monospace == other.monospace;
    }
    bool operator!=(const TextStyle& other) const { return !(*this == other); }
};

// What the layout asks of the device that will draw it.
class ILayoutMeasure {
public:
    virtual ~ILayoutMeasure() = default;
    virtual int TextWidth(const TextStyle& style, const wchar_t* text, size_t length) = 0;
    virtual int LineHeight(const TextStyle& style) = 0;
    // The image's own size in pixels; {0, 0} when it cannot be read.
    virtual SIZE ImageSize(const std::wstring& src) = 0;
};

struct LayoutRun {
    enum class Kind { Text, Image, Rule };
    Kind kind = Kind::Text;
    int x = 0;
    int width = 0;
    int height = 0;
    std::wstring text;
    TextStyle style;
    std::wstring href;  // the link's target as written; empty outside links
    std::wstring src;   // image source as written
    size_t textStart = 0;  // where the run's text lies in PageLayout::text
};

struct LayoutLine {
    int y = 0;
    int height = 0;
    std::vector<LayoutRun> runs;  // left to right; a run stands on the line's bottom
};

struct PageLayout {
    std::vector<LayoutLine> lines;
    int width = 0;
    int height = 0;  // of everything laid out, margins included
    COLORREF background = RGB(255, 255, 255);
    std::wstring text;

    // The run under a point of the page (page coordinates); null when none.
    const LayoutRun* RunAt(int x, int y) const;
    // The place in text nearest to a point of the page, for selecting.
    size_t TextIndexAt(ILayoutMeasure& measure, int x, int y) const;
};

// Lays out the element's content for a page of the given width (margins of kPageMargin inside it).
constexpr int kPageMargin = 8;
PageLayout LayoutPage(const HtmlNode& body, int width, ILayoutMeasure& measure);

// "#rgb", "#rrggbb", "rrggbb" and the common colour names; false when not a colour.
bool ParseHtmlColor(const std::wstring& text, COLORREF& color);
