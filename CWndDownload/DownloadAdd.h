#pragma once
// The one gate through which every row enters the download list. AddDownloadItem repairs and splits
// the text, takes the item options out of its add data, refuses empty, malformed, kind-less, duplicate
// and excluded items (asking the user where the caller allows questions, logging where it does not)
// and writes the new row. Beside it are the callers' entry points: the add messages 37874-37879, the
// Add command and the Enter key, so that the window procedure only calls them.
//
// Thread use: the list's thread (the UI thread) only; workers reach the gate by the add messages. A
// question runs a modal loop in which other adds may run, so nothing found before a question is
// trusted after it.
//
// Never: remove a replaced row before the add is sure to go through; cut options out of the add data
// as substrings (a quoted value may hold the same letters); run a pattern per row or per except line.

#include "CWndDownload/DownloadListRow.h"
#include "CWndDownload/DownloadSettings.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class CDownloadExceptList;

// The column-1 keys of the list's rows, so that a duplicate test does not read every row of a long
// list for each add. Column 1 is written only when the gate inserts a row; the keys follow the gate's
// own inserts, and any other change of the row count or of the last row's key (a removal, a move)
// makes the next lookup read the list again.
class CDownloadRowKeys {
public:
    // The first row whose column 1 is exactly the key, or -1.
    int FindRow(HWND list, const std::wstring& key);
    // After the gate appended a row with this key as the last row.
    void NoteAppended(HWND list, const std::wstring& key);
    // After keys of rows were rewritten in place: the next look reads the list again.
    void Forget() { m_count = -1; }

private:
    bool IsInStep(HWND list) const;
    void Rebuild(HWND list);

    HWND m_list = nullptr;
    int m_count = -1; // -1: not read yet
    std::wstring m_lastKey;
    std::unordered_map<std::wstring, int> m_keys; // key -> rows holding it
};

// The add kept while the saved list has not been read yet (message 37875), and the flag that ends it.
struct DownloadPendingAdd {
    bool listLoaded = false;
    std::vector<std::wstring> texts;
    DWORD flags = 0;
};

// What the gate needs of the download window; the window fills one for each call.
struct DownloadAddContext {
    // The owner of the message boxes; its title tells whether a list is loading.
    HWND window = nullptr;
    // The download list (control 2010).
    HWND list = nullptr;
    // The URL box: its text for the Add command, the focus after a refusal.
    HWND urlBox = nullptr;
    // The video check box: the focus when no kind was chosen.
    HWND videoCheck = nullptr;
    // Gets kMsgDownloadScheduleSave after every add (null: nothing is sent).
    HWND mainWindow = nullptr;
    // The caption of every box.
    std::wstring appTitle;
    // The window's normal title, without the loading suffix.
    std::wstring caption;
    // GetDownloadKindFlags() of the window: the flag word an add of 0 takes.
    DWORD kindFlags = 0;
    // SavePath and SelectPath (null: GetDownloadSettings()).
    const DownloadSettings* settings = nullptr;
    // Null: nothing is excluded.
    const CDownloadExceptList* exceptList = nullptr;
    // A row of the user's saved list: it comes back as it was saved and is refused only when its text
    // is empty. The other tests guard new additions; a saved row they refused would be gone at the
    // next save.
    bool savedRow = false;
    // Null: the list is read for every duplicate test.
    CDownloadRowKeys* rowKeys = nullptr;
    // Used by QueueAddItem.
    DownloadPendingAdd* pending = nullptr;
    // Removes the row a replacing add takes the place of; true when the row count changed. Empty: the
    // row is selected, focused and deleted from the list.
    std::function<bool(int row)> removeRow;
};

// The add data without every argument that is exactly the word; the other arguments keep their
// spelling (a quoted value holding the same letters is left whole).
std::wstring RemoveItemAddDataWord(const std::wstring& addData, const std::wstring& word);

// The past-log time of a log= value in seconds since 1970 (UTC): three or more digits as they stand, or
// a local date and time "year/month/day[ hour:minute[:second]]" (a two-digit year counts from 2000);
// 0 for a text that is none of these, or for a time not after 2006-09-30 15:00 UTC or in the future.
int64_t ParseLogDate(const std::wstring& text);
// Whether the log= option of an add data is absent or a valid past-log time; unless quiet, an invalid
// one logs "log=の値が正しくありません".
bool ParseLogOption(const std::wstring& addData, bool quiet);

// Adds the text (an ID or URL, optionally a blank and its add data) as a new last row; true when a row
// was added. flags: the item flag word (status in the high word, kinds in the low word), 0 for the
// window's check boxes. quiet: no message boxes (duplicates, excluded IDs and a bad log= value are
// logged; other refusals are silent). askReplace: a key already in the list is offered for replacing,
// also when quiet.
bool AddDownloadItem(const std::wstring& folder, const DownloadAddContext& window, const std::wstring& text,
                     DWORD flags, bool quiet, bool askReplace);

// 37874: texts {ID or URL [with add data], folder, "SameItemReplace" to ask for replacing}, quiet.
bool AddItemFromArgs(const DownloadAddContext& window, const std::vector<std::wstring>& texts, DWORD flags);
// 37875: as 37874 once the saved list is loaded (then the last row is scrolled into view); before,
// the texts and flags become the pending add, replacing an earlier one, and the answer is true.
bool QueueAddItem(const DownloadAddContext& window, const std::vector<std::wstring>& texts, DWORD flags);
// 37876-37879: text and folder as zero-terminated texts (null as empty); on success the last row is
// scrolled into view. 37876 takes the checked kinds quietly without replacing; 37877 comments, 37878
// the video, 37879 the video information, each with the play and playlist boxes' bits, asking.
bool AddUrlWithCheckedKinds(const DownloadAddContext& window, const wchar_t* text, const wchar_t* folder);
bool AddUrlCommentOnly(const DownloadAddContext& window, const wchar_t* text, const wchar_t* folder);
bool AddUrlVideoOnly(const DownloadAddContext& window, const wchar_t* text, const wchar_t* folder);
bool AddUrlVideoInfoOnly(const DownloadAddContext& window, const wchar_t* text, const wchar_t* folder);

// The Add command (2300): the URL box's text with the checked kinds into SavePath (no folder when
// SelectPath is on), rows deselected first; on success the box is emptied and focused and the last
// row scrolled into view.
bool AddFromUrlBox(const DownloadAddContext& window);
// The Enter command (2900): the Add command while the URL box has the focus, else the Enter key to
// the focused control.
void OnEnterCommand(const DownloadAddContext& window);
