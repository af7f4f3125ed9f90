#pragma once
// The worker of one download row. The queue starts it with the list, the row it starts on and the
// index of the worker record it was given; from then on the record says where the row is (rows move
// and are removed while workers run), so a worker never keeps a row index of its own.
//
// Thread use: DownloadItemThread runs on its own worker thread. RunRecordRowStep may be called from
// any thread; its step runs on the list's thread.

#include <windows.h>

#include <cstddef>
#include <functional>

struct DownloadItemStart {
    HWND list = nullptr;
    // The row the queue started the worker on.
    int row = -1;
    // Index of the worker's record in the process-wide worker list.
    size_t recordIndex = 0;
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
