#include "CWndDownload/DownloadSettings.h"

#include "client/DownloadFileNameFormats.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CIniFile.h"
#include "foundation/Credential.h"
#include "foundation/PathUtil.h"
#include "foundation/StringUtil.h"

#include <cstdlib>
#include <ctime>

namespace {

const wchar_t* const kSection = L"download";

const wchar_t* const kColumnKeys[kDownloadStoredColumnCount] = {
    L"ColumnTitle", L"ColumnState",    L"ColumnFileSize",    L"ColumnPercent",     L"ColumnMovieName",
    L"ColumnType",  L"ColumnSavePath", L"ColumnSavePathFLV", L"ColumnSavePathXML", L"ColumnAddData",
};

// The booleans from SelectPath to TitleFixSearchIncludeSubDir, and from CommentGetOwner to
// VideoInfoSaveWorldTags: the reader and the writer walk the same tables, so their order cannot drift.
struct BoolKey {
    const wchar_t* key;
    bool DownloadSettings::*field;
};

const BoolKey kFirstBools[] = {
    {L"SelectPath", &DownloadSettings::SelectPath},
    {L"LowVideoNotify", &DownloadSettings::LowVideoNotify},
    {L"LowVideoNoDownload", &DownloadSettings::LowVideoNoDownload},
    {L"DownBGMs", &DownloadSettings::DownBGMs},
    {L"CreateFolderEveryVideo", &DownloadSettings::CreateFolderEveryVideo},
    {L"SaveCommonDir", &DownloadSettings::SaveCommonDir},
    {L"WatchClipBoard", &DownloadSettings::WatchClipBoard},
    {L"ListAutoSave", &DownloadSettings::ListAutoSave},
    {L"DeleteDownCompItem", &DownloadSettings::DeleteDownCompItem},
    {L"AddExcept", &DownloadSettings::AddExcept},
    {L"EconomyNotDelete", &DownloadSettings::EconomyNotDelete},
    {L"DownCompNotifyBeep", &DownloadSettings::DownCompNotifyBeep},
    {L"DownCompNotifyFlash", &DownloadSettings::DownCompNotifyFlash},
    {L"TitleFixEnable", &DownloadSettings::TitleFixEnable},
    {L"TitleFixSearchIncludeSubDir", &DownloadSettings::TitleFixSearchIncludeSubDir},
};

const BoolKey kSecondBools[] = {
    {L"CommentGetOwner", &DownloadSettings::CommentGetOwner},
    {L"VideoInfoSaveThumbnail", &DownloadSettings::VideoInfoSaveThumbnail},
    {L"VideoInfoSaveFilter", &DownloadSettings::VideoInfoSaveFilter},
    {L"VideoInfoSaveFilterAlways", &DownloadSettings::VideoInfoSaveFilterAlways},
    {L"VideoInfoAddTag", &DownloadSettings::VideoInfoAddTag},
    {L"VideoInfoSaveWorldTags", &DownloadSettings::VideoInfoSaveWorldTags},
};

struct TemplateKey {
    const wchar_t* readKey;
    // The IMG template is written under another spelling; case does not count, so it is one key.
    const wchar_t* writeKey;
    std::wstring DownloadSettings::*field;
};

const TemplateKey kTemplates[] = {
    {L"FileNameFormatMOV", L"FileNameFormatMOV", &DownloadSettings::FileNameFormatMOV},
    {L"FileNameFormatXML", L"FileNameFormatXML", &DownloadSettings::FileNameFormatXML},
    {L"FileNameFormatOwnerXML", L"FileNameFormatOwnerXML", &DownloadSettings::FileNameFormatOwnerXML},
    {L"FileNameFormatTXT", L"FileNameFormatTXT", &DownloadSettings::FileNameFormatTXT},
    {L"FileNameFormatIMG", L"FilenameFormatIMG", &DownloadSettings::FileNameFormatIMG},
    {L"FoldernameFormat", L"FoldernameFormat", &DownloadSettings::FoldernameFormat},
};

std::wstring DefaultSavePath(const std::wstring& programFolder) {
    return programFolder + L"\\Down";
}

// The scrambler draws on rand().
void SeedRandom() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
}

bool ParseDecimal(const std::wstring& text, int& value) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == L'-';
    if (negative) {
        i = 1;
    }
    if (i == text.size()) {
        return false;
    }
    int64_t number = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9') {
            return false;
        }
        number = number * 10 + (text[i] - L'0');
        if (number > INT32_MAX) {
            return false;
        }
    }
    value = static_cast<int>(negative ? -number : number);
    return true;
}

} // namespace

