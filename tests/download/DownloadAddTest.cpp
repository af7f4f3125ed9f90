#include "CWndDownload/DownloadAdd.h"

#include "CWndDownload/DownloadListFile.h"
#include "foundation/CWorkerThread.h"
#include "foundation/ListView.h"
#include "foundation/PrivateMessages.h"
#include "tests/download/DownloadStandIn.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <ctime>
#include <string>
#include <vector>

using testing_support::ClearLog;
using testing_support::StandInDownloadProc;
using testing_support::StandInSaveRequests;
using testing_support::LogText;
using testing_support::MessageBoxAnswerer;

namespace {

const wchar_t kCaption[] = L"VelaPlayer - ダウンロードウィンドウ";
const wchar_t kAppTitle[] = L"VelaPlayer";
constexpr int kUrlBoxId = 2110;
constexpr int kVideoCheckId = 2200;
// The window's check boxes: video ticked, waiting.
constexpr DWORD kCheckedKinds = 0x10003;

class DownloadAddTest : public ::testing::Test {
protected:
    void SetUp() override {
        const testing_support::StandInDownloadWindow standIn =
            testing_support::CreateStandInDownloadWindow(L"DownloadAddTestWindow", StandInDownloadProc, kCaption);
        m_window = standIn.window;
        m_list = standIn.list;
        ASSERT_NE(m_list, nullptr);
        m_urlBox = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 400, 20, m_window,
                                   reinterpret_cast<HMENU>(kUrlBoxId), nullptr, nullptr);
        m_videoCheck = CreateWindowExW(0, L"BUTTON", L"動画(&M)", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 400, 0, 80,
                                       20, m_window, reinterpret_cast<HMENU>(kVideoCheckId), nullptr, nullptr);

        m_settings = DownloadSettings{};
        m_settings.SavePath = L"C:\\dl";
        m_context.window = m_window;
        m_context.list = m_list;
        m_context.urlBox = m_urlBox;
        m_context.videoCheck = m_videoCheck;
        m_context.mainWindow = m_window;
        m_context.appTitle = kAppTitle;
        m_context.caption = kCaption;
        m_context.kindFlags = kCheckedKinds;
        m_context.settings = &m_settings;
        m_context.exceptList = &m_except;
        m_context.rowKeys = &m_keys;
        m_context.pending = &m_pending;
        StandInSaveRequests() = 0;
        ClearLog();
    }
    void TearDown() override { DestroyWindow(m_window); }

    bool AddQuietly(const std::wstring& text, DWORD flags = 0, bool askReplace = false) {
        std::vector<std::wstring> texts{text, L""};
        if (askReplace) {
            texts.push_back(L"SameItemReplace");
        }
        return AddItemFromArgs(m_context, texts, flags);
    }
    int RowCount() const { return static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0)); }
    std::wstring Cell(int row, int column) const { return GetListItemText(m_list, row, column); }
    std::vector<std::wstring> Keys() const {
        std::vector<std::wstring> keys;
        for (int row = 0; row < RowCount(); ++row) {
            keys.push_back(Cell(row, kDownloadColumnId));
        }
        return keys;
    }
    bool IsTicked(int row) const {
        return SendMessageW(m_list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) != INDEXTOSTATEIMAGEMASK(1);
    }
    bool IsSelected(int row) const { return SendMessageW(m_list, LVM_GETITEMSTATE, row, LVIS_SELECTED) != 0; }
    void Select(int row) {
        LVITEMW item = {};
        item.state = LVIS_SELECTED;
        item.stateMask = LVIS_SELECTED;
        SendMessageW(m_list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }

    HWND m_window = nullptr;
    HWND m_list = nullptr;
    HWND m_urlBox = nullptr;
    HWND m_videoCheck = nullptr;
    DownloadSettings m_settings;
    CDownloadExceptList m_except;
    CDownloadRowKeys m_keys;
    DownloadPendingAdd m_pending;
    DownloadAddContext m_context;
};

