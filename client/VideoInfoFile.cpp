#include "client/VideoInfoFile.h"

#include "client/FlvData.h"
#include "client/SaveNames.h"
#include "client/ServiceUrls.h"
#include "client/StringBetween.h"
#include "client/WatchPage.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CSectionFile.h"
#include "foundation/Exception.h"
#include "foundation/PathUtil.h"
#include "foundation/Regex.h"
#include "foundation/StringUtil.h"

namespace {

std::wstring ReadDescription(const std::wstring& page) {
    try {
        return GetContributorComment(page);
    } catch (const utl::exception::CException&) {
        return L"";
    }
}

// The earlier lines first, then the new ones they lack.
std::vector<std::wstring> Merge(std::vector<std::wstring> earlier, const std::vector<std::wstring>& added) {
    for (const std::wstring& line : added) {
        if (!ContainsString(earlier, line)) {
            earlier.push_back(line);
        }
    }
    return earlier;
}

} // namespace

std::vector<std::wstring> GetWorldTags(const std::wstring& page) {
    std::vector<std::wstring> tags;
    RegexGrep(1, page, L"<a href=\"world_tag/[^>]*>([^<]*)</a>&nbsp", tags);
    return tags;
}

bool GetVideoInfo(const std::wstring& page, const std::wstring& flvData, const std::wstring& country,
                  const std::wstring& folder, const std::wstring& folderTemplate, const std::wstring& fileNameFormat,
                  const std::wstring& rawTitle, bool saveFilter, bool saveWorldTags, bool addTags) {
    SaveNameValues values;
    values.title = GetTitle(page);
    values.videoId = GetVideoMember(page, L"v");
    values.time = LocalTimeFromUnixTime(0);
    if (values.videoId.empty()) {
        DebugLog() << L"Error : GetVideoInfo() the page names no video" << EndLine;
        return false;
    }
    const std::wstring saveFolder = BuildSaveFolder(folder, folderTemplate, values);
    const std::wstring path = BuildSaveFilePath(saveFolder, fileNameFormat, values, L".txt");
    if (path.empty() || !CreateFolderPath(saveFolder)) {
        DebugLog() << L"Error : GetVideoInfo() cannot make the folder " << saveFolder << EndLine;
        return false;
    }

    CSectionFile file(path);
    std::vector<std::wstring> tags = GetTags(page);
    std::vector<std::wstring> worldTags = GetWorldTags(page);
    if (addTags) {
        tags = Merge(file.ReadSectionLines(L"tags", true), tags);
        worldTags = Merge(file.ReadSectionLines(L"world_tags", true), worldTags);
    }
    bool written = file.SetSectionValue(L"name", values.videoId) &&
                   file.SetSectionValue(L"source_name", GetWatchUrl(country) + values.videoId) &&
                   file.SetSectionValue(L"post", GetVideoMember(page, L"postedAt")) &&
                   file.SetSection(L"title", rawTitle.empty() ? values.title : rawTitle) &&
                   file.SetSection(L"comment", ReadDescription(page)) && file.SetSectionLines(L"tags", tags) &&
                   (!saveWorldTags || file.SetSectionLines(L"world_tags", worldTags)) &&
                   file.SetSectionValue(L"view_counter", GetVideoMember(page, L"viewCount")) &&
                   file.SetSectionValue(L"comment_num", GetVideoMember(page, L"commentCount")) &&
                   file.SetSectionValue(L"mylist_counter", GetVideoMember(page, L"mylistCount"));
    const std::vector<std::wstring> filter = GetOwnerNgList(flvData);
    if (written && saveFilter && !filter.empty()) {
        written = file.SetSectionLines(L"filter", filter);
    }
    if (!written) {
        DebugLog() << L"Error : GetVideoInfo() cannot write " << path << EndLine;
        return false;
    }
    return true;
}
