#include "windows/VideoInfoPage.h"

#include "foundation/Regex.h"
#include "foundation/StringUtil.h"
#include "foundation/UrlEncode.h"

std::vector<std::wstring> ParseTemplateOptions(const std::wstring& text) {
    std::vector<std::wstring> match;
    if (!RegexSearch(text, L"<!-- ?VelaPlayer Option=\"([^\\n]*)\" ?-->", match) || match.size() < 2) {
        return {};
    }
    std::wstring value = match[1];
    ReplaceAll(value, L"\\\"", L"%__quot__%");
    std::vector<std::wstring> words = SplitCommandLine(L"dummy " + value);
    for (std::wstring& word : words) {
        ReplaceAll(word, L"%__quot__%", L"\"");
    }
    return words;
}

std::wstring DoubleBackslashes(const std::wstring& text) {
    std::wstring result = text;
    ReplaceAll(result, L"\\", L"\\\\");
    return result;
}

VideoInfoOptions ReadVideoInfoOptions(const std::vector<std::wstring>& words) {
    VideoInfoOptions options;
    const bool tool = ContainsString(words, L"-tool");
    options.immediate = tool || ContainsString(words, L"-immediate");
    options.notFound = tool || ContainsString(words, L"-not_found");
    options.once = tool || ContainsString(words, L"-once");
    options.disconnect = ContainsString(words, L"-disconnect");
    options.openInside = ContainsString(words, L"-open_inside");
    options.notMove = ContainsString(words, L"-not_move");
    return options;
}

VideoInfoSourceKind ClassifyVideoInfoSource(const std::wstring& source, bool fileExists) {
    if (fileExists) return VideoInfoSourceKind::InfoFile;
    if (source.compare(0, 7, L"http://") == 0) return VideoInfoSourceKind::WatchUrl;
    if (source.empty()) return VideoInfoSourceKind::Empty;
    if (source == L"NOT_FOUND") return VideoInfoSourceKind::NotFound;
    return VideoInfoSourceKind::Other;
}

VideoInfoPlan PlanVideoInfoBuild(VideoInfoSourceKind kind, const VideoInfoOptions& options) {
    VideoInfoPlan plan;
    if (options.once) plan.flags = LastBuild;
    if (options.notMove) plan.flags |= KeepPage;
    switch (kind) {
    case VideoInfoSourceKind::InfoFile:
        plan.fill = true;
        break;
    case VideoInfoSourceKind::WatchUrl:
        plan.fill = true;
        plan.fromNameOnly = options.disconnect;
        plan.fetch = !options.disconnect;
        break;
    case VideoInfoSourceKind::Empty:
        if (options.immediate) {
            plan.fill = plan.emptyInfo = true;
        } else {
            plan.flags |= KeepPage;
        }
        break;
    case VideoInfoSourceKind::NotFound:
        if (options.notFound) {
            plan.fill = plan.emptyInfo = true;
        } else {
            plan.flags |= ShowBlank;
            plan.waitBeforeReturn = true;
        }
        break;
    case VideoInfoSourceKind::Other:
        plan.flags |= BuildFailed;
        break;
    }
    return plan;
}

std::wstring MakeTagLinks(const std::vector<std::wstring>& tags) {
    std::wstring links;
    for (size_t i = 0; i < tags.size(); ++i) {
        if (i > 0) links += L'\x3000';
        links += L"<a href=\"tag/" + UrlEncode(tags[i]) + L"\" rel=\"tag\" class=\"velapedia\">" + tags[i] + L"</a>";
    }
    return links;
}

std::wstring MakeTagArray(const std::vector<std::wstring>& tags) {
    std::wstring array = L"[";
    for (size_t i = 0; i < tags.size(); ++i) {
        // A backslash is doubled first, so that a tag ending in one cannot end the literal early.
        std::wstring tag = DoubleBackslashes(tags[i]);
        ReplaceAll(tag, L"'", L"\\'");
        if (i > 0) array += L",";
        array += L"'" + tag + L"'";
    }
    return array + L"]";
}

namespace {

std::wstring CounterText(int value, int fallback) {
    return std::to_wstring(value == -1 ? fallback : value);
}

}  // namespace

void FillVideoInfoTemplate(std::wstring& text, const VideoInfoValues& v) {
    const std::pair<const wchar_t*, std::wstring> table[] = {
        {L"%__MOVIE_ID__%", v.movieId},
        {L"%__MOVIE_NAME__%", v.name},
        {L"%__POST__%", v.post},
        {L"%__TITLE__%", v.title},
        {L"%__COMMENT__%", v.comment},
        {L"%__TAGS__%", MakeTagLinks(v.tags)},
        {L"%__TAGS2__%", MakeTagArray(v.tags)},
        {L"%__USER_ID__%", v.userId.empty() ? std::wstring(L"0") : v.userId},
        {L"%__IS_PREMIUM__%", v.premium ? L"true" : L"false"},
        {L"%__SOFT_DIR__%", v.softDir},
        {L"%__DOWNLOAD_DIR__%", v.downloadDir},
        {L"%__PLAYLIST_PATH__%", v.playlistPath},
        {L"%__MEDIA_PATH__%", v.mediaPath},
        {L"%__COMMENT_PATH__%", v.commentPath},
        {L"%__THUMBNAIL_PATH__%", v.thumbnailPath},
        {L"%__SOFT_DIR2__%", DoubleBackslashes(v.softDir)},
        {L"%__DOWNLOAD_DIR2__%", DoubleBackslashes(v.downloadDir)},
        {L"%__PLAYLIST_PATH2__%", DoubleBackslashes(v.playlistPath)},
        {L"%__MEDIA_PATH2__%", DoubleBackslashes(v.mediaPath)},
        {L"%__COMMENT_PATH2__%", DoubleBackslashes(v.commentPath)},
        {L"%__THUMBNAIL_PATH2__%", DoubleBackslashes(v.thumbnailPath)},
        {L"%__VIEW_COUNTER__%", CounterText(v.viewCounter, v.mediaViewCount)},
        {L"%__COMMENT_NUM__%", CounterText(v.commentNum, v.mediaCommentCount)},
        {L"%__MYLIST_COUNTER__%", CounterText(v.mylistCounter, v.mediaMylistCount)},
    };
    for (const auto& entry : table) {
        ReplaceAll(text, entry.first, entry.second);
    }
}

std::wstring GetTemplateExecCommand(const std::wstring& templateText, const VideoInfoValues& values) {
    std::wstring command = GetArgValue(ParseTemplateOptions(templateText), L"exec=", L"");
    // Only the program's own values (folders, paths, counters) are meant here; the service's texts
    // are left out so they can never become part of a command.
    VideoInfoValues safe;
    safe.movieId = values.movieId;
    safe.userId = values.userId;
    safe.premium = values.premium;
    safe.softDir = values.softDir;
    safe.downloadDir = values.downloadDir;
    safe.playlistPath = values.playlistPath;
    safe.mediaPath = values.mediaPath;
    safe.commentPath = values.commentPath;
    safe.thumbnailPath = values.thumbnailPath;
    safe.viewCounter = values.viewCounter;
    safe.commentNum = values.commentNum;
    safe.mylistCounter = values.mylistCounter;
    safe.mediaViewCount = values.mediaViewCount;
    safe.mediaCommentCount = values.mediaCommentCount;
    safe.mediaMylistCount = values.mediaMylistCount;
    FillVideoInfoTemplate(command, safe);
    return command;
}
