#pragma once
// Video IDs and watch-page URLs: recognising them in texts and turning one into the other. A video ID
// is the letter prefix of the setting MovieIdInitialRegex followed by digits.
//
// Thread use: any thread (reads the settings record).

#include <string>
#include <vector>

// The video ID of a watch-page URL of the service (a query after the ID is allowed); any other text
// is returned unchanged.
std::wstring GetVideoIdFromUrl(const std::wstring& text);

// The whole text is a video ID with two or more digits, or the service's watch-page URL of one.
bool IsVideoIdText(const std::wstring& text);

// The digits that end a video ID; empty when the text is not a video ID.
std::wstring GetNumberSuffix(const std::wstring& videoId);

// Replaces out by the watch-page URLs of every video reference in the text, in text order: watch
// URLs of the service as they stand, bare IDs (two or more digits, not inside a longer word) on the
// country's watch URL. False when there is none.
bool ExtractVideoUrls(const std::wstring& text, std::vector<std::wstring>& out, const std::wstring& country);
// The same with the setting Country.
bool ExtractVideoUrls(const std::wstring& text, std::vector<std::wstring>& out);

// The watch URL (setting Country) of the video ID in a file name or path; empty when it holds none.
std::wstring GetWatchUrlFromFileName(const std::wstring& name);
std::wstring GetWatchUrlFromFilePath(const std::wstring& path);
