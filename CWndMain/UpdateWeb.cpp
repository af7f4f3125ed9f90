#include "CWndMain/UpdateWeb.h"

#include "foundation/Regex.h"
#include "foundation/StringUtil.h"

#include <vector>

std::wstring FindPatternGroup(const std::wstring& text, const std::wstring& pattern) {
    std::vector<std::wstring> groups;
    if (!RegexSearch(text, pattern, groups) || groups.size() < 2) {
        return L"";
    }
    return groups[1];
}

bool MatchPattern(const std::wstring& text, const std::wstring& pattern) {
    return RegexMatch(text, pattern);
}

std::wstring ReplacePattern(const std::wstring& text, const std::wstring& pattern, const std::wstring& format) {
    std::wstring result = text;
    RegexReplace(result, pattern, format);
    return result;
}

namespace {

// The status of an HTTP answer; 0 for other schemes or when it cannot be read.
DWORD HttpStatus(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
        return 0;
    }
    return status;
}

bool IsHttpError(HINTERNET request) {
    return HttpStatus(request) >= 400;
}

} // namespace

bool GetURLData(std::wstring& text, const std::wstring& url) {
    text.clear();
    CInternetHandle internet(InternetOpenW(L"", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!internet) {
        return false;
    }
    CInternetHandle request(InternetOpenUrlW(internet.Get(), url.c_str(), nullptr, static_cast<DWORD>(-1),
                                             INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request || IsHttpError(request.Get())) {
        return false;
    }
    std::string body;
    char chunk[1024];
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request.Get(), chunk, sizeof(chunk), &read)) {
            return false;
        }
        if (read == 0) {
            break;
        }
        body.append(chunk, read);
    }
    text = AnsiToWide(body);
    return !text.empty();
}

namespace utl {
namespace wininet {

CWinInetDownload::CWinInetDownload(const std::wstring& agent, const std::wstring& url) {
    m_internet.Reset(InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!m_internet) {
        return;
    }
    m_url.Reset(InternetOpenUrlW(m_internet.Get(), url.c_str(), nullptr, static_cast<DWORD>(-1),
                                 INTERNET_FLAG_RELOAD, 0));
}

bool CWinInetDownload::DownloadToFile(const std::wstring& target) {
    if (!m_url) {
        return false;
    }
    if (IsHttpError(m_url.Get())) {
        // An error page is no archive; neither is an older one left at the target.
        DeleteFileW(target.c_str());
        return false;
    }
    DWORD contentLength = 0;
    DWORD size = sizeof(contentLength);
    const bool hasLength = HttpQueryInfoW(m_url.Get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                                          &contentLength, &size, nullptr) != FALSE;
    DWORD available = 0;
    if (!InternetQueryDataAvailable(m_url.Get(), &available, 0, 0) || available == 0) {
        return false;
    }
    CFileHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (!file) {
        return false;
    }
    std::vector<char> buffer(available);
    uint64_t total = 0;
    bool ok = true;
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(m_url.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read)) {
            ok = false;
            break;
        }
        if (read == 0) {
            break;
        }
        DWORD written = 0;
        if (!WriteFile(file.Get(), buffer.data(), read, &written, nullptr) || written != read) {
            ok = false;
            break;
        }
        total += read;
        OnProgress(total, contentLength);
    }
    if (!file.Close()) {
        ok = false;
    }
    // A cut connection ends the data early: a short body is no archive.
    if (hasLength && total != contentLength) {
        ok = false;
    }
    if (!ok) {
        DeleteFileW(target.c_str());
    }
    return ok;
}

} // namespace wininet
} // namespace utl
