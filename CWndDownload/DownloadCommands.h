#pragma once
// The rules behind the download window's commands that need no window: the new order of rows moved
// as a block, the URL box's check, the past-log option the "log" button writes, the texts the copy
// commands put on the clipboard, the rows' colours, and the titles a row may be renamed to. Also the
// door through which the window opens files, folders and URLs outside the program, which a test can
// replace so that nothing is started.
//
// Thread use: the pure functions on any thread; the shell door and the own-clipboard flag on the UI
// thread.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// ---- Moving rows ------------------------------------------------------------------------------------

struct DownloadRowMove {
    // order[newIndex] = the old index of the row that goes there.
    std::vector<int> order;
    // The new index of the first moved row (the moved rows follow it as a block); -1 when none moved.
    int firstPlaced = -1;
    int movedCount = 0;
};
// The selected rows taken out in their order and put back as a block: appended when target is the
// last row, else inserted at target, lowered to the last index of the remaining rows when beyond it.
DownloadRowMove PlanDownloadRowMove(const std::vector<bool>& selected, int target);

// ---- The URL box -------------------------------------------------------------------------------------

struct UrlBoxCheck {
    bool addEnabled = false;
    // When the URL part held line breaks: the text the box gets instead (the URL part without them).
    bool replaceText = false;
    std::wstring replacement;
};
// The URL part (before the first blank) must be a video ID or watch URL, or begin with "http://", and
// the option part's log= value, when given, a valid past-log time.
UrlBoxCheck CheckUrlBoxText(const std::wstring& text);
// Whether the options' log= value is absent or a valid past-log time (seconds since 1970 after
// 2006-09-30 15:00 UTC and not in the future). Unless quiet, an invalid one logs
// "log=の値が正しくありません".
bool IsPastLogOptionValid(const std::wstring& options, bool quiet);

// log="YYYY/MM/DD hh:mm:ss" of the given local time.
std::wstring MakePastLogOption(const SYSTEMTIME& localTime);
struct PastLogEdit {
    std::wstring text;
    // The date inside the option's quotes, selected for the user to overtype.
    int selectionStart = 0;
    int selectionEnd = 0;
};
// Every quoted log= option of the text replaced by option, or option appended (after a blank).
PastLogEdit ApplyPastLogOption(const std::wstring& text, const std::wstring& option);

// ---- Copying -----------------------------------------------------------------------------------------

// What the copy commands read of one row.
struct DownloadCopyRow {
    std::wstring title;    // column 0
    std::wstring key;      // column 1
    std::wstring country;  // the row's country= option
    std::wstring savePath; // GetItemSavePath
};
// The line of one row for a copy command (13500 ID, 13510 and 13900 URL, 13520 title, 13530 file
// name, 13540 path). A key that is a bare video ID (or only digits) copies as its ID and the watch URL
// of the row's country; any other key has no ID and copies as itself.
std::wstring MakeDownloadCopyLine(UINT command, const DownloadCopyRow& row);

// Set just before the window puts text on the clipboard, so that its own clipboard watch ignores that
// change (the watch clears it).
bool& DownloadOwnClipboardWrite();

// ---- Colours -----------------------------------------------------------------------------------------

struct DownloadRowColour {
    bool custom = false; // false: the list's own colours
    COLORREF background = 0;
    COLORREF selectedBackground = 0;
};
// The first matching rule: economy, done, deleted error, error.
DownloadRowColour GetDownloadRowColour(WORD status, WORD flags, bool deleted);

// ---- Renaming ----------------------------------------------------------------------------------------

// Whether a title may become part of a file name: not empty and without path separators or
// characters file names cannot hold (a title holding "..\" would move the files elsewhere).
bool IsTitleUsableInFileName(const std::wstring& title);

// ---- Opening things outside the program ----------------------------------------------------------------

// The window's way out to the shell: a command line started through the shell (a program with its
// arguments, or a file or folder to open), and a URL through the user's open command. Each returns
// whether the start succeeded.
struct DownloadShellDoor {
    std::function<bool(const std::wstring& commandLine)> execute;
    std::function<bool(const std::wstring& url)> openUrl;
};
// The door in use (ExecuteCommandLine and RunUserCommand unless replaced).
DownloadShellDoor& GetDownloadShellDoor();

// ---- Worker records and row flags ----------------------------------------------------------------------

// The first record of the process-wide worker list that runs (state 2) on the row, or -1.
int FindRunningThreadSlot(int row);
// After the row is deleted: every running record on a later row moves up by one.
void ShiftThreadSlotItems(int row);
// Set by the video callback while it cancels a row, so that the list's notice of that write is not
// taken for the user's (cleared by the next change, and by the callback once the write is done).
bool& DownloadSkipNextCheckChange();
// Set while rows are rewritten from saved records (a move), so that the check boxes' reaction ignores
// those writes.
bool& DownloadRowsRewriting();
