#include "platform/htmlview/HtmlDocument.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

namespace {

bool IsOneOf(const std::wstring& tag, std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* name : names) {
        if (tag == name) {
            return true;
        }
    }
    return false;
}

bool IsVoidTag(const std::wstring& tag) {
    return IsOneOf(tag, {L"br", L"img", L"hr", L"meta", L"link", L"input", L"base", L"col", L"area", L"param",
                         L"source", L"wbr", L"embed", L"keygen", L"track"});
}

// Their content is text up to the matching end tag.
bool IsRawTextTag(const std::wstring& tag) {
    return IsOneOf(tag, {L"script", L"style", L"title", L"textarea", L"xmp"});
}

// Content not decoded and not escaped again when serialised.
bool IsVerbatimTag(const std::wstring& tag) { return IsOneOf(tag, {L"script", L"style", L"xmp"}); }

bool ClosesParagraph(const std::wstring& tag) {
    return IsOneOf(tag, {L"p", L"div", L"h1", L"h2", L"h3", L"h4", L"h5", L"h6", L"ul", L"ol", L"dl", L"table",
                         L"pre", L"blockquote", L"hr", L"form", L"address", L"center"});
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    return text;
}

std::wstring Upper(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    return text;
}

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f'; }
bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

void AppendCodePoint(std::wstring& out, unsigned long code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        out += L'\xFFFD';
    } else if (code >= 0x10000) {
        code -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (code >> 10));
        out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
    } else {
        out += static_cast<wchar_t>(code);
    }
}

struct NamedEntity {
    const wchar_t* name;
    wchar_t value;
};
const NamedEntity kEntities[] = {
    {L"amp", L'&'},       {L"lt", L'<'},         {L"gt", L'>'},        {L"quot", L'"'},
    {L"apos", L'\''},     {L"nbsp", L'\xA0'},    {L"copy", L'\xA9'},   {L"reg", L'\xAE'},
    {L"yen", L'\xA5'},    {L"laquo", L'\xAB'},   {L"raquo", L'\xBB'},  {L"middot", L'\xB7'},
    {L"times", L'\xD7'},  {L"hellip", L'\x2026'}, {L"ndash", L'\x2013'}, {L"mdash", L'\x2014'},
    {L"larr", L'\x2190'}, {L"rarr", L'\x2192'},  {L"uarr", L'\x2191'}, {L"darr", L'\x2193'},
};

// Escapes for text (and, with quotes, for attribute values).
std::wstring Escape(const std::wstring& text, bool quotes) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'\xA0': out += L"&nbsp;"; break;
        case L'"':
            if (quotes) {
                out += L"&quot;";
                break;
            }
            out += c;
            break;
        default: out += c;
        }
    }
    return out;
}

void Serialise(const HtmlNode& node, std::wstring& out) {
    if (node.kind == HtmlNode::Kind::Text) {
        out += node.parent && IsVerbatimTag(node.parent->tag) ? node.text : Escape(node.text, false);
        return;
    }
    // Iterative: a tree may be as deep as the parser allows, and serialising must not be the limit.
    struct Frame {
        const HtmlNode* node;
        size_t next;
    };
    std::vector<Frame> stack{{&node, 0}};
    auto open = [&out](const HtmlNode& element) {
        out += L'<';
        out += Upper(element.tag);
        for (const auto& attribute : element.attributes) {
            out += L' ';
            out += attribute.first;
            out += L"=\"";
            out += Escape(attribute.second, true);
            out += L'"';
        }
        out += L'>';
    };
    open(node);
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next < frame.node->children.size()) {
            const HtmlNode& child = *frame.node->children[frame.next++];
            if (child.kind == HtmlNode::Kind::Text) {
                Serialise(child, out);
            } else {
                open(child);
                stack.push_back({&child, 0});
            }
            continue;
        }
        if (!IsVoidTag(frame.node->tag)) {
            out += L"</";
            out += Upper(frame.node->tag);
            out += L'>';
        }
        stack.pop_back();
    }
}

class TreeBuilder {
public:
    explicit TreeBuilder(HtmlNode& parent) : m_stack{&parent} {}

