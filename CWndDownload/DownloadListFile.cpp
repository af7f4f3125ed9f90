#include "CWndDownload/DownloadListFile.h"

#include "CWndDownload/DownloadListRow.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CSectionFile.h"
#include "foundation/ListView.h"
#include "foundation/PathUtil.h"
#include "foundation/PrivateMessages.h"
#include "foundation/StringUtil.h"
#include "foundation/TextFile.h"
#include "foundation/WaitDispatching.h"
#include "foundation/WindowUtil.h"

#include <boost/lexical_cast.hpp>

#include <commctrl.h>

#include <algorithm>
#include <deque>

const wchar_t kDownloadListLoadingSuffix[] = L" - 読み込み中...";

namespace {

const wchar_t kCommaEscape[] = L"\\\\COMMA\\\\";
const wchar_t kExceptSection[] = L"ExceptDownload";
const wchar_t kExceptWordSection[] = L"ExceptWordDownload";
constexpr size_t kFieldCount = 7;
const wchar_t kUnreadList[] = L"リストファイルを読み込めませんでした : ";
const wchar_t kUnreadListNotSaved[] = L"ダウンロードリストを読み込めなかったため保存しません : ";
// Lines added per step on the list's thread: few enough that the window stays responsive between
// steps, many enough that the steps' round trips cost little beside the rows.
constexpr size_t kLinesPerStep = 200;

std::wstring EscapeField(std::wstring text) {
    ReplaceAll(text, L",", kCommaEscape);
    for (wchar_t& c : text) {
        if (c == L'\r' || c == L'\n') {
            c = L' ';
        }
    }
    return text;
}

std::wstring UnescapeField(std::wstring text) {
    ReplaceAll(text, kCommaEscape, L",");
    return text;
}

std::wstring AbsoluteField(const std::wstring& path, const std::wstring& programFolder) {
    return path.empty() ? path : GetAbsolutePath(programFolder, path, true);
}

int RowCount(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

// The saved lists that exist but could not be read at their load (held open by another program, no
// access, a read error). The window's list then lacks their rows, so no save may replace them.
class CUnreadLists {
public:
    void Note(const std::wstring& path, bool unread) {
        CAutoLock lock(m_lock);
        if (unread) {
            m_paths.insert(ToLower(path));
        } else {
            m_paths.erase(ToLower(path));
        }
    }
    bool Holds(const std::wstring& path) const {
        CAutoLock lock(m_lock);
        return m_paths.count(ToLower(path)) != 0;
    }

private:
    mutable CCritSec m_lock;
    std::unordered_set<std::wstring> m_paths;
};

CUnreadLists& UnreadLists() {
    static CUnreadLists lists;
    return lists;
}

// The loads asked for and not ended, in the order they were asked for; the first one runs. A load
// waits on its own event, which is set when it becomes the first.
class CLoadQueue {
public:
    CLoadQueue() : m_idle(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

    void Enter(const void* load, HANDLE turn) {
        CAutoLock lock(m_lock);
        m_loads.push_back({load, turn});
        if (m_loads.size() == 1) {
            SetEvent(turn);
        }
        ResetEvent(m_idle.Get());
    }
    void Leave(const void* load) {
        CAutoLock lock(m_lock);
        const bool wasFirst = !m_loads.empty() && m_loads.front().load == load;
        m_loads.erase(std::remove_if(m_loads.begin(), m_loads.end(), [load](const Entry& e) { return e.load == load; }),
                      m_loads.end());
        if (m_loads.empty()) {
            SetEvent(m_idle.Get());
        } else if (wasFirst) {
            SetEvent(m_loads.front().turn);
        }
    }
    bool IsLoading() const {
        CAutoLock lock(m_lock);
        return !m_loads.empty();
    }
    HANDLE Idle() const { return m_idle.Get(); }

    // Brings the window's look in line with the count; on the list's thread only.
    void ShowState(const DownloadListTarget& target) {
        const bool loading = IsLoading();
        const std::wstring caption = loading ? target.caption + kDownloadListLoadingSuffix : target.caption;
        if (GetWindowTextString(target.window) != caption) {
            SetWindowTextW(target.window, caption.c_str());
        }
        if (loading == m_shownLoading) {
            return;
        }
        m_shownLoading = loading;
        EnableWindow(target.list, loading ? FALSE : TRUE);
        SendMessageW(target.list, WM_SETREDRAW, loading ? FALSE : TRUE, 0);
        if (!loading) {
            InvalidateRect(target.list, nullptr, TRUE);
        }
    }

private:
    struct Entry {
        const void* load;
        HANDLE turn;
    };
    mutable CCritSec m_lock;
    std::deque<Entry> m_loads;
    CEventHandle m_idle; // set while no load is counted
    bool m_shownLoading = false;
};

CLoadQueue& Loads() {
    static CLoadQueue queue;
    return queue;
}

void ShowLoadState(const DownloadListTarget& target) {
    if (target.list != nullptr) {
        RunDownloadRowStep(target.list, [&target] { Loads().ShowState(target); });
    }
}

class CLowestPriority {
public:
    CLowestPriority() : m_previous(GetThreadPriority(GetCurrentThread())) {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
    }
    ~CLowestPriority() {
        if (m_previous != THREAD_PRIORITY_ERROR_RETURN) {
            SetThreadPriority(GetCurrentThread(), m_previous);
        }
    }
    CLowestPriority(const CLowestPriority&) = delete;
    CLowestPriority& operator=(const CLowestPriority&) = delete;

private:
    int m_previous;
};

struct LoadedLine {
    DownloadListLine row;
    DWORD flags = 0;
};

// Adds the line's row and fills its cells. Runs on the list's thread, as one step with the add, so
// the row the add appended is still the last one: no other add can come in between.
void AddLoadedRow(const DownloadListTarget& target, const LoadedLine& line, DownloadListSource source) {
    const DownloadListLine& row = line.row;
    const std::vector<std::wstring> texts{row.id, row.folder};
    const bool added = target.addRow ? target.addRow(texts, line.flags, source)
                                     : SendMessageW(target.window, kMsgDownloadAddItem,
                                                    reinterpret_cast<WPARAM>(&texts), line.flags) == 1;
    if (!added) {
        return;
    }
    const HWND list = target.list;
    const int last = RowCount(list) - 1;
    if (last < 0) {
        return;
    }
    SetListItemText(row.title, kDownloadColumnTitle, list, last);
    SetListItemText(row.videoPath, kDownloadColumnVideoPath, list, last);
    SetListItemText(row.commentPath, kDownloadColumnCommentPath, list, last);
    // A user's line may give its options after the ID and no seventh field; the options the add kept
    // then stay (a saved line's first field never holds a blank).
    if (!row.addData.empty() || row.id.find(L' ') == std::wstring::npos) {
        SetListItemText(row.addData, kDownloadColumnAddData, list, last);
    }
    if (HasItemOptionText(list, last)) {
        SetDownloadItemStatus(list, kDownloadStatusError, last);
    }
    // The window's check-change handling must see the row go from unticked to ticked.
    if (IsDownloadRowTicked(list, last)) {
        SetDownloadRowTicked(list, last, false);
        SetDownloadRowTicked(list, last, true);
    }
}

// The rows as the file stores them, read in one go on the list's thread.
std::vector<DownloadListLine> ReadRows(HWND list) {
    const int count = RowCount(list);
    std::vector<DownloadListLine> rows(static_cast<size_t>(count > 0 ? count : 0));
    for (int row = 0; row < count; ++row) {
        WORD flags = GetItemFlagsOf(GetListItemParam(list, row));
        flags = IsDownloadRowTicked(list, row) ? static_cast<WORD>(flags | kDownloadKindBase)
                                               : static_cast<WORD>(flags & ~kDownloadKindBase);
        DownloadListLine& line = rows[static_cast<size_t>(row)];
        line.id = GetListItemText(list, row, kDownloadColumnId);
        line.flagsText = std::to_wstring(flags);
        line.folder = GetListItemText(list, row, kDownloadColumnSaveFolder);
        line.title = GetListItemText(list, row, kDownloadColumnTitle);
        line.videoPath = GetListItemText(list, row, kDownloadColumnVideoPath);
        line.commentPath = GetListItemText(list, row, kDownloadColumnCommentPath);
        line.addData = GetListItemText(list, row, kDownloadColumnAddData);
    }
    return rows;
}

} // namespace

std::wstring FormatDownloadListLine(const DownloadListLine& row, const std::wstring& programFolder) {
    const std::wstring title = row.title == DownloadTitlePlaceholder() ? std::wstring() : row.title;
    std::wstring line = EscapeField(row.id);
    line += L',';
    line += row.flagsText;
    line += L',';
    line += EscapeField(MakeRelativePath(row.folder, programFolder));
    line += L',';
    line += EscapeField(title);
    line += L',';
    line += EscapeField(MakeRelativePath(row.videoPath, programFolder));
    line += L',';
    line += EscapeField(MakeRelativePath(row.commentPath, programFolder));
    line += L',';
    line += EscapeField(row.addData);
    return line;
}

bool ParseDownloadListLine(const std::wstring& line, const std::wstring& programFolder, DownloadListLine& row) {
    row = DownloadListLine{};
    std::vector<std::wstring> fields = Split(line, L",", false);
    fields.resize(kFieldCount);
    row.id = UnescapeField(fields[0]);
    row.flagsText = fields[1];
    row.folder = AbsoluteField(UnescapeField(fields[2]), programFolder);
    row.title = UnescapeField(fields[3]);
    row.videoPath = AbsoluteField(UnescapeField(fields[4]), programFolder);
    row.commentPath = AbsoluteField(UnescapeField(fields[5]), programFolder);
    row.addData = UnescapeField(fields[6]);
    return !row.id.empty();
}

DWORD ParseDownloadListFlags(const std::wstring& flagsText, std::wstring& error) {
    error.clear();
    if (flagsText.empty()) {
        return 0;
    }
    try {
        return static_cast<DWORD>(boost::lexical_cast<int>(flagsText)) + 0x10000;
    } catch (const boost::bad_lexical_cast& e) {
        error = AnsiToWide(e.what()) + L" : " + flagsText;
        return 0;
    }
}

std::wstring GetExceptLineKey(const std::wstring& line) {
    return line.substr(0, line.find_first_of(L" #\r\n\t"));
}

std::vector<std::wstring> CDownloadExceptList::Snapshot() const {
    CAutoLock lock(m_lock);
    return m_lines;
}

void CDownloadExceptList::Replace(std::vector<std::wstring> lines) {
    CAutoLock lock(m_lock);
    m_lines = std::move(lines);
    m_keys.clear();
    m_keysBuilt = false;
}

void CDownloadExceptList::Append(const std::wstring& line) {
    CAutoLock lock(m_lock);
    m_lines.push_back(line);
    if (m_keysBuilt) {
        std::wstring key = GetExceptLineKey(line);
        if (!key.empty()) {
            m_keys.insert(std::move(key));
        }
    }
}

void CDownloadExceptList::Merge(const std::vector<std::wstring>& lines) {
    CAutoLock lock(m_lock);
    std::unordered_set<std::wstring> held(m_lines.begin(), m_lines.end());
    for (const std::wstring& line : lines) {
        if (line.empty() || !held.insert(line).second) {
            continue;
        }
        m_lines.push_back(line);
        if (m_keysBuilt) {
            std::wstring key = GetExceptLineKey(line);
            if (!key.empty()) {
                m_keys.insert(std::move(key));
            }
        }
    }
}

std::vector<std::wstring> CDownloadExceptList::RemoveDuplicates() {
    CAutoLock lock(m_lock);
    RemoveDuplicateStrings(m_lines);
    return m_lines;
}

bool CDownloadExceptList::ContainsKey(const std::wstring& key) const {
    if (key.empty()) {
        return false;
    }
    CAutoLock lock(m_lock);
    if (!m_keysBuilt) {
        for (const std::wstring& line : m_lines) {
            std::wstring lineKey = GetExceptLineKey(line);
            if (!lineKey.empty()) {
                m_keys.insert(std::move(lineKey));
            }
        }
        m_keysBuilt = true;
    }
    return m_keys.count(key) != 0;
}

CDownloadExceptList& GetDownloadExceptList() {
    static CDownloadExceptList list;
    return list;
}

CDownloadExceptList& GetDownloadExceptWordList() {
    static CDownloadExceptList list;
    return list;
}

void ReadDownloadExceptLists(const std::wstring& settingsDatPath) {
    const CSectionFile settings(settingsDatPath);
    GetDownloadExceptList().Replace(settings.ReadSectionLines(kExceptSection, true));
    GetDownloadExceptWordList().Replace(settings.ReadSectionLines(kExceptWordSection, true));
}

bool SaveDownloadList(const DownloadListTarget& target, const std::wstring& path, bool automatic,
                      const std::atomic<bool>* stop) {
    const auto stopped = [stop] { return stop != nullptr && stop->load(); };
    if (IsDownloadListLoading()) {
        return false;
    }
    if (UnreadLists().Holds(path)) {
        DebugLog() << kUnreadListNotSaved << path << EndLine;
        return true;
    }
    // Asked again on the list's thread, where the window counts its loads: a load asked for after the
    // first look is either counted now or starts after the rows were read.
    bool loading = false;
    std::vector<DownloadListLine> rows;
    if (!RunDownloadRowStep(target.list, [&] {
            loading = IsDownloadListLoading();
            if (!loading && !stopped()) {
                rows = ReadRows(target.list);
            }
        })) {
        // The window is gone: an empty list read from it is no list to write.
        return true;
    }
    if (loading) {
        return false;
    }
    if (stopped()) {
        return true;
    }
    if (!automatic) {
        // The stored entries join this run's first: nothing in the program takes an entry out, and
        // the read at the window's creation may have failed (the file held open by another program),
        // so the close never writes fewer entries than the file holds.
        const CSectionFile settings(target.settingsDatPath);
        GetDownloadExceptList().Merge(settings.ReadSectionLines(kExceptSection, true));
        const std::vector<std::wstring> lines = GetDownloadExceptList().RemoveDuplicates();
        CSectionFile(target.settingsDatPath).SetSection(kExceptSection, JoinStrings(lines, L"\n"));
    }

    std::wstring text;
    for (const DownloadListLine& row : rows) {
        text += FormatDownloadListLine(row, target.programFolder);
        text += L'\n';
    }
    if (stopped()) {
        return true;
    }
    // The file is replaced only once the whole text is written, never left cut.
    WriteTextFile(path, text);
    if (target.debugMode) {
        DebugLog() << L"ダウンロードリスト保存 : " << path << EndLine;
    }
    return true;
}

CDownloadListLoad::CDownloadListLoad(const DownloadListTarget& target)
    : m_target(target), m_turn(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    if (m_target.caption.empty()) {
        m_target.caption = GetWindowTextString(m_target.window);
        const size_t suffix = m_target.caption.find(kDownloadListLoadingSuffix);
        if (suffix != std::wstring::npos) {
            m_target.caption.erase(suffix);
        }
    }
    Loads().Enter(this, m_turn.Get());
    m_counted = true;
    ShowLoadState(m_target);
}

CDownloadListLoad::~CDownloadListLoad() {
    Leave();
}

void CDownloadListLoad::Leave() {
    if (m_counted) {
        m_counted = false;
        Loads().Leave(this);
        ShowLoadState(m_target);
    }
    // The window waits for this notice to take the adds it held back.
    if (!m_reported) {
        m_reported = true;
        PostMessageW(m_target.window, kMsgDownloadListLoaded, 0, 0);
    }
}

bool CDownloadListLoad::Run(const std::wstring& path, DownloadListSource source) {
    if (!m_counted) {
        return false;
    }
    WaitForSingleObject(m_turn.Get(), INFINITE);
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Leave();
        return false;
    }
    CLowestPriority priority;

    // The file's except lists join this run's entries (the window read the stored ones at its
    // creation; an item ended or a row removed since may have added more).
    const CSectionFile settings(m_target.settingsDatPath);
    GetDownloadExceptList().Merge(settings.ReadSectionLines(kExceptSection, true));
    GetDownloadExceptWordList().Merge(settings.ReadSectionLines(kExceptWordSection, true));

    std::wstring text;
    const bool unread = ReadTextFileChecked(path, text) == TextFileStatus::Failed;
    if (source == DownloadListSource::SavedList) {
        UnreadLists().Note(path, unread);
    }
    if (unread) {
        DebugLog() << kUnreadList << path << EndLine;
    }
    std::vector<LoadedLine> lines;
    for (const std::wstring& lineText : Split(text, L"\n", true)) {
        LoadedLine line;
        if (!ParseDownloadListLine(lineText, m_target.programFolder, line.row)) {
            continue;
        }
        std::wstring error;
        line.flags = ParseDownloadListFlags(line.row.flagsText, error);
        if (!error.empty()) {
            DebugLog() << error << EndLine;
        }
        lines.push_back(std::move(line));
    }

    for (size_t first = 0; first < lines.size(); first += kLinesPerStep) {
        const size_t end = std::min(lines.size(), first + kLinesPerStep);
        const std::function<void()> batch = [&] {
            for (size_t i = first; i < end; ++i) {
                AddLoadedRow(m_target, lines[i], source);
            }
        };
        RunDownloadRowStep(m_target.list, [&] {
            if (m_target.runBatch) {
                m_target.runBatch(batch);
            } else {
                batch();
            }
        });
    }
    SendMessageW(m_target.list, LVM_ENSUREVISIBLE, RowCount(m_target.list) - 1, TRUE);
    Leave();
    return true;
}

bool LoadDownloadList(const DownloadListTarget& target, const std::wstring& path, DownloadListSource source) {
    CDownloadListLoad load(target);
    return load.Run(path, source);
}

bool IsDownloadListLoading() {
    return Loads().IsLoading();
}

void WaitForDownloadListLoads() {
    WaitDispatchingSentMessages(Loads().Idle(), INFINITE);
}
