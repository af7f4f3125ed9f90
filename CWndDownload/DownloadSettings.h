#pragma once
// The download manager's section "download" of velaplayer.ini: the process-wide options record
// (DownloadSettings), the window's own keys (DownloadWindowKeys, taken from and put into its controls
// by the window), and the reader and writer of the whole section in the file's key order.
//
// Thread use: read and written on the UI thread; DownloadSettings is then read by the download threads
// without a lock (each value is a single bool, integer or string, replaced only on the UI thread).

// kDownloadColumnCount, the list's column count as ColumnOrderArray holds it.
#include "CWndDownload/DownloadListRow.h"

#include <cstdint>
#include <string>
#include <vector>

struct DownloadFileNameFormats;

struct DownloadSettings {
    // Absolute (or empty) in memory; stored as ".\" + rest when inside the program folder.
    std::wstring SavePath;
    bool SelectPath = false;
    bool LowVideoNotify = true;
    bool LowVideoNoDownload = false;
    bool DownBGMs = true;
    bool CreateFolderEveryVideo = false;
    bool SaveCommonDir = false;
    bool WatchClipBoard = true;
    bool ListAutoSave = true;
    bool DeleteDownCompItem = false;
    bool AddExcept = false;
    bool EconomyNotDelete = true;
    bool DownCompNotifyBeep = false;
    bool DownCompNotifyFlash = true;
    bool TitleFixEnable = true;
    bool TitleFixSearchIncludeSubDir = false;
    uint32_t TimeOutSecond = 300;
    bool CommentGetOwner = true;
    bool VideoInfoSaveThumbnail = false;
    bool VideoInfoSaveFilter = true;
    bool VideoInfoSaveFilterAlways = true;
    bool VideoInfoAddTag = false;
    bool VideoInfoSaveWorldTags = false;
    std::wstring Mail;
    // Plain in memory; scrambled in the file.
    std::wstring Pass;
    int32_t AccessWaitSec = 10;
    // 0 turns title fetching off.
    int32_t GetTitleWaitSec = 15;
    // Always 1 after reading.
    int32_t ThreadDownProcessMax = 1;
    std::wstring FileNameFormatMOV = L"%title%(%thread%)";
    std::wstring FileNameFormatXML = L"%title%(%thread%)[%year2%.%month2%.%day2% %hour2%時%minute2%分]";
    std::wstring FileNameFormatOwnerXML = L"%title%(%thread%)[Owner]";
    std::wstring FileNameFormatTXT = L"%title%(%thread%)";
    std::wstring FileNameFormatIMG = L"%title%(%thread%)";
    std::wstring FoldernameFormat = L"%title%";

    bool operator==(const DownloadSettings& other) const;
};

// The process's one record: the defaults, with SavePath the program folder + "\Down", until the
// download window reads the section.
DownloadSettings& GetDownloadSettings();

// Stored column widths, in the order of their keys: ColumnTitle (column 0), ColumnState (2),
// ColumnFileSize (3), ColumnPercent (4), ColumnMovieName (1), ColumnType (5), ColumnSavePath (6),
// ColumnSavePathFLV (7), ColumnSavePathXML (8), ColumnAddData (9). Column 10 is not stored.
constexpr int kDownloadStoredColumnCount = 10;
// left and top both this: the window is centred.
constexpr int32_t kDownloadPositionNotSet = INT32_MIN;

struct DownloadWindowKeys {
    // The normal (restored) rectangle. hasPlacement false (GetWindowPlacement failed) leaves the four
    // keys untouched in the file.
    bool hasPlacement = true;
    int32_t left = kDownloadPositionNotSet;
    int32_t top = kDownloadPositionNotSet;
    int32_t width = 640;
    int32_t height = 300;
    std::wstring Url;
    bool CheckMovie = true;
    bool CheckComment = false;
    bool CheckedCommentOnce = false;
    bool CheckVideoInfo = false;
    bool CheckPlayAfterDown = true;
    bool CheckAddPlayList = true;
    int32_t columnWidths[kDownloadStoredColumnCount] = {220, 140, 120, 40, 80, 140, 200, 50, 55, 55};
    // Empty: the creation order stays.
    std::vector<int> columnOrder;
    // Regular expressions, without the slashes they are stored in.
    std::wstring WatchIncludeWindow = L".*";
    std::wstring WatchExcludeWindow;

    bool operator==(const DownloadWindowKeys& other) const;
};

// Reads the section (a missing file, section or key gives the default), makes SavePath absolute
// against programFolder (no trailing backslash), applies the corrections of GetTitleWaitSec and
// ThreadDownProcessMax with their log lines, and copies the video and thumbnail templates into formats.
void ReadDownloadSettings(const std::wstring& iniPath, const std::wstring& programFolder, DownloadWindowKeys& window,
                          DownloadSettings& settings, DownloadFileNameFormats& formats);

// Writes every key in the reader's order; write failures are not reported.
void WriteDownloadSettings(const std::wstring& iniPath, const std::wstring& programFolder,
                           const DownloadWindowKeys& window, const DownloadSettings& settings);

// ColumnOrderArray's text: the pieces between "," (empty ones dropped) as integers; any piece that
// is not a decimal integer empties the whole order, so a damaged value keeps the creation order.
std::vector<int> ParseColumnOrder(const std::wstring& text);
std::wstring FormatColumnOrder(const std::vector<int>& order);
