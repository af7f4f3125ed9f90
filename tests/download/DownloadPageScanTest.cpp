#include "CWndDownload/DownloadPageScan.h"

#include "CWndDownload/DownloadAdd.h"
#include "CWndDownload/DownloadListFile.h"
#include "client/HttpAccess.h"
#include "foundation/AppSettings.h"
#include "foundation/CWorkerThread.h"
#include "foundation/ListView.h"
#include "foundation/PrivateMessages.h"
#include "tests/fakeservice/FakeService.h"
#include "tests/download/DownloadStandIn.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

using testing_support::ClearLog;
using testing_support::FakeService;
using testing_support::LogText;
using testing_support::MessageBoxAnswerer;
using testing_support::PumpMessagesFor;
using testing_support::PumpMessagesUntil;

namespace {

const wchar_t kCaption[] = L"VelaPlayer - ダウンロードウィンドウ";
constexpr int kListId = 2010;

class SettingsRestored {
public:
    SettingsRestored() : m_saved(GetAppSettings()) {}
    ~SettingsRestored() { GetAppSettings() = m_saved; }

private:
    AppSettings m_saved;
};

TEST(DownloadPageScanUrlsTest, PageLinksBecomeWatchUrlsOnceInPageOrder) {
    SettingsRestored restored;
    GetAppSettings().ServiceBaseUrl.clear();
    const std::wstring base = L"http://www.video.example/";
    struct Case {
        const wchar_t* page;
        const wchar_t* country;
        std::vector<std::wstring> urls;
    };
    const Case cases[] = {
        {L"<a href=\"watch/sm9\">a</a><a href=\"watch/nm10\">b</a><a href=\"watch/sm9\">a</a>",
         L"jp",
         {base + L"watch/sm9", base + L"watch/nm10"}},
        // Thread numbers of two or more digits; one digit is no link to a video.
        {L"watch/1000000012 watch/5 watch/12", L"jp", {base + L"watch/1000000012", base + L"watch/12"}},
        // Wherever the link points and whatever follows the ID, the video is put on the base address.
        {L"http://other.example/watch/so77?ref=1 http://www.video.example/watch/so77#c", L"jp", {base + L"watch/so77"}},
        // A longer ID is another video, not a repeat of its beginning.
        {L"watch/sm90 watch/sm9 watch/sm90", L"jp", {base + L"watch/sm90", base + L"watch/sm9"}},
        {L"watch/sm9", L"tw", {L"http://tw.video.example/watch/sm9"}},
        {L"<a href=\"watch/xy123\">x</a> <a href=\"top\">top</a> sm9", L"jp", {}},
        {L"", L"jp", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        EXPECT_EQ(ExtractPageVideoUrls(c.page, c.country), c.urls);
    }
}

TEST(DownloadPageScanUrlsTest, ListUrlsComeFromTheListTextElseFromThePage) {
    SettingsRestored restored;
    GetAppSettings().ServiceBaseUrl.clear();
    const std::wstring watch = L"http://www.video.example/watch/";
    const std::wstring list = L"{\"mylistitem\":[{\"item_data\":{\"video_id\":\"sm9\"}},{\"item_data\":{\"video_id\":"
                              L"\"nm10\"}},{\"item_data\":{\"video_id\":\"sm9\"}}],\"status\":\"ok\"}";
    const std::wstring page = L"<script>var l = {\"video_id\": \"so77\"};</script><a href=\"watch/sm12\">x</a>";
    struct Case {
        std::wstring listText;
        std::wstring page;
        std::vector<std::wstring> urls;
    };
    const Case cases[] = {
        {list, page, {watch + L"sm9", watch + L"nm10"}},
        {L"{\"error\":{\"code\":\"NONEXIST\"},\"status\":\"fail\"}", page, {watch + L"so77"}},
        {L"", page, {watch + L"so77"}},
        // The page's links are not the list: a list page without list data has no video.
        {L"", L"<a href=\"watch/sm12\">x</a>", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.listText);
        EXPECT_EQ(GetListVideoUrls(c.listText, c.page, L"jp"), c.urls);
    }
}

DownloadAddContext* g_context = nullptr;

// The download window as far as a scan needs it: the list's row steps and the adds of 37874 through
// the adding gate (the stand-in is its own main window).
LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleDownloadRowStep(message, wParam, lParam, result)) {
        return result;
    }
    if (message == kMsgDownloadAddItem && g_context != nullptr) {
        const auto* texts = reinterpret_cast<const std::vector<std::wstring>*>(wParam);
        return AddItemFromArgs(*g_context, *texts, static_cast<DWORD>(lParam)) ? 1 : 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A page row in a real list, scanned by a worker thread against the fake service while this thread
// answers the row steps and the adds.
class DownloadPageScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_fake.IsRunning());
        GetAppSettings().ServiceBaseUrl = m_fake.BaseUrl();
        GetAppSettings().Country = L"jp";
        const testing_support::StandInDownloadWindow standIn =
            testing_support::CreateStandInDownloadWindow(L"DownloadPageScanTestWindow", StandInProc, kCaption);
        m_window = standIn.window;
        m_list = standIn.list;
        ASSERT_NE(m_list, nullptr);
        m_settings.SavePath = L"C:\\dl";
        m_context.window = m_window;
        m_context.list = m_list;
        m_context.appTitle = L"VelaPlayer";
        m_context.caption = kCaption;
        m_context.kindFlags = 0x10003;
        m_context.settings = &m_settings;
        m_context.exceptList = &m_except;
        m_context.rowKeys = &m_keys;
        g_context = &m_context;
        // The own list needs the login; a GET of the form gives the session cookie.
        std::wstring reply;
        ASSERT_TRUE(GetURLData(reply, m_fake.BaseUrl() + L"secure/login"));
        ClearLog();
    }
    void TearDown() override {
        g_context = nullptr;
        DestroyWindow(m_window);
    }

    // Adds the page row (and the rows before it), gives it a running worker record and scans it on a
    // worker thread. whileScanning runs on this thread once the worker has started, with the record's
    // index.
    bool Scan(const std::wstring& url, DWORD flags, const std::wstring& folder,
              int32_t state = WorkerThreadRecord::kRunning, bool paused = false,
              const std::function<void(size_t)>& whileScanning = nullptr) {
        EXPECT_TRUE(AddItemFromArgs(m_context, {url, folder}, flags));
        m_pageRow = RowCount() - 1;
        // The user has just ticked it: it is the selected and focused row.
        LVITEMW item = {};
        item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(m_list, LVM_SETITEMSTATE, m_pageRow, reinterpret_cast<LPARAM>(&item));
        WorkerThreadRecord record;
        record.state = state;
        record.rowIndex = m_pageRow;
        if (paused) {
            // Unticked by the user as it started, as the window pauses a row.
            record.pausedFromStatus = GetItemStatusOf(GetListItemParam(m_list, m_pageRow));
            SetDownloadItemStatus(m_list, kDownloadStatusPaused, m_pageRow);
            record.signals->paused = true;
        }
        const size_t index = GetWorkerThreadCount();
        AddWorkerThread(record);
        ClearLog();
        m_requestsBefore = m_fake.Requests().size();
        std::atomic<bool> done{false};
        bool result = false;
        CWorkerThread worker = StartWorker(WorkerOptions{L"test page scan"}, [&] {
            result = ScanPageForVideoUrls(m_list, index);
            done = true;
        });
        if (whileScanning) {
            whileScanning(index);
        }
        EXPECT_TRUE(PumpMessagesUntil([&] { return done.load(); }, 20000));
        EXPECT_TRUE(worker.Wait(5000));
        // Released as the worker's end does, so that later tests see no download running.
        CAutoLock guard = LockWorkerThreads();
        GetWorkerThread(index).state = WorkerThreadRecord::kFree;
        GetWorkerThread(index).rowIndex = -1;
        return result;
    }

    int RowCount() const { return ListView_GetItemCount(m_list); }
    std::wstring Cell(int row, int column) const { return GetListItemText(m_list, row, column); }
    std::vector<std::wstring> KeysAfterPageRow() const {
        std::vector<std::wstring> keys;
        for (int row = m_pageRow + 1; row < RowCount(); ++row) {
            keys.push_back(Cell(row, kDownloadColumnId));
        }
        return keys;
    }
    std::vector<std::wstring> PathsRequested() const {
        std::vector<std::wstring> paths;
        const auto requests = m_fake.Requests();
        for (size_t i = m_requestsBefore; i < requests.size(); ++i) {
            paths.push_back(requests[i].path);
        }
        return paths;
    }

    SettingsRestored m_restored;
    FakeService m_fake;
    HWND m_window = nullptr;
    HWND m_list = nullptr;
    DownloadSettings m_settings;
    CDownloadExceptList m_except;
    CDownloadRowKeys m_keys;
    DownloadAddContext m_context;
    int m_pageRow = -1;
    size_t m_requestsBefore = 0;
};

