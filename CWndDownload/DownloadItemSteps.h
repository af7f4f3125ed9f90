#pragma once
// The steps a download worker goes through for one video row. Each takes the list and the index of
// the worker's record (the record says which row is the worker's), sets the row's status, logs its own
// reasons and returns whether the row goes on. Each copies the settings it needs when it starts.
//
// Thread use: the worker's thread; rows are reached through RunRecordRowStep. A step throws
// DownloadItemEnded (DownloadItemWorker.h) once its record is cancelled or has left its row.

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// What a step reads of its row, read in one step of the list's thread.
struct DownloadItemRow {
    std::vector<std::wstring> texts; // the 11 columns
    LPARAM data = 0;
    std::vector<std::wstring> addOptions; // column 9 split as a command line

    const std::wstring& Text(int column) const { return texts[static_cast<size_t>(column)]; }
    std::wstring Option(const std::wstring& prefix) const;
};
// Throws DownloadItemEnded when the record has left its row.
DownloadItemRow ReadItemRow(HWND list, size_t recordIndex);

// Status 6; the page of column 1 (on the watch URL of the row's country unless it is a URL).
bool OpenItemUrl(HWND list, size_t recordIndex, std::wstring& page);

// Makes sure the page was fetched logged in: logs in once and fetches the page again when it is the
// login form; a page still not logged in then fails ("ログイン状態を確認できませんでした"). Without an
// account it waits for a settings sheet already open, or asks once and opens the sheet; a sheet closed
// without the account fails ("ログイン情報を入力して下さい。"), and no empty account is sent. A notice
// page fails, and the access-restriction notice unticks every waiting row. Quiet: the player check is
// skipped and a logged-in page passes.
bool CheckLoginInfo(HWND list, size_t recordIndex, std::wstring& page, bool quiet);

// Status 7. With TitleFixEnable and a save folder, a file there of this video gives its title to the
// row and to the page (the service's title is kept as raw_title=); else an empty title is taken from
// the page, and a page without one fails the row.
bool UpdateItemTitle(HWND list, size_t recordIndex, std::wstring& page);

// A row without a save folder asks for one (starting at the folder chosen last); cancelled: SavePath.
bool SelectSaveFolder(HWND list, size_t recordIndex);

// Status 8: the video-information file.
bool DownloadItemInfo(HWND list, size_t recordIndex, const std::wstring& page, const std::wstring& flvData,
                      const std::wstring& country);
// Status 9: the comment file (the past log of log=), and the uploader's comments when asked for; column
// 8 keeps the ordinary comment file.
bool DownloadItemComments(HWND list, size_t recordIndex, const std::wstring& page, const std::wstring& flvData,
                          const std::wstring& country);
// Status 10, then 11 while data flows: the video file, with the economy options and TimeOutSecond.
bool DownloadItemVideo(HWND list, size_t recordIndex, const std::wstring& page, const std::wstring& flvData);
// Adds a waiting video row beside the video for each @CM/@BGM video the page lists; always true.
bool SearchCmBgm(HWND list, size_t recordIndex, const std::wstring& page, const std::wstring& country);
// Status 12: the thumbnail.
bool DownloadItemThumbnail(HWND list, size_t recordIndex, const std::wstring& page, const std::wstring& flvData);
