#include "CWndDownload/DownloadCallbacks.h"

#include "CWndDownload/DownloadCommands.h"
#include "CWndDownload/DownloadItemWorker.h"
#include "CWndDownload/DownloadListRow.h"
#include "foundation/CBaseDebug.h"
#include "foundation/ListView.h"

#include <string>

namespace {

const ULONGLONG kProgressIntervalMs = 200;

std::wstring PercentText(int code) {
    return std::to_wstring(code) + L"%";
}

} // namespace

void CGetVelaXmlCB::OnEvent(int code, const wchar_t* text) {
    CheckDownloadItemSignals(m_recordIndex);
    const std::wstring value = text != nullptr ? text : L"";
    HWND list = m_list;
    if (code >= 0) {
        RunItemRowStep(list, m_recordIndex,
                       [&](int row) { SetListItemText(PercentText(code), kDownloadColumnPercent, list, row); });
    } else if (code == kFailed || code == kSkipped) {
        RunItemRowStep(list, m_recordIndex, [&](int row) { SetListItemText(L"", kDownloadColumnPercent, list, row); });
    } else if (code == kLogLine) {
        DebugLog() << value << EndLine;
    } else if (code == kFileWritten) {
        RunItemRowStep(list, m_recordIndex,
                       [&](int row) { SetListItemText(value, kDownloadColumnCommentPath, list, row); });
    }
}

void CGetVelaFlvCB::OnEvent(int code, const wchar_t* text) {
    CheckDownloadItemSignals(m_recordIndex);
    if (code >= 0 && code < 100) {
        const ULONGLONG now = GetTickCount64();
        if (m_progressShown && now - m_progressShownAt < kProgressIntervalMs) {
            return;
        }
        m_progressShown = true;
        m_progressShownAt = now;
    }
    const std::wstring value = text != nullptr ? text : L"";
    HWND list = m_list;
    const size_t recordIndex = m_recordIndex;
    bool logLine = false;
    RunItemRowStep(list, recordIndex, [&](int row) {
        if (code >= 0) {
            SetListItemText(PercentText(code), kDownloadColumnPercent, list, row);
        } else if (code == kFailed) {
            SetListItemText(L"", kDownloadColumnPercent, list, row);
        } else if (code == kSkipped) {
            SetListItemText(L"", kDownloadColumnPercent, list, row);
            // The write's notices reach the window while it runs (this is the list's thread), so the
            // flag covers only them: left set after a write that sent none (a paused row only records
            // the status), it would swallow the user's next click on a check box.
            DownloadSkipNextCheckChange() = true;
            SetRecordRowStatus(list, recordIndex, row, kDownloadStatusCancelled);
            DownloadSkipNextCheckChange() = false;
        } else if (code == kEconomyVideo) {
            AddDownloadItemFlags(list, row, kDownloadKindEconomy);
        } else if (code == kNormalVideo) {
            RemoveDownloadItemFlags(list, row, kDownloadKindEconomy);
        } else if (code == kDeleted) {
            MarkDownloadItemDeleted(list, row);
        }
        if (value.empty()) {
            return;
        }
        if (code == kFileWritten) {
            SetListItemText(value, kDownloadColumnVideoPath, list, row);
        } else if (code == kLogLine) {
            logLine = true;
        } else {
            SetListItemText(value, kDownloadColumnSize, list, row);
            if (GetRecordRowStatus(list, recordIndex, row) == kDownloadStatusConnecting) {
                SetRecordRowStatus(list, recordIndex, row, kDownloadStatusVideo);
            }
        }
    });
    // Logged here, not inside the row step: the log's line output sends to the log window.
    if (logLine) {
        DebugLog() << value << EndLine;
    }
}
