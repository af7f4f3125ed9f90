#pragma once
// One-shot HTTP exchanges over WinInet: GETs that fetch a whole reply into a wide text, and a POST.
// Cookies are WinInet's own: a login made in this process is seen by later requests.
//
// Thread use: any thread; each call opens and closes its own session and blocks until it ends.

#include <windows.h>
#include <wininet.h>

#include <cstddef>
#include <string>

// The most bytes a reply read into memory may have. Pages, keys and comment XML stay far below it; an
// endless or huge reply would otherwise exhaust the address space of a 32-bit process.
const size_t kMaxReplyBytes = 16 * 1024 * 1024;

// The Content-Length header of a reply in 64 bits, since a hostile one may pass 4 GB; false when there is
// none or it is no decimal number.
bool QueryContentLength(HINTERNET request, unsigned long long& length);

// A reply counts only when its whole body came: a read that fails, a body shorter than its
// Content-Length or one of more than kMaxReplyBytes leaves nothing to parse.

// A GET with an empty agent; the body decoded from the ANSI code page (zero bytes dropped). False, with
// an empty text, when the connection fails, the body is not whole or the text is empty. Logs only a
// reply beyond kMaxReplyBytes.
bool GetURLData(std::wstring& text, const std::wstring& url, DWORD flags = INTERNET_FLAG_RELOAD);

// GetURLData, but a body that is valid UTF-8 is decoded from UTF-8 (pages of the service and most of
// the web are): read as the ANSI code page, a lead byte there swallows the byte after it, such as the
// first letter of a link that follows Japanese text. Other bodies are read as the ANSI code page.
bool GetURLPageData(std::wstring& text, const std::wstring& url, DWORD flags = INTERNET_FLAG_RELOAD);

// A GET with the given agent; the body decoded from UTF-8 (zero bytes dropped). False, with an empty
// text, when the body is not whole or the text is empty; every failure is logged.
bool GetURLDataUTF8(const std::wstring& userAgent, const std::wstring& url, std::wstring& text, DWORD flags);

// GetURLDataUTF8 with the setting UserAgent and INTERNET_FLAG_EXISTING_CONNECT; logs
// "URLのオープンに失敗しました" when nothing could be read.
bool OpenUrlChecked(std::wstring& page, const std::wstring& url);

// A POST: a cookie the reply sets is kept for later requests of the process, and redirects are
// followed with it. Sends body with the content type and the setting UserAgent; reply gets the reply's bytes. False,
// with a log line naming the failed call, when the exchange fails or the status is not 2xx; reply is
// empty when the body is not whole.
bool PostURLData(const std::wstring& url, const std::wstring& contentType, const std::string& body, std::string& reply);
