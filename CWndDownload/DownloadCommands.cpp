#include "CWndDownload/DownloadCommands.h"

#include "CWndDownload/DownloadAdd.h"
#include "CWndDownload/DownloadListRow.h"
#include "CWndDownload/DownloadResource.h"
#include "client/ServiceUrls.h"
#include "client/VideoUrls.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CWorkerThread.h"
#include "foundation/PathUtil.h"
#include "foundation/Regex.h"
#include "foundation/Shell.h"
#include "foundation/StringUtil.h"

namespace {

std::wstring TwoDigits(int value) {
    wchar_t text[8] = {};
    swprintf(text, 8, L"%02d", value);
    return text;
}

} // namespace

DownloadRowMove PlanDownloadRowMove(const std::vector<bool>& selected, int target) {
    DownloadRowMove move;
    const int count = static_cast<int>(selected.size());
    std::vector<int> taken;
    std::vector<int> remaining;
    for (int i = 0; i < count; ++i) {
        (selected[i] ? taken : remaining).push_back(i);
    }
    move.order = remaining;
    move.movedCount = static_cast<int>(taken.size());
    if (taken.empty()) {
        return move;
    }
    int at;
    if (target + 1 == count) {
        at = static_cast<int>(remaining.size());
    } else {
        const int lastRemaining = static_cast<int>(remaining.size()) - 1;
        at = target > lastRemaining ? lastRemaining : target;
        if (at < 0) {
            at = 0;
        }
    }
    move.order.insert(move.order.begin() + at, taken.begin(), taken.end());
    move.firstPlaced = at;
    return move;
}

bool IsPastLogOptionValid(const std::wstring& options, bool quiet) {
    const std::wstring value = GetArgValue(SplitCommandLine(L"AddData: " + options), L"log=", L"");
    if (value.empty() || ParseLogDate(value) > 0) {
        return true;
    }
    if (!quiet) {
        DebugLog() << L"log=の値が正しくありません" << EndLine;
    }
    return false;
}

UrlBoxCheck CheckUrlBoxText(const std::wstring& text) {
    UrlBoxCheck check;
    const size_t blank = text.find(L' ');
    std::wstring url = text.substr(0, blank);
    const std::wstring options = blank == std::wstring::npos ? std::wstring() : text.substr(blank + 1);
    if (url.find_first_of(L"\r\n") != std::wstring::npos) {
        ReplaceAll(url, L"\r", L"");
        ReplaceAll(url, L"\n", L"");
        check.replaceText = true;
        check.replacement = url;
    }
    const bool urlUsable = IsVideoIdText(url) || RegexMatch(url, L"http://.+");
    check.addEnabled = urlUsable && IsPastLogOptionValid(options, true);
    return check;
}

std::wstring MakePastLogOption(const SYSTEMTIME& t) {
    wchar_t year[8] = {};
    swprintf(year, 8, L"%04d", t.wYear);
    return std::wstring(L"log=\"") + year + L"/" + TwoDigits(t.wMonth) + L"/" + TwoDigits(t.wDay) + L" " +
           TwoDigits(t.wHour) + L":" + TwoDigits(t.wMinute) + L":" + TwoDigits(t.wSecond) + L"\"";
}

PastLogEdit ApplyPastLogOption(const std::wstring& text, const std::wstring& option) {
    PastLogEdit edit;
    const wchar_t kQuotedLog[] = L"log=\"[^\"]+\"";
    edit.text = text;
    size_t at;
    std::vector<std::wstring> found;
    if (RegexSearch(text, kQuotedLog, found)) {
        // The option holds no "$" or "\", so it is its own replacement format.
        RegexReplace(edit.text, kQuotedLog, option);
        at = edit.text.find(option);
    } else {
        if (!edit.text.empty() && edit.text.back() != L' ') {
            edit.text += L' ';
        }
        at = edit.text.size();
        edit.text += option;
    }
    const size_t start = at + 5; // after log="
    const size_t end = edit.text.find(L'"', start);
    edit.selectionStart = static_cast<int>(start);
    edit.selectionEnd = static_cast<int>(end == std::wstring::npos ? edit.text.size() : end);
    return edit;
}

std::wstring MakeDownloadCopyLine(UINT command, const DownloadCopyRow& row) {
    const bool bareId =
        RegexMatch(row.key, GetAppSettings().MovieIdInitialRegex + L"[0-9]+") || RegexMatch(row.key, L"[0-9]+");
    switch (command) {
    case IDM_DL_COPY_ID:
        return bareId ? row.key : std::wstring();
    case IDM_DL_COPY_URL:
    case IDM_DL_COPY_URL_KEY:
        return bareId ? GetWatchUrl(row.country) + row.key : row.key;
    case IDM_DL_COPY_TITLE:
        return row.title == DownloadTitlePlaceholder() ? std::wstring() : row.title;
    case IDM_DL_COPY_FILE_NAME:
        return GetFileName(row.savePath);
    case IDM_DL_COPY_FILE_PATH:
        return row.savePath;
    default:
        return std::wstring();
    }
}

bool& DownloadOwnClipboardWrite() {
    static bool flag = false;
    return flag;
}

DownloadRowColour GetDownloadRowColour(WORD status, WORD flags, bool deleted) {
    if ((flags & kDownloadKindEconomy) != 0) {
        return {true, 0xB4FFB4, 0x509B50};
    }
    if (status == kDownloadStatusDone) {
        return {true, 0xEBD9D2, 0x87756E};
    }
    if (status == kDownloadStatusError) {
        return deleted ? DownloadRowColour{true, 0xAAAAFF, 0x46469B} : DownloadRowColour{true, 0xDCDCFF, 0x78789B};
    }
    return {};
}

bool IsTitleUsableInFileName(const std::wstring& title) {
    return !title.empty() && title.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos &&
           title.find_first_of(std::wstring(L"\r\n\t")) == std::wstring::npos;
}

DownloadShellDoor& GetDownloadShellDoor() {
    static DownloadShellDoor door = {
        [](const std::wstring& commandLine) { return ExecuteCommandLine(commandLine); },
        [](const std::wstring& url) { return RunUserCommand(url); },
    };
    return door;
}

int FindRunningThreadSlot(int row) {
    CAutoLock guard = LockWorkerThreads();
    for (size_t i = 0; i < GetWorkerThreadCount(); ++i) {
        const WorkerThreadRecord& record = GetWorkerThread(i);
        if (record.state == WorkerThreadRecord::kRunning && record.rowIndex == row) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void ShiftThreadSlotItems(int row) {
    CAutoLock guard = LockWorkerThreads();
    for (size_t i = 0; i < GetWorkerThreadCount(); ++i) {
        WorkerThreadRecord& record = GetWorkerThread(i);
        if (record.state == WorkerThreadRecord::kRunning && record.rowIndex != -1 && record.rowIndex > row) {
            --record.rowIndex;
        }
    }
}

bool& DownloadSkipNextCheckChange() {
    static bool flag = false;
    return flag;
}

bool& DownloadRowsRewriting() {
    static bool flag = false;
    return flag;
}
