#pragma once
// The video ID and the title part of a media file's name.

#include <string>

// The video ID in a name: the service's ID pattern first, else four or more digits in "[]", "()" or
// "{}", else a run of four or more digits that stands apart from letters and digits; empty when none.
std::wstring GetVideoIdFromFileName(const std::wstring& name);
std::wstring GetVideoIdFromFilePath(const std::wstring& path);

// Group 1 of the file-name title pattern, "[:id:]" in it standing for the name's video ID; the name
// without its extension when the name holds no video ID or the pattern does not match.
std::wstring GetTitleFromFileName(const std::wstring& name);
std::wstring GetTitleFromFilePath(const std::wstring& path);
