#pragma once
// The worker of one download row. The queue starts it with the list, the row it starts on and the
// index of the worker record it was given; from then on the record says where the row is (rows move
// and are removed while workers run), so a worker never keeps a row index of its own.
//
// Thread use: DownloadItemThread runs on its own worker thread. RunRecordRowStep may be called from
// any thread; its step runs on the list's thread.

#include "foundation/CWorkerThread.h"

#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>

struct DownloadItemStart {
    HWND list = nullptr;
    // The row the queue started the worker on. The record held it from before the start, and row
    // removals keep it up to date there; the worker reads its row from the record.
    int row = -1;
    // Index of the worker's record in the process-wide worker list.
    size_t recordIndex = 0;
    // The record's signals as they were when the worker started (a record taken again later gets new
    // ones, which are not this worker's).
    std::shared_ptr<WorkerSignals> signals;
};

// Runs step(row) as one step of the list's thread with the record's current row. Nothing runs (false)
// when the record no longer works on a row of the list: it was abandoned (its row removed or
// cancelled), released, or the list is gone.
bool RunRecordRowStep(HWND list, size_t recordIndex, const std::function<void(int row)>& step);

// Tells the main window (the list's parent when there is none) that the list changed, so that the
// download window re-arms its list-save timer.
void NotifyDownloadListChanged(HWND list);

// The worker's body: 1 when the row completed, 0 when it failed.
unsigned DownloadItemThread(const DownloadItemStart& start);
