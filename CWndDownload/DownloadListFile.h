#pragma once
// The saved download list "DownList.dat" (one line of up to seven comma-separated fields per row) and
// the except list (the IDs and URLs not to be downloaded again, kept in the section "ExceptDownload"
// of settings.dat). The same reader takes the user's list files: a text of one ID or URL per line is
// a valid list file.
//
// Thread use: the line texts are pure. CDownloadExceptList may be used from any thread (it holds its
// own lock). SaveDownloadList and the loads run on any thread and reach the list only through
// list-view messages and the download window by messages, so the window's thread must be free to
// answer them; a load's Run belongs on a worker (it waits for the loads asked for before it).
//
// Never: tell a running load by the window's caption (it is for display only); save while a load is
// counted (the list is then part old, part new).

#include "foundation/CCritSec.h"
#include "foundation/Handles.h"

#include <windows.h>

#include <atomic>
#include <functional>
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

// The line of a row without its final "\n": "," inside fields escaped, a CR or LF written as a blank
// (it would split the line), paths inside the program folder written relative.
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
    // Appends the lines not held yet (a list file's except list joins this run's entries).
    void Merge(const std::vector<std::wstring>& lines);
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

// Where a list file comes from: the window's own saved list (DownList.dat), whose rows are the
// user's and come back as they were saved, or a list file the user gives, whose rows are new
// additions that the except list guards.
enum class DownloadListSource {
    SavedList,
    UserFile,
};

// What a save and a load need of the download window.
struct DownloadListTarget {
    HWND window = nullptr; // the download window: its caption, the row adds (kMsgDownloadAddItem) and
                           // the end of a load (kMsgDownloadListLoaded) go to it
    HWND list = nullptr;   // its list view
    std::wstring caption;  // the window's normal title, shown again once no load is left
    std::wstring programFolder;
    std::wstring settingsDatPath; // settings.dat, holding the except list
    bool debugMode = false;
    // Adds a line's row, on the list's thread: texts {ID or URL, save folder}, the flag word, and
    // whether the line comes from the saved list; true when a row was added (as the last row). Empty:
    // kMsgDownloadAddItem is sent to the window.
    std::function<bool(const std::vector<std::wstring>& texts, DWORD flags, DownloadListSource source)> addRow;
    // Runs a batch of a load's rows on the list's thread; the window wraps it so that the batch's many
    // list notifications do not each refresh its menus. Empty: the batch runs as it is.
    std::function<void(const std::function<void()>& batch)> runBatch;
};

// Reads the except lists from settings.dat, replacing the in-memory ones (the window's creation,
// whether or not a saved list exists).
void ReadDownloadExceptLists(const std::wstring& settingsDatPath);

// Writes every row to path (and, unless automatic is set, the except list to settings.dat). False
// when nothing was written because a list load is counted (CDownloadListLoad); true otherwise, also
// when writing failed. The rows are read in one step on the list's thread, so the file holds the list
// as it was at one moment. stop, when given and set, ends a save before it writes. A saved list that
// exists but could not be read at its load is never written over in this run (its rows are not in the
// window: one line is logged instead), and a save that writes the except list first merges the stored
// entries into the in-memory ones.
bool SaveDownloadList(const DownloadListTarget& target, const std::wstring& path, bool automatic,
                      const std::atomic<bool>* stop = nullptr);

// One load of a list file into the window. It counts from its construction (when the load is asked
// for) to its end, so that a save asked for meanwhile is refused and the window's close can wait for
// it; loads run one at a time, in the order they were asked for. While any is counted the window's
// caption carries the loading suffix, its list is disabled and not redrawn; after the last one the
// caption is the target's, the list enabled and drawn again.
//
// Run reads the list file into the list (each line's add and the filling of its row in one step on
// the list's thread, RunDownloadRowStep, so the window procedure must hand kMsgDownloadRowStep on)
// and merges the except lists of settings.dat into the in-memory ones; it posts
// kMsgDownloadListLoaded to the window at the end, also when the file is missing (then nothing else
// changes and the result is false). A load destroyed without having run posts it too.
class CDownloadListLoad {
public:
    explicit CDownloadListLoad(const DownloadListTarget& target);
    ~CDownloadListLoad();
    CDownloadListLoad(const CDownloadListLoad&) = delete;
    CDownloadListLoad& operator=(const CDownloadListLoad&) = delete;

    // Waits for the loads asked for earlier, then loads. Once only; on a worker.
    bool Run(const std::wstring& path, DownloadListSource source);

private:
    void Leave();

    DownloadListTarget m_target;
    CEventHandle m_turn; // set when this load is the first one left
    bool m_counted = false;
    bool m_reported = false;
};

// A load counted at once and run on the calling thread (a worker).
bool LoadDownloadList(const DownloadListTarget& target, const std::wstring& path,
                      DownloadListSource source = DownloadListSource::UserFile);
// Whether a load is counted.
bool IsDownloadListLoading();
// Waits until no load is counted, answering the messages sent to this thread meanwhile (the loads
// send their rows to the list's thread).
void WaitForDownloadListLoads();
