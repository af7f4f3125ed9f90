#pragma once
// The main settings record of the player: every field with its default, and the paths derived from
// the program folder. Every layer reads it directly; its file, velaplayer.ini, is read and written by
// the application (app/SettingsFile.h).
//
// Thread use: loaded and saved on the UI thread; read by every thread without a lock.

#include <cstdint>
#include <string>

struct AppSettings {
    // Identity.
    std::wstring appName = L"VelaPlayer";
    std::wstring version = L"1.28";
    std::wstring iniPath;

    // Main window.
    int32_t Left = 0, Top = 0, Width = 400, Height = 360;
    bool Minimize = false, Maximize = false;
    // Information (log) window: section "info".
    int32_t InfoLeft = 0, InfoTop = 0, InfoWidth = 240, InfoHeight = 400;
    int32_t InfoBuffer = 32; // kilobytes
    int32_t Volume = 50;

    bool DebugMode = false;
    bool FirstBoot = true;
    bool Mute = false;
    bool ViewComment = true;
    bool ViewCommentOwner = true;
    bool ViewCommentLoadWait = true;
    bool ViewCommentRect = false;
    bool ViewCommentLimit = true;
    bool ViewPlayList = false;
    bool ViewDownloadWindow = false;
    bool ViewVideoInfoWindow = false;
    bool ViewCommentList = false;
    bool ViewCommentPost = false;
    bool InfoView = false;
    bool SimpleMode = false;
    bool MovieSizeFitWindow = false;
    bool MovieSizeAuto = false;
    bool MovieSizeFixComment = true;
    bool WindowTopmost = false;
    bool TopmostOnlyPlaying = false;
    bool SelectLatestComment = false;
    bool LeaveOldComment = false;
    bool AutoAcquireComment = true;
    bool UpdateSeeking = false;
    bool CommentMouseSelect = true;
    bool PriorityLatestVideoInfo = true;
    bool PriorityHigh = false;
    bool CheckMultiBoot = true;
    bool OfflineMode = false;
    bool NotifyVerup = true;
    bool MinimizeTaskTray = true;
    bool AlwaysTaskTray = true;
    bool XButtonMinimize = false;
    bool RecentOpenFileNotMemorize = false;

    int32_t SeekSecond = 5;

    std::wstring Country = L"jp";
    std::wstring OwnerCommentFilename = L"[Owner]";
    std::wstring BrowserPath;
    std::wstring BrowserCommand = L"%path% %url%";
    std::wstring ScreenShotFilenameFormat = L"%filename%[%now.min%:%now.sec%]";
    std::wstring UserAgent = L"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)";
    std::wstring PingUrl = L"http://www.example.com/";
    // Replaces the service's base address for every country when not empty (a test server, a mirror).
    std::wstring ServiceBaseUrl;
    std::wstring CommentFont = L"ＭＳ Ｐゴシック";
    std::wstring MovieIdInitialRegex = L"(s[mko]|f[zx]|c[aw]|ax|y[ok]|ig|om|n[aml]|z[a-e])";
    std::wstring FilenameTitleRegex = L"(.+)\\([:id:]\\).+?";
    std::wstring FilenameCategoryRegex = L"\\[(.+?)\\]";
    std::wstring CommonDir = L".\\common";
    std::wstring NextBootCommandLine;

    int32_t DefaultAvgTimePerFrame = 40, MinAvgTimePerFrame = 40, MaxAvgTimePerFrame = 0;
    int32_t PlayWay = 0;
    int32_t CommentAlpha = 100;
    int32_t VideoPlayQuality = 2;
    bool VideoHalfTone = true;

    int32_t ViewCommentNum = 0; // 0: by the video's length
    int32_t ViewCommentLimitNum = 30;
    int32_t ViewCommentAutoLess5m = 250, ViewCommentAutoLess10m = 500, ViewCommentAutoMore = 1000;

    int32_t AutoAcquireCommentShortSec = 30, AutoAcquireCommentLongSec = 60;

    bool EnableFilter = true;
    bool EnableLocalFilter = true;
    std::wstring FilterFile;

    int64_t LastNotifyUpdate = 0; // seconds

    // Derived at start, not stored.
    std::wstring movieFileMask = L"*.flv;*.mp4;*.mpg;*.mpeg;*.avi;*.wmv;*.mov;*.mkv;*.divx;*.ram";
    std::wstring closingTitle = L"終了しています...";
    std::wstring programFolder;
    std::wstring archiveFolder;
    std::wstring defaultArchiveFolder;
    std::wstring settingsDatPath;
    std::wstring filterFolder;
    std::wstring videoInfoFolder;
    int32_t versionNumber = 128;
    bool maySave = true;

    // Running state of the session, not stored.
    int32_t CommentTimeShift = 0; // milliseconds, set by "player -shift time="

    // Fills the defaults and the paths under programFolder (no trailing backslash).
    void InitSettings(const std::wstring& programFolder);
    // programFolder + "\velaplayer.ini".
    std::wstring GetSettingsFilePath() const;
};

// The process's one record, filled with the defaults for the program folder on first use.
AppSettings& GetAppSettings();
