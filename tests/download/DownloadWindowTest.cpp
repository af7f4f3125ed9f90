#include "CWndDownload/CWndDownload.h"
#include "CWndDownload/DownloadQueue.h"

#include "CWndDownload/DownloadListRow.h"
#include "CWndDownload/DownloadResource.h"
#include "client/Account.h"
#include "client/DownloadFileNameFormats.h"
#include "client/FlvData.h"
#include "client/ServiceUrls.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CSectionFile.h"
#include "foundation/ListView.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/PathUtil.h"
#include "foundation/TextFile.h"
#include "foundation/WindowUtil.h"
#include "tests/fakeservice/FakeService.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const wchar_t kMainClass[] = L"VelaDownloadWindowTestMain";

// The main window as the download window meets it: it forwards the download block, appends the log
// lines of other threads and records the commands posted to it.
class ForwardingMainWindow {
public:
    explicit ForwardingMainWindow(CWndDownload& download) : m_download(download) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &ForwardingMainWindow::Procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kMainClass;
        RegisterClassW(&wc);
        m_window =
            CreateWindowW(kMainClass, L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_savedMain = GetMainWindow();
        SetMainWindow(m_window);
    }
    ~ForwardingMainWindow() {
        SetMainWindow(m_savedMain);
        DestroyWindow(m_window);
    }
    HWND Handle() const { return m_window; }

    std::vector<std::pair<WPARAM, LPARAM>> commands;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<ForwardingMainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self != nullptr && message >= kDownloadBlock && message < kDownloadBlock + kBlockSize) {
            return SendMessageW(self->m_download.GetHandle(), message, wParam, lParam);
        }
        if (self != nullptr && message == kMsgLogLine) {
            DebugLog() << reinterpret_cast<const wchar_t*>(wParam) << EndLine;
            return 0;
        }
        if (self != nullptr && message == WM_COMMAND) {
            self->commands.emplace_back(wParam, lParam);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    CWndDownload& m_download;
    HWND m_window = nullptr;
    HWND m_savedMain = nullptr;
};

struct SentAnswer {
    LRESULT value = 0;
    std::wstring text; // the answer read as a text, on the sending thread
};

// Sends from a worker thread, as the download threads do, while this thread answers only sent
// messages (posted ones, such as the end of a list load, stay queued).
SentAnswer SendFromWorker(HWND target, UINT message, WPARAM wParam, LPARAM lParam, bool readText = false) {
    SentAnswer answer;
    CWorkerThread worker = StartWorker(WorkerOptions{L"test sender"}, [&] {
        answer.value = SendMessageW(target, message, wParam, lParam);
        if (readText && answer.value != 0) {
            answer.text = reinterpret_cast<const wchar_t*>(answer.value);
        }
    });
    EXPECT_TRUE(worker.Wait(20000));
    return answer;
}

std::wstring FileText(const std::wstring& path) {
    std::wstring text;
    ReadTextFile(path, text);
    return text;
}

std::wstring Cell(HWND list, int row, int column) {
    return GetListItemText(list, row, column);
}

bool IsRowTicked(HWND list, int row) {
    return ListView_GetItemState(list, row, LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

class DownloadWindowTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        m_savedApp = GetAppSettings();
        m_savedDownload = GetDownloadSettings();
        GetAppSettings().programFolder = Folder();
        GetAppSettings().settingsDatPath = PathOf(L"settings.dat");
        // The queue starts no work on the rows these tests add (it has tests of its own).
        GetAppSettings().OfflineMode = true;
        ClearLog();
    }
    void TearDown() override {
        m_window.Destroy();
        m_main.reset();
        GetAppSettings() = m_savedApp;
        GetDownloadSettings() = m_savedDownload;
        TempFolderTest::TearDown();
    }

    // The window made hidden, with the main window that forwards its block.
    void Open() {
        m_main = std::make_unique<ForwardingMainWindow>(m_window);
        m_window.Init(L"VelaPlayer", PathOf(L"velaplayer.ini"), m_main->Handle());
        NotifyTarget notice;
        notice.owner = m_main->Handle();
        notice.commandId = 8810;
        notice.lParam = 77;
        m_window.SetNotify(notice);
        ASSERT_TRUE(m_window.Show(SW_HIDE));
    }
    void WaitUntilLoaded() {
        ASSERT_TRUE(PumpMessagesUntil([&] { return m_window.IsListLoaded(); }));
    }
    HWND List() const { return m_window.GetListView(); }
    int RowCount() const { return ListView_GetItemCount(List()); }

    CWndDownload m_window;
    std::unique_ptr<ForwardingMainWindow> m_main;

private:
    AppSettings m_savedApp;
    DownloadSettings m_savedDownload;
};

