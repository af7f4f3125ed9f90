#include "CWndDownload/DownloadItemSteps.h"

#include "CWndDownload/DownloadSettingsSheet.h"
#include "CWndDownload/DownloadCallbacks.h"
#include "CWndDownload/DownloadItemWorker.h"
#include "CWndDownload/DownloadListRow.h"
#include "CWndDownload/DownloadResource.h"
#include "CWndDownload/DownloadSettings.h"
#include "client/Account.h"
#include "client/CommentDownload.h"
#include "client/HttpAccess.h"
#include "client/ServiceUrls.h"
#include "client/Thumbnail.h"
#include "client/VideoDownload.h"
#include "client/VideoInfoFile.h"
#include "client/VideoUrls.h"
#include "client/WatchPage.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CCritSec.h"
#include "foundation/Dialogs.h"
#include "foundation/ListView.h"
#include "foundation/PathUtil.h"
#include "foundation/PrivateMessages.h"
#include "foundation/VideoId.h"

#include <shlobj.h>

namespace {

const DWORD kSheetPollMs = 500;
const DWORD kBoxFlags = MB_SETFOREGROUND | MB_TOPMOST;
const wchar_t kThrottledText[] = L"アクセス制限を確認しました。\n\n全ての待機項目のチェックを外します。\n"
                                 L"時間を置いてから再度ダウンロードして下さい。";
const wchar_t kEnterAccountText[] = L"ログイン情報を入力して下さい。";
const wchar_t kFolderDialogText[] =
    L"保存フォルダを選択して下さい。\nキャンセルした場合は設定した保存先フォルダに保存します。";
const wchar_t kEconomyQuestion[] = L"エコノミーモードの動画です。\nダウンロードを続行しますか？\n\n"
                                   L"※エコノミーモード時の通知ダイアログ表示設定は、[設定]メニューから行えます。";
const wchar_t kOwnerThreadAttribute[] = L"fork=\"1\" ";
// The item flags of an accompanying video's row: waiting, with the base and video kinds.
const DWORD kCmBgmItemFlags = 0x10003;

void LogLine(const std::wstring& line) {
    DebugLog() << line << EndLine;
}

const std::wstring& BoxCaption() {
    return GetAppSettings().appName;
}

// The folder chosen last in the save-folder dialog, shared by the workers.
struct RememberedFolder {
    CCritSec lock;
    std::wstring path;
};
RememberedFolder& GetRememberedFolder() {
    static RememberedFolder* folder = new RememberedFolder;
    return *folder;
}

bool HasAccount(const DownloadSettings& settings) {
    return !settings.Mail.empty() && !settings.Pass.empty();
}

// Waits while the settings sheet is open and the account is not complete; the account as it is then.
DownloadSettings WaitForAccount(HWND list, size_t recordIndex) {
    DownloadSettings settings = CopyDownloadSettings(list);
    while (IsDownloadSettingsSheetOpen() && !HasAccount(settings)) {
        WaitForDownloadItem(recordIndex, kSheetPollMs);
        settings = CopyDownloadSettings(list);
    }
    return settings;
}

} // namespace

std::wstring DownloadItemRow::Option(const std::wstring& prefix) const {
    std::wstring value;
    for (const std::wstring& option : addOptions) {
        if (option.compare(0, prefix.size(), prefix) == 0) {
            value = option.substr(prefix.size());
        }
    }
    return value;
}

DownloadItemRow ReadItemRow(HWND list, size_t recordIndex) {
    DownloadItemRow item;
    RunItemRowStep(list, recordIndex, [&](int row) {
        for (int column = 0; column < kDownloadColumnCount; ++column) {
            item.texts.push_back(GetListItemText(list, row, column));
        }
        item.data = GetListItemParam(list, row);
        item.addOptions = GetItemAddOptions(list, row);
    });
    return item;
}

