#include "platform/htmlview/PageTarget.h"

#include <windows.h>

namespace {

bool IsLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

// Length of a scheme before ':' (two characters at least, so a drive letter is not one); 0 when none.
size_t SchemeLength(const std::wstring& text) {
    if (text.empty() || !IsLetter(text[0])) {
        return 0;
    }
    for (size_t i = 1; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L':') {
            return i >= 2 ? i : 0;
        }
        if (!IsLetter(c) && !(c >= L'0' && c <= L'9') && c != L'+' && c != L'-' && c != L'.') {
            return 0;
        }
    }
    return 0;
}

bool IsFullPath(const std::wstring& text) {
    return (text.size() >= 3 && IsLetter(text[0]) && text[1] == L':' && (text[2] == L'\\' || text[2] == L'/')) ||
           text.compare(0, 2, L"\\\\") == 0;
}

bool StartsNoCase(const std::wstring& text, const wchar_t* prefix) {
    size_t n = wcslen(prefix);
    return text.size() >= n && _wcsnicmp(text.c_str(), prefix, n) == 0;
}

std::wstring PercentDecodeUtf8(const std::wstring& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'%' && i + 2 < text.size() && iswxdigit(text[i + 1]) && iswxdigit(text[i + 2])) {
            bytes += static_cast<char>(wcstoul(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
            continue;
        }
        char utf8[8];
        int n = WideCharToMultiByte(CP_UTF8, 0, &c, 1, utf8, sizeof(utf8), nullptr, nullptr);
        bytes.append(utf8, n > 0 ? static_cast<size_t>(n) : 0);
    }
    int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(length > 0 ? static_cast<size_t>(length) : 0, L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0], length);
    }
    return out;
}

}  // namespace

std::wstring FilePathOfTarget(const std::wstring& target) {
    if (IsFullPath(target)) {
        return target;
    }
    if (!StartsNoCase(target, L"file:")) {
        return {};
    }
    std::wstring rest = target.substr(5);
    size_t slashes = 0;
    while (slashes < rest.size() && rest[slashes] == L'/') {
        ++slashes;
    }
    // file:///C:/x, file://C:/x and file:/C:/x name a drive path; file://server/share a UNC one.
    rest = rest.substr(slashes);
    std::wstring path = PercentDecodeUtf8(rest);
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    if (!(path.size() >= 2 && IsLetter(path[0]) && path[1] == L':') && slashes == 2) {
        path = L"\\\\" + path;
    }
    return path;
}

std::wstring ResolvePageTarget(const std::wstring& base, const std::wstring& href) {
    if (href.empty() || SchemeLength(href) > 0 || IsFullPath(href)) {
        return href;
    }
    const size_t scheme = SchemeLength(base);
    const bool webBase = scheme > 0 && !StartsNoCase(base, L"file:");
    if (href.compare(0, 2, L"//") == 0) {
        return (webBase ? base.substr(0, scheme + 1) : std::wstring(L"http:")) + href;
    }
    if (webBase) {
        size_t hostStart = base.find(L"//", scheme);
        hostStart = hostStart == std::wstring::npos ? scheme + 1 : hostStart + 2;
        size_t pathStart = base.find(L'/', hostStart);
        if (href[0] == L'/') {
            return (pathStart == std::wstring::npos ? base : base.substr(0, pathStart)) + href;
        }
        std::wstring page = base.substr(0, base.find_first_of(L"?#", hostStart));
        size_t lastSlash = page.rfind(L'/');
        if (pathStart == std::wstring::npos || lastSlash < pathStart) {
            return page + L"/" + href;
        }
        return page.substr(0, lastSlash + 1) + href;
    }
    std::wstring path = scheme > 0 ? FilePathOfTarget(base) : base;
    std::wstring relative = href;
    for (wchar_t& c : relative) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    size_t cut = relative.find_first_of(L"?#");
    if (cut != std::wstring::npos) {
        relative.erase(cut);
    }
    size_t slash = path.find_last_of(L"\\/");
    std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    if (!relative.empty() && relative[0] == L'\\' && folder.size() >= 2 && folder[1] == L':') {
        return folder.substr(0, 2) + relative;
    }
    return folder + relative;
}
