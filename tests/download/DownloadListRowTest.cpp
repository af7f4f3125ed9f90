#include "CWndDownload/DownloadListRow.h"
#include "CWndDownload/DownloadSettings.h"
#include "foundation/AppSettings.h"

#include "foundation/CWorkerThread.h"
#include "foundation/ListView.h"
#include "foundation/PrivateMessages.h"
#include "foundation/StringUtil.h"
#include "tests/download/DownloadStandIn.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

bool g_inRowStep = false;

// The list's owner answers the row step, as the download window does.
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    g_inRowStep = message == kMsgDownloadRowStep;
    const bool handled = HandleDownloadRowStep(message, wParam, lParam, result);
    g_inRowStep = false;
    return handled ? result : DefWindowProcW(window, message, wParam, lParam);
}

// Armed, the list makes a UI-thread flag change the moment a row's item data is read outside a row
// step (that is, by a worker's own send), which is where a split read-then-write loses it.
WNDPROC g_listProc = nullptr;
bool g_interleaveArmed = false;
bool g_interleaved = false;
LRESULT CALLBACK InterleavingListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CallWindowProcW(g_listProc, list, message, wParam, lParam);
    if (message == LVM_GETITEMW && (reinterpret_cast<LVITEMW*>(lParam)->mask & LVIF_PARAM) && g_interleaveArmed &&
        !g_inRowStep) {
        g_interleaveArmed = false;
        g_interleaved = true;
        AddDownloadItemFlags(list, static_cast<int>(reinterpret_cast<LVITEMW*>(lParam)->iItem), kDownloadKindEconomy);
    }
    return result;
}

// A hidden owner window with the download list's 11 columns and check boxes.
class DownloadListRowTest : public testing_support::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        const testing_support::StandInDownloadWindow standIn =
            testing_support::CreateStandInDownloadWindow(L"DownloadListRowTestOwner", OwnerProc);
        m_owner = standIn.window;
        m_list = standIn.list;
        ASSERT_NE(m_list, nullptr);
    }
    void TearDown() override {
        DestroyWindow(m_owner);
        TempFolderTest::TearDown();
    }

    int AddRow(const std::wstring& id, WORD status, WORD flags, const std::wstring& addData = L"") {
        const int row = InsertListItem(-1, L"", m_list);
        SetListItemText(id, kDownloadColumnId, m_list, row);
        SetListItemText(addData, kDownloadColumnAddData, m_list, row);
        SetListItemParam(m_list, row, MakeItemData(status, flags));
        return row;
    }
    std::wstring Cell(int row, int column) const { return GetListItemText(m_list, row, column); }
    LPARAM Data(int row) const { return GetListItemParam(m_list, row); }
    void SetChecked(int row, bool checked) {
        LVITEMW item = {};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
        SendMessageW(m_list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    bool IsChecked(int row) const {
        return SendMessageW(m_list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) != INDEXTOSTATEIMAGEMASK(1);
    }

    HWND m_owner = nullptr;
    HWND m_list = nullptr;
};

} // namespace

TEST_F(DownloadListRowTest, TheListHasElevenColumnsWithTheirHeadersWidthsAndAlignment) {
    struct Column {
        const wchar_t* header;
        int width;
        int format;
    };
    const Column expected[] = {
        {L"タイトル", 220, LVCFMT_LEFT},       {L"動画ID/URL", 80, LVCFMT_LEFT}, {L"状態", 140, LVCFMT_LEFT},
        {L"サイズ", 120, LVCFMT_RIGHT},        {L"%", 40, LVCFMT_RIGHT},         {L"種類", 140, LVCFMT_LEFT},
        {L"保存先フォルダ", 200, LVCFMT_LEFT}, {L"動画保存先", 50, LVCFMT_LEFT}, {L"コメント保存先", 55, LVCFMT_LEFT},
        {L"追加データ", 55, LVCFMT_LEFT},      {L"", 70, LVCFMT_LEFT},
    };
    const HWND header = reinterpret_cast<HWND>(SendMessageW(m_list, LVM_GETHEADER, 0, 0));
    EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), kDownloadColumnCount);
    for (int index = 0; index < kDownloadColumnCount; ++index) {
        SCOPED_TRACE(index);
        EXPECT_EQ(GetListColumnText(m_list, index), expected[index].header);
        EXPECT_EQ(SendMessageW(m_list, LVM_GETCOLUMNWIDTH, index, 0), expected[index].width);
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT;
        SendMessageW(m_list, LVM_GETCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, expected[index].format);
    }
}