TEST_F(DownloadWindowTest, HiddenWindowHasItsColumnsControlsAndStoredKeys) {
    WriteTextFile(PathOf(L"velaplayer.ini"), L"[download]\nUrl=sm109 -thumbnail\nCheckComment=1\nCheckMovie=0\n"
                                             L"ColumnTitle=123\nColumnOrderArray=1,0,2,3,4,5,6,7,8,9,10,\n");
    Open();
    HWND window = m_window.GetHandle();
    EXPECT_EQ(GetWindowClassName(window), L"CWndDownload");
    WaitUntilLoaded();
    EXPECT_EQ(GetWindowTextString(window), L"VelaPlayer - ダウンロードウィンドウ");
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_NE(m_window.GetAccelerator(), nullptr);

    const wchar_t* headers[] = {L"タイトル",       L"動画ID/URL", L"状態",           L"サイズ",     L"%", L"種類",
                                L"保存先フォルダ", L"動画保存先", L"コメント保存先", L"追加データ", L""};
    HWND header = ListView_GetHeader(List());
    ASSERT_EQ(Header_GetItemCount(header), 11);
    for (int column = 0; column < 11; ++column) {
        EXPECT_EQ(GetListColumnText(List(), column), headers[column]) << column;
    }
    EXPECT_EQ(ListView_GetColumnWidth(List(), 0), 123);
    EXPECT_EQ(ListView_GetColumnWidth(List(), 10), 70);
    int order[11] = {};
    ListView_GetColumnOrderArray(List(), 11, order);
    EXPECT_EQ(order[0], 1);
    EXPECT_EQ(order[1], 0);
    const DWORD extended = ListView_GetExtendedListViewStyle(List());
    EXPECT_EQ(extended & (LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT),
              DWORD(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT));

    struct Control {
        int id;
        const wchar_t* className;
        const wchar_t* text;
        int checked; // -1: not a check box
    };
    const Control controls[] = {
        {IDC_DOWNLOAD_URL, L"Edit", L"sm109 -thumbnail", -1},
        {IDC_DOWNLOAD_CHECK_MOVIE, L"Button", L"動画(&M)", 0},
        {IDC_DOWNLOAD_CHECK_COMMENT, L"Button", L"コメント(&C)", 1},
        {IDC_DOWNLOAD_PAST_LOG, L"Button", L"log(&L)", -1},
        {IDC_DOWNLOAD_CHECK_VIDEO_INFO, L"Button", L"動画情報(&I)", 0},
        {IDC_DOWNLOAD_CHECK_PLAY_AFTER, L"Button", L"DL後再生(&P)", 1},
        {IDC_DOWNLOAD_CHECK_ADD_PLAYLIST, L"Button", L"プレイリストに追加(&A)", 1},
        {IDC_DOWNLOAD_ADD, L"Button", L"ダウンロード(&D)", -1},
        {IDC_DOWNLOAD_FRAME, L"Button", L"", -1},
        {IDC_DOWNLOAD_LIST, L"SysListView32", L"", -1},
    };
    for (const Control& c : controls) {
        HWND control = GetDlgItem(window, c.id);
        ASSERT_NE(control, nullptr) << c.id;
        EXPECT_EQ(GetWindowClassName(control), c.className) << c.id;
        EXPECT_EQ(GetWindowTextString(control), c.text) << c.id;
        if (c.checked >= 0) {
            EXPECT_EQ(SendMessageW(control, BM_GETCHECK, 0, 0), c.checked) << c.id;
        }
    }
    EXPECT_NE(GetWindowLongPtrW(GetDlgItem(window, IDC_DOWNLOAD_URL), GWL_STYLE) & WS_BORDER, 0);
    // Comment, play after and add to playlist ticked, the video not; waiting in the high word.
    EXPECT_EQ(m_window.GetDownloadKindFlags(), 0x1001Du);

    // The menu bar and the keys of its items.
    wchar_t item[128] = {};
    GetMenuStringW(GetMenu(window), IDM_DL_COPY_URL, item, 128, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(item), L"URL(&U)\tCtrl+C");

    // The window cannot be made narrower than it was made, nor lower than 200 pixels.
    MINMAXINFO info = {};
    SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    RECT rect = {};
    GetWindowRect(window, &rect);
    EXPECT_EQ(info.ptMinTrackSize.y, 200);
    EXPECT_GT(info.ptMinTrackSize.x, 0);

    // The close box hides nothing by itself: it posts the close notice to the main window.
    SendMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !m_main->commands.empty(); }));
    EXPECT_EQ(m_main->commands[0], std::make_pair(WPARAM(8810), LPARAM(77)));
    EXPECT_TRUE(IsWindow(window));

    // The keys go back into the file when the window is destroyed.
    SetWindowTextW(GetDlgItem(window, IDC_DOWNLOAD_URL), L"sm10");
    m_window.Destroy();
    EXPECT_NE(FileText(PathOf(L"velaplayer.ini")).find(L"Url=sm10"), std::wstring::npos);
}