    void Run(const std::wstring& s) {
        size_t i = 0;
        const size_t n = s.size();
        while (i < n) {
            if (s[i] != L'<') {
                size_t end = s.find(L'<', i);
                if (end == std::wstring::npos) {
                    end = n;
                }
                AddText(DecodeHtmlEntities(s.substr(i, end - i)));
                i = end;
                continue;
            }
            if (s.compare(i, 4, L"<!--") == 0) {
                size_t end = s.find(L"-->", i + 4);
                i = end == std::wstring::npos ? n : end + 3;
                continue;
            }
            if (i + 1 < n && (s[i + 1] == L'!' || s[i + 1] == L'?')) {
                size_t end = s.find(L'>', i);
                i = end == std::wstring::npos ? n : end + 1;
                continue;
            }
            if (i + 2 < n && s[i + 1] == L'/' && IsAsciiLetter(s[i + 2])) {
                size_t j = i + 2;
                while (j < n && !IsSpace(s[j]) && s[j] != L'>' && s[j] != L'/') {
                    ++j;
                }
                std::wstring name = Lower(s.substr(i + 2, j - i - 2));
                size_t end = s.find(L'>', j);
                i = end == std::wstring::npos ? n : end + 1;
                EndTag(name);
                continue;
            }
            if (i + 1 < n && IsAsciiLetter(s[i + 1])) {
                i = StartTag(s, i + 1);
                continue;
            }
            AddText(L"<");
            ++i;
        }
    }

private:
    HtmlNode& Current() { return *m_stack.back(); }

    void AddText(const std::wstring& text) {
        if (text.empty()) {
            return;
        }
        HtmlNode& current = Current();
        if (!current.children.empty() && current.children.back()->kind == HtmlNode::Kind::Text) {
            current.children.back()->text += text;
            return;
        }
        auto node = std::make_unique<HtmlNode>();
        node->text = text;
        node->parent = &current;
        current.children.push_back(std::move(node));
    }

    // Index in the stack of the innermost open element with one of the tags, searching no further
    // out than a boundary tag; 0 (the fragment's parent, never closed) when none.
    size_t FindOpen(std::initializer_list<const wchar_t*> tags, std::initializer_list<const wchar_t*> boundaries) {
        for (size_t k = m_stack.size() - 1; k > 0; --k) {
            if (IsOneOf(m_stack[k]->tag, tags)) {
                return k;
            }
            if (IsOneOf(m_stack[k]->tag, boundaries)) {
                return 0;
            }
        }
        return 0;
    }

    void CloseFrom(size_t index) {
        if (index > 0) {
            m_stack.resize(index);
        }
    }

