#include "app/UpdateCheck.h"

#include "client/HttpAccess.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CIniFile.h"
#include "foundation/CWorkerThread.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Network.h"
#include "foundation/PathUtil.h"
#include "foundation/Shell.h"

#include <ctime>

namespace {

constexpr int64_t kAskInterval = 24 * 60 * 60;
constexpr FILEOP_FLAGS kSilent = 0x614;

void CheckForUpdate() {
    AppSettings& settings = GetAppSettings();
    if (!IsInternetConnected()) {
        return;
    }
    const std::wstring updaterIni = settings.archiveFolder + L"\\VelaPlayerUpdate\\VelaPlayerUpdate.ini";
    const std::wstring url = CIniFile(updaterIni, L"Update").Read(L"", L"UrlVersion", L"");
    std::wstring latest;
    if (url.empty() || !GetURLData(latest, url)) {
        return;
    }
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    if (!IsNewerVersion(latest, settings.version) || now - settings.LastNotifyUpdate < kAskInterval) {
        return;
    }
    settings.LastNotifyUpdate = now;
    const std::wstring question = L"新しいバージョン(Ver." + latest + L")が公開されています。\n更新しますか？";
    if (MessageBoxW(GetMainWindow(), question.c_str(), settings.appName.c_str(),
                    MB_YESNO | MB_ICONQUESTION | MB_TOPMOST | MB_SETFOREGROUND) == IDYES) {
        StartUpdater();
    }
}

} // namespace

bool IsNewerVersion(const std::wstring& latest, const std::wstring& running) {
    // A page that ends with a line break must not read as newer than the same version.
    const auto first = latest.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos) {
        return false;
    }
    const auto last = latest.find_last_not_of(L" \t\r\n");
    return running < latest.substr(first, last - first + 1);
}

bool StartUpdater() {
    const AppSettings& settings = GetAppSettings();
    const std::wstring target = settings.programFolder + L"\\VelaPlayerUpdate";
    const std::wstring source = settings.archiveFolder + L"\\VelaPlayerUpdate";
    if (FileExists(target)) {
        DeletePath(target, kSilent, GetMainWindow());
    }
    if (!FileExists(source) || CopyPath(source, settings.programFolder, kSilent, GetMainWindow()) != 0) {
        DebugLog() << L"Error : StartUpdater " << source << EndLine;
        return false;
    }
    const std::wstring program = target + L"\\VelaPlayerUpdate.exe";
    const std::wstring parameters = L"ver=" + settings.version + L" dir=\"" + settings.programFolder + L"\"";
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", program.c_str(), parameters.c_str(), target.c_str(), SW_SHOWNORMAL));
    return result > 32;
}

void StartUpdateCheck() {
    const AppSettings& settings = GetAppSettings();
    if (!settings.NotifyVerup || settings.OfflineMode) {
        return;
    }
    StartWorker({L"UpdateCheck", false}, CheckForUpdate);
}
