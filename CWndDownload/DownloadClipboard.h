#pragma once
// The text the download window's clipboard watch reads from the clipboard.
//
// Thread use: UI thread.

#include <cstddef>
#include <string>

// Clipboard texts larger than this many bytes are not read.
constexpr size_t kClipboardTextLimitBytes = 256000;

// The caller has opened the clipboard. When Unicode text is on it: logs "クリップボードサイズ = " and its
// size in bytes, and copies it into buffer unless it exceeds kClipboardTextLimitBytes (logged; buffer
// left as it was). Closes the clipboard in every case.
void GetClipboardText(std::wstring& buffer);
