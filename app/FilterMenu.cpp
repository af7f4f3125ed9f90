#include "app/FilterMenu.h"

#include "app/MainWindow.h"
#include "app/resource.h"
#include "engine/CCommentFilter.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/PathUtil.h"

#include <algorithm>

namespace {

std::vector<std::wstring> SplitOffList(const std::wstring& offList) {
    std::vector<std::wstring> names;
    size_t start = 0;
    while (start <= offList.size()) {
        const size_t end = std::min(offList.find(L'|', start), offList.size());
        if (end > start) {
            names.push_back(offList.substr(start, end - start));
        }
        start = end + 1;
    }
    return names;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

HMENU FilterPopup(HMENU menuBar) {
    const int count = GetMenuItemCount(menuBar);
    for (int i = 0; i < count; ++i) {
        HMENU popup = GetSubMenu(menuBar, i);
        if (popup != nullptr && GetMenuState(popup, IDM_ENABLE_FILTER, MF_BYCOMMAND) != static_cast<UINT>(-1)) {
            return popup;
        }
    }
    return nullptr;
}

// The item of the file in the built menu; 0 when it has none.
UINT CommandOfFile(HMENU menuBar, const std::wstring& name) {
    const std::vector<std::wstring> files = FilterFileNames(GetAppSettings().filterFolder);
    HMENU popup = FilterPopup(menuBar);
    for (size_t i = 0; i < files.size() && i <= IDM_FILTER_LAST - IDM_FILTER_FIRST; ++i) {
        const UINT command = IDM_FILTER_FIRST + static_cast<UINT>(i);
        if (SameName(files[i], name) && popup != nullptr &&
            GetMenuState(popup, command, MF_BYCOMMAND) != static_cast<UINT>(-1)) {
            return command;
        }
    }
    return 0;
}

void SwitchFile(const std::wstring& name, bool on) {
    AppSettings& settings = GetAppSettings();
    settings.FilterFile = SetFilterFileOn(name, on, settings.FilterFile);
}

} // namespace

std::vector<std::wstring> FilterFileNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const std::wstring& path : ListFilterFiles(folder)) {
        names.push_back(GetFileName(path));
    }
    std::sort(names.begin(), names.end(),
              [](const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) < 0; });
    return names;
}

bool IsFilterFileOn(const std::wstring& name, const std::wstring& offList) {
    const std::vector<std::wstring> off = SplitOffList(offList);
    return std::none_of(off.begin(), off.end(), [&](const std::wstring& n) { return SameName(n, name); });
}

std::wstring SetFilterFileOn(const std::wstring& name, bool on, const std::wstring& offList) {
    std::vector<std::wstring> off = SplitOffList(offList);
    off.erase(std::remove_if(off.begin(), off.end(), [&](const std::wstring& n) { return SameName(n, name); }),
              off.end());
    if (!on) {
        off.push_back(name);
    }
    std::wstring joined;
    for (const std::wstring& n : off) {
        joined += (joined.empty() ? L"" : L"|") + n;
    }
    return joined;
}

void BuildFilterMenu(HMENU menuBar) {
    HMENU popup = FilterPopup(menuBar);
    if (popup == nullptr) {
        return;
    }
    for (UINT command = IDM_FILTER_FIRST; command <= IDM_FILTER_LAST; ++command) {
        DeleteMenu(popup, command, MF_BYCOMMAND);
    }
    const AppSettings& settings = GetAppSettings();
    const std::vector<std::wstring> files = FilterFileNames(settings.filterFolder);
    for (size_t i = 0; i < files.size() && i <= IDM_FILTER_LAST - IDM_FILTER_FIRST; ++i) {
        const UINT flags = MF_STRING | (IsFilterFileOn(files[i], settings.FilterFile) ? MF_CHECKED : MF_UNCHECKED);
        AppendMenuW(popup, flags, IDM_FILTER_FIRST + i, files[i].c_str());
    }
}

void ReloadFilters() {
    const AppSettings& settings = GetAppSettings();
    std::vector<std::wstring> paths;
    for (const std::wstring& name : FilterFileNames(settings.filterFolder)) {
        if (IsFilterFileOn(name, settings.FilterFile)) {
            paths.push_back(settings.filterFolder + L"\\" + name);
        }
    }
    GetCommentFilter().LoadFilterFiles(paths);
}

void ToggleFilterFile(HMENU menuBar, UINT command) {
    const std::vector<std::wstring> files = FilterFileNames(GetAppSettings().filterFolder);
    const size_t index = command - IDM_FILTER_FIRST;
    if (index >= files.size()) {
        return;
    }
    SwitchFile(files[index], !IsFilterFileOn(files[index], GetAppSettings().FilterFile));
    BuildFilterMenu(menuBar);
    ReloadFilters();
}

void AddFilterEntry(HMENU menuBar, const FilterEntryRecord& record) {
    AppSettings& settings = GetAppSettings();
    CreateDirectoryW(settings.filterFolder.c_str(), nullptr);
    if (!AppendFilterEntry(settings.filterFolder + L"\\" + record.fileName, record.kind, record.value)) {
        DebugLog() << L"フィルタの追加に失敗しました" << EndLine;
        return;
    }
    // A file the entry has just made gets its item first.
    BuildFilterMenu(menuBar);
    if (CommandOfFile(menuBar, record.fileName) == 0) {
        DebugLog() << L"フィルタメニューが見つかりませんでした" << EndLine;
        return;
    }
    if (settings.EnableFilter && IsFilterFileOn(record.fileName, settings.FilterFile)) {
        if (record.reloadNow != 0) {
            ReloadFilters();
        }
        return;
    }
    if (MessageBoxW(record.owner, L"現在フィルタの設定は無効になっています。設定を有効にしますか？",
                    settings.appName.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES) {
        SwitchFile(record.fileName, true);
        settings.EnableFilter = true;
        BuildFilterMenu(menuBar);
        ReloadFilters();
    }
}
