#pragma once
// The command-line protocol: one request format for the program's own arguments, a second start's
// hand-off, internal requests, page links and other processes. An argument list is cut into groups
// at the kind words; each group is routed to a file, the download or playlist requests, or a kind.
//
// Thread use: UI thread.

#include <windows.h>

#include <string>
#include <vector>

using CommandArgs = std::vector<std::wstring>;

// State of the playing media, for the "get" queries.
struct MediaQueryState {
    std::wstring videoPath;
    std::wstring commentPath;
    std::wstring infoPath;
    long long positionMs = 0;
    long long durationMs = 0;
    // -1 no media, 0 stopped, 1 paused, 2 running.
    int state = -1;
    std::wstring playlistPath;
    std::vector<std::wstring> playlistFiles;
};

// What the protocol asks of the player; the main window implements it, tests record it.
class CommandLineHost {
public:
    virtual ~CommandLineHost() = default;

    // Routing of a group by its first entry.
    virtual void ExecuteDownloadCommand(const CommandArgs& group) = 0;
    virtual void ExecutePlaylistCommand(const CommandArgs& group) = 0;
    virtual void OpenDownloadList(const std::wstring& path) = 0;
    virtual void AddToPlaylist(const std::wstring& path) = 0;
    // Opens and plays the file; the group carries "comment_shift=" and the other comment options.
    virtual void OpenMediaFile(const std::wstring& path, const CommandArgs& group) = 0;

    // Kind "player".
    virtual bool IsGraphReady() = 0;
    // The opened media's length in milliseconds; 0 when unknown.
    virtual long long GetDurationMs() = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    virtual void SendMainCommand(WORD command) = 0;
    virtual void SeekPercent(int percent) = 0;
    virtual void SeekMs(int milliseconds) = 0;
    // Re-times the comment store to the total shift; false when the store refused (empty, loading).
    virtual bool ShiftCommentTimes(int totalMs) = 0;
    virtual void ApplyTimeShiftToCommentList(int totalMs) = 0;
    // Moves the volume bar; applies its position as the volume when the graph is ready.
    virtual void SetVolumeBarPosition(int position) = 0;
    virtual bool SetRate(double rate) = 0;
    virtual void PostCommentFromCommandLine(const CommandArgs& group) = 0;
    // The comment opacity setting changed: status text, and a redraw of a paused frame.
    virtual void CommentAlphaChanged() = 0;

    // Kinds "playlist", "videoinfo", "info".
    virtual void ShowPlaylist() = 0;
    virtual void ClearPlaylist(bool confirm) = 0;
    virtual void ShowVideoInfo(const std::wstring& href) = 0;
    virtual void SetVideoInfoOpenInside(bool inside) = 0;
    virtual void RepaintVideoInfo() = 0;
    virtual void ShowInformationWindow() = 0;

    // Kind "get": the state to answer from, and the reply ("VIDEOINFO" goes to the information window).
    virtual MediaQueryState GetMediaState() = 0;
    virtual void SendReply(const std::wstring& target, const std::wstring& text) = 0;

    // Kind "sendmsg".
    virtual LRESULT SendToMainWindow(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // Kind "other".
    virtual bool DeleteFolderSilently(const std::wstring& folder) = 0;
    virtual bool GetExchangeHtml(std::wstring& html) = 0;
};

// Cuts the arguments into groups, handles "-echo", "-exitforce" and the "-shift" merge, and routes
// every group in order.
void ParseCommandLine(const CommandArgs& arguments, CommandLineHost& host);
// The groups of an argument list: the first holds what precedes the first kind word (empty when the
// list begins with one); each kind word opens a group.
std::vector<CommandArgs> GroupCommandLine(const CommandArgs& arguments);
// Routes one group: a URL, a playlist, a download list, an existing file, or a kind.
void OpenCommandLineFiles(const CommandArgs& group, CommandLineHost& host);
// Acts on a group whose first entry is a kind word.
void DispatchCommandLine(const CommandArgs& group, CommandLineHost& host);

// A download request ("URL -movie -comment ... savepath= log=") as the download window's queued add
// takes it: texts {URL with its add data, save folder, ""} and the item flag word. Without a kind
// option the kinds are the window's check boxes (checkBoxFlags); "-onlyadd" adds the row unticked.
struct DownloadRequest {
    std::vector<std::wstring> texts;
    DWORD flags = 0;
};
DownloadRequest MakeDownloadRequest(const CommandArgs& group, DWORD checkBoxFlags);

// The answer of a "get" group, without the "<PRE>" wrapping; empty for an unknown query.
std::wstring AnswerGetQuery(const CommandArgs& group, const MediaQueryState& state);
// A "hwnd=" value: a decimal handle or "0x" and hex digits; null when it is neither or too large for a
// handle.
HWND ParseWindowHandle(const std::wstring& text);
// A decimal integer with an optional sign, saturated at the ends of 64 bits; 0 for a text that is no
// number (as the protocol reads a value that does not convert).
long long ParseCommandNumber(const std::wstring& text);

// Whether "sendmsg" may send the message: messages whose parameters are read as pointers are refused.
bool IsSendableMessage(UINT message, WPARAM wParam, LPARAM lParam);

// Set by "-exitforce" and never cleared: the close does not ask about running downloads.
bool IsExitForced();
