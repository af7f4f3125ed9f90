#pragma once
// The recently opened files: kept in section "RecentOpenFile" of settings.dat, newest first, and shown
// in the File menu's sub-menu. UI thread.

#include <windows.h>

#include <string>
#include <vector>

class RecentFiles {
public:
    static constexpr size_t kMaxFiles = 20;

    void Load(const std::wstring& settingsDatPath);
    void Save(const std::wstring& settingsDatPath) const;
    // Puts the path first (once); nothing when remembering is switched off.
    void Add(const std::wstring& path);
    void Clear() { m_files.clear(); }
    const std::vector<std::wstring>& Files() const { return m_files; }
    // Rebuilds the items of the sub-menu (commands 8110 onwards) before its clear item.
    void FillMenu(HMENU menu) const;

private:
    std::vector<std::wstring> m_files;
};

RecentFiles& GetRecentFiles();
