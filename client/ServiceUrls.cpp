#include "client/ServiceUrls.h"

#include "foundation/AppSettings.h"
#include "foundation/Regex.h"

namespace {

// Placeholder host: the service's real host names are configured, not built in.
const wchar_t kHost[] = L"video.example";
const wchar_t kMainSubdomain[] = L"www";
const wchar_t kMainCountry[] = L"jp";

std::wstring GetOverrideBaseUrl() {
    std::wstring base = GetAppSettings().ServiceBaseUrl;
    if (!base.empty() && base.back() != L'/') {
        base += L'/';
    }
    return base;
}

} // namespace

std::wstring GetServiceBaseUrl(const std::wstring& country) {
    const std::wstring base = GetOverrideBaseUrl();
    if (!base.empty()) {
        return base;
    }
    const std::wstring subdomain = country.empty() || country == kMainCountry ? kMainSubdomain : country;
    return L"http://" + subdomain + L"." + kHost + L"/";
}

std::wstring GetWatchUrl(const std::wstring& country) {
    return GetServiceBaseUrl(country) + L"watch/";
}

std::wstring GetFlvApiUrl(const std::wstring& country) {
    return GetServiceBaseUrl(country) + L"api/getflv/";
}

std::wstring GetSecureLoginUrl() {
    const std::wstring base = GetOverrideBaseUrl();
    return (base.empty() ? std::wstring(L"https://secure.") + kHost + L"/" : base) + L"secure/login";
}

std::wstring GetServiceSitePattern() {
    std::wstring pattern = std::wstring(L"http://[a-z]+\\.") + RegexEscape(kHost) + L"/";
    const std::wstring base = GetOverrideBaseUrl();
    if (!base.empty()) {
        pattern = L"(?:" + pattern + L"|" + RegexEscape(base) + L")";
    }
    return pattern;
}

std::wstring GetCountryFromUrl(const std::wstring& text) {
    const std::wstring subdomain =
        GetRegexGroup(std::wstring(L"http://([a-z]+)\\.") + RegexEscape(kHost) + L"/", text, 1);
    return subdomain == kMainSubdomain ? kMainCountry : subdomain;
}

std::wstring MakeAbsoluteUrl(const std::wstring& text, const std::wstring& country) {
    if (text.find(L"http://") != std::wstring::npos) {
        return text;
    }
    return GetWatchUrl(country) + text;
}

bool MakeSiteUrlRegex(const std::wstring& url) {
    return !GetRegexGroup(L"\\A" + GetServiceSitePattern(), url, 0).empty();
}

bool MakeMylistRegex(const std::wstring& url) {
    return !GetRegexGroup(L"\\A" + GetServiceSitePattern() + L"mylist/[0-9]+", url, 0).empty();
}

bool MakeMylistUrlRegex(const std::wstring& url) {
    return !GetRegexGroup(L"\\A" + GetServiceSitePattern() + L"my/mylist", url, 0).empty();
}

std::wstring GetThreadKeyUrl(const std::wstring& country, const std::wstring& threadId) {
    return GetServiceBaseUrl(country) + L"api/getthreadkey?thread=" + threadId;
}

std::wstring GetWaybackKeyUrl(const std::wstring& country, const std::wstring& threadId) {
    return GetServiceBaseUrl(country) + L"api/getwaybackkey?thread=" + threadId;
}

std::wstring GetPostKeyUrl(const std::wstring& country, const std::wstring& threadId, int blockNo) {
    return GetServiceBaseUrl(country) + L"api/getpostkey?thread=" + threadId + L"&block_no=" + std::to_wstring(blockNo);
}

std::wstring GetMylistApiUrl(const std::wstring& country, const std::wstring& groupId) {
    return GetServiceBaseUrl(country) + L"api/mylist/list?group_id=" + groupId;
}

std::wstring GetDeflistApiUrl(const std::wstring& country) {
    return GetServiceBaseUrl(country) + L"api/deflist/list";
}

bool IsEconomyVideoUrl(const std::wstring& videoUrl) {
    const std::wstring marker = L"low";
    return videoUrl.size() >= marker.size() &&
           videoUrl.compare(videoUrl.size() - marker.size(), marker.size(), marker) == 0;
}

std::wstring GetMovieTypeFromVideoUrl(const std::wstring& videoUrl) {
    return videoUrl.find(L"?m=") != std::wstring::npos ? L"mp4" : L"flv";
}
