#include "CWndDownload/DownloadQueue.h"

#include "CWndDownload/DownloadListRow.h"
#include "CWndDownload/DownloadSettings.h"
#include "foundation/AppSettings.h"
#include "foundation/CCritSec.h"
#include "foundation/ListView.h"
#include "foundation/Network.h"
#include "foundation/PrivateMessages.h"
#include "tests/fakeservice/FakeService.h"
#include "tests/download/DownloadStandIn.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <set>
#include <string>
#include <vector>

using testing_support::ClearLog;
using testing_support::StandInDownloadProc;
using testing_support::StandInSaveRequests;
using testing_support::FakeRequest;
using testing_support::FakeService;
using testing_support::LogText;
using testing_support::MessageBoxAnswerer;
using testing_support::PumpMessagesUntil;

namespace {

struct Row {
    const wchar_t* id;
    bool ticked;
    WORD status;
    const wchar_t* addData = L"";
};

size_t CountOccurrences(const std::wstring& text, const std::wstring& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

class DownloadQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedApp = GetAppSettings();
        m_savedDownload = GetDownloadSettings();
        GetAppSettings().OfflineMode = false;
        GetAppSettings().DebugMode = false;
        GetAppSettings().ServiceBaseUrl = L"http://127.0.0.1:9/";
        GetDownloadSettings() = DownloadSettings{};
        GetDownloadSettings().GetTitleWaitSec = 0;
        SetInternetOnline(false);
        ClearLog();

        const testing_support::StandInDownloadWindow standIn =
            testing_support::CreateStandInDownloadWindow(L"DownloadQueueTestWindow", StandInDownloadProc, L"queue");
        m_window = standIn.window;
        m_list = standIn.list;
        ASSERT_NE(m_list, nullptr);

        m_releaseWorkers = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DownloadQueueHooks& hooks = m_queue.Hooks();
        hooks.now = [this] { return m_now; };
        hooks.isConnected = [this] {
            ++m_connectionChecks;
            return m_connected.load();
        };
        hooks.probe = [this] {
            ++m_probes;
            return m_probeOpens.load();
        };
        // An item worker that waits until the test lets it end, then ends its row as done.
        hooks.itemWorker = [this](const DownloadItemStart& start) {
            const std::wstring id = GetListItemText(start.list, start.row, kDownloadColumnId);
            {
                CAutoLock guard(m_lock);
                m_started.push_back(id);
            }
            WaitForSingleObject(m_releaseWorkers, INFINITE);
            RunRecordRowStep(start.list, start.recordIndex, [&](int row) {
                SetDownloadRowTicked(start.list, row, false);
                SetDownloadItemStatus(start.list, kDownloadStatusDone, row);
            });
            CAutoLock guard = LockWorkerThreads();
            WorkerThreadRecord& record = GetWorkerThread(start.recordIndex);
            record.rowIndex = -1;
            record.state = WorkerThreadRecord::kFree;
            return 1u;
        };
    }

    void TearDown() override {
        SetEvent(m_releaseWorkers);
        PumpMessagesUntil([] { return CountRunningDownloads() == 0; }, 10000);
        CloseHandle(m_releaseWorkers);
        DestroyWindow(m_window);
        GetAppSettings() = m_savedApp;
        GetDownloadSettings() = m_savedDownload;
        SetInternetOnline(false);
    }

    void AddRows(const std::vector<Row>& rows) {
        for (const Row& r : rows) {
            const int row = InsertListItem(-1, L"", m_list);
            SetListItemText(r.id, kDownloadColumnId, m_list, row);
            SetListItemText(r.addData, kDownloadColumnAddData, m_list, row);
            SetListItemParam(m_list, row, MakeItemData(r.status, kDownloadKindVideo));
            SetDownloadRowTicked(m_list, row, r.ticked);
        }
    }

    std::vector<std::wstring> Started() {
        CAutoLock guard(m_lock);
        return m_started;
    }

    void TickAt(DWORD now) {
        m_now = now;
        m_queue.Tick(m_list);
    }

    // Lets the running workers end and waits until their rows and records say so.
    void EndWorkers() {
        SetEvent(m_releaseWorkers);
        EXPECT_TRUE(PumpMessagesUntil([] { return CountRunningDownloads() == 0; }, 10000));
        ResetEvent(m_releaseWorkers);
    }

