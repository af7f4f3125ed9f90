#pragma once
// Writing text to the clipboard.

#include <string>

// The caller has opened the clipboard (OpenClipboard with one of its windows). Empties it, puts the
// text on it as CF_UNICODETEXT and closes it; false when the text could not be placed.
bool SetClipboardText(const std::wstring& text);
