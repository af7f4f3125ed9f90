#pragma once
// The text work of the video-information page: the template's option words, the placeholders and
// what a build leads to, as plain code that needs no window, browser or service.
//
// Thread use: any thread (no shared state).

#include <string>
#include <vector>

// Result flags of one page build (combined).
enum VideoInfoBuildFlags : unsigned int {
    BuildFailed = 1,  // show the error page
    ShowPage = 2,     // the page was written: show it
    ShowBlank = 4,    // show about:blank
    KeepPage = 8,     // show nothing new
    LastBuild = 0x10, // no further builds in this process
};

// The option words of a template's option comment; empty when there is none. A literal double quote
// inside a word is written as backslash + double quote or as "%__quot__%".
std::vector<std::wstring> ParseTemplateOptions(const std::wstring& text);

// The text with every "\" replaced by "\\".
std::wstring DoubleBackslashes(const std::wstring& text);

// The options of a template that change a build.
struct VideoInfoOptions {
    bool immediate = false;
    bool notFound = false;
    bool once = false;
    bool disconnect = false;
    bool openInside = false;
    bool notMove = false;
};
VideoInfoOptions ReadVideoInfoOptions(const std::vector<std::wstring>& words);

// How a build handles its page source.
enum class VideoInfoSourceKind {
    InfoFile,      // an existing video-information text file
    WatchUrl,      // "http://..." (fetched, or with -disconnect taken from the media name)
    Empty,         // no media
    NotFound,      // "NOT_FOUND"
    Other,         // anything else: the error page
};
VideoInfoSourceKind ClassifyVideoInfoSource(const std::wstring& source, bool fileExists);

// What a build does before filling: whether it fills a page, and the flags when it does not (or the
// flags a filled page starts from).
struct VideoInfoPlan {
    bool fill = false;           // fill the template
    bool fromNameOnly = false;   // WatchUrl with -disconnect: information from the media file's name
    bool fetch = false;          // WatchUrl: fetch from the service
    bool emptyInfo = false;      // fill from no information
    bool waitBeforeReturn = false; // NOT_FOUND without -not_found waits 1000 ms
    unsigned int flags = 0;
};
VideoInfoPlan PlanVideoInfoBuild(VideoInfoSourceKind kind, const VideoInfoOptions& options);

// The values that go into the placeholders.
struct VideoInfoValues {
    std::wstring name, post, title, comment;
    std::vector<std::wstring> tags;
    int viewCounter = -1, commentNum = -1, mylistCounter = -1;
    std::wstring movieId;   // the digits that end name; empty when name is not a video ID
    std::wstring userId = L"0";
    bool premium = false;
    std::wstring softDir, downloadDir, playlistPath, mediaPath, commentPath, thumbnailPath;
    int mediaViewCount = 0, mediaCommentCount = 0, mediaMylistCount = 0; // fallbacks for -1
};

// The tag links of "%__TAGS__%" and the script array of "%__TAGS2__%".
std::wstring MakeTagLinks(const std::vector<std::wstring>& tags);
std::wstring MakeTagArray(const std::vector<std::wstring>& tags);

// Replaces the placeholders in their fixed order, each everywhere.
void FillVideoInfoTemplate(std::wstring& text, const VideoInfoValues& values);

// The command of the last "exec=" word of the template's option comment; empty when there is none.
// Read from the template's own text before filling, so that information from the service (a title or
// a description) can never name a command; the placeholders inside the word are then filled alone.
std::wstring GetTemplateExecCommand(const std::wstring& templateText, const VideoInfoValues& values);