bool OpenItemUrl(HWND list, size_t recordIndex, std::wstring& page) {
    DownloadItemRow item;
    RunItemRowStep(list, recordIndex, [&](int row) {
        SetRecordRowStatus(list, recordIndex, row, kDownloadStatusOpening);
        item.texts = {GetListItemText(list, row, kDownloadColumnId)};
        item.addOptions = GetItemAddOptions(list, row);
    });
    return OpenUrlChecked(page, MakeAbsoluteUrl(item.Text(0), item.Option(L"country=")));
}

bool CheckLoginInfo(HWND list, size_t recordIndex, std::wstring& page, bool quiet) {
    HWND owner = GetParent(list);
    // One login per check: a page that still asks for it after one is not going to change.
    bool loggedIn = false;
    // The user is asked for the account once per check.
    bool asked = false;
    for (;;) {
        CheckDownloadItemSignals(recordIndex);
        if (!quiet && HasPlayerSwf(page)) {
            return true;
        }
        if (CheckLoginPage(page)) {
            if (quiet) {
                return true;
            }
            GetServiceMessage(page);
            if (IsAccessThrottled(page)) {
                UncheckWaitingItems(list);
                MessageBoxW(owner, kThrottledText, BoxCaption().c_str(), kBoxFlags);
            }
            return false;
        }
        if (loggedIn) {
            return false;
        }
        DownloadSettings settings = CopyDownloadSettings(list);
        if (!HasAccount(settings)) {
            if (IsDownloadSettingsSheetOpen()) {
                // Another row asked for the account: its sheet is waited for, then the page read again.
                WaitForAccount(list, recordIndex);
                WaitForDownloadItem(recordIndex, static_cast<DWORD>(std::max(0, settings.AccessWaitSec)) * 1000);
                if (!OpenItemUrl(list, recordIndex, page)) {
                    return false;
                }
                continue;
            }
            if (!asked) {
                asked = true;
                MessageBoxW(owner, kEnterAccountText, BoxCaption().c_str(), kBoxFlags);
                SendMessageW(owner, WM_COMMAND, IDM_DL_SETTINGS, 0);
                settings = WaitForAccount(list, recordIndex);
            }
            // The sheet was closed without it: an empty account is not sent to the service.
            if (!HasAccount(settings)) {
                LogLine(kEnterAccountText);
                return false;
            }
        }
        loggedIn = true;
        if (!Login(settings.Mail, settings.Pass)) {
            return false;
        }
        if (!OpenItemUrl(list, recordIndex, page)) {
            return false;
        }
    }
}

bool UpdateItemTitle(HWND list, size_t recordIndex, std::wstring& page) {
    DownloadItemRow item;
    RunItemRowStep(list, recordIndex, [&](int row) {
        SetRecordRowStatus(list, recordIndex, row, kDownloadStatusTitle);
        item.texts = {GetListItemText(list, row, kDownloadColumnTitle), GetListItemText(list, row, kDownloadColumnId),
                      GetListItemText(list, row, kDownloadColumnSaveFolder)};
    });
    const std::wstring& title = item.Text(0);
    const std::wstring id = GetVideoIdFromUrl(item.Text(1));
    const std::wstring& folder = item.Text(2);
    const DownloadSettings settings = CopyDownloadSettings(list);

    // Without a save folder yet there is nothing to look in (an empty folder would list the current one).
    if (settings.TitleFixEnable && !folder.empty()) {
        std::vector<std::wstring> files;
        EnumerateFiles(folder, L"*" + id + L"*", files, true, false, settings.TitleFixSearchIncludeSubDir);
        for (const std::wstring& file : files) {
            const std::wstring name = GetFileName(file);
            if (GetVideoIdFromFileName(name) != id) {
                continue;
            }
            const std::wstring fileTitle = GetTitleFromFileName(name);
            const std::wstring pageTitle = GetTitle(page);
            if (!fileTitle.empty() && fileTitle != pageTitle && GetRawTitle(page, fileTitle)) {
                LogLine(L"タイトル修正 : " + pageTitle + L" -> " + fileTitle);
                RunItemRowStep(list, recordIndex, [&](int row) {
                    AddItemOptionWord(L"raw_title=", list, row, QuoteItemOptionValue(pageTitle));
                    SetListItemText(fileTitle, kDownloadColumnTitle, list, row);
                });
                NotifyDownloadListChanged(list);
                return true;
            }
            break;
        }
    }
    if (!title.empty()) {
        return true;
    }
    const std::wstring pageTitle = GetTitle(page);
    if (pageTitle.empty()) {
        return false;
    }
    RunItemRowStep(list, recordIndex, [&](int row) { SetListItemText(pageTitle, kDownloadColumnTitle, list, row); });
    NotifyDownloadListChanged(list);
    return true;
}

