#pragma once
// Percent-encoding of texts for URLs and form bodies.

#include <string>

// The text's UTF-8 bytes: ASCII letters and digits kept, a blank as "+", every other byte as "%XX"
// (upper-case hexadecimal).
std::wstring UrlEncode(const std::wstring& text);