TEST_F(DownloadWindowTest, BlockMessagesFromAnotherThread) {
    Open();
    HWND main = m_main->Handle();
    DownloadSettings& settings = GetDownloadSettings();
    settings.SavePath = L"C:\\Saved";
    settings.Mail = L"user@example.com";
    settings.Pass = L"secret";
    settings.CommentGetOwner = true;

    // An add kept until the saved list is loaded, and then made through the main window.
    const std::vector<std::wstring> pending = {L"sm101", L"C:\\Pending"};
    EXPECT_EQ(SendFromWorker(main, kMsgDownloadQueueAddItem, reinterpret_cast<WPARAM>(&pending), 0x10003).value, 1);
    EXPECT_FALSE(m_window.IsListLoaded());
    EXPECT_EQ(RowCount(), 0);
    WaitUntilLoaded();
    ASSERT_TRUE(PumpMessagesUntil([&] { return RowCount() == 1; }));
    EXPECT_EQ(Cell(List(), 0, kDownloadColumnId), L"sm101");
    EXPECT_EQ(Cell(List(), 0, kDownloadColumnSaveFolder), L"C:\\Pending");

    const std::vector<std::wstring> add = {L"sm102", L"C:\\Folder\\"};
    const std::vector<std::wstring> empty = {L""};
    const std::wstring folder = L"C:\\Url";
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT result;
        // The new last row: its key, folder, kind text, item data and add data.
        const wchar_t* key = nullptr;
        const wchar_t* rowFolder = nullptr;
        const wchar_t* kinds = nullptr;
        LPARAM data = 0;
        const wchar_t* addData = nullptr;
    };
    const Case cases[] = {
        {"queued after the load", kMsgDownloadQueueAddItem, reinterpret_cast<WPARAM>(&add), 0x10007, 1, L"sm102",
         L"C:\\Folder", L" 動画 xml", 0x10007, L""},
        {"empty text", kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&empty), 0x10003, 0},
        {"checked kinds", kMsgDownloadAddUrl, reinterpret_cast<WPARAM>(L"sm103 log=\"2010/01/01\""),
         reinterpret_cast<LPARAM>(folder.c_str()), 1, L"sm103", L"C:\\Url", L" 動画 xml 再生 追加", 0x1001F,
         L"log=\"2010/01/01\""},
        {"comment only", kMsgDownloadAddUrlComment, reinterpret_cast<WPARAM>(L"sm104"), 0, 1, L"sm104", L"C:\\Saved",
         L" xml 再生 追加", 0x1001D, L""},
        {"video only", kMsgDownloadAddUrlVideo, reinterpret_cast<WPARAM>(L"sm105"), 0, 1, L"sm105", L"C:\\Saved",
         L" 動画 再生 追加", 0x1001B, L""},
        {"information only", kMsgDownloadAddUrlInfo, reinterpret_cast<WPARAM>(L"sm106"), 0, 1, L"sm106", L"C:\\Saved",
         L" 情報", 0x10021, L""}, // nothing to play or list from the information alone
        {"rename", kMsgDownloadRenamePath, reinterpret_cast<WPARAM>(L"C:\\Url"), reinterpret_cast<LPARAM>(L"D:\\Moved"),
         0},
        {"schedule a save", kMsgDownloadScheduleSave, 0, 0, 0},
        {"sheet open", kMsgDownloadIsSettingsOpen, 0, 0, 0},
        {"owner comments", kMsgDownloadGetCommentOwner, 0, 0, 1},
        {"outside the table", kDownloadBlock + 999, 0, 0, 0},
        {"file name to URL", kMsgDownloadSetUrlFromFile, reinterpret_cast<WPARAM>(L"C:\\v\\title(sm109).mp4"), 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = RowCount();
        EXPECT_EQ(SendFromWorker(main, c.message, c.wParam, c.lParam).value, c.result);
        if (c.key == nullptr) {
            EXPECT_EQ(RowCount(), before);
            continue;
        }
        ASSERT_EQ(RowCount(), before + 1);
        const int row = before;
        EXPECT_EQ(Cell(List(), row, kDownloadColumnId), c.key);
        EXPECT_EQ(Cell(List(), row, kDownloadColumnSaveFolder), c.rowFolder);
        EXPECT_EQ(Cell(List(), row, kDownloadColumnKind), c.kinds);
        EXPECT_EQ(Cell(List(), row, kDownloadColumnStatus), L"待機中");
        EXPECT_EQ(Cell(List(), row, kDownloadColumnAddData), c.addData);
        EXPECT_EQ(GetListItemParam(List(), row), c.data);
        EXPECT_TRUE(IsRowTicked(List(), row));
    }
    EXPECT_EQ(Cell(List(), 2, kDownloadColumnSaveFolder), L"D:\\Moved");
    EXPECT_EQ(GetWindowTextString(GetDlgItem(m_window.GetHandle(), IDC_DOWNLOAD_URL)), GetWatchUrl(L"jp") + L"sm109");
    EXPECT_TRUE(m_window.IsQueueTimerArmed());

    struct Handle {
        UINT message;
        HWND expected;
    };
    for (const Handle& h : {Handle{kMsgDownloadHandle, m_window.GetHandle()}, Handle{kMsgDownloadListHandle, List()}}) {
        EXPECT_EQ(reinterpret_cast<HWND>(SendFromWorker(main, h.message, 0, 0).value), h.expected) << h.message;
    }
    struct Text {
        UINT message;
        std::wstring expected;
    };
    const Text texts[] = {
        {kMsgDownloadGetSavePath, L"C:\\Saved"},
        {kMsgDownloadGetCommentFormat, settings.FileNameFormatXML},
        {kMsgDownloadGetOwnerCommentFormat, settings.FileNameFormatOwnerXML},
        {kMsgDownloadGetPass, L"secret"},
        {kMsgDownloadGetMail, L"user@example.com"},
    };
    for (const Text& t : texts) {
        EXPECT_EQ(SendFromWorker(main, t.message, 0, 0, true).text, t.expected) << t.message;
    }
}

