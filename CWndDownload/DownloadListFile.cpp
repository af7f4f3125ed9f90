#include "CWndDownload/DownloadListFile.h"

#include "foundation/PrivateMessages.h"

const wchar_t kDownloadListLoadingSuffix[] = L" - 読み込み中...";

std::wstring FormatDownloadListLine(const DownloadListLine& row, const std::wstring&) {
    return row.id;
}

bool ParseDownloadListLine(const std::wstring& line, const std::wstring&, DownloadListLine& row) {
    row = DownloadListLine{};
    row.id = line;
    return !line.empty();
}

DWORD ParseDownloadListFlags(const std::wstring&, std::wstring& error) {
    error.clear();
    return 0;
}

std::vector<std::wstring> CDownloadExceptList::Snapshot() const {
    CAutoLock lock(m_lock);
    return m_lines;
}

void CDownloadExceptList::Replace(std::vector<std::wstring> lines) {
    CAutoLock lock(m_lock);
    m_lines = std::move(lines);
}

void CDownloadExceptList::Append(const std::wstring& line) {
    CAutoLock lock(m_lock);
    m_lines.push_back(line);
}

std::vector<std::wstring> CDownloadExceptList::RemoveDuplicates() {
    CAutoLock lock(m_lock);
    return m_lines;
}

CDownloadExceptList& GetDownloadExceptList() {
    static CDownloadExceptList list;
    return list;
}

CDownloadExceptList& GetDownloadExceptWordList() {
    static CDownloadExceptList list;
    return list;
}

bool SaveDownloadList(const DownloadListTarget&, const std::wstring&, bool, const std::atomic<bool>*) {
    return true;
}

bool LoadDownloadList(const DownloadListTarget& target, const std::wstring&) {
    PostMessageW(target.window, kMsgDownloadListLoaded, 0, 0);
    return false;
}