bool DownloadSettings::operator==(const DownloadSettings& o) const {
    for (const BoolKey& b : kFirstBools) {
        if (this->*b.field != o.*b.field) {
            return false;
        }
    }
    for (const BoolKey& b : kSecondBools) {
        if (this->*b.field != o.*b.field) {
            return false;
        }
    }
    for (const TemplateKey& t : kTemplates) {
        if (this->*t.field != o.*t.field) {
            return false;
        }
    }
    return SavePath == o.SavePath && TimeOutSecond == o.TimeOutSecond && Mail == o.Mail && Pass == o.Pass &&
           AccessWaitSec == o.AccessWaitSec && GetTitleWaitSec == o.GetTitleWaitSec &&
           ThreadDownProcessMax == o.ThreadDownProcessMax;
}

bool DownloadWindowKeys::operator==(const DownloadWindowKeys& o) const {
    for (int i = 0; i < kDownloadStoredColumnCount; ++i) {
        if (columnWidths[i] != o.columnWidths[i]) {
            return false;
        }
    }
    return hasPlacement == o.hasPlacement && left == o.left && top == o.top && width == o.width && height == o.height &&
           Url == o.Url && CheckMovie == o.CheckMovie && CheckComment == o.CheckComment &&
           CheckedCommentOnce == o.CheckedCommentOnce && CheckVideoInfo == o.CheckVideoInfo &&
           CheckPlayAfterDown == o.CheckPlayAfterDown && CheckAddPlayList == o.CheckAddPlayList &&
           columnOrder == o.columnOrder && WatchIncludeWindow == o.WatchIncludeWindow &&
           WatchExcludeWindow == o.WatchExcludeWindow;
}

DownloadSettings& GetDownloadSettings() {
    static DownloadSettings settings = [] {
        DownloadSettings defaults;
        defaults.SavePath = DefaultSavePath(GetProgramFolder());
        return defaults;
    }();
    return settings;
}

std::vector<int> ParseColumnOrder(const std::wstring& text) {
    std::vector<int> order;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L',', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        const std::wstring piece = text.substr(start, end - start);
        if (!piece.empty()) {
            int value = 0;
            if (!ParseDecimal(piece, value)) {
                return std::vector<int>();
            }
            order.push_back(value);
        }
        start = end + 1;
    }
    return order;
}

std::wstring FormatColumnOrder(const std::vector<int>& order) {
    std::wstring text;
    for (int index : order) {
        text += std::to_wstring(index) + L",";
    }
    return text;
}

void ReadDownloadSettings(const std::wstring& iniPath, const std::wstring& programFolder, DownloadWindowKeys& window,
                          DownloadSettings& settings, DownloadFileNameFormats& formats) {
    const CIniFile ini(iniPath, kSection);
    const std::wstring s; // the default section
    const DownloadWindowKeys windowDefaults;
    const DownloadSettings defaults;

    window.hasPlacement = true;
    window.left = ini.ReadInt(s, L"left", windowDefaults.left);
    window.top = ini.ReadInt(s, L"top", windowDefaults.top);
    window.width = ini.ReadInt(s, L"width", windowDefaults.width);
    window.height = ini.ReadInt(s, L"height", windowDefaults.height);
    window.Url = ini.ReadString(s, L"Url", windowDefaults.Url);
    window.CheckMovie = ini.ReadBool(s, L"CheckMovie", windowDefaults.CheckMovie);
    window.CheckComment = ini.ReadBool(s, L"CheckComment", windowDefaults.CheckComment);
    window.CheckedCommentOnce = ini.ReadBool(s, L"CheckedCommentOnce", windowDefaults.CheckedCommentOnce);
    window.CheckVideoInfo = ini.ReadBool(s, L"CheckVideoInfo", windowDefaults.CheckVideoInfo);
    window.CheckPlayAfterDown = ini.ReadBool(s, L"CheckPlayAfterDown", windowDefaults.CheckPlayAfterDown);
    window.CheckAddPlayList = ini.ReadBool(s, L"CheckAddPlayList", windowDefaults.CheckAddPlayList);
    for (int i = 0; i < kDownloadStoredColumnCount; ++i) {
        window.columnWidths[i] = ini.ReadInt(s, kColumnKeys[i], windowDefaults.columnWidths[i]);
    }
    window.columnOrder = ParseColumnOrder(ini.ReadString(s, L"ColumnOrderArray", L""));

    SeedRandom();
    settings.SavePath =
        GetAbsolutePath(programFolder, ini.ReadString(s, L"SavePath", DefaultSavePath(programFolder)), true);
    for (const BoolKey& b : kFirstBools) {
        settings.*b.field = ini.ReadBool(s, b.key, defaults.*b.field);
    }
    // Stored unsigned; a value past 32 bits wraps as the platform's profile reader does.
    settings.TimeOutSecond = static_cast<uint32_t>(ini.ReadInt64(s, L"TimeOutSecond", defaults.TimeOutSecond));
    for (const BoolKey& b : kSecondBools) {
        settings.*b.field = ini.ReadBool(s, b.key, defaults.*b.field);
    }
    settings.Mail = ini.ReadString(s, L"Mail", defaults.Mail);
    settings.Pass = UnscrambleCredential(ini.ReadString(s, L"Pass", L""));
    settings.AccessWaitSec = ini.ReadInt(s, L"AccessWaitSec", defaults.AccessWaitSec);
    settings.GetTitleWaitSec = ini.ReadInt(s, L"GetTitleWaitSec", defaults.GetTitleWaitSec);
    settings.ThreadDownProcessMax = ini.ReadInt(s, L"ThreadDownProcessMax", defaults.ThreadDownProcessMax);

    // Title fetches must not come faster than item starts; 0 (fetching off) is left alone.
    if (settings.GetTitleWaitSec != 0 && settings.GetTitleWaitSec < settings.AccessWaitSec) {
        settings.GetTitleWaitSec = settings.AccessWaitSec;
        DebugLog() << L"GetTitleWaitSec値を補正しました : " << settings.GetTitleWaitSec << EndLine;
    }
    if (settings.ThreadDownProcessMax != 1) {
        settings.ThreadDownProcessMax = 1;
        DebugLog() << L"現在のバージョンでは最大DL数は1に制限されています" << EndLine;
    }

    window.WatchIncludeWindow =
        TrimSlashes(ini.ReadString(s, L"WatchIncludeWindow", windowDefaults.WatchIncludeWindow));
    window.WatchExcludeWindow =
        TrimSlashes(ini.ReadString(s, L"WatchExcludeWindow", windowDefaults.WatchExcludeWindow));

    for (const TemplateKey& t : kTemplates) {
        settings.*t.field = ini.ReadString(s, t.readKey, defaults.*t.field);
    }
    // The client's video and thumbnail downloads take their templates from its own record.
    formats.FileNameFormatMOV = settings.FileNameFormatMOV;
    formats.FileNameFormatIMG = settings.FileNameFormatIMG;
}