TEST_F(DownloadListRowTest, StatusAndKindTextsFollowTheItemDataAndTheDeletedMark) {
    struct StatusCase {
        WORD status;
        const wchar_t* addData;
        const wchar_t* text;
    };
    const StatusCase statusCases[] = {
        {0, L"", L"×"},
        {1, L"", L"待機中"},
        {3, L"", L"エラー(情報ｳｨﾝﾄﾞｳ参照)"},
        {9, L"country=\"jp\"", L"ダウンロード中(xml)..."},
        {13, L"", L"完了"},
        {14, L"", L""},
        {3, L"-deleted", L"エラー(削除済み)"},
        {1, L"log=\"2026/12/01 10:00\" -deleted", L"エラー(削除済み)"},
        // Only a whole argument marks the row: a title or a longer word holding the text does not.
        {1, L"raw_title=\"a -deleted b\"", L"待機中"},
        {1, L"-deletedx", L"待機中"},
    };
    for (const StatusCase& c : statusCases) {
        SCOPED_TRACE(c.addData);
        const int row = AddRow(L"sm9", 5, 0x2A, c.addData);
        ASSERT_TRUE(SetDownloadItemStatus(m_list, c.status, row));
        EXPECT_EQ(Cell(row, kDownloadColumnStatus), c.text);
        EXPECT_EQ(Data(row), MakeItemData(c.status, 0x2A));
        EXPECT_EQ(HasItemOptionText(m_list, row), std::wstring(c.text) == L"エラー(削除済み)");
    }

    struct KindCase {
        WORD flags;
        const wchar_t* text;
    };
    const KindCase kindCases[] = {
        {0x2 | 0x4 | 0x8 | 0x200, L" 動画 xml 再生 (ｴｺﾉﾐｰ)"},
        {0x1 | 0x400 | 0x800, L""},
        {0x1FF, L" 動画 xml 情報 ｻﾑﾈ 再生 追加 (ﾏｲﾒﾓﾘｰ)"},
        {0x240, L" ｻﾑﾈ (ｴｺﾉﾐｰ)"},
    };
    for (const KindCase& c : kindCases) {
        SCOPED_TRACE(c.flags);
        const int row = AddRow(L"sm10", 11, 0xFFFF);
        ASSERT_TRUE(MakeItemStateText(c.flags, m_list, row));
        EXPECT_EQ(Cell(row, kDownloadColumnKind), c.text);
        EXPECT_EQ(Data(row), MakeItemData(11, c.flags));
    }

    const int row = AddRow(L"sm11", 1, 0x1);
    ASSERT_TRUE(AddDownloadItemFlags(m_list, row, 0x2 | 0x4));
    ASSERT_TRUE(RemoveDownloadItemFlags(m_list, row, 0x1 | 0x2));
    EXPECT_EQ(Data(row), MakeItemData(1, 0x4));
    EXPECT_EQ(Cell(row, kDownloadColumnKind), L" xml");
}

TEST_F(DownloadListRowTest, AddDataOptionsAreReadAsACommandLine) {
    struct Case {
        const wchar_t* addData;
        const wchar_t* country;
        const wchar_t* log;
        bool afterExit;
        bool deleted;
    };
    const Case cases[] = {
        {L"country=\"jp\" log=\"2026/12/01 10:00\" -afterexit", L"jp", L"2026/12/01 10:00", true, false},
        {L"country=jp country=\"tw\"", L"tw", L"", false, false},
        {L"-deleted log=1700000000", L"", L"1700000000", false, true},
        {L"", L"", L"", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.addData);
        const int row = AddRow(L"sm9", 1, 0x3, c.addData);
        EXPECT_EQ(GetItemOption(m_list, row, L"country="), c.country);
        EXPECT_EQ(GetItemOption(m_list, row, L"log="), c.log);
        EXPECT_EQ(ContainsString(GetItemAddOptions(m_list, row), L"-afterexit"), c.afterExit);
        EXPECT_EQ(IsDownloadItemDeleted(m_list, row), c.deleted);
    }
}

TEST_F(DownloadListRowTest, RawTitlesWithBackslashesAndQuotesComeBackWholeAndKeepLaterOptions) {
    const std::wstring titles[] = {
        L"plain",  L"two words",       L"ends in \\", L"ends in \\\\", L"say \"hi\"", L"\\\"quoted\\\"",
        L"a\\b c", L"-deleted inside", L"",           L"\"",
    };
    for (const std::wstring& title : titles) {
        SCOPED_TRACE(title);
        const int row = AddRow(L"sm9", 1, 0x3, L"country=\"jp\"");
        ASSERT_TRUE(AddItemOptionWord(L"raw_title=", m_list, row, QuoteItemOptionValue(title)));
        ASSERT_TRUE(AddItemOptionWord(L"log=", m_list, row, L"\"2026/12/01 10:00\""));
        ASSERT_TRUE(MarkDownloadItemDeleted(m_list, row));
        EXPECT_EQ(GetItemOption(m_list, row, L"raw_title="), title);
        EXPECT_EQ(GetItemOption(m_list, row, L"country="), L"jp");
        EXPECT_EQ(GetItemOption(m_list, row, L"log="), L"2026/12/01 10:00");
        EXPECT_TRUE(IsDownloadItemDeleted(m_list, row));

        // A word already there changes nothing.
        const std::wstring before = Cell(row, kDownloadColumnAddData);
        EXPECT_FALSE(AddItemOptionWord(L"raw_title=", m_list, row, L"\"other\""));
        EXPECT_FALSE(MarkDownloadItemDeleted(m_list, row));
        EXPECT_EQ(Cell(row, kDownloadColumnAddData), before);
    }
    const int row = AddRow(L"sm12", 1, 0x3);
    ASSERT_TRUE(MarkDownloadItemDeleted(m_list, row));
    EXPECT_EQ(Cell(row, kDownloadColumnAddData), L"-deleted");
}