TEST_F(DownloadPageScanTest, PagesAddTheirVideosAsWaitingRowsInPageOrder) {
    const std::wstring base = m_fake.BaseUrl();
    struct Case {
        const wchar_t* path;
        WORD pageStatus;
        std::vector<std::wstring> keys;
        std::vector<std::wstring> listRequests; // requests after the page's own
    };
    const Case cases[] = {
        {L"scan/links", kDownloadStatusExtracting, {L"sm9", L"nm10", base + L"watch/1000000012", L"so77"}, {}},
        // Read as the ANSI code page, the UTF-8 page's links lose their first letter.
        {L"scan/utf8", kDownloadStatusExtracting, {L"sm9", L"nm10"}, {}},
        {L"scan/shift_jis", kDownloadStatusExtracting, {L"sm9", L"nm10"}, {}},
        {L"mylist/123", kDownloadStatusOpening, {L"sm9", L"nm10"}, {L"/api/mylist/list?group_id=123"}},
        {L"mylist/900", kDownloadStatusOpening, {L"nm10", L"sm12"}, {L"/api/mylist/list?group_id=900"}},
        {L"my/mylist", kDownloadStatusOpening, {L"nm10", L"sm9"}, {L"/api/deflist/list"}},
    };
    MessageBoxAnswerer answerer({IDOK});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
        const std::wstring url = base + c.path;
        EXPECT_TRUE(Scan(url, 0x10007, L"D:\\pages"));
        EXPECT_EQ(KeysAfterPageRow(), c.keys);
        for (int row = m_pageRow + 1; row < RowCount(); ++row) {
            EXPECT_EQ(GetListItemParam(m_list, row), MakeItemData(kDownloadStatusWaiting, 0x7));
            EXPECT_EQ(Cell(row, kDownloadColumnSaveFolder), L"D:\\pages");
            EXPECT_EQ(Cell(row, kDownloadColumnStatus), GetDownloadStatusText(kDownloadStatusWaiting));
            EXPECT_TRUE(IsDownloadRowTicked(m_list, row));
        }
        EXPECT_EQ(Cell(m_pageRow, kDownloadColumnId), url);
        EXPECT_EQ(GetItemStatusOf(GetListItemParam(m_list, m_pageRow)), c.pageStatus);
        const std::wstring found =
            L"指定されたページ内に" + std::to_wstring(c.keys.size()) + L"個の動画URLが見つかりました\r\n";
        const std::wstring fromList = c.listRequests.empty() ? L"" : L"マイリストからデータを取得します\r\n";
        EXPECT_EQ(LogText(), fromList + found);
        std::vector<std::wstring> requests{L"/" + std::wstring(c.path)};
        requests.insert(requests.end(), c.listRequests.begin(), c.listRequests.end());
        EXPECT_EQ(PathsRequested(), requests);
        // The page row's selection and focus were cleared, and the adds selected nothing.
        EXPECT_EQ(SendMessageW(m_list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
        EXPECT_EQ(SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), -1);
    }
    EXPECT_TRUE(answerer.Seen().empty());
}

