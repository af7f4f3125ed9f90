#pragma once
// The NG filter menu: one item per filter file of the filter folder (commands from 600, in name
// order), checked while the file is on, and the loading of the files that are on into the NG filter.
// The setting FilterFile keeps the names of the files switched off, separated by "|", so that a file
// new in the folder is on.
//
// Thread use: UI thread.

#include <windows.h>

#include <string>
#include <vector>

struct FilterEntryRecord;

// The names of the filter files of the folder, sorted.
std::vector<std::wstring> FilterFileNames(const std::wstring& folder);
bool IsFilterFileOn(const std::wstring& name, const std::wstring& offList);
// offList with name switched on or off.
std::wstring SetFilterFileOn(const std::wstring& name, bool on, const std::wstring& offList);

// Rebuilds the items of the menu's filter popup (the popup holding the NG filter switch).
void BuildFilterMenu(HMENU menuBar);
// Loads the files that are on as the global lists of the NG filter.
void ReloadFilters();
// A filter item was chosen: the file is switched, the menu rebuilt and the filters reloaded.
void ToggleFilterFile(HMENU menuBar, UINT command);
// Appends an NG entry to its file and reloads or asks to switch the filter on (kMsgFilterEntry).
void AddFilterEntry(HMENU menuBar, const FilterEntryRecord& record);
