#pragma once
// A POST over WinInet that sends a body and reads the whole reply as bytes. Cookies are WinInet's own,
// both ways: a cookie the reply sets is kept for later requests of the process, and redirects are
// followed with it.
//
// Thread use: any thread; each call opens and closes its own session and blocks until it ends.

#include <string>

// Sends body with the content type and the setting UserAgent; reply gets the reply's bytes. False,
// with a log line naming the failed call, when the exchange fails or the status is not 2xx.
bool PostURLData(const std::wstring& url, const std::wstring& contentType, const std::string& body, std::string& reply);
