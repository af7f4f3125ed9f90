#include "app/SettingsFile.h"

#include "foundation/CBaseDebug.h"
#include "foundation/CIniFile.h"
#include "foundation/CSectionFile.h"
#include "foundation/PathUtil.h"
#include "foundation/StringUtil.h"

#include <variant>

namespace {

const wchar_t kMain[] = L"main";
const wchar_t kInfo[] = L"info";

using Field =
    std::variant<bool AppSettings::*, int32_t AppSettings::*, int64_t AppSettings::*, std::wstring AppSettings::*>;

struct StoredKey {
    const wchar_t* section;
    const wchar_t* key;
    Field field;
};

// Every key of velaplayer.ini that the record keeps, in the order they are written.
const StoredKey kKeys[] = {
    {kMain, L"DebugMode", &AppSettings::DebugMode},
    {kMain, L"Country", &AppSettings::Country},
    {kMain, L"Left", &AppSettings::Left},
    {kMain, L"Top", &AppSettings::Top},
    {kMain, L"Width", &AppSettings::Width},
    {kMain, L"Height", &AppSettings::Height},
    {kMain, L"Minimize", &AppSettings::Minimize},
    {kMain, L"Maximize", &AppSettings::Maximize},
    {kInfo, L"Left", &AppSettings::InfoLeft},
    {kInfo, L"Top", &AppSettings::InfoTop},
    {kInfo, L"Width", &AppSettings::InfoWidth},
    {kInfo, L"Height", &AppSettings::InfoHeight},
    {kInfo, L"Buffer", &AppSettings::InfoBuffer},
    {kInfo, L"View", &AppSettings::InfoView},
    {kMain, L"RecentOpenFileNotMemorize", &AppSettings::RecentOpenFileNotMemorize},
    {kMain, L"ViewComment", &AppSettings::ViewComment},
    {kMain, L"EnableFilter", &AppSettings::EnableFilter},
    {kMain, L"EnableLocalFilter", &AppSettings::EnableLocalFilter},
    {kMain, L"FilterFile", &AppSettings::FilterFile},
    {kMain, L"ViewCommentOwner", &AppSettings::ViewCommentOwner},
    {kMain, L"ViewCommentLoadWait", &AppSettings::ViewCommentLoadWait},
    {kMain, L"ViewCommentRect", &AppSettings::ViewCommentRect},
    {kMain, L"ViewCommentNum", &AppSettings::ViewCommentNum},
    {kMain, L"ViewCommentAutoLess5m", &AppSettings::ViewCommentAutoLess5m},
    {kMain, L"ViewCommentAutoLess10m", &AppSettings::ViewCommentAutoLess10m},
    {kMain, L"ViewCommentAutoMore", &AppSettings::ViewCommentAutoMore},
    {kMain, L"ViewCommentLimit", &AppSettings::ViewCommentLimit},
    {kMain, L"ViewCommentLimitNum", &AppSettings::ViewCommentLimitNum},
    {kMain, L"ViewPlayList", &AppSettings::ViewPlayList},
    {kMain, L"ViewVideoInfoWindow", &AppSettings::ViewVideoInfoWindow},
    {kMain, L"ViewDownloadWindow", &AppSettings::ViewDownloadWindow},
    {kMain, L"ViewCommentList", &AppSettings::ViewCommentList},
    {kMain, L"ViewCommentPost", &AppSettings::ViewCommentPost},
    {kMain, L"MovieSizeFitWindow", &AppSettings::MovieSizeFitWindow},
    {kMain, L"MovieSizeAuto", &AppSettings::MovieSizeAuto},
    {kMain, L"MovieSizeFixComment", &AppSettings::MovieSizeFixComment},
    {kMain, L"WindowTopmost", &AppSettings::WindowTopmost},
    {kMain, L"TopmostOnlyPlaying", &AppSettings::TopmostOnlyPlaying},
    {kMain, L"Mute", &AppSettings::Mute},
    {kMain, L"Volume", &AppSettings::Volume},
    {kMain, L"DefaultAvgTimePerFrame", &AppSettings::DefaultAvgTimePerFrame},
    {kMain, L"MinAvgTimePerFrame", &AppSettings::MinAvgTimePerFrame},
    {kMain, L"MaxAvgTimePerFrame", &AppSettings::MaxAvgTimePerFrame},
    {kMain, L"VideoPlayQuality", &AppSettings::VideoPlayQuality},
    {kMain, L"VideoHalfTone", &AppSettings::VideoHalfTone},
    {kMain, L"PlayWay", &AppSettings::PlayWay},
    {kMain, L"CommentAlpha", &AppSettings::CommentAlpha},
    {kMain, L"SimpleMode", &AppSettings::SimpleMode},
    {kMain, L"SelectLatestComment", &AppSettings::SelectLatestComment},
    {kMain, L"LeaveOldComment", &AppSettings::LeaveOldComment},
    {kMain, L"AutoAcquireComment", &AppSettings::AutoAcquireComment},
    {kMain, L"AutoAcquireCommentShortSec", &AppSettings::AutoAcquireCommentShortSec},
    {kMain, L"AutoAcquireCommentLongSec", &AppSettings::AutoAcquireCommentLongSec},
    {kMain, L"UpdateSeeking", &AppSettings::UpdateSeeking},
    {kMain, L"CommentMouseSelect", &AppSettings::CommentMouseSelect},
    {kMain, L"PriorityLatestVideoInfo", &AppSettings::PriorityLatestVideoInfo},
    {kMain, L"PriorityHigh", &AppSettings::PriorityHigh},
    {kMain, L"CheckMultiBoot", &AppSettings::CheckMultiBoot},
    {kMain, L"OfflineMode", &AppSettings::OfflineMode},
    {kMain, L"NotifyVerup", &AppSettings::NotifyVerup},
    {kMain, L"MinimizeTaskTray", &AppSettings::MinimizeTaskTray},
    {kMain, L"AlwaysTaskTray", &AppSettings::AlwaysTaskTray},
    {kMain, L"XButtonMinimize", &AppSettings::XButtonMinimize},
    {kMain, L"SeekSecond", &AppSettings::SeekSecond},
    {kMain, L"OwnerCommentFilename", &AppSettings::OwnerCommentFilename},
    {kMain, L"BrowserPath", &AppSettings::BrowserPath},
    {kMain, L"BrowserCommand", &AppSettings::BrowserCommand},
    {kMain, L"ScreenShotFilenameFormat", &AppSettings::ScreenShotFilenameFormat},
    {kMain, L"UserAgent", &AppSettings::UserAgent},
    {kMain, L"PingUrl", &AppSettings::PingUrl},
    {kMain, L"ServiceBaseUrl", &AppSettings::ServiceBaseUrl},
    {kMain, L"CommentFont", &AppSettings::CommentFont},
    {kMain, L"MovieIdInitialRegex", &AppSettings::MovieIdInitialRegex},
    {kMain, L"FilenameTitleRegex", &AppSettings::FilenameTitleRegex},
    {kMain, L"FilenameCategoryRegex", &AppSettings::FilenameCategoryRegex},
    {kMain, L"CommonDir", &AppSettings::CommonDir},
    {kMain, L"NextBootCommandLine", &AppSettings::NextBootCommandLine},
    {kMain, L"LastNotifyUpdate", &AppSettings::LastNotifyUpdate},
};

const wchar_t kMovieIdInitialRegexV86[] = L"(s[mko]|f[zx]|c[aw]|ax|y[ok]|ig|om|n[aml]|z[a-e])";
const wchar_t kOldFilenameTitleRegex[] = L"(.+)\\([:id:]\\)\\.+?";
const wchar_t kFilenameTitleRegex[] = L"(.+)\\([:id:]\\).+?";
const wchar_t kFilterAdded[] = L"フィルタの追加を行いました";

int Notice(const std::wstring& caption, const std::wstring& text, UINT buttons) {
    return MessageBoxW(nullptr, text.c_str(), caption.c_str(), buttons | MB_TOPMOST | MB_SETFOREGROUND);
}

bool Ask(const std::wstring& caption, const std::wstring& text) {
    return Notice(caption, text, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void DeleteFileIfPresent(const std::wstring& path) {
    if (FileExists(path)) {
        DeleteFileW(path.c_str());
    }
}

// Copies a filter file shipped in the default archive into the program's filter folder. A file of that
// name already there may hold the user's own entries, so it is kept.
void AddFilterFromArchive(const AppSettings& settings, const std::wstring& name) {
    const std::wstring source = settings.defaultArchiveFolder + L"\\filter\\" + name;
    const std::wstring target = settings.filterFolder + L"\\" + name;
    CreateDirectoryW(settings.filterFolder.c_str(), nullptr);
    if (FileExists(target)) {
        return;
    }
    if (CopyFileW(source.c_str(), target.c_str(), TRUE)) {
        DebugLog() << kFilterAdded << EndLine;
    } else {
        DebugLog() << L"Error : CopyFile " << source << EndLine;
    }
}

void RunUpgradeSteps(AppSettings& settings, int32_t storedVersion) {
    CIniFile ini(settings.iniPath, kMain);
    if (storedVersion < 76) {
        Notice(settings.appName,
               L"Ver.0.76(test)～Ver.0.79で再生に関わる処理を大幅に変更しました。\n"
               L"以前のバージョンからの更新では再生品質の設定が全てデフォルトの設定にリセットされます。\n\n"
               L"(内容はメニューバーの[設定]->[再生]->[品質]から確認できます)",
               MB_OK | MB_ICONINFORMATION);
        ini.Write(kMain, L"VideoPlayQuality", L"");
        ini.Write(kMain, L"VideoHalfTone", true);
    }
    if (storedVersion < 81) {
        CSectionFile settingsDat(settings.settingsDatPath);
        CreateDirectoryW(settings.archiveFolder.c_str(), nullptr);
        for (int i = 0;; ++i) {
            const std::wstring key = L"RecentOpen" + std::to_wstring(i);
            const std::wstring path = ini.ReadString(kMain, key, L"");
            if (path.empty()) {
                break;
            }
            // The old key goes only once its path is safe in settings.dat.
            if (!settingsDat.AppendLine(L"RecentOpenFile", path)) {
                DebugLog() << L"Error : AppendLine " << settings.settingsDatPath << EndLine;
                break;
            }
            ini.DeleteKey(kMain, key);
            DebugLog() << L"Recent Open : " << path << EndLine;
        }
    }
    if (storedVersion < 86) {
        ini.Write(kMain, L"MovieIdInitialRegex", kMovieIdInitialRegexV86);
        DebugLog() << L"MovieIdInitialRegex値を書き換えました" << EndLine;
    }
    if (storedVersion < 88) {
        AddFilterFromArchive(settings, L"通常コメントを黒色表示.txt");
    }
    if (storedVersion < 90 &&
        Ask(settings.appName, L"Ver.0.90でショットカットキーに関する変更を行いました。\n"
                              L"変更を有効にするためにaccel.iniを一度削除します。\nよろしいですか？")) {
        DeleteFileIfPresent(settings.programFolder + L"\\accel.ini");
    }
    if (storedVersion < 94) {
        ini.Write(L"download", L"CheckComment", true);
        Notice(settings.appName,
               L"Ver.0.94でコメントの自動更新機能を追加しました。\n"
               L"ダウンロード時に新しいコメントを確認する設定を有効にしました。\n\n"
               L"(設定はダウンロードウィンドウの設定から変更できます)",
               MB_OK | MB_ICONINFORMATION);
    }
    if (storedVersion < 100 && ini.ReadString(kMain, L"FilenameTitleRegex", L"") == kOldFilenameTitleRegex) {
        ini.Write(kMain, L"FilenameTitleRegex", kFilenameTitleRegex);
        DebugLog() << L"FilenameTitleRegex文字列を修正しました" << EndLine;
    }
    if (storedVersion < 106 && Ask(settings.appName, L"Ver.1.06で動画情報ウィンドウのスクリプトを更新しました。\n"
                                                     L"古いvelaplayer.jsを削除します。\nよろしいですか？")) {
        DeleteFileIfPresent(settings.videoInfoFolder + L"\\velaplayer.js");
    }
    if (storedVersion < 117) {
        if (Ask(settings.appName, L"Ver.1.17で動画情報ウィンドウのテンプレートを更新しました。\n"
                                  L"古いtemplate.html、template_off.html、style.cssを削除します。\nよろしいですか？")) {
            DeleteFileIfPresent(settings.videoInfoFolder + L"\\template.html");
            DeleteFileIfPresent(settings.videoInfoFolder + L"\\template_off.html");
            DeleteFileIfPresent(settings.videoInfoFolder + L"\\style.css");
        }
        AddFilterFromArchive(settings, L"世界の新着動画のコメントを表示しない.txt");
    }
    if (storedVersion < 118) {
        Notice(settings.appName,
               L"Ver.1.18から、動画はサイトの標準サイズに自動でリサイズされなくなりました。\n"
               L"(以前の動作に戻すにはメニューバーの[表示]から動画サイズを設定してください)",
               MB_OK | MB_ICONINFORMATION);
    }
    if (storedVersion < 119 && Ask(settings.appName, L"Ver.1.19で動画情報ウィンドウのテンプレートを更新しました。\n"
                                                     L"古いtemplate.htmlを削除します。\nよろしいですか？")) {
        DeleteFileIfPresent(settings.videoInfoFolder + L"\\template.html");
    }
}

} // namespace

void LoadSettings(AppSettings& settings) {
    CIniFile ini(settings.iniPath, kMain);
    const int32_t storedVersion = ini.ReadInt(kMain, L"LastBootVer", settings.versionNumber);
    // An instance that hands its command line over (or may not save for another reason) leaves the
    // upgrade to the instance that stays.
    if (storedVersion != settings.versionNumber && settings.maySave) {
        RunUpgradeSteps(settings, storedVersion);
        // Recorded at once: after a crash or a hand-off the steps must not run again.
        ini.Write(kMain, L"LastBootVer", settings.versionNumber);
    }
    settings.FirstBoot = ini.ReadBool(kMain, L"FirstBoot", settings.FirstBoot);
    for (const StoredKey& stored : kKeys) {
        std::visit(
            [&](auto member) {
                using T = std::decay_t<decltype(settings.*member)>;
                T& value = settings.*member;
                if constexpr (std::is_same_v<T, bool>) {
                    value = ini.ReadBool(stored.section, stored.key, value);
                } else if constexpr (std::is_same_v<T, int32_t>) {
                    value = ini.ReadInt(stored.section, stored.key, value);
                } else if constexpr (std::is_same_v<T, int64_t>) {
                    value = ini.ReadInt64(stored.section, stored.key, value);
                } else {
                    value = ini.ReadString(stored.section, stored.key, value);
                }
            },
            stored.field);
    }
    if (settings.DebugMode) {
        DebugLog() << L"[デバッグモード]" << EndLine;
    }
    if (settings.OfflineMode) {
        DebugLog() << L"[オフラインモード]" << EndLine;
    }
}

void SaveSettings(AppSettings& settings, HWND mainWindow, HWND infoWindow) {
    if (!settings.maySave) {
        return;
    }
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (mainWindow != nullptr && GetWindowPlacement(mainWindow, &placement)) {
        const RECT& r = placement.rcNormalPosition;
        settings.Left = r.left, settings.Top = r.top, settings.Width = r.right - r.left,
        settings.Height = r.bottom - r.top;
        settings.Minimize = placement.showCmd == SW_SHOWMINIMIZED;
        settings.Maximize = placement.showCmd == SW_SHOWMAXIMIZED ||
                            (settings.Minimize && (placement.flags & WPF_RESTORETOMAXIMIZED) != 0);
    }
    if (infoWindow != nullptr && GetWindowPlacement(infoWindow, &placement)) {
        const RECT& r = placement.rcNormalPosition;
        settings.InfoLeft = r.left, settings.InfoTop = r.top, settings.InfoWidth = r.right - r.left,
        settings.InfoHeight = r.bottom - r.top;
    }

    CIniFile ini(settings.iniPath, kMain);
    ini.Write(kMain, L"LastBootVer", settings.versionNumber);
    ini.Write(kMain, L"FirstBoot", false);
    for (const StoredKey& stored : kKeys) {
        std::visit([&](auto member) { ini.Write(stored.section, stored.key, settings.*member); }, stored.field);
    }
}

void ClearSettings(AppSettings& settings) {
    for (const StoredKey& stored : kKeys) {
        std::visit(
            [&](auto member) {
                if constexpr (std::is_same_v<std::decay_t<decltype(settings.*member)>, std::wstring>) {
                    (settings.*member).clear();
                }
            },
            stored.field);
    }
    for (std::wstring* derived :
         {&settings.appName, &settings.version, &settings.iniPath, &settings.movieFileMask, &settings.closingTitle,
          &settings.programFolder, &settings.archiveFolder, &settings.defaultArchiveFolder, &settings.settingsDatPath,
          &settings.filterFolder, &settings.videoInfoFolder}) {
        derived->clear();
    }
}

bool SameStoredValues(const AppSettings& a, const AppSettings& b) {
    for (const StoredKey& stored : kKeys) {
        const bool same = std::visit([&](auto member) { return a.*member == b.*member; }, stored.field);
        if (!same) {
            return false;
        }
    }
    return a.FirstBoot == b.FirstBoot;
}
