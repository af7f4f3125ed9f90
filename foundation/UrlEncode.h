#pragma once
// Percent-encoding of texts for URLs and form bodies.

#include <string>

// The text's UTF-8 bytes: ASCII letters and digits kept, a blank as "+", every other byte as "%XX"
// (upper-case hexadecimal).
std::wstring UrlEncode(const std::wstring& text);

// The reverse: "%XX" (either case) becomes its byte and "+" a blank, and the bytes are read as UTF-8.
// A "%" without two hexadecimal digits after it stays as it is.
std::wstring UrlDecode(const std::wstring& text);
