#pragma once
// What the main window decides without a window: which tool windows are docked to it, the status
// bar's clicks, the wheel's volume steps, the system commands of the tray settings, the sizing that
// keeps a stretched video's shape, the answer to a comment post, and the video data it hands out.
//
// Thread use: plain values; the video data keeper is used on the UI thread.

#include "foundation/CCritSec.h"

#include <windows.h>

#include <string>
#include <vector>

// A tool window is docked when one of its edges lies on (within this many pixels of) an edge of the
// main window and the two overlap along that edge.
constexpr int kDockDistance = 8;
// How far a tool window docked to the main window at oldMain moves when the main window goes to
// newMain: with the edge it lies on (a move shifts every edge alike; a resize only the dragged ones),
// and along that edge with the main window's left or top. (0, 0) when it is not docked.
POINT DockedWindowShift(const RECT& oldMain, const RECT& newMain, const RECT& tool);

// The status bar's parts: 0 play time, 1 comment display, 2 play way, 3 play rate, 4 other.
constexpr int kStatusPartComment = 1;
constexpr int kStatusPartPlayWay = 2;
constexpr int kStatusPartRate = 3;
// The part under x (client pixels) for the right edges of the parts (-1 runs to the end); -1 for none.
int StatusPartAt(const std::vector<int>& rightEdges, int x);

// Play ways: 0 stop at the end, 1 repeat, 2 next file, 3 random file.
constexpr int kPlayWayCount = 4;
// A left click takes the next way, a right click the one before; an unknown way starts over at 0.
int NextPlayWay(int way, bool backwards);
const wchar_t* PlayWayText(int way);

// The play rates that the rate part steps through; a left click goes faster, a right click slower.
// A rate between two steps goes to the neighbour in that direction; the ends stay.
double NextPlayRate(double rate, bool slower);
// "x1.00" and the like.
std::wstring PlayRateText(double rate);

// The wheel's volume: each full notch (WHEEL_DELTA) moves it kWheelVolumeStep, up for a turn away
// from the user, within 0-100. Parts of a notch add up in pending until they make one.
constexpr int kWheelVolumeStep = 5;
int VolumeAfterWheel(int volume, int delta, int& pending);

// Whether a mouse move message moved the cursor: hiding the cursor sets it where it is, which the
// system reports as a move, and that must not bring it back. last becomes now.
bool CursorMoved(POINT& last, POINT now);

enum class SysCommandAction {
    Default,        // let the system do it
    Minimize,       // minimise instead (the close button minimises)
    MinimizeToTray, // minimise and hide, the tray icon stays to bring it back
};
// command is wParam of WM_SYSCOMMAND (its low four bits are the system's own and are ignored).
SysCommandAction DecideSysCommand(WPARAM command, bool minimizeToTray, bool closeButtonMinimizes);

// WM_SIZING for a video stretched over the whole video area: the dragged window rectangle changed so
// that the video area keeps the video's shape. frame is what the window has around the video area
// (window width less area width, window height less area height); edge is the WMSZ_ value. The
// dragged side or corner moves, the opposite one stays.
RECT KeepVideoShape(const RECT& dragged, int edge, SIZE frame, SIZE video);

// The answer to a comment post (kMsgPostResult).
struct PostResultAnswer {
    const wchar_t* statusText; // status-bar part 4
    bool startRefresh;         // the comments can be refreshed: fetch the newer ones
    bool logNotShown;          // log that the posted comment will not appear
};
PostResultAnswer AnswerPostResult(bool success, bool commentsRefreshable);

// The playing video's API data (the getflv text) as the main window hands it out: it belongs to the
// video it was fetched for, and another (or no) playing video gets an empty text. A fetch ends on a
// worker thread, possibly after the next video has been opened: only the fetch of the video last
// expected is kept.
class CPlayingVideoData {
public:
    // A fetch for the video starts: what was kept is dropped.
    void Expect(const std::wstring& videoPath);
    // Any thread. Kept only when videoPath is the one last expected.
    void Keep(const std::wstring& videoPath, const std::wstring& data);
    void Clear();
    // The text for the playing video, kept until the next answer (UI thread).
    const std::wstring& Answer(const std::wstring& playingVideoPath, bool mediaOpen);

private:
    mutable CCritSec m_lock;
    std::wstring m_expectedPath;
    std::wstring m_videoPath;
    std::wstring m_data;
    std::wstring m_answer;
};
