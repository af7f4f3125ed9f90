#include "client/SaveNames.h"

#include <cwchar>
#include <utility>
#include <vector>

namespace {

std::wstring Number(int value, int width) {
    wchar_t buffer[16];
    swprintf(buffer, 16, L"%0*d", width, value);
    return buffer;
}

std::wstring LastTwoDigits(int value) {
    return Number(value % 100, 2);
}

bool IsForbidden(wchar_t c) {
    return c < 0x20 || wcschr(L"\\/:*?\"<>|", c) != nullptr;
}

wchar_t FullWidth(wchar_t c) {
    // The full-width forms sit at 0xFF01 + (c - '!') for the printable ASCII range.
    return c < 0x20 ? L'_' : static_cast<wchar_t>(0xFF01 + (c - L'!'));
}

bool IsReservedName(const std::wstring& name) {
    // Windows ignores what follows the first dot, and blanks and dots before it, in a device name.
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') {
        stem.pop_back();
    }
    for (auto& c : stem) {
        c = towupper(c);
    }
    static const wchar_t* const kReserved[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* reserved : kReserved) {
        if (stem == reserved) {
            return true;
        }
    }
    return stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
           ((stem[3] >= L'1' && stem[3] <= L'9') || wcschr(L"\u00B9\u00B2\u00B3", stem[3]) != nullptr);
}

// The safe form of name within room characters (at least 1): cut, never between the halves of a
// surrogate pair, and cut again when making it safe lengthened it.
std::wstring SafeNameWithin(const std::wstring& name, size_t room) {
    std::wstring cut = name;
    for (;;) {
        if (cut.size() > room) {
            cut.resize(room);
        }
        if (!cut.empty() && cut.back() >= 0xD800 && cut.back() <= 0xDBFF) {
            cut.pop_back();
        }
        std::wstring safe = MakeSafeFileName(cut);
        if (safe.size() <= room) {
            return safe;
        }
        room = cut.size() - 1;
    }
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Without trailing separators, except the one of a root ("\\", "C:\\").
std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (path.size() > 1 && IsSeparator(path.back()) && path[path.size() - 2] != L':') {
        path.pop_back();
    }
    return path;
}

// With no folder the result stays relative: a leading "\\" would be the drive's root.
void AppendComponent(std::wstring& path, const std::wstring& component) {
    if (!path.empty() && !IsSeparator(path.back())) {
        path += L'\\';
    }
    path += component;
}

} // namespace

std::wstring ExpandNameTemplate(const std::wstring& nameTemplate, const SaveNameValues& values) {
    const SYSTEMTIME& t = values.time;
    const std::pair<const wchar_t*, std::wstring> placeholders[] = {
        {L"title", values.title},           {L"thread", values.videoId},        {L"year", Number(t.wYear, 4)},
        {L"year2", LastTwoDigits(t.wYear)}, {L"month", Number(t.wMonth, 1)},    {L"month2", Number(t.wMonth, 2)},
        {L"day", Number(t.wDay, 1)},        {L"day2", Number(t.wDay, 2)},       {L"hour", Number(t.wHour, 1)},
        {L"hour2", Number(t.wHour, 2)},     {L"minute", Number(t.wMinute, 1)},  {L"minute2", Number(t.wMinute, 2)},
        {L"second", Number(t.wSecond, 1)},  {L"second2", Number(t.wSecond, 2)},
    };
    // One pass from left to right, so a value that holds "%...%" is never expanded again.
    std::wstring out;
    size_t pos = 0;
    while (pos < nameTemplate.size()) {
        size_t open = nameTemplate.find(L'%', pos);
        if (open == std::wstring::npos) {
            break;
        }
        size_t close = nameTemplate.find(L'%', open + 1);
        if (close == std::wstring::npos) {
            break;
        }
        std::wstring name = nameTemplate.substr(open + 1, close - open - 1);
        const std::wstring* value = nullptr;
        for (const auto& placeholder : placeholders) {
            if (name == placeholder.first) {
                value = &placeholder.second;
                break;
            }
        }
        if (value == nullptr) {
            out.append(nameTemplate, pos, close - pos);
            pos = close;
            continue;
        }
        out.append(nameTemplate, pos, open - pos);
        out += *value;
        pos = close + 1;
    }
    out.append(nameTemplate, pos, std::wstring::npos);
    return out;
}

std::wstring MakeSafeFileName(const std::wstring& name) {
    std::wstring out;
    out.reserve(name.size());
    for (wchar_t c : name) {
        out += IsForbidden(c) ? FullWidth(c) : c;
    }
    while (!out.empty() && (out.back() == L'.' || out.back() == L' ')) {
        out.pop_back();
    }
    if (out.empty()) {
        return L"_";
    }
    if (IsReservedName(out)) {
        out.insert(0, L"_");
    }
    return out;
}

std::wstring BuildSaveFolder(const std::wstring& folder, const std::wstring& folderTemplate,
                             const SaveNameValues& values) {
    SaveNameValues safe = values;
    safe.title = MakeSafeFileName(values.title);
    safe.videoId = MakeSafeFileName(values.videoId);
    const std::wstring expanded = ExpandNameTemplate(folderTemplate, safe);

    std::wstring out = WithoutTrailingSeparators(folder);
    size_t start = 0;
    while (start <= expanded.size()) {
        size_t end = expanded.find_first_of(L"\\/", start);
        if (end == std::wstring::npos) {
            end = expanded.size();
        }
        std::wstring component = expanded.substr(start, end - start);
        while (!component.empty() && (component.back() == L'.' || component.back() == L' ')) {
            component.pop_back();
        }
        if (!component.empty()) {
            if (out.size() + 2 > kMaxFolderPath) {
                break;
            }
            AppendComponent(out, SafeNameWithin(component, kMaxFolderPath - out.size() - 1));
        }
        start = end + 1;
    }
    return out;
}

std::wstring BuildSaveFilePath(const std::wstring& folder, const std::wstring& nameTemplate,
                               const SaveNameValues& values, const std::wstring& extension, size_t reserve) {
    std::wstring base = WithoutTrailingSeparators(folder);
    AppendComponent(base, L"");
    const size_t limit = MAX_PATH - 1;
    if (base.size() + extension.size() + reserve + 1 > limit) {
        return L"";
    }
    const size_t room = limit - base.size() - extension.size() - reserve;
    return base + SafeNameWithin(ExpandNameTemplate(nameTemplate, values), room) + extension;
}

bool CreateFolderPath(const std::wstring& path) {
    const std::wstring folder = WithoutTrailingSeparators(path);
    if (folder.empty()) {
        return false;
    }
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    const size_t separator = folder.find_last_of(L"\\/");
    // A drive ("C:") or a share root has no parent to make; CreateDirectoryW reports it.
    if (separator != std::wstring::npos && separator > 0 && folder[separator - 1] != L':' &&
        folder[separator - 1] != L'\\') {
        CreateFolderPath(folder.substr(0, separator));
    }
    // Another thread may make the same folder meanwhile: only the end state counts.
    CreateDirectoryW(folder.c_str(), nullptr);
    attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

SYSTEMTIME LocalTimeFromUnixTime(long long seconds) {
    SYSTEMTIME local{};
    if (seconds <= 0) {
        GetLocalTime(&local);
        return local;
    }
    ULARGE_INTEGER ticks;
    ticks.QuadPart = (static_cast<unsigned long long>(seconds) + 11644473600ULL) * 10000000ULL;
    FILETIME utc{ticks.LowPart, ticks.HighPart};
    SYSTEMTIME utcTime{};
    FileTimeToSystemTime(&utc, &utcTime);
    SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &local);
    return local;
}