TEST_F(DownloadWindowTest, QueueTimerFollowsTheRowsAndAWorkerAsksThroughTheWindow) {
    Open();
    WaitUntilLoaded();
    HWND window = m_window.GetHandle();
    EXPECT_FALSE(m_window.IsQueueTimerArmed());
    const std::vector<std::wstring> add = {L"sm101", L""};
    SendMessageW(m_main->Handle(), kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&add), 0x10003);
    EXPECT_TRUE(m_window.IsQueueTimerArmed());
    ListView_DeleteAllItems(List());
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_DOWNLOAD_URL, EN_CHANGE), 0);
    EXPECT_FALSE(m_window.IsQueueTimerArmed());

    // A worker's question: the window comes forward for it and the answer goes back.
    MessageBoxAnswerer answerer({IDNO});
    const SentAnswer answer =
        SendFromWorker(window, kMsgDownloadAskUser, reinterpret_cast<WPARAM>(L"続けますか？"), MB_YESNO | MB_TOPMOST);
    EXPECT_EQ(answer.value, IDNO);
    EXPECT_TRUE(IsWindowVisible(window));
    const auto seen = answerer.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"続けますか？");
    EXPECT_EQ(seen[0].caption, L"VelaPlayer");
}

TEST_F(DownloadWindowTest, TheQueuesTimerTakesATickedRowAndLeavesAnUntickedOne) {
    Open();
    WaitUntilLoaded();
    // The service cannot be reached: the row's worker fails at its first step.
    GetAppSettings().ServiceBaseUrl = L"http://127.0.0.1:9/";
    GetAppSettings().OfflineMode = false;
    GetDownloadQueue().Reset();
    const std::vector<std::wstring> unticked = {L"sm101", L""};
    const std::vector<std::wstring> ticked = {L"sm102", L""};
    ASSERT_EQ(SendMessageW(m_main->Handle(), kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&unticked), 0x10002), 1);
    ASSERT_EQ(SendMessageW(m_main->Handle(), kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&ticked), 0x10003), 1);
    ASSERT_TRUE(m_window.IsQueueTimerArmed());
    EXPECT_TRUE(PumpMessagesUntil(
        [&] { return GetItemStatusOf(GetListItemParam(List(), 1)) == kDownloadStatusError; }, 20000));
    EXPECT_FALSE(IsRowTicked(List(), 1)) << "a failed row waits for the user";
    EXPECT_EQ(Cell(List(), 1, 0), DownloadTitlePlaceholder());
    EXPECT_EQ(GetItemStatusOf(GetListItemParam(List(), 0)), kDownloadStatusWaiting);
    EXPECT_EQ(Cell(List(), 0, 0), L"") << "an unticked row gets no title fetch";
    EXPECT_TRUE(PumpMessagesUntil([] { return CountRunningDownloads() == 0; }, 10000));
    GetAppSettings().OfflineMode = true;
}

TEST_F(DownloadWindowTest, ListFileOfTheCommandLineIsLoadedIntoTheList) {
    Open();
    WaitUntilLoaded();
    EXPECT_FALSE(m_window.AddListFromCommandLine(PathOf(L"missing.txt")));
    EXPECT_NE(LogText().find(PathOf(L"missing.txt")), std::wstring::npos) << LogText();
    WriteTextFile(PathOf(L"list.txt"), L"sm105\nsm106\n");
    EXPECT_TRUE(m_window.AddListFromCommandLine(PathOf(L"list.txt")));
    ASSERT_TRUE(PumpMessagesUntil([&] { return RowCount() == 2; }));
    EXPECT_EQ(Cell(List(), 0, kDownloadColumnId), L"sm105");
    EXPECT_EQ(Cell(List(), 1, kDownloadColumnId), L"sm106");
}

