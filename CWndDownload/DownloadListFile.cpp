#include "CWndDownload/DownloadListFile.h"

#include "CWndDownload/DownloadListRow.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CSectionFile.h"
#include "foundation/ListView.h"
#include "foundation/PathUtil.h"
#include "foundation/PrivateMessages.h"
#include "foundation/StringUtil.h"
#include "foundation/TextFile.h"

#include <boost/lexical_cast.hpp>

#include <commctrl.h>

const wchar_t kDownloadListLoadingSuffix[] = L" - 読み込み中...";

namespace {

const wchar_t kCommaEscape[] = L"\\\\COMMA\\\\";
const wchar_t kExceptSection[] = L"ExceptDownload";
const wchar_t kExceptWordSection[] = L"ExceptWordDownload";
constexpr size_t kFieldCount = 7;

std::wstring EscapeField(std::wstring text) {
    ReplaceAll(text, L",", kCommaEscape);
    return text;
}

std::wstring UnescapeField(std::wstring text) {
    ReplaceAll(text, kCommaEscape, L",");
    return text;
}

std::wstring AbsoluteField(const std::wstring& path, const std::wstring& programFolder) {
    return path.empty() ? path : GetAbsolutePath(programFolder, path, true);
}

std::wstring WindowCaption(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int copied = GetWindowTextW(window, &text[0], static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

int RowCount(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

// Two loads at once would each remember the other's loading caption and leave it behind.
CCritSec& LoadLock() {
    static CCritSec lock;
    return lock;
}

// While a load runs the list is disabled and the caption carries the loading suffix; both come back
// however the load ends.
class CLoadingState {
public:
    CLoadingState(HWND window, HWND list) : m_window(window), m_list(list), m_caption(WindowCaption(window)) {
        EnableWindow(m_list, FALSE);
        SetWindowTextW(m_window, (m_caption + kDownloadListLoadingSuffix).c_str());
    }
    ~CLoadingState() {
        SetWindowTextW(m_window, m_caption.c_str());
        EnableWindow(m_list, TRUE);
    }
    CLoadingState(const CLoadingState&) = delete;
    CLoadingState& operator=(const CLoadingState&) = delete;

private:
    HWND m_window;
    HWND m_list;
    std::wstring m_caption;
};

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

// Adds the line's row through the window and fills its cells. Runs on the list's thread, so no other
// add can slip in between and the new row is still the last one.
void AddLoadedRow(const DownloadListTarget& target, const DownloadListLine& row, DWORD flags) {
    std::vector<std::wstring> texts{row.id, row.folder};
    if (SendMessageW(target.window, kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&texts), flags) != 1) {
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
    SetListItemText(row.addData, kDownloadColumnAddData, list, last);
    if (HasItemOptionText(list, last)) {
        SetDownloadItemStatus(list, kDownloadStatusError, last);
    }
    // The window's check-change handling must see the row go from unticked to ticked.
    if (IsDownloadRowTicked(list, last)) {
        SetDownloadRowTicked(list, last, false);
        SetDownloadRowTicked(list, last, true);
    }
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

bool SaveDownloadList(const DownloadListTarget& target, const std::wstring& path, bool automatic,
                      const std::atomic<bool>* stop) {
    if (WindowCaption(target.window).find(kDownloadListLoadingSuffix) != std::wstring::npos) {
        return false;
    }
    if (!automatic) {
        const std::vector<std::wstring> lines = GetDownloadExceptList().RemoveDuplicates();
        CSectionFile(target.settingsDatPath).SetSection(kExceptSection, JoinStrings(lines, L"\n"));
    }

    const HWND list = target.list;
    const int count = RowCount(list);
    std::wstring text;
    for (int row = 0; row < count; ++row) {
        if (stop != nullptr && stop->load()) {
            return true;
        }
        WORD flags = GetItemFlagsOf(GetListItemParam(list, row));
        flags = IsDownloadRowTicked(list, row) ? static_cast<WORD>(flags | kDownloadKindBase)
                                       : static_cast<WORD>(flags & ~kDownloadKindBase);
        DownloadListLine line;
        line.id = GetListItemText(list, row, kDownloadColumnId);
        line.flagsText = std::to_wstring(flags);
        line.folder = GetListItemText(list, row, kDownloadColumnSaveFolder);
        line.title = GetListItemText(list, row, kDownloadColumnTitle);
        line.videoPath = GetListItemText(list, row, kDownloadColumnVideoPath);
        line.commentPath = GetListItemText(list, row, kDownloadColumnCommentPath);
        line.addData = GetListItemText(list, row, kDownloadColumnAddData);
        text += FormatDownloadListLine(line, target.programFolder);
        text += L'\n';
    }
    if (stop != nullptr && stop->load()) {
        return true;
    }

    // The file is replaced only once the whole text is written, never left cut.
    WriteTextFile(path, text);
    if (target.debugMode) {
        DebugLog() << L"ダウンロードリスト保存 : " << path << EndLine;
    }
    return true;
}

bool LoadDownloadList(const DownloadListTarget& target, const std::wstring& path) {
    CAutoLock serial(LoadLock());
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        PostMessageW(target.window, kMsgDownloadListLoaded, 0, 0);
        return false;
    }
    CLowestPriority priority;
    {
        CLoadingState loading(target.window, target.list);

        const CSectionFile settings(target.settingsDatPath);
        GetDownloadExceptList().Replace(settings.ReadSectionLines(kExceptSection, true));
        GetDownloadExceptWordList().Replace(settings.ReadSectionLines(kExceptWordSection, true));

        std::wstring text;
        ReadTextFile(path, text);
        for (const std::wstring& line : Split(text, L"\n", true)) {
            DownloadListLine row;
            if (!ParseDownloadListLine(line, target.programFolder, row)) {
                continue;
            }
            std::wstring error;
            const DWORD flags = ParseDownloadListFlags(row.flagsText, error);
            if (!error.empty()) {
                DebugLog() << error << EndLine;
            }
            RunDownloadRowStep(target.list, [&] { AddLoadedRow(target, row, flags); });
        }
    }
    SendMessageW(target.list, LVM_ENSUREVISIBLE, RowCount(target.list) - 1, TRUE);
    PostMessageW(target.window, kMsgDownloadListLoaded, 0, 0);
    return true;
}
