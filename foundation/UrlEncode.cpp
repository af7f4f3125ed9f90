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
