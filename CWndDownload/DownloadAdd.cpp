#include "CWndDownload/DownloadAdd.h"

#include "CWndDownload/DownloadListFile.h"
#include "client/ServiceUrls.h"
#include "client/VideoUrls.h"
#include "foundation/CBaseDebug.h"
#include "foundation/ListView.h"
#include "foundation/PathUtil.h"
#include "foundation/PrivateMessages.h"
#include "foundation/Regex.h"
#include "foundation/StringUtil.h"
#include "foundation/WindowUtil.h"

#include <commctrl.h>

#include <ctime>

namespace {

const wchar_t kAskReplaceSuffix[] = L"は既にリストに存在しています。\n項目を新しい内容に置き換えますか？";
const wchar_t kDuplicateSuffix[] = L"は既にリストに存在しています。";
const wchar_t kExcludedSuffix[] = L"\r\n除外リストに指定されている動画IDです。";
const wchar_t kExcludedWhere[] = L"\n(settings.datファイルの[ExceptDownload]セクション)";
const wchar_t kExcludedQuestion[] = L"\n\nリストへの追加を取り消しますか？";
const wchar_t kNoTextMessage[] = L"URLを入力して下さい。";
const wchar_t kBadUrlMessage[] = L"URLが正しくありません。";
const wchar_t kNoKindMessage[] = L"ダウンロードする項目を選択して下さい。(動画・コメント・動画情報・サムネイル)";
const wchar_t kBadAddDataMessage[] = L"追加データの指定が正しくありません。";
const wchar_t kBadLogLine[] = L"log=の値が正しくありません";

const wchar_t kSavePathPrefix[] = L"savepath=";
const wchar_t kLogPrefix[] = L"log=";
const wchar_t kReplaceWord[] = L"SameItemReplace";

constexpr WORD kFetchKinds = kDownloadKindVideo | kDownloadKindComments | kDownloadKindInfo | kDownloadKindThumbnail;
constexpr WORD kHandOnKinds = kDownloadKindPlay | kDownloadKindPlaylist;
constexpr DWORD kWaitingWord = static_cast<DWORD>(kDownloadStatusWaiting) << 16;

// The flag word carries the status in its high 16 bits on both targets; past-log times need 64 bits.
static_assert(sizeof(DWORD) == 4 && sizeof(LPARAM) >= sizeof(DWORD), "the item data holds a 32-bit flag word");
static_assert(sizeof(__time64_t) == 8, "past-log times are 64-bit on both targets");

// The first past-log time that the service keeps (2006-09-30 15:00 UTC); a time up to it is none.
constexpr int64_t kFirstLogTime = 1159628400;

int RowCount(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

void ScrollToLastRow(HWND list) {
    const int count = RowCount(list);
    if (count > 0) {
        SendMessageW(list, LVM_ENSUREVISIBLE, count - 1, FALSE);
    }
}

void SetRowState(HWND list, int row, UINT state, UINT mask) {
    LVITEMW item = {};
    item.state = state;
    item.stateMask = mask;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void DeselectAll(HWND list) {
    SetRowState(list, -1, 0, LVIS_SELECTED);
}

// The row alone selected and focused, in view, with the list focused.
void ShowRowAlone(HWND list, int row) {
    SetFocus(list);
    DeselectAll(list);
    SetRowState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
}

int ShowBox(const DownloadAddContext& window, const std::wstring& text, UINT type) {
    return MessageBoxW(window.window, text.c_str(), window.appTitle.c_str(), type | MB_TOPMOST | MB_SETFOREGROUND);
}

void FocusControl(HWND control, bool selectAll = false) {
    if (control == nullptr) {
        return;
    }
    SetFocus(control);
    if (selectAll) {
        SendMessageW(control, EM_SETSEL, 0, -1);
    }
}

const DownloadSettings& SettingsOf(const DownloadAddContext& window) {
    return window.settings != nullptr ? *window.settings : GetDownloadSettings();
}

int FindKeyRow(const DownloadAddContext& window, const std::wstring& key) {
    return window.rowKeys != nullptr ? window.rowKeys->FindRow(window.list, key) : FindListItemByPath(window.list, key);
}

bool RemoveReplacedRow(const DownloadAddContext& window, int row) {
    if (window.removeRow) {
        return window.removeRow(row);
    }
    const int before = RowCount(window.list);
    ShowRowAlone(window.list, row);
    SendMessageW(window.list, LVM_DELETEITEM, row, 0);
    return RowCount(window.list) != before;
}

// ---- Removing whole arguments from an add data ----------------------------------------------------

struct ArgumentSpan {
    std::wstring value;
    size_t begin = 0;
    size_t end = 0;
};

// The arguments of a text with where each stands, by the platform's command-line rules for every
// argument after the program's: blanks and tabs separate outside quotes; 2n backslashes and a quote
// give n backslashes and open or close a quote, 2n+1 give n and a literal quote; inside quotes a
// third quote in a row is a literal one.
std::vector<ArgumentSpan> SplitArgumentSpans(const std::wstring& text) {
    std::vector<ArgumentSpan> spans;
    const size_t size = text.size();
    size_t i = 0;
    for (;;) {
        while (i < size && (text[i] == L' ' || text[i] == L'\t')) {
            ++i;
        }
        if (i >= size) {
            break;
        }
        ArgumentSpan span;
        span.begin = i;
        int quotes = 0;
        size_t backslashes = 0;
        while (i < size) {
            const wchar_t c = text[i];
            if ((c == L' ' || c == L'\t') && quotes == 0) {
                break;
            }
            if (c == L'\\') {
                span.value += c;
                ++backslashes;
                ++i;
                continue;
            }
            if (c != L'"') {
                span.value += c;
                backslashes = 0;
                ++i;
                continue;
            }
            if (backslashes % 2 == 0) {
                span.value.resize(span.value.size() - backslashes / 2);
                ++quotes;
            } else {
                span.value.resize(span.value.size() - backslashes / 2 - 1);
                span.value += L'"';
            }
            backslashes = 0;
            ++i;
            while (i < size && text[i] == L'"') {
                if (++quotes == 3) {
                    span.value += L'"';
                    quotes = 0;
                }
                ++i;
            }
            if (quotes == 2) {
                quotes = 0;
            }
        }
        span.end = i;
        spans.push_back(std::move(span));
    }
    return spans;
}

// An argument written so that the command-line split gives it back: an option's value in quotes
// after its "=", any other argument with a blank or a quote quoted whole.
std::wstring WriteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    const size_t equals = argument.find(L'=');
    if (equals != std::wstring::npos && argument.find_first_of(L" \t\"") > equals) {
        return argument.substr(0, equals + 1) + QuoteItemOptionValue(argument.substr(equals + 1));
    }
    return QuoteItemOptionValue(argument);
}

// The add data without the arguments that drop selects. The arguments that stay keep their own
// spelling; only should this split ever differ from the platform's are they written anew.
std::wstring RemoveArguments(const std::wstring& addData, const std::vector<std::wstring>& arguments,
                             const std::function<bool(const std::wstring&)>& drop) {
    bool any = false;
    for (const std::wstring& argument : arguments) {
        any = any || drop(argument);
    }
    if (!any) {
        return addData;
    }
    const std::vector<ArgumentSpan> spans = SplitArgumentSpans(addData);
    bool sameSplit = spans.size() == arguments.size();
    for (size_t i = 0; sameSplit && i < spans.size(); ++i) {
        sameSplit = spans[i].value == arguments[i];
    }
    std::wstring kept;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (drop(arguments[i])) {
            continue;
        }
        if (!kept.empty()) {
            kept += L' ';
        }
        kept += sameSplit ? addData.substr(spans[i].begin, spans[i].end - spans[i].begin) : WriteArgument(arguments[i]);
    }
    return kept;
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

bool AddUrlAndScroll(const DownloadAddContext& window, const wchar_t* text, const wchar_t* folder, DWORD flags,
                     bool quiet, bool askReplace) {
    const bool added = AddDownloadItem(folder != nullptr ? folder : L"", window, text != nullptr ? text : L"", flags,
                                       quiet, askReplace);
    if (added) {
        ScrollToLastRow(window.list);
    }
    return added;
}

// The fixed kinds of 37877-37879 with the play and playlist boxes of the window.
DWORD WithHandOnBoxes(const DownloadAddContext& window, DWORD flags) {
    return flags | (window.kindFlags & kHandOnKinds);
}

} // namespace

// ---- CDownloadRowKeys ---------------------------------------------------------------------------

int CDownloadRowKeys::FindRow(HWND list, const std::wstring& key) {
    if (!IsInStep(list)) {
        Rebuild(list);
    }
    if (m_keys.count(key) == 0) {
        return -1;
    }
    const int row = FindListItemByPath(list, key);
    if (row < 0) {
        // The keys said yes and the list says no: they are out of step after all.
        m_count = -1;
    }
    return row;
}

void CDownloadRowKeys::NoteAppended(HWND list, const std::wstring& key) {
    if (list != m_list || m_count < 0 || RowCount(list) != m_count + 1) {
        m_count = -1;
        return;
    }
    ++m_keys[key];
    ++m_count;
    m_lastKey = key;
}

bool CDownloadRowKeys::IsInStep(HWND list) const {
    if (list != m_list || m_count < 0 || RowCount(list) != m_count) {
        return false;
    }
    return m_count == 0 || GetListItemText(list, m_count - 1, kDownloadColumnId) == m_lastKey;
}

void CDownloadRowKeys::Rebuild(HWND list) {
    m_list = list;
    m_keys.clear();
    m_count = RowCount(list);
    m_lastKey.clear();
    for (int row = 0; row < m_count; ++row) {
        std::wstring key = GetListItemText(list, row, kDownloadColumnId);
        if (row == m_count - 1) {
            m_lastKey = key;
        }
        ++m_keys[std::move(key)];
    }
}

// ---- Past-log dates --------------------------------------------------------------------------------

std::wstring RemoveItemAddDataWord(const std::wstring& addData, const std::wstring& word) {
    return RemoveArguments(addData, SplitItemAddData(addData),
                           [&word](const std::wstring& argument) { return argument == word; });
}

int64_t ParseLogDate(const std::wstring& text) {
    int64_t value = 0;
    // [0-9], not \d: the regex's \d also takes other scripts' digits (full-width ones), which the
    // number conversions below refuse with an exception.
    if (RegexMatch(text, L"^[0-9]{3,}$")) {
        // More digits than a 64-bit time holds are a time far in the future.
        if (text.size() > 18) {
            return 0;
        }
        value = std::stoll(text);
    } else {
        static const wchar_t* const kPatterns[] = {
            L"^([0-9]{2,4})[/:;, ]([0-9]{1,2})[/:;, ]([0-9]{1,2})"
            L"[/:;, ]([0-9]{1,2})[/:;, ]([0-9]{1,2})[/:;, ]([0-9]{1,2})$",
            L"^([0-9]{2,4})[/:;, ]([0-9]{1,2})[/:;,]([0-9]{1,2})[/:;, ]([0-9]{1,2})[/:;, ]([0-9]{1,2})$",
            L"^([0-9]{2,4})[/:;, ]([0-9]{1,2})[/:;, ]([0-9]{1,2})[/:;, ]([0-9]{1,2})$",
            L"^([0-9]{2,4})[/:;, ]([0-9]{1,2})[/:;, ]([0-9]{1,2})$",
        };
        std::vector<std::wstring> groups;
        bool matched = false;
        for (const wchar_t* pattern : kPatterns) {
            // The whole text, not one of its lines ("^" and "$" also match at line ends).
            if (RegexSearch(text, pattern, groups) && groups[0] == text) {
                matched = true;
                break;
            }
        }
        if (!matched) {
            return 0;
        }
        int fields[6] = {};
        for (size_t i = 1; i < groups.size() && i <= 6; ++i) {
            fields[i - 1] = groups[i].empty() ? 0 : std::stoi(groups[i]);
        }
        std::tm local = {};
        local.tm_year = (fields[0] < 100 ? fields[0] + 2000 : fields[0]) - 1900;
        local.tm_mon = fields[1] - 1;
        local.tm_mday = fields[2];
        local.tm_hour = fields[3];
        local.tm_min = fields[4];
        local.tm_sec = fields[5];
        local.tm_isdst = 0;
        value = _mktime64(&local);
    }
    if (value <= kFirstLogTime || value > _time64(nullptr)) {
        return 0;
    }
    return value;
}

bool ParseLogOption(const std::wstring& addData, bool quiet) {
    const std::wstring value = GetArgValue(SplitItemAddData(addData), kLogPrefix, L"");
    if (value.empty()) {
        return true;
    }
    if (ParseLogDate(value) > 0) {
        return true;
    }
    if (!quiet) {
        DebugLog() << kBadLogLine << EndLine;
    }
    return false;
}

// ---- The gate ----------------------------------------------------------------------------------------

bool AddDownloadItem(const std::wstring& folder, const DownloadAddContext& window, const std::wstring& text,
                     DWORD flags, bool quiet, bool askReplace) {
    const HWND list = window.list;
    const DownloadSettings& settings = SettingsOf(window);

    std::wstring item = text;
    if (StartsWith(item, L"ttp")) {
        item.insert(0, 1, L'h');
    }
    const size_t blank = item.find(L' ');
    const std::wstring urlPart = item.substr(0, blank);
    const std::wstring key = GetVideoIdFromUrl(urlPart);
    std::wstring addData = blank == std::wstring::npos ? std::wstring() : item.substr(blank + 1);
    if (flags == 0) {
        flags = window.kindFlags;
    }

    if (IsVideoIdText(urlPart)) {
        const std::wstring country = GetCountryFromUrl(urlPart);
        if (!country.empty()) {
            if (!addData.empty()) {
                addData += L' ';
            }
            addData += L"country=" + QuoteItemOptionValue(country);
        }
    }

    WORD kinds = GetItemFlagsOf(static_cast<LPARAM>(flags));
    WORD status = GetItemStatusOf(static_cast<LPARAM>(flags));
    const std::vector<std::wstring> arguments = SplitItemAddData(addData);
    if (ContainsString(arguments, L"-thumbnail")) {
        kinds |= kDownloadKindThumbnail;
    }
    if (ContainsString(arguments, L"-createdir")) {
        kinds |= kDownloadKindFolder;
    }
    if (ContainsString(arguments, L"-onlyadd")) {
        kinds &= static_cast<WORD>(~kDownloadKindBase);
    }
    std::wstring saveFolder = folder;
    const std::wstring savePath = GetArgValue(arguments, kSavePathPrefix, L"");
    if (!savePath.empty()) {
        saveFolder = savePath;
    }
    addData = RemoveArguments(addData, arguments, [&savePath](const std::wstring& argument) {
        return argument == L"-thumbnail" || argument == L"-createdir" || argument == L"-onlyadd" ||
               (!savePath.empty() && StartsWith(argument, kSavePathPrefix));
    });
    if (saveFolder.empty() && !settings.SelectPath) {
        saveFolder = settings.SavePath;
    }
    saveFolder = RemoveTrailingSlash(saveFolder);
    bool ticked = (kinds & kDownloadKindBase) != 0;

    // The row a replacing add takes the place of; it goes only once the add is sure to go through.
    bool replacing = false;
    if (kinds & kDownloadKindCompleted) {
        status = kDownloadStatusDone;
    } else if (window.savedRow) {
        if (item.empty()) {
            return false;
        }
    } else {
        if (item.empty()) {
            if (!quiet) {
                ShowBox(window, kNoTextMessage, MB_OK);
                FocusControl(window.urlBox);
            }
            return false;
        }
        if (!IsVideoIdText(urlPart) && !StartsWith(item, L"http://") && !StartsWith(item, L"https://")) {
            if (!quiet) {
                ShowBox(window, kBadUrlMessage, MB_OK);
                FocusControl(window.urlBox, true);
            }
            return false;
        }
        if ((kinds & kFetchKinds) == 0) {
            if (!quiet) {
                ShowBox(window, kNoKindMessage, MB_OK);
                FocusControl(window.videoCheck);
            }
            return false;
        }

        const int duplicate = FindKeyRow(window, key);
        if (duplicate >= 0) {
            if (askReplace) {
                ShowRowAlone(list, duplicate);
                if (ShowBox(window, key + kAskReplaceSuffix, MB_YESNO) != IDYES) {
                    return false;
                }
                replacing = true;
            } else if (quiet) {
                SetFocus(list);
                SendMessageW(list, LVM_ENSUREVISIBLE, duplicate, FALSE);
                SetRowState(list, duplicate, LVIS_SELECTED, LVIS_SELECTED);
                DebugLog() << key << kDuplicateSuffix << EndLine;
                return false;
            } else {
                ShowRowAlone(list, duplicate);
                ShowBox(window, key + kDuplicateSuffix, MB_OK);
                return false;
            }
        }

        if (!replacing && !ParseLogOption(addData, false)) {
            if (!quiet) {
                ShowBox(window, kBadAddDataMessage, MB_OK);
                FocusControl(window.urlBox);
            }
            return false;
        }

        if (window.exceptList != nullptr && window.exceptList->ContainsKey(key)) {
            const std::wstring excluded = L"> " + key + kExcludedSuffix;
            if (quiet) {
                DebugLog() << excluded << EndLine;
                return false;
            }
            if (ShowBox(window, excluded + kExcludedWhere + kExcludedQuestion, MB_YESNO) == IDYES) {
                return false;
            }
        }

        if (replacing) {
            // The questions ran a modal loop: the row may have moved or gone meanwhile.
            const int old = FindKeyRow(window, key);
            if (old >= 0 && !RemoveReplacedRow(window, old)) {
                return false;
            }
        }
    }

    const int row = InsertListItem(-1, L"", list);
    if (row < 0) {
        return false;
    }
    SetListItemParam(list, row, MakeItemData(status, kinds));
    SetListItemText(key, kDownloadColumnId, list, row);
    if (window.rowKeys != nullptr) {
        window.rowKeys->NoteAppended(list, key);
    }
    SetListItemText(saveFolder, kDownloadColumnSaveFolder, list, row);
    SetListItemText(addData, kDownloadColumnAddData, list, row);

    // An item that fetches only the video information has nothing to play or to put on the playlist.
    if ((kinds & kHandOnKinds) && !(kinds & (kDownloadKindVideo | kDownloadKindComments)) &&
        (kinds & kDownloadKindInfo)) {
        kinds &= static_cast<WORD>(~kHandOnKinds);
    }
    if (!GetArgValue(SplitItemAddData(addData), kLogPrefix, L"").empty()) {
        kinds |= kDownloadKindComments;
    }
    if (HasItemAddDataWord(addData, DownloadDeletedMark())) {
        ticked = false;
        status = kDownloadStatusError;
    }
    SetDownloadItemStatus(list, status, row);
    MakeItemStateText(kinds, list, row);
    if (ticked) {
        SetDownloadRowTicked(list, row, true);
    }

    // The window holds the save back while a list loads, until the last load has ended.
    if (window.mainWindow != nullptr) {
        SendMessageW(window.mainWindow, kMsgDownloadScheduleSave, 0, 0);
    }
    return true;
}

// ---- The callers' entry points ---------------------------------------------------------------------

bool AddItemFromArgs(const DownloadAddContext& window, const std::vector<std::wstring>& texts, DWORD flags) {
    const std::wstring text = texts.empty() ? std::wstring() : texts[0];
    const std::wstring folder = texts.size() >= 2 ? texts[1] : std::wstring();
    const bool askReplace = texts.size() >= 3 && texts[2].find(kReplaceWord) != std::wstring::npos;
    return AddDownloadItem(folder, window, text, flags, true, askReplace);
}

bool QueueAddItem(const DownloadAddContext& window, const std::vector<std::wstring>& texts, DWORD flags) {
    if (window.pending != nullptr && !window.pending->listLoaded) {
        window.pending->texts = texts;
        window.pending->flags = flags;
        return true;
    }
    const bool added = AddItemFromArgs(window, texts, flags);
    ScrollToLastRow(window.list);
    return added;
}

bool AddUrlWithCheckedKinds(const DownloadAddContext& window, const wchar_t* text, const wchar_t* folder) {
    return AddUrlAndScroll(window, text, folder, 0, true, false);
}

bool AddUrlCommentOnly(const DownloadAddContext& window, const wchar_t* text, const wchar_t* folder) {
    return AddUrlAndScroll(window, text, folder,
                           WithHandOnBoxes(window, kWaitingWord | kDownloadKindBase | kDownloadKindComments), false,
                           true);
}

bool AddUrlVideoOnly(const DownloadAddContext& window, const wchar_t* text, const wchar_t* folder) {
    return AddUrlAndScroll(window, text, folder,
                           WithHandOnBoxes(window, kWaitingWord | kDownloadKindBase | kDownloadKindVideo), false, true);
}

bool AddUrlVideoInfoOnly(const DownloadAddContext& window, const wchar_t* text, const wchar_t* folder) {
    return AddUrlAndScroll(window, text, folder,
                           WithHandOnBoxes(window, kWaitingWord | kDownloadKindBase | kDownloadKindInfo), false, true);
}

bool AddFromUrlBox(const DownloadAddContext& window) {
    const DownloadSettings& settings = SettingsOf(window);
    DeselectAll(window.list);
    const std::wstring folder = settings.SelectPath ? std::wstring() : settings.SavePath;
    if (!AddDownloadItem(folder, window, GetWindowTextString(window.urlBox), window.kindFlags, false, true)) {
        return false;
    }
    SetWindowTextW(window.urlBox, L"");
    SetFocus(window.urlBox);
    ScrollToLastRow(window.list);
    return true;
}

void OnEnterCommand(const DownloadAddContext& window) {
    const HWND focus = GetFocus();
    if (focus != nullptr && focus == window.urlBox) {
        AddFromUrlBox(window);
    } else if (focus != nullptr) {
        SendMessageW(focus, WM_KEYDOWN, VK_RETURN, 0);
    }
}
