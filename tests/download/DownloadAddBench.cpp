// Prints the cost of adding 2,000 rows to a download list of 2,000 rows while the except list holds
// 5,000 lines, on a real (hidden) list view: through the gate, which keeps the except keys in a set
// and the rows' keys beside the list, and, in the same run, the straightforward way, which for each
// add reads every row's key and matches every except line's pattern.

#include "CWndDownload/DownloadAdd.h"
#include "CWndDownload/DownloadListFile.h"
#include "foundation/CBaseDebug.h"
#include "foundation/ListView.h"
#include "foundation/Regex.h"
#include "tests/download/DownloadStandIn.h"
#include "tests/support/BenchClock.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

CBaseDebug& DebugLog() {
    static CBaseDebug log;
    return log;
}

namespace {

constexpr int kRows = 2000;
constexpr int kAdds = 2000;
constexpr int kExceptLines = 5000;
constexpr DWORD kVideoWaiting = 0x10003;

using testing_support::Seconds;

// Video IDs have two digits at least.
std::wstring IdOf(int number) {
    return L"sm" + std::to_wstring(10000 + number);
}

// The straightforward tests: every row's key, then every except line's first word by its pattern.
bool IsRefusedStraightforwardly(HWND list, const std::vector<std::wstring>& exceptLines, const std::wstring& key) {
    if (FindListItemByPath(list, key) >= 0) {
        return true;
    }
    for (const std::wstring& line : exceptLines) {
        if (GetRegexGroup(L"^([^ #\r\n\t]+)", line, 1) == key) {
            return true;
        }
    }
    return false;
}

struct Timing {
    double seconds = 0;
    int rows = 0;
};

// Fills a fresh list with kRows rows (not timed), then times kAdds adds of new keys.
Timing TimeAdds(HWND window, HWND list, bool straightforward) {
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    DownloadSettings settings;
    settings.SavePath = L"C:\\dl";
    std::vector<std::wstring> exceptLines;
    for (int i = 0; i < kExceptLines; ++i) {
        exceptLines.push_back(IdOf(1000000 + i) + L"\t# title " + std::to_wstring(i));
    }
    CDownloadExceptList except;
    except.Replace(exceptLines);
    CDownloadRowKeys keys;

    DownloadAddContext context;
    context.window = window;
    context.list = list;
    context.kindFlags = kVideoWaiting;
    context.settings = &settings;
    context.rowKeys = &keys;
    // The straightforward way makes its except test itself.
    context.exceptList = straightforward ? nullptr : &except;
    for (int i = 0; i < kRows; ++i) {
        AddItemFromArgs(context, {IdOf(i + 1), L""}, kVideoWaiting);
    }

    const double start = Seconds();
    for (int i = 0; i < kAdds; ++i) {
        const std::wstring key = IdOf(kRows + i + 1);
        if (straightforward && IsRefusedStraightforwardly(list, exceptLines, key)) {
            continue;
        }
        AddItemFromArgs(context, {key, L""}, kVideoWaiting);
    }
    Timing timing;
    timing.seconds = Seconds() - start;
    timing.rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    return timing;
}

// The floor: the same row writes as the gate's, without any test.
Timing TimeBareWrites(HWND list) {
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    const auto write = [list](int number) {
        const int row = InsertListItem(-1, L"", list);
        SetListItemParam(list, row, static_cast<LPARAM>(kVideoWaiting));
        SetListItemText(IdOf(number), kDownloadColumnId, list, row);
        SetListItemText(L"C:\\dl", kDownloadColumnSaveFolder, list, row);
        SetListItemText(L"", kDownloadColumnAddData, list, row);
        SetDownloadItemStatus(list, kDownloadStatusWaiting, row);
        MakeItemStateText(kDownloadKindBase | kDownloadKindVideo, list, row);
        LVITEMW item = {};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(2);
        SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    };
    for (int i = 0; i < kRows; ++i) {
        write(i + 1);
    }
    const double start = Seconds();
    for (int i = 0; i < kAdds; ++i) {
        write(kRows + i + 1);
    }
    Timing timing;
    timing.seconds = Seconds() - start;
    timing.rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    return timing;
}

} // namespace

int main() {
    const testing_support::StandInDownloadWindow standIn = testing_support::CreateStandInDownloadWindow(
        L"DownloadAddBenchWindow", testing_support::StandInDownloadProc, L"bench");
    const HWND window = standIn.window;
    const HWND list = standIn.list;
    if (list == nullptr) {
        std::printf("could not create the list view\n");
        return 1;
    }

    std::printf("%d adds to a list of %d rows, %d except lines\n", kAdds, kRows, kExceptLines);
    const Timing gate = TimeAdds(window, list, false);
    std::printf("  keys in a set, rows' keys kept:  %8.3f s  (%.3f ms per add, %d rows)\n", gate.seconds,
                gate.seconds * 1000.0 / kAdds, gate.rows);
    const Timing baseline = TimeAdds(window, list, true);
    std::printf("  every row and except line:       %8.3f s  (%.3f ms per add, %d rows)\n", baseline.seconds,
                baseline.seconds * 1000.0 / kAdds, baseline.rows);
    std::printf("  ratio: %.1f\n", gate.seconds > 0 ? baseline.seconds / gate.seconds : 0.0);
    const Timing bare = TimeBareWrites(list);
    std::printf("  the row writes alone, no test:   %8.3f s  (%.3f ms per add, %d rows)\n", bare.seconds,
                bare.seconds * 1000.0 / kAdds, bare.rows);
    DestroyWindow(window);
    return gate.rows == kRows + kAdds && baseline.rows == kRows + kAdds ? 0 : 1;
}
