#pragma once
// Every private message of the program, each number defined here once: the main window's own
// messages, what the engine posts to the player's window, and the five blocks of tool-window messages
// that the main window forwards. Other programs send some of these (by "sendmsg" or directly), so the
// numbers are part of the program's outside interface and never change.

#include <windows.h>

// ---- The main window "CVelaPlayer" ----------------------------------------------------------------

// From the graph and the tray.
constexpr UINT kMsgGraphEvent = 0x8001; // the graph has events queued (the graph's notify message)
constexpr UINT kMsgPause = 0x8002;      // pause the playing media
constexpr UINT kMsgPlay = 0x8003;       // play the opened media
constexpr UINT kMsgPlayState = 0x8004;  // answers 0 stopped, 1 paused, 2 running (0 without media)
constexpr UINT kMsgTrayIcon = 0x800A;   // the task-tray icon's callback (lParam the mouse message)

// From workers and tool windows.
constexpr UINT kMsgUpdateMenu = 0x9001;   // refresh the menus' check marks and the status texts
constexpr UINT kMsgLogLine = 0x9002;      // wParam a zero-terminated wide text: append it as a log line
constexpr UINT kMsgSeek = 0x9003;         // wParam the position in ms
constexpr UINT kMsgFilterEntry = 0x9004;  // wParam an NG entry record's address, or 0 to reload the filters
constexpr UINT kMsgCommandLine = 0x9005;  // wParam a zero-terminated command line without the program
constexpr UINT kMsgRedrawPaused = 0x9006; // redraw the paused frame (lParam 0: at the current position)
constexpr UINT kMsgVideoData = 0x9007;    // answers the playing file's video data (a text's address)
constexpr UINT kMsgPostResult = 0x9008;   // a comment post ended: wParam non-zero on success
constexpr UINT kMsgRunScript = 0x9BBB;    // wParam a script text, lParam its language (39867)

// Posted by the main window to itself: run the next command line taken by WM_COPYDATA.
constexpr UINT kMsgRunPendingCommandLine = WM_APP + 0x100;

// ---- The log window "CBaseDebug" ----------------------------------------------------------------

// Sent from a thread other than the window's: wParam a zero-terminated wide text, lParam the log object.
constexpr UINT kMsgLogAppendLine = WM_APP + 1;

// ---- What the engine posts to the window that owns the video -------------------------------------

constexpr UINT kMsgPlayPosition = 0x8020; // wParam the play position in ms
constexpr UINT kMsgEndOfMedia = 0x8021;   // the frame pump found the position at the duration

// ---- The tool windows' blocks, forwarded by the main window -------------------------------------

constexpr UINT kBlockSize = 1000;
constexpr UINT kDownloadBlock = 37864;    // the download window; its first message returns its handle
constexpr UINT kPlaylistBlock = 38864;    // the playlist window; its first message returns its handle
constexpr UINT kVideoInfoBlock = 39864;   // the video-information window; its second message returns it
constexpr UINT kCommentListBlock = 40864; // the comment list window; its second message returns it
constexpr UINT kCommentPostBlock = 41864; // the comment post window; its second message returns it
constexpr UINT kLastBlockMessage = kCommentPostBlock + kBlockSize - 1;

