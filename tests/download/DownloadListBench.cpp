// Prints the time the real download window takes to load a saved list of 5,000 rows (from its
// creation until the load has ended), to save it as the auto-save does (on a worker) and as the close
// does (on the window's thread, with the except list), each beside its goal, the time of the whole
// close (the settings, the list, the window), and whether every file written is the file read. Three
// runs; the medians are held against the goals.
// Run: scripts/bench-download-list.sh

#include "CWndDownload/CWndDownload.h"
#include "CWndDownload/DownloadListFile.h"
#include "CWndDownload/DownloadListRow.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CWorkerThread.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/PrivateMessages.h"
#include "foundation/TextFile.h"
#include "tests/support/BenchClock.h"
#include "tests/support/TestSupport.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

CBaseDebug& DebugLog() {
    static CBaseDebug log;
    return log;
}

namespace {

constexpr int kRows = 5000;
constexpr int kRuns = 3;
constexpr double kLoadGoal = 2.0;
constexpr double kSaveGoal = 0.5;

using testing_support::Seconds;

// The main window as the download window meets it: it forwards the download block.
LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= kDownloadBlock && message < kDownloadBlock + kBlockSize) {
        const auto target = reinterpret_cast<HWND>(GetWindowLongPtrW(window, GWLP_USERDATA));
        return target != nullptr ? SendMessageW(target, message, wParam, lParam) : 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A saved list as users have them: ticked, unticked, done and deleted rows, titles with commas,
// folders inside and outside the program folder.
std::wstring MakeSavedList() {
    std::wstring text;
    for (int i = 0; i < kRows; ++i) {
        const std::wstring n = std::to_wstring(i);
        const std::wstring id = L"sm" + std::to_wstring(1000000 + i);
        switch (i % 4) {
        case 0:
            text += id + L",7,.\\save\\\\COMMA\\\\" + n + L",題名\\\\COMMA\\\\ その" + n + L",.\\save\\v" + n +
                    L".mp4,.\\save\\c" + n + L".xml,\n";
            break;
        case 1:
            text += id + L",2151,D:\\動画,完了した動画 " + n + L",D:\\動画\\v" + n + L".mp4,,country=\"jp\"\n";
            break;
        case 2:
            text += id + L",34,D:\\動画,消えた動画 " + n + L",,,-deleted\n";
            break;
        default:
            text += id + L",6,D:\\動画,,,,\n";
            break;
        }
    }
    return text;
}

struct Run {
    double load = -1;
    double autoSave = -1;
    double closeSave = -1;
    double close = -1;
    bool same = false;
};

Run TimeRun(const std::wstring& folder, const std::wstring& savedList) {
    Run run;
    const std::wstring listPath = folder + L"\\DownList.dat";
    WriteTextFile(listPath, savedList);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VelaDownloadListBenchMain";
    RegisterClassW(&wc);
    const HWND main =
        CreateWindowW(wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    SetMainWindow(main);
    CWndDownload window;
    window.Init(L"VelaPlayer", folder + L"\\velaplayer.ini", main);

    const double start = Seconds();
    if (main == nullptr || !window.Show(SW_HIDE)) {
        std::printf("the download window did not open\n");
        return run;
    }
    SetWindowLongPtrW(main, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window.GetHandle()));
    if (!testing_support::PumpMessagesUntil([&] { return window.IsListLoaded(); }, 60000)) {
        std::printf("the saved list did not load\n");
        return run;
    }
    run.load = Seconds() - start;
    const HWND list = window.GetListView();
    if (ListView_GetItemCount(list) != kRows) {
        std::printf("%d rows loaded, not %d\n", ListView_GetItemCount(list), kRows);
        return run;
    }

    DeleteFileW(listPath.c_str());
    DownloadListTarget target;
    target.window = window.GetHandle();
    target.list = list;
    target.caption = window.GetTitle();
    target.programFolder = folder;
    target.settingsDatPath = folder + L"\\settings.dat";
    bool saved = false;
    const double saveStart = Seconds();
    CWorkerThread saver = StartWorker(WorkerOptions{L"SaveListThread"}, [&] {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
        saved = SaveDownloadList(target, listPath, true);
    });
    saver.Wait(INFINITE);
    run.autoSave = Seconds() - saveStart;
    std::wstring written;
    ReadTextFile(listPath, written);
    run.same = saved && written == savedList;

    // The save at the close, on the window's thread, with the except list.
    DeleteFileW(listPath.c_str());
    const double closeSaveStart = Seconds();
    saved = SaveDownloadList(target, listPath, false);
    run.closeSave = Seconds() - closeSaveStart;
    ReadTextFile(listPath, written);
    run.same = run.same && saved && written == savedList;

    DeleteFileW(listPath.c_str());
    const double closeStart = Seconds();
    window.Destroy();
    run.close = Seconds() - closeStart;
    ReadTextFile(listPath, written);
    run.same = run.same && written == savedList;

    SetMainWindow(nullptr);
    DestroyWindow(main);
    return run;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

const char* Within(double value, double goal) {
    return value <= goal ? "within" : "NOT within";
}

} // namespace

int main() {
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&init);
    AppSettings& app = GetAppSettings();
    // The queue and the title fetches leave the rows alone.
    app.OfflineMode = true;

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"vela-list-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    app.programFolder = folder;
    app.settingsDatPath = folder + L"\\settings.dat";
    const std::wstring savedList = MakeSavedList();

    std::printf("a saved list of %d rows into the real download window; %d runs\n", kRows, kRuns);
    std::vector<double> loads, autoSaves, closeSaves, closes;
    bool same = true;
    for (int i = 0; i < kRuns; ++i) {
        const Run run = TimeRun(folder, savedList);
        if (run.load < 0 || run.autoSave < 0) {
            break;
        }
        std::printf("  run %d: load %.3f s, auto-save %.3f s, save at the close %.3f s (the whole close with the "
                    "settings %.3f s), files %s\n",
                    i + 1, run.load, run.autoSave, run.closeSave, run.close, run.same ? "the same" : "DIFFERENT");
        loads.push_back(run.load);
        autoSaves.push_back(run.autoSave);
        closeSaves.push_back(run.closeSave);
        closes.push_back(run.close);
        same = same && run.same;
    }
    for (const wchar_t* name : {L"DownList.dat", L"settings.dat", L"velaplayer.ini"}) {
        DeleteFileW((folder + L"\\" + name).c_str());
    }
    RemoveDirectoryW(folder.c_str());
    int result = 1;
    if (static_cast<int>(loads.size()) == kRuns) {
        const double load = Median(loads);
        const double autoSave = Median(autoSaves);
        const double closeSave = Median(closeSaves);
        std::printf("median load         %.3f s: %s (goal %.1f s or less)\n", load, Within(load, kLoadGoal), kLoadGoal);
        std::printf("median auto-save    %.3f s: %s (goal %.1f s or less)\n", autoSave, Within(autoSave, kSaveGoal),
                    kSaveGoal);
        std::printf("median close save   %.3f s: %s (goal %.1f s or less)\n", closeSave, Within(closeSave, kSaveGoal),
                    kSaveGoal);
        std::printf("median whole close  %.3f s (no goal: the settings, the list and the window)\n", Median(closes));
        std::printf("the files written are the file read: %s\n", same ? "yes" : "NO");
        result = same ? 0 : 1;
    } else {
        std::printf("failed\n");
    }
    testing_support::RunProgramEndSteps();
    CoUninitialize();
    return result;
}
