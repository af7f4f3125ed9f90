#include "client/VideoUrls.h"

#include "client/ServiceUrls.h"
#include "foundation/AppSettings.h"
#include "foundation/PathUtil.h"
#include "foundation/Regex.h"
#include "foundation/VideoId.h"

namespace {

// The ID pattern without a capturing group of its own at the front; the setting's groups follow.
std::wstring VideoIdPattern(const wchar_t* digits) {
    return L"(?:" + GetAppSettings().MovieIdInitialRegex + L")" + digits;
}

const wchar_t kQuery[] = L"(?:[?#].*)?";

} // namespace

std::wstring GetVideoIdFromUrl(const std::wstring& text) {
    std::vector<std::wstring> groups;
    const std::wstring pattern =
        L"\\A" + GetServiceSitePattern() + L"watch/(" + VideoIdPattern(L"[0-9]+") + L")" + kQuery + L"\\z";
    if (RegexSearch(text, pattern, groups) && groups.size() > 1 && !groups[1].empty()) {
        return groups[1];
    }
    return text;
}

bool IsVideoIdText(const std::wstring& text) {
    const std::wstring id = VideoIdPattern(L"[0-9]{2,}");
    return RegexMatch(text, id) || RegexMatch(text, GetServiceSitePattern() + L"watch/" + id + kQuery);
}

std::wstring GetNumberSuffix(const std::wstring& videoId) {
    std::vector<std::wstring> groups;
    if (!RegexSearch(videoId, L"\\A" + VideoIdPattern(L"([0-9]+)") + L"\\z", groups)) {
        return std::wstring();
    }
    return groups.back();
}

bool ExtractVideoUrls(const std::wstring& text, std::vector<std::wstring>& out, const std::wstring& country) {
    out.clear();
    const std::wstring id = VideoIdPattern(L"[0-9]{2,}");
    // A watch URL is taken whole, so that its own country is kept; a bare ID stands apart from words.
    const std::wstring pattern =
        GetServiceSitePattern() + L"watch/" + id + L"(?![0-9])|(?<![0-9A-Za-z])" + id + L"(?![0-9A-Za-z])";
    std::vector<std::wstring> found;
    RegexGrep(0, text, pattern, found);
    for (const std::wstring& match : found) {
        out.push_back(match.compare(0, 7, L"http://") == 0 ? match : GetWatchUrl(country) + match);
    }
    return !out.empty();
}

bool ExtractVideoUrls(const std::wstring& text, std::vector<std::wstring>& out) {
    return ExtractVideoUrls(text, out, GetAppSettings().Country);
}

std::wstring GetWatchUrlFromFileName(const std::wstring& name) {
    const std::wstring id = GetVideoIdFromFileName(name);
    return id.empty() ? std::wstring() : GetWatchUrl(GetAppSettings().Country) + id;
}

std::wstring GetWatchUrlFromFilePath(const std::wstring& path) {
    return GetWatchUrlFromFileName(GetFileName(path));
}
