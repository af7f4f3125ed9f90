#pragma once
// A download row that names a page (a list of the service or any web page linking to videos) is not
// downloaded itself: its worker collects the videos the page lists and adds a waiting row for each.
//
// Thread use: the worker's thread; rows are reached through list-view messages and the main window's
// add message.

#include <windows.h>

#include <cstddef>

// Scans the page of the record's row and adds its videos; false when the page could not be fetched,
// not be read logged in, or lists no video.
bool ScanPageForVideoUrls(HWND list, size_t recordIndex);
