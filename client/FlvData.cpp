#include "client/FlvData.h"

#include "client/HttpAccess.h"
#include "client/ServiceUrls.h"
#include "foundation/AppSettings.h"
#include "foundation/Regex.h"
#include "foundation/StringUtil.h"
#include "foundation/UrlEncode.h"

namespace {

// The position after "key=" where key begins the text or follows "&"; npos when there is none.
// A plain search would find "l=" inside "url=" and "thread_id=" inside "x_thread_id=".
std::wstring::size_type FindValue(const std::wstring& flvData, const std::wstring& key) {
    const std::wstring pair = key + L"=";
    if (flvData.compare(0, pair.size(), pair) == 0) {
        return pair.size();
    }
    const std::wstring::size_type found = flvData.find(L"&" + pair);
    return found == std::wstring::npos ? found : found + 1 + pair.size();
}

// The value up to the next "&"; empty when the key is missing or no "&" follows.
std::wstring GetValue(const std::wstring& flvData, const std::wstring& key) {
    const std::wstring::size_type start = FindValue(flvData, key);
    if (start == std::wstring::npos) {
        return std::wstring();
    }
    const std::wstring::size_type end = flvData.find(L'&', start);
    return end == std::wstring::npos ? std::wstring() : flvData.substr(start, end - start);
}

// The key's value begins with "1"; for a flag the end marker is not needed.
bool HasFlag(const std::wstring& flvData, const std::wstring& key) {
    const std::wstring::size_type start = FindValue(flvData, key);
    return start != std::wstring::npos && flvData.compare(start, 1, L"1") == 0;
}

} // namespace

std::wstring GetFlvData(const std::wstring& videoId, const std::wstring& country, DWORD flags) {
    std::wstring data;
    if (!GetURLDataUTF8(GetAppSettings().UserAgent, GetFlvApiUrl(country) + videoId + L"?as3=1", data, flags)) {
        return std::wstring();
    }
    ReplaceAll(data, L"%3A", L":");
    ReplaceAll(data, L"%2F", L"/");
    ReplaceAll(data, L"%3F", L"?");
    ReplaceAll(data, L"%3D", L"=");
    return data;
}

std::wstring GetThreadId(const std::wstring& flvData) {
    return GetValue(flvData, L"thread_id");
}

int GetVideoLength(const std::wstring& flvData) {
    return ToIntOrZero(GetValue(flvData, L"l"));
}

std::wstring GetVideoUrl(const std::wstring& flvData) {
    return GetValue(flvData, L"url");
}

std::wstring GetMessageServerUrl(const std::wstring& flvData) {
    return GetValue(flvData, L"ms");
}

std::wstring GetUserId(const std::wstring& flvData) {
    return GetValue(flvData, L"user_id");
}

bool IsPremium(const std::wstring& flvData) {
    return GetValue(flvData, L"is_premium") == L"1";
}

bool HasNeedsKey(const std::wstring& flvData) {
    return HasFlag(flvData, L"needs_key");
}

bool IsClosed(const std::wstring& flvData) {
    return HasFlag(flvData, L"closed");
}

int GetDeletedCode(const std::wstring& flvData) {
    return ToIntOrZero(GetRegexGroup(L"(?:\\A|&)deleted=([0-9]*)", flvData, 1));
}

std::vector<std::wstring> GetOwnerNgList(const std::wstring& flvData) {
    // Decoded only after the pair is cut out: an encoded "&" inside it separates the entries.
    return Split(UrlDecode(GetValue(flvData, L"ng_up")), L"&", true);
}