    size_t StartTag(const std::wstring& s, size_t i) {
        const size_t n = s.size();
        size_t j = i;
        while (j < n && !IsSpace(s[j]) && s[j] != L'>' && s[j] != L'/') {
            ++j;
        }
        auto node = std::make_unique<HtmlNode>();
        node->kind = HtmlNode::Kind::Element;
        node->tag = Lower(s.substr(i, j - i));
        bool selfClosing = false;
        while (j < n && s[j] != L'>') {
            if (IsSpace(s[j]) || s[j] == L'/') {
                selfClosing = s[j] == L'/';
                ++j;
                continue;
            }
            selfClosing = false;
            size_t nameStart = j;
            while (j < n && !IsSpace(s[j]) && s[j] != L'>' && s[j] != L'=' && !(s[j] == L'/' && j > nameStart)) {
                ++j;
            }
            std::wstring name = Lower(s.substr(nameStart, j - nameStart));
            std::wstring value;
            size_t k = j;
            while (k < n && IsSpace(s[k])) {
                ++k;
            }
            if (k < n && s[k] == L'=') {
                ++k;
                while (k < n && IsSpace(s[k])) {
                    ++k;
                }
                if (k < n && (s[k] == L'"' || s[k] == L'\'')) {
                    size_t close = s.find(s[k], k + 1);
                    if (close == std::wstring::npos) {
                        close = n;
                    }
                    value = s.substr(k + 1, close - k - 1);
                    k = close < n ? close + 1 : n;
                } else {
                    size_t start = k;
                    while (k < n && !IsSpace(s[k]) && s[k] != L'>') {
                        ++k;
                    }
                    value = s.substr(start, k - start);
                }
                j = k;
            }
            if (!name.empty() && !node->HasAttribute(name)) {
                node->attributes.emplace_back(name, DecodeHtmlEntities(value));
            }
        }
        size_t next = j < n ? j + 1 : n;
        const std::wstring tag = node->tag;

        if (ClosesParagraph(tag) && Current().tag == L"p") {
            m_stack.pop_back();
        }
        if (tag == L"li") {
            CloseFrom(FindOpen({L"li"}, {L"ul", L"ol", L"table"}));
        } else if (tag == L"dt" || tag == L"dd") {
            CloseFrom(FindOpen({L"dt", L"dd"}, {L"dl", L"table"}));
        } else if (tag == L"tr") {
            CloseFrom(FindOpen({L"tr"}, {L"table"}));
        } else if (tag == L"td" || tag == L"th") {
            CloseFrom(FindOpen({L"td", L"th"}, {L"tr", L"table"}));
        } else if (tag == L"option") {
            CloseFrom(FindOpen({L"option"}, {L"select"}));
        }

        HtmlNode* element = node.get();
        node->parent = &Current();
        Current().children.push_back(std::move(node));

        if (IsRawTextTag(tag)) {
            size_t end = next;
            const std::wstring closing = L"</" + tag;
            while (true) {
                end = s.find(L"</", end);
                if (end == std::wstring::npos) {
                    end = n;
                    break;
                }
                if (Lower(s.substr(end, closing.size())) == closing) {
                    break;
                }
                end += 2;
            }
            std::wstring content = s.substr(next, end - next);
            if (!content.empty()) {
                auto text = std::make_unique<HtmlNode>();
                text->text = IsVerbatimTag(tag) ? content : DecodeHtmlEntities(content);
                text->parent = element;
                element->children.push_back(std::move(text));
            }
            size_t close = end < n ? s.find(L'>', end) : std::wstring::npos;
            return close == std::wstring::npos ? n : close + 1;
        }
        // A self-closing "/>" on a non-void element is taken as written (XHTML pages use "<div/>").
        if (!IsVoidTag(tag) && !selfClosing && m_stack.size() < static_cast<size_t>(HtmlDocument::kMaxDepth)) {
            m_stack.push_back(element);
        }
        return next;
    }

    void EndTag(const std::wstring& name) {
        for (size_t k = m_stack.size() - 1; k > 0; --k) {
            if (m_stack[k]->tag == name) {
                m_stack.resize(k);
                return;
            }
            // An end tag does not close past a table cell or a list item that holds it.
            if (IsOneOf(m_stack[k]->tag, {L"td", L"th", L"table"}) && !IsOneOf(name, {L"tr", L"table", L"tbody",
                                                                                      L"thead", L"tfoot"})) {
                return;
            }
        }
    }

    std::vector<HtmlNode*> m_stack;
};

}  // namespace

std::wstring HtmlNode::Attribute(const std::wstring& name) const {
    for (const auto& attribute : attributes) {
        if (attribute.first == name) {
            return attribute.second;
        }
    }
    return {};
}

bool HtmlNode::HasAttribute(const std::wstring& name) const {
    for (const auto& attribute : attributes) {
        if (attribute.first == name) {
            return true;
        }
    }
    return false;
}

