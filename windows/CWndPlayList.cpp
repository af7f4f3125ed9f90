#include "windows/CWndPlayList.h"

#include "foundation/AppSettings.h"

#include <cstdlib>

namespace {

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

} // namespace

void CWndPlayList::Clear(bool confirm) {
    if (confirm && MessageBoxW(GetHandle(), L"このファイルのリストデータを全てクリアしますか？",
                               GetAppSettings().appName.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    m_files.clear();
}

int CWndPlayList::IndexOf(const std::wstring& path) const {
    for (const std::wstring* wanted : {&path, &m_playing}) {
        for (size_t i = 0; i < m_files.size(); ++i) {
            if (SamePath(m_files[i], *wanted)) {
                return static_cast<int>(i);
            }
        }
    }
    return -1;
}

std::wstring CWndPlayList::GetPrevFile(const std::wstring& current) {
    const int index = IndexOf(current);
    return index > 0 ? m_files[static_cast<size_t>(index - 1)] : std::wstring();
}

std::wstring CWndPlayList::GetNextFile(const std::wstring& current) {
    const int index = IndexOf(current);
    // A file outside the list starts it from its first entry.
    const size_t next = static_cast<size_t>(index + 1);
    return next < m_files.size() ? m_files[next] : std::wstring();
}

std::wstring CWndPlayList::GetRandomFile(const std::wstring& current) {
    const int index = IndexOf(current);
    const size_t others = m_files.size() - (index >= 0 ? 1 : 0);
    if (others == 0) {
        return std::wstring();
    }
    size_t pick = static_cast<size_t>(std::rand()) % others;
    if (index >= 0 && pick >= static_cast<size_t>(index)) {
        ++pick;
    }
    return m_files[pick];
}

LRESULT CWndPlayList::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if ((message == kMsgPlaylistAddFile || message == kMsgPlaylistPlayingFile) && wParam != 0) {
        const std::wstring path = reinterpret_cast<const wchar_t*>(wParam);
        if (message == kMsgPlaylistAddFile) {
            m_files.push_back(path);
        } else {
            m_playing = path;
        }
        return TRUE;
    }
    return CToolWindow::WndProc(window, message, wParam, lParam);
}

CWndPlayList& GetPlayListWindow() {
    static CWndPlayList window;
    return window;
}
