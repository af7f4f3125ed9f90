#pragma once
// The video API data (the getflv reply): its fetch and the readers of its key=value pairs, which are
// joined by "&". A key is found only at the start of the text or right after "&", and its value runs
// to the next "&": the last pair, having none, reads as empty.
//
// Thread use: any thread.

#include <windows.h>

#include <string>
#include <vector>

// The reply of the country's getflv API for the video, with "%3A", "%2F", "%3F" and "%3D" decoded (an
// encoded "&" stays encoded, so the pairs stay apart); empty when the fetch fails. Sent with the
// setting UserAgent and the given WinInet flags.
std::wstring GetFlvData(const std::wstring& videoId, const std::wstring& country, DWORD flags);

std::wstring GetThreadId(const std::wstring& flvData);
// Seconds; 0 when empty or not a number.
int GetVideoLength(const std::wstring& flvData);
std::wstring GetVideoUrl(const std::wstring& flvData);
std::wstring GetMessageServerUrl(const std::wstring& flvData);
std::wstring GetUserId(const std::wstring& flvData);
// is_premium is exactly "1".
bool IsPremium(const std::wstring& flvData);
// needs_key=1: a thread key must be fetched before the comments.
bool HasNeedsKey(const std::wstring& flvData);
// closed=1: the request was not logged in.
bool IsClosed(const std::wstring& flvData);
// The digits after deleted=; 0 when absent or empty.
int GetDeletedCode(const std::wstring& flvData);

// The uploader's NG list: the value of ng_up, URL-decoded and split at "&" (empty pieces dropped);
// empty when the uploader set none.
std::vector<std::wstring> GetOwnerNgList(const std::wstring& flvData);