// Videos the adding gate refuses (already listed, excluded) are left out; the scan still succeeds.
TEST_F(DownloadPageScanTest, RefusedVideosAreLeftOutAndTheScanSucceeds) {
    MessageBoxAnswerer answerer({IDOK});
    m_except.Replace({L"so77\t# 除外した動画"});
    ASSERT_TRUE(AddItemFromArgs(m_context, {L"nm10", L""}, 0x10003));
    ASSERT_TRUE(Scan(m_fake.BaseUrl() + L"scan/links", 0x10003, L""));
    EXPECT_EQ(KeysAfterPageRow(), (std::vector<std::wstring>{L"sm9", m_fake.BaseUrl() + L"watch/1000000012"}));
    EXPECT_EQ(Cell(RowCount() - 1, kDownloadColumnSaveFolder), L"C:\\dl");
    EXPECT_EQ(LogText(), L"指定されたページ内に4個の動画URLが見つかりました\r\n"
                         L"nm10は既にリストに存在しています。\r\n"
                         L"> so77\r\n除外リストに指定されている動画IDです。\r\n");
    EXPECT_TRUE(answerer.Seen().empty());
}

TEST_F(DownloadPageScanTest, FailuresAreLoggedAndAddNothing) {
    struct Case {
        std::wstring url;
        const wchar_t* logLine;
    };
    const Case cases[] = {
        {m_fake.BaseUrl() + L"scan/none", L"指定されたページ内に動画URLが見つかりませんでした"},
        {m_fake.BaseUrl() + L"empty", L"指定されたURLからのデータ取得に失敗しました : "},
        {L"http://127.0.0.1:9/scan/links", L"指定されたURLからのデータ取得に失敗しました : "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
        EXPECT_FALSE(Scan(c.url, 0x10003, L""));
        EXPECT_EQ(RowCount(), 1);
        const std::wstring line = c.logLine;
        EXPECT_EQ(LogText(), line + (line.back() == L' ' ? c.url : L"") + L"\r\n");
    }
}

TEST_F(DownloadPageScanTest, APausedScanWaitsShowingItsPauseAndGoesOnOnceResumed) {
    const std::wstring url = m_fake.BaseUrl() + L"scan/links";
    EXPECT_TRUE(Scan(url, 0x10003, L"", WorkerThreadRecord::kRunning, true, [&](size_t index) {
        PumpMessagesFor(500);
        WorkerThreadRecord& record = GetWorkerThread(index);
        EXPECT_EQ(Cell(m_pageRow, kDownloadColumnStatus), L"一時停止中");
        EXPECT_EQ(record.pausedFromStatus, kDownloadStatusOpening);
        EXPECT_TRUE(PathsRequested().empty());
        EXPECT_EQ(RowCount(), m_pageRow + 1);
        // Ticked again.
        CAutoLock guard = LockWorkerThreads();
        SetDownloadItemStatus(m_list, record.pausedFromStatus, m_pageRow);
        record.signals->paused = false;
    }));
    EXPECT_EQ(KeysAfterPageRow(),
              (std::vector<std::wstring>{L"sm9", L"nm10", m_fake.BaseUrl() + L"watch/1000000012", L"so77"}));
    EXPECT_EQ(Cell(m_pageRow, kDownloadColumnStatus), GetDownloadStatusText(kDownloadStatusExtracting));
}

// A record that has left its row (cancelled, its row removed) writes nothing and adds nothing.
TEST_F(DownloadPageScanTest, AnAbandonedRecordScansNothing) {
    EXPECT_FALSE(Scan(m_fake.BaseUrl() + L"scan/links", 0x10003, L"", WorkerThreadRecord::kAbandoned));
    EXPECT_EQ(RowCount(), 1);
    EXPECT_EQ(GetItemStatusOf(GetListItemParam(m_list, 0)), kDownloadStatusWaiting);
    EXPECT_TRUE(PathsRequested().empty());
    EXPECT_EQ(LogText(), L"");
}

} // namespace
