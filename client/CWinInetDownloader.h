#pragma once
// Downloads one file over HTTP into a local path, resuming a partial download.
//
// The bytes go to path + ".part" and the address they came from (after redirects) to
// path + ".part.url"; only a whole file is renamed to path. A later call for the same path asks for
// the rest with "Range: bytes=N-": 206 appends, 200 starts over. A file is whole when exactly the
// announced length arrived (never none: a 200 with Content-Length 0 is a failure); every other end is
// a failure that keeps the partial file for a later resume, except where a resume is impossible (the
// address differs from the recorded one, or a 416 whose "bytes */TOTAL" is not the part's size),
// which deletes it. A 416 whose total is the part's size renames the part, which is then whole.
//
// Thread use: the thread that uses the object; Download blocks until the transfer ends.

#include "client/CWinInet.h"

#include <functional>
#include <string>

namespace utl {
namespace wininet {

class CWinInetDownloader : public CWinInet {
public:
    enum class Result {
        Complete,
        OpenFailed,     // no session, connection or request could be made
        HttpError,      // an error status (or a 206 for other bytes than asked for)
        RangeRefused,   // 416 to a resume, the part not the whole file; the partial file is deleted
        AddressChanged, // the resume came from another address than the partial file; it is deleted
        NoLength,       // the reply announced no length, so a whole file cannot be told from a cut one
        EmptyReply,     // a 200 that announced no bytes: no file the service serves is empty
        CutOff,         // the transfer ended before the announced length
        TimedOut,       // nothing arrived within the time-out
        WriteFailed,    // the local file could not be written or renamed
    };
    // Bytes of the file present so far (a resumed part included) and in all.
    using Progress = std::function<void(unsigned long long received, unsigned long long total)>;

    static std::wstring PartialPath(const std::wstring& path) { return path + L".part"; }
    static std::wstring AddressRecordPath(const std::wstring& path) { return path + L".part.url"; }
    // The characters the two side files add to path.
    static constexpr size_t kSideFileSuffixLength = 9;

    // GETs url with the agent; timeoutMs bounds the connection and each wait for data (not the whole
    // transfer). progress is called after every chunk written.
    Result Download(const std::wstring& userAgent, const std::wstring& url, const std::wstring& path, DWORD timeoutMs,
                    const Progress& progress);

    // A line for the log on the last failure: what happened, with the status or system text.
    const std::wstring& GetErrorText() const { return m_errorText; }

private:
    Result Fail(Result result, const std::wstring& text);
    // Renames the part to path and deletes its address record.
    Result Finish(const std::wstring& partPath, const std::wstring& recordPath, const std::wstring& path);
    Result SendRequest(const std::wstring& url, unsigned long long offset, DWORD timeoutMs);

    std::wstring m_errorText;
};

} // namespace wininet
} // namespace utl