TEST_F(DownloadWindowTest, SavedRowsComeBackAsTheyWereAndTheCloseWritesThemAgain) {
    // Ticked, unticked, done and deleted rows, one whose ID went on the except list after it was added,
    // one with no kind to fetch and a second row of one ID: the saved list is the user's own and comes
    // back whole (the adding gate's tests guard new additions).
    const std::wstring saved = L"sm11,7,.\\save,ticked\\\\COMMA\\\\title,.\\save\\v.mp4,,\n"
                               L"sm12,6,D:\\dl,unticked,,,\n"
                               L"sm13,2055,D:\\done,done,D:\\done\\v.mp4,D:\\done\\c.xml,\n"
                               L"sm14,6,D:\\dl,deleted,,,-deleted\n"
                               L"sm15,7,D:\\dl,excluded later,,,\n"
                               L"sm17,1,D:\\dl,no kinds,,,\n"
                               L"sm12,6,D:\\again,same ID,,,\n";
    const std::wstring except = L"sm15\t# excluded later\nsm99\t# other";
    ASSERT_TRUE(WriteTextFile(PathOf(L"DownList.dat"), saved));
    ASSERT_TRUE(CSectionFile(PathOf(L"settings.dat")).SetSection(L"ExceptDownload", except));
    Open();
    WaitUntilLoaded();
    struct Expected {
        const wchar_t* id;
        const wchar_t* title;
        const wchar_t* status;
        bool ticked;
    };
    const Expected rows[] = {
        {L"sm11", L"ticked,title", L"待機中", true},
        {L"sm12", L"unticked", L"待機中", false},
        {L"sm13", L"done", L"完了", true},
        {L"sm14", L"deleted", L"エラー(削除済み)", false},
        {L"sm15", L"excluded later", L"待機中", true},
        {L"sm17", L"no kinds", L"待機中", true},
        {L"sm12", L"same ID", L"待機中", false},
    };
    const int savedRows = static_cast<int>(std::size(rows));
    ASSERT_EQ(RowCount(), savedRows);
    for (int row = 0; row < savedRows; ++row) {
        SCOPED_TRACE(rows[row].id);
        EXPECT_EQ(Cell(List(), row, kDownloadColumnId), rows[row].id);
        EXPECT_EQ(Cell(List(), row, kDownloadColumnTitle), rows[row].title);
        EXPECT_EQ(Cell(List(), row, kDownloadColumnStatus), rows[row].status);
        EXPECT_EQ(IsRowTicked(List(), row), rows[row].ticked);
    }
    EXPECT_EQ(Cell(List(), 0, kDownloadColumnSaveFolder), Folder() + L"\\save");

    // A list file's rows are new additions: the except list refuses its excluded ID. Options given
    // after an ID stay with the row.
    ASSERT_TRUE(WriteTextFile(PathOf(L"list.txt"), L"sm99\nsm16 log=\"2010/01/02\"\n"));
    ASSERT_TRUE(m_window.AddListFromCommandLine(PathOf(L"list.txt")));
    ASSERT_TRUE(PumpMessagesUntil([&] { return RowCount() == savedRows + 1 && !IsDownloadListLoading(); }));
    EXPECT_EQ(Cell(List(), savedRows, kDownloadColumnId), L"sm16");
    EXPECT_EQ(Cell(List(), savedRows, kDownloadColumnAddData), L"log=\"2010/01/02\"");
    EXPECT_NE(LogText().find(L"> sm99\r\n除外リストに指定されている動画IDです。"), std::wstring::npos) << LogText();

    m_window.Destroy();
    const std::wstring written = FileText(PathOf(L"DownList.dat"));
    EXPECT_EQ(written.substr(0, saved.size()), saved);
    EXPECT_EQ(written.compare(saved.size(), 5, L"sm16,"), 0) << written;
    EXPECT_EQ(CSectionFile(PathOf(L"settings.dat")).ReadSection(L"ExceptDownload", L""), except);
}

TEST_F(DownloadWindowTest, WithoutASavedListTheExceptListIsStillKeptAtTheClose) {
    const std::wstring except = L"sm15\t# one\nsm16\t# two";
    ASSERT_TRUE(CSectionFile(PathOf(L"settings.dat")).SetSection(L"ExceptDownload", except));
    Open();
    WaitUntilLoaded();
    const std::vector<std::wstring> add = {L"sm15", L""};
    EXPECT_EQ(SendMessageW(m_main->Handle(), kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&add), 0x10003), 0);
    m_window.Destroy();
    EXPECT_EQ(CSectionFile(PathOf(L"settings.dat")).ReadSection(L"ExceptDownload", L""), except);
    EXPECT_EQ(FileText(PathOf(L"DownList.dat")), L"");
}

TEST_F(DownloadWindowTest, ChangesMadeWhileAListLoadsAreSavedOnceTheLoadEnds) {
    GetDownloadSettings().ListAutoSave = true;
    Open();
    WaitUntilLoaded();
    PumpMessagesFor(3500);
    EXPECT_FALSE(FileExists(m_window.GetListFilePath())) << "the saved list coming back is no change";

    // A list file's rows, and the user's add made while it loads (this thread has not let the loader
    // in yet), are saved with no later change to start the save.
    ASSERT_TRUE(WriteTextFile(PathOf(L"list.txt"), L"sm105\nsm106\n"));
    ASSERT_TRUE(m_window.AddListFromCommandLine(PathOf(L"list.txt")));
    const std::vector<std::wstring> add = {L"sm77", L"D:\\dl"};
    ASSERT_EQ(SendMessageW(m_main->Handle(), kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&add), 0x10003), 1);
    ASSERT_TRUE(PumpMessagesUntil([&] { return FileExists(m_window.GetListFilePath()); }, 10000));
    PumpMessagesUntil([&] { return GetRunningWorkers().empty(); });
    const std::wstring written = FileText(m_window.GetListFilePath());
    for (const wchar_t* key : {L"sm77,", L"sm105,", L"sm106,"}) {
        EXPECT_NE(written.find(key), std::wstring::npos) << key << written;
    }
}