// The download block.
constexpr UINT kMsgDownloadHandle = kDownloadBlock; // 37864: the window's handle
constexpr UINT kMsgDownloadListHandle = 37865;      // the list view's handle
constexpr UINT kMsgDownloadAddItem = 37874;         // wParam texts {ID or URL, folder, option}, lParam flags
constexpr UINT kMsgDownloadQueueAddItem = 37875;    // as 37874; kept until the saved list is loaded
constexpr UINT kMsgDownloadAddUrl = 37876;          // wParam a text with add data, lParam a folder text
constexpr UINT kMsgDownloadAddUrlComment = 37877;   // as 37876, comments only
constexpr UINT kMsgDownloadAddUrlVideo = 37878;     // as 37876, the video only
constexpr UINT kMsgDownloadAddUrlInfo = 37879;      // as 37876, the video information only
constexpr UINT kMsgDownloadSetUrlFromFile = 37884;  // wParam a file name: its watch URL goes to the URL box
constexpr UINT kMsgDownloadOpenSettings = 37885;    // opens the settings sheet
constexpr UINT kMsgDownloadGetSavePath = 37886;     // the save folder (a pointer to its text)
constexpr UINT kMsgDownloadRenamePath = 37894;      // wParam the old text, lParam the new one
constexpr UINT kMsgDownloadScheduleSave = 37895;    // (re)arms the list's auto-save
constexpr UINT kMsgDownloadGetCommentFormat = 37896;      // FileNameFormatXML (a pointer to its text)
constexpr UINT kMsgDownloadGetOwnerCommentFormat = 37897; // FileNameFormatOwnerXML (a pointer to its text)
constexpr UINT kMsgDownloadGetPass = 37898;         // the plain password (a pointer to its text)
constexpr UINT kMsgDownloadGetMail = 37899;         // the mail address (a pointer to its text)
constexpr UINT kMsgDownloadIsSettingsOpen = 37900;
constexpr UINT kMsgDownloadGetCommentOwner = 37901; // CommentGetOwner as 0 or 1

// Sent to the download window itself (not forwarded).
constexpr UINT kMsgDownloadAskUser = 0x8001;   // 32769: wParam a text, lParam a box type; the answer
constexpr UINT kMsgDownloadListLoaded = 0x8002; // 32770: a list load has ended

// The playlist block.
constexpr UINT kMsgPlaylistHandle = kPlaylistBlock; // 38864: the window's handle
constexpr UINT kMsgPlaylistAddFile = 38865;         // wParam a file path to add
constexpr UINT kMsgPlaylistPlayingFile = 38866;     // wParam the path of the file now playing
constexpr UINT kMsgPlaylistListHandle = 38867;      // the playlist's list view (a drop target of row drags)
constexpr UINT kMsgPlaylistRenamePath = 38894;      // wParam the old path, lParam the new one (a file renamed)

// The video-information block.
constexpr UINT kMsgVideoInfoHandle = 39865;
constexpr UINT kMsgVideoInfoReply = 39866; // takes a query's answer
static_assert(kMsgRunScript == kVideoInfoBlock + 3, "0x9BBB is the information window's script message");

// The comment list block.
constexpr UINT kMsgCommentListHandle = 40865;
constexpr UINT kMsgCommentListListHandle = 40866; // the list view's handle
constexpr UINT kMsgCommentListSelectId = 40867;   // wParam a user ID text: select that ID's rows

// The comment post block.
constexpr UINT kMsgCommentPostHandle = 41865;

// Whether the message lies in one of the five forwarded blocks.
constexpr bool IsToolWindowBlockMessage(UINT message) {
    return message >= kDownloadBlock && message <= kLastBlockMessage;
}

// ---- The download list -----------------------------------------------------------------------------

// Sent to the download list's parent: wParam a const std::function<void()>* to run there, so that a
// row's read-modify-write is one step of the UI thread. Answers 1 when it ran.
constexpr UINT kMsgDownloadRowStep = WM_APP + 0x200;
// Posted to the download window when rows were added or a download worker ended: the queue looks
// for the next row to start at once instead of at its next tick.
constexpr UINT kMsgDownloadQueueStep = WM_APP + 0x201;

// ---- The comment list window ------------------------------------------------------------------------

// Sent to the comment list window by its loading worker: wParam a const std::function<void()>* that
// the window registered, run on the window's thread. Answers 1 when it ran.
constexpr UINT kMsgCommentListStep = WM_APP + 0x300;
// Posted to the comment list window itself: refresh its menu and status once many rows changed.
constexpr UINT kMsgCommentListRefreshMenu = WM_APP + 0x301;
