#pragma once
// The system's file and folder dialogs. UI thread (COM initialised for the folder dialog's new style).

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// Entries of the file-type box: (description, pattern), the pattern as "*.m3u" or "*.txt;*.dat".
using FileDialogFilter = std::vector<std::pair<std::wstring, std::wstring>>;

// The open-file dialog for an existing file; true with its path, false when cancelled.
bool ShowOpenFileDialog(HWND owner, std::wstring& path, const FileDialogFilter& filter);
// The save-file dialog starting with initialName; true with the chosen path.
bool ShowSaveFileDialog(const std::wstring& initialName, const FileDialogFilter& filter, HWND owner,
                        std::wstring& path);
// The folder dialog (BIF_... flags), starting at initialFolder unless it is empty. A chosen folder gives
// true with its file-system path (false when it has none); a cancelled dialog gives true with an empty path.
bool ShowFolderDialog(const std::wstring& title, const std::wstring& initialFolder, HWND owner, std::wstring& path,
                      UINT flags);