TEST_F(DownloadWindowTest, StoredListsHeldOpenByAnotherProgramAtTheStartAreNotWrittenOver) {
    // Another program (a backup, a scanner) holds both files while the window reads them; it lets go
    // before the close, which must not replace them with what this run could not read.
    const std::wstring saved = L"sm11,7,D:\\dl,one,,,\nsm12,6,D:\\dl,two,,,\n";
    const std::wstring except = L"sm15\t# one\nsm16\t# two";
    ASSERT_TRUE(WriteTextFile(PathOf(L"DownList.dat"), saved));
    ASSERT_TRUE(CSectionFile(PathOf(L"settings.dat")).SetSection(L"ExceptDownload", except));
    const auto holdOpen = [](const std::wstring& path) {
        return CFileHandle(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    };
    CFileHandle list = holdOpen(PathOf(L"DownList.dat"));
    CFileHandle settings = holdOpen(PathOf(L"settings.dat"));
    ASSERT_TRUE(list.IsValid() && settings.IsValid());
    Open();
    WaitUntilLoaded();
    EXPECT_EQ(RowCount(), 0);
    list.Reset();
    settings.Reset();
    const std::vector<std::wstring> add = {L"sm77", L"D:\\dl"};
    ASSERT_EQ(SendMessageW(m_main->Handle(), kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&add), 0x10003), 1);
    m_window.Destroy();
    EXPECT_EQ(FileText(PathOf(L"DownList.dat")), saved);
    EXPECT_EQ(CSectionFile(PathOf(L"settings.dat")).ReadSection(L"ExceptDownload", L""), except);
    EXPECT_NE(LogText().find(L"ダウンロードリストを読み込めなかったため保存しません : "), std::wstring::npos) << LogText();
}

TEST_F(DownloadWindowTest, ACloseDuringTheLoadOfTheSavedListWaitsForItThenSavesEveryRow) {
    std::wstring saved;
    for (int i = 0; i < 3000; ++i) {
        saved += L"sm" + std::to_wstring(100000 + i) + L",7,.\\save,t" + std::to_wstring(i) + L",,,\n";
    }
    ASSERT_TRUE(WriteTextFile(PathOf(L"DownList.dat"), saved));
    Open();
    // The user's add comes in before the loader's first row (this thread has not let it in yet).
    const std::vector<std::wstring> add = {L"sm77", L"D:\\dl"};
    ASSERT_EQ(SendMessageW(m_main->Handle(), kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&add), 0x10003), 1);
    ASSERT_TRUE(IsDownloadListLoading());
    m_window.Destroy();
    EXPECT_FALSE(IsDownloadListLoading());
    EXPECT_EQ(FileText(PathOf(L"DownList.dat")), L"sm77,3,D:\\dl,,,,\n" + saved);
}

TEST_F(DownloadWindowTest, TextAnswerStaysValidWhenTheSettingsAreReplaced) {
    Open();
    GetDownloadSettings().Mail = L"first@example.com";
    const auto* answer = reinterpret_cast<const wchar_t*>(SendMessageW(m_main->Handle(), kMsgDownloadGetMail, 0, 0));
    // The settings sheet puts a new record in place; a text of the same length is copied into the
    // old one's buffer, so an answer pointing into the settings would now read the new address.
    DownloadSettings replaced;
    replaced.Mail = L"other@example.org";
    GetDownloadSettings() = replaced;
    EXPECT_EQ(std::wstring(answer), L"first@example.com");
    const auto* next = reinterpret_cast<const wchar_t*>(SendMessageW(m_main->Handle(), kMsgDownloadGetMail, 0, 0));
    EXPECT_EQ(std::wstring(next), replaced.Mail);
}

TEST_F(DownloadWindowTest, AutoSaveWritesOnceAfterTheLastChange) {
    Open();
    WaitUntilLoaded();
    const std::vector<std::wstring> add = {L"sm109", L""};
    ASSERT_EQ(SendMessageW(m_main->Handle(), kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&add), 0x10003), 1);
    const std::wstring path = m_window.GetListFilePath();
    ULONGLONG lastChange = 0;
    for (int i = 0; i < 3; ++i) {
        SendFromWorker(m_main->Handle(), kMsgDownloadScheduleSave, 0, 0);
        lastChange = GetTickCount64();
        PumpMessagesFor(400);
        EXPECT_FALSE(FileExists(path)) << i;
    }
    ASSERT_TRUE(PumpMessagesUntil([&] { return FileExists(path); }, 15000));
    EXPECT_GE(GetTickCount64() - lastChange, 2900u);
    PumpMessagesUntil([&] { return GetRunningWorkers().empty(); });
    WIN32_FILE_ATTRIBUTE_DATA first = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &first);
    EXPECT_NE(FileText(path).find(L"sm109,"), std::wstring::npos);
    // No second save follows.
    PumpMessagesFor(4000);
    WIN32_FILE_ATTRIBUTE_DATA later = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &later);
    EXPECT_EQ(CompareFileTime(&first.ftLastWriteTime, &later.ftLastWriteTime), 0);
}

