#include "client/HttpPost.h"

#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/PathUtil.h"

#include <windows.h>
#include <wininet.h>

#include <memory>

namespace {

struct InternetHandleCloser {
    void operator()(void* handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleCloser>;

bool Fail(const wchar_t* call) {
    const std::wstring errorText = GetLastErrorText();
    DebugLog() << L"Error : " << call << (errorText.empty() ? L"" : L" ") << errorText << EndLine;
    return false;
}

} // namespace

bool PostURLData(const std::wstring& url, const std::wstring& contentType, const std::string& body,
                 std::string& reply) {
    reply.clear();
    wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH] = {};
    std::wstring path(url.size() + 1, L'\0');
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH;
    parts.lpszUrlPath = &path[0];
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    // The query is part of the object that is requested; cracked separately it would be lost.
    std::wstring query(url.size() + 1, L'\0');
    parts.lpszExtraInfo = &query[0];
    parts.dwExtraInfoLength = static_cast<DWORD>(query.size());
    if (!InternetCrackUrlW(url.c_str(), 0, 0, &parts)) {
        return Fail(L"InternetCrackUrl()");
    }
    const std::wstring object = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                                std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);

    InternetHandle session(
        InternetOpenW(GetAppSettings().UserAgent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session) {
        return Fail(L"InternetOpen()");
    }
    InternetHandle connection(
        InternetConnectW(session.get(), host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
        return Fail(L"InternetConnect()");
    }
    // The login form lies on the secure host and sends the client on to the plain site.
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP |
                  INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) {
        flags |= INTERNET_FLAG_SECURE;
    }
    InternetHandle request(
        HttpOpenRequestW(connection.get(), L"POST", object.c_str(), nullptr, nullptr, nullptr, flags, 0));
    if (!request) {
        return Fail(L"HttpOpenRequest()");
    }
    const std::wstring headers = L"Content-Type: " + contentType + L"\r\n";
    if (!HttpSendRequestW(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                          const_cast<char*>(body.data()), static_cast<DWORD>(body.size()))) {
        return Fail(L"HttpSendRequest()");
    }
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
        return Fail(L"HttpQueryInfo()");
    }
    char chunk[4096];
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request.get(), chunk, sizeof(chunk), &read)) {
            return Fail(L"InternetReadFile()");
        }
        if (read == 0) {
            break;
        }
        reply.append(chunk, read);
    }
    if (status < 200 || status >= 300) {
        DebugLog() << L"Error : HttpSendRequest() HTTP " << static_cast<int>(status) << EndLine;
        return false;
    }
    return true;
}
