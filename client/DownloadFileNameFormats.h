#pragma once
// The file-name templates of the video and thumbnail files, which DownloadVideo and DownloadThumbnail
// take from here rather than from their arguments. The download manager owns these settings
// (FileNameFormatMOV, FileNameFormatIMG) and fills this record when it loads them; until then the
// defaults hold.
//
// Thread use: any thread. The record is replaced on the UI thread while download threads may read it,
// so both go through its lock and a reader gets a copy of its own.

#include <string>

struct DownloadFileNameFormats {
    std::wstring FileNameFormatMOV = L"%title%(%thread%)";
    std::wstring FileNameFormatIMG = L"%title%(%thread%)";
};

// A copy of the templates as they are now.
DownloadFileNameFormats GetDownloadFileNameFormats();
void SetDownloadFileNameFormats(const DownloadFileNameFormats& formats);