    AppSettings m_savedApp;
    DownloadSettings m_savedDownload;
    HWND m_window = nullptr;
    HWND m_list = nullptr;
    CDownloadQueue m_queue;
    DWORD m_now = 100000;
    std::atomic<bool> m_connected{true};
    std::atomic<bool> m_probeOpens{true};
    std::atomic<int> m_connectionChecks{0};
    std::atomic<int> m_probes{0};
    HANDLE m_releaseWorkers = nullptr;
    CCritSec m_lock;
    std::vector<std::wstring> m_started;
};

TEST_F(DownloadQueueTest, TicksStartTickedWaitingAndFailedRowsOnly) {
    GetDownloadSettings().ThreadDownProcessMax = 10;
    GetDownloadSettings().AccessWaitSec = 0;
    AddRows({
        {L"sm101", false, kDownloadStatusWaiting},
        {L"sm102", true, kDownloadStatusWaiting},
        {L"sm103", true, kDownloadStatusError},
        {L"sm104", true, kDownloadStatusError, L"-deleted"},
        {L"sm105", true, kDownloadStatusDone},
        {L"sm106", true, kDownloadStatusCancelled},
        {L"sm107", true, kDownloadStatusPaused},
        {L"sm108", false, kDownloadStatusError},
    });
    // The first tick starts work before any connection check; the check comes with the second.
    TickAt(100000);
    EXPECT_EQ(m_connectionChecks, 0);
    EXPECT_TRUE(PumpMessagesUntil([&] { return Started().size() == 2; }));
    const std::vector<std::wstring> started = Started();
    EXPECT_EQ(std::set<std::wstring>(started.begin(), started.end()),
              (std::set<std::wstring>{L"sm102", L"sm103"}));
    EXPECT_EQ(CountRunningDownloads(), 2);
    // The rows still say waiting while their workers run: they are not started twice.
    TickAt(101000);
    PumpMessagesUntil([] { return false; }, 100);
    EXPECT_EQ(Started().size(), 2u);
    EXPECT_EQ(m_connectionChecks, 1);
    EXPECT_EQ(m_queue.GetOnlineState(), 1);
    EXPECT_TRUE(IsInternetOnline());

    // Workers end and their rows are done: nothing is left to start, however long the queue runs.
    EndWorkers();
    for (DWORD t = 102000; t < 130000; t += 1000) {
        TickAt(t);
    }
    PumpMessagesUntil([] { return false; }, 200);
    EXPECT_EQ(Started().size(), 2u) << testing::PrintToString(Started());
}

TEST_F(DownloadQueueTest, OneWorkerAtATimeAndTheNextStartWaitsAfterTheEnd) {
    // AccessWaitSec 10 and one worker, with the clock about to wrap: the waits are unsigned spans.
    GetDownloadSettings().AccessWaitSec = 10;
    GetDownloadSettings().ThreadDownProcessMax = 1;
    AddRows({{L"sm101", true, kDownloadStatusWaiting}, {L"sm102", true, kDownloadStatusWaiting}});
    const DWORD start = 0xFFFFF000u;
    TickAt(start);
    ASSERT_TRUE(PumpMessagesUntil([&] { return Started().size() == 1; }));
    EXPECT_EQ(Started()[0], L"sm101");
    TickAt(start + 20000); // past the wait, but the one worker still runs
    EXPECT_EQ(Started().size(), 1u);

    EndWorkers();
    const DWORD ended = start + 30000; // wrapped
    TickAt(ended);
    EXPECT_EQ(CountOccurrences(LogText(), L"ダウンロード待機中...(10秒)"), 1u);
    TickAt(ended + 9999);
    PumpMessagesUntil([] { return false; }, 100);
    EXPECT_EQ(Started().size(), 1u) << "started before the wait after the end";
    TickAt(ended + 10000);
    ASSERT_TRUE(PumpMessagesUntil([&] { return Started().size() == 2; }));
    EXPECT_EQ(Started()[1], L"sm102");
}

TEST_F(DownloadQueueTest, OfflineModeStartsNothingAndIsLoggedOnceWhenItEndsAnOnlineState) {
    GetDownloadSettings().AccessWaitSec = 0;
    GetDownloadSettings().GetTitleWaitSec = 1;
    AddRows({{L"sm101", true, kDownloadStatusWaiting}});
    GetAppSettings().OfflineMode = true;
    for (DWORD t = 100000; t < 110000; t += 1000) {
        TickAt(t);
    }
    EXPECT_EQ(CountOccurrences(LogText(), L"オフラインモードに設定されました"), 0u) << "never found online";

    SetInternetOnline(true);
    for (DWORD t = 110000; t < 120000; t += 1000) {
        TickAt(t);
    }
    EXPECT_EQ(CountOccurrences(LogText(), L"オフラインモードに設定されました"), 1u);
    EXPECT_FALSE(IsInternetOnline());
    EXPECT_EQ(m_queue.GetOnlineState(), 0);
    EXPECT_EQ(m_connectionChecks, 0);
    PumpMessagesUntil([] { return false; }, 200);
    EXPECT_TRUE(Started().empty());
    EXPECT_EQ(GetListItemText(m_list, 0, kDownloadColumnTitle), L"") << "no title fetch either";
}

