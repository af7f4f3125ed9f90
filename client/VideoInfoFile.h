#pragma once
// The video-information text file: a sectioned text file (CSectionFile) beside the video's other
// files, read by the video-information page. Its sections:
//   name            the video ID
//   source_name     the video's watch-page address on the site of its country
//   post            the posting time, as the page gives it
//   title           the service's title (the raw title when one is given, else the page's)
//   comment         the uploader's description (HTML as the page gives it)
//   tags            the tags, one per line
//   world_tags      the tags of other languages, one per line (only when asked for)
//   view_counter, comment_num, mylist_counter
//   filter          the uploader's replacement filter, one "from=to" entry per line (only when asked
//                   for and the uploader set one)
// Other sections of an existing file are kept.
//
// Thread use: any thread; it blocks on the file.

#include <string>
#include <vector>

// The tags of other languages in a watch page: the names of its "world_tag/" links, in page order.
std::vector<std::wstring> GetWorldTags(const std::wstring& page);

// Writes the file folder (expanded by folderTemplate) + "\" + fileNameFormat + ".txt" from the watch
// page and the API data. With addTags the tags of an existing file stay and the page's new ones are
// appended. False, with a log line, when the page names no video or the file cannot be written.
bool GetVideoInfo(const std::wstring& page, const std::wstring& flvData, const std::wstring& country,
                  const std::wstring& folder, const std::wstring& folderTemplate, const std::wstring& fileNameFormat,
                  const std::wstring& rawTitle, bool saveFilter, bool saveWorldTags, bool addTags);
