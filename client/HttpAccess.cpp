#include "client/HttpAccess.h"

#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/Handles.h"
#include "foundation/PathUtil.h"
#include "foundation/StringUtil.h"

#include <algorithm>

namespace {

const DWORD kChunkSize = 1024;

enum class BodyRead { Whole, ReadFailed, CutShort, TooLarge };

// Appends the whole body; a chunk is kept whole, zero bytes included. A connection closed before the
// announced length reads as a plain end of data, so only the length tells a cut body.
BodyRead ReadWholeBody(HINTERNET request, std::string& bytes, unsigned long long& announced) {
    announced = 0;
    const bool sized = QueryContentLength(request, announced);
    if (sized && announced > kMaxReplyBytes) {
        return BodyRead::TooLarge;
    }
    char chunk[kChunkSize];
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request, chunk, kChunkSize, &read)) {
            return BodyRead::ReadFailed;
        }
        if (read == 0) {
            break;
        }
        if (read > kMaxReplyBytes - bytes.size()) {
            return BodyRead::TooLarge;
        }
        bytes.append(chunk, read);
    }
    return sized && bytes.size() < announced ? BodyRead::CutShort : BodyRead::Whole;
}

// Zero bytes never belong to a character of the ANSI code page or of UTF-8; they would end the text.
std::string WithoutZeroBytes(std::string bytes) {
    bytes.erase(std::remove(bytes.begin(), bytes.end(), '\0'), bytes.end());
    return bytes;
}

bool IsValidUtf8(const std::string& bytes) {
    return bytes.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                                static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

void LogWithErrorText(const wchar_t* line) {
    const std::wstring errorText = GetLastErrorText();
    DebugLog() << line << (errorText.empty() ? L"" : L" ") << errorText << EndLine;
}

// Reads the whole body into bytes; on failure bytes is left empty, so that no cut page reaches a
// parser. A body beyond the cap is always logged, the other failures with logFailures.
bool ReadReply(HINTERNET request, std::string& bytes, bool logFailures) {
    unsigned long long announced = 0;
    const BodyRead result = ReadWholeBody(request, bytes, announced);
    if (result == BodyRead::Whole) {
        return true;
    }
    if (result == BodyRead::ReadFailed && logFailures) {
        LogWithErrorText(L"Error : InternetReadFile()");
    } else if (result == BodyRead::CutShort && logFailures) {
        DebugLog() << L"Error : InternetReadFile() 受信が途中で切れました (" << bytes.size() << L"/" << announced
                   << L" bytes)" << EndLine;
    } else if (result == BodyRead::TooLarge) {
        DebugLog() << L"Error : InternetReadFile() 応答が上限の " << kMaxReplyBytes << L" bytes を超えました"
                   << EndLine;
    }
    std::string().swap(bytes);
    return false;
}

// Reads the whole reply of a GET into bytes (empty when nothing could be opened or it is not whole);
// with logFailures, each failure logs its line.
void FetchBytes(const std::wstring& userAgent, const std::wstring& url, DWORD flags, bool logFailures,
                std::string& bytes) {
    if (InternetAttemptConnect(0) != ERROR_SUCCESS) {
        if (logFailures) {
            DebugLog() << L"Error : InternetAttemptConnect()" << EndLine;
            DebugLog() << L"インターネット接続が利用可能な状態になっていません" << EndLine;
        }
        return;
    }
    CInternetHandle session(InternetOpenW(userAgent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session) {
        if (logFailures) {
            LogWithErrorText(L"Error : InternetOpen()");
        }
        return;
    }
    CInternetHandle request(InternetOpenUrlW(session.Get(), url.c_str(), nullptr, 0, flags, 0));
    if (!request) {
        if (logFailures) {
            LogWithErrorText(L"Error : InternetOpenUrl()");
        }
        return;
    }
    ReadReply(request.Get(), bytes, logFailures);
}

} // namespace

bool QueryContentLength(HINTERNET request, unsigned long long& length) {
    wchar_t text[32];
    DWORD size = sizeof(text);
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) {
        return false;
    }
    const std::wstring digits(text, size / sizeof(wchar_t));
    if (digits.empty() || digits.size() > 19 || digits.find_first_not_of(L"0123456789") != std::wstring::npos) {
        return false;
    }
    length = std::stoull(digits);
    return true;
}

bool GetURLData(std::wstring& text, const std::wstring& url, DWORD flags) {
    std::string bytes;
    FetchBytes(L"", url, flags, false, bytes);
    text = AnsiToWide(WithoutZeroBytes(std::move(bytes)));
    return !text.empty();
}

bool GetURLPageData(std::wstring& text, const std::wstring& url, DWORD flags) {
    std::string bytes;
    FetchBytes(L"", url, flags, false, bytes);
    bytes = WithoutZeroBytes(std::move(bytes));
    text = IsValidUtf8(bytes) ? Utf8ToWide(bytes) : AnsiToWide(bytes);
    return !text.empty();
}

bool GetURLDataUTF8(const std::wstring& userAgent, const std::wstring& url, std::wstring& text, DWORD flags) {
    std::string bytes;
    FetchBytes(userAgent, url, flags, true, bytes);
    text = Utf8ToWide(WithoutZeroBytes(std::move(bytes)));
    if (text.empty()) {
        DebugLog() << L"Error : InternetReadFile() データが見つかりませんでした" << EndLine;
        return false;
    }
    return true;
}

bool OpenUrlChecked(std::wstring& page, const std::wstring& url) {
    if (!GetURLDataUTF8(GetAppSettings().UserAgent, url, page, INTERNET_FLAG_EXISTING_CONNECT)) {
        DebugLog() << L"URLのオープンに失敗しました" << EndLine;
        return false;
    }
    return true;
}

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
        LogWithErrorText(L"Error : InternetCrackUrl()");
        return false;
    }
    const std::wstring object = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                                std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);

    CInternetHandle session(
        InternetOpenW(GetAppSettings().UserAgent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session) {
        LogWithErrorText(L"Error : InternetOpen()");
        return false;
    }
    CInternetHandle connection(
        InternetConnectW(session.Get(), host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
        LogWithErrorText(L"Error : InternetConnect()");
        return false;
    }
    // The login form lies on the secure host and sends the client on to the plain site.
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP |
                  INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) {
        flags |= INTERNET_FLAG_SECURE;
    }
    CInternetHandle request(
        HttpOpenRequestW(connection.Get(), L"POST", object.c_str(), nullptr, nullptr, nullptr, flags, 0));
    if (!request) {
        LogWithErrorText(L"Error : HttpOpenRequest()");
        return false;
    }
    const std::wstring headers = L"Content-Type: " + contentType + L"\r\n";
    if (!HttpSendRequestW(request.Get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                          const_cast<char*>(body.data()), static_cast<DWORD>(body.size()))) {
        LogWithErrorText(L"Error : HttpSendRequest()");
        return false;
    }
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
        LogWithErrorText(L"Error : HttpQueryInfo()");
        return false;
    }
    if (!ReadReply(request.Get(), reply, true)) {
        return false;
    }
    if (status < 200 || status >= 300) {
        DebugLog() << L"Error : HttpSendRequest() HTTP " << static_cast<int>(status) << EndLine;
        return false;
    }
    return true;
}