TEST_F(DownloadQueueTest, OfflineFindingStopsStartsUntilTheProbeOpensThePage) {
    GetDownloadSettings().AccessWaitSec = 0;
    m_connected = false;
    m_probeOpens = false;
    TickAt(100000); // no rows: nothing to start, no check yet
    TickAt(101000); // the first check: offline
    EXPECT_EQ(m_queue.GetOnlineState(), 0);
    EXPECT_EQ(CountOccurrences(LogText(), L"インターネットの接続を確認できません"), 1u);
    AddRows({{L"sm101", true, kDownloadStatusWaiting}});
    for (DWORD t = 102000; t < 106000; t += 1000) {
        TickAt(t);
    }
    // The system says connected again: a probe is asked (on a worker) and fails, so still offline.
    m_connected = true;
    TickAt(106000);
    ASSERT_TRUE(PumpMessagesUntil([&] { return m_probes == 1; }));
    PumpMessagesUntil([] { return false; }, 100);
    for (DWORD t = 107000; t < 111000; t += 1000) {
        TickAt(t);
    }
    EXPECT_EQ(m_queue.GetOnlineState(), 0);
    EXPECT_TRUE(Started().empty());

    // The next probe opens the page: online again, and the row starts.
    m_probeOpens = true;
    TickAt(111000);
    ASSERT_TRUE(PumpMessagesUntil([&] { return m_probes == 2; }));
    EXPECT_TRUE(PumpMessagesUntil([&] {
        TickAt(m_now + 1000);
        return m_queue.GetOnlineState() == 1 && Started().size() == 1;
    }));
    EXPECT_EQ(CountOccurrences(LogText(), L"[インターネットの接続を確認しました]"), 1u);
    EXPECT_TRUE(IsInternetOnline());
}

TEST_F(DownloadQueueTest, TheProbeOpensThePingPageQuicklyOrFails) {
    FakeService fake;
    ASSERT_TRUE(fake.IsRunning());
    GetAppSettings().PingUrl = fake.BaseUrl() + L"ping";
    EXPECT_TRUE(ProbeInternetConnection());
    GetAppSettings().PingUrl = L"http://127.0.0.1:9/";
    EXPECT_FALSE(ProbeInternetConnection());
}

class DownloadTitleFetchTest : public DownloadQueueTest {
protected:
    void SetUp() override {
        DownloadQueueTest::SetUp();
        ASSERT_TRUE(m_fake.IsRunning());
        GetAppSettings().ServiceBaseUrl = m_fake.BaseUrl();
        GetDownloadSettings().GetTitleWaitSec = 15;
        // No worker is started: the rows wait while their titles come.
        GetDownloadSettings().ThreadDownProcessMax = 0;
        StandInSaveRequests() = 0;
    }
    FakeService m_fake;
};

TEST_F(DownloadTitleFetchTest, WaitingRowsGetTheirTitlesOneFetchAtATime) {
    AddRows({
        {L"sm19", true, kDownloadStatusWaiting},
        {L"sm404", true, kDownloadStatusWaiting},
        {L"sm101", false, kDownloadStatusWaiting},
        {L"sm102", true, kDownloadStatusError},
    });
    TickAt(100000);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !GetListItemText(m_list, 0, kDownloadColumnTitle).empty(); }, 10000));
    EXPECT_EQ(GetListItemText(m_list, 0, kDownloadColumnTitle), L"テスト動画 その1");
    EXPECT_TRUE(PumpMessagesUntil([] { return StandInSaveRequests() == 1; }));

    TickAt(114999);
    PumpMessagesUntil([] { return false; }, 300);
    EXPECT_EQ(GetListItemText(m_list, 1, kDownloadColumnTitle), L"") << "fetched before GetTitleWaitSec";
    TickAt(115000);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !GetListItemText(m_list, 1, kDownloadColumnTitle).empty(); }, 10000));
    EXPECT_EQ(GetListItemText(m_list, 1, kDownloadColumnTitle), DownloadTitlePlaceholder());
    EXPECT_NE(LogText().find(L"sm404 : 動画タイトルの取得に失敗しました"), std::wstring::npos);

    // An unticked row and a failed row get no title fetch; the placeholder stops a second one.
    for (DWORD t = 130000; t < 200000; t += 15000) {
        TickAt(t);
        PumpMessagesUntil([] { return false; }, 100);
    }
    EXPECT_EQ(GetListItemText(m_list, 2, kDownloadColumnTitle), L"");
    EXPECT_EQ(GetListItemText(m_list, 3, kDownloadColumnTitle), L"");
    size_t watchRequests = 0;
    for (const FakeRequest& request : m_fake.Requests()) {
        watchRequests += request.path.find(L"/watch/") == 0 ? 1 : 0;
    }
    EXPECT_EQ(watchRequests, 2u);
}

