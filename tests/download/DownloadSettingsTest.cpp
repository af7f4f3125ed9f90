#include "CWndDownload/DownloadSettings.h"

#include "client/DownloadFileNameFormats.h"
#include "foundation/TextFile.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <vector>

using namespace testing_support;

namespace {

class DownloadSettingsTest : public TempFolderTest {
protected:
    std::wstring IniPath() const { return PathOf(L"velaplayer.ini"); }
    // The temporary folder stands for the program folder.
    const std::wstring& ProgramFolder() const { return Folder(); }

    void WriteSection(const std::string& lines) { WriteBytes(IniPath(), "[download]\r\n" + lines); }

    void Read() { ReadDownloadSettings(IniPath(), ProgramFolder(), window, settings, formats); }

    // The file's lines of the section, without line ends.
    std::vector<std::wstring> FileLines() const {
        std::wstring text;
        ReadTextFile(IniPath(), text);
        std::vector<std::wstring> lines;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find(L'\n', start);
            if (end == std::wstring::npos) {
                end = text.size();
            }
            std::wstring line = text.substr(start, end - start);
            if (!line.empty() && line.back() == L'\r') {
                line.pop_back();
            }
            if (!line.empty() && line[0] != L'[') {
                lines.push_back(line);
            }
            start = end + 1;
        }
        return lines;
    }

    DownloadWindowKeys window;
    DownloadSettings settings;
    DownloadFileNameFormats formats;
};

TEST_F(DownloadSettingsTest, MissingFileGivesTheDefaultsAndTheDownFolder) {
    window.width = 1;
    window.CheckMovie = false;
    settings.AccessWaitSec = 99;
    formats.FileNameFormatMOV = L"stale";
    formats.FileNameFormatIMG = L"stale";
    Read();

    EXPECT_TRUE(window == DownloadWindowKeys());
    EXPECT_EQ(kDownloadPositionNotSet, window.left);
    EXPECT_EQ(640, window.width);
    EXPECT_EQ(300, window.height);
    EXPECT_TRUE(window.CheckMovie && window.CheckPlayAfterDown && window.CheckAddPlayList);
    EXPECT_TRUE(window.columnOrder.empty());
    EXPECT_EQ(L".*", window.WatchIncludeWindow);

    DownloadSettings expected;
    expected.SavePath = ProgramFolder() + L"\\Down";
    EXPECT_TRUE(settings == expected);
    EXPECT_EQ(L"", settings.Pass);
    EXPECT_EQ(L"%title%(%thread%)", formats.FileNameFormatMOV);
    EXPECT_EQ(L"%title%(%thread%)", formats.FileNameFormatIMG);
}

TEST_F(DownloadSettingsTest, WaitsAndWorkerCountAreCorrectedWithALogLine) {
    const std::wstring titleLine = L"GetTitleWaitSec値を補正しました : ";
    const std::wstring maxLine = L"現在のバージョンでは最大DL数は1に制限されています\r\n";
    struct Case {
        const char* values;
        int32_t title;
        bool titleLogged;
        bool maxLogged;
    } cases[] = {
        {"AccessWaitSec=10\r\nGetTitleWaitSec=5\r\n", 10, true, false},
        {"AccessWaitSec=10\r\nGetTitleWaitSec=0\r\n", 0, false, false}, // 0: title fetching off
        {"AccessWaitSec=10\r\nGetTitleWaitSec=-3\r\n", 10, true, false},
        {"AccessWaitSec=10\r\nGetTitleWaitSec=10\r\n", 10, false, false},
        {"AccessWaitSec=20\r\n", 20, true, false}, // the default 15 is below it
        {"AccessWaitSec=-5\r\nGetTitleWaitSec=-7\r\n", -5, true, false},
        {"ThreadDownProcessMax=3\r\n", 15, false, true},
        {"ThreadDownProcessMax=0\r\n", 15, false, true},
        {"ThreadDownProcessMax=1\r\n", 15, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.values);
        WriteSection(c.values);
        ClearLog();
        Read();
        EXPECT_EQ(c.title, settings.GetTitleWaitSec);
        EXPECT_EQ(1, settings.ThreadDownProcessMax);
        const std::wstring log = LogText();
        EXPECT_EQ(c.titleLogged, log.find(titleLine + std::to_wstring(c.title) + L"\r\n") != std::wstring::npos);
        EXPECT_EQ(c.titleLogged, log.find(titleLine) != std::wstring::npos);
        EXPECT_EQ(c.maxLogged, log.find(maxLine) != std::wstring::npos);
    }

    // The corrected count is what is written back.
    WriteSection("ThreadDownProcessMax=3\r\n");
    Read();
    WriteDownloadSettings(IniPath(), ProgramFolder(), window, settings);
    const std::vector<std::wstring> lines = FileLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"ThreadDownProcessMax=1"), lines.end());
}

