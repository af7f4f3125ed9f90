#include "app/RecentFiles.h"

#include "app/resource.h"
#include "foundation/AppSettings.h"
#include "foundation/CSectionFile.h"
#include "foundation/StringUtil.h"

#include <algorithm>

namespace {
const wchar_t kSection[] = L"RecentOpenFile";
}

void RecentFiles::Load(const std::wstring& settingsDatPath) {
    m_files = CSectionFile(settingsDatPath).ReadSectionLines(kSection, true);
    RemoveDuplicateStrings(m_files);
    if (m_files.size() > kMaxFiles) {
        m_files.resize(kMaxFiles);
    }
}

void RecentFiles::Save(const std::wstring& settingsDatPath) const {
    CSectionFile(settingsDatPath).SetSectionLines(kSection, m_files);
}

void RecentFiles::Add(const std::wstring& path) {
    if (GetAppSettings().RecentOpenFileNotMemorize || path.empty()) {
        return;
    }
    m_files.erase(std::remove(m_files.begin(), m_files.end(), path), m_files.end());
    m_files.insert(m_files.begin(), path);
    if (m_files.size() > kMaxFiles) {
        m_files.resize(kMaxFiles);
    }
}

void RecentFiles::FillMenu(HMENU menu) const {
    if (menu == nullptr) {
        return;
    }
    for (UINT id = IDM_RECENT_FIRST; id <= IDM_RECENT_LAST; ++id) {
        DeleteMenu(menu, id, MF_BYCOMMAND);
    }
    // A separator between the files and the clear item, when there are files.
    const int count = GetMenuItemCount(menu);
    if (count > 1) {
        DeleteMenu(menu, count - 2, MF_BYPOSITION);
    }
    for (size_t i = 0; i < m_files.size(); ++i) {
        const std::wstring text = L"&" + std::to_wstring((i + 1) % 10) + L" " + m_files[i];
        InsertMenuW(menu, static_cast<UINT>(i), MF_BYPOSITION | MF_STRING, IDM_RECENT_FIRST + i, text.c_str());
    }
    if (!m_files.empty()) {
        InsertMenuW(menu, static_cast<UINT>(m_files.size()), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    }
}

RecentFiles& GetRecentFiles() {
    static RecentFiles files;
    return files;
}
