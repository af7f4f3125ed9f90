#include "CWndDownload/DownloadSettingsSheet.h"

#include "CWndDownload/CWndDownload.h"
#include "CWndDownload/DownloadResource.h"
#include "CWndDownload/DownloadSettings.h"
#include "foundation/AppSettings.h"
#include "foundation/PrivateMessages.h"
#include "foundation/WindowUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

using namespace testing_support;

namespace {

// Polls from the driving thread, which has no windows of its own to pump.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 10000) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    }
    return TRUE;
}

// The top-level windows of this process with the class name.
std::vector<HWND> FindTopLevel(const std::wstring& className) {
    std::vector<HWND> all;
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> found;
    for (HWND window : all) {
        if (GetWindowClassName(window) == className) {
            found.push_back(window);
        }
    }
    return found;
}

// The visible sheets of this process: top-level dialogs captioned "設定".
std::vector<HWND> FindSheets() {
    std::vector<HWND> sheets;
    for (HWND window : FindTopLevel(L"#32770")) {
        if (IsWindowVisible(window) && GetWindowTextString(window) == L"設定") {
            sheets.push_back(window);
        }
    }
    return sheets;
}

bool IsChecked(HWND page, int control) {
    return SendDlgItemMessageW(page, control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}
void SetCheck(HWND page, int control, bool checked) {
    SendDlgItemMessageW(page, control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}
void Click(HWND page, int control) {
    SendDlgItemMessageW(page, control, BM_CLICK, 0, 0);
}
std::wstring TextOf(HWND page, int control) {
    return GetWindowTextString(GetDlgItem(page, control));
}
void SetText(HWND page, int control, const std::wstring& text) {
    SendDlgItemMessageW(page, control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// The open sheet, driven from another thread while the UI thread sits in the sheet's modal loop,
// which dispatches what is sent to it.
class Sheet {
public:
    explicit Sheet(HWND window) : m_window(window) {}
    HWND Window() const { return m_window; }
    // Selects the page (0 to 5) and returns it.
    HWND Page(int index) const {
        SendMessageW(m_window, PSM_SETCURSEL, index, 0);
        return reinterpret_cast<HWND>(SendMessageW(m_window, PSM_GETCURRENTPAGEHWND, 0, 0));
    }
    void Press(int button) const {
        SendMessageW(m_window, PSM_PRESSBUTTON, button, 0);
        // The modal loop sees that it has ended at its next message.
        PostMessageW(m_window, WM_NULL, 0, 0);
    }

private:
    HWND m_window;
};

// An HDROP of one path, as the shell hands it with WM_DROPFILES.
HDROP MakeDrop(const std::wstring& path) {
    std::wstring list = path;
    list += L'\0';
    list += L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

using Flag = bool DownloadSettings::*;

// Every check box of the pages with its setting (the radio buttons have a test of their own).
struct CheckBox {
    int page;
    int control;
    Flag flag;
};
const CheckBox kCheckBoxes[] = {
    {0, IDC_DOWNLOAD_SET_SELECT_PATH, &DownloadSettings::SelectPath},
    {0, IDC_DOWNLOAD_SET_WATCH_CLIPBOARD, &DownloadSettings::WatchClipBoard},
    {0, IDC_DOWNLOAD_SET_FOLDER_EVERY_VIDEO, &DownloadSettings::CreateFolderEveryVideo},
    {0, IDC_DOWNLOAD_SET_SAVE_COMMON_DIR, &DownloadSettings::SaveCommonDir},
    {0, IDC_DOWNLOAD_SET_SAVE_THUMBNAIL, &DownloadSettings::VideoInfoSaveThumbnail},
    {1, IDC_DOWNLOAD_SET_DELETE_COMPLETED, &DownloadSettings::DeleteDownCompItem},
    {1, IDC_DOWNLOAD_SET_ADD_EXCEPT, &DownloadSettings::AddExcept},
    {1, IDC_DOWNLOAD_SET_ECONOMY_NOT_DELETE, &DownloadSettings::EconomyNotDelete},
    {1, IDC_DOWNLOAD_SET_TITLE_FIX, &DownloadSettings::TitleFixEnable},
    {1, IDC_DOWNLOAD_SET_TITLE_FIX_SUBDIR, &DownloadSettings::TitleFixSearchIncludeSubDir},
    {1, IDC_DOWNLOAD_SET_LIST_AUTO_SAVE, &DownloadSettings::ListAutoSave},
    {2, IDC_DOWNLOAD_SET_DOWN_BGMS, &DownloadSettings::DownBGMs},
    {3, IDC_DOWNLOAD_SET_OWNER_COMMENT, &DownloadSettings::CommentGetOwner},
    {4, IDC_DOWNLOAD_SET_SAVE_FILTER, &DownloadSettings::VideoInfoSaveFilter},
    {4, IDC_DOWNLOAD_SET_SAVE_FILTER_ALWAYS, &DownloadSettings::VideoInfoSaveFilterAlways},
    {4, IDC_DOWNLOAD_SET_ADD_TAG, &DownloadSettings::VideoInfoAddTag},
    {4, IDC_DOWNLOAD_SET_WORLD_TAGS, &DownloadSettings::VideoInfoSaveWorldTags},
};

class DownloadSettingsSheetTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        m_savedApp = GetAppSettings();
        m_savedDownload = GetDownloadSettings();
        GetAppSettings().programFolder = Folder();
        GetAppSettings().settingsDatPath = PathOf(L"settings.dat");
        GetAppSettings().OfflineMode = true;
        m_window.Init(L"VelaPlayer", PathOf(L"velaplayer.ini"), nullptr);
        ASSERT_TRUE(m_window.Show(SW_HIDE));
        ASSERT_TRUE(PumpMessagesUntil([&] { return m_window.IsListLoaded(); }));
    }
    void TearDown() override {
        m_window.Destroy();
        GetAppSettings() = m_savedApp;
        GetDownloadSettings() = m_savedDownload;
        TempFolderTest::TearDown();
    }

    // Opens the sheet through the window's settings command, runs the script on a driving thread once
    // the sheet is up, and returns when the sheet has closed. A sheet the script left open is cancelled,
    // so that a failing script cannot hang the test.
    void RunSheet(const std::function<void(const Sheet&)>& script) {
        std::thread driver([&] {
            std::vector<HWND> sheets;
            const bool shown = WaitFor([&] { return !(sheets = FindSheets()).empty(); });
            EXPECT_TRUE(shown) << "the sheet did not show";
            if (!shown) {
                return;
            }
            script(Sheet(sheets[0]));
            if (WaitFor([] { return FindSheets().empty(); }, 5000)) {
                return;
            }
            for (HWND sheet : FindSheets()) {
                ADD_FAILURE() << "the script left a sheet open";
                Sheet(sheet).Press(PSBTN_CANCEL);
            }
        });
        SendMessageW(m_window.GetHandle(), WM_COMMAND, IDM_DL_SETTINGS, 0);
        driver.join();
    }

    CWndDownload m_window;

private:
    AppSettings m_savedApp;
    DownloadSettings m_savedDownload;
};

TEST_F(DownloadSettingsSheetTest, PagesShowTheSettingsAndOkStoresTheControls) {
    // Each check box gets its own pattern of values over the runs, so a box bound to another one's
    // setting shows or stores a wrong value in some run.
    for (int run = 0; run < 5; ++run) {
        SCOPED_TRACE(run);
        DownloadSettings& settings = GetDownloadSettings();
        auto patternOf = [&](size_t row) { return (((row + 1) >> run) & 1) != 0; };
        for (size_t row = 0; row < std::size(kCheckBoxes); ++row) {
            settings.*kCheckBoxes[row].flag = patternOf(row);
        }
        settings.SavePath = L"D:\\動画\\dl" + std::to_wstring(run);
        settings.Mail = L"user" + std::to_wstring(run) + L"@example.com";
        settings.Pass = L"pass word&" + std::to_wstring(run);
        const DownloadSettings before = settings;

        RunSheet([&](const Sheet& sheet) {
            for (size_t row = 0; row < std::size(kCheckBoxes); ++row) {
                const CheckBox& box = kCheckBoxes[row];
                HWND page = sheet.Page(box.page);
                EXPECT_EQ(IsChecked(page, box.control), patternOf(row)) << box.control;
                SetCheck(page, box.control, !patternOf(row));
            }
            HWND first = sheet.Page(0);
            EXPECT_EQ(TextOf(first, IDC_DOWNLOAD_SET_SAVE_PATH), before.SavePath);
            SetText(first, IDC_DOWNLOAD_SET_SAVE_PATH, L".\\保存先");
            HWND login = sheet.Page(5);
            EXPECT_EQ(TextOf(login, IDC_DOWNLOAD_ACCOUNT_MAIL), before.Mail);
            EXPECT_EQ(TextOf(login, IDC_DOWNLOAD_ACCOUNT_PASS), before.Pass);
            SetText(login, IDC_DOWNLOAD_ACCOUNT_MAIL, L" new@example.com");
            SetText(login, IDC_DOWNLOAD_ACCOUNT_PASS, L"");
            sheet.Press(PSBTN_OK);
        });

        for (size_t row = 0; row < std::size(kCheckBoxes); ++row) {
            EXPECT_EQ(settings.*kCheckBoxes[row].flag, !patternOf(row)) << kCheckBoxes[row].control;
        }
        // A relative folder is kept inside the program folder, the other texts as typed.
        EXPECT_EQ(settings.SavePath, Folder() + L"\\保存先");
        EXPECT_EQ(settings.Mail, L" new@example.com");
        EXPECT_EQ(settings.Pass, L"");
        EXPECT_EQ(settings.FileNameFormatXML, before.FileNameFormatXML);
    }
}

TEST_F(DownloadSettingsSheetTest, RadioButtonsShowBothFlagsAndStoreTheClickedOne) {
    // Page 2 shows the completion notice (beep, flash, neither), page 3 the economy choice (ask, do
    // not download, neither: download); both get the same case.
    struct Case {
        bool first, second;
        int click; // 0 first flag, 1 second flag, 2 neither, -1 no click
        bool shown[3];
        bool storedFirst, storedSecond;
    };
    const Case cases[] = {
        {false, false, -1, {false, false, true}, false, false}, {true, true, -1, {true, true, false}, true, true},
        {true, false, 2, {true, false, false}, false, false},   {false, true, 0, {false, true, false}, true, false},
        {false, false, 1, {false, false, true}, false, true},
    };
    struct Group {
        int page;
        int controls[3];
        Flag first, second;
    };
    const Group groups[] = {
        {1,
         {IDC_DOWNLOAD_SET_NOTIFY_BEEP, IDC_DOWNLOAD_SET_NOTIFY_FLASH, IDC_DOWNLOAD_SET_NOTIFY_NONE},
         &DownloadSettings::DownCompNotifyBeep,
         &DownloadSettings::DownCompNotifyFlash},
        {2,
         {IDC_DOWNLOAD_SET_ECONOMY_ASK, IDC_DOWNLOAD_SET_ECONOMY_SKIP, IDC_DOWNLOAD_SET_ECONOMY_DOWNLOAD},
         &DownloadSettings::LowVideoNotify,
         &DownloadSettings::LowVideoNoDownload},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << c.second << " click " << c.click);
        for (const Group& group : groups) {
            GetDownloadSettings().*group.first = c.first;
            GetDownloadSettings().*group.second = c.second;
        }
        RunSheet([&](const Sheet& sheet) {
            for (const Group& group : groups) {
                HWND page = sheet.Page(group.page);
                for (int i = 0; i < 3; ++i) {
                    EXPECT_EQ(IsChecked(page, group.controls[i]), c.shown[i]) << group.controls[i];
                }
                if (c.click >= 0) {
                    Click(page, group.controls[c.click]);
                }
            }
            sheet.Press(PSBTN_OK);
        });
        for (const Group& group : groups) {
            EXPECT_EQ(GetDownloadSettings().*group.first, c.storedFirst) << group.controls[0];
            EXPECT_EQ(GetDownloadSettings().*group.second, c.storedSecond) << group.controls[0];
        }
    }
}

TEST_F(DownloadSettingsSheetTest, BoxesEnableTheirDependentsAndOkStoresDisabledOnes) {
    struct Rule {
        int page;
        int trigger;
        Flag triggerFlag;
        bool initially;
        std::vector<int> dependents;
        bool enabledWhenChecked;
    };
    const Rule rules[] = {
        {0,
         IDC_DOWNLOAD_SET_SELECT_PATH,
         &DownloadSettings::SelectPath,
         false,
         {IDC_DOWNLOAD_SET_SAVE_PATH, IDC_DOWNLOAD_SET_BROWSE},
         false},
        {1,
         IDC_DOWNLOAD_SET_DELETE_COMPLETED,
         &DownloadSettings::DeleteDownCompItem,
         false,
         {IDC_DOWNLOAD_SET_ADD_EXCEPT, IDC_DOWNLOAD_SET_ECONOMY_NOT_DELETE},
         true},
        {1,
         IDC_DOWNLOAD_SET_TITLE_FIX,
         &DownloadSettings::TitleFixEnable,
         true,
         {IDC_DOWNLOAD_SET_TITLE_FIX_SUBDIR},
         true},
        {4,
         IDC_DOWNLOAD_SET_SAVE_FILTER,
         &DownloadSettings::VideoInfoSaveFilter,
         false,
         {IDC_DOWNLOAD_SET_SAVE_FILTER_ALWAYS},
         true},
    };
    DownloadSettings& settings = GetDownloadSettings();
    for (const Rule& rule : rules) {
        settings.*rule.triggerFlag = rule.initially;
    }
    settings.AddExcept = true;
    settings.EconomyNotDelete = false;
    settings.TitleFixSearchIncludeSubDir = true;
    settings.VideoInfoSaveFilterAlways = true;
    RunSheet([&](const Sheet& sheet) {
        for (const Rule& rule : rules) {
            HWND page = sheet.Page(rule.page);
            for (const bool checked : {rule.initially, !rule.initially}) {
                const bool enabled = checked == rule.enabledWhenChecked;
                for (const int dependent : rule.dependents) {
                    EXPECT_TRUE(WaitFor([&] { return (IsWindowEnabled(GetDlgItem(page, dependent)) != 0) == enabled; }))
                        << dependent << " with " << rule.trigger << (checked ? " checked" : " unchecked");
                }
                if (checked == rule.initially) {
                    Click(page, rule.trigger);
                }
            }
        }
        SetText(sheet.Page(0), IDC_DOWNLOAD_SET_SAVE_PATH, L"E:\\typed ");
        sheet.Press(PSBTN_OK);
    });
    for (const Rule& rule : rules) {
        EXPECT_EQ(settings.*rule.triggerFlag, !rule.initially) << rule.trigger;
    }
    EXPECT_TRUE(settings.AddExcept);
    EXPECT_FALSE(settings.EconomyNotDelete);
    EXPECT_TRUE(settings.TitleFixSearchIncludeSubDir);
    EXPECT_TRUE(settings.VideoInfoSaveFilterAlways);
    EXPECT_EQ(settings.SavePath, L"E:\\typed ") << "the greyed box's text, untrimmed";
}

TEST_F(DownloadSettingsSheetTest, OkWithoutVisitingAPageLeavesItsSettings) {
    // Every flag of the pages the other way from its default: a page that stored its controls without
    // having shown them would put the defaults (or unchecked boxes) back.
    DownloadSettings& settings = GetDownloadSettings();
    for (const CheckBox& box : kCheckBoxes) {
        settings.*box.flag = !(DownloadSettings{}.*box.flag);
    }
    settings.DownCompNotifyBeep = true;
    settings.DownCompNotifyFlash = true;
    settings.LowVideoNotify = false;
    settings.LowVideoNoDownload = true;
    settings.SavePath = L"D:\\dl";
    settings.Mail = L"user@example.com";
    settings.Pass = L"secret";
    const DownloadSettings before = settings;
    RunSheet([&](const Sheet& sheet) { sheet.Press(PSBTN_OK); });
    EXPECT_TRUE(settings == before);

    // Only the page shown stores its controls.
    RunSheet([&](const Sheet& sheet) {
        HWND login = sheet.Page(5);
        SetText(login, IDC_DOWNLOAD_ACCOUNT_PASS, L"changed");
        sheet.Press(PSBTN_OK);
    });
    DownloadSettings expected = before;
    expected.Pass = L"changed";
    EXPECT_TRUE(settings == expected);
}

TEST_F(DownloadSettingsSheetTest, CancelAndTheCloseBoxLeaveEverySetting) {
    DownloadSettings& settings = GetDownloadSettings();
    settings.Mail = L"user@example.com";
    settings.Pass = L"secret";
    settings.SelectPath = false;
    settings.DownCompNotifyBeep = false;
    const DownloadSettings before = settings;
    const struct {
        const char* name;
        std::function<void(const Sheet&)> close;
    } closes[] = {
        {"Cancel", [](const Sheet& sheet) { sheet.Press(PSBTN_CANCEL); }},
        {"close box",
         [](const Sheet& sheet) {
             SendMessageW(sheet.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
             PostMessageW(sheet.Window(), WM_NULL, 0, 0);
         }},
    };
    for (const auto& close : closes) {
        SCOPED_TRACE(close.name);
        RunSheet([&](const Sheet& sheet) {
            HWND login = sheet.Page(5);
            SetText(login, IDC_DOWNLOAD_ACCOUNT_PASS, L"typed over");
            SetText(login, IDC_DOWNLOAD_ACCOUNT_MAIL, L"");
            Click(sheet.Page(0), IDC_DOWNLOAD_SET_SELECT_PATH);
            Click(sheet.Page(1), IDC_DOWNLOAD_SET_NOTIFY_BEEP);
            close.close(sheet);
        });
        EXPECT_TRUE(settings == before);
        EXPECT_EQ(settings.Pass, L"secret");
        EXPECT_FALSE(IsDownloadSettingsSheetOpen());
    }
}

TEST_F(DownloadSettingsSheetTest, OpenSheetAnswers37900AndASecondRequestBringsItForward) {
    HWND download = m_window.GetHandle();
    EXPECT_EQ(SendMessageW(download, kMsgDownloadIsSettingsOpen, 0, 0), 0);
    // Another window in front, for the second request to bring the sheet forward from.
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    GetDownloadSettings().Pass = L"secret";
    RunSheet([&](const Sheet& sheet) {
        EXPECT_TRUE(IsDownloadSettingsSheetOpen());
        EXPECT_EQ(SendMessageW(download, kMsgDownloadIsSettingsOpen, 0, 0), 1);
        EXPECT_EQ(m_window.GetSettingsSheetWindow(), sheet.Window());
        EXPECT_FALSE(IsWindowEnabled(download)) << "the sheet is modal";

        // The sheet as built: six tabs, no Apply button, no context help, bordered edits, a masked
        // password showing the password as kept in memory.
        HWND tabs = reinterpret_cast<HWND>(SendMessageW(sheet.Window(), PSM_GETTABCONTROL, 0, 0));
        const wchar_t* tabTexts[] = {L"全般1", L"全般2", L"動画", L"コメント", L"動画情報", L"ログイン"};
        ASSERT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 6);
        for (int i = 0; i < 6; ++i) {
            wchar_t text[64] = {};
            TCITEMW item = {};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = 64;
            SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
            EXPECT_STREQ(text, tabTexts[i]);
        }
        HWND apply = GetDlgItem(sheet.Window(), 0x3021);
        EXPECT_TRUE(apply == nullptr || !IsWindowVisible(apply));
        EXPECT_EQ(GetWindowLongPtrW(sheet.Window(), GWL_EXSTYLE) & WS_EX_CONTEXTHELP, 0);
        HWND login = sheet.Page(5);
        HWND pass = GetDlgItem(login, IDC_DOWNLOAD_ACCOUNT_PASS);
        EXPECT_NE(GetWindowLongPtrW(pass, GWL_STYLE) & ES_PASSWORD, 0);
        EXPECT_NE(GetWindowLongPtrW(pass, GWL_STYLE) & WS_BORDER, 0);
        EXPECT_NE(GetWindowLongPtrW(GetDlgItem(sheet.Page(0), IDC_DOWNLOAD_SET_SAVE_PATH), GWL_STYLE) & WS_BORDER, 0);
        EXPECT_EQ(TextOf(login, IDC_DOWNLOAD_ACCOUNT_PASS), L"secret");

        SetForegroundWindow(other);
        EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == other; }));
        DWORD_PTR result = 0;
        // A nested sheet would not return until it closed.
        EXPECT_NE(SendMessageTimeoutW(download, WM_COMMAND, IDM_DL_SETTINGS, 0, SMTO_NORMAL, 5000, &result), 0)
            << "the second request opened another sheet";
        EXPECT_EQ(FindSheets().size(), 1u);
        EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == sheet.Window(); }));
        EXPECT_TRUE(IsDownloadSettingsSheetOpen());
        EXPECT_EQ(SendMessageW(download, kMsgDownloadIsSettingsOpen, 0, 0), 1);
        sheet.Press(PSBTN_OK);
    });
    DestroyWindow(other);
    EXPECT_FALSE(IsDownloadSettingsSheetOpen());
    EXPECT_EQ(SendMessageW(download, kMsgDownloadIsSettingsOpen, 0, 0), 0);
    EXPECT_EQ(m_window.GetSettingsSheetWindow(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(download));
}

