#include "CWndDownload/DownloadListRow.h"

#include "CWndDownload/DownloadSettings.h"
#include "foundation/AppSettings.h"
#include "foundation/ListView.h"
#include "foundation/PrivateMessages.h"
#include "foundation/StringUtil.h"

#include <commctrl.h>

#include <iterator>

namespace {

constexpr int kDownloadListId = 2010;
constexpr UINT kUncheckedState = INDEXTOSTATEIMAGEMASK(1);

const wchar_t* const kStatusTexts[] = {
    L"×",
    L"待機中",
    L"一時停止中",
    L"エラー(情報ｳｨﾝﾄﾞｳ参照)",
    L"キャンセル",
    L"URLを抽出中",
    L"URLにアクセス中...",
    L"タイトル取得中...",
    L"動画情報取得中...",
    L"ダウンロード中(xml)...",
    L"動画データに接続中...",
    L"ダウンロード中(動画)...",
    L"サムネイル取得中...",
    L"完了",
};
const wchar_t kDeletedStatusText[] = L"エラー(削除済み)";

struct KindWord {
    WORD bit;
    const wchar_t* word;
};
// The column's fixed order, which is not the order of the bits.
const KindWord kKindWords[] = {
    {kDownloadKindVideo, L" 動画"},      {kDownloadKindComments, L" xml"},      {kDownloadKindInfo, L" 情報"},
    {kDownloadKindThumbnail, L" ｻﾑﾈ"},   {kDownloadKindPlay, L" 再生"},         {kDownloadKindPlaylist, L" 追加"},
    {kDownloadKindEconomy, L" (ｴｺﾉﾐｰ)"}, {kDownloadKindMyMemory, L" (ﾏｲﾒﾓﾘｰ)"},
};

bool IsOnListThread(HWND list) {
    return GetWindowThreadProcessId(list, nullptr) == GetCurrentThreadId();
}

// Both halves are written together: whoever changes one half keeps the other as it is now.
bool WriteStatus(HWND list, WORD status, int row) {
    const std::wstring addData = GetListItemText(list, row, kDownloadColumnAddData);
    if (!SetListItemText(GetDownloadStatusText(status, addData), kDownloadColumnStatus, list, row)) {
        return false;
    }
    const WORD flags = GetItemFlagsOf(GetListItemParam(list, row));
    return SetListItemParam(list, row, MakeItemData(status, flags));
}

bool WriteFlags(WORD flags, HWND list, int row) {
    if (!SetListItemText(MakeDownloadKindText(flags), kDownloadColumnKind, list, row)) {
        return false;
    }
    const WORD status = GetItemStatusOf(GetListItemParam(list, row));
    return SetListItemParam(list, row, MakeItemData(status, flags));
}

bool IsExistingFile(const std::wstring& path) {
    if (path.empty()) {
        return false;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

const std::wstring& DownloadDeletedMark() {
    static const std::wstring mark = L"-deleted";
    return mark;
}

const std::wstring& DownloadTitlePlaceholder() {
    static const std::wstring placeholder = L"[取得失敗] \u3000 \u3000  ";
    return placeholder;
}

const std::vector<DownloadColumn>& GetDownloadColumns() {
    static const std::vector<DownloadColumn> columns = {
        {L"タイトル", 220, false},       {L"動画ID/URL", 80, false}, {L"状態", 140, false},
        {L"サイズ", 120, true},          {L"%", 40, true},           {L"種類", 140, false},
        {L"保存先フォルダ", 200, false}, {L"動画保存先", 50, false}, {L"コメント保存先", 55, false},
        {L"追加データ", 55, false},      {L"", 70, false},
    };
    return columns;
}

std::wstring GetDownloadStatusText(WORD status) {
    return status < std::size(kStatusTexts) ? kStatusTexts[status] : L"";
}

std::wstring GetDownloadStatusText(WORD status, const std::wstring& addData) {
    return HasItemAddDataWord(addData, DownloadDeletedMark()) ? kDeletedStatusText : GetDownloadStatusText(status);
}

std::wstring MakeDownloadKindText(WORD flags) {
    std::wstring text;
    for (const KindWord& kind : kKindWords) {
        if (flags & kind.bit) {
            text += kind.word;
        }
    }
    return text;
}

std::vector<std::wstring> SplitItemAddData(const std::wstring& addData) {
    return SplitCommandLine(L"AddData: " + addData);
}

bool HasItemAddDataWord(const std::wstring& addData, const std::wstring& word) {
    if (word.empty()) {
        return false;
    }
    const bool takesValue = word.back() == L'=';
    for (const std::wstring& argument : SplitItemAddData(addData)) {
        if (takesValue ? argument.compare(0, word.size(), word) == 0 : argument == word) {
            return true;
        }
    }
    return false;
}

std::wstring QuoteItemOptionValue(const std::wstring& value) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : value) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

bool InsertDownloadListColumns(HWND list) {
    const auto& columns = GetDownloadColumns();
    for (int index = 0; index < static_cast<int>(columns.size()); ++index) {
        if (!InsertListColumn(columns[index].header, list, index, columns[index].width)) {
            return false;
        }
        if (columns[index].alignRight) {
            LVCOLUMNW column = {};
            column.mask = LVCF_FMT;
            column.fmt = LVCFMT_RIGHT;
            SendMessageW(list, LVM_SETCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
        }
    }
    return true;
}

bool RunDownloadRowStep(HWND list, const std::function<void()>& step) {
    if (IsOnListThread(list)) {
        step();
        return true;
    }
    // Two separate sends (read, then write) would let the UI thread change the row in between.
    return SendMessageW(GetParent(list), kMsgDownloadRowStep, reinterpret_cast<WPARAM>(&step), 0) == 1;
}

bool HandleDownloadRowStep(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message != kMsgDownloadRowStep) {
        return false;
    }
    const auto* step = reinterpret_cast<const std::function<void()>*>(wParam);
    if (step != nullptr && *step) {
        (*step)();
        result = 1;
    } else {
        result = 0;
    }
    return true;
}

bool SetDownloadItemStatus(HWND list, WORD status, int row) {
    bool done = false;
    return RunDownloadRowStep(list, [&] { done = WriteStatus(list, status, row); }) && done;
}

bool MakeItemStateText(WORD flags, HWND list, int row) {
    bool done = false;
    return RunDownloadRowStep(list, [&] { done = WriteFlags(flags, list, row); }) && done;
}

bool AddDownloadItemFlags(HWND list, int row, WORD bits) {
    bool done = false;
    return RunDownloadRowStep(list,
                              [&] {
                                  const WORD flags = GetItemFlagsOf(GetListItemParam(list, row));
                                  done = WriteFlags(static_cast<WORD>(flags | bits), list, row);
                              }) &&
           done;
}

bool RemoveDownloadItemFlags(HWND list, int row, WORD bits) {
    bool done = false;
    return RunDownloadRowStep(list,
                              [&] {
                                  const WORD flags = GetItemFlagsOf(GetListItemParam(list, row));
                                  done = WriteFlags(static_cast<WORD>(flags & ~bits), list, row);
                              }) &&
           done;
}

bool IsDownloadItemDeleted(HWND list, int row, const std::wstring& mark) {
    return ContainsString(GetItemAddOptions(list, row), mark);
}

bool HasItemOptionText(HWND list, int row) {
    return IsDownloadItemDeleted(list, row);
}

bool AddItemOptionWord(const std::wstring& word, HWND list, int row, const std::wstring& value) {
    bool added = false;
    RunDownloadRowStep(list, [&] {
        std::wstring addData = GetListItemText(list, row, kDownloadColumnAddData);
        if (HasItemAddDataWord(addData, word)) {
            return;
        }
        if (!addData.empty()) {
            addData += L' ';
        }
        addData += word + value;
        added = SetListItemText(addData, kDownloadColumnAddData, list, row);
    });
    return added;
}

bool MarkDownloadItemDeleted(HWND list, int row) {
    return AddItemOptionWord(DownloadDeletedMark(), list, row, L"");
}

std::vector<std::wstring> GetItemAddOptions(HWND list, int row) {
    return SplitItemAddData(GetListItemText(list, row, kDownloadColumnAddData));
}

std::wstring GetItemOption(HWND list, int row, const std::wstring& prefix) {
    return GetArgValue(GetItemAddOptions(list, row), prefix, L"");
}

std::wstring GetItemSavePath(HWND list, int row) {
    const std::wstring video = GetListItemText(list, row, kDownloadColumnVideoPath);
    const std::wstring comments = GetListItemText(list, row, kDownloadColumnCommentPath);
    if (GetItemFlagsOf(GetListItemParam(list, row)) & kDownloadKindMyMemory) {
        return comments.empty() ? video : comments;
    }
    return video.empty() ? comments : video;
}

std::wstring GetItemSaveFolder(HWND list, int row) {
    if (GetDownloadSettings().SaveCommonDir) {
        return GetAppSettings().CommonDir;
    }
    return GetListItemText(list, row, kDownloadColumnSaveFolder);
}

std::wstring GetItemFolderFormat(HWND list, int row) {
    const DownloadSettings& settings = GetDownloadSettings();
    const bool ownFolder = (GetItemFlagsOf(GetListItemParam(list, row)) & kDownloadKindFolder) != 0;
    if (ownFolder || (settings.SaveCommonDir && settings.CreateFolderEveryVideo)) {
        return settings.FoldernameFormat;
    }
    return L"";
}

std::wstring GetItemFilePath(HWND list, int row) {
    const LPARAM data = GetListItemParam(list, row);
    if (GetItemStatusOf(data) == kDownloadStatusDone) {
        return GetItemSavePath(list, row);
    }
    if (GetItemFlagsOf(data) & kDownloadKindEconomy) {
        return GetListItemText(list, row, kDownloadColumnVideoPath);
    }
    return L"";
}

std::wstring FindItemFile(HWND list, int row) {
    for (int column = 0; column < kDownloadColumnCount; ++column) {
        std::wstring text = GetListItemText(list, row, column);
        if (IsExistingFile(text)) {
            return text;
        }
    }
    return L"";
}

int FindRowById(HWND list, const std::wstring& id) {
    return FindListItemByPath(list, id);
}

bool IsDownloadRowTicked(HWND list, int row) {
    return SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) != kUncheckedState;
}

void SetDownloadRowTicked(HWND list, int row, bool ticked) {
    LVITEMW item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = ticked ? INDEXTOSTATEIMAGEMASK(2) : kUncheckedState;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

bool UncheckWaitingItems(HWND list) {
    RunDownloadRowStep(list, [&] {
        const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            if (GetItemStatusOf(GetListItemParam(list, row)) == kDownloadStatusWaiting) {
                SetDownloadRowTicked(list, row, false);
            }
        }
    });
    return true;
}

LRESULT SendListNotify(HWND edit, UINT code) {
    const HWND list = GetParent(edit);
    NMLVDISPINFOW info = {};
    info.hdr.hwndFrom = list;
    info.hdr.idFrom = kDownloadListId;
    info.hdr.code = code;
    info.item.mask = LVIF_PARAM;
    info.item.iItem = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    info.item.lParam = reinterpret_cast<LPARAM>(edit);
    return SendMessageW(GetParent(list), WM_NOTIFY, kDownloadListId, reinterpret_cast<LPARAM>(&info));
}
