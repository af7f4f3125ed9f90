#include "CWndDownload/DownloadListFile.h"

#include "CWndDownload/DownloadAdd.h"
#include "CWndDownload/DownloadListRow.h"
#include "foundation/CSectionFile.h"
#include "foundation/CWorkerThread.h"
#include "foundation/ListView.h"
#include "foundation/PathUtil.h"
#include "foundation/PrivateMessages.h"
#include "foundation/TextFile.h"
#include "tests/download/DownloadStandIn.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using testing_support::ClearLog;
using testing_support::LogText;
using testing_support::PumpMessagesFor;
using testing_support::PumpMessagesUntil;

namespace {

const wchar_t kCaption[] = L"ダウンロード";
constexpr WORD kCheckBoxKinds = kDownloadKindBase | kDownloadKindVideo | kDownloadKindComments;

// What the stand-in of the download window saw.
struct StandInLog {
    std::vector<DWORD> addFlags;
    std::vector<std::wstring> addFolders;
    // Per added row key, the state images its check box went through.
    std::vector<std::pair<std::wstring, int>> stateImages;
    bool loadingWhileAdding = true;
    int loadedPosts = 0;
};
StandInLog g_seen;
// A row the user adds while a load runs, posted when the load adds the row of this key.
std::wstring g_userAddAfter;
const std::vector<std::wstring> g_userAdd = {L"user", L""};

// The download window as far as a load needs it: its add message inserts a row the way the adding
// routine does (duplicates refused, a completed item done, 0x1 ticks the row, 0 means the check boxes).
LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleDownloadRowStep(message, wParam, lParam, result)) {
        return result;
    }
    const HWND list = GetDlgItem(window, 2010);
    switch (message) {
    case kMsgDownloadAddItem: {
        const auto& texts = *reinterpret_cast<const std::vector<std::wstring>*>(wParam);
        DWORD flags = static_cast<DWORD>(lParam);
        if (texts[0] == g_userAddAfter) {
            PostMessageW(window, kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&g_userAdd), 0x10006);
        }
        if (&texts != &g_userAdd) {
            g_seen.addFlags.push_back(flags);
            g_seen.addFolders.push_back(texts[1]);
            wchar_t caption[128] = {};
            GetWindowTextW(window, caption, 128);
            g_seen.loadingWhileAdding = g_seen.loadingWhileAdding && !IsWindowEnabled(list) &&
                                        std::wstring(caption) == std::wstring(kCaption) + kDownloadListLoadingSuffix;
        }
        if (flags == 0) {
            flags = MakeItemData(kDownloadStatusWaiting, kCheckBoxKinds);
        }
        const bool completed = (flags & kDownloadKindCompleted) != 0;
        if (!completed && FindRowById(list, texts[0]) >= 0) {
            return 0;
        }
        const int row = InsertListItem(-1, L"", list);
        SetListItemText(texts[0], kDownloadColumnId, list, row);
        SetListItemText(texts[1], kDownloadColumnSaveFolder, list, row);
        SetListItemParam(list, row, MakeItemData(HIWORD(flags), LOWORD(flags)));
        SetDownloadItemStatus(list, completed ? static_cast<WORD>(kDownloadStatusDone) : HIWORD(flags), row);
        if (flags & kDownloadKindBase) {
            LVITEMW item = {};
            item.stateMask = LVIS_STATEIMAGEMASK;
            item.state = INDEXTOSTATEIMAGEMASK(2);
            SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
        }
        return 1;
    }
    case kMsgDownloadListLoaded:
        ++g_seen.loadedPosts;
        return 0;
    case WM_NOTIFY: {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if (change->hdr.code == LVN_ITEMCHANGED && (change->uChanged & LVIF_STATE) &&
            ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK)) {
            g_seen.stateImages.emplace_back(GetListItemText(list, change->iItem, kDownloadColumnId),
                                            static_cast<int>((change->uNewState & LVIS_STATEIMAGEMASK) >> 12));
        }
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

