// Prints the throughput of DownloadVideo on a 200 MB video served by the fake on loopback, and that of
// curl fetching the same file in the same run, each written to disk, and their ratio.
// Run: scripts/bench-download.sh

#include "client/FlvData.h"
#include "client/HttpAccess.h"
#include "client/VideoDownload.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/Handles.h"
#include "foundation/StringUtil.h"
#include "tests/fakeservice/FakeService.h"
#include "tests/support/BenchClock.h"
#include "tests/support/CurlRun.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

CBaseDebug& DebugLog() {
    static CBaseDebug log;
    return log;
}

namespace {

const int kRuns = 5;
const double kMegabyte = 1024.0 * 1024.0;

using testing_support::CurlTraceSpan;
using testing_support::Seconds;
using testing_support::StartCurl;
using testing_support::WaitForCurlTrace;

class QuietCallback : public CGetVelaProcessCB {
public:
    void OnEvent(int code, const wchar_t*) override { lastCode = code; }
    int lastCode = 0;
};

unsigned long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Seconds DownloadVideo took for the whole file; negative on failure.
double TimeDownloadVideo(const std::wstring& flvData, const std::wstring& page, const std::wstring& folder,
                         unsigned long long size) {
    const std::wstring path = folder + L"\\大きな動画(sm200).mp4";
    DeleteFileW(path.c_str());
    QuietCallback callback;
    EconomyOptions economy;
    economy.ask = false;
    const double start = Seconds();
    const bool ok = DownloadVideo(flvData, folder, page, callback, L"", economy, 60000);
    const double elapsed = Seconds() - start;
    const bool whole = ok && FileSize(path) == size;
    DeleteFileW(path.c_str());
    return whole ? elapsed : -1;
}

// Seconds curl took from its first connection attempt to closing the connection after the whole file
// (written to a file of the same disk), from the time stamps of its trace; negative on failure.
double TimeCurl(const std::wstring& url, unsigned long long size, int run) {
    const std::string stem =
        "/tmp/vela-download-bench-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(run);
    const std::wstring file = L"Z:" + Utf8ToWide(stem) + L".bin";
    if (!StartCurl(stem, L"-o " + Utf8ToWide(stem) + L".bin " + url)) {
        return -1;
    }
    const std::string trace = WaitForCurlTrace(stem, 1);
    const unsigned long long received = FileSize(file);
    DeleteFileW(file.c_str());
    const double span = CurlTraceSpan(trace);
    if (received != size || span < 0) {
        std::printf("curl failed: %llu bytes, trace \"%s\"\n", received, trace.c_str());
        return -1;
    }
    return span;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main() {
    DebugLog();
    testing_support::FakeService fake;
    if (!fake.IsRunning()) {
        std::printf("the fake service did not start\n");
        return 1;
    }
    GetAppSettings().ServiceBaseUrl = fake.BaseUrl();
    std::wstring reply;
    std::wstring page;
    GetURLData(reply, fake.BaseUrl() + L"secure/login");
    if (!OpenUrlChecked(page, fake.BaseUrl() + L"watch/sm200")) {
        std::printf("no watch page\n");
        return 1;
    }
    const std::wstring flvData = GetFlvData(L"sm200", L"jp", INTERNET_FLAG_RELOAD);
    const std::wstring url = GetVideoUrl(flvData);
    const unsigned long long size = 200ULL * 1024 * 1024;

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"vela-download-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);

    std::printf("200 MB video from the fake on loopback, %d runs each, alternating\n", kRuns);
    std::vector<double> ours;
    std::vector<double> theirs;
    for (int run = 0; run < kRuns; ++run) {
        const double a = TimeDownloadVideo(flvData, page, folder, size);
        const double b = TimeCurl(url, size, run);
        if (a <= 0 || b <= 0) {
            std::printf("run %d failed\n", run + 1);
            RemoveDirectoryW(folder.c_str());
            return 1;
        }
        ours.push_back(size / kMegabyte / a);
        theirs.push_back(size / kMegabyte / b);
        std::printf("  run %d: DownloadVideo %.1f MB/s (%.2f s), curl %.1f MB/s (%.2f s)\n", run + 1, ours.back(), a,
                    theirs.back(), b);
    }
    RemoveDirectoryW(folder.c_str());
    const double oursMedian = Median(ours);
    const double theirsMedian = Median(theirs);
    std::printf("median: DownloadVideo %.1f MB/s, curl %.1f MB/s, ratio %.2f (goal 0.80 or more)\n", oursMedian,
                theirsMedian, oursMedian / theirsMedian);
    fake.Stop();
    return 0;
}
