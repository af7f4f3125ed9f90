#include "client/HttpAccess.h"

#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/PathUtil.h"
#include "foundation/StringUtil.h"

#include <algorithm>
#include <memory>

namespace {

struct InternetHandleCloser {
    void operator()(void* handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleCloser>;

const DWORD kChunkSize = 1024;

// Appends the whole body; a chunk is kept whole, zero bytes included. Returns false when a read failed.
bool ReadWholeBody(HINTERNET url, std::string& bytes) {
    char chunk[kChunkSize];
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(url, chunk, kChunkSize, &read)) {
            return false;
        }
        if (read == 0) {
            return true;
        }
        bytes.append(chunk, read);
    }
}

// Zero bytes never belong to a character of the ANSI code page or of UTF-8; they would end the text.
std::string WithoutZeroBytes(std::string bytes) {
    bytes.erase(std::remove(bytes.begin(), bytes.end(), '\0'), bytes.end());
    return bytes;
}

void LogWithErrorText(const wchar_t* line) {
    const std::wstring errorText = GetLastErrorText();
    DebugLog() << line << (errorText.empty() ? L"" : L" ") << errorText << EndLine;
}

} // namespace

bool GetURLData(std::wstring& text, const std::wstring& url, DWORD flags) {
    text.clear();
    if (InternetAttemptConnect(0) != ERROR_SUCCESS) {
        return false;
    }
    InternetHandle session(InternetOpenW(L"", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session) {
        return false;
    }
    InternetHandle request(InternetOpenUrlW(session.get(), url.c_str(), nullptr, 0, flags, 0));
    if (!request) {
        return false;
    }
    std::string bytes;
    ReadWholeBody(request.get(), bytes);
    text = AnsiToWide(WithoutZeroBytes(std::move(bytes)));
    return !text.empty();
}

namespace {

// The steps of GetURLDataUTF8 up to the decoded text; each failure logs its own line.
void FetchUtf8(const std::wstring& userAgent, const std::wstring& url, std::wstring& text, DWORD flags) {
    if (InternetAttemptConnect(0) != ERROR_SUCCESS) {
        DebugLog() << L"Error : InternetAttemptConnect()" << EndLine;
        DebugLog() << L"インターネット接続が利用可能な状態になっていません" << EndLine;
        return;
    }
    InternetHandle session(InternetOpenW(userAgent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session) {
        LogWithErrorText(L"Error : InternetOpen()");
        return;
    }
    InternetHandle request(InternetOpenUrlW(session.get(), url.c_str(), nullptr, 0, flags, 0));
    if (!request) {
        LogWithErrorText(L"Error : InternetOpenUrl()");
        return;
    }
    std::string bytes;
    if (!ReadWholeBody(request.get(), bytes)) {
        LogWithErrorText(L"Error : InternetReadFile()");
    }
    text = Utf8ToWide(WithoutZeroBytes(std::move(bytes)));
}

} // namespace

bool GetURLDataUTF8(const std::wstring& userAgent, const std::wstring& url, std::wstring& text, DWORD flags) {
    text.clear();
    FetchUtf8(userAgent, url, text, flags);
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
