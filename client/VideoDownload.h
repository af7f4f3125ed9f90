#pragma once
// Saving a video's file: DownloadVideo, with its economy options and the callback codes of
// CGetVelaProcessCB. The file name comes from the setting FileNameFormatMOV
// (DownloadFileNameFormats.h), the extension from the watch page's movie_type (or the address).
//
// Thread use: the download's own thread; it blocks until the transfer ends, and the economy question
// is a message box shown on that thread.

#include "client/CGetVelaProcessCB.h"

#include <windows.h>

#include <string>

// What to do when the service offers only the economy version of a video.
struct EconomyOptions {
    bool ask = true;            // ask the question (Yes downloads it)
    bool refuse = false;        // refuse it without a question (takes precedence over ask)
    bool rowHadEconomy = false; // an earlier download of this row was the economy version
    HWND owner = nullptr;       // of the question's message box
    std::wstring text;          // the question
    std::wstring caption;
    UINT boxFlags = MB_YESNO;
};

// Downloads the video the API data names into folder (expanded by folderTemplate), resuming a partial
// file; timeoutMs bounds each wait for data. Reports, in this order: -7 and -1 for a deleted video;
// -3 "DownloadUrl = ..."; -6 economy or -5 normal; then either -2 (refused, or an existing file: -5,
// -4 path, -2 first), or the progress 0-100 with "received/total" bytes followed by -4 path and 100
// with an empty text, or -1 on a failure. True when the file is there (also an existing one).
bool DownloadVideo(const std::wstring& flvData, const std::wstring& folder, const std::wstring& page,
                   CGetVelaProcessCB& callback, const std::wstring& folderTemplate, const EconomyOptions& economy,
                   DWORD timeoutMs);
