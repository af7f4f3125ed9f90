#include "foundation/PathUtil.h"

#include "foundation/Handles.h"
#include "foundation/StringUtil.h"
#include "foundation/VideoId.h"

#include <windows.h>
#include <shlwapi.h>

std::wstring GetProgramPath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return std::wstring();
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring GetProgramFolder() {
    static const std::wstring folder = [] {
        const std::wstring path = GetProgramPath();
        const auto slash = path.find_last_of(L"\\/");
        return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    }();
    return folder;
}

std::wstring GetArchiveFolder() {
    return GetProgramFolder() + L"\\archive";
}

namespace {

const wchar_t kSeparators[] = L"\\/";
const wchar_t kNameSeparators[] = L"\\/:";

// Movie files are the names this mask matches; every other extension counts as non-movie.
const wchar_t kMovieFileMask[] = L"*.flv;*.mp4;*.mpg;*.mpeg;*.avi;*.wmv;*.mov;*.mkv;*.divx;*.ram";

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool HasDriveLetter(const std::wstring& path) {
    return path.size() >= 2 && path[1] == L':' &&
           ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

bool SameDriveLetter(wchar_t a, wchar_t b) {
    return (a | 0x20) == (b | 0x20);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || IsSeparator(folder.back())) {
        return folder + name;
    }
    return folder + L"\\" + name;
}

// "C:" or "\\server\share" of a full path.
std::wstring RootOf(const std::wstring& fullPath) {
    if (HasDriveLetter(fullPath)) {
        return fullPath.substr(0, 2);
    }
    if (fullPath.size() > 2 && IsSeparator(fullPath[0]) && IsSeparator(fullPath[1])) {
        const auto server = fullPath.find_first_of(kSeparators, 2);
        const auto share = server == std::wstring::npos ? server : fullPath.find_first_of(kSeparators, server + 1);
        return fullPath.substr(0, share);
    }
    return std::wstring();
}

std::wstring FullPathName(const std::wstring& path) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), &buffer[0], nullptr);
        if (length == 0) {
            return path;
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(length);
    }
}

std::wstring CurrentFolder() {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0) {
        return std::wstring();
    }
    std::wstring buffer(size, L'\0');
    const DWORD length = GetCurrentDirectoryW(size, &buffer[0]);
    buffer.resize(length < size ? length : 0);
    return buffer;
}

bool EnumerateInto(const std::wstring& folder, const std::wstring& pattern, std::vector<std::wstring>& out,
                   bool fullPaths, bool includeFolders, bool recursive) {
    WIN32_FIND_DATAW data;
    const CFindHandle find(FindFirstFileW(JoinPath(folder, recursive ? L"*.*" : pattern).c_str(), &data));
    if (!find) {
        return false;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool matches = !recursive || PathMatchSpecW(name.c_str(), pattern.c_str());
        if (matches && (includeFolders || !isFolder)) {
            out.push_back(fullPaths ? JoinPath(folder, name) : name);
        }
        if (recursive && isFolder) {
            EnumerateInto(JoinPath(folder, name), pattern, out, fullPaths, includeFolders, recursive);
        }
    } while (FindNextFileW(find.Get(), &data));
    return true;
}

// Whether name holds id (ignoring case) at a place where it is not part of a longer number, so
// that the files of "sm1234" do not count as related to "sm123".
bool HoldsVideoId(const std::wstring& name, const std::wstring& id) {
    const std::wstring lowerName = ToLower(name);
    const std::wstring lowerId = ToLower(id);
    const auto isDigit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
    for (auto pos = lowerName.find(lowerId); pos != std::wstring::npos; pos = lowerName.find(lowerId, pos + 1)) {
        const auto end = pos + lowerId.size();
        const bool digitBefore = pos > 0 && isDigit(lowerName[pos - 1]) && isDigit(lowerId.front());
        const bool digitAfter = end < lowerName.size() && isDigit(lowerName[end]) && isDigit(lowerId.back());
        if (!digitBefore && !digitAfter) {
            return true;
        }
    }
    return false;
}

} // namespace

std::wstring GetFileName(const std::wstring& path) {
    const auto separator = path.find_last_of(kNameSeparators);
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

std::wstring GetFileExtension(const std::wstring& path) {
    const auto separator = path.find_last_of(kNameSeparators);
    const auto dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || (separator != std::wstring::npos && dot < separator)) {
        return std::wstring();
    }
    return path.substr(dot);
}

