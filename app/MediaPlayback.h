#pragma once
// The playing media of the player: opening a file into the graph, the state the other parts read,
// and the end of playback.
//
// Thread use: UI thread (ReadVideoFilters and the deferred open's poller on workers).

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct PlayingMedia {
    std::wstring videoPath;
    std::wstring commentPath;
    std::wstring infoPath;
    bool open = false;
    bool fullScreen = false;
};

PlayingMedia& GetPlayingMedia();
// True while a comment load runs; opening another file is refused meanwhile.
bool IsLoadingComments();
// Waits (answering sent messages) until no comment load runs, or the time-out: at the exit, since a
// load works in the comment store that static destruction ends.
void WaitForCommentLoads(DWORD timeoutMs);

// Applies the volume bar's position (or the muted level) to the graph.
void ApplyVolume();

// Opens the file and plays it with its comments; the group carries the comment options of a command
// line ("comment_shift=", "comment_readnum=", "comment_readstart=").
bool OpenMediaFile(const std::wstring& path, const std::vector<std::wstring>& group = {});
// True while an open runs; command lines and a close that arrive meanwhile wait for its end.
bool IsOpeningMedia();
void CloseMediaFile();
// The end of the media: repeat, pause, or the next file by the play order setting.
void PlayNextByPlayWay();
// The guard of an information file's "command" section: true while one runs.
bool IsInformationCommandRunning();
// Runs the command text (its "\n" as blanks, logged "動画情報コマンド : ") as a command line through
// execute, under the guard, which is released also when execute throws; false, running nothing, while
// another runs.
bool RunInformationCommand(std::wstring command, const std::function<void(const std::vector<std::wstring>&)>& execute);

// What asking the service for the video's filters (the uploader's replacements) gives for the file:
// the lines to log. Worker thread: it fetches, and may log in through owner.
std::vector<std::wstring> ReadVideoFilters(const std::wstring& videoPath, HWND owner);
// Logs the playing video's filters from a worker (ReadVideoFilters after a first line).
void GetVideoFilterThread();
// The video's API data for the main window's answer (kMsgVideoData): "" when the file name holds no
// video ID, when offline, when the fetch fails or when the service says the session is not logged in
// (asking for the account is left to the windows that need the login). A worker.
std::wstring FetchVideoData(const std::wstring& videoPath, const std::wstring& country);

// Full screen: the window takes its monitor without frame, menu and bars, and the video cursor hides
// after 1500 ms; off brings back the style, menu, bars and placement of before.
void SetFullScreen(bool on);
void ToggleFullScreen();
