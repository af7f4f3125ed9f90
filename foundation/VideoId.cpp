#include "foundation/VideoId.h"

#include "foundation/AppSettings.h"
#include "foundation/PathUtil.h"
#include "foundation/Regex.h"
#include "foundation/StringUtil.h"

#include <vector>

namespace {

const wchar_t kBracketedDigits[] = L"\\[([0-9]{4,})\\]|\\(([0-9]{4,})\\)|\\{([0-9]{4,})\\}";
// Bounded by ASCII letters as well, so that "1280x720" or "abc12345" give no ID.
const wchar_t kStandaloneDigits[] = L"(?<![0-9A-Za-z])[0-9]{4,}(?![0-9A-Za-z])";

} // namespace

std::wstring GetVideoIdFromFileName(const std::wstring& name) {
    if (name.empty()) {
        return std::wstring();
    }
    std::wstring id = GetRegexGroup(GetAppSettings().MovieIdInitialRegex + L"[0-9]+", name, 0);
    if (!id.empty()) {
        return id;
    }
    std::vector<std::wstring> groups;
    if (RegexSearch(name, kBracketedDigits, groups)) {
        for (size_t i = 1; i < groups.size(); ++i) {
            if (!groups[i].empty()) {
                return groups[i];
            }
        }
    }
    return GetRegexGroup(kStandaloneDigits, name, 0);
}

std::wstring GetVideoIdFromFilePath(const std::wstring& path) {
    return GetVideoIdFromFileName(GetFileName(path));
}

std::wstring GetTitleFromFileName(const std::wstring& name) {
    const std::wstring id = GetVideoIdFromFileName(name);
    if (!id.empty()) {
        std::wstring pattern = GetAppSettings().FilenameTitleRegex;
        ReplaceAll(pattern, L"[:id:]", id);
        std::vector<std::wstring> groups;
        if (RegexSearch(name, pattern, groups)) {
            return groups.size() > 1 ? groups[1] : std::wstring();
        }
    }
    return RemoveExtension(name);
}

std::wstring GetTitleFromFilePath(const std::wstring& path) {
    return GetTitleFromFileName(GetFileName(path));
}
