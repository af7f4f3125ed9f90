#include "CWndDownload/DownloadItemWorker.h"

#include "CWndDownload/DownloadAdd.h"
#include "CWndDownload/DownloadCommands.h"
#include "CWndDownload/DownloadItemSteps.h"
#include "CWndDownload/DownloadListFile.h"
#include "CWndDownload/DownloadListRow.h"
#include "CWndDownload/DownloadPageScan.h"
#include "client/Account.h"
#include "client/FlvData.h"
#include "client/VideoUrls.h"
#include "client/WatchPage.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CWorkerThread.h"
#include "foundation/Exception.h"
#include "foundation/ListView.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/PrivateMessages.h"
#include "foundation/StringUtil.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <stdexcept>

namespace {

const DWORD kSignalPollMs = 100;
const DWORD kAfterExitDelayMs = 3000;
const wchar_t kAfterExitWord[] = L"-afterexit";

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

// The queue gives a record it takes again signals of its own.
void ReleaseRecord(size_t recordIndex) {
    CAutoLock guard = LockWorkerThreads();
    WorkerThreadRecord& record = GetWorkerThread(recordIndex);
    if (record.state == WorkerThreadRecord::kRunning) {
        record.rowIndex = -1;
        record.state = WorkerThreadRecord::kFree;
    }
}

std::shared_ptr<WorkerSignals> GetSignals(size_t recordIndex) {
    CAutoLock guard = LockWorkerThreads();
    return GetWorkerThread(recordIndex).signals;
}

bool IsRecordEnded(size_t recordIndex, const WorkerSignals& signals) {
    if (signals.cancelled) {
        return true;
    }
    CAutoLock guard = LockWorkerThreads();
    return GetWorkerThread(recordIndex).state != WorkerThreadRecord::kRunning;
}

bool IsRecordPaused(size_t recordIndex) {
    CAutoLock guard = LockWorkerThreads();
    const WorkerThreadRecord& record = GetWorkerThread(recordIndex);
    return record.state == WorkerThreadRecord::kRunning && record.signals->paused;
}

void LogLine(const std::wstring& line) {
    DebugLog() << line << EndLine;
}

// The steps of a row that names a video, in their order; false at the first that fails.
bool RunVideoSteps(HWND list, size_t recordIndex, WORD flags, const std::wstring& country) {
    std::wstring page;
    CheckDownloadItemSignals(recordIndex);
    if (!OpenItemUrl(list, recordIndex, page)) {
        return false;
    }
    CheckDownloadItemSignals(recordIndex);
    if (!CheckLoginInfo(list, recordIndex, page, false)) {
        return false;
    }
    CheckDownloadItemSignals(recordIndex);
    if (!UpdateItemTitle(list, recordIndex, page)) {
        return false;
    }
    if (IsMymemory(page)) {
        RunItemRowStep(list, recordIndex, [&](int row) { AddDownloadItemFlags(list, row, kDownloadKindMyMemory); });
    }

    CheckDownloadItemSignals(recordIndex);
    const std::wstring id = ReadItemRow(list, recordIndex).Text(kDownloadColumnId);
    // A lapsed login may wait here for the account: a pause holds that wait and a cancel ends it.
    const std::wstring flvData =
        GetFlvDataFromHtml(GetVideoIdFromUrl(id), GetDownloadWindowOf(list), country,
                           [recordIndex](DWORD milliseconds) { WaitForDownloadItem(recordIndex, milliseconds); });
    if (GetAppSettings().DebugMode) {
        LogLine(L"id : " + id);
        LogLine(L"flvdata : " + flvData);
    }
    // No API data (the fetch logged why) is no failure of its own: the comment and video steps fail
    // without it, while the information and the thumbnail come from the page.

    const DownloadSettings settings = CopyDownloadSettings(list);
    bool info = (flags & kDownloadKindInfo) != 0;
    if ((flags & kDownloadKindVideo) != 0 && !info && settings.VideoInfoSaveFilter &&
        settings.VideoInfoSaveFilterAlways && !GetOwnerNgList(flvData).empty()) {
        info = true;
        LogLine(L"フィルタが設定されているので動画情報を保存します : " + id);
    }
    CheckDownloadItemSignals(recordIndex);
    if (!SelectSaveFolder(list, recordIndex)) {
        return false;
    }

    // A finished step clears its kind at once, so that a failed row queued again repeats only the rest.
    const auto done = [&](WORD kind) {
        RunItemRowStep(list, recordIndex, [&](int row) { RemoveDownloadItemFlags(list, row, kind); });
    };
    if (info) {
        CheckDownloadItemSignals(recordIndex);
        if (!DownloadItemInfo(list, recordIndex, page, flvData, country)) {
            return false;
        }
        done(kDownloadKindInfo);
    }
    if ((flags & kDownloadKindComments) != 0) {
        CheckDownloadItemSignals(recordIndex);
        if (!DownloadItemComments(list, recordIndex, page, flvData, country)) {
            return false;
        }
        done(kDownloadKindComments);
    }
    if ((flags & kDownloadKindVideo) != 0) {
        CheckDownloadItemSignals(recordIndex);
        if (!DownloadItemVideo(list, recordIndex, page, flvData)) {
            return false;
        }
        done(kDownloadKindVideo);
        if (CopyDownloadSettings(list).DownBGMs) {
            SearchCmBgm(list, recordIndex, page, country);
        }
    }
    if ((flags & kDownloadKindThumbnail) != 0) {
        CheckDownloadItemSignals(recordIndex);
        if (!DownloadItemThumbnail(list, recordIndex, page, flvData)) {
            return false;
        }
        done(kDownloadKindThumbnail);
    }
    CheckDownloadItemSignals(recordIndex);
    return FinishDownloadItem(list, recordIndex);
}

bool RunItemSteps(HWND list, size_t recordIndex) {
    // The kinds are read once: a kind the window adds while the worker runs waits for the next run.
    const DownloadItemRow row = ReadItemRow(list, recordIndex);
    const WORD flags = GetItemFlagsOf(row.data);
    if (!IsVideoIdText(row.Text(kDownloadColumnId))) {
        CheckDownloadItemSignals(recordIndex);
        return ScanPageForVideoUrls(list, recordIndex);
    }
    return RunVideoSteps(list, recordIndex, flags, row.Option(L"country="));
}

// The row's end, its record released in the same step of the list's thread: a row removed by a
// completion must not leave the record pointing at the row that moves up into its place. False when
// the record had left its row (nothing was written).
bool EndItemRow(HWND list, size_t recordIndex, bool completed, std::vector<std::wstring>& addOptions) {
    const DownloadSettings settings = CopyDownloadSettings(list);
    return RunRecordRowStep(list, recordIndex, [&](int row) {
        addOptions = GetItemAddOptions(list, row);
        // A pause that came after the last look at the signals: the row's end shows what it ends from.
        const WORD status = GetRecordRowStatus(list, recordIndex, row);
        if (status != GetItemStatusOf(GetListItemParam(list, row))) {
            SetDownloadItemStatus(list, status, row);
        }
        if (!completed) {
            if (GetListItemText(list, row, kDownloadColumnTitle).empty()) {
                SetListItemText(DownloadTitlePlaceholder(), kDownloadColumnTitle, list, row);
            }
            FailDownloadItem(row, list);
            ReleaseRecord(recordIndex);
            return;
        }
        SetDownloadItemStatus(list, kDownloadStatusNone, row);
        SetDownloadRowTicked(list, row, false);
        SetDownloadItemStatus(list, kDownloadStatusDone, row);
        AddDownloadItemFlags(list, row, kDownloadKindCompleted);
        ReleaseRecord(recordIndex);
        const bool economy = (GetItemFlagsOf(GetListItemParam(list, row)) & kDownloadKindEconomy) != 0;
        if (settings.DeleteDownCompItem && !(settings.EconomyNotDelete && economy)) {
            if (settings.AddExcept) {
                // On the list's thread, where the adding gate reads the except list.
                GetDownloadExceptList().Append(GetListItemText(list, row, kDownloadColumnId) + L"\t# " +
                                               GetListItemText(list, row, kDownloadColumnTitle));
            }
            ShiftThreadSlotItems(row);
            ListView_DeleteItem(list, row);
        }
    });
}

} // namespace

