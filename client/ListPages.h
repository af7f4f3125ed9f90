#pragma once
// The list texts of the service: a mylist and the user's own list, as JSON texts whose entries carry a
// "video_id" member.
//
// Thread use: any thread; the fetches block.

#include <string>
#include <vector>

// Appends every "video_id" string value of the text, in text order.
void GetVideoIdFromJson(std::vector<std::wstring>& out, const std::wstring& text);

// The list text of the user's own list (needs the login; setting Country). False, with
// "Error : GetDeflistPage()" in the log, when nothing came.
bool GetDeflistPage(std::wstring& out);
// The list text of the mylist that the URL names (its group_id, the number after "mylist/"), on the
// URL's country. False, with "Error : GetMylistPage()", when the URL names none or nothing came.
bool GetMylistPage(const std::wstring& url, std::wstring& out);