// The quiet path of message 37874 (the saved-list loader, the page scanner): repair, split, options,
// refusals and their log lines; no box may appear.
TEST_F(DownloadAddTest, QuietAddRepairsSplitsTakesOptionsAndRefuses) {
    struct Case {
        const wchar_t* text;
        const wchar_t* folder;
        DWORD flags;
        bool selectPath;
        bool added;
        const wchar_t* key;
        const wchar_t* savedFolder;
        const wchar_t* addData;
        WORD kinds;
        WORD status;
        bool ticked;
        const wchar_t* logLine;
    };
    const Case cases[] = {
        // Repair, the watch URL's key and its country.
        {L"ttp://www.video.example/watch/sm19", L"", 0, false, true, L"sm19", L"C:\\dl", L"country=\"jp\"", 0x3, 1,
         true, L""},
        {L"http://other.example/list?page=2", L"", 0, false, true, L"http://other.example/list?page=2", L"C:\\dl", L"",
         0x3, 1, true, L""},
        {L"sm19", L"", 0, true, true, L"sm19", L"", L"", 0x3, 1, true, L""},
        // Options, taken out as whole arguments: a quoted value with the same letters stays whole.
        {L"sm19 -thumbnail", L"", 0, false, true, L"sm19", L"C:\\dl", L"", 0x43, 1, true, L""},
        {L"sm19 raw_title=\"a -thumbnail -onlyadd b\" -thumbnail -afterexit", L"", 0, false, true, L"sm19", L"C:\\dl",
         L"raw_title=\"a -thumbnail -onlyadd b\" -afterexit", 0x43, 1, true, L""},
        {L"sm19 raw_title=\"say \\\"hi\\\" -thumbnail\" -thumbnail", L"", 0, false, true, L"sm19", L"C:\\dl",
         L"raw_title=\"say \\\"hi\\\" -thumbnail\"", 0x43, 1, true, L""},
        {L"sm19 -createdir -onlyadd", L"D:\\given\\", 0x10007, false, true, L"sm19", L"D:\\given", L"", 0x406, 1, false,
         L""},
        {L"sm19 savepath=\"E:/my dl/\" -afterexit", L"D:\\given", 0, false, true, L"sm19", L"E:/my dl", L"-afterexit",
         0x3, 1, true, L""},
        {L"sm19 log=\"2008/1/2 3:04\"", L"", 0, false, true, L"sm19", L"C:\\dl", L"log=\"2008/1/2 3:04\"", 0x7, 1, true,
         L""},
        {L"sm19 -deleted", L"", 0, false, true, L"sm19", L"C:\\dl", L"-deleted", 0x3, 3, false, L""},
        // Only the video information: nothing to play or to put on the playlist.
        {L"sm19", L"", 0x10039, false, true, L"sm19", L"C:\\dl", L"", 0x21, 1, true, L""},
        // A completed item is done whatever it names.
        {L"sm19", L"", 0x807, false, true, L"sm19", L"C:\\dl", L"", 0x807, 13, true, L""},
        // Refusals: silent, except the bad log= value.
        {L"", L"", 0, false, false, L"", L"", L"", 0, 0, false, L""},
        {L"abc", L"", 0, false, false, L"", L"", L"", 0, 0, false, L""},
        {L"sm19", L"", 0x10019, false, false, L"", L"", L"", 0, 0, false, L""},
        {L"sm19 log=\"yesterday\"", L"", 0, false, false, L"", L"", L"", 0, 0, false, L"log=の値が正しくありません"},
    };
    MessageBoxAnswerer answerer({IDOK});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
        ClearLog();
        m_settings.SelectPath = c.selectPath;
        EXPECT_EQ(AddItemFromArgs(m_context, {c.text, c.folder}, c.flags), c.added);
        const std::wstring logLine = c.logLine;
        EXPECT_EQ(LogText(), logLine.empty() ? logLine : logLine + L"\r\n");
        if (!c.added) {
            EXPECT_EQ(RowCount(), 0);
            continue;
        }
        ASSERT_EQ(RowCount(), 1);
        EXPECT_EQ(Cell(0, kDownloadColumnTitle), L"");
        EXPECT_EQ(Cell(0, kDownloadColumnId), c.key);
        EXPECT_EQ(Cell(0, kDownloadColumnSaveFolder), c.savedFolder);
        EXPECT_EQ(Cell(0, kDownloadColumnAddData), c.addData);
        EXPECT_EQ(GetListItemParam(m_list, 0), MakeItemData(c.status, c.kinds));
        EXPECT_EQ(Cell(0, kDownloadColumnStatus), GetDownloadStatusText(c.status, c.addData));
        EXPECT_EQ(Cell(0, kDownloadColumnKind), MakeDownloadKindText(c.kinds));
        EXPECT_EQ(IsTicked(0), c.ticked);
    }
    EXPECT_TRUE(answerer.Seen().empty());
}

