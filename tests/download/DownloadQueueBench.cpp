// Prints the time the real download window takes to download ten 50 MB videos from the fake on
// loopback through its queue and workers (ThreadDownProcessMax 3, AccessWaitSec 0, logged in, video
// only), against curl fetching the same ten files three at a time in the same run, their ratio, and
// whether every file came whole.
// Five runs each, alternating, and the ratio of the medians.
// Run: scripts/bench-download-queue.sh

#include "CWndDownload/CWndDownload.h"
#include "CWndDownload/DownloadListRow.h"
#include "CWndDownload/DownloadQueue.h"
#include "CWndDownload/DownloadSettings.h"
#include "client/HttpAccess.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/Handles.h"
#include "foundation/ListView.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/PrivateMessages.h"
#include "foundation/StringUtil.h"
#include "tests/fakeservice/FakeService.h"
#include "tests/support/BenchClock.h"
#include "tests/support/CurlRun.h"
#include "tests/support/TestSupport.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

CBaseDebug& DebugLog() {
    static CBaseDebug log;
    return log;
}

namespace {

const int kVideos = 10;
const int kAtOnce = 3;
const unsigned long long kVideoSize = 50ULL * 1024 * 1024;
const double kGoal = 1.3;
const int kRuns = 5;

using testing_support::Seconds;

std::wstring IdOf(int index) {
    return L"sm" + std::to_wstring(3000 + index);
}

// The fake's address of the video's file, the one its getflv reply names.
std::wstring FileUrlOf(const testing_support::FakeService& fake, int index) {
    return fake.BaseUrl() + L"smile?m=" + IdOf(index) + L".0468";
}

// The main window as the download window meets it: it forwards the download block and appends the
// log lines of the workers.
LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= kDownloadBlock && message < kDownloadBlock + kBlockSize) {
        return SendMessageW(reinterpret_cast<HWND>(GetWindowLongPtrW(window, GWLP_USERDATA)), message, wParam, lParam);
    }
    if (message == kMsgLogLine) {
        DebugLog() << reinterpret_cast<const wchar_t*>(wParam) << EndLine;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Whether the file holds the fake's bytes (byte i is i % 251) and has the video's size; three
// places are read, which finds a cut, a shifted or a foreign file.
bool IsWholeVideo(const std::wstring& path) {
    const CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.Get(), &size) || static_cast<unsigned long long>(size.QuadPart) != kVideoSize) {
        return false;
    }
    for (const unsigned long long at : {0ULL, kVideoSize / 2 + 7, kVideoSize - 4096}) {
        LARGE_INTEGER position = {};
        position.QuadPart = static_cast<LONGLONG>(at);
        unsigned char bytes[4096];
        DWORD read = 0;
        if (!SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN) ||
            !ReadFile(file.Get(), bytes, sizeof(bytes), &read, nullptr) || read != sizeof(bytes)) {
            return false;
        }
        for (DWORD i = 0; i < read; ++i) {
            if (bytes[i] != (at + i) % 251) {
                return false;
            }
        }
    }
    return true;
}

// Seconds one curl took for the ten files, kAtOnce transfers at a time (each file written to disk),
// from its first trace line to its closing of the last connection; negative on failure or when a
// file is not whole.
double TimeCurl(const testing_support::FakeService& fake) {
    using namespace testing_support;
    const std::string stem = "/tmp/vela-queue-bench-" + std::to_string(GetCurrentProcessId());
    // --parallel-immediate: without it curl waits for the first connection before opening the others.
    std::wstring arguments = L"--no-progress-meter -Z --parallel-immediate --parallel-max " + std::to_wstring(kAtOnce);
    for (int index = 0; index < kVideos; ++index) {
        arguments += L" -o " + Utf8ToWide(stem) + L"-" + std::to_wstring(index) + L".bin " + FileUrlOf(fake, index);
    }
    if (!StartCurl(stem, arguments)) {
        return -1;
    }
    const std::string trace = WaitForCurlTrace(stem, kVideos);
    bool whole = true;
    for (int index = 0; index < kVideos; ++index) {
        const std::wstring path = L"Z:" + Utf8ToWide(stem) + L"-" + std::to_wstring(index) + L".bin";
        whole = IsWholeVideo(path) && whole;
        DeleteFileW(path.c_str());
    }
    const double span = CurlTraceSpan(trace);
    if (!whole || CountOf(trace, CurlClosingLine()) != kVideos || span < 0) {
        std::printf("curl failed: whole files %s, trace \"%s\"\n", whole ? "yes" : "no", trace.c_str());
        return -1;
    }
    return span;
}

