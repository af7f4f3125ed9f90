#include "app/SettingsFile.h"

#include "foundation/CIniFile.h"
#include "foundation/CSectionFile.h"
#include "foundation/AppSettings.h"
#include "foundation/PathUtil.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

class AppSettingsTest : public TempFolderTest {
protected:
    AppSettings Fresh(const std::wstring& folder) const {
        AppSettings settings;
        settings.InitSettings(folder);
        return settings;
    }
    AppSettings Fresh() const { return Fresh(Folder()); }
};

TEST_F(AppSettingsTest, DerivedPathsAndVersion) {
    const AppSettings settings = Fresh();
    EXPECT_EQ(settings.iniPath, Folder() + L"\\velaplayer.ini");
    EXPECT_EQ(settings.archiveFolder, Folder() + L"\\archive");
    EXPECT_EQ(settings.defaultArchiveFolder, Folder() + L"\\archive\\default");
    EXPECT_EQ(settings.settingsDatPath, Folder() + L"\\archive\\settings.dat");
    EXPECT_EQ(settings.filterFolder, Folder() + L"\\filter");
    EXPECT_EQ(settings.videoInfoFolder, Folder() + L"\\videoinfo");
    EXPECT_EQ(settings.versionNumber, 128);
    EXPECT_EQ(settings.Left, (GetSystemMetrics(SM_CXSCREEN) - 400) / 2);
    EXPECT_EQ(settings.Top, (GetSystemMetrics(SM_CYSCREEN) - 360) / 2);
}

TEST_F(AppSettingsTest, MissingIniGivesTheDefaultsAndNoBoxes) {
    MessageBoxAnswerer answerer({IDYES});
    AppSettings settings = Fresh();
    LoadSettings(settings);
    EXPECT_TRUE(SameStoredValues(settings, Fresh()));
    EXPECT_TRUE(settings.FirstBoot);
    EXPECT_EQ(settings.CommentFont, L"ＭＳ Ｐゴシック");
    EXPECT_EQ(settings.ViewCommentLimitNum, 30);
    EXPECT_EQ(settings.UserAgent, L"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)");
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_FALSE(FileExists(settings.iniPath));
}

TEST_F(AppSettingsTest, SaveWritesVersionAndFirstBootAndAReloadIsEqual) {
    AppSettings settings = Fresh();
    LoadSettings(settings);
    settings.Left = -1200;
    settings.Volume = 0;
    settings.Mute = true;
    settings.ViewComment = false;
    settings.CommentFont = L"ＭＳ ゴシック";
    settings.CommonDir = L"D:\\動画\\共通フォルダ";
    settings.BrowserCommand = L" %path% %url% ";
    settings.OwnerCommentFilename = L"\"[Owner]\"";
    settings.NextBootCommandLine = L"other -deletetemp " + std::wstring(10000, L'x');
    settings.LastNotifyUpdate = 4102444800LL;
    SaveSettings(settings);

    CIniFile ini(settings.iniPath, L"main");
    EXPECT_EQ(ini.ReadInt(L"main", L"LastBootVer", 0), 128);
    EXPECT_EQ(ini.ReadInt(L"main", L"FirstBoot", 1), 0);

    AppSettings reloaded = Fresh();
    LoadSettings(reloaded);
    EXPECT_FALSE(reloaded.FirstBoot);
    settings.FirstBoot = false;
    EXPECT_TRUE(SameStoredValues(reloaded, settings));
    EXPECT_EQ(reloaded.CommonDir, L"D:\\動画\\共通フォルダ");
    EXPECT_EQ(reloaded.NextBootCommandLine.size(), settings.NextBootCommandLine.size());
}

