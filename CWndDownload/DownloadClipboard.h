#pragma once
// What the download window's clipboard watch reads and decides: the text on the clipboard, the key of
// the window the user copied from and whether that window is watched, the question about the video
// references found, and the program's own copies, which the watch skips once. The watch itself
// (WatchClipboard, AnalyzeClipboard) is the window's, in DownloadClipboard.cpp.
//
// Thread use: UI thread.
//
// Never: read a clipboard block past its size (another program may put a text there without its
// terminating zero); mark a copy as the program's own before the clipboard is open (a copy that
// failed would make the watch skip the user's next one).

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// Clipboard texts larger than this many bytes are not read.
constexpr size_t kClipboardTextLimitBytes = 256000;
// The found URLs are shown in the question up to this many characters.
constexpr size_t kClipboardQuestionUrlsMax = 2048;

// The caller has opened the clipboard. When Unicode text is on it: logs "クリップボードサイズ = " and its
// size in bytes, and copies it into buffer unless it exceeds kClipboardTextLimitBytes (logged; buffer
// left as it was). Closes the clipboard in every case.
void GetClipboardText(std::wstring& buffer);
// The text of a clipboard block of that many bytes: up to its first zero, never past its end.
std::wstring ReadClipboardTextBlock(const void* data, size_t bytes);

// "class name::title" of the window (the foreground window the user copied from).
std::wstring MakeClipboardWindowKey(HWND window);
// The key matches include as a whole and exclude is empty or does not match it as a whole; a faulty
// pattern counts as no match.
bool IsWatchedClipboardWindow(const std::wstring& key, const std::wstring& include, const std::wstring& exclude);
// The question about adding the URLs: the list joined by ", " (cut to kClipboardQuestionUrlsMax
// characters and marked when longer) and the two lines of the question.
std::wstring MakeClipboardQuestion(const std::vector<std::wstring>& urls);

// The program's own copy: opens the clipboard for owner and, only when it opened, sets the skip-once
// flag (DownloadOwnClipboardWrite, which the watch clears) and puts the text on it. False when the
// clipboard could not be opened or written.
bool PutOwnTextOnClipboard(HWND owner, const std::wstring& text);
