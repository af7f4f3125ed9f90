#include "client/CWinInetDownloader.h"

#include "client/HttpAccess.h"
#include "foundation/Handles.h"
#include "foundation/PathUtil.h"
#include "foundation/StringUtil.h"

#include <algorithm>
#include <vector>

namespace utl {
namespace wininet {

namespace {

// Large reads keep the per-call cost of WinInet and of the file system small against the bytes. A
// read waits until its chunk is full (also under Wine, which waits so even with IRF_NO_WAIT), and a
// read that fails loses what it had: a stall costs a resume at most one chunk. Asking how much has
// come before each read would avoid that, but Wine answers in pieces of 8 KB, which cuts the
// throughput to a fifth. So the chunk follows the link: it doubles after a read that came quickly and
// halves after a slow one, so that a slow link still reports progress (where the caller looks at
// pause and cancel) every fraction of a second, and a fast one reads a megabyte a call.
const DWORD kMinChunkSize = 64 * 1024;
const DWORD kMaxChunkSize = 1024 * 1024;
const ULONGLONG kQuickReadMs = 50;
const ULONGLONG kSlowReadMs = 250;
const DWORD kRangeNotSatisfiable = 416;

CFileHandle OpenFile(const std::wstring& path, DWORD access, DWORD disposition) {
    return CFileHandle(CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool GetFileSize64(const std::wstring& path, unsigned long long& size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

std::wstring ReadSmallTextFile(const std::wstring& path) {
    CFileHandle file = OpenFile(path, GENERIC_READ, OPEN_EXISTING);
    if (!file) {
        return L"";
    }
    char buffer[8192];
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr)) {
        return L"";
    }
    return Utf8ToWide(std::string(buffer, read));
}

bool WriteSmallTextFile(const std::wstring& path, const std::wstring& text) {
    CFileHandle file = OpenFile(path, GENERIC_WRITE, CREATE_ALWAYS);
    const std::string bytes = WideToUtf8(text);
    DWORD written = 0;
    return file && WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

DWORD QueryStatusCode(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
        return 0;
    }
    return status;
}

std::wstring QueryHeader(HINTERNET request, DWORD info) {
    wchar_t buffer[512];
    DWORD size = sizeof(buffer);
    if (!HttpQueryInfoW(request, info, buffer, &size, nullptr)) {
        return L"";
    }
    return std::wstring(buffer, size / sizeof(wchar_t));
}

// The address the reply came from, after redirects.
std::wstring QueryFinalUrl(HINTERNET request) {
    DWORD size = 0;
    InternetQueryOptionW(request, INTERNET_OPTION_URL, nullptr, &size);
    std::wstring url(size / sizeof(wchar_t) + 1, L'\0');
    if (size == 0 || !InternetQueryOptionW(request, INTERNET_OPTION_URL, &url[0], &size)) {
        return L"";
    }
    url.resize(wcslen(url.c_str()));
    return url;
}

// Decimal digits only, no sign or blank, as header values give them; 64 bits, since Content-Length
// may pass 4 GB.
bool ParseNumber(const std::wstring& text, unsigned long long& value) {
    if (text.empty() || text.size() > 19 || text.find_first_not_of(L"0123456789") != std::wstring::npos) {
        return false;
    }
    value = std::stoull(text);
    return true;
}

// "bytes FIRST-LAST/TOTAL".
bool ParseContentRange(const std::wstring& text, unsigned long long& first, unsigned long long& last,
                       unsigned long long& total) {
    const std::wstring prefix = L"bytes ";
    const size_t dash = text.find(L'-');
    const size_t slash = text.find(L'/');
    return text.compare(0, prefix.size(), prefix) == 0 && dash != std::wstring::npos && slash != std::wstring::npos &&
           dash < slash && ParseNumber(text.substr(prefix.size(), dash - prefix.size()), first) &&
           ParseNumber(text.substr(dash + 1, slash - dash - 1), last) && ParseNumber(text.substr(slash + 1), total) &&
           first <= last && last < total;
}

// "bytes */TOTAL", the range header of a 416.
bool ParseUnsatisfiedRange(const std::wstring& text, unsigned long long& total) {
    const std::wstring prefix = L"bytes */";
    return text.compare(0, prefix.size(), prefix) == 0 && ParseNumber(text.substr(prefix.size()), total);
}

void SetTimeouts(HINTERNET handle, DWORD timeoutMs) {
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT}) {
        InternetSetOptionW(handle, option, &timeoutMs, sizeof(timeoutMs));
    }
}

// WinInet reports ERROR_INTERNET_TIMEOUT; Wine's passes on the socket's WSAETIMEDOUT.
bool LastErrorIsTimeOut() {
    const DWORD error = GetLastError();
    return error == ERROR_INTERNET_TIMEOUT || error == WSAETIMEDOUT;
}

std::wstring WithErrorText(const std::wstring& text) {
    const DWORD error = GetLastError();
    const std::wstring errorText = GetLastErrorText();
    return text + L" (" + std::to_wstring(error) + L")" + (errorText.empty() ? L"" : L" " + errorText);
}

} // namespace

CWinInetDownloader::Result CWinInetDownloader::Fail(Result result, const std::wstring& text) {
    Close();
    m_errorText = text;
    return result;
}

CWinInetDownloader::Result CWinInetDownloader::SendRequest(const std::wstring& url, unsigned long long offset,
                                                           DWORD timeoutMs) {
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!InternetCrackUrlW(url.c_str(), 0, 0, &parts) || parts.dwHostNameLength == 0) {
        return Fail(Result::OpenFailed, WithErrorText(L"InternetCrackUrl() " + url));
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring object = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                          std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (object.empty()) {
        object = L"/";
    }
    SetTimeouts(GetSessionHandle(), timeoutMs);
    if (!Connect(host, parts.nPort, L"", L"", INTERNET_SERVICE_HTTP, 0, 0)) {
        return Fail(Result::OpenFailed, WithErrorText(L"InternetConnect()"));
    }
    // Not through the cache: a video would be stored a second time, and a resume needs the service's reply.
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                  INTERNET_FLAG_NO_UI | INTERNET_FLAG_KEEP_CONNECTION;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) {
        flags |= INTERNET_FLAG_SECURE;
    }
    if (!OpenRequest(object, L"", L"", nullptr, flags, 0)) {
        return Fail(Result::OpenFailed, WithErrorText(L"HttpOpenRequest()"));
    }
    SetTimeouts(GetRequestHandle(), timeoutMs);
    if (offset > 0) {
        const std::wstring range = L"Range: bytes=" + std::to_wstring(offset) + L"-\r\n";
        HttpAddRequestHeadersW(GetRequestHandle(), range.c_str(), static_cast<DWORD>(-1),
                               HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
    }
    if (!HttpSendRequestW(GetRequestHandle(), nullptr, 0, nullptr, 0)) {
        const bool timedOut = LastErrorIsTimeOut();
        return Fail(timedOut ? Result::TimedOut : Result::OpenFailed, WithErrorText(L"HttpSendRequest()"));
    }
    return Result::Complete;
}

CWinInetDownloader::Result CWinInetDownloader::Download(const std::wstring& userAgent, const std::wstring& url,
                                                        const std::wstring& path, DWORD timeoutMs,
                                                        const Progress& progress) {
    m_errorText.clear();
    const std::wstring partPath = PartialPath(path);
    const std::wstring recordPath = AddressRecordPath(path);

    // A partial file whose address is not recorded cannot be checked against the reply: it starts over.
    unsigned long long offset = 0;
    const std::wstring recordedUrl = ReadSmallTextFile(recordPath);
    if (recordedUrl.empty() || !GetFileSize64(partPath, offset)) {
        offset = 0;
    }

    if (!OpenSession(userAgent)) {
        return Fail(Result::OpenFailed, WithErrorText(L"InternetOpen()"));
    }
    const Result sent = SendRequest(url, offset, timeoutMs);
    if (sent != Result::Complete) {
        return sent;
    }
    const HINTERNET request = GetRequestHandle();
    const DWORD status = QueryStatusCode(request);
    std::wstring finalUrl = QueryFinalUrl(request);
    if (finalUrl.empty()) {
        finalUrl = url;
    }

    if (offset > 0 && finalUrl != recordedUrl) {
        DeleteFileW(partPath.c_str());
        DeleteFileW(recordPath.c_str());
        return Fail(Result::AddressChanged, L"the partial file came from " + recordedUrl + L", not " + finalUrl);
    }
    if (offset > 0 && status == kRangeNotSatisfiable) {
        // The part already holds the whole file: its last byte came, but the rename failed.
        unsigned long long total = 0;
        if (ParseUnsatisfiedRange(QueryHeader(request, HTTP_QUERY_CONTENT_RANGE), total) && total == offset) {
            Close();
            if (progress) {
                progress(offset, total);
            }
            return Finish(partPath, recordPath, path);
        }
        DeleteFileW(partPath.c_str());
        DeleteFileW(recordPath.c_str());
        return Fail(Result::RangeRefused, L"HTTP 416 for the bytes from " + std::to_wstring(offset));
    }

    unsigned long long total = 0;
    if (status == HTTP_STATUS_PARTIAL_CONTENT && offset > 0) {
        const std::wstring range = QueryHeader(request, HTTP_QUERY_CONTENT_RANGE);
        unsigned long long first = 0;
        unsigned long long last = 0;
        if (!ParseContentRange(range, first, last, total) || first != offset || last + 1 != total) {
            return Fail(Result::HttpError, L"HTTP 206 with Content-Range \"" + range + L"\" for the bytes from " +
                                               std::to_wstring(offset));
        }
    } else if (status == HTTP_STATUS_OK) {
        // A 200 to a range request is the whole file again.
        offset = 0;
        if (!QueryContentLength(request, total)) {
            return Fail(Result::NoLength, L"HTTP 200 without Content-Length");
        }
        if (total == 0) {
            return Fail(Result::EmptyReply, L"HTTP 200 with Content-Length 0");
        }
    } else {
        return Fail(Result::HttpError, L"HTTP " + std::to_wstring(status));
    }

    CFileHandle file = OpenFile(partPath, GENERIC_WRITE, offset > 0 ? OPEN_EXISTING : CREATE_ALWAYS);
    if (!file) {
        return Fail(Result::WriteFailed, WithErrorText(L"CreateFile() " + partPath));
    }
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN)) {
        return Fail(Result::WriteFailed, WithErrorText(L"SetFilePointerEx() " + partPath));
    }
    // The record is written before the first byte, so a partial file never lacks its address.
    if (offset == 0 && !WriteSmallTextFile(recordPath, finalUrl)) {
        const Result result = Fail(Result::WriteFailed, WithErrorText(L"CreateFile() " + recordPath));
        file.Close();
        DeleteFileW(partPath.c_str());
        return result;
    }

    std::vector<char> buffer(kMaxChunkSize);
    DWORD chunk = kMinChunkSize;
    unsigned long long received = offset;
    const auto failRead = [&](const std::wstring& call) {
        const bool timedOut = LastErrorIsTimeOut();
        return Fail(timedOut ? Result::TimedOut : Result::CutOff,
                    WithErrorText(call + L" " + std::to_wstring(received) + L"/" + std::to_wstring(total)));
    };
    if (progress) {
        progress(received, total);
    }
    while (received < total) {
        DWORD read = 0;
        const ULONGLONG readStart = GetTickCount64();
        if (!InternetReadFile(request, buffer.data(), static_cast<DWORD>(std::min<unsigned long long>(chunk, total - received)),
                              &read)) {
            return failRead(L"InternetReadFile()");
        }
        const ULONGLONG readTime = GetTickCount64() - readStart;
        if (readTime < kQuickReadMs && read == chunk) {
            chunk = std::min(chunk * 2, kMaxChunkSize);
        } else if (readTime > kSlowReadMs) {
            chunk = std::max(chunk / 2, kMinChunkSize);
        }
        if (read == 0) {
            break;
        }
        DWORD written = 0;
        if (!WriteFile(file.Get(), buffer.data(), read, &written, nullptr) || written != read) {
            return Fail(Result::WriteFailed, WithErrorText(L"WriteFile() " + partPath));
        }
        received += read;
        if (progress) {
            progress(received, total);
        }
    }
    if (received != total) {
        return Fail(Result::CutOff,
                    L"the transfer ended at " + std::to_wstring(received) + L"/" + std::to_wstring(total) + L" bytes");
    }
    Close();
    if (!file.Close()) {
        return Fail(Result::WriteFailed, WithErrorText(L"CloseHandle() " + partPath));
    }
    return Finish(partPath, recordPath, path);
}

CWinInetDownloader::Result CWinInetDownloader::Finish(const std::wstring& partPath, const std::wstring& recordPath,
                                                      const std::wstring& path) {
    // A failed rename keeps the part and its record: the next call finds the file whole by a 416.
    if (!MoveFileExW(partPath.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return Fail(Result::WriteFailed, WithErrorText(L"MoveFileEx() " + path));
    }
    DeleteFileW(recordPath.c_str());
    return Result::Complete;
}

} // namespace wininet
} // namespace utl