struct Row {
    std::wstring id;
    WORD status;
    WORD flags;
    bool ticked;
    std::wstring title, folder, video, comments, addData;
};

class DownloadListFileTest : public testing_support::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        g_seen = StandInLog{};
        g_userAddAfter.clear();
        const testing_support::StandInDownloadWindow standIn =
            testing_support::CreateStandInDownloadWindow(L"DownloadListFileTestWindow", StandInProc, kCaption);
        m_target.window = standIn.window;
        m_target.list = standIn.list;
        m_target.caption = kCaption;
        ASSERT_NE(m_target.list, nullptr);
        m_target.programFolder = Folder();
        m_target.settingsDatPath = PathOf(L"settings.dat");
        m_listPath = PathOf(L"DownList.dat");
        GetDownloadExceptList().Replace({});
        GetDownloadExceptWordList().Replace({});
    }
    void TearDown() override {
        DestroyWindow(m_target.window);
        TempFolderTest::TearDown();
    }

    // Runs the body on a worker while this thread answers the window's messages.
    void OnWorker(std::function<void()> body) {
        std::atomic<bool> finished{false};
        CWorkerThread worker = StartWorker(WorkerOptions{L"DownloadListFileTest", false}, std::move(body),
                                           [&finished] { finished = true; });
        ASSERT_TRUE(worker.IsStarted());
        EXPECT_TRUE(PumpMessagesUntil([&] { return finished.load(); }, 20000));
        EXPECT_TRUE(worker.Wait(5000));
    }
    bool Load(const std::wstring& path) {
        bool loaded = false;
        const int postsBefore = g_seen.loadedPosts;
        OnWorker([&] { loaded = LoadDownloadList(m_target, path); });
        EXPECT_TRUE(PumpMessagesUntil([&] { return g_seen.loadedPosts == postsBefore + 1; }));
        return loaded;
    }

    void AddRows(const std::vector<Row>& rows) {
        // Under Wine a list that draws itself takes a millisecond a row.
        SendMessageW(m_target.list, WM_SETREDRAW, FALSE, 0);
        for (const Row& r : rows) {
            const int row = InsertListItem(-1, r.title, m_target.list);
            SetListItemText(r.id, kDownloadColumnId, m_target.list, row);
            SetListItemText(r.folder, kDownloadColumnSaveFolder, m_target.list, row);
            SetListItemText(r.video, kDownloadColumnVideoPath, m_target.list, row);
            SetListItemText(r.comments, kDownloadColumnCommentPath, m_target.list, row);
            SetListItemText(r.addData, kDownloadColumnAddData, m_target.list, row);
            SetListItemParam(m_target.list, row, MakeItemData(r.status, r.flags));
            SetChecked(row, r.ticked);
        }
        SendMessageW(m_target.list, WM_SETREDRAW, TRUE, 0);
    }
    void SetChecked(int row, bool ticked) {
        LVITEMW item = {};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
        SendMessageW(m_target.list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    bool IsChecked(int row) const {
        return SendMessageW(m_target.list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) != INDEXTOSTATEIMAGEMASK(1);
    }
    static std::vector<int> ImagesOf(const std::wstring& id) {
        std::vector<int> images;
        for (const auto& change : g_seen.stateImages) {
            if (change.first == id) {
                images.push_back(change.second);
            }
        }
        return images;
    }
    int RowCount() const { return static_cast<int>(SendMessageW(m_target.list, LVM_GETITEMCOUNT, 0, 0)); }
    std::wstring Cell(int row, int column) const { return GetListItemText(m_target.list, row, column); }

    // The bytes of a list file as the program writes it.
    static std::string Utf16File(const std::wstring& text) {
        const std::wstring withMark = L"\xFEFF" + text;
        std::string bytes(withMark.size() * 2, '\0');
        std::memcpy(&bytes[0], withMark.data(), bytes.size());
        return bytes;
    }

    DownloadListTarget m_target;
    std::wstring m_listPath;
};

} // namespace

