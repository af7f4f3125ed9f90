#include "foundation/Shell.h"

#include "foundation/CBaseDebug.h"
#include "foundation/AppSettings.h"
#include "foundation/Handles.h"
#include "foundation/PathUtil.h"
#include "foundation/StringUtil.h"
#include "foundation/VideoId.h"

#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

// Balances a COM initialisation of the calling thread; a thread that has COM already keeps it.
class ComScope {
public:
    ComScope() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(m_result)) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT m_result;
};

int RunFileOperation(UINT operation, const std::wstring& from, const std::wstring* to, FILEOP_FLAGS flags, HWND owner) {
    if (from.empty()) {
        // An empty list would leave the shell to pick what to work on.
        return ERROR_INVALID_PARAMETER;
    }
    // The shell reads lists of paths, each ended by a NUL and the list by a second one.
    const std::wstring fromList = from + L'\0';
    const std::wstring toList = to != nullptr ? *to + L'\0' : std::wstring();
    SHFILEOPSTRUCTW op = {};
    op.hwnd = owner;
    op.wFunc = operation;
    op.pFrom = fromList.c_str();
    op.pTo = to != nullptr ? toList.c_str() : nullptr;
    op.fFlags = flags;
    const int result = SHFileOperationW(&op);
    if (result == 0 && op.fAnyOperationsAborted) {
        // A cancelled confirmation leaves the result at 0 although nothing was done.
        return ERROR_CANCELLED;
    }
    return result;
}

// Characters that would end the URL's word or the quoting on the browser's command line; none of
// them belongs in a valid URL, which therefore passes unchanged.
std::wstring EscapeUrlForCommandLine(const std::wstring& url) {
    std::wstring escaped;
    for (const wchar_t c : url) {
        if (c == L'"' || c <= L' ') {
            wchar_t code[4];
            swprintf(code, 4, L"%%%02X", static_cast<unsigned>(c));
            escaped += code;
        } else {
            escaped.push_back(c);
        }
    }
    return escaped;
}

} // namespace

std::wstring GetDroppedFileName(HDROP drop, UINT index) {
    const UINT length = DragQueryFileW(drop, index, nullptr, 0);
    if (length == 0) {
        return std::wstring();
    }
    std::wstring name(length + 1, L'\0');
    const UINT copied = DragQueryFileW(drop, index, &name[0], length + 1);
    name.resize(copied);
    return name;
}

std::wstring GetShortcutTarget(const std::wstring& shortcutPath) {
    ComScope com;
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)))) {
        return std::wstring();
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link.As(&file)) || FAILED(file->Load(shortcutPath.c_str(), STGM_READ))) {
        return std::wstring();
    }
    wchar_t target[MAX_PATH] = {};
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, 0))) {
        return std::wstring();
    }
    return target;
}

bool RunUserCommand(const std::wstring& url) {
    const AppSettings& settings = GetAppSettings();
    if (settings.BrowserPath.empty()) {
        const auto result =
            reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        return result > 32;
    }
    std::wstring browser = settings.BrowserPath;
    if (browser.find(L' ') != std::wstring::npos) {
        browser = L"\"" + browser + L"\"";
    }
    std::wstring command = settings.BrowserCommand;
    ReplaceAll(command, L"%path%", browser);
    // A quote or blank in the URL would otherwise let it add arguments of its own to the browser.
    ReplaceAll(command, L"%url%", EscapeUrlForCommandLine(url));
    return ExecuteCommandLine(command);
}

bool ExecuteCommandLine(const std::wstring& commandLine) {
    size_t start = commandLine.find_first_not_of(L" \t");
    if (start == std::wstring::npos) {
        return false;
    }
    std::wstring program;
    size_t rest;
    if (commandLine[start] == L'"') {
        const size_t close = commandLine.find(L'"', start + 1);
        program = commandLine.substr(start + 1, close == std::wstring::npos ? std::wstring::npos : close - start - 1);
        rest = close == std::wstring::npos ? commandLine.size() : close + 1;
    } else {
        const size_t blank = commandLine.find_first_of(L" \t", start);
        program = commandLine.substr(start, blank == std::wstring::npos ? std::wstring::npos : blank - start);
        rest = blank == std::wstring::npos ? commandLine.size() : blank;
    }
    const size_t argumentsStart = commandLine.find_first_not_of(L" \t", rest);
    const std::wstring arguments =
        argumentsStart == std::wstring::npos ? std::wstring() : commandLine.substr(argumentsStart);
    if (program.empty()) {
        return false;
    }
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
        nullptr, L"open", program.c_str(), arguments.empty() ? nullptr : arguments.c_str(), nullptr, SW_SHOWNORMAL));
    return result > 32;
}

int CopyPath(const std::wstring& from, const std::wstring& to, FILEOP_FLAGS flags, HWND owner) {
    return RunFileOperation(FO_COPY, from, &to, flags, owner);
}

int DeletePath(const std::wstring& path, FILEOP_FLAGS flags, HWND owner) {
    return RunFileOperation(FO_DELETE, path, nullptr, flags, owner);
}

bool DeleteRelatedFiles(const std::wstring& path) {
    const std::wstring folder = GetDirectoryPath(path);
    const std::wstring baseName = RemoveExtension(GetFileName(path));
    if (baseName.empty() || baseName.find_first_of(L"*?") != std::wstring::npos) {
        return false;
    }

    // Masks also match the short 8.3 names, so each long name is checked for the base name again.
    const std::wstring lowerBase = ToLower(baseName);
    const std::wstring lowerId = ToLower(GetVideoIdFromFileName(baseName));
    const auto otherVideo = [&lowerId](const std::wstring& name) {
        if (lowerId.empty()) {
            return false;
        }
        const std::wstring id = ToLower(GetVideoIdFromFileName(name));
        return !id.empty() && id != lowerId;
    };
    std::vector<std::pair<std::wstring, bool>> related; // path, is a folder
    WIN32_FIND_DATAW found;
    const CFindHandle search(FindFirstFileW((folder + L"*" + baseName + L"*").c_str(), &found));
    if (search) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L".." || ToLower(name).find(lowerBase) == std::wstring::npos ||
                otherVideo(name)) {
                continue;
            }
            related.emplace_back(folder + name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
        } while (FindNextFileW(search.Get(), &found));
    }

    bool allRemoved = true;
    for (const auto& entry : related) {
        DebugLog() << (entry.second ? L"Delete dir... " : L"Delete file... ") << entry.first << EndLine;
        if (DeletePath(entry.first, FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI, nullptr) != 0) {
            allRemoved = false;
        }
    }
    return allRemoved;
}

bool DeleteRelatedFilesInFolder(const std::wstring& name, const std::wstring& folder) {
    // An empty folder would make the path "\name": the root of the current drive.
    if (name.empty() || folder.empty()) {
        return false;
    }
    std::wstring path = folder;
    if (path.back() != L'\\') {
        path += L'\\';
    }
    return DeleteRelatedFiles(path + name);
}

bool RenameFile(const std::wstring& oldPath, const std::wstring& newPath) {
    return MoveFileW(oldPath.c_str(), newPath.c_str()) != FALSE;
}
