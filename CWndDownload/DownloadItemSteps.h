#pragma once
// The steps a download worker goes through for one video row. Each takes the list and the index of
// the worker's record (the record says which row is the worker's) and returns whether the row goes on.
//
// Thread use: the worker's thread; rows are reached through RunRecordRowStep.

#include <windows.h>

#include <cstddef>
#include <string>

// Makes sure the page was fetched logged in: logs in and fetches the page again as long as it is the
// login form. Quiet: the player check is skipped and a logged-in page passes.
bool CheckLoginInfo(HWND list, size_t recordIndex, std::wstring& page, bool quiet);
