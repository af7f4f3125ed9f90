#include "CWndDownload/DownloadPageScan.h"

#include "CWndDownload/DownloadItemSteps.h"
#include "CWndDownload/DownloadItemWorker.h"
#include "CWndDownload/DownloadListRow.h"
#include "client/HttpAccess.h"
#include "client/ListPages.h"
#include "client/ServiceUrls.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/ListView.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/PrivateMessages.h"
#include "foundation/Regex.h"
#include "foundation/StringUtil.h"

#include <commctrl.h>

namespace {

// What the scan takes from the page row, read in one step.
struct PageRow {
    std::wstring url;
    std::wstring folder;
    WORD kinds = 0;
};

// The download window, reached through the main window as every worker reaches it; without a main
// window (a test) the list's parent answers the same messages.
HWND GetAddTarget(HWND list) {
    HWND main = GetMainWindow();
    return main != nullptr ? main : GetParent(list);
}

// Through the record, so that a paused row keeps showing its pause.
void SetRecordStatus(HWND list, size_t recordIndex, WORD status) {
    RunRecordRowStep(list, recordIndex, [&](int row) { SetRecordRowStatus(list, recordIndex, row, status); });
}

// Adds the rows one step each, so that the window answers the user between two adds, and stops as
// soon as the record has left its row (the page row was cancelled or removed meanwhile).
bool AddVideoRows(HWND list, size_t recordIndex, const PageRow& page, const std::vector<std::wstring>& urls) {
    const LPARAM flags = MakeItemData(kDownloadStatusWaiting, page.kinds);
    const bool cleared = RunRecordRowStep(list, recordIndex, [&](int) {
        LVITEMW item = {};
        item.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    });
    if (!cleared) {
        return false;
    }
    const HWND target = GetAddTarget(list);
    for (const std::wstring& url : urls) {
        CheckDownloadItemSignals(recordIndex);
        std::vector<std::wstring> texts{url, page.folder};
        if (!RunRecordRowStep(list, recordIndex, [&](int) {
                SendMessageW(target, kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&texts), flags);
            })) {
            return false;
        }
    }
    return RunRecordRowStep(list, recordIndex, [&](int) {
        const int count = ListView_GetItemCount(list);
        if (count > 0) {
            SendMessageW(list, LVM_ENSUREVISIBLE, count - 1, TRUE);
        }
    });
}

} // namespace

std::vector<std::wstring> ExtractPageVideoUrls(const std::wstring& page, const std::wstring& country) {
    const std::wstring videoId = L"(?:" + GetAppSettings().MovieIdInitialRegex + L")[0-9]+";
    std::vector<std::wstring> links;
    RegexGrep(0, page, L"watch/((" + videoId + L")|([0-9]{2,}))", links);
    const std::wstring base = GetServiceBaseUrl(country);
    for (std::wstring& link : links) {
        link = base + link;
    }
    RemoveDuplicateStrings(links);
    return links;
}

std::vector<std::wstring> GetListVideoUrls(const std::wstring& listText, const std::wstring& page,
                                           const std::wstring& country) {
    std::vector<std::wstring> ids;
    GetVideoIdFromJson(ids, listText);
    if (ids.empty()) {
        GetVideoIdFromJson(ids, page);
    }
    const std::wstring watch = GetWatchUrl(country);
    for (std::wstring& id : ids) {
        id = watch + id;
    }
    RemoveDuplicateStrings(ids);
    return ids;
}

bool ScanPageForVideoUrls(HWND list, size_t recordIndex) {
    PageRow page;
    if (!RunRecordRowStep(list, recordIndex, [&](int row) {
            page.url = GetListItemText(list, row, kDownloadColumnId);
            page.folder = GetListItemText(list, row, kDownloadColumnSaveFolder);
            page.kinds = GetItemFlagsOf(GetListItemParam(list, row));
            SetRecordRowStatus(list, recordIndex, row, kDownloadStatusOpening);
        })) {
        return false;
    }

    CheckDownloadItemSignals(recordIndex);
    std::wstring text;
    if (!GetURLPageData(text, page.url, INTERNET_FLAG_RELOAD)) {
        DebugLog() << L"指定されたURLからのデータ取得に失敗しました : " << page.url << EndLine;
        return false;
    }
    if (MakeSiteUrlRegex(page.url) && !CheckLoginInfo(list, recordIndex, text, true)) {
        DebugLog() << L"URLのデータが取得可能状態になりませんでした : " << page.url << EndLine;
        return false;
    }
    CheckDownloadItemSignals(recordIndex);

    const std::wstring country = GetAppSettings().Country;
    std::vector<std::wstring> urls;
    const bool ownList = MakeMylistUrlRegex(page.url);
    if (ownList || MakeMylistRegex(page.url)) {
        DebugLog() << L"マイリストからデータを取得します" << EndLine;
        // A list that cannot be fetched leaves its text empty: the page's own list is the fallback.
        std::wstring listText;
        if (ownList) {
            GetDeflistPage(listText);
        } else {
            GetMylistPage(page.url, listText);
        }
        urls = GetListVideoUrls(listText, text, country);
    } else {
        SetRecordStatus(list, recordIndex, kDownloadStatusExtracting);
        urls = ExtractPageVideoUrls(text, country);
    }

    if (urls.empty()) {
        DebugLog() << L"指定されたページ内に動画URLが見つかりませんでした" << EndLine;
        return false;
    }
    CheckDownloadItemSignals(recordIndex);
    DebugLog() << L"指定されたページ内に" << urls.size() << L"個の動画URLが見つかりました" << EndLine;
    return AddVideoRows(list, recordIndex, page, urls);
}
