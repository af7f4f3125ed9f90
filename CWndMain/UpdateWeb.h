#pragma once
// What the updater reads from the web: page texts, the pattern operations that read them, and the
// download of the release archive into a file.
//
// Thread use: the update worker; each object on one thread.

#include "foundation/Handles.h"

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

// Group 1 of the leftmost match; empty when nothing matches or the pattern has no group.
std::wstring FindPatternGroup(const std::wstring& text, const std::wstring& pattern);
// The whole text matches.
bool MatchPattern(const std::wstring& text, const std::wstring& pattern);
// Every match replaced by format.
std::wstring ReplacePattern(const std::wstring& text, const std::wstring& pattern, const std::wstring& format);
// The body of a GET, always fetched afresh, decoded from the ANSI code page. False when it cannot be
// fetched, when the server answers with an HTTP error (an error page is not the page), or when the
// text is empty.
bool GetURLData(std::wstring& text, const std::wstring& url);

namespace utl {
namespace wininet {

// One GET of a file.
class CWinInetDownload {
public:
    // Opens the internet handle and the URL; never raises (a failure leaves the handles empty).
    CWinInetDownload(const std::wstring& agent, const std::wstring& url);
    virtual ~CWinInetDownload() = default;
    CWinInetDownload(const CWinInetDownload&) = delete;
    CWinInetDownload& operator=(const CWinInetDownload&) = delete;
    // Stores the body in target. False, and no file left behind, when the URL did not open, the
    // server answered with an HTTP error or no data, a read or write failed, or fewer bytes came than
    // the announced length.
    bool DownloadToFile(const std::wstring& target);

protected:
    virtual void OnProgress(uint64_t /*received*/, uint32_t /*contentLength*/) {}

private:
    CInternetHandle m_internet;
    CInternetHandle m_url;
};

} // namespace wininet
} // namespace utl