bool SelectSaveFolder(HWND list, size_t recordIndex) {
    if (!ReadItemRow(list, recordIndex).Text(kDownloadColumnSaveFolder).empty()) {
        return true;
    }
    const DownloadSettings settings = CopyDownloadSettings(list);
    RememberedFolder& remembered = GetRememberedFolder();
    std::wstring start;
    {
        CAutoLock guard(remembered.lock);
        if (remembered.path.empty()) {
            const std::wstring& base = GetAppSettings().programFolder;
            remembered.path = !settings.SavePath.empty() && FileExists(settings.SavePath) ? settings.SavePath
                              : !base.empty()                                             ? base
                                                                                          : GetProgramFolder();
        }
        start = remembered.path;
    }
    std::wstring path;
    if (!ShowFolderDialog(kFolderDialogText, start, GetParent(list), path, BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE)) {
        return false;
    }
    if (path.empty()) {
        path = settings.SavePath;
        if (path.empty()) {
            LogLine(L"保存パスが指定されていません");
            return false;
        }
    }
    if (!FileExists(path)) {
        LogLine(L"保存先パスが正しくありません");
        return false;
    }
    {
        CAutoLock guard(remembered.lock);
        remembered.path = path;
    }
    RunItemRowStep(list, recordIndex, [&](int row) { SetListItemText(path, kDownloadColumnSaveFolder, list, row); });
    return true;
}

bool DownloadItemInfo(HWND list, size_t recordIndex, const std::wstring& page, const std::wstring& flvData,
                      const std::wstring& country) {
    std::wstring folder;
    std::wstring folderTemplate;
    std::wstring rawTitle;
    RunItemRowStep(list, recordIndex, [&](int row) {
        SetRecordRowStatus(list, recordIndex, row, kDownloadStatusVideoInfo);
        folder = GetItemSaveFolder(list, row);
        folderTemplate = GetItemFolderFormat(list, row);
        rawTitle = GetItemOption(list, row, L"raw_title=");
    });
    const DownloadSettings settings = CopyDownloadSettings(list);
    return GetVideoInfo(page, flvData, country, folder, folderTemplate, settings.FileNameFormatTXT, rawTitle,
                        settings.VideoInfoSaveFilter, settings.VideoInfoSaveWorldTags, settings.VideoInfoAddTag);
}

bool DownloadItemComments(HWND list, size_t recordIndex, const std::wstring& page, const std::wstring& flvData,
                          const std::wstring& country) {
    std::wstring id;
    std::wstring folder;
    std::wstring folderTemplate;
    int64_t logDate = 0;
    RunItemRowStep(list, recordIndex, [&](int row) {
        SetRecordRowStatus(list, recordIndex, row, kDownloadStatusComments);
        id = GetVideoIdFromUrl(GetListItemText(list, row, kDownloadColumnId));
        folder = GetItemSaveFolder(list, row);
        folderTemplate = GetItemFolderFormat(list, row);
        logDate = GetItemLogDate(list, row);
    });
    const DownloadSettings settings = CopyDownloadSettings(list);
    CGetVelaXmlCB callback(list, recordIndex);
    if (!DownloadPastLog(id, callback, page, flvData, country, folder, settings.FileNameFormatXML, folderTemplate,
                         logDate, L"")) {
        return false;
    }
    if (settings.CommentGetOwner && HasOwnerThread(page)) {
        std::wstring commentPath;
        RunItemRowStep(list, recordIndex,
                       [&](int row) { commentPath = GetListItemText(list, row, kDownloadColumnCommentPath); });
        LogLine(L"投稿者コメントのダウンロード中...");
        CheckDownloadItemSignals(recordIndex);
        if (!DownloadPastLog(id, callback, page, flvData, country, folder, settings.FileNameFormatOwnerXML,
                             folderTemplate, logDate, kOwnerThreadAttribute)) {
            return false;
        }
        RunItemRowStep(list, recordIndex,
                       [&](int row) { SetListItemText(commentPath, kDownloadColumnCommentPath, list, row); });
    }
    return true;
}

