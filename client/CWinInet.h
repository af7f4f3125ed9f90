#pragma once
// A holder of the four WinInet handles of one exchange (session, URL, connection, request), opened
// step by step; the base of binary fetches and of the resumable downloader.
//
// Thread use: the thread that uses the object; it blocks while a call runs.

#include "foundation/Handles.h"

#include <windows.h>
#include <wininet.h>

#include <string>

namespace utl {
namespace wininet {

class CWinInet {
public:
    CWinInet() = default;
    // Closes what is still open.
    ~CWinInet();
    CWinInet(const CWinInet&) = delete;
    CWinInet& operator=(const CWinInet&) = delete;

    // Closes everything opened before, then opens a direct session with the agent and a GET of the URL
    // (INTERNET_FLAG_RELOAD). True when the URL handle is open.
    bool OpenUrl(const std::wstring& userAgent, const std::wstring& url);
    // Closes everything opened before, then opens a direct session with the agent. True when it is open.
    bool OpenSession(const std::wstring& userAgent);
    // False without a session; otherwise replaces the connection (and a request on it).
    bool Connect(const std::wstring& serverName, INTERNET_PORT port, const std::wstring& userName,
                 const std::wstring& password, DWORD service, DWORD flags, DWORD_PTR context);
    // False without a connection; otherwise replaces the request by a "GET" of the object.
    bool OpenRequest(const std::wstring& object, const std::wstring& httpVersion, const std::wstring& referrer,
                     const wchar_t** acceptTypes, DWORD flags, DWORD_PTR context);

    // The reply is read from the URL handle when it is open, else from the request handle.
    // The bytes InternetQueryDataAvailable reports; 0 without a handle.
    DWORD QueryDataAvailable();
    // The Content-Length header; 0 when it is absent or without a handle.
    DWORD GetContentLength();
    // Reads the whole reply into buffer; true when exactly the Content-Length came. A reply without
    // Content-Length gives false. On a short reply buffer holds the bytes that came; on one longer than
    // kMaxReplyBytes (HttpAccess.h) it holds that many and gives false.
    bool ReadData(std::string& buffer);

    // Closes the open handles, children before their parents.
    void Close();

    HINTERNET GetSessionHandle() const { return m_hSession.Get(); }
    HINTERNET GetUrlHandle() const { return m_hUrl.Get(); }
    HINTERNET GetConnectHandle() const { return m_hConnect.Get(); }
    HINTERNET GetRequestHandle() const { return m_hRequest.Get(); }

private:
    HINTERNET GetReplyHandle() const { return m_hUrl ? m_hUrl.Get() : m_hRequest.Get(); }

    CInternetHandle m_hSession;
    CInternetHandle m_hUrl;
    CInternetHandle m_hConnect;
    CInternetHandle m_hRequest;
};

} // namespace wininet
} // namespace utl