TEST_F(DownloadSettingsTest, EveryKeyRoundTripsInTheTableOrder) {
    DownloadWindowKeys w;
    w.left = -1200;
    w.top = 40;
    w.width = 800;
    w.height = 450;
    w.Url = L" https://example.invalid/watch/sm9 \"q\"";
    w.CheckMovie = false;
    w.CheckComment = true;
    w.CheckedCommentOnce = true;
    w.CheckVideoInfo = true;
    w.CheckPlayAfterDown = false;
    w.CheckAddPlayList = false;
    for (int i = 0; i < kDownloadStoredColumnCount; ++i) {
        w.columnWidths[i] = 10 + i;
    }
    w.columnOrder = {1, 0, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    w.WatchIncludeWindow = L"Notepad::.*";
    w.WatchExcludeWindow = L"/x|y/";

    DownloadSettings d;
    d.SavePath = L"D:\\動画\\保存";
    d.SelectPath = true;
    d.LowVideoNotify = false;
    d.LowVideoNoDownload = true;
    d.DownBGMs = false;
    d.CreateFolderEveryVideo = true;
    d.SaveCommonDir = true;
    d.WatchClipBoard = false;
    d.ListAutoSave = false;
    d.DeleteDownCompItem = true;
    d.AddExcept = true;
    d.EconomyNotDelete = false;
    d.DownCompNotifyBeep = true;
    d.DownCompNotifyFlash = false;
    d.TitleFixEnable = false;
    d.TitleFixSearchIncludeSubDir = true;
    d.TimeOutSecond = 4000000000u;
    d.CommentGetOwner = false;
    d.VideoInfoSaveThumbnail = true;
    d.VideoInfoSaveFilter = false;
    d.VideoInfoSaveFilterAlways = false;
    d.VideoInfoAddTag = true;
    d.VideoInfoSaveWorldTags = true;
    d.Mail = L"user@example.invalid";
    d.Pass = L"pass word\"日本";
    d.AccessWaitSec = 12;
    d.GetTitleWaitSec = 30;
    d.FileNameFormatMOV = L"%thread% %title%";
    d.FileNameFormatXML = L"%title%[%year2%年]";
    d.FileNameFormatOwnerXML = L"owner %title%";
    d.FileNameFormatTXT = L"info %title%";
    d.FileNameFormatIMG = L"thumb %title%";
    d.FoldernameFormat = L"%thread%";

    WriteDownloadSettings(IniPath(), ProgramFolder(), w, d);
    Read();
    EXPECT_TRUE(window == w);
    EXPECT_TRUE(settings == d);
    EXPECT_EQ(L"pass word\"日本", settings.Pass);

    // Stored forms other files and earlier versions rely on, in the order both sides handle them.
    const std::vector<std::wstring> expected = {
        L"left=-1200",
        L"top=40",
        L"width=800",
        L"height=450",
        L"Url=\" https://example.invalid/watch/sm9 \"q\"\"",
        L"CheckMovie=0",
        L"CheckComment=1",
        L"CheckedCommentOnce=1",
        L"CheckVideoInfo=1",
        L"CheckPlayAfterDown=0",
        L"CheckAddPlayList=0",
        L"ColumnTitle=10",
        L"ColumnState=11",
        L"ColumnFileSize=12",
        L"ColumnPercent=13",
        L"ColumnMovieName=14",
        L"ColumnType=15",
        L"ColumnSavePath=16",
        L"ColumnSavePathFLV=17",
        L"ColumnSavePathXML=18",
        L"ColumnAddData=19",
        L"ColumnOrderArray=1,0,2,3,4,5,6,7,8,9,10,",
        L"SavePath=D:\\動画\\保存",
        L"SelectPath=1",
        L"LowVideoNotify=0",
        L"LowVideoNoDownload=1",
        L"DownBGMs=0",
        L"CreateFolderEveryVideo=1",
        L"SaveCommonDir=1",
        L"WatchClipBoard=0",
        L"ListAutoSave=0",
        L"DeleteDownCompItem=1",
        L"AddExcept=1",
        L"EconomyNotDelete=0",
        L"DownCompNotifyBeep=1",
        L"DownCompNotifyFlash=0",
        L"TitleFixEnable=0",
        L"TitleFixSearchIncludeSubDir=1",
        L"TimeOutSecond=4000000000",
        L"CommentGetOwner=0",
        L"VideoInfoSaveThumbnail=1",
        L"VideoInfoSaveFilter=0",
        L"VideoInfoSaveFilterAlways=0",
        L"VideoInfoAddTag=1",
        L"VideoInfoSaveWorldTags=1",
        L"Mail=user@example.invalid",
        L"Pass=",
        L"AccessWaitSec=12",
        L"GetTitleWaitSec=30",
        L"ThreadDownProcessMax=1",
        L"WatchIncludeWindow=/Notepad::.*/",
        L"WatchExcludeWindow=//x|y//",
        L"FileNameFormatMOV=%thread% %title%",
        L"FileNameFormatXML=%title%[%year2%年]",
        L"FileNameFormatOwnerXML=owner %title%",
        L"FileNameFormatTXT=info %title%",
        L"FilenameFormatIMG=thumb %title%",
        L"FoldernameFormat=%thread%",
    };
    const std::vector<std::wstring> lines = FileLines();
    ASSERT_EQ(expected.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        if (expected[i] == L"Pass=") {
            // Scrambled: not the password itself, and read back above.
            EXPECT_EQ(0u, lines[i].find(L"Pass=")) << lines[i];
            EXPECT_GT(lines[i].size(), 5u);
            EXPECT_EQ(std::wstring::npos, lines[i].find(L"pass word"));
        } else {
            EXPECT_EQ(expected[i], lines[i]);
        }
    }
}

TEST_F(DownloadSettingsTest, DefaultsWriteTheirStoredForms) {
    DownloadSettings d;
    d.SavePath = ProgramFolder() + L"\\Down";
    WriteDownloadSettings(IniPath(), ProgramFolder(), DownloadWindowKeys(), d);
    const std::vector<std::wstring> lines = FileLines();
    for (const wchar_t* line : {L"left=-2147483648", L"SavePath=.\\Down", L"Pass=", L"ColumnOrderArray=",
                                L"WatchIncludeWindow=/.*/", L"WatchExcludeWindow=//"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
    Read();
    EXPECT_TRUE(window == DownloadWindowKeys());
    EXPECT_TRUE(settings == d);
}

TEST_F(DownloadSettingsTest, StoredFormsOfHandWrittenValues) {
    WriteSection("left=-2147483648\r\ntop=100\r\nCheckComment=2\r\nDownBGMs=abc\r\nColumnOrderArray=1,0,2,3,4,5,6,7,8,"
                 "9,10,\r\nWatchIncludeWindow=Edit.*\r\nWatchExcludeWindow=/a/b/\r\nPass=\r\n"
                 "FilenameFormatIMG=img %thread%\r\nFileNameFormatMOV=mov %thread%\r\nSavePath=\r\n");
    Read();
    EXPECT_EQ(kDownloadPositionNotSet, window.left); // with top set it is not centred: the window decides
    EXPECT_EQ(100, window.top);
    EXPECT_TRUE(window.CheckComment);
    EXPECT_FALSE(settings.DownBGMs);
    EXPECT_EQ((std::vector<int>{1, 0, 2, 3, 4, 5, 6, 7, 8, 9, 10}), window.columnOrder);
    EXPECT_EQ(L"Edit.*", window.WatchIncludeWindow);
    EXPECT_EQ(L"a/b", window.WatchExcludeWindow);
    EXPECT_EQ(L"", settings.Pass);
    EXPECT_EQ(L"", settings.SavePath); // an empty folder stays empty
    // The writer's spelling of the thumbnail key is the reader's key; the client's record follows.
    EXPECT_EQ(L"img %thread%", settings.FileNameFormatIMG);
    EXPECT_EQ(L"img %thread%", formats.FileNameFormatIMG);
    EXPECT_EQ(L"mov %thread%", formats.FileNameFormatMOV);
}

TEST_F(DownloadSettingsTest, SavePathInsideTheProgramFolderIsStoredRelative) {
    const std::wstring base = ProgramFolder();
    std::wstring lowerDrive = base;
    lowerDrive[0] = static_cast<wchar_t>(towlower(lowerDrive[0]));
    struct Case {
        std::wstring path;
        std::wstring stored;
        std::wstring readBack;
    } cases[] = {
        {base + L"\\Down", L".\\Down", base + L"\\Down"},
        {base + L"\\Down\\深い", L".\\Down\\深い", base + L"\\Down\\深い"},
        {lowerDrive + L"\\Down", L".\\Down", base + L"\\Down"},
        // No "\" after the folder's name: a sibling folder, not inside it.
        {base + L"2\\x", base + L"2\\x", base + L"2\\x"},
        {L"Z:\\Elsewhere\\Down", L"Z:\\Elsewhere\\Down", L"Z:\\Elsewhere\\Down"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        DownloadSettings d;
        d.SavePath = c.path;
        WriteDownloadSettings(IniPath(), ProgramFolder(), DownloadWindowKeys(), d);
        const std::vector<std::wstring> lines = FileLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), L"SavePath=" + c.stored), lines.end());
        Read();
        EXPECT_EQ(c.readBack, settings.SavePath);
    }
}

TEST_F(DownloadSettingsTest, KeysAreMatchedWithoutCaseAndFailedPlacementLeavesGeometry) {
    WriteSection("LEFT=5\r\nTop=6\r\nWIDTH=700\r\nheight=301\r\nfilenameformatimg=x\r\n");
    DownloadWindowKeys w;
    w.hasPlacement = false;
    w.left = 1;
    WriteDownloadSettings(IniPath(), ProgramFolder(), w, DownloadSettings());
    Read();
    EXPECT_EQ(5, window.left);
    EXPECT_EQ(6, window.top);
    EXPECT_EQ(700, window.width);
    EXPECT_EQ(301, window.height);
    EXPECT_EQ(L"%title%(%thread%)", settings.FileNameFormatIMG); // one key, overwritten by the writer
}

TEST(DownloadColumnOrder, ParsesPiecesAndRefusesDamagedText) {
    struct Case {
        const wchar_t* text;
        std::vector<int> order;
    } cases[] = {
        {L"", {}},      {L"0,1,2,", {0, 1, 2}}, {L"3,,4", {3, 4}},      {L",-1,2", {-1, 2}},
        {L"1,x,2", {}}, {L"1,2 ,3", {}},        {L"99999999999,1", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.order, ParseColumnOrder(c.text)) << c.text;
    }
    EXPECT_EQ(L"1,0,", FormatColumnOrder({1, 0}));
}

} // namespace