std::wstring DecodeHtmlEntities(const std::wstring& text) {
    if (text.find(L'&') == std::wstring::npos) {
        return text;
    }
    std::wstring out;
    out.reserve(text.size());
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        if (text[i] != L'&') {
            out += text[i];
            continue;
        }
        size_t semicolon = text.find(L';', i + 1);
        if (semicolon == std::wstring::npos || semicolon - i > 32) {
            out += text[i];
            continue;
        }
        std::wstring name = text.substr(i + 1, semicolon - i - 1);
        bool decoded = false;
        if (name.size() > 1 && name[0] == L'#') {
            unsigned long code = 0;
            bool hex = name[1] == L'x' || name[1] == L'X';
            size_t start = hex ? 2 : 1;
            bool digits = start < name.size();
            for (size_t k = start; k < name.size() && digits; ++k) {
                wchar_t c = name[k];
                int value = -1;
                if (c >= L'0' && c <= L'9') {
                    value = c - L'0';
                } else if (hex && c >= L'a' && c <= L'f') {
                    value = c - L'a' + 10;
                } else if (hex && c >= L'A' && c <= L'F') {
                    value = c - L'A' + 10;
                }
                if (value < 0) {
                    digits = false;
                } else if (code <= 0x10FFFF) {
                    code = code * (hex ? 16 : 10) + static_cast<unsigned long>(value);
                }
            }
            if (digits) {
                AppendCodePoint(out, code);
                decoded = true;
            }
        } else {
            for (const NamedEntity& entity : kEntities) {
                if (name == entity.name) {
                    out += entity.value;
                    decoded = true;
                    break;
                }
            }
        }
        if (decoded) {
            i = semicolon;
        } else {
            out += text[i];
        }
    }
    return out;
}

void ParseHtmlInto(HtmlNode& parent, const std::wstring& html) { TreeBuilder(parent).Run(html); }

HtmlDocument::HtmlDocument() : m_root(std::make_unique<HtmlNode>()) { m_root->kind = HtmlNode::Kind::Element; }

void HtmlDocument::Parse(const std::wstring& html) {
    m_root = std::make_unique<HtmlNode>();
    m_root->kind = HtmlNode::Kind::Element;
    ParseHtmlInto(*m_root, html);
}

namespace {
template <typename Visit> HtmlNode* FindNode(const HtmlNode& root, Visit matches) {
    std::vector<const HtmlNode*> stack{&root};
    while (!stack.empty()) {
        const HtmlNode* node = stack.back();
        stack.pop_back();
        if (node != &root && matches(*node)) {
            return const_cast<HtmlNode*>(node);
        }
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
            if ((*it)->kind == HtmlNode::Kind::Element) {
                stack.push_back(it->get());
            }
        }
    }
    return nullptr;
}
}  // namespace

HtmlNode& HtmlDocument::Body() {
    HtmlNode* body = FindNode(*m_root, [](const HtmlNode& node) { return node.tag == L"body"; });
    return body ? *body : *m_root;
}

HtmlNode* HtmlDocument::FindById(const std::wstring& id) const {
    return FindNode(*m_root, [&id](const HtmlNode& node) { return node.HasAttribute(L"id") && node.Attribute(L"id") == id; });
}

std::wstring HtmlDocument::Title() const {
    HtmlNode* title = FindNode(*m_root, [](const HtmlNode& node) { return node.tag == L"title"; });
    return title && !title->children.empty() ? title->children[0]->text : std::wstring();
}

std::wstring HtmlDocument::BaseHref() const {
    HtmlNode* base = FindNode(*m_root, [](const HtmlNode& node) { return node.tag == L"base" && node.HasAttribute(L"href"); });
    return base ? base->Attribute(L"href") : std::wstring();
}

std::wstring HtmlDocument::InnerHtml(const HtmlNode& element) {
    std::wstring out;
    for (const auto& child : element.children) {
        Serialise(*child, out);
    }
    return out;
}

void HtmlDocument::SetInnerHtml(HtmlNode& element, const std::wstring& html) {
    element.children.clear();
    ParseHtmlInto(element, html);
}

bool HtmlDocument::InsertAdjacentHtml(HtmlNode& element, const std::wstring& where, const std::wstring& html) {
    const std::wstring place = Lower(where);
    HtmlNode scratch;
    scratch.kind = HtmlNode::Kind::Element;
    scratch.tag = element.tag;
    ParseHtmlInto(scratch, html);
    HtmlNode* target = &element;
    size_t at = 0;
    if (place == L"afterbegin" || place == L"beforeend") {
        at = place == L"afterbegin" ? 0 : element.children.size();
    } else if (place == L"beforebegin" || place == L"afterend") {
        target = element.parent;
        if (!target) {
            return false;
        }
        auto it = std::find_if(target->children.begin(), target->children.end(),
                               [&element](const std::unique_ptr<HtmlNode>& child) { return child.get() == &element; });
        at = static_cast<size_t>(it - target->children.begin()) + (place == L"afterend" ? 1 : 0);
    } else {
        return false;
    }
    for (auto& child : scratch.children) {
        child->parent = target;
        target->children.insert(target->children.begin() + static_cast<std::ptrdiff_t>(at++), std::move(child));
    }
    return true;
}

