#include "foundation/UrlEncode.h"

#include "foundation/StringUtil.h"

std::wstring UrlEncode(const std::wstring& text) {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring encoded;
    for (const char c : WideToUtf8(text)) {
        const unsigned char byte = static_cast<unsigned char>(c);
        // Explicit ranges: the C library's classification depends on the locale and may take bytes >= 0x80.
        if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')) {
            encoded += static_cast<wchar_t>(byte);
        } else if (byte == ' ') {
            encoded += L'+';
        } else {
            encoded += L'%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

std::wstring UrlDecode(const std::wstring& text) {
    // Sequences are gathered as bytes first, since one character may take several of them; plain runs
    // are converted whole, so that a surrogate pair stays together.
    std::string bytes;
    std::wstring plain;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 && HexDigitValue(text[i + 2]) >= 0) {
            bytes += WideToUtf8(plain);
            plain.clear();
            bytes += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            plain += c == L'+' ? L' ' : c;
        }
    }
    return Utf8ToWide(bytes + WideToUtf8(plain));
}
