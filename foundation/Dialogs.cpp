#include "foundation/Dialogs.h"

#include <commdlg.h>
#include <shlobj.h>

namespace {

// "description\0pattern\0...\0\0", the form the common dialogs read.
std::wstring MakeFilterText(const FileDialogFilter& filter) {
    std::wstring text;
    for (const auto& entry : filter) {
        text += entry.first;
        text.push_back(L'\0');
        text += entry.second;
        text.push_back(L'\0');
    }
    text.push_back(L'\0');
    return text;
}

int CALLBACK FolderDialogProc(HWND dialog, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data != 0) {
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
    }
    return 0;
}

} // namespace

namespace {

using FileDialogFunction = BOOL(WINAPI*)(OPENFILENAMEW*);

bool RunFileDialog(FileDialogFunction run, HWND owner, const FileDialogFilter& filter, const std::wstring& initialName,
                   DWORD flags, std::wstring& path) {
    const std::wstring filterText = MakeFilterText(filter);
    wchar_t buffer[MAX_PATH] = {};
    initialName.copy(buffer, MAX_PATH - 1);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filterText.c_str();
    dialog.lpstrFile = buffer;
    dialog.nMaxFile = MAX_PATH;
    dialog.Flags = flags;
    if (!run(&dialog)) {
        return false;
    }
    path = buffer;
    return true;
}

} // namespace

bool ShowOpenFileDialog(HWND owner, std::wstring& path, const FileDialogFilter& filter) {
    return RunFileDialog(GetOpenFileNameW, owner, filter, std::wstring(), OFN_FILEMUSTEXIST, path);
}

bool ShowSaveFileDialog(const std::wstring& initialName, const FileDialogFilter& filter, HWND owner,
                        std::wstring& path) {
    return RunFileDialog(GetSaveFileNameW, owner, filter, initialName, 0, path);
}

bool ShowFolderDialog(const std::wstring& title, const std::wstring& initialFolder, HWND owner, std::wstring& path,
                      UINT flags) {
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = flags;
    if (!initialFolder.empty()) {
        info.lpfn = FolderDialogProc;
        info.lParam = reinterpret_cast<LPARAM>(initialFolder.c_str());
    }
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (chosen == nullptr) {
        path.clear();
        return true;
    }
    wchar_t buffer[MAX_PATH] = {};
    const bool hasPath = SHGetPathFromIDListW(chosen, buffer) != FALSE;
    CoTaskMemFree(chosen);
    path = hasPath ? buffer : L"";
    return hasPath;
}
