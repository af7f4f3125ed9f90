#pragma once
// The service's addresses, built in this one place from a country code. The host names are
// placeholders; the setting ServiceBaseUrl replaces the base address of every country (a test server).
//
// Thread use: any thread (reads the settings record).

#include <string>

// "http://www.<host>/" for "jp" or an empty code, "http://<code>.<host>/" for another country; the
// setting ServiceBaseUrl (with a trailing "/" added when missing) when it is set.
std::wstring GetServiceBaseUrl(const std::wstring& country);
// Base + "watch/".
std::wstring GetWatchUrl(const std::wstring& country);
// Base + "api/getflv/".
std::wstring GetFlvApiUrl(const std::wstring& country);
// The login form's address; on the base address when ServiceBaseUrl is set.
std::wstring GetSecureLoginUrl();

// A pattern matching the base address of any country (and ServiceBaseUrl when set), for use at the
// front of a larger pattern. It holds no capturing group.
std::wstring GetServiceSitePattern();

// The country code of a service URL from its sub-domain ("jp" for the main site); empty for a text
// that is not on a country's site (also for addresses on ServiceBaseUrl).
std::wstring GetCountryFromUrl(const std::wstring& text);

// The text when it contains "http://" anywhere, else the country's watch URL followed by the text.
std::wstring MakeAbsoluteUrl(const std::wstring& text, const std::wstring& country);

// The URL is on the service's site; a mylist page ("mylist/" and its number); the user's own list
// page ("my/mylist").
bool MakeSiteUrlRegex(const std::wstring& url);
bool MakeMylistRegex(const std::wstring& url);
bool MakeMylistUrlRegex(const std::wstring& url);

// Keys of the message server, fetched by GET on the country's base address; each replies with
// "name=value" pairs joined by "&". The thread key of a thread that needs one (getflv needs_key=1):
// base + "api/getthreadkey?thread=" + thread ID. The key of the thread's past log:
// base + "api/getwaybackkey?thread=" + thread ID. The key of a post to a block of 100 comments:
// base + "api/getpostkey?thread=" + thread ID + "&block_no=" + block.
std::wstring GetThreadKeyUrl(const std::wstring& country, const std::wstring& threadId);
std::wstring GetWaybackKeyUrl(const std::wstring& country, const std::wstring& threadId);
std::wstring GetPostKeyUrl(const std::wstring& country, const std::wstring& threadId, int blockNo);

// The list texts of a mylist (base + "api/mylist/list?group_id=" + group) and of the user's own list
// (base + "api/deflist/list").
std::wstring GetMylistApiUrl(const std::wstring& country, const std::wstring& groupId);
std::wstring GetDeflistApiUrl(const std::wstring& country);

// The video file's address (the url of the getflv data) ends in "low" when the service offers only
// the economy version.
bool IsEconomyVideoUrl(const std::wstring& videoUrl);
// The container the address names: "mp4" for "?m=", "flv" otherwise (the watch page's movie_type,
// when it has one, takes precedence).
std::wstring GetMovieTypeFromVideoUrl(const std::wstring& videoUrl);