TEST(DownloadListLineTest, LinesAreWrittenWithEscapedCommasAndPathsRelativeToTheProgramFolder) {
    const std::wstring program = L"C:\\VP";
    struct Case {
        DownloadListLine row;
        const wchar_t* line;
    };
    const Case cases[] = {
        {{L"sm9", L"7", L"", L"", L"", L"", L""}, L"sm9,7,,,,,"},
        {{L"sm9", L"7", L"C:\\VP\\save", L"a,b", L"C:\\VP\\save\\v,1.mp4", L"D:\\x\\c.xml", L"country=\"jp\""},
         L"sm9,7,.\\save,a\\\\COMMA\\\\b,.\\save\\v\\\\COMMA\\\\1.mp4,D:\\x\\c.xml,country=\"jp\""},
        // A folder whose name only begins with the program folder's is not inside it.
        {{L"sm9", L"6", L"C:\\VP2\\x", L"t", L"c:\\VP\\v.mp4", L"C:\\VP", L""}, L"sm9,6,C:\\VP2\\x,t,.\\v.mp4,.\\,"},
        {{L"http://host/watch/sm9?a,b", L"2055", L"", DownloadTitlePlaceholder(), L"", L"", L"-deleted"},
         L"http://host/watch/sm9?a\\\\COMMA\\\\b,2055,,,,,-deleted"},
        {{L"sm9", L"7", L"", L"back\\slash", L"", L"", L""}, L"sm9,7,,back\\slash,,,"},
        // A line break would cut the line in two.
        {{L"sm9", L"7", L"", L"one\r\ntwo\nthree\r", L"", L"", L"a\nb"}, L"sm9,7,,one  two three ,,,a b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(FormatDownloadListLine(c.row, program), c.line);
    }
}

TEST(DownloadListLineTest, LinesAreReadBackWithOptionalFieldsAndAbsolutePaths) {
    const std::wstring program = L"C:\\VP";
    struct Case {
        const wchar_t* line;
        bool used;
        DownloadListLine row;
    };
    const Case cases[] = {
        {L"sm9", true, {L"sm9", L"", L"", L"", L"", L"", L""}},
        {L"sm9,7,.\\save,a\\\\COMMA\\\\b,.\\v.mp4,D:\\c.xml,country=\"jp\"",
         true,
         {L"sm9", L"7", L"C:\\VP\\save", L"a,b", L"C:\\VP\\v.mp4", L"D:\\c.xml", L"country=\"jp\""}},
        {L"sm9,7,,t,,,-deleted,extra,more", true, {L"sm9", L"7", L"", L"t", L"", L"", L"-deleted"}},
        {L"http://host/watch/sm9?a,b", true, {L"http://host/watch/sm9?a", L"b", L"", L"", L"", L"", L""}},
        {L"sm9,1\\\\COMMA\\\\2,,back\\slash", true, {L"sm9", L"1\\\\COMMA\\\\2", L"", L"back\\slash", L"", L"", L""}},
        {L",7,.\\save,t", false, {}},
        {L"", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        DownloadListLine row;
        ASSERT_EQ(ParseDownloadListLine(c.line, program, row), c.used);
        if (!c.used) {
            continue;
        }
        EXPECT_EQ(row.id, c.row.id);
        EXPECT_EQ(row.flagsText, c.row.flagsText);
        EXPECT_EQ(row.folder, c.row.folder);
        EXPECT_EQ(row.title, c.row.title);
        EXPECT_EQ(row.videoPath, c.row.videoPath);
        EXPECT_EQ(row.commentPath, c.row.commentPath);
        EXPECT_EQ(row.addData, c.row.addData);
    }

    struct FlagsCase {
        const wchar_t* text;
        DWORD flags;
        const wchar_t* error;
    };
    const FlagsCase flagsCases[] = {
        {L"", 0, L""},
        {L"7", 0x10007, L""},
        {L"6", 0x10006, L""},
        {L"2055", 0x10807, L""},
        {L"abc", 0, L"bad lexical cast: source type value could not be interpreted as target : abc"},
        {L"7x", 0, L"bad lexical cast: source type value could not be interpreted as target : 7x"},
    };
    for (const FlagsCase& c : flagsCases) {
        SCOPED_TRACE(c.text);
        std::wstring error = L"left over";
        EXPECT_EQ(ParseDownloadListFlags(c.text, error), c.flags);
        EXPECT_EQ(error, c.error);
    }
}

TEST(DownloadExceptListTest, RemovingDuplicatesKeepsTheFirstOfEachText) {
    CDownloadExceptList list;
    list.Replace({L"sm1\t# a", L"sm2\t# b", L"sm1\t# a", L"sm3\t# c", L"sm2\t# b"});
    list.Append(L"sm3\t# c");
    const std::vector<std::wstring> expected = {L"sm1\t# a", L"sm2\t# b", L"sm3\t# c"};
    EXPECT_EQ(list.RemoveDuplicates(), expected);
    EXPECT_EQ(list.Snapshot(), expected);
}

TEST_F(DownloadListFileTest, ASaveWritesEveryRowAndTheExceptListOnlyWhenNotAutomatic) {
    AddRows({
        {L"sm1", kDownloadStatusWaiting, 0x6, true, L"a,b", Folder() + L"\\save", Folder() + L"\\save\\v.mp4", L"",
         L""},
        {L"sm2", kDownloadStatusError, 0x7, false, DownloadTitlePlaceholder(), L"D:\\other", L"", L"", L"-deleted"},
        {L"sm3", kDownloadStatusDone, 0x801, true, L"done", L"", L"", Folder() + L"\\c.xml", L"country=\"jp\""},
    });
    CSectionFile settings(m_target.settingsDatPath);
    ASSERT_TRUE(settings.SetSection(L"ExceptDownload", L"old"));
    const std::string settingsBefore = ReadBytes(m_target.settingsDatPath);
    GetDownloadExceptList().Replace({L"sm7\t# x", L"sm8\t# y", L"sm7\t# x"});

    const std::wstring expected = L"sm1,7,.\\save,a\\\\COMMA\\\\b,.\\save\\v.mp4,,\r\n"
                                  L"sm2,6,D:\\other,,,,-deleted\r\n"
                                  L"sm3,2049,,done,,.\\c.xml,country=\"jp\"\r\n";
    bool saved = false;
    OnWorker([&] { saved = SaveDownloadList(m_target, m_listPath, true); });
    EXPECT_TRUE(saved);
    EXPECT_EQ(ReadBytes(m_listPath), Utf16File(expected));
    EXPECT_EQ(ReadBytes(m_target.settingsDatPath), settingsBefore);
    EXPECT_EQ(GetDownloadExceptList().Snapshot().size(), 3u);

    // The save at close, on the window's thread, writes both and logs the path in debug mode. The
    // stored entry the in-memory list lacks is kept (nothing takes an entry out).
    m_target.debugMode = true;
    ClearLog();
    DeleteFileW(m_listPath.c_str());
    EXPECT_TRUE(SaveDownloadList(m_target, m_listPath, false));
    EXPECT_EQ(ReadBytes(m_listPath), Utf16File(expected));
    EXPECT_EQ(settings.ReadSection(L"ExceptDownload", L""), L"sm7\t# x\nsm8\t# y\nold");
    EXPECT_EQ(GetDownloadExceptList().Snapshot(), (std::vector<std::wstring>{L"sm7\t# x", L"sm8\t# y", L"old"}));
    EXPECT_NE(LogText().find(L"ダウンロードリスト保存 : " + m_listPath + L"\r\n"), std::wstring::npos) << LogText();
}

TEST_F(DownloadListFileTest, ASaveRefusedOrStoppedLeavesTheFilesAsTheyWere) {
    AddRows({{L"sm1", kDownloadStatusWaiting, 0x7, true, L"t", L"", L"", L"", L""}});
    const std::string oldList = Utf16File(L"sm0,7,,old,,,\r\n");
    WriteBytes(m_listPath, oldList);
    CSectionFile settings(m_target.settingsDatPath);
    ASSERT_TRUE(settings.SetSection(L"ExceptDownload", L"old"));
    GetDownloadExceptList().Replace({L"sm7\t# x"});

    {
        // Counted from the moment it is asked for, before its worker has read a line.
        CDownloadListLoad asked(m_target);
        EXPECT_EQ(testing_support::WindowText(m_target.window), std::wstring(kCaption) + kDownloadListLoadingSuffix);
        EXPECT_FALSE(SaveDownloadList(m_target, m_listPath, false));
        bool saved = true;
        OnWorker([&] { saved = SaveDownloadList(m_target, m_listPath, true); });
        EXPECT_FALSE(saved);
        EXPECT_EQ(settings.ReadSection(L"ExceptDownload", L""), L"old");
        EXPECT_EQ(ReadBytes(m_listPath), oldList);
    }
    EXPECT_EQ(testing_support::WindowText(m_target.window), kCaption);
    EXPECT_TRUE(PumpMessagesUntil([&] { return g_seen.loadedPosts == 1; }));

    const std::atomic<bool> stop{true};
    bool saved = false;
    OnWorker([&] { saved = SaveDownloadList(m_target, m_listPath, true, &stop); });
    EXPECT_TRUE(saved);
    EXPECT_EQ(ReadBytes(m_listPath), oldList);

    // The caption is for display: a title that happens to carry the suffix stops no save.
    SetWindowTextW(m_target.window, (std::wstring(kCaption) + kDownloadListLoadingSuffix).c_str());
    EXPECT_TRUE(SaveDownloadList(m_target, m_listPath, true));
    EXPECT_EQ(ReadBytes(m_listPath), Utf16File(L"sm1,7,,t,,,\r\n"));
}

TEST_F(DownloadListFileTest, ALoadAddsEachLineThroughTheWindowAndFillsItsRow) {
    CSectionFile settings(m_target.settingsDatPath);
    ASSERT_TRUE(settings.SetSection(L"ExceptDownload", L"sm7\t# x\n\nsm8\t# y"));
    ASSERT_TRUE(settings.SetSection(L"ExceptWordDownload", L"word"));
    GetDownloadExceptList().Replace({L"this run", L"sm7\t# x"});
    AddRows({{L"sm1", kDownloadStatusWaiting, 0x7, false, L"kept", L"", L"", L"", L""}});
    ASSERT_TRUE(WriteTextFile(m_listPath, L"sm2\n"
                                          L"sm3,7,.\\save,a\\\\COMMA\\\\b,.\\save\\v.mp4,D:\\c.xml,country=\"jp\"\n"
                                          L"sm4,abc\n"
                                          L",7,.\\save,skipped\n"
                                          L"\n"
                                          L"sm5,2049,,done\n"
                                          L"sm6,6,,gone,,,-deleted\n"
                                          L"sm1,7,,again\n"));
    ClearLog();
    g_seen.stateImages.clear();
    g_userAddAfter = L"sm6";
    EXPECT_TRUE(Load(m_listPath));

    const std::vector<DWORD> flags = {0, 0x10007, 0, 0x10801, 0x10006, 0x10007};
    EXPECT_EQ(g_seen.addFlags, flags);
    EXPECT_EQ(g_seen.addFolders[1], Folder() + L"\\save");
    EXPECT_TRUE(g_seen.loadingWhileAdding);
    EXPECT_NE(LogText().find(L"bad lexical cast: source type value could not be interpreted as target : abc\r\n"),
              std::wstring::npos)
        << LogText();

    struct Expected {
        const wchar_t* id;
        const wchar_t* title;
        const wchar_t* status;
        bool ticked;
        std::wstring video, comments, addData;
    };
    const Expected rows[] = {
        {L"sm1", L"kept", L"", false, L"", L"", L""},
        {L"sm2", L"", L"待機中", true, L"", L"", L""},
        {L"sm3", L"a,b", L"待機中", true, Folder() + L"\\save\\v.mp4", L"D:\\c.xml", L"country=\"jp\""},
        {L"sm4", L"", L"待機中", true, L"", L"", L""},
        {L"sm5", L"done", L"完了", true, L"", L"", L""},
        {L"sm6", L"gone", L"エラー(削除済み)", false, L"", L"", L"-deleted"},
        // Added by the user between the add of sm6 and the filling of its row.
        {L"user", L"", L"待機中", false, L"", L"", L""},
    };
    ASSERT_EQ(RowCount(), 7);
    for (int row = 0; row < 7; ++row) {
        SCOPED_TRACE(rows[row].id);
        EXPECT_EQ(Cell(row, kDownloadColumnId), rows[row].id);
        EXPECT_EQ(Cell(row, kDownloadColumnTitle), rows[row].title);
        EXPECT_EQ(Cell(row, kDownloadColumnStatus), rows[row].status);
        EXPECT_EQ(IsChecked(row), rows[row].ticked);
        EXPECT_EQ(Cell(row, kDownloadColumnVideoPath), rows[row].video);
        EXPECT_EQ(Cell(row, kDownloadColumnCommentPath), rows[row].comments);
        EXPECT_EQ(Cell(row, kDownloadColumnAddData), rows[row].addData);
    }
    EXPECT_EQ(GetItemStatusOf(GetListItemParam(m_target.list, 5)), kDownloadStatusError);

    // A ticked row is seen unticked and ticked again after its cells are set; an unticked one is left.
    for (const wchar_t* id : {L"sm2", L"sm3", L"sm4", L"sm5"}) {
        SCOPED_TRACE(id);
        const std::vector<int> images = ImagesOf(id);
        ASSERT_GE(images.size(), 3u);
        EXPECT_EQ(std::vector<int>(images.end() - 3, images.end()), (std::vector<int>{2, 1, 2}));
    }
    const std::vector<int> unticked = ImagesOf(L"sm6");
    EXPECT_EQ(std::count(unticked.begin(), unticked.end(), 2), 0);

    EXPECT_EQ(testing_support::WindowText(m_target.window), kCaption);
    EXPECT_TRUE(IsWindowEnabled(m_target.list));
    // The file's except lines join the ones this run holds; a line held already is not doubled.
    EXPECT_EQ(GetDownloadExceptList().Snapshot(), (std::vector<std::wstring>{L"this run", L"sm7\t# x", L"sm8\t# y"}));
    EXPECT_EQ(GetDownloadExceptWordList().Snapshot(), std::vector<std::wstring>{L"word"});
}

TEST_F(DownloadListFileTest, AMissingFileOnlyReportsTheEndOfTheLoad) {
    GetDownloadExceptList().Replace({L"sm7\t# x"});
    CSectionFile(m_target.settingsDatPath).SetSection(L"ExceptDownload", L"sm8\t# y");
    AddRows({{L"sm1", kDownloadStatusWaiting, 0x7, true, L"t", L"", L"", L"", L""}});
    EXPECT_FALSE(Load(PathOf(L"missing.dat")));
    EXPECT_TRUE(g_seen.addFlags.empty());
    EXPECT_EQ(RowCount(), 1);
    EXPECT_EQ(testing_support::WindowText(m_target.window), kCaption);
    EXPECT_EQ(GetDownloadExceptList().Snapshot(), std::vector<std::wstring>{L"sm7\t# x"});
}

TEST_F(DownloadListFileTest, ASavedListLoadsBackIntoTheSameRows) {
    const std::vector<Row> rows = {
        {L"sm1", kDownloadStatusWaiting, 0x47, true, L"a,b,c", Folder() + L"\\save,1", Folder() + L"\\v.mp4", L"",
         L"log=\"2026/12/01 10:00\""},
        {L"sm2", kDownloadStatusWaiting, 0x6, false, L"back\\slash", L"D:\\other", L"", L"D:\\c.xml", L""},
        {L"http://host/watch/sm3?x=1", kDownloadStatusWaiting, 0x25, true, L"", L"", L"", L"", L"country=\"jp\""},
    };
    AddRows(rows);
    OnWorker([&] { SaveDownloadList(m_target, m_listPath, true); });
    SendMessageW(m_target.list, LVM_DELETEALLITEMS, 0, 0);

    EXPECT_TRUE(Load(m_listPath));
    ASSERT_EQ(RowCount(), 3);
    for (int row = 0; row < 3; ++row) {
        const Row& r = rows[static_cast<size_t>(row)];
        SCOPED_TRACE(r.id);
        EXPECT_EQ(Cell(row, kDownloadColumnId), r.id);
        EXPECT_EQ(Cell(row, kDownloadColumnTitle), r.title);
        EXPECT_EQ(Cell(row, kDownloadColumnSaveFolder), r.folder);
        EXPECT_EQ(Cell(row, kDownloadColumnVideoPath), r.video);
        EXPECT_EQ(Cell(row, kDownloadColumnCommentPath), r.comments);
        EXPECT_EQ(Cell(row, kDownloadColumnAddData), r.addData);
        EXPECT_EQ(IsChecked(row), r.ticked);
        EXPECT_EQ(GetListItemParam(m_target.list, row),
                  MakeItemData(kDownloadStatusWaiting, static_cast<WORD>(r.ticked ? r.flags | 0x1 : r.flags & ~0x1)));
    }
}

TEST_F(DownloadListFileTest, FiveThousandRowsSaveAndComeBackThroughTheAddingGateAsTheyWere) {
    // Ticked, unticked, done and deleted rows, with commas, empty fields and folders inside and
    // outside the program folder.
    std::vector<Row> rows;
    for (int i = 0; i < 5000; ++i) {
        const std::wstring n = std::to_wstring(i);
        Row r{L"sm" + std::to_wstring(100000 + i),
              kDownloadStatusWaiting,
              0x6,
              i % 3 != 0,
              L"題名, " + n,
              L"",
              L"",
              L"",
              L""};
        switch (i % 4) {
        case 0:
            r.folder = Folder() + L"\\save," + n;
            r.video = r.folder + L"\\v.mp4";
            r.comments = r.folder + L"\\c,1.xml";
            break;
        case 1:
            r.folder = L"D:\\other";
            r.flags = 0x866;
            r.status = kDownloadStatusDone;
            r.addData = L"country=\"jp\"";
            break;
        case 2:
            r.flags = 0x22;
            r.status = kDownloadStatusError;
            r.ticked = false;
            r.addData = L"-deleted";
            break;
        default:
            r.title.clear();
            break;
        }
        rows.push_back(r);
    }
    AddRows(rows);
    OnWorker([&] { EXPECT_TRUE(SaveDownloadList(m_target, m_listPath, true)); });
    const std::string saved = ReadBytes(m_listPath);
    SendMessageW(m_target.list, LVM_DELETEALLITEMS, 0, 0);

    DownloadSettings settings;
    settings.SelectPath = true;
    CDownloadRowKeys keys;
    DownloadAddContext context;
    context.window = m_target.window;
    context.list = m_target.list;
    context.settings = &settings;
    context.rowKeys = &keys;
    m_target.addRow = [&context](const std::vector<std::wstring>& texts, DWORD flags, DownloadListSource) {
        return AddItemFromArgs(context, texts, flags);
    };
    EXPECT_TRUE(Load(m_listPath));
    ASSERT_EQ(RowCount(), 5000);
    for (int row = 0; row < 5000; ++row) {
        const Row& r = rows[static_cast<size_t>(row)];
        SCOPED_TRACE(r.id);
        ASSERT_EQ(Cell(row, kDownloadColumnId), r.id);
        ASSERT_EQ(Cell(row, kDownloadColumnTitle), r.title);
        ASSERT_EQ(Cell(row, kDownloadColumnSaveFolder), r.folder);
        ASSERT_EQ(Cell(row, kDownloadColumnVideoPath), r.video);
        ASSERT_EQ(Cell(row, kDownloadColumnCommentPath), r.comments);
        ASSERT_EQ(Cell(row, kDownloadColumnAddData), r.addData);
        ASSERT_EQ(IsChecked(row), r.ticked);
        ASSERT_EQ(GetListItemParam(m_target.list, row),
                  MakeItemData(r.status, static_cast<WORD>(r.ticked ? r.flags | 0x1 : r.flags & ~0x1)));
    }
    DeleteFileW(m_listPath.c_str());
    OnWorker([&] { EXPECT_TRUE(SaveDownloadList(m_target, m_listPath, true)); });
    EXPECT_EQ(ReadBytes(m_listPath), saved);
}

TEST_F(DownloadListFileTest, OverlappingLoadsRunInTheOrderAskedAndTheWindowComesBackAfterTheLast) {
    std::wstring first, second;
    for (int i = 0; i < 300; ++i) {
        first += L"sm1" + std::to_wstring(i) + L",7,,t\n";
        second += L"sm2" + std::to_wstring(i) + L",7,,t\n";
    }
    ASSERT_TRUE(WriteTextFile(PathOf(L"first.txt"), first));
    ASSERT_TRUE(WriteTextFile(PathOf(L"second.txt"), second));

    // Asked for in this order (as two files dropped one after the other), while the second load's
    // worker is the first to start.
    auto firstLoad = std::make_unique<CDownloadListLoad>(m_target);
    auto secondLoad = std::make_unique<CDownloadListLoad>(m_target);
    std::atomic<int> finished{0};
    std::vector<CWorkerThread> workers;
    const auto start = [&](std::unique_ptr<CDownloadListLoad>& load, const wchar_t* name) {
        workers.push_back(StartWorker(
            WorkerOptions{L"DownloadListFileTest", false},
            [load = std::move(load), path = PathOf(name)] { load->Run(path, DownloadListSource::UserFile); },
            [&finished] { ++finished; }));
    };
    start(secondLoad, L"second.txt");
    PumpMessagesFor(100);
    start(firstLoad, L"first.txt");
    EXPECT_TRUE(PumpMessagesUntil([&] { return finished == 2 && g_seen.loadedPosts == 2; }, 20000));
    for (CWorkerThread& worker : workers) {
        EXPECT_TRUE(worker.Wait(5000));
    }
    ASSERT_EQ(RowCount(), 600);
    for (int row = 0; row < 600; ++row) {
        ASSERT_EQ(Cell(row, kDownloadColumnId), (row < 300 ? L"sm1" : L"sm2") + std::to_wstring(row % 300)) << row;
    }
    EXPECT_TRUE(g_seen.loadingWhileAdding);
    EXPECT_EQ(testing_support::WindowText(m_target.window), kCaption);
    EXPECT_TRUE(IsWindowEnabled(m_target.list));
    EXPECT_FALSE(IsDownloadListLoading());
    bool saved = false;
    OnWorker([&] { saved = SaveDownloadList(m_target, m_listPath, true); });
    EXPECT_TRUE(saved);
    EXPECT_TRUE(FileExists(m_listPath));
}