TEST_F(DownloadTitleFetchTest, ARunningFetchIsNotJoinedByASecond) {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> fetches{0};
    m_queue.Hooks().titleWorker = [&](HWND, const std::wstring&) {
        ++fetches;
        WaitForSingleObject(release, INFINITE);
        return 0u;
    };
    AddRows({{L"sm101", true, kDownloadStatusWaiting}, {L"sm102", true, kDownloadStatusWaiting}});
    TickAt(100000);
    ASSERT_TRUE(PumpMessagesUntil([&] { return fetches == 1; }));
    TickAt(115000);
    TickAt(130000);
    PumpMessagesUntil([] { return false; }, 200);
    EXPECT_EQ(fetches, 1);
    SetEvent(release);
    // The busy ticks counted as starts: the next fetch waits GetTitleWaitSec from the last of them.
    PumpMessagesUntil([] { return false; }, 200);
    TickAt(144999);
    PumpMessagesUntil([] { return false; }, 200);
    EXPECT_EQ(fetches, 1);
    TickAt(145000);
    EXPECT_TRUE(PumpMessagesUntil([&] { return fetches == 2; }));
    CloseHandle(release);
}

TEST_F(DownloadTitleFetchTest, TheAccessRestrictionPageUnticksWaitingRowsAndSaysSoOnce) {
    AddRows({
        {L"sm14", true, kDownloadStatusWaiting},
        {L"sm101", true, kDownloadStatusWaiting},
        {L"sm102", true, kDownloadStatusDone},
    });
    MessageBoxAnswerer answerer({IDOK});
    TickAt(100000);
    ASSERT_TRUE(answerer.WaitForCount(1, 10000));
    for (DWORD t = 115000; t < 160000; t += 15000) {
        TickAt(t);
    }
    PumpMessagesUntil([] { return false; }, 300);
    const auto seen = answerer.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, GetAppSettings().appName);
    EXPECT_EQ(seen[0].text, L"アクセス制限を確認しました。\n\n全ての待機項目のチェックを外します。\n"
                            L"時間を置いてから再度ダウンロードして下さい。");
    EXPECT_EQ(GetListItemText(m_list, 0, kDownloadColumnTitle), DownloadTitlePlaceholder());
    EXPECT_FALSE(IsDownloadRowTicked(m_list, 0));
    EXPECT_FALSE(IsDownloadRowTicked(m_list, 1));
    EXPECT_TRUE(IsDownloadRowTicked(m_list, 2)) << "only waiting rows are unticked";
}

TEST_F(DownloadTitleFetchTest, ATitleGoesToTheRowOfItsIdAfterTheRowsMoved) {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_queue.Hooks().titleWorker = [&](HWND list, const std::wstring& id) {
        WaitForSingleObject(release, INFINITE);
        return GetTitleThread(list, id);
    };
    AddRows({{L"sm19", true, kDownloadStatusWaiting}, {L"sm101", true, kDownloadStatusWaiting}});
    TickAt(100000);
    // While the fetch runs, the rows change: the title finds sm19 at its new place.
    ListView_DeleteItem(m_list, 1);
    const int row = InsertListItem(0, L"", m_list);
    SetListItemText(L"sm102", kDownloadColumnId, m_list, row);
    SetEvent(release);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !GetListItemText(m_list, 1, kDownloadColumnTitle).empty(); }, 10000));
    EXPECT_EQ(GetListItemText(m_list, 1, kDownloadColumnId), L"sm19");
    EXPECT_EQ(GetListItemText(m_list, 1, kDownloadColumnTitle), L"テスト動画 その1");
    EXPECT_EQ(GetListItemText(m_list, 0, kDownloadColumnTitle), L"");
    CloseHandle(release);
}

} // namespace