unsigned CodePageOfCharset(const std::wstring& name) {
    const std::wstring lower = Lower(name);
    struct Known {
        const wchar_t* name;
        unsigned codePage;
    };
    static const Known kKnown[] = {
        {L"shift_jis", 932}, {L"shift-jis", 932}, {L"sjis", 932},       {L"x-sjis", 932},
        {L"windows-31j", 932}, {L"cp932", 932},   {L"ms932", 932},      {L"utf-8", 65001},
        {L"utf8", 65001},     {L"euc-jp", 20932}, {L"x-euc-jp", 20932}, {L"iso-2022-jp", 50220},
        {L"iso-8859-1", 1252}, {L"windows-1252", 1252}, {L"us-ascii", 20127},
    };
    for (const Known& known : kKnown) {
        if (lower == known.name) {
            return known.codePage;
        }
    }
    return 0;
}

namespace {
std::wstring ToWide(const std::string& bytes, size_t offset, unsigned codePage, DWORD flags = 0) {
    if (bytes.size() <= offset) {
        return {};
    }
    const char* data = bytes.data() + offset;
    int size = static_cast<int>(std::min<size_t>(bytes.size() - offset, 0x7FFFFFF0));
    int length = MultiByteToWideChar(codePage, flags, data, size, nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, flags, data, size, &text[0], length);
    return text;
}

std::wstring DeclaredCharset(const std::string& bytes) {
    std::string head = bytes.substr(0, 2048);
    for (char& c : head) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    for (const char* key : {"charset=", "encoding="}) {
        size_t at = head.find(key);
        if (at == std::string::npos) {
            continue;
        }
        size_t i = at + strlen(key);
        while (i < head.size() && (head[i] == '"' || head[i] == '\'' || head[i] == ' ')) {
            ++i;
        }
        std::wstring name;
        while (i < head.size() && (isalnum(static_cast<unsigned char>(head[i])) || head[i] == '-' || head[i] == '_')) {
            name += static_cast<wchar_t>(head[i++]);
        }
        if (!name.empty()) {
            return name;
        }
    }
    return {};
}
}  // namespace

std::wstring DecodePageBytes(const std::string& bytes) {
    auto starts = [&bytes](const char* mark, size_t size) { return bytes.size() >= size && bytes.compare(0, size, mark, size) == 0; };
    if (starts("\xFF\xFE", 2)) {
        std::wstring text((bytes.size() - 2) / 2, L'\0');
        for (size_t k = 0; k < text.size(); ++k) {
            text[k] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * k]) |
                                           (static_cast<unsigned char>(bytes[3 + 2 * k]) << 8));
        }
        return text;
    }
    if (starts("\xFE\xFF", 2)) {
        std::wstring text((bytes.size() - 2) / 2, L'\0');
        for (size_t k = 0; k < text.size(); ++k) {
            text[k] = static_cast<wchar_t>((static_cast<unsigned char>(bytes[2 + 2 * k]) << 8) |
                                           static_cast<unsigned char>(bytes[3 + 2 * k]));
        }
        return text;
    }
    if (starts("\xEF\xBB\xBF", 3)) {
        return ToWide(bytes, 3, CP_UTF8);
    }
    unsigned codePage = CodePageOfCharset(DeclaredCharset(bytes));
    if (codePage != 0) {
        std::wstring text = ToWide(bytes, 0, codePage);
        if (!text.empty() || bytes.empty()) {
            return text;
        }
    }
    std::wstring utf8 = ToWide(bytes, 0, CP_UTF8, MB_ERR_INVALID_CHARS);
    if (!utf8.empty() || bytes.empty()) {
        return utf8;
    }
    return ToWide(bytes, 0, CP_ACP);
}
