#pragma once
// Readers of a video's watch page and of the service's notice pages; each takes the whole page text.
//
// Thread use: any thread.

#include <string>
#include <vector>

// The title before the site suffix (" ‐ ", the dash U+2010) of the title element; empty, with a log
// line, when there is none.
std::wstring GetTitle(const std::wstring& page);
// Puts title, taken literally, in place of the title element's text before the site suffix " ‐ ".
// False when the pattern could not run.
bool ReplacePageTitle(std::wstring& page, const std::wstring& title);

// The names of the tag links, in page order.
std::vector<std::wstring> GetTags(const std::wstring& page);
// The uploader's description; throws utl::exception::CException "!GetContributorComment" when the page
// has none in any of its known layouts.
std::wstring GetContributorComment(const std::wstring& page);

// Values of the player's so.addVariable lines.
std::wstring GetCategory(const std::wstring& page);
// "flv", "mp4" or "swf" as the page gives it.
std::wstring GetMovieType(const std::wstring& page);
// The watch URLs of the videos the bgms variable lists (bare IDs on the country's watch URL); false
// when there is none.
bool GetBgmList(const std::wstring& page, std::vector<std::wstring>& out, const std::wstring& country);
bool HasOwnerThread(const std::wstring& page);
bool HasPlayerSwf(const std::wstring& page);

// A member of the page's "var Video = {...}" object: quoted strings and arrays without their
// enclosing characters, other values as they stand; empty when absent. name is a pattern piece.
std::wstring GetVideoMember(const std::wstring& page, const std::wstring& name);

// The page is the service's access-restriction notice.
bool IsAccessThrottled(const std::wstring& page);
// True when the page holds no link to the login form (logged in); otherwise logs
// "ログイン状態を確認できませんでした".
bool CheckLoginPage(const std::wstring& page);
// heading + " : " + body of a notice page, tags removed from the body and "<br>" made a line feed;
// the heading stays empty when the body is shorter than 2 characters. Logged unless quiet.
std::wstring GetServiceMessage(const std::wstring& page, bool quiet = false);

// The video ID the page's video data names (member "v"); empty when absent.
std::wstring GetMovieName(const std::wstring& page);
// Puts title in place of the title element's text before the site suffix, as ReplacePageTitle; false,
// the page unchanged, when the page has no title element with that suffix.
bool GetRawTitle(std::wstring& page, const std::wstring& title);
// The page's video data says the video is a my-memory item (member "isMymemory" true or 1).
bool IsMymemory(const std::wstring& page);