bool DownloadItemVideo(HWND list, size_t recordIndex, const std::wstring& page, const std::wstring& flvData) {
    const DownloadSettings settings = CopyDownloadSettings(list);
    std::wstring folder;
    WORD flags = 0;
    RunItemRowStep(list, recordIndex, [&](int row) {
        SetRecordRowStatus(list, recordIndex, row, kDownloadStatusConnecting);
        folder = GetListItemText(list, row, kDownloadColumnSaveFolder);
        flags = GetItemFlagsOf(GetListItemParam(list, row));
    });
    // With SaveCommonDir the video stays in the row's folder while the other files go to the common one.
    const std::wstring folderTemplate =
        (flags & kDownloadKindFolder) != 0 && !settings.SaveCommonDir ? settings.FoldernameFormat : L"";
    EconomyOptions economy;
    economy.ask = settings.LowVideoNotify;
    economy.refuse = settings.LowVideoNoDownload;
    economy.rowHadEconomy = (flags & kDownloadKindEconomy) != 0;
    economy.owner = GetParent(list);
    economy.text = kEconomyQuestion;
    economy.caption = BoxCaption();
    economy.boxFlags = MB_YESNO | MB_SETFOREGROUND | MB_TOPMOST;
    CGetVelaFlvCB callback(list, recordIndex);
    return DownloadVideo(flvData, folder, page, callback, folderTemplate, economy, settings.TimeOutSecond * 1000);
}

bool SearchCmBgm(HWND list, size_t recordIndex, const std::wstring& page, const std::wstring& country) {
    std::wstring folder;
    RunItemRowStep(list, recordIndex, [&](int row) { folder = GetDirectoryPath(GetItemSavePath(list, row)); });
    LogLine(L"@CM, @BGM検索中...");
    std::vector<std::wstring> urls;
    GetBgmList(page, urls, country);
    if (urls.empty()) {
        LogLine(L"見つかりませんでした");
        return true;
    }
    for (const std::wstring& url : urls) {
        // A pause holds the adds, and a row cancelled or removed meanwhile adds nothing more.
        CheckDownloadItemSignals(recordIndex);
        LogLine(L"追加 : " + url);
        const std::vector<std::wstring> texts = {url, folder};
        RunItemRowStep(list, recordIndex, [&](int) {
            SendDownloadBlockMessage(list, kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&texts), kCmBgmItemFlags);
        });
    }
    return true;
}

bool DownloadItemThumbnail(HWND list, size_t recordIndex, const std::wstring& page, const std::wstring& flvData) {
    std::wstring folder;
    std::wstring folderTemplate;
    RunItemRowStep(list, recordIndex, [&](int row) {
        SetRecordRowStatus(list, recordIndex, row, kDownloadStatusThumbnail);
        folder = GetItemSaveFolder(list, row);
        folderTemplate = GetItemFolderFormat(list, row);
    });
    // The waits between attempts look at the signals, so that a cancel does not wait for the retries.
    return DownloadThumbnail(folder, page, flvData, folderTemplate, kThumbnailRetryWaitMs,
                             [recordIndex](DWORD milliseconds) { WaitForDownloadItem(recordIndex, milliseconds); });
}
