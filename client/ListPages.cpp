#include "client/ListPages.h"

#include "client/HttpAccess.h"
#include "client/ServiceUrls.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/Regex.h"

namespace {

const wchar_t kVideoIdMember[] = L"video_id";

// Lists change between two looks; a cached copy would hide a video just added.
bool FetchList(const std::wstring& url, std::wstring& out, const wchar_t* operation) {
    if (!GetURLDataUTF8(GetAppSettings().UserAgent, url, out, INTERNET_FLAG_RELOAD)) {
        DebugLog() << L"Error : " << operation << L"()" << EndLine;
        return false;
    }
    return true;
}

} // namespace

void GetVideoIdFromJson(std::vector<std::wstring>& out, const std::wstring& text) {
    RegexGrep(1, text, std::wstring(L"\"") + kVideoIdMember + L"\"\\s*:\\s*\"([^\"]*)\"", out);
}

bool GetDeflistPage(std::wstring& out) {
    return FetchList(GetDeflistApiUrl(GetAppSettings().Country), out, L"GetDeflistPage");
}

bool GetMylistPage(const std::wstring& url, std::wstring& out) {
    out.clear();
    const std::wstring groupId = GetRegexGroup(L"mylist/([0-9]+)", url, 1);
    if (groupId.empty()) {
        DebugLog() << L"Error : GetMylistPage()" << EndLine;
        return false;
    }
    return FetchList(GetMylistApiUrl(GetCountryFromUrl(url), groupId), out, L"GetMylistPage");
}