bool RunRecordRowStep(HWND list, size_t recordIndex, const std::function<void(int row)>& step) {
    bool found = false;
    bool ran = false;
    RunDownloadRowStep(list, [&] {
        const int row = GetRecordRow(list, recordIndex);
        if (row >= 0) {
            found = true;
            step(row);
            ran = true;
        }
    });
    if (found && !ran) {
        // The step failed on the list's thread: the row is still the worker's and ends as failed.
        throw std::runtime_error("a step of the row failed");
    }
    return ran;
}

void RunItemRowStep(HWND list, size_t recordIndex, const std::function<void(int row)>& step) {
    if (!RunRecordRowStep(list, recordIndex, step)) {
        throw DownloadItemEnded();
    }
}

void CheckDownloadItemSignals(size_t recordIndex) {
    const std::shared_ptr<WorkerSignals> signals = GetSignals(recordIndex);
    while (!IsRecordEnded(recordIndex, *signals) && signals->paused) {
        Sleep(kSignalPollMs);
    }
    if (IsRecordEnded(recordIndex, *signals)) {
        throw DownloadItemEnded();
    }
}

void WaitForDownloadItem(size_t recordIndex, DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        CheckDownloadItemSignals(recordIndex);
        const ULONGLONG now = GetTickCount64();
        if (now >= end) {
            return;
        }
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(end - now, kSignalPollMs)));
    }
}

