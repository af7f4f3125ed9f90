#pragma once
// One row of the download list is the whole record of a download item: its texts in 11 columns, its
// check box, and its item data (status in the high 16 bits, kind flags in the low 16 bits).
//
// Thread use: the row operations may be called from any thread; they reach the list only through
// list-view messages. A read-modify-write of a row runs as one step on the list's thread: from another
// thread it is sent to the list's parent as kMsgDownloadRowStep, which that window's procedure hands
// to HandleDownloadRowStep. The text functions are pure.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

constexpr int kDownloadColumnCount = 11;
constexpr int kDownloadColumnTitle = 0;
constexpr int kDownloadColumnId = 1;
constexpr int kDownloadColumnStatus = 2;
constexpr int kDownloadColumnSize = 3;
constexpr int kDownloadColumnPercent = 4;
constexpr int kDownloadColumnKind = 5;
constexpr int kDownloadColumnSaveFolder = 6;
constexpr int kDownloadColumnVideoPath = 7;
constexpr int kDownloadColumnCommentPath = 8;
constexpr int kDownloadColumnAddData = 9;

// Status words (the high half of the item data).
enum DownloadStatus : WORD {
    kDownloadStatusNone = 0,
    kDownloadStatusWaiting = 1,
    kDownloadStatusPaused = 2,
    kDownloadStatusError = 3,
    kDownloadStatusCancelled = 4,
    kDownloadStatusExtracting = 5,
    kDownloadStatusOpening = 6,
    kDownloadStatusTitle = 7,
    kDownloadStatusVideoInfo = 8,
    kDownloadStatusComments = 9,
    kDownloadStatusConnecting = 10,
    kDownloadStatusVideo = 11,
    kDownloadStatusThumbnail = 12,
    kDownloadStatusDone = 13,
};

// Kind flags (the low half of the item data).
enum DownloadKind : WORD {
    kDownloadKindBase = 0x1,
    kDownloadKindVideo = 0x2,
    kDownloadKindComments = 0x4,
    kDownloadKindPlay = 0x8,
    kDownloadKindPlaylist = 0x10,
    kDownloadKindInfo = 0x20,
    kDownloadKindThumbnail = 0x40,
    kDownloadKindMyMemory = 0x100,
    kDownloadKindEconomy = 0x200,
    kDownloadKindFolder = 0x400,
    kDownloadKindCompleted = 0x800,
};

// The process-wide deleted mark "-deleted" and the title placeholder of a failed title fetch.
const std::wstring& DownloadDeletedMark();
const std::wstring& DownloadTitlePlaceholder();

// ---- Pure texts --------------------------------------------------------------------------------

struct DownloadColumn {
    const wchar_t* header;
    int width;
    bool alignRight;
};
// The 11 columns in their creation order, with their default widths.
const std::vector<DownloadColumn>& GetDownloadColumns();

constexpr WORD GetItemStatusOf(LPARAM data) {
    return HIWORD(static_cast<DWORD>(data));
}
constexpr WORD GetItemFlagsOf(LPARAM data) {
    return LOWORD(static_cast<DWORD>(data));
}
constexpr LPARAM MakeItemData(WORD status, WORD flags) {
    return static_cast<LPARAM>((static_cast<DWORD>(status) << 16) | flags);
}

// The status text of column 2; empty for a status outside the table.
std::wstring GetDownloadStatusText(WORD status);
// The status text a row shows: "エラー(削除済み)" whenever its add data carries the deleted mark.
std::wstring GetDownloadStatusText(WORD status, const std::wstring& addData);
// The kind text of column 5: the words of the set flags in their fixed order.
std::wstring MakeDownloadKindText(WORD flags);

// The arguments of an add-data text (column 9), split as a command line.
std::vector<std::wstring> SplitItemAddData(const std::wstring& addData);
// Whether one argument of the add data is the word (for a word ending in "=", begins with it).
bool HasItemAddDataWord(const std::wstring& addData, const std::wstring& word);
// The value in double quotes by the command-line rules, so that the split gives it back unchanged
// (a title ending in "\" must not escape the closing quote and swallow the options after it).
std::wstring QuoteItemOptionValue(const std::wstring& value);

// ---- Row operations (any thread) ----------------------------------------------------------------

// The row's check box: ticked unless its state image is the unticked one.
bool IsDownloadRowTicked(HWND list, int row);
void SetDownloadRowTicked(HWND list, int row, bool ticked);

// Inserts the 11 columns into an empty report-view list.
bool InsertDownloadListColumns(HWND list);

// Runs the step on the list's thread and returns after it; false when it could not be run (another
// thread, and the list's parent did not handle kMsgDownloadRowStep).
bool RunDownloadRowStep(HWND list, const std::function<void()>& step);
// For the procedure of the list's parent: true when the message was kMsgDownloadRowStep (then it ran
// and result is set).
bool HandleDownloadRowStep(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

bool SetDownloadItemStatus(HWND list, WORD status, int row);
// The one way to change kind flags: column 5 and the low half of the item data together.
bool MakeItemStateText(WORD flags, HWND list, int row);
bool AddDownloadItemFlags(HWND list, int row, WORD bits);
bool RemoveDownloadItemFlags(HWND list, int row, WORD bits);

bool IsDownloadItemDeleted(HWND list, int row, const std::wstring& mark = DownloadDeletedMark());
// Whether the row is a deleted error row (the deleted mark as a whole argument).
bool HasItemOptionText(HWND list, int row);
// Appends word + value to column 9; false (nothing changed) when the word is already there.
bool AddItemOptionWord(const std::wstring& word, HWND list, int row, const std::wstring& value);
bool MarkDownloadItemDeleted(HWND list, int row);

std::vector<std::wstring> GetItemAddOptions(HWND list, int row);
std::wstring GetItemOption(HWND list, int row, const std::wstring& prefix);

std::wstring GetItemSavePath(HWND list, int row);
std::wstring GetItemFilePath(HWND list, int row);
// Where the row's comment, information and thumbnail files go: the main settings' common folder while
// SaveCommonDir is on, else column 6.
std::wstring GetItemSaveFolder(HWND list, int row);
// The folder template of those files: FoldernameFormat when the row has its own folder (0x400) or both
// SaveCommonDir and CreateFolderEveryVideo are on; else empty.
std::wstring GetItemFolderFormat(HWND list, int row);
// The first of columns 0 to 10 that names an existing file (not a folder); empty when none does.
std::wstring FindItemFile(HWND list, int row);
// The first row whose column 1 is the id exactly, or -1.
int FindRowById(HWND list, const std::wstring& id);
// Unticks every waiting row; always true.
bool UncheckWaitingItems(HWND list);

// For the list's label-edit control: WM_NOTIFY with the code to the list's parent, as from the list
// (control 2010), for its focused row, with the edit control's handle as the item's lParam.
LRESULT SendListNotify(HWND edit, UINT code);
