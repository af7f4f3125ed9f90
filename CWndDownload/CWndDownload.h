#pragma once
// The download window. The list, the queue and the settings come with the download manager itself;
// this holds the window, its notify target and the requests the main window makes of it.
//
// Thread use: UI thread.

#include "foundation/PrivateMessages.h"
#include "windows/CToolWindow.h"

#include <string>

class CWndDownload : public CToolWindow {
public:
    CWndDownload() : CToolWindow(L"CWndDownload", L" - ダウンロードウィンドウ", kMsgDownloadHandle) {}

    // Stores the caption, the settings path and the list-file path (the settings file's folder +
    // "DownList.dat").
    void Init(const std::wstring& appTitle, const std::wstring& settingsPath, HWND mainWindow);
    const std::wstring& GetListFilePath() const { return m_listFilePath; }

    // False when no row is checked; otherwise true while a download item worker runs.
    bool IsDownloadRunning() const { return false; }
    // True while the download settings sheet is open.
    bool IsSettingsSheetOpen() const { return false; }
    // Keeps the list-file path of the command line; false when that file is missing.
    bool AddListFromCommandLine(const std::wstring& path);
    HACCEL GetAccelerator() const { return nullptr; }

private:
    std::wstring m_listFilePath;
    std::wstring m_commandLineList;
};

// The process's one download window object.
CWndDownload& GetDownloadWindow();