// The callers that may ask show their refusals in boxes owned by the window, with the program's title.
TEST_F(DownloadAddTest, RefusalsOfAskingCallersAreShown) {
    struct Case {
        const wchar_t* text;
        DWORD kindFlags;
        const wchar_t* message;
        bool focusOnVideoBox; // else on the URL box
    };
    const Case cases[] = {
        {L"", kCheckedKinds, L"URLを入力して下さい。", false},
        {L"abc", kCheckedKinds, L"URLが正しくありません。", false},
        {L"sm19", 0x10001, L"ダウンロードする項目を選択して下さい。(動画・コメント・動画情報・サムネイル)", true},
        {L"sm19 log=2008/13", kCheckedKinds, L"追加データの指定が正しくありません。", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        MessageBoxAnswerer answerer({IDOK});
        SetWindowTextW(m_urlBox, c.text);
        m_context.kindFlags = c.kindFlags;
        EXPECT_FALSE(AddFromUrlBox(m_context));
        ASSERT_EQ(answerer.Seen().size(), 1u);
        EXPECT_EQ(answerer.Seen()[0].caption, kAppTitle);
        EXPECT_EQ(answerer.Seen()[0].text, c.message);
        EXPECT_EQ(GetFocus(), c.focusOnVideoBox ? m_videoCheck : m_urlBox);
        EXPECT_EQ(RowCount(), 0);
    }
}

TEST_F(DownloadAddTest, AddCommandEmptiesTheUrlBoxAndEntryPointsSetTheirKinds) {
    SetWindowTextW(m_urlBox, L"sm11 -afterexit");
    SetFocus(m_urlBox);
    OnEnterCommand(m_context);
    ASSERT_EQ(Keys(), std::vector<std::wstring>{L"sm11"});
    EXPECT_EQ(Cell(0, kDownloadColumnSaveFolder), L"C:\\dl");
    EXPECT_EQ(testing_support::WindowText(m_urlBox), L"");
    EXPECT_EQ(GetFocus(), m_urlBox);

    // The play-after and playlist boxes are ticked: the fixed kinds of 37877-37879 take their bits.
    m_context.kindFlags = 0x1001B;
    struct Case {
        bool (*add)(const DownloadAddContext&, const wchar_t*, const wchar_t*);
        const wchar_t* text;
        LPARAM itemData;
        bool ticked;
    };
    const Case cases[] = {
        {AddUrlWithCheckedKinds, L"sm12", 0x1001B, true},
        {AddUrlCommentOnly, L"sm13", 0x1001D, true},
        {AddUrlVideoOnly, L"sm14", 0x1001B, true},
        // Only the video information: the hand-on bits go again.
        {AddUrlVideoInfoOnly, L"sm15", 0x10021, true},
        {AddUrlWithCheckedKinds, L"sm16 -onlyadd", 0x1001A, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(c.add(m_context, c.text, L"F:\\videos\\"));
        const int last = RowCount() - 1;
        EXPECT_EQ(GetListItemParam(m_list, last), c.itemData);
        EXPECT_EQ(Cell(last, kDownloadColumnSaveFolder), L"F:\\videos");
        EXPECT_EQ(IsTicked(last), c.ticked);
    }
    // Every add asked for the list's auto-save (no list is loading).
    EXPECT_EQ(StandInSaveRequests(), 6);
}


TEST_F(DownloadAddTest, QueuedAddWaitsForTheSavedList) {
    EXPECT_TRUE(QueueAddItem(m_context, {L"sm11", L""}, 0));
    EXPECT_TRUE(QueueAddItem(m_context, {L"sm12", L"G:\\x"}, 0x10005));
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(m_pending.texts, (std::vector<std::wstring>{L"sm12", L"G:\\x"}));
    EXPECT_EQ(m_pending.flags, 0x10005u);

    m_pending.listLoaded = true;
    EXPECT_TRUE(QueueAddItem(m_context, {L"sm13", L""}, 0));
    EXPECT_FALSE(QueueAddItem(m_context, {L"sm13", L""}, 0));
    EXPECT_EQ(Keys(), std::vector<std::wstring>{L"sm13"});
}

TEST_F(DownloadAddTest, QuietDuplicateIsLoggedAndSelected) {
    MessageBoxAnswerer answerer({IDOK});
    ASSERT_TRUE(AddQuietly(L"sm19"));
    ASSERT_TRUE(AddQuietly(L"sm190"));
    Select(1);
    ClearLog();
    EXPECT_FALSE(AddQuietly(L"http://www.video.example/watch/sm19"));
    EXPECT_EQ(LogText(), L"sm19は既にリストに存在しています。\r\n");
    EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm19", L"sm190"}));
    // The duplicate is selected beside what was selected already.
    EXPECT_TRUE(IsSelected(0));
    EXPECT_TRUE(IsSelected(1));
    EXPECT_TRUE(answerer.Seen().empty());
}

TEST_F(DownloadAddTest, DuplicateWithReplaceIsAskedAndAnsweredBothWays) {
    ASSERT_TRUE(AddQuietly(L"sm19 -afterexit"));
    ASSERT_TRUE(AddQuietly(L"sm20"));
    SetListItemText(L"old title", kDownloadColumnTitle, m_list, 0);
    {
        MessageBoxAnswerer answerer({IDNO});
        EXPECT_FALSE(AddQuietly(L"sm19 -thumbnail", 0, true));
        ASSERT_EQ(answerer.Seen().size(), 1u);
        EXPECT_EQ(answerer.Seen()[0].text, L"sm19は既にリストに存在しています。\n項目を新しい内容に置き換えますか？");
        EXPECT_EQ(answerer.Seen()[0].caption, kAppTitle);
        EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm19", L"sm20"}));
        EXPECT_EQ(Cell(0, kDownloadColumnTitle), L"old title");
    }
    {
        MessageBoxAnswerer answerer({IDYES});
        EXPECT_TRUE(AddUrlVideoOnly(m_context, L"sm19 -thumbnail", L""));
        EXPECT_EQ(answerer.Seen().size(), 1u);
        // The new row goes to the end, not into the old one's place.
        EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm20", L"sm19"}));
        EXPECT_EQ(Cell(1, kDownloadColumnTitle), L"");
        EXPECT_EQ(GetListItemParam(m_list, 1), 0x10043);
    }
    // Not quiet and not asking: the duplicate is shown and refused.
    {
        MessageBoxAnswerer answerer({IDOK});
        EXPECT_FALSE(AddDownloadItem(L"", m_context, L"sm20", 0, false, false));
        ASSERT_EQ(answerer.Seen().size(), 1u);
        EXPECT_EQ(answerer.Seen()[0].text, L"sm20は既にリストに存在しています。");
        EXPECT_TRUE(IsSelected(0));
        EXPECT_FALSE(IsSelected(1));
    }
}

// The old row stays until the add is sure to go through: an excluded replacement that is refused
// keeps it.
TEST_F(DownloadAddTest, RefusedReplacementKeepsTheOldRow) {
    ASSERT_TRUE(AddQuietly(L"sm19"));
    SetListItemText(L"old title", kDownloadColumnTitle, m_list, 0);
    m_except.Replace({L"sm19\t# excluded"});
    {
        // Quiet: the replace question, then the except line logged.
        MessageBoxAnswerer answerer({IDYES});
        ClearLog();
        EXPECT_FALSE(AddQuietly(L"sm19 -thumbnail", 0, true));
        EXPECT_EQ(answerer.Seen().size(), 1u);
        EXPECT_EQ(LogText(), L"> sm19\r\n除外リストに指定されている動画IDです。\r\n");
    }
    {
        // Asking: Yes to replacing, Yes to cancelling the excluded add.
        MessageBoxAnswerer answerer({IDYES, IDYES});
        EXPECT_FALSE(AddUrlCommentOnly(m_context, L"sm19", L""));
        ASSERT_EQ(answerer.Seen().size(), 2u);
        EXPECT_EQ(answerer.Seen()[1].text, L"> sm19\r\n除外リストに指定されている動画IDです。"
                                           L"\n(settings.datファイルの[ExceptDownload]セクション)"
                                           L"\n\nリストへの追加を取り消しますか？");
    }
    ASSERT_EQ(RowCount(), 1);
    EXPECT_EQ(Cell(0, kDownloadColumnTitle), L"old title");
    {
        // No to cancelling: the replacement goes through.
        MessageBoxAnswerer answerer({IDYES, IDNO});
        EXPECT_TRUE(AddUrlCommentOnly(m_context, L"sm19", L""));
        EXPECT_EQ(answerer.Seen().size(), 2u);
    }
    ASSERT_EQ(RowCount(), 1);
    EXPECT_EQ(Cell(0, kDownloadColumnTitle), L"");
    EXPECT_EQ(GetListItemParam(m_list, 0), 0x10005);
}

TEST_F(DownloadAddTest, ExceptLinesMatchTheirWholeKeyAndCommentsNever) {
    m_except.Replace({L"sm190\t# a longer ID", L"# sm19", L" sm19", L"\tsm19", L"sm11\t# title", L"sm12", L"sm13#note",
                      L"http://other.example/a # page"});
    struct Case {
        const wchar_t* text;
        bool added;
    };
    const Case cases[] = {
        {L"sm19", true},
        {L"sm190", false},
        {L"sm11", false},
        {L"sm12", false},
        {L"sm13", false},
        {L"sm14", true},
        {L"http://other.example/a", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ClearLog();
        EXPECT_EQ(AddQuietly(c.text), c.added);
        EXPECT_EQ(LogText(),
                  c.added ? L"" : L"> " + std::wstring(c.text) + L"\r\n除外リストに指定されている動画IDです。\r\n");
    }
    // Lines appended later count at once.
    m_except.Append(L"sm15\t# later");
    EXPECT_FALSE(AddQuietly(L"sm15"));
    // A completed item is added even when excluded.
    EXPECT_TRUE(AddQuietly(L"sm15", 0x806));
}

// Another thread replaces the except list (a list file's load) while the UI thread adds.
TEST_F(DownloadAddTest, ExceptListReplacedWhileAdding) {
    const std::vector<std::wstring> small{L"sm11"};
    std::vector<std::wstring> large;
    for (int i = 0; i < 2000; ++i) {
        large.push_back(L"sm" + std::to_wstring(i + 1) + L"\t# title");
    }
    m_except.Replace(small);
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    CWorkerThread replacer = StartWorker(
        WorkerOptions{L"DownloadAddTest", false},
        [&] {
            for (int i = 0; !stop; ++i) {
                m_except.Replace(i % 2 == 0 ? large : small);
            }
        },
        [&finished] { finished = true; });
    ASSERT_TRUE(replacer.IsStarted());
    // sm11 is in both lists; sm5000 in neither.
    bool alwaysRight = true;
    for (int i = 0; i < 3000; ++i) {
        alwaysRight = alwaysRight && m_except.ContainsKey(L"sm11") && !m_except.ContainsKey(L"sm5000");
    }
    stop = true;
    EXPECT_TRUE(testing_support::PumpMessagesUntil([&] { return finished.load(); }));
    EXPECT_TRUE(replacer.Wait(5000));
    EXPECT_TRUE(alwaysRight);
}

// The keys the gate keeps of the rows follow a removal made past it.
TEST_F(DownloadAddTest, DuplicateTestFollowsARowRemovedPastTheGate) {
    for (const wchar_t* key : {L"sm11", L"sm12", L"sm13"}) {
        ASSERT_TRUE(AddQuietly(key));
    }
    SendMessageW(m_list, LVM_DELETEITEM, 1, 0);
    EXPECT_TRUE(AddQuietly(L"sm12"));
    EXPECT_FALSE(AddQuietly(L"sm13"));
    EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm11", L"sm13", L"sm12"}));
}

TEST(ParseLogDateTest, ReadsSecondsAndLocalDates) {
    std::tm local = {};
    local.tm_year = 108;
    local.tm_mon = 0;
    local.tm_mday = 2;
    local.tm_isdst = 0;
    const int64_t january2 = _mktime64(&local);
    const std::wstring future = std::to_wstring(_time64(nullptr) + 3600);
    struct Case {
        std::wstring text;
        int64_t value;
    };
    const Case cases[] = {
        {L"1200000000", 1200000000},
        {L"08/1/2", january2},
        {L"2008/1/2 0:0:0", january2},
        {L"2008 1 2 3 4", 0},
        {L"2006/9/30", 0},
        {future, 0},
        {L"99999999999999999999999", 0},
        {L"2008/1/2\n5", 0},
        {L"", 0},
        // Digits of other scripts are no time (and must not reach the number conversions).
        {L"１２００００００００", 0},
        {L"２００８/１/２", 0},
        {L"2008/1/2 ３:4", 0},
        {L"\u0661\u0662\u0660\u0660\u0660\u0660\u0660\u0660\u0660\u0660", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseLogDate(c.text), c.value);
    }
}

} // namespace