std::wstring GetDirectoryPath(const std::wstring& path) {
    const auto separator = path.find_last_of(kNameSeparators);
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

std::wstring AddExtension(const std::wstring& path, const std::wstring& extension) {
    const std::wstring lowerPath = ToLower(path);
    const std::wstring lowerExtension = ToLower(extension);
    if (lowerPath.size() >= lowerExtension.size() &&
        lowerPath.compare(lowerPath.size() - lowerExtension.size(), lowerExtension.size(), lowerExtension) == 0) {
        return path;
    }
    return path + extension;
}

std::wstring RemoveExtension(const std::wstring& path) {
    return path.substr(0, path.size() - GetFileExtension(path).size());
}

std::wstring RemoveTrailingSlash(const std::wstring& path) {
    if (!path.empty() && IsSeparator(path.back())) {
        return path.substr(0, path.size() - 1);
    }
    return path;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring GetAbsolutePath(const std::wstring& baseFolder, const std::wstring& path, bool emptyStaysEmpty) {
    if (path.empty()) {
        if (emptyStaysEmpty) {
            return std::wstring();
        }
        return FullPathName(baseFolder.empty() ? L"." : baseFolder);
    }
    // The paths are joined as text instead of switching the current folder, which is process-wide
    // and would race with every other thread; a base that does not exist works the same way.
    const std::wstring base = FullPathName(baseFolder.empty() ? L"." : baseFolder);
    const bool rooted = IsSeparator(path[0]);
    if (rooted && path.size() > 1 && IsSeparator(path[1])) {
        return FullPathName(path);
    }
    if (rooted) {
        return FullPathName(RootOf(base) + path);
    }
    if (HasDriveLetter(path)) {
        const bool driveRelative = path.size() == 2 || !IsSeparator(path[2]);
        if (driveRelative && HasDriveLetter(base) && SameDriveLetter(path[0], base[0])) {
            return FullPathName(JoinPath(base, path.substr(2)));
        }
        return FullPathName(path);
    }
    return FullPathName(JoinPath(base, path));
}

std::wstring MakeRelativePath(const std::wstring& path, const std::wstring& baseFolder) {
    if (path.empty()) {
        return std::wstring();
    }
    const std::wstring base = baseFolder.empty() ? CurrentFolder() : baseFolder;
    if (base.empty() || path.size() < base.size()) {
        return path;
    }
    // Only the drive letter is compared without case; the rest character for character.
    const bool sameFirst =
        path[0] == base[0] || (HasDriveLetter(path) && HasDriveLetter(base) && SameDriveLetter(path[0], base[0]));
    if (!sameFirst || path.compare(1, base.size() - 1, base, 1, base.size() - 1) != 0) {
        return path;
    }
    // "C:\Prog" is not the folder of "C:\Program\x".
    if (path.size() > base.size() && base.back() != L'\\' && path[base.size()] != L'\\') {
        return path;
    }
    std::wstring rest = path.substr(base.size());
    if (!rest.empty() && rest[0] == L'\\') {
        rest.erase(0, 1);
    }
    return L".\\" + rest;
}

bool EnumerateFiles(const std::wstring& folder, const std::wstring& pattern, std::vector<std::wstring>& out,
                    bool fullPaths, bool includeFolders, bool recursive) {
    return EnumerateInto(folder, pattern, out, fullPaths, includeFolders, recursive);
}

std::wstring MakeJpgPath(const std::wstring& mediaPath) {
    return RemoveExtension(mediaPath) + L".jpg";
}

std::wstring FindRelatedMovieFile(const std::wstring& name, const std::wstring& folder) {
    if (name.empty() || folder.empty()) {
        return std::wstring();
    }
    const std::wstring id = GetVideoIdFromFileName(name);
    const std::wstring baseName = ToLower(RemoveExtension(GetFileName(name)));
    if (id.empty() && baseName.empty()) {
        return std::wstring();
    }
    std::vector<std::wstring> files;
    EnumerateFiles(folder, L"*", files, false, false, false);
    std::wstring found;
    for (const auto& file : files) {
        const bool related = id.empty() ? ToLower(file).find(baseName) != std::wstring::npos : HoldsVideoId(file, id);
        if (related && PathMatchSpecW(file.c_str(), kMovieFileMask)) {
            found = JoinPath(folder, file);
        }
    }
    return found;
}

std::wstring GetLastErrorText() {
    const DWORD error = GetLastError();
    if (error == ERROR_SUCCESS) {
        return std::wstring();
    }
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const CLocalMemory<wchar_t> owned(buffer);
    std::wstring text(buffer != nullptr ? buffer : L"", buffer != nullptr ? length : 0);
    // The system's texts end with a line break, which would leave an empty line in the log.
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    return text;
}
