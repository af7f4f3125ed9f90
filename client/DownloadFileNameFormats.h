#pragma once
// The file-name templates of the video and thumbnail files, which DownloadVideo and DownloadThumbnail
// take from here rather than from their arguments. The download manager owns these settings
// (FileNameFormatMOV, FileNameFormatIMG) and fills this record when it loads them; until then the
// defaults hold.
//
// Thread use: written on the UI thread while no download runs, read by download threads without a lock.

#include <string>

struct DownloadFileNameFormats {
    std::wstring FileNameFormatMOV = L"%title%(%thread%)";
    std::wstring FileNameFormatIMG = L"%title%(%thread%)";
};

DownloadFileNameFormats& GetDownloadFileNameFormats();
