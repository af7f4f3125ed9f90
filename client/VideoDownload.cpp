#include "client/VideoDownload.h"

#include "client/CWinInetDownloader.h"
#include "client/DownloadFileNameFormats.h"
#include "client/FlvData.h"
#include "client/SaveNames.h"
#include "client/ServiceUrls.h"
#include "client/WatchPage.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/PathUtil.h"

namespace {

const wchar_t kExistingFile[] = L"同名のファイルが既に存在しているため、ダウンロードをキャンセルしました : ";
const wchar_t kExistingOtherContainer[] =
    L"同名のファイル(別の形式)が既に存在しているため、ダウンロードをキャンセルしました : ";
const wchar_t kEconomyRefused[] = L"エコノミーモードの動画のダウンロードをキャンセルしました : ";
const wchar_t kStillEconomy[] = L"動画がエコノミーモード状態なので、ダウンロードをキャンセルしました : ";

void LogLine(const std::wstring& line) {
    DebugLog() << line << EndLine;
}

class Reporter {
public:
    explicit Reporter(CGetVelaProcessCB& callback) : m_callback(callback) {}
    void operator()(int code, const std::wstring& text = L"") { m_callback.OnEvent(code, text.c_str()); }
    bool Fail(const std::wstring& logLine) {
        LogLine(logLine);
        (*this)(CGetVelaProcessCB::kFailed);
        return false;
    }

private:
    CGetVelaProcessCB& m_callback;
};

} // namespace

bool DownloadVideo(const std::wstring& flvData, const std::wstring& folder, const std::wstring& page,
                   CGetVelaProcessCB& callback, const std::wstring& folderTemplate, const EconomyOptions& economy,
                   DWORD timeoutMs) {
    Reporter report(callback);
    if (const int deleted = GetDeletedCode(flvData)) {
        report(CGetVelaProcessCB::kDeleted);
        return report.Fail(L"Error : DownloadVideo() deleted=" + std::to_wstring(deleted));
    }
    const std::wstring videoUrl = GetVideoUrl(flvData);
    if (videoUrl.empty()) {
        return report.Fail(L"Error : DownloadVideo() the video data has no url");
    }
    report(CGetVelaProcessCB::kLogLine, L"DownloadUrl = " + videoUrl);
    const bool isEconomy = IsEconomyVideoUrl(videoUrl);
    report(isEconomy ? CGetVelaProcessCB::kEconomyVideo : CGetVelaProcessCB::kNormalVideo);

    SaveNameValues values;
    values.title = GetTitle(page);
    values.videoId = GetVideoMember(page, L"v");
    values.time = LocalTimeFromUnixTime(0);
    if (values.videoId.empty()) {
        return report.Fail(L"Error : DownloadVideo() the page names no video");
    }
    std::wstring movieType = GetMovieType(page);
    if (movieType.empty()) {
        movieType = GetMovieTypeFromVideoUrl(videoUrl);
    }
    const std::wstring otherType = movieType == L"mp4" ? L"flv" : L"mp4";
    const std::wstring saveFolder = BuildSaveFolder(folder, folderTemplate, values);
    const std::wstring nameFormat = GetDownloadFileNameFormats().FileNameFormatMOV;
    const size_t reserve = utl::wininet::CWinInetDownloader::kSideFileSuffixLength;
    const std::wstring path = BuildSaveFilePath(saveFolder, nameFormat, values, L"." + movieType, reserve);
    const std::wstring otherPath = BuildSaveFilePath(saveFolder, nameFormat, values, L"." + otherType, reserve);
    if (path.empty()) {
        return report.Fail(L"Error : DownloadVideo() the path is too long: " + saveFolder);
    }

    // Either container counts: the economy and the normal version may differ in it.
    const std::wstring existing = FileExists(path) ? path : FileExists(otherPath) ? otherPath : L"";
    if (!existing.empty()) {
        if (!economy.rowHadEconomy) {
            LogLine((existing == path ? kExistingFile : kExistingOtherContainer) + existing);
            report(CGetVelaProcessCB::kNormalVideo);
            report(CGetVelaProcessCB::kFileWritten, existing);
            report(CGetVelaProcessCB::kSkipped);
            return true;
        }
        if (isEconomy) {
            LogLine(kStillEconomy + existing);
            report(CGetVelaProcessCB::kSkipped);
            return false;
        }
        // The economy file gives way to the normal version.
        if (!DeleteFileW(existing.c_str())) {
            return report.Fail(L"Error : DeleteFile() " + existing);
        }
    } else if (isEconomy) {
        const bool refused =
            economy.refuse || (economy.ask && MessageBoxW(economy.owner, economy.text.c_str(), economy.caption.c_str(),
                                                          economy.boxFlags) != IDYES);
        if (refused) {
            LogLine(kEconomyRefused + path);
            report(CGetVelaProcessCB::kSkipped);
            return false;
        }
    }

    if (!CreateFolderPath(saveFolder)) {
        return report.Fail(L"Error : CreateFolderPath() " + saveFolder);
    }
    int lastPercent = -1;
    utl::wininet::CWinInetDownloader downloader;
    const auto result =
        downloader.Download(GetAppSettings().UserAgent, videoUrl, path, timeoutMs,
                            [&](unsigned long long received, unsigned long long total) {
                                const int percent = total == 0 ? 100 : static_cast<int>(received * 100 / total);
                                if (percent != lastPercent) {
                                    lastPercent = percent;
                                    report(percent, std::to_wstring(received) + L"/" + std::to_wstring(total));
                                }
                            });
    if (result != utl::wininet::CWinInetDownloader::Result::Complete) {
        return report.Fail(L"Error : DownloadVideo() " + downloader.GetErrorText());
    }
    report(CGetVelaProcessCB::kFileWritten, path);
    report(100);
    return true;
}