TEST_F(DownloadListRowTest, PathsAndRowsAreFoundByTheirRules) {
    struct Case {
        WORD status;
        WORD flags;
        const wchar_t* video;
        const wchar_t* comments;
        const wchar_t* savePath;
        const wchar_t* filePath;
    };
    const Case cases[] = {
        {13, 0x100, L"v.mp4", L"c.xml", L"c.xml", L"c.xml"}, {13, 0x100, L"v.mp4", L"", L"v.mp4", L"v.mp4"},
        {13, 0x0, L"v.mp4", L"c.xml", L"v.mp4", L"v.mp4"},   {13, 0x0, L"", L"c.xml", L"c.xml", L"c.xml"},
        {3, 0x200, L"v.mp4", L"c.xml", L"v.mp4", L"v.mp4"},  {3, 0x200, L"", L"c.xml", L"c.xml", L""},
        {3, 0x0, L"v.mp4", L"c.xml", L"v.mp4", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.status << " " << c.flags << " " << c.video);
        const int row = AddRow(L"sm9", c.status, c.flags);
        SetListItemText(c.video, kDownloadColumnVideoPath, m_list, row);
        SetListItemText(c.comments, kDownloadColumnCommentPath, m_list, row);
        EXPECT_EQ(GetItemSavePath(m_list, row), c.savePath);
        EXPECT_EQ(GetItemFilePath(m_list, row), c.filePath);
    }

    SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
    AddRow(L"sm90", 1, 0);
    AddRow(L"sm9", 1, 0);
    EXPECT_EQ(FindRowById(m_list, L"sm9"), 1);
    EXPECT_EQ(FindRowById(m_list, L"sm"), -1);

    const std::wstring file = PathOf(L"sm9.mp4");
    WriteBytes(file, "x");
    SetListItemText(Folder(), kDownloadColumnSaveFolder, m_list, 1);
    EXPECT_EQ(FindItemFile(m_list, 1), L"");
    SetListItemText(file, kDownloadColumnCommentPath, m_list, 1);
    SetListItemText(PathOf(L"missing.mp4"), kDownloadColumnVideoPath, m_list, 1);
    EXPECT_EQ(FindItemFile(m_list, 1), file);
}

TEST_F(DownloadListRowTest, AWorkerChangesRowsThroughTheUiThreadWithoutLosingItsChanges) {
    const int row = AddRow(L"sm9", 1, 0x1);
    const int waiting = AddRow(L"sm10", 1, 0x1);
    const int paused = AddRow(L"sm11", 2, 0x1);
    for (const int r : {row, waiting, paused}) {
        SetChecked(r, true);
    }

    // The worker sets every kind bit one at a time while the UI thread keeps changing the status:
    // each read-modify-write must keep the other half as the other thread left it.
    constexpr int kRounds = 200;
    std::atomic<bool> finished{false};
    std::atomic<bool> flagsDone{false};
    std::atomic<bool> allSucceeded{true};
    const HWND list = m_list;
    CWorkerThread worker = StartWorker(
        WorkerOptions{L"DownloadListRowTest", false},
        [list, row, waiting, &allSucceeded, &flagsDone] {
            for (int round = 0; round < kRounds; ++round) {
                const WORD bit = static_cast<WORD>(0x2 << (round % 6));
                bool ok = AddDownloadItemFlags(list, row, bit) && RemoveDownloadItemFlags(list, row, bit) &&
                          AddDownloadItemFlags(list, row, bit);
                if (!ok) {
                    allSucceeded = false;
                }
            }
            flagsDone = true;
            if (!MarkDownloadItemDeleted(list, row) || !SetDownloadItemStatus(list, kDownloadStatusError, waiting)) {
                allSucceeded = false;
            }
            UncheckWaitingItems(list);
        },
        [&finished] { finished = true; });
    ASSERT_TRUE(worker.IsStarted());
    WORD status = 1;
    ASSERT_TRUE(testing_support::PumpMessagesUntil(
        [&] {
            // The status stays put from here, so the worker's unticking sees the final one.
            if (!flagsDone) {
                status = static_cast<WORD>(status % 12 + 1);
                SetDownloadItemStatus(m_list, status, row);
            }
            return finished.load();
        },
        20000));
    ASSERT_TRUE(worker.Wait(5000));
    EXPECT_TRUE(allSucceeded);
    EXPECT_EQ(Data(row), MakeItemData(status, 0x7F));
    EXPECT_EQ(Cell(row, kDownloadColumnKind), L" 動画 xml 情報 ｻﾑﾈ 再生 追加");
    EXPECT_EQ(Cell(row, kDownloadColumnAddData), L"-deleted");
    EXPECT_EQ(Cell(waiting, kDownloadColumnStatus), L"エラー(情報ｳｨﾝﾄﾞｳ参照)");
    // Only the row still waiting when the worker looked is unticked.
    EXPECT_EQ(IsChecked(row), status != kDownloadStatusWaiting);
    EXPECT_TRUE(IsChecked(waiting));
    EXPECT_TRUE(IsChecked(paused));
}