TEST_F(AppSettingsTest, SaveTakesTheGeometryOfTheLiveWindows) {
    HWND main =
        CreateWindowW(L"STATIC", L"", WS_OVERLAPPEDWINDOW, 30, 40, 500, 300, nullptr, nullptr, nullptr, nullptr);
    HWND info = CreateWindowW(L"STATIC", L"", WS_OVERLAPPEDWINDOW, 5, 6, 250, 410, nullptr, nullptr, nullptr, nullptr);
    AppSettings settings = Fresh();
    SaveSettings(settings, main, info);
    DestroyWindow(main);
    DestroyWindow(info);
    AppSettings reloaded = Fresh();
    LoadSettings(reloaded);
    EXPECT_EQ(reloaded.Left, 30);
    EXPECT_EQ(reloaded.Top, 40);
    EXPECT_EQ(reloaded.Width, 500);
    EXPECT_EQ(reloaded.Height, 300);
    EXPECT_EQ(reloaded.InfoLeft, 5);
    EXPECT_EQ(reloaded.InfoWidth, 250);
    EXPECT_EQ(reloaded.InfoHeight, 410);
    EXPECT_FALSE(reloaded.Minimize);
}

TEST_F(AppSettingsTest, NotToBeSavedLeavesTheFileByteForByte) {
    AppSettings settings = Fresh();
    CIniFile(settings.iniPath, L"main").Write(L"main", L"LastBootVer", 75);
    CIniFile(settings.iniPath, L"main").Write(L"main", L"Volume", 10);
    const std::string before = ReadBytes(settings.iniPath);

    MessageBoxAnswerer answerer({IDYES});
    settings.maySave = false;
    LoadSettings(settings);
    settings.Volume = 90;
    SaveSettings(settings);
    EXPECT_EQ(ReadBytes(settings.iniPath), before);
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_EQ(settings.Volume, 90);
}

TEST_F(AppSettingsTest, KeysAndSectionsAreMatchedWithoutRegardToCase) {
    WriteBytes(PathOf(L"velaplayer.ini"), "[MAIN]\r\nviewcomment=0\r\nVOLUME=7\r\n[Info]\r\nbuffer=8\r\n");
    AppSettings settings = Fresh();
    LoadSettings(settings);
    EXPECT_FALSE(settings.ViewComment);
    EXPECT_EQ(settings.Volume, 7);
    EXPECT_EQ(settings.InfoBuffer, 8);
}

