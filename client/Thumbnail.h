#pragma once
// Saving a video's thumbnail image beside its other files. The image's address is the watch page's
// Video.thumbnail; the file name comes from the setting FileNameFormatIMG (DownloadFileNameFormats.h)
// with the extension ".jpg".
//
// Thread use: the download's own thread; it blocks, also while it waits between attempts.

#include <windows.h>

#include <functional>
#include <string>

const DWORD kThumbnailRetryWaitMs = 5000;
const int kThumbnailRetries = 3;

// The address of the video's thumbnail in its watch page; empty when the page names none.
std::wstring GetThumbnailUrl(const std::wstring& page);

// Saves the thumbnail into folder (expanded by folderTemplate); a failed attempt is retried up to
// kThumbnailRetries times, retryWaitMs apart. True when the file is there, also when it existed
// before. The API data is not read: the page names the image. Failures are logged.
// wait(ms) is the pause between two attempts (Sleep when empty); it may throw to stop the retries, since
// no connection or file is open while it runs.
bool DownloadThumbnail(const std::wstring& folder, const std::wstring& page, const std::wstring& flvData,
                       const std::wstring& folderTemplate, DWORD retryWaitMs = kThumbnailRetryWaitMs,
                       const std::function<void(DWORD milliseconds)>& wait = nullptr);