LRESULT CALLBACK RefuseDownloadWindow(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && GetWindowClassName(reinterpret_cast<HWND>(wParam)) == L"CWndDownload") {
        return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(DownloadWindowTest, ShowAfterAFailedCreationTriesAgain) {
    WriteTextFile(PathOf(L"velaplayer.ini"), L"[download]\nUrl=sm77\n");
    m_window.Init(L"VelaPlayer", PathOf(L"velaplayer.ini"), nullptr);
    // A hook that refuses the dialog's creation.
    HHOOK hook = SetWindowsHookExW(WH_CBT, &RefuseDownloadWindow, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    EXPECT_FALSE(m_window.Show(SW_HIDE));
    EXPECT_FALSE(m_window.Show(SW_HIDE));
    EXPECT_EQ(m_window.GetHandle(), nullptr);
    UnhookWindowsHookEx(hook);

    EXPECT_TRUE(m_window.Show(SW_HIDE));
    ASSERT_NE(m_window.GetHandle(), nullptr);
    EXPECT_EQ(GetWindowTextString(GetDlgItem(m_window.GetHandle(), IDC_DOWNLOAD_URL)), L"sm77");
    WaitUntilLoaded();
}

TEST_F(DownloadWindowTest, DownloadRunsOnlyWithATickedRowAndARunningWorker) {
    Open();
    WaitUntilLoaded();
    EXPECT_FALSE(m_window.IsDownloadRunning()) << "empty list";

    std::atomic<bool> release{false};
    WorkerThreadRecord running;
    running.thread = StartWorker(WorkerOptions{L"test item"}, [&] {
        while (!release) {
            Sleep(10);
        }
    });
    running.state = WorkerThreadRecord::kRunning;
    WorkerThreadRecord& record = AddWorkerThread(running);
    EXPECT_FALSE(m_window.IsDownloadRunning()) << "empty list, worker running";

    const std::vector<std::wstring> unticked = {L"sm101", L""};
    ASSERT_EQ(SendMessageW(m_main->Handle(), kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&unticked), 0x10002), 1);
    EXPECT_FALSE(IsRowTicked(List(), 0));
    EXPECT_FALSE(m_window.IsDownloadRunning()) << "no row ticked";

    const std::vector<std::wstring> ticked = {L"sm102", L""};
    ASSERT_EQ(SendMessageW(m_main->Handle(), kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&ticked), 0x10003), 1);
    EXPECT_TRUE(m_window.IsDownloadRunning()) << "a row ticked, worker running";

    {
        CAutoLock guard = LockWorkerThreads();
        record.state = WorkerThreadRecord::kAbandoned;
    }
    release = true;
    EXPECT_TRUE(record.thread.Wait(10000));
    EXPECT_FALSE(m_window.IsDownloadRunning()) << "a row ticked, no worker";
}

// What the dialog's own procedure receives: commands sent to it by its list, kept from the window so
// that the keys' removals and copies do not run.
std::vector<WPARAM> g_commands;
WNDPROC g_dialogProc = nullptr;
LRESULT CALLBACK RecordCommands(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        g_commands.push_back(wParam);
        return 0;
    }
    return CallWindowProcW(g_dialogProc, window, message, wParam, lParam);
}

TEST_F(DownloadWindowTest, ListKeysAndFocus) {
    Open();
    WaitUntilLoaded();
    for (const wchar_t* id : {L"sm101", L"sm102"}) {
        const std::vector<std::wstring> add = {id, L""};
        SendMessageW(m_main->Handle(), kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&add), 0x10003);
    }
    HWND window = m_window.GetHandle();
    g_commands.clear();
    g_dialogProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordCommands)));

    BYTE keys[256] = {};
    struct Case {
        const char* name;
        bool control;
        bool shift;
        WPARAM key;
        std::vector<WPARAM> commands;
    };
    const Case cases[] = {
        {"Delete", false, false, VK_DELETE, {IDM_DL_REMOVE}},
        {"Shift+Delete", false, true, VK_DELETE, {IDM_DL_REMOVE_WITH_FILES}},
        {"Ctrl+C", true, false, 'C', {IDM_DL_COPY_URL_KEY}},
        {"Ctrl+A", true, false, 'A', {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_commands.clear();
        keys[VK_CONTROL] = c.control ? 0x80 : 0;
        SetKeyboardState(keys);
        if (c.shift) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = VK_SHIFT;
            SendInput(1, &input, sizeof(input));
            PumpMessagesUntil([] { return (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0; });
        }
        SendMessageW(List(), WM_KEYDOWN, c.key, 0);
        if (c.shift) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = VK_SHIFT;
            input.ki.dwFlags = KEYEVENTF_KEYUP;
            SendInput(1, &input, sizeof(input));
            PumpMessagesUntil([] { return (GetAsyncKeyState(VK_SHIFT) & 0x8000) == 0; });
        }
        EXPECT_EQ(g_commands, c.commands);
    }
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(ListView_GetSelectedCount(List()), 2u);
    // A lost focus is kept from the list, so the selection keeps its highlight.
    EXPECT_EQ(SendMessageW(List(), WM_KILLFOCUS, 0, 0), 0);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_dialogProc));
}