void DeleteFolder(const std::wstring& folder) {
    std::wstring from = folder;
    from.push_back(L'\0'); // the list of paths ends with a second zero
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

struct RowTimes {
    double started = -1; // first seen out of the waiting state, seconds after the adds
    double video = -1;   // first seen in the video step (connecting or transferring)
    double done = -1;
};

// Seconds the real window took from the ten adds to its last row done; negative on failure or when
// a file is not whole. Each row's start and end go into rows.
double TimeDownloadWindow(const std::wstring& folder, std::vector<RowTimes>& rows) {
    CreateDirectoryW(folder.c_str(), nullptr);
    GetAppSettings().programFolder = folder;
    GetAppSettings().settingsDatPath = folder + L"\\settings.dat";
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VelaDownloadQueueBenchMain";
    RegisterClassW(&wc);
    const HWND main =
        CreateWindowW(wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    SetMainWindow(main);
    CWndDownload window;
    window.Init(L"VelaPlayer", folder + L"\\velaplayer.ini", main);
    if (main == nullptr || !window.Show(SW_HIDE) ||
        !testing_support::PumpMessagesUntil([&] { return window.IsListLoaded(); }, 20000)) {
        std::printf("the download window did not open\n");
        return -1;
    }
    SetWindowLongPtrW(main, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window.GetHandle()));
    // The settings were read by the first Show; these replace them in memory.
    DownloadSettings& settings = GetDownloadSettings();
    settings.ThreadDownProcessMax = kAtOnce;
    settings.AccessWaitSec = 0;
    settings.GetTitleWaitSec = 0;
    settings.Mail = L"user@example.com";
    settings.Pass = L"pass word&1";
    settings.DeleteDownCompItem = false;
    settings.DownCompNotifyFlash = false;
    // The rows ask for the video only; the filter's rule would also save each one's information.
    settings.VideoInfoSaveFilter = false;
    GetDownloadQueue().Reset();

    const HWND list = window.GetListView();
    const double start = Seconds();
    for (int index = 0; index < kVideos; ++index) {
        const std::vector<std::wstring> add = {IdOf(index), folder};
        // Waiting, ticked, the video only.
        SendMessageW(window.GetHandle(), kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&add), 0x10003);
    }
    rows.assign(kVideos, RowTimes{});
    bool failed = false;
    const bool finished = testing_support::PumpMessagesUntil(
        [&] {
            int done = 0;
            for (int row = 0; row < ListView_GetItemCount(list) && row < kVideos; ++row) {
                const WORD status = GetItemStatusOf(GetListItemParam(list, row));
                if (rows[row].started < 0 && status != kDownloadStatusWaiting) {
                    rows[row].started = Seconds() - start;
                }
                if (rows[row].video < 0 && (status == kDownloadStatusConnecting || status == kDownloadStatusVideo)) {
                    rows[row].video = Seconds() - start;
                }
                if (rows[row].done < 0 && status == kDownloadStatusDone) {
                    rows[row].done = Seconds() - start;
                }
                failed = failed || status == kDownloadStatusError;
                done += status == kDownloadStatusDone ? 1 : 0;
            }
            return failed || done == kVideos;
        },
        300000);
    const double elapsed = Seconds() - start;

    bool whole = finished && !failed && ListView_GetItemCount(list) == kVideos;
    for (int row = 0; whole && row < kVideos; ++row) {
        const std::wstring path =
            folder + L"\\" + GetListItemText(list, row, kDownloadColumnTitle) + L"(" + IdOf(row) + L").mp4";
        if (!IsWholeVideo(path)) {
            std::printf("not whole: %s\n", WideToUtf8(path).c_str());
            whole = false;
        }
    }
    if (!whole) {
        for (int row = 0; row < ListView_GetItemCount(list); ++row) {
            std::printf("  row %d: %s %s\n", row, WideToUtf8(GetListItemText(list, row, kDownloadColumnId)).c_str(),
                        WideToUtf8(GetListItemText(list, row, kDownloadColumnStatus)).c_str());
        }
        std::printf("log:\n%s\n", WideToUtf8(testing_support::WindowText(DebugLog().GetEditControl())).c_str());
    }
    testing_support::PumpMessagesUntil([] { return CountRunningDownloads() == 0; }, 30000);
    window.Destroy();
    SetMainWindow(nullptr);
    DestroyWindow(main);
    DeleteFolder(folder);
    return whole ? elapsed : -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void PrintRows(const std::vector<RowTimes>& rows) {
    for (int row = 0; row < kVideos; ++row) {
        std::printf("      %s: started %.2f s, video from %.2f s, done %.2f s\n", WideToUtf8(IdOf(row)).c_str(),
                    rows[row].started, rows[row].video, rows[row].done);
    }
}

} // namespace

