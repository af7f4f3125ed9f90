#include "client/CWinInet.h"

#include "client/HttpAccess.h"

#include <algorithm>

namespace utl {
namespace wininet {

namespace {

const DWORD kReserveLimit = 1 << 20;

} // namespace

CWinInet::~CWinInet() {
    Close();
}

void CWinInet::Close() {
    m_hRequest.Close();
    m_hConnect.Close();
    m_hUrl.Close();
    m_hSession.Close();
}

bool CWinInet::OpenUrl(const std::wstring& userAgent, const std::wstring& url) {
    // An earlier URL handle must not pass for the result of this call.
    Close();
    m_hSession.Reset(InternetOpenW(userAgent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!m_hSession) {
        return false;
    }
    m_hUrl.Reset(
        InternetOpenUrlW(m_hSession.Get(), url.c_str(), nullptr, static_cast<DWORD>(-1), INTERNET_FLAG_RELOAD, 0));
    return m_hUrl.IsValid();
}

bool CWinInet::OpenSession(const std::wstring& userAgent) {
    Close();
    m_hSession.Reset(InternetOpenW(userAgent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    return m_hSession.IsValid();
}

bool CWinInet::Connect(const std::wstring& serverName, INTERNET_PORT port, const std::wstring& userName,
                       const std::wstring& password, DWORD service, DWORD flags, DWORD_PTR context) {
    if (!m_hSession) {
        return false;
    }
    m_hRequest.Close();
    m_hConnect.Close();
    m_hConnect.Reset(InternetConnectW(m_hSession.Get(), serverName.c_str(), port,
                                      userName.empty() ? nullptr : userName.c_str(),
                                      password.empty() ? nullptr : password.c_str(), service, flags, context));
    return m_hConnect.IsValid();
}

bool CWinInet::OpenRequest(const std::wstring& object, const std::wstring& httpVersion, const std::wstring& referrer,
                           const wchar_t** acceptTypes, DWORD flags, DWORD_PTR context) {
    if (!m_hConnect) {
        return false;
    }
    m_hRequest.Close();
    m_hRequest.Reset(HttpOpenRequestW(m_hConnect.Get(), L"GET", object.c_str(),
                                      httpVersion.empty() ? nullptr : httpVersion.c_str(),
                                      referrer.empty() ? nullptr : referrer.c_str(), acceptTypes, flags, context));
    return m_hRequest.IsValid();
}

DWORD CWinInet::QueryDataAvailable() {
    DWORD available = 0;
    const HINTERNET reply = GetReplyHandle();
    if (reply == nullptr || !InternetQueryDataAvailable(reply, &available, 0, 0)) {
        return 0;
    }
    return available;
}

DWORD CWinInet::GetContentLength() {
    const HINTERNET reply = GetReplyHandle();
    DWORD length = 0;
    DWORD size = sizeof(length);
    if (reply == nullptr ||
        !HttpQueryInfoW(reply, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr)) {
        return 0;
    }
    return length;
}

bool CWinInet::ReadData(std::string& buffer) {
    const HINTERNET reply = GetReplyHandle();
    if (reply == nullptr) {
        return false;
    }
    const DWORD length = GetContentLength();
    const DWORD available = QueryDataAvailable();
    if (length == 0 || available == 0) {
        return false;
    }
    // The buffer grows with what arrives: a length claimed by the server is not allocated up front,
    // and no more than the cap is read, so neither a false header nor a huge reply can exhaust the
    // address space of a 32-bit process.
    buffer.clear();
    buffer.reserve(std::min(length, kReserveLimit));
    const size_t limit = std::min<size_t>(length, kMaxReplyBytes);
    std::string chunk(available, '\0');
    while (buffer.size() < limit) {
        DWORD read = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(available, limit - buffer.size()));
        if (!InternetReadFile(reply, &chunk[0], wanted, &read) || read == 0) {
            break;
        }
        buffer.append(chunk.data(), read);
    }
    return buffer.size() == length;
}

} // namespace wininet
} // namespace utl