void SetRecordRowStatus(HWND list, size_t recordIndex, int row, WORD status) {
    if (IsRecordPaused(recordIndex) && GetItemStatusOf(GetListItemParam(list, row)) == kDownloadStatusPaused) {
        CAutoLock guard = LockWorkerThreads();
        GetWorkerThread(recordIndex).pausedFromStatus = status;
        return;
    }
    SetDownloadItemStatus(list, status, row);
}

WORD GetRecordRowStatus(HWND list, size_t recordIndex, int row) {
    const WORD status = GetItemStatusOf(GetListItemParam(list, row));
    if (status == kDownloadStatusPaused && IsRecordPaused(recordIndex)) {
        CAutoLock guard = LockWorkerThreads();
        return GetWorkerThread(recordIndex).pausedFromStatus;
    }
    return status;
}

DownloadSettings CopyDownloadSettings(HWND list) {
    DownloadSettings copy;
    if (!RunDownloadRowStep(list, [&] { copy = GetDownloadSettings(); })) {
        // No window to run on (it is gone, and with it the sheet that writes them).
        copy = GetDownloadSettings();
    }
    return copy;
}

void NotifyDownloadListChanged(HWND list) {
    SendDownloadBlockMessage(list, kMsgDownloadScheduleSave, 0, 0);
}

LRESULT SendDownloadBlockMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND main = GetMainWindow();
    return SendMessageW(main != nullptr ? main : GetParent(list), message, wParam, lParam);
}

HWND GetDownloadWindowOf(HWND list) {
    HWND main = GetMainWindow();
    HWND window = main != nullptr ? reinterpret_cast<HWND>(SendMessageW(main, kMsgDownloadHandle, 0, 0)) : nullptr;
    return window != nullptr ? window : GetParent(list);
}

