#include "CWndDownload/DownloadItemWorker.h"

#include "CWndDownload/DownloadListRow.h"
#include "foundation/CWorkerThread.h"
#include "foundation/ListView.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/PrivateMessages.h"

#include <commctrl.h>

namespace {

// The record's row while it works on one, else -1. The row index changes only on the list's thread
// (row removals and moves) and by the worker's own first write, so the value read here holds for the
// rest of the caller's step on that thread.
int GetRecordRow(HWND list, size_t recordIndex) {
    CAutoLock guard = LockWorkerThreads();
    const WorkerThreadRecord& record = GetWorkerThread(recordIndex);
    if (record.state != WorkerThreadRecord::kRunning || record.rowIndex < 0 ||
        record.rowIndex >= ListView_GetItemCount(list)) {
        return -1;
    }
    return record.rowIndex;
}

void ReleaseRecord(size_t recordIndex) {
    CAutoLock guard = LockWorkerThreads();
    WorkerThreadRecord& record = GetWorkerThread(recordIndex);
    if (record.state == WorkerThreadRecord::kRunning) {
        record.rowIndex = -1;
        record.state = WorkerThreadRecord::kFree;
    }
}

} // namespace

bool RunRecordRowStep(HWND list, size_t recordIndex, const std::function<void(int row)>& step) {
    bool ran = false;
    RunDownloadRowStep(list, [&] {
        const int row = GetRecordRow(list, recordIndex);
        if (row >= 0) {
            step(row);
            ran = true;
        }
    });
    return ran;
}

void NotifyDownloadListChanged(HWND list) {
    HWND main = GetMainWindow();
    SendMessageW(main != nullptr ? main : GetParent(list), kMsgDownloadScheduleSave, 0, 0);
}

unsigned DownloadItemThread(const DownloadItemStart& start) {
    // The item's steps are not built yet: the row fails at once, unticked, so that the queue does
    // not take it again until the user ticks it.
    RunRecordRowStep(start.list, start.recordIndex, [&](int row) {
        if (GetListItemText(start.list, row, kDownloadColumnTitle).empty()) {
            SetListItemText(DownloadTitlePlaceholder(), kDownloadColumnTitle, start.list, row);
        }
        SetDownloadItemStatus(start.list, kDownloadStatusNone, row);
        SetDownloadRowTicked(start.list, row, false);
        SetDownloadItemStatus(start.list, kDownloadStatusError, row);
    });
    ReleaseRecord(start.recordIndex);
    NotifyDownloadListChanged(start.list);
    return 0;
}
