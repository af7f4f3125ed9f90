#pragma once
// The worker of one download row. The queue starts it with the list, the row it starts on and the
// index of the worker record it was given; from then on the record says where the row is (rows move
// and are removed while workers run), so a worker never keeps a row index of its own.
//
// The worker is paused and cancelled through its record's signals, never suspended: it looks at them
// between steps, in its progress callbacks and in its polls. While paused it waits; once cancelled (or
// its row removed) it unwinds by DownloadItemEnded, closing its files and handles on the way, and
// writes nothing more.
//
// Thread use: DownloadItemThread runs on its own worker thread, and so do the functions that say
// "worker". RunRecordRowStep may be called from any thread; its step runs on the list's thread.
// FailDownloadItem and GetItemLogDate run inside a row step (or on the list's thread).

#include "CWndDownload/DownloadSettings.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct DownloadItemStart {
    HWND list = nullptr;
    // The row the queue started the worker on. The record held it from before the start, and row
    // removals keep it up to date there; the worker reads its row from the record.
    int row = -1;
    // Index of the worker's record in the process-wide worker list.
    size_t recordIndex = 0;
};

// Thrown on a worker's thread once its record no longer works on a row (cancelled, its row removed,
// or the list gone). DownloadItemThread catches it and ends without touching the list again.
struct DownloadItemEnded {};

// Runs step(row) as one step of the list's thread with the record's current row. Nothing runs (false)
// when the record no longer works on a row of the list: it was abandoned (its row removed or
// cancelled), released, or the list is gone.
bool RunRecordRowStep(HWND list, size_t recordIndex, const std::function<void(int row)>& step);
// Worker: as RunRecordRowStep, and throws DownloadItemEnded when the step could not run.
void RunItemRowStep(HWND list, size_t recordIndex, const std::function<void(int row)>& step);

// Worker: waits while the record is paused; throws DownloadItemEnded once it is cancelled or no longer
// running.
void CheckDownloadItemSignals(size_t recordIndex);
// Worker: waits the time, looking at the signals every 100 ms (a pause stops the clock's end from
// mattering: the wait goes on until resumed).
void WaitForDownloadItem(size_t recordIndex, DWORD milliseconds);

// Inside a row step: the status the worker sets. While the record is paused the row keeps showing
// "一時停止中" and the status becomes the one the resume brings back.
void SetRecordRowStatus(HWND list, size_t recordIndex, int row, WORD status);
// Inside a row step: the row's status as the worker sees it (the paused-from status while paused).
WORD GetRecordRowStatus(HWND list, size_t recordIndex, int row);

// Worker: a copy of the download settings, made on the list's thread, where the settings sheet
// replaces them, so that a step never reads a string while it is being replaced.
DownloadSettings CopyDownloadSettings(HWND list);

// Tells the main window (the list's parent when there is none) that the list changed, so that the
// download window re-arms its list-save timer.
void NotifyDownloadListChanged(HWND list);
// Sends a message of the download block: through the main window, or to the list's parent (the
// download window) when there is none.
LRESULT SendDownloadBlockMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
// The download window: asked of the main window (37864), else the list's parent.
HWND GetDownloadWindowOf(HWND list);

// The worker's body: 1 when the row completed, 0 when it failed (or was cancelled).
unsigned DownloadItemThread(const DownloadItemStart& start);

// Worker: hands the finished file on (playlist, player) and gives the completion notices; true.
bool FinishDownloadItem(HWND list, size_t recordIndex);
// Worker, after the row has ended and its record was released: with "-afterexit" among the row's add
// options, logs "-afterexit ...", waits 3000 ms and posts WM_CLOSE to the main window.
void RunAfterExitOption(const std::vector<std::wstring>& addOptions);
// Inside a row step: the failure end of a row (status 3, or 4 when it was cancelled by a refused
// transfer), unticked.
bool FailDownloadItem(int row, HWND list);
// The past-log time of the row's log= option (seconds since 1970), 0 when it has none.
int64_t GetItemLogDate(HWND list, int row);
