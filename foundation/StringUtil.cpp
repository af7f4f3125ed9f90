#include "foundation/StringUtil.h"

#include "foundation/Handles.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <boost/lexical_cast.hpp>
#include <cwctype>

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to) {
    if (from.empty()) {
        return;
    }
    std::wstring::size_type pos = 0;
    while ((pos = text.find(from, pos)) != std::wstring::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

std::vector<std::wstring> Split(const std::wstring& text, const std::wstring& delimiters, bool dropEmpty) {
    std::vector<std::wstring> pieces;
    std::wstring::size_type start = 0;
    while (start <= text.size()) {
        std::wstring::size_type end = text.find_first_of(delimiters, start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        std::wstring piece = text.substr(start, end - start);
        const bool last = end == text.size();
        if (!piece.empty() || (!dropEmpty && !last)) {
            pieces.push_back(std::move(piece));
        }
        start = end + 1;
    }
    return pieces;
}

std::wstring JoinStrings(const std::vector<std::wstring>& texts, const std::wstring& separator) {
    std::wstring joined;
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) {
            joined += separator;
        }
        joined += texts[i];
    }
    return joined;
}

bool EraseBetween(std::wstring& text, const std::wstring& startMarker, const std::wstring& endMarker) {
    const auto start = text.find(startMarker);
    if (start == std::wstring::npos) {
        return false;
    }
    const auto end = text.find(endMarker, start + startMarker.size());
    if (end == std::wstring::npos) {
        return false;
    }
    text.erase(start, end + endMarker.size() - start);
    return true;
}

std::wstring ToLower(const std::wstring& text) {
    std::wstring lower = text;
    if (!lower.empty()) {
        // The platform's mapping also lowers full-width and other non-ASCII letters.
        CharLowerBuffW(&lower[0], static_cast<DWORD>(lower.size()));
    }
    return lower;
}

int ToIntOrZero(const std::wstring& text) {
    try {
        return boost::lexical_cast<int>(text);
    } catch (const boost::bad_lexical_cast&) {
        return 0;
    }
}

bool ContainsString(const std::vector<std::wstring>& texts, const std::wstring& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

void RemoveDuplicateStrings(std::vector<std::wstring>& texts) {
    std::vector<std::wstring> kept;
    kept.reserve(texts.size());
    for (auto& text : texts) {
        if (!ContainsString(kept, text)) {
            kept.push_back(std::move(text));
        }
    }
    texts.swap(kept);
}

std::wstring TrimSlashes(const std::wstring& text) {
    if (text.size() > 1 && text.front() == L'/' && text.back() == L'/') {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

std::wstring EncloseInSlashes(const std::wstring& text) {
    return L"/" + text + L"/";
}

namespace {

std::string FromWide(UINT codePage, const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int size =
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size : 0, '\0');
    if (size > 0) {
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    }
    return out;
}

std::wstring ToWide(UINT codePage, const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(size > 0 ? size : 0, L'\0');
    if (size > 0) {
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    }
    return out;
}

} // namespace

std::string WideToAnsi(const std::wstring& text) {
    return FromWide(CP_ACP, text);
}
std::wstring AnsiToWide(const std::string& text) {
    return ToWide(CP_ACP, text);
}
std::string WideToUtf8(const std::wstring& text) {
    return FromWide(CP_UTF8, text);
}
std::wstring Utf8ToWide(const std::string& text) {
    return ToWide(CP_UTF8, text);
}

std::vector<std::wstring> SplitCommandLine(const std::wstring& text) {
    std::vector<std::wstring> args;
    if (text.empty()) {
        return args;
    }
    int count = 0;
    const CLocalMemory<LPWSTR> argv(CommandLineToArgvW(text.c_str(), &count));
    if (!argv) {
        return args;
    }
    for (int i = 1; i < count; ++i) {
        args.emplace_back(argv.Get()[i]);
    }
    return args;
}

std::wstring GetArgValue(const std::vector<std::wstring>& args, const std::wstring& prefix,
                         const std::wstring& defaultValue) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        if (it->compare(0, prefix.size(), prefix) == 0) {
            return it->substr(prefix.size());
        }
    }
    return defaultValue;
}

std::wstring GetArgValueFirst(const std::vector<std::wstring>& args, const std::wstring& prefix,
                              const std::wstring& defaultValue) {
    for (const auto& arg : args) {
        if (arg.compare(0, prefix.size(), prefix) == 0) {
            return arg.substr(prefix.size());
        }
    }
    return defaultValue;
}

int HexDigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}
