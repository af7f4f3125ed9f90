#pragma once
// The saved download list "DownList.dat" (one line of up to seven comma-separated fields per row) and
// the except list (the IDs and URLs not to be downloaded again, kept in the section "ExceptDownload"
// of settings.dat). The same reader takes the user's list files: a text of one ID or URL per line is
// a valid list file.
//
// Thread use: the line texts are pure. CDownloadExceptList may be used from any thread (it holds its
// own lock). SaveDownloadList and LoadDownloadList run on any thread and reach the list only through
// list-view messages and the download window by messages, so the window's thread must be free to
// answer them; LoadDownloadList belongs on a worker (it waits for a load running on another thread).

#include "foundation/CCritSec.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <unordered_set>
#include <vector>

// Appended to the download window's caption while a list is being read; a save refuses to run then.
extern const wchar_t kDownloadListLoadingSuffix[];

// One line of the list, as written and as read back (paths absolute).
struct DownloadListLine {
    std::wstring id;          // field 1: ID or URL (what the adding routine is given)
    std::wstring flagsText;   // field 2 as written: the kind flags in decimal
    std::wstring folder;      // field 3: the save folder
    std::wstring title;       // field 4 (the title placeholder is written as an empty field)
    std::wstring videoPath;   // field 5
    std::wstring commentPath; // field 6
    std::wstring addData;     // field 7
};

// The line of a row without its final "\n": "," inside fields escaped, paths inside the program
// folder written relative.
std::wstring FormatDownloadListLine(const DownloadListLine& row, const std::wstring& programFolder);
// The fields of a line, unescaped and with non-empty paths made absolute; false for a line to skip
// (empty, or an empty first field).
bool ParseDownloadListLine(const std::wstring& line, const std::wstring& programFolder, DownloadListLine& row);
// The flag word the loader adds a line with: 0 for an empty field (the window's check boxes decide),
// else the number + 0x10000 (waiting). A field that is no number gives 0 and error holds the log line.
DWORD ParseDownloadListFlags(const std::wstring& flagsText, std::wstring& error);

// The key an except line names: its leading run of characters up to a blank, "#", tab or line end.
// Empty for a line that begins with one of them (a comment or an indented line), which names nothing.
std::wstring GetExceptLineKey(const std::wstring& line);

// The process-wide except list: lines "ID or URL<TAB># title".
class CDownloadExceptList {
public:
    std::vector<std::wstring> Snapshot() const;
    void Replace(std::vector<std::wstring> lines);
    void Append(const std::wstring& line);
    // Removes later duplicates and returns the lines.
    std::vector<std::wstring> RemoveDuplicates();
    // Whether a line names exactly this key (GetExceptLineKey). The keys are gathered once per change
    // of the lines, so a lookup costs the same for five lines as for five thousand.
    bool ContainsKey(const std::wstring& key) const;

private:
    mutable CCritSec m_lock;
    std::vector<std::wstring> m_lines;
    // Built on the first lookup after a change; empty and not built until then.
    mutable std::unordered_set<std::wstring> m_keys;
    mutable bool m_keysBuilt = false;
};
CDownloadExceptList& GetDownloadExceptList();
CDownloadExceptList& GetDownloadExceptWordList();

// What a save and a load need of the download window.
struct DownloadListTarget {
    HWND window = nullptr; // the download window: its caption, the row adds (kMsgDownloadAddItem) and
                           // the end of a load (kMsgDownloadListLoaded) go to it
    HWND list = nullptr;   // its list view
    std::wstring programFolder;
    std::wstring settingsDatPath; // settings.dat, holding the except list
    bool debugMode = false;
};

// Writes every row to path (and, unless automatic is set, the except list to settings.dat). False
// when nothing was written because a list is being loaded (the caption carries the loading suffix);
// true otherwise, also when writing failed. stop, when given and set, ends a save between rows
// without writing.
bool SaveDownloadList(const DownloadListTarget& target, const std::wstring& path, bool automatic,
                      const std::atomic<bool>* stop = nullptr);

// Reads the list file into the list (each line added through the window's add message, then its
// cells set), and the except lists from settings.dat; posts kMsgDownloadListLoaded to the window at
// the end, also when the file is missing (then nothing else changes and the result is false). Loads
// run one at a time. The add of a line and the filling of its row run as one step on the window's
// thread (RunDownloadRowStep), so the window procedure must hand kMsgDownloadRowStep on.
bool LoadDownloadList(const DownloadListTarget& target, const std::wstring& path);
