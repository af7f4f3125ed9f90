#include "foundation/AppSettings.h"

#include "foundation/PathUtil.h"
#include "foundation/StringUtil.h"

#include <windows.h>

namespace {

// "1.28" gives 128.
int32_t VersionNumber(const std::wstring& version) {
    std::wstring digits = version;
    ReplaceAll(digits, L".", L"");
    return ToIntOrZero(digits);
}

} // namespace

void AppSettings::InitSettings(const std::wstring& folder) {
    *this = AppSettings();
    programFolder = folder;
    iniPath = GetSettingsFilePath();
    archiveFolder = programFolder + L"\\archive";
    defaultArchiveFolder = programFolder + L"\\archive\\default";
    settingsDatPath = archiveFolder + L"\\settings.dat";
    filterFolder = programFolder + L"\\filter";
    videoInfoFolder = programFolder + L"\\videoinfo";
    versionNumber = VersionNumber(version);
    Left = (GetSystemMetrics(SM_CXSCREEN) - Width) / 2;
    Top = (GetSystemMetrics(SM_CYSCREEN) - Height) / 2;
}

std::wstring AppSettings::GetSettingsFilePath() const { return programFolder + L"\\velaplayer.ini"; }

AppSettings& GetAppSettings() {
    static AppSettings settings = [] {
        AppSettings initial;
        initial.InitSettings(GetProgramFolder());
        return initial;
    }();
    return settings;
}
