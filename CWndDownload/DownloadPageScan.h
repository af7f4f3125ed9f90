#pragma once
// A download row that names a page (a list of the service or any web page linking to videos) is not
// downloaded itself: its worker collects the videos the page lists and adds a waiting row for each,
// with the page row's kinds and save folder.
//
// Thread use: ScanPageForVideoUrls runs on the worker's thread; the page row is read and written only
// through RunRecordRowStep, and each add is one step of the list's thread that runs only while the
// record still works on its row. Between its steps and its adds it looks at the record's signals as
// the item steps do (DownloadItemWorker.h): it waits while paused and throws DownloadItemEnded once
// cancelled. The URL functions are pure (they read the settings record).

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// The video URLs a page links to, in page order, each once: every "watch/" followed by a video ID
// (the setting MovieIdInitialRegex and digits) or by a number of two or more digits, put on the
// country's base address, wherever the link pointed.
std::vector<std::wstring> ExtractPageVideoUrls(const std::wstring& page, const std::wstring& country);

// The watch URLs of a list of the service, in list order, each once: the "video_id" values of the
// list text, or of the list's page when the list text holds none.
std::vector<std::wstring> GetListVideoUrls(const std::wstring& listText, const std::wstring& page,
                                           const std::wstring& country);

// Scans the page of the record's row and adds its videos; false when the page could not be fetched,
// not be read logged in, or lists no video (each logged with its reason), or when the record left its
// row before the videos were added.
bool ScanPageForVideoUrls(HWND list, size_t recordIndex);
