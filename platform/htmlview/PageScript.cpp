#include "platform/htmlview/PageScript.h"

#include <cwchar>
#include <vector>

bool ReadScriptString(const std::wstring& text, size_t at, std::wstring& value, size_t& next) {
    value.clear();
    if (at >= text.size() || (text[at] != L'\'' && text[at] != L'"')) {
        return false;
    }
    const wchar_t quote = text[at];
    for (size_t i = at + 1; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == quote) {
            next = i + 1;
            return true;
        }
        if (c == L'\n') {
            return false;
        }
        if (c != L'\\') {
            value += c;
            continue;
        }
        if (++i >= text.size()) {
            return false;
        }
        switch (text[i]) {
        case L'n': value += L'\n'; break;
        case L'r': value += L'\r'; break;
        case L't': value += L'\t'; break;
        case L'b': value += L'\b'; break;
        case L'f': value += L'\f'; break;
        case L'v': value += L'\v'; break;
        case L'0': value += L'\0'; break;
        case L'x':
        case L'u': {
            const size_t digits = text[i] == L'x' ? 2 : 4;
            if (i + digits >= text.size()) {
                return false;
            }
            unsigned code = 0;
            for (size_t k = 1; k <= digits; ++k) {
                wchar_t d = text[i + k];
                unsigned v = d >= L'0' && d <= L'9' ? d - L'0'
                           : d >= L'a' && d <= L'f' ? d - L'a' + 10
                           : d >= L'A' && d <= L'F' ? d - L'A' + 10
                                                    : 16;
                if (v == 16) {
                    return false;
                }
                code = code * 16 + v;
            }
            value += static_cast<wchar_t>(code);
            i += digits;
            break;
        }
        case L'\r':
        case L'\n': break;  // a line continuation
        default: value += text[i];
        }
    }
    return false;
}

bool IsScriptWellFormed(const std::wstring& text) {
    std::vector<wchar_t> open;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'\'' || c == L'"') {
            std::wstring value;
            size_t next = 0;
            if (!ReadScriptString(text, i, value, next)) {
                return false;
            }
            i = next - 1;
        } else if (c == L'/' && i + 1 < text.size() && text[i + 1] == L'/') {
            size_t end = text.find(L'\n', i);
            if (end == std::wstring::npos) {
                break;
            }
            i = end;
        } else if (c == L'/' && i + 1 < text.size() && text[i + 1] == L'*') {
            size_t end = text.find(L"*/", i + 2);
            if (end == std::wstring::npos) {
                return false;
            }
            i = end + 1;
        } else if (c == L'(' || c == L'[' || c == L'{') {
            open.push_back(c == L'(' ? L')' : c == L'[' ? L']' : L'}');
        } else if (c == L')' || c == L']' || c == L'}') {
            if (open.empty() || open.back() != c) {
                return false;
            }
            open.pop_back();
        }
    }
    return open.empty();
}

namespace {
size_t SkipBlanks(const std::wstring& text, size_t i) {
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t' || text[i] == L'\r' || text[i] == L'\n')) {
        ++i;
    }
    return i;
}
}  // namespace

int ApplyPageScript(HtmlDocument& document, const std::wstring& text) {
    static const std::wstring kCall = L"document.body.insertAdjacentHTML";
    int changes = 0;
    size_t at = 0;
    while ((at = text.find(kCall, at)) != std::wstring::npos) {
        size_t i = SkipBlanks(text, at + kCall.size());
        at += kCall.size();
        if (i >= text.size() || text[i] != L'(') {
            continue;
        }
        std::wstring where, html;
        size_t next = 0;
        i = SkipBlanks(text, i + 1);
        if (!ReadScriptString(text, i, where, next)) {
            continue;
        }
        i = SkipBlanks(text, next);
        if (i >= text.size() || text[i] != L',') {
            continue;
        }
        i = SkipBlanks(text, i + 1);
        if (!ReadScriptString(text, i, html, next)) {
            continue;
        }
        i = SkipBlanks(text, next);
        if (i >= text.size() || text[i] != L')') {
            continue;
        }
        HtmlNode& body = document.Body();
        // A page without a body element: "after the body" is the end of the page.
        if (HtmlDocument::InsertAdjacentHtml(body, where, html) ||
            (&body == &document.Root() && _wcsicmp(where.c_str(), L"afterend") == 0 &&
             HtmlDocument::InsertAdjacentHtml(body, L"beforeend", html))) {
            ++changes;
        }
        at = i;
    }
    return changes;
}