namespace {

// The worker's steps and the row's end; true when the row ended and took the add options.
bool RunAndEndItem(HWND list, size_t recordIndex, bool& completed, std::vector<std::wstring>& addOptions) {
    try {
        completed = RunItemSteps(list, recordIndex);
    } catch (const DownloadItemEnded&) {
        // Cancelled or removed: its row is no longer the worker's, so nothing is written.
        return false;
    } catch (const utl::exception::CException& e) {
        LogLine(L"Error : DownloadItemThread : " + e.message);
    } catch (const std::exception& e) {
        LogLine(L"Error : DownloadItemThread : " + AnsiToWide(e.what()));
    }
    return EndItemRow(list, recordIndex, completed, addOptions);
}

} // namespace

unsigned DownloadItemThread(const DownloadItemStart& start) {
    HWND list = start.list;
    const size_t recordIndex = start.recordIndex;
    // The queue put the row into the record before the start (a row removed meanwhile has moved it
    // there already), so the worker does not write it again.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    bool completed = false;
    std::vector<std::wstring> addOptions;
    const bool ended = RunAndEndItem(list, recordIndex, completed, addOptions);
    if (!ended) {
        // A row that ended released the record in the same step (the queue may have taken it again
        // since); one that did not still holds it.
        ReleaseRecord(recordIndex);
    }
    // The record is free: the next row may start now.
    PostMessageW(GetParent(list), kMsgDownloadQueueStep, 0, 0);
    if (!ended) {
        return 0;
    }
    NotifyDownloadListChanged(list);
    RunAfterExitOption(addOptions);
    return completed ? 1 : 0;
}

bool FinishDownloadItem(HWND list, size_t recordIndex) {
    WORD flags = 0;
    std::wstring path;
    RunItemRowStep(list, recordIndex, [&](int row) {
        flags = GetItemFlagsOf(GetListItemParam(list, row));
        path = GetItemSavePath(list, row);
        RemoveDownloadItemFlags(list, row, flags & (kDownloadKindPlaylist | kDownloadKindPlay));
    });
    HWND main = GetMainWindow();
    // A row that saved nothing (its file paths empty) has nothing to hand on.
    if ((flags & kDownloadKindPlaylist) != 0 && !path.empty() && main != nullptr) {
        const LPARAM refuseDuplicate = (flags & kDownloadKindMyMemory) != 0 ? 0 : 1;
        SendMessageW(main, kMsgPlaylistAddFile, reinterpret_cast<WPARAM>(path.c_str()), refuseDuplicate);
    }
    if ((flags & kDownloadKindPlay) != 0 && !path.empty() && main != nullptr) {
        SendOptionToMainWindow(path);
    }
    const DownloadSettings settings = CopyDownloadSettings(list);
    if (settings.DownCompNotifyBeep) {
        MessageBeep(MB_ICONASTERISK);
    }
    if (settings.DownCompNotifyFlash && main != nullptr && GetForegroundWindow() != GetDownloadWindowOf(list)) {
        FLASHWINFO flash = {};
        flash.cbSize = sizeof(flash);
        flash.hwnd = main;
        flash.dwFlags = FLASHW_ALL;
        flash.uCount = 3;
        FlashWindowEx(&flash);
    }
    return true;
}

void RunAfterExitOption(const std::vector<std::wstring>& addOptions) {
    if (!ContainsString(addOptions, kAfterExitWord)) {
        return;
    }
    LogLine(L"-afterexit ...");
    Sleep(kAfterExitDelayMs);
    HWND main = GetMainWindow();
    if (main != nullptr) {
        PostMessageW(main, WM_CLOSE, 0, 0);
    }
}

bool FailDownloadItem(int row, HWND list) {
    const bool cancelled = GetItemStatusOf(GetListItemParam(list, row)) == kDownloadStatusCancelled;
    SetDownloadItemStatus(list, kDownloadStatusNone, row);
    SetDownloadRowTicked(list, row, false);
    SetDownloadItemStatus(list, cancelled ? kDownloadStatusCancelled : kDownloadStatusError, row);
    return true;
}

int64_t GetItemLogDate(HWND list, int row) {
    const std::wstring text = GetItemOption(list, row, L"log=");
    return text.empty() ? 0 : ParseLogDate(text);
}
