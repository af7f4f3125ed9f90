#pragma once
// Saving a video's comment document: the current comments, the past log at a time, or the uploader's
// thread, fetched from the message server and written under the download settings' templates.
//
// Thread use: the download item's worker thread; it blocks until the exchanges end.

#include "client/CGetVelaProcessCB.h"

#include <string>

// Fetches the comment document of the API data's thread (the past log at pastLogTime, seconds since
// 1970, when that is above 0; extraAttribute, such as fork="1" and a blank, goes into the request's
// thread element) and saves it as folder + the expanded folderTemplate + the expanded nameTemplate +
// ".xml"; the date placeholders are the past-log time, or the time of the download. An existing file of
// that name is replaced only once the new one is complete.
// Reports through callback: -3 with "Post Data = " + the request, then the request, download and save
// phases; -4 with the saved path. On failure -1, after "Error : GetXML()" (the request could not be
// made) or "XMLの取得に失敗しました" (no comment document came) or the failed save in the log.
bool DownloadPastLog(const std::wstring& videoId, CGetVelaProcessCB& callback, const std::wstring& page,
                     const std::wstring& flvData, const std::wstring& country, const std::wstring& folder,
                     const std::wstring& nameTemplate, const std::wstring& folderTemplate, long long pastLogTime,
                     const std::wstring& extraAttribute);