TEST_F(DownloadWindowTest, CommentLogWarningOncePerRun) {
    GetAppSettings().AutoAcquireComment = true;
    Open();
    HWND comment = GetDlgItem(m_window.GetHandle(), IDC_DOWNLOAD_CHECK_COMMENT);
    MessageBoxAnswerer answerer({IDOK});
    // Ticked, unticked, ticked again.
    for (int i = 0; i < 3; ++i) {
        SendMessageW(comment, BM_CLICK, 0, 0);
    }
    PumpMessagesFor(300);
    const auto seen = answerer.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text.substr(0, 25), L"現在コメントを自動更新する設定となっています。\n動");
    EXPECT_EQ(seen[0].caption, L"VelaPlayer");
}

// The login's question for the account, answered through the real download window and its sheet.
class DownloadWindowLoginTest : public DownloadWindowTest {
protected:
    void SetUp() override {
        DownloadWindowTest::SetUp();
        Open();
        WaitUntilLoaded();
        GetDownloadSettings().Mail.clear();
        GetDownloadSettings().Pass.clear();
    }

    std::wstring FetchOnWorkerAnsweringTheSheet(const std::wstring& mail, const std::wstring& password, int button) {
        FakeService fake;
        EXPECT_TRUE(fake.IsRunning());
        GetAppSettings().ServiceBaseUrl = fake.BaseUrl();
        // The sheet is a top-level dialog as a message box is: the answerer meets it second, fills in the
        // account while it is open and presses the button.
        std::atomic<bool> sheetOpen{false};
        MessageBoxAnswerer answerer({IDOK, button}, [&] {
            HWND sheet = FindMessageBox(GetCurrentProcessId());
            if (GetWindowTextString(sheet) != L"設定") {
                return;
            }
            sheetOpen = m_window.IsSettingsSheetOpen();
            SendMessageW(sheet, PSM_SETCURSEL, 5, 0);
            HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
            SendDlgItemMessageW(page, IDC_DOWNLOAD_ACCOUNT_MAIL, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(mail.c_str()));
            SendDlgItemMessageW(page, IDC_DOWNLOAD_ACCOUNT_PASS, WM_SETTEXT, 0,
                                reinterpret_cast<LPARAM>(password.c_str()));
        });
        std::wstring data;
        std::atomic<bool> done{false};
        CWorkerThread worker = StartWorker(WorkerOptions{L"test login"}, [&] {
            data = GetFlvDataFromHtml(L"nm10", m_main->Handle(), L"jp");
            done = true;
        });
        EXPECT_TRUE(PumpMessagesUntil([&] { return done.load(); }, 20000));
        worker.Wait(5000);
        EXPECT_TRUE(sheetOpen.load());
        EXPECT_FALSE(m_window.IsSettingsSheetOpen());
        const auto seen = answerer.Seen();
        EXPECT_EQ(seen.size(), 2u);
        if (seen.size() == 2) {
            EXPECT_EQ(seen[0].text, L"ログイン情報を入力して下さい。");
            EXPECT_EQ(seen[1].caption, L"設定");
        }
        return data;
    }
};

TEST_F(DownloadWindowLoginTest, AccountEnteredInTheSheetLetsTheLoginGoOn) {
    const std::wstring data = FetchOnWorkerAnsweringTheSheet(L"user@example.com", L"pass word&1", IDOK);
    EXPECT_EQ(GetThreadId(data), L"1000000010");
    EXPECT_EQ(GetDownloadSettings().Mail, L"user@example.com");
    EXPECT_EQ(GetDownloadSettings().Pass, L"pass word&1");
    EXPECT_NE(LogText().find(L"ログインに成功しました"), std::wstring::npos) << LogText();
}

TEST_F(DownloadWindowLoginTest, SheetClosedWithoutTheAccountEndsTheLogin) {
    const std::wstring data = FetchOnWorkerAnsweringTheSheet(L"user@example.com", L"pass word&1", IDCANCEL);
    EXPECT_EQ(data, L"");
    EXPECT_EQ(GetDownloadSettings().Mail, L"");
    EXPECT_NE(LogText().find(L"ログイン情報が入力されていません"), std::wstring::npos) << LogText();
}

} // namespace