int main() {
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&init);
    DebugLog().AddPage(DebugLog().GetEditControl());
    int result = 1;
    {
        testing_support::FakeService fake;
        if (!fake.IsRunning()) {
            std::printf("the fake service did not start\n");
            return 1;
        }
        AppSettings& app = GetAppSettings();
        app.ServiceBaseUrl = fake.BaseUrl();
        app.PingUrl = fake.BaseUrl() + L"ping";
        app.OfflineMode = false;
        std::wstring reply;
        GetURLData(reply, fake.BaseUrl() + L"secure/login");

        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        const std::wstring folder = std::wstring(temp) + L"vela-queue-bench-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder.c_str(), nullptr);

        std::printf("%d videos of 50 MB from the fake on loopback, %d at a time; %d runs each, alternating\n", kVideos,
                    kAtOnce, kRuns);
        std::vector<double> ours;
        std::vector<double> theirs;
        std::vector<RowTimes> rows;
        for (int run = 0; run < kRuns; ++run) {
            const double curl = TimeCurl(fake);
            const double window =
                curl > 0 ? TimeDownloadWindow(folder + L"\\window-" + std::to_wstring(run), rows) : -1;
            if (curl <= 0 || window <= 0) {
                break;
            }
            std::printf("  run %d: download window and queue %.2f s (%.1f MB/s), curl %.2f s (%.1f MB/s)\n", run + 1,
                        window, kVideos * 50.0 / window, curl, kVideos * 50.0 / curl);
            ours.push_back(window);
            theirs.push_back(curl);
        }
        DeleteFolder(folder);
        fake.Stop();
        if (static_cast<int>(ours.size()) == kRuns) {
            std::printf("  rows of the last run:\n");
            PrintRows(rows);
            const double window = Median(ours);
            const double curl = Median(theirs);
            const double ratio = window / curl;
            std::printf("median: download window and queue %.2f s, curl %d at a time %.2f s\n", window, kAtOnce, curl);
            std::printf("ratio %.2f: %s (goal %.1f or less); every file whole\n", ratio,
                        ratio <= kGoal ? "within" : "NOT within", kGoal);
            result = 0;
        } else {
            std::printf("failed\n");
        }
    }
    testing_support::RunProgramEndSteps();
    CoUninitialize();
    return result;
}