void WriteDownloadSettings(const std::wstring& iniPath, const std::wstring& programFolder,
                           const DownloadWindowKeys& window, const DownloadSettings& settings) {
    CIniFile ini(iniPath, kSection);
    const std::wstring s;

    if (window.hasPlacement) {
        ini.Write(s, L"left", window.left);
        ini.Write(s, L"top", window.top);
        ini.Write(s, L"width", window.width);
        ini.Write(s, L"height", window.height);
    }
    ini.Write(s, L"Url", window.Url);
    ini.Write(s, L"CheckMovie", window.CheckMovie);
    ini.Write(s, L"CheckComment", window.CheckComment);
    ini.Write(s, L"CheckedCommentOnce", window.CheckedCommentOnce);
    ini.Write(s, L"CheckVideoInfo", window.CheckVideoInfo);
    ini.Write(s, L"CheckPlayAfterDown", window.CheckPlayAfterDown);
    ini.Write(s, L"CheckAddPlayList", window.CheckAddPlayList);
    for (int i = 0; i < kDownloadStoredColumnCount; ++i) {
        ini.Write(s, kColumnKeys[i], window.columnWidths[i]);
    }
    ini.Write(s, L"ColumnOrderArray", FormatColumnOrder(window.columnOrder));

    SeedRandom();
    ini.Write(s, L"SavePath", MakeRelativePath(settings.SavePath, programFolder));
    for (const BoolKey& b : kFirstBools) {
        ini.Write(s, b.key, settings.*b.field);
    }
    ini.Write(s, L"TimeOutSecond", settings.TimeOutSecond);
    for (const BoolKey& b : kSecondBools) {
        ini.Write(s, b.key, settings.*b.field);
    }
    ini.Write(s, L"Mail", settings.Mail);
    ini.Write(s, L"Pass", ScrambleCredential(settings.Pass));
    ini.Write(s, L"AccessWaitSec", settings.AccessWaitSec);
    ini.Write(s, L"GetTitleWaitSec", settings.GetTitleWaitSec);
    ini.Write(s, L"ThreadDownProcessMax", settings.ThreadDownProcessMax);
    ini.Write(s, L"WatchIncludeWindow", EncloseInSlashes(window.WatchIncludeWindow));
    ini.Write(s, L"WatchExcludeWindow", EncloseInSlashes(window.WatchExcludeWindow));
    for (const TemplateKey& t : kTemplates) {
        ini.Write(s, t.writeKey, settings.*t.field);
    }
}
