#include "client/Thumbnail.h"

#include "client/CWinInetDownloader.h"
#include "client/DownloadFileNameFormats.h"
#include "client/SaveNames.h"
#include "client/WatchPage.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/PathUtil.h"

namespace {

const DWORD kThumbnailTimeoutMs = 30000;

} // namespace

std::wstring GetThumbnailUrl(const std::wstring& page) {
    return GetVideoMember(page, L"thumbnail");
}

bool DownloadThumbnail(const std::wstring& folder, const std::wstring& page, const std::wstring& /*flvData*/,
                       const std::wstring& folderTemplate, DWORD retryWaitMs,
                       const std::function<void(DWORD milliseconds)>& wait) {
    const std::wstring url = GetThumbnailUrl(page);
    SaveNameValues values;
    values.title = GetTitle(page);
    values.videoId = GetVideoMember(page, L"v");
    values.time = LocalTimeFromUnixTime(0);
    if (url.empty() || values.videoId.empty()) {
        DebugLog() << L"Error : DownloadThumbnail() the page names no thumbnail" << EndLine;
        return false;
    }
    const std::wstring saveFolder = BuildSaveFolder(folder, folderTemplate, values);
    const std::wstring path = BuildSaveFilePath(saveFolder, GetDownloadFileNameFormats().FileNameFormatIMG, values,
                                                L".jpg", utl::wininet::CWinInetDownloader::kSideFileSuffixLength);
    if (path.empty()) {
        DebugLog() << L"Error : DownloadThumbnail() the path is too long: " << saveFolder << EndLine;
        return false;
    }
    if (FileExists(path)) {
        return true;
    }
    if (!CreateFolderPath(saveFolder)) {
        DebugLog() << L"Error : CreateFolderPath() " << saveFolder << EndLine;
        return false;
    }
    for (int attempt = 0;; ++attempt) {
        {
            // Gone before the wait: its connection is closed while the caller may stop the retries.
            utl::wininet::CWinInetDownloader downloader;
            if (downloader.Download(GetAppSettings().UserAgent, url, path, kThumbnailTimeoutMs, nullptr) ==
                utl::wininet::CWinInetDownloader::Result::Complete) {
                return true;
            }
            DebugLog() << L"Error : DownloadThumbnail() " << downloader.GetErrorText() << EndLine;
        }
        if (attempt == kThumbnailRetries) {
            return false;
        }
        if (wait) {
            wait(retryWaitMs);
        } else {
            Sleep(retryWaitMs);
        }
    }
}
