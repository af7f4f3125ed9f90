#pragma once
// A page's elements as a tree: parsed from HTML text that may be broken or hostile, searched by id,
// serialised back to HTML. Parsing never fails: unclosed tags are closed at the end, stray '<' is
// text, unknown end tags are dropped, nesting deeper than kMaxDepth adds children to the deepest
// element allowed, and attribute values are kept whole whatever their size.
//
// Thread use: one thread at a time.

#include <memory>
#include <string>
#include <utility>
#include <vector>

struct HtmlNode {
    enum class Kind { Element, Text };
    Kind kind = Kind::Text;
    std::wstring tag;  // lower case; empty for text
    std::vector<std::pair<std::wstring, std::wstring>> attributes;  // names in lower case
    std::wstring text;  // decoded text of a text node
    HtmlNode* parent = nullptr;
    std::vector<std::unique_ptr<HtmlNode>> children;

    bool IsElement(const wchar_t* name) const { return kind == Kind::Element && tag == name; }
    // Empty when the attribute is missing.
    std::wstring Attribute(const std::wstring& name) const;
    bool HasAttribute(const std::wstring& name) const;
};

class HtmlDocument {
public:
    static constexpr int kMaxDepth = 200;

    HtmlDocument();
    void Parse(const std::wstring& html);

    HtmlNode& Root() { return *m_root; }
    const HtmlNode& Root() const { return *m_root; }
    // The <body> element, or the root when the page has none.
    HtmlNode& Body();
    // The first element with the id, in document order; null when none.
    HtmlNode* FindById(const std::wstring& id) const;
    // The page's <title> text; its <base href>.
    std::wstring Title() const;
    std::wstring BaseHref() const;

    // The element's children as HTML: tag names in upper case, attribute values quoted, text escaped.
    static std::wstring InnerHtml(const HtmlNode& element);
    // Replaces the element's children with the fragment's nodes.
    static void SetInnerHtml(HtmlNode& element, const std::wstring& html);
    // Where: "beforebegin", "afterbegin", "beforeend", "afterend" (any letter case). False for another
    // word or for a place outside the tree (before or after the root).
    static bool InsertAdjacentHtml(HtmlNode& element, const std::wstring& where, const std::wstring& html);

private:
    std::unique_ptr<HtmlNode> m_root;
};

// Parses the text into children of the parent (which keeps what it has).
void ParseHtmlInto(HtmlNode& parent, const std::wstring& html);
// "&amp;", "&#12354;", "&#x3042;"... decoded; an unknown entity stays as written.
std::wstring DecodeHtmlEntities(const std::wstring& text);

// Page bytes to text: the byte-order marks of UTF-16LE, UTF-16BE and UTF-8 first; then a charset the
// page declares in its first 2048 bytes; then UTF-8 when the bytes are valid UTF-8; else the system's
// ANSI code page.
std::wstring DecodePageBytes(const std::string& bytes);
// The code page of a charset name ("Shift_JIS" → 932, "utf-8" → 65001...); 0 when unknown.
unsigned CodePageOfCharset(const std::wstring& name);