// The upgrade steps by stored version: which boxes come, in order, and which effects follow.
TEST_F(AppSettingsTest, UpgradeStepsRunByStoredVersionOnceEach) {
    struct Box {
        const wchar_t* textStart;
        int button;
    };
    const Box kQuality = {L"Ver.0.76(test)～Ver.0.79で再生に関わる処理を大幅に変更しました。\n", IDOK};
    const Box kAccel = {L"Ver.0.90でショットカットキーに関する変更を行いました。\n変更を有効にするためにaccel."
                        L"iniを一度削除します。\nよろしいですか？",
                        IDYES};
    const Box kCheckComment = {L"Ver.0.94で", IDOK};
    const Box kScript = {L"Ver.1.06で", IDYES};
    const Box kTemplates = {L"Ver.1.17で", IDYES};
    const Box kResize = {L"Ver.1.18から", IDOK};
    const Box kTemplate = {L"Ver.1.19で", IDYES};
    struct Case {
        int stored;
        std::vector<Box> boxes;
        bool quality, recent, movieId, filterBlack, accel, checkComment, titleRegex, script, templates;
    };
    const std::vector<Box> fromOld = {kQuality, kAccel, kCheckComment, kScript, kTemplates, kResize, kTemplate};
    const Case cases[] = {
        {75, fromOld, true, true, true, true, true, true, true, true, true},
        {85,
         {kAccel, kCheckComment, kScript, kTemplates, kResize, kTemplate},
         false,
         false,
         true,
         true,
         true,
         true,
         true,
         true,
         true},
        {99, {kScript, kTemplates, kResize, kTemplate}, false, false, false, false, false, false, true, true, true},
        {105, {kScript, kTemplates, kResize, kTemplate}, false, false, false, false, false, false, false, true, true},
        {127, {}, false, false, false, false, false, false, false, false, false},
        {128, {}, false, false, false, false, false, false, false, false, false},
        {200, {}, false, false, false, false, false, false, false, false, false},
    };
    const wchar_t kOldTitle[] = L"(.+)\\([:id:]\\)\\.+?";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        const std::wstring folder = PathOf(std::to_wstring(c.stored));
        for (const wchar_t* sub :
             {L"", L"\\videoinfo", L"\\archive", L"\\archive\\default", L"\\archive\\default\\filter"}) {
            CreateDirectoryW((folder + sub).c_str(), nullptr);
        }
        for (const wchar_t* file : {L"\\accel.ini", L"\\videoinfo\\velaplayer.js", L"\\videoinfo\\template.html",
                                    L"\\videoinfo\\template_off.html", L"\\videoinfo\\style.css",
                                    L"\\archive\\default\\filter\\通常コメントを黒色表示.txt",
                                    L"\\archive\\default\\filter\\世界の新着動画のコメントを表示しない.txt"}) {
            WriteBytes(folder + file, "x");
        }
        AppSettings settings = Fresh(folder);
        {
            CIniFile ini(settings.iniPath, L"main");
            ini.Write(L"main", L"LastBootVer", c.stored);
            ini.Write(L"main", L"VideoPlayQuality", 5);
            ini.Write(L"main", L"VideoHalfTone", false);
            ini.Write(L"main", L"RecentOpen0", L"C:\\動画\\a.flv");
            ini.Write(L"main", L"RecentOpen1", L"C:\\b.mp4");
            ini.Write(L"main", L"MovieIdInitialRegex", L"(old)");
            ini.Write(L"main", L"FilenameTitleRegex", kOldTitle);
        }
        const std::string before = ReadBytes(settings.iniPath);

        std::vector<int> buttons;
        for (const Box& box : c.boxes) {
            buttons.push_back(box.button);
        }
        MessageBoxAnswerer answerer(buttons.empty() ? std::vector<int>{IDCANCEL} : buttons);
        LoadSettings(settings);
        const auto seen = answerer.Seen();
        ASSERT_EQ(seen.size(), c.boxes.size());
        for (size_t i = 0; i < seen.size(); ++i) {
            EXPECT_EQ(seen[i].caption, L"VelaPlayer");
            EXPECT_EQ(seen[i].text.compare(0, wcslen(c.boxes[i].textStart), c.boxes[i].textStart), 0) << seen[i].text;
            EXPECT_EQ(seen[i].pressed, c.boxes[i].button);
        }

        EXPECT_EQ(settings.VideoPlayQuality, c.quality ? 2 : 5);
        EXPECT_EQ(settings.VideoHalfTone, c.quality);
        const auto recent = CSectionFile(settings.settingsDatPath).ReadSectionLines(L"RecentOpenFile", true);
        const std::vector<std::wstring> moved = {L"C:\\動画\\a.flv", L"C:\\b.mp4"};
        EXPECT_EQ(recent, c.recent ? moved : std::vector<std::wstring>());
        CIniFile ini(settings.iniPath, L"main");
        EXPECT_EQ(ini.ReadString(L"main", L"RecentOpen0", L"").empty(), c.recent);
        EXPECT_EQ(settings.MovieIdInitialRegex,
                  c.movieId ? L"(s[mko]|f[zx]|c[aw]|ax|y[ok]|ig|om|n[aml]|z[a-e])" : L"(old)");
        EXPECT_EQ(FileExists(folder + L"\\filter\\通常コメントを黒色表示.txt"), c.filterBlack);
        EXPECT_EQ(FileExists(folder + L"\\accel.ini"), !c.accel);
        EXPECT_EQ(ini.ReadInt(L"download", L"CheckComment", 0), c.checkComment ? 1 : 0);
        EXPECT_EQ(settings.FilenameTitleRegex, c.titleRegex ? L"(.+)\\([:id:]\\).+?" : kOldTitle);
        EXPECT_EQ(FileExists(folder + L"\\videoinfo\\velaplayer.js"), !c.script);
        EXPECT_EQ(FileExists(folder + L"\\videoinfo\\template.html"), !c.templates);
        EXPECT_EQ(FileExists(folder + L"\\videoinfo\\style.css"), !c.templates);
        EXPECT_EQ(FileExists(folder + L"\\filter\\世界の新着動画のコメントを表示しない.txt"), c.templates);

        // The new version is recorded at once, so a second start (or one after a crash) asks nothing.
        EXPECT_EQ(ini.ReadInt(L"main", L"LastBootVer", 0), 128);
        if (c.stored == 128) {
            EXPECT_EQ(ReadBytes(settings.iniPath), before);
        }
        MessageBoxAnswerer again({IDCANCEL});
        AppSettings second = Fresh(folder);
        LoadSettings(second);
        EXPECT_TRUE(again.Seen().empty());
    }
}