// The tools of every tooltip window of this process: the control each covers, with its text.
struct FoundTool {
    HWND tip;
    HWND control;
    std::wstring text;
};
std::vector<FoundTool> FindTools() {
    const std::vector<HWND> tips = FindTopLevel(TOOLTIPS_CLASSW);
    std::vector<FoundTool> tools;
    for (HWND tip : tips) {
        const int count = static_cast<int>(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[1024] = {};
            TOOLINFOW info = {};
            info.cbSize = TTTOOLINFOW_V2_SIZE;
            info.lpszText = text;
            if (SendMessageW(tip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&info))) {
                tools.push_back({tip, info.hwnd, text});
            }
        }
    }
    return tools;
}

TEST_F(DownloadSettingsSheetTest, EveryPageHasItsTooltips) {
    RunSheet([&](const Sheet& sheet) {
        const size_t counts[] = {7, 9, 4, 1, 4, 2};
        std::vector<HWND> pages;
        for (int i = 0; i < 6; ++i) {
            pages.push_back(sheet.Page(i));
        }
        const std::vector<FoundTool> tools = FindTools();
        for (int i = 0; i < 6; ++i) {
            size_t onPage = 0;
            for (const FoundTool& tool : tools) {
                if (GetParent(tool.control) == pages[i]) {
                    ++onPage;
                    EXPECT_EQ(SendMessageW(tool.tip, TTM_GETTIPBKCOLOR, 0, 0), 0xAC7859);
                    EXPECT_EQ(SendMessageW(tool.tip, TTM_GETTIPTEXTCOLOR, 0, 0), 0xFFFFFF);
                }
            }
            EXPECT_EQ(onPage, counts[i]) << "page " << i;
        }
        auto textOf = [&](HWND control) {
            for (const FoundTool& tool : tools) {
                if (tool.control == control) {
                    return tool.text;
                }
            }
            return std::wstring(L"(none)");
        };
        EXPECT_EQ(
            textOf(GetDlgItem(pages[0], IDC_DOWNLOAD_SET_SAVE_THUMBNAIL)),
            L"動画のサムネイルを保存します\nダウンロードURL指定の後に\" -thumbnail\"として指定することもできます");
        EXPECT_EQ(textOf(GetDlgItem(pages[5], IDC_DOWNLOAD_ACCOUNT_PASS)), L"パスワード");
        EXPECT_NE(GetWindowLongPtrW(pages[0], GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0) << "page 1 takes dropped folders";
        sheet.Press(PSBTN_CANCEL);
    });
}

TEST_F(DownloadSettingsSheetTest, DroppedFolderOrShortcutToOneFillsTheFolderBox) {
    const std::wstring folder = PathOf(L"保存先");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring file = PathOf(L"video.mp4");
    WriteBytes(file, "v");
    ASSERT_TRUE(MakeShortcut(PathOf(L"folder.LNK"), folder));
    ASSERT_TRUE(MakeShortcut(PathOf(L"file.lnk"), file));
    struct Case {
        std::wstring dropped;
        std::wstring box;
    };
    const Case cases[] = {
        {folder, folder},
        {PathOf(L"folder.LNK"), folder},
        {file, L"before"},
        {PathOf(L"file.lnk"), L"before"},
        {PathOf(L"missing"), L"before"},
    };
    RunSheet([&](const Sheet& sheet) {
        HWND page = sheet.Page(0);
        for (const Case& c : cases) {
            SetText(page, IDC_DOWNLOAD_SET_SAVE_PATH, L"before");
            HDROP drop = MakeDrop(c.dropped);
            SendMessageW(page, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
            EXPECT_EQ(TextOf(page, IDC_DOWNLOAD_SET_SAVE_PATH), c.box) << c.dropped;
            EXPECT_EQ(GlobalSize(drop), 0u) << "the drop was released";
        }
        SetText(page, IDC_DOWNLOAD_SET_SAVE_PATH, folder);
        sheet.Press(PSBTN_OK);
    });
    EXPECT_EQ(GetDownloadSettings().SavePath, folder);
}

TEST(DownloadSettingsPageValuesTest, SaveFolderTypedRelativeIsTakenInsideTheProgramFolder) {
    const std::wstring program = L"C:\\Program Files\\VelaPlayer";
    struct Case {
        std::wstring typed;
        std::wstring stored;
    };
    const Case cases[] = {
        {L"", L""},
        {L"D:\\Videos\\", L"D:\\Videos\\"},
        {L"D:\\a\\..\\b ", L"D:\\a\\..\\b "},
        {L"\\\\server\\share", L"\\\\server\\share"},
        {L".\\Down", program + L"\\Down"},
        {L"Down\\sub", program + L"\\Down\\sub"},
        {L"..\\Other", L"C:\\Program Files\\Other"},
    };
    for (const Case& c : cases) {
        DownloadSettings settings;
        SettingsPageValues values = GetSettingsPageValues(IDD_DOWNLOAD_SETTINGS_GENERAL1, settings);
        values.texts[IDC_DOWNLOAD_SET_SAVE_PATH] = c.typed;
        ApplySettingsPageValues(IDD_DOWNLOAD_SETTINGS_GENERAL1, values, program, settings);
        EXPECT_EQ(settings.SavePath, c.stored) << c.typed;
    }
}

TEST(DownloadSettingsPageValuesTest, ContextHelpIsClearedInBothTemplateForms) {
    const DWORD style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CONTEXTHELP | DS_SETFONT;
    const DWORD cleared = style & ~static_cast<DWORD>(DS_CONTEXTHELP);

    DLGTEMPLATE plain = {};
    plain.style = style;
    plain.dwExtendedStyle = WS_EX_CONTROLPARENT;
    plain.cdit = 3;
    ClearContextHelpStyle(&plain);
    EXPECT_EQ(plain.style, cleared);
    EXPECT_EQ(plain.dwExtendedStyle, static_cast<DWORD>(WS_EX_CONTROLPARENT));
    EXPECT_EQ(plain.cdit, 3);

    // DLGTEMPLATEEX: dlgVer, signature, helpID, exStyle, style, then the rest.
    unsigned char extended[32] = {};
    const WORD version = 1;
    const WORD signature = 0xFFFF;
    const DWORD helpId = 0x12345678;
    const DWORD exStyle = WS_EX_CONTROLPARENT;
    std::memcpy(extended, &version, 2);
    std::memcpy(extended + 2, &signature, 2);
    std::memcpy(extended + 4, &helpId, 4);
    std::memcpy(extended + 8, &exStyle, 4);
    std::memcpy(extended + 12, &style, 4);
    unsigned char expected[32];
    std::memcpy(expected, extended, sizeof(expected));
    std::memcpy(expected + 12, &cleared, 4);
    ClearContextHelpStyle(extended);
    EXPECT_EQ(std::memcmp(extended, expected, sizeof(expected)), 0) << "only the style changes";
}

} // namespace