TEST_F(DownloadListRowTest, AFlagTheUiThreadSetsWhileAWorkerChangesFlagsIsKept) {
    const int row = AddRow(L"sm9", kDownloadStatusWaiting, 0x1);
    g_listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(m_list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(InterleavingListProc)));
    g_interleaveArmed = true;
    g_interleaved = false;
    std::atomic<bool> finished{false};
    const HWND list = m_list;
    CWorkerThread worker = StartWorker(
        WorkerOptions{L"DownloadListRowTest", false}, [list, row] { AddDownloadItemFlags(list, row, 0x2); },
        [&finished] { finished = true; });
    EXPECT_TRUE(testing_support::PumpMessagesUntil([&] { return finished.load(); }));
    EXPECT_TRUE(worker.Wait(5000));
    g_interleaveArmed = false;
    SetWindowLongPtrW(m_list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProc));
    if (g_interleaved) {
        EXPECT_EQ(Data(row), MakeItemData(kDownloadStatusWaiting, 0x203));
        EXPECT_EQ(Cell(row, kDownloadColumnKind), L" 動画 (ｴｺﾉﾐｰ)");
    } else {
        EXPECT_EQ(Data(row), MakeItemData(kDownloadStatusWaiting, 0x3));
    }
}

TEST_F(DownloadListRowTest, AWorkerStepFailsWhenTheListsOwnerDoesNotRunIt) {
    const HWND plainOwner =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    const HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 100, 100, plainOwner, nullptr,
                                      nullptr, nullptr);
    ASSERT_TRUE(InsertDownloadListColumns(list));
    InsertListItem(-1, L"", list);
    SetListItemParam(list, 0, MakeItemData(1, 0x1));
    std::atomic<int> result{-1};
    CWorkerThread worker = StartWorker(WorkerOptions{L"DownloadListRowTest", false},
                                       [list, &result] { result = AddDownloadItemFlags(list, 0, 0x2) ? 1 : 0; });
    EXPECT_TRUE(testing_support::PumpMessagesUntil([&] { return result != -1; }));
    EXPECT_TRUE(worker.Wait(5000));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(GetListItemParam(list, 0), MakeItemData(1, 0x1));
    DestroyWindow(plainOwner);
}

TEST_F(DownloadListRowTest, SideFilesGoToTheCommonFolderAndTheirTemplateByTheSettings) {
    const DownloadSettings saved = GetDownloadSettings();
    DownloadSettings& settings = GetDownloadSettings();
    settings.FoldernameFormat = L"%title%(%id%)";
    struct Case {
        bool saveCommon;
        bool folderEveryVideo;
        WORD flags;
        std::wstring folder;
        std::wstring format;
    };
    const Case cases[] = {
        {false, false, 0x7, L"D:\\videos", L""},
        {false, false, 0x407, L"D:\\videos", L"%title%(%id%)"},
        {true, false, 0x7, GetAppSettings().CommonDir, L""},
        {true, true, 0x7, GetAppSettings().CommonDir, L"%title%(%id%)"},
        {false, true, 0x7, L"D:\\videos", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.saveCommon << c.folderEveryVideo << " " << c.flags);
        settings.SaveCommonDir = c.saveCommon;
        settings.CreateFolderEveryVideo = c.folderEveryVideo;
        const int row = AddRow(L"sm9", 1, c.flags);
        SetListItemText(L"D:\\videos", kDownloadColumnSaveFolder, m_list, row);
        EXPECT_EQ(GetItemSaveFolder(m_list, row), c.folder);
        EXPECT_EQ(GetItemFolderFormat(m_list, row), c.format);
    }
    settings = saved;
}