TEST_F(AppSettingsTest, RecentFilesStayInTheIniWhenSettingsDatCannotBeWritten) {
    AppSettings settings = Fresh();
    CreateDirectoryW(settings.archiveFolder.c_str(), nullptr);
    CreateDirectoryW(settings.settingsDatPath.c_str(), nullptr); // a folder in its place
    {
        CIniFile ini(settings.iniPath, L"main");
        ini.Write(L"main", L"LastBootVer", 80);
        ini.Write(L"main", L"RecentOpen0", L"C:\\動画\\a.flv");
    }
    MessageBoxAnswerer answerer({IDNO, IDOK, IDNO, IDNO, IDOK, IDNO});
    LoadSettings(settings);
    EXPECT_EQ(answerer.Seen().size(), 6u);
    EXPECT_EQ(CIniFile(settings.iniPath, L"main").ReadString(L"main", L"RecentOpen0", L""), L"C:\\動画\\a.flv");
}

TEST_F(AppSettingsTest, QuestionsAnsweredNoAndFiltersOfTheUserKeepTheFiles) {
    for (const wchar_t* sub : {L"videoinfo", L"filter", L"archive", L"archive\\default", L"archive\\default\\filter"}) {
        CreateDirectoryW(PathOf(sub).c_str(), nullptr);
    }
    WriteBytes(PathOf(L"accel.ini"), "x");
    WriteBytes(PathOf(L"videoinfo\\velaplayer.js"), "x");
    WriteBytes(PathOf(L"videoinfo\\template.html"), "x");
    const std::wstring filter = L"\\filter\\世界の新着動画のコメントを表示しない.txt";
    WriteBytes(PathOf(L"archive\\default") + filter, "shipped");
    WriteBytes(Folder() + filter, "the user's own");
    AppSettings settings = Fresh();
    CIniFile(settings.iniPath, L"main").Write(L"main", L"LastBootVer", 89);
    // accel.ini, comment check notice, script, templates, resize notice, template
    MessageBoxAnswerer answerer({IDNO, IDOK, IDNO, IDNO, IDOK, IDNO});
    LoadSettings(settings);
    ASSERT_EQ(answerer.Seen().size(), 6u);
    EXPECT_TRUE(FileExists(PathOf(L"accel.ini")));
    EXPECT_TRUE(FileExists(PathOf(L"videoinfo\\velaplayer.js")));
    EXPECT_TRUE(FileExists(PathOf(L"videoinfo\\template.html")));
    EXPECT_EQ(ReadBytes(Folder() + filter), "the user's own");
}

TEST_F(AppSettingsTest, DebugAndOfflineModesAreReadAndMarkedInTheLog) {
    struct Case {
        const wchar_t* debug;
        const wchar_t* offline;
        bool debugOn;
        bool offlineOn;
    };
    const Case cases[] = {
        {L"1", L"0", true, false},
        {L"0", L"1", false, true},
        {L"0", L"0", false, false},
    };
    for (const Case& c : cases) {
        AppSettings settings = Fresh();
        WritePrivateProfileStringW(L"main", L"debugmode", c.debug, settings.iniPath.c_str());
        WritePrivateProfileStringW(L"main", L"OfflineMode", c.offline, settings.iniPath.c_str());
        ClearLog();
        LoadSettings(settings);
        EXPECT_EQ(settings.DebugMode, c.debugOn) << c.debug << c.offline;
        EXPECT_EQ(settings.OfflineMode, c.offlineOn) << c.debug << c.offline;
        const std::wstring log = LogText();
        EXPECT_EQ(log.find(L"[デバッグモード]") != std::wstring::npos, c.debugOn) << c.debug << c.offline;
        EXPECT_EQ(log.find(L"[オフラインモード]") != std::wstring::npos, c.offlineOn) << c.debug << c.offline;
    }
}

} // namespace
