#include "CWndDownload/DownloadItemWorker.h"

#include "CWndDownload/DownloadCallbacks.h"
#include "CWndDownload/DownloadCommands.h"
#include "CWndDownload/DownloadItemSteps.h"
#include "CWndDownload/DownloadListFile.h"
#include "CWndDownload/DownloadListRow.h"
#include "CWndDownload/DownloadResource.h"
#include "CWndDownload/DownloadSettings.h"
#include "client/DownloadFileNameFormats.h"
#include "client/HttpAccess.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CSectionFile.h"
#include "foundation/CWorkerThread.h"
#include "foundation/Handles.h"
#include "foundation/ListView.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/PathUtil.h"
#include "foundation/PrivateMessages.h"
#include "tests/fakeservice/FakeService.h"
#include "tests/download/DownloadStandIn.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <wininet.h>

#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using testing_support::PumpMessagesFor;
using testing_support::PumpMessagesUntil;

const wchar_t kMail[] = L"user@example.com";
const wchar_t kPass[] = L"pass word&1";
const wchar_t kVideoTitle[] = L"テスト動画 その1";
const size_t kVideoSize = 1000003;

int g_saveNotices = 0;
int g_closeRequests = 0;
// What reached the playlist: the path and the duplicate flag.
std::vector<std::pair<std::wstring, LPARAM>> g_playlistAdds;
// The rows a worker asked to add: {ID or URL, folder} and the item flags.
std::vector<std::pair<std::vector<std::wstring>, LPARAM>> g_addedRows;
std::vector<std::wstring> g_statusTexts;
WNDPROC g_listProc = nullptr;
// What the user does in the settings sheet that the login opens (WM_COMMAND 12000); it is modal, so
// the command returns once it has been closed.
std::function<void()> g_onSettings;
// Whether a settings sheet is open, as the download window answers it (37900).
std::atomic<bool> g_sheetOpen{false};
// What happens on the list's thread right after a row was added.
std::function<void()> g_onAddRow;
// What happens on the list's thread just before a text is written into the list.
std::function<void(const LVITEMW&)> g_beforeTextWrite;

// The list's owner answers the row step, as the download window does, and counts the save notices.
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleDownloadRowStep(message, wParam, lParam, result)) {
        return result;
    }
    if (message == kMsgDownloadScheduleSave) {
        ++g_saveNotices;
        return 0;
    }
    if (message == kMsgDownloadAddItem) {
        g_addedRows.emplace_back(*reinterpret_cast<const std::vector<std::wstring>*>(wParam), lParam);
        if (g_onAddRow) {
            g_onAddRow();
        }
        return 1;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDM_DL_SETTINGS) {
        if (g_onSettings) {
            g_onSettings();
        }
        return 0;
    }
    // The account and the sheet's state, as the download window answers them for the main window.
    if (message == kMsgDownloadIsSettingsOpen) {
        return g_sheetOpen ? 1 : 0;
    }
    if (message == kMsgDownloadGetMail || message == kMsgDownloadGetPass) {
        const DownloadSettings& settings = GetDownloadSettings();
        return reinterpret_cast<LRESULT>((message == kMsgDownloadGetMail ? settings.Mail : settings.Pass).c_str());
    }
    // Standing in for the main window too, where a test makes it that.
    if (message == kMsgPlaylistAddFile) {
        g_playlistAdds.emplace_back(reinterpret_cast<const wchar_t*>(wParam), lParam);
        return 1;
    }
    if (message == WM_CLOSE) {
        ++g_closeRequests;
        return 0;
    }
    // A worker's log lines go to the main window while there is one.
    if (message == kMsgLogLine) {
        DebugLog() << reinterpret_cast<const wchar_t*>(wParam) << EndLine;
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Every status text written into the list, in order.
LRESULT CALLBACK RecordingListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == LVM_SETITEMTEXTW) {
        const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
        if (g_beforeTextWrite) {
            g_beforeTextWrite(*item);
        }
        if (item->iSubItem == kDownloadColumnStatus && item->pszText != nullptr) {
            g_statusTexts.emplace_back(item->pszText);
        }
    }
    return CallWindowProcW(g_listProc, list, message, wParam, lParam);
}

// A stand-in download window owning a real list, a fake of the service that every address points at,
// and the settings, templates and except list restored after each test.
class DownloadItemWorkerTest : public testing_support::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        m_savedApp = GetAppSettings();
        m_savedSettings = GetDownloadSettings();
        m_savedFormats = GetDownloadFileNameFormats();
        m_savedExcept = GetDownloadExceptList().Snapshot();
        GetDownloadExceptList().Replace({});
        SetWindowTextW(DebugLog().GetEditControl(), L"");
        ASSERT_TRUE(m_fake.IsRunning());
        GetAppSettings().ServiceBaseUrl = m_fake.BaseUrl();
        DownloadSettings& settings = GetDownloadSettings();
        settings.Mail = kMail;
        settings.Pass = kPass;
        settings.DownBGMs = false;
        settings.DownCompNotifyFlash = false;
        settings.DeleteDownCompItem = false;

        const testing_support::StandInDownloadWindow standIn =
            testing_support::CreateStandInDownloadWindow(L"DownloadItemWorkerTestOwner", OwnerProc);
        m_owner = standIn.window;
        m_list = standIn.list;
        ASSERT_NE(m_list, nullptr);
        g_listProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(m_list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingListProc)));
        g_statusTexts.clear();
        g_saveNotices = 0;
        g_closeRequests = 0;
        g_playlistAdds.clear();
        g_addedRows.clear();
        g_onSettings = nullptr;
        g_sheetOpen = false;
        g_onAddRow = nullptr;
        g_beforeTextWrite = nullptr;
        m_savedMain = GetMainWindow();
    }
    void TearDown() override {
        // A record left running would be taken for a running row by the window tests that follow.
        for (size_t index : m_records) {
            CAutoLock guard = LockWorkerThreads();
            WorkerThreadRecord& record = GetWorkerThread(index);
            if (record.state == WorkerThreadRecord::kRunning) {
                record.state = WorkerThreadRecord::kAbandoned;
                record.rowIndex = -1;
                record.signals->cancelled = true;
            }
        }
        SetMainWindow(m_savedMain);
        g_sheetOpen = false;
        g_onSettings = nullptr;
        g_onAddRow = nullptr;
        g_beforeTextWrite = nullptr;
        DestroyWindow(m_owner);
        // The login's cookie would reach the next test's fake, which listens on the same host.
        InternetSetCookieW(m_fake.BaseUrl().c_str(), nullptr, L"user_session=; expires=Sat, 01-Jan-2000 00:00:00 GMT");
        GetDownloadExceptList().Replace(m_savedExcept);
        GetAppSettings() = m_savedApp;
        GetDownloadSettings() = m_savedSettings;
        SetDownloadFileNameFormats(m_savedFormats);
        TempFolderTest::TearDown();
    }

    // A ticked waiting row saved into the test's folder.
    int AddRow(const std::wstring& id, WORD flags, const std::wstring& addData = L"") {
        const int row = InsertListItem(-1, L"", m_list);
        SetListItemText(id, kDownloadColumnId, m_list, row);
        SetListItemText(Folder(), kDownloadColumnSaveFolder, m_list, row);
        SetListItemText(addData, kDownloadColumnAddData, m_list, row);
        SetListItemParam(m_list, row, MakeItemData(kDownloadStatusWaiting, flags));
        SetDownloadRowTicked(m_list, row, true);
        return row;
    }
    // A record in state 2 on the row, as the queue hands it to a worker.
    size_t AddRunningRecord(int row) {
        CAutoLock guard = LockWorkerThreads();
        WorkerThreadRecord record;
        record.state = WorkerThreadRecord::kRunning;
        record.rowIndex = row;
        AddWorkerThread(record);
        m_records.push_back(GetWorkerThreadCount() - 1);
        return m_records.back();
    }
    // What the window's cancel does to the record and the row.
    void CancelAsTheWindowDoes(size_t recordIndex, int row) {
        {
            CAutoLock guard = LockWorkerThreads();
            WorkerThreadRecord& record = GetWorkerThread(recordIndex);
            record.state = WorkerThreadRecord::kAbandoned;
            record.rowIndex = -1;
            record.signals->cancelled = true;
        }
        SetDownloadItemStatus(m_list, kDownloadStatusNone, row);
        SetListItemText(L"", kDownloadColumnSize, m_list, row);
        SetListItemText(L"", kDownloadColumnPercent, m_list, row);
        SetDownloadRowTicked(m_list, row, false);
        SetDownloadItemStatus(m_list, kDownloadStatusCancelled, row);
    }
    CWorkerThread StartItem(int row, size_t& recordIndex) {
        recordIndex = AddRunningRecord(row);
        const DownloadItemStart start = {m_list, row, recordIndex};
        return StartWorker(WorkerOptions{L"DownloadItemWorkerTest", false},
                           [start] { return DownloadItemThread(start); });
    }
    // Runs the row's worker to its end; its exit code.
    DWORD RunItem(int row) {
        size_t recordIndex = 0;
        CWorkerThread worker = StartItem(row, recordIndex);
        EXPECT_TRUE(PumpMessagesUntil([&] { return !worker.IsRunning(); }, 60000));
        return worker.GetExitCode();
    }

    std::wstring Cell(int row, int column) const { return GetListItemText(m_list, row, column); }
    WORD Status(int row) const { return GetItemStatusOf(GetListItemParam(m_list, row)); }
    WORD Flags(int row) const { return GetItemFlagsOf(GetListItemParam(m_list, row)); }
    // The status texts written so far, a text repeated at once shown once.
    static std::vector<std::wstring> StatusSequence() {
        std::vector<std::wstring> out;
        for (const auto& text : g_statusTexts) {
            if (out.empty() || out.back() != text) {
                out.push_back(text);
            }
        }
        return out;
    }
    size_t CountRequests(const std::wstring& method, const std::wstring& prefix) const {
        size_t count = 0;
        for (const auto& request : m_fake.Requests()) {
            count += request.method == method && request.path.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
        }
        return count;
    }
    void SetVideoMode(const std::wstring& query) {
        std::wstring reply;
        ASSERT_TRUE(GetURLData(reply, m_fake.BaseUrl() + L"_fake/video-mode?" + query)) << query;
    }
    static bool LogHas(const std::wstring& text) {
        return testing_support::WindowText(DebugLog().GetEditControl()).find(text) != std::wstring::npos;
    }
    static unsigned long long FileSize(const std::wstring& path) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
            return 0;
        }
        return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    static std::string VideoBytes(size_t size) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>(i % 251);
        }
        return bytes;
    }
    std::wstring VideoPath() const { return PathOf(std::wstring(kVideoTitle) + L"(sm19).flv"); }

    // Pumps until the row's video transfer shows progress.
    bool WaitForTransfer(int row) {
        return PumpMessagesUntil(
            [&] { return Status(row) == kDownloadStatusVideo && !Cell(row, kDownloadColumnPercent).empty(); }, 30000);
    }

    testing_support::FakeService m_fake;
    HWND m_owner = nullptr;
    HWND m_list = nullptr;

private:
    std::vector<size_t> m_records;
    HWND m_savedMain = nullptr;
    AppSettings m_savedApp;
    DownloadSettings m_savedSettings;
    DownloadFileNameFormats m_savedFormats;
    std::vector<std::wstring> m_savedExcept;
};

} // namespace

TEST_F(DownloadItemWorkerTest, ACommentsOnlyRowLogsInGetsItsCommentsAndEndsDoneAndUnticked) {
    GetDownloadSettings().CommentGetOwner = true;
    const int row = AddRow(L"sm19", kDownloadKindBase | kDownloadKindComments);

    EXPECT_EQ(RunItem(row), 1u);

    const std::vector<std::wstring> expected = {L"URLにアクセス中...", L"タイトル取得中...", L"ダウンロード中(xml)...",
                                                L"×", L"完了"};
    EXPECT_EQ(StatusSequence(), expected);
    EXPECT_FALSE(IsDownloadRowTicked(m_list, row));
    EXPECT_EQ(Status(row), kDownloadStatusDone);
    EXPECT_EQ(Flags(row), kDownloadKindBase | kDownloadKindCompleted);
    EXPECT_EQ(Cell(row, kDownloadColumnTitle), kVideoTitle);
    // Logged in once, by the account of the settings; nothing but the comments was fetched.
    EXPECT_EQ(CountRequests(L"POST", L"/secure/login"), 1u);
    EXPECT_EQ(CountRequests(L"GET", L"/smile"), 0u);
    EXPECT_EQ(CountRequests(L"GET", L"/thumb"), 0u);
    // The uploader's comments came too; the row points at the ordinary file.
    std::vector<std::wstring> files;
    EnumerateFiles(Folder(), L"*.xml", files, true, false, false);
    EXPECT_EQ(files.size(), 2u);
    const std::wstring commentPath = Cell(row, kDownloadColumnCommentPath);
    EXPECT_TRUE(FileExists(commentPath)) << commentPath;
    EXPECT_EQ(commentPath.find(L"[Owner]"), std::wstring::npos) << commentPath;
    EXPECT_NE(ReadBytes(commentPath).find("最初のコメント"), std::string::npos);
    EXPECT_GE(g_saveNotices, 1);
}

TEST_F(DownloadItemWorkerTest, ADoneRowIsDeletedIntoTheExceptListUnlessItIsAnEconomyRowKept) {
    struct Case {
        WORD extraFlags;
        bool removed;
        std::vector<std::wstring> exceptLines;
    };
    const Case cases[] = {
        {0, true, {std::wstring(L"sm19\t# ") + kVideoTitle}},
        {kDownloadKindEconomy, false, {}},
    };
    DownloadSettings& settings = GetDownloadSettings();
    settings.DeleteDownCompItem = true;
    settings.AddExcept = true;
    settings.EconomyNotDelete = true;
    settings.CommentGetOwner = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extraFlags);
        ListView_DeleteAllItems(m_list);
        GetDownloadExceptList().Replace({});
        AddRow(L"sm1", kDownloadKindBase);
        const int row = AddRow(L"sm19", kDownloadKindBase | kDownloadKindComments | c.extraFlags);

        EXPECT_EQ(RunItem(row), 1u);

        EXPECT_EQ(ListView_GetItemCount(m_list), c.removed ? 1 : 2);
        EXPECT_EQ(Cell(0, kDownloadColumnId), L"sm1");
        EXPECT_EQ(GetDownloadExceptList().Snapshot(), c.exceptLines);
    }
}

TEST_F(DownloadItemWorkerTest, FailedRowsEndUntickedAsErrorsOrCancelledKeepingWhatTheyStillWant) {
    const std::wstring placeholder = DownloadTitlePlaceholder();
    struct Case {
        const wchar_t* id;
        const wchar_t* pass;
        bool refuseEconomy;
        const wchar_t* logLine;
        std::wstring title;
        const wchar_t* status;
        WORD flags;
    };
    const Case cases[] = {
        // The page has no title and the row none of its own.
        {L"sm13", kPass, false, L"GetTitle() : empty", placeholder, L"エラー(情報ｳｨﾝﾄﾞｳ参照)",
         kDownloadKindBase | kDownloadKindVideo},
        // A refused login is tried once, not again and again.
        {L"sm19", L"wrong", false, L"Error : Login()", placeholder, L"エラー(情報ｳｨﾝﾄﾞｳ参照)",
         kDownloadKindBase | kDownloadKindVideo},
        // A refused economy video ends the row as cancelled.
        {L"sm12", kPass, true, L"エコノミーモードの動画のダウンロードをキャンセルしました : ", L"エコノミーの動画",
         L"キャンセル", kDownloadKindBase | kDownloadKindVideo | kDownloadKindEconomy},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        ListView_DeleteAllItems(m_list);
        SetWindowTextW(DebugLog().GetEditControl(), L"");
        InternetSetCookieW(m_fake.BaseUrl().c_str(), nullptr, L"user_session=; expires=Sat, 01-Jan-2000 00:00:00 GMT");
        const size_t loginsBefore = CountRequests(L"POST", L"/secure/login");
        GetDownloadSettings().Pass = c.pass;
        GetDownloadSettings().LowVideoNoDownload = c.refuseEconomy;
        const int row = AddRow(c.id, kDownloadKindBase | kDownloadKindVideo);

        EXPECT_EQ(RunItem(row), 0u);

        EXPECT_EQ(Cell(row, kDownloadColumnTitle), c.title);
        EXPECT_EQ(Cell(row, kDownloadColumnStatus), c.status);
        EXPECT_FALSE(IsDownloadRowTicked(m_list, row));
        // The video never came, so the row still wants it.
        EXPECT_EQ(Flags(row), c.flags);
        EXPECT_EQ(CountRequests(L"POST", L"/secure/login") - loginsBefore, 1u);
        EXPECT_TRUE(LogHas(c.logLine));
    }
    EXPECT_EQ(CountRequests(L"GET", L"/smile"), 0u);
}

TEST_F(DownloadItemWorkerTest, APausedTransferWaitsShowingPausedAndResumesToTheExactFile) {
    SetVideoMode(L"piece=32768&delay_ms=50");
    const int row = AddRow(L"sm19", kDownloadKindBase | kDownloadKindVideo);
    size_t recordIndex = 0;
    CWorkerThread worker = StartItem(row, recordIndex);
    ASSERT_TRUE(WaitForTransfer(row));

    // What the window does when the row is unticked.
    WorkerThreadRecord& record = GetWorkerThread(recordIndex);
    {
        CAutoLock guard = LockWorkerThreads();
        record.pausedFromStatus = Status(row);
        SetDownloadItemStatus(m_list, kDownloadStatusPaused, row);
        record.signals->paused = true;
    }
    // The chunk being read (up to 256 KB, some 0.4 s at this pace) may still land; after that nothing moves.
    PumpMessagesFor(1500);
    const std::wstring percent = Cell(row, kDownloadColumnPercent);
    const unsigned long long size = FileSize(VideoPath() + L".part");
    PumpMessagesFor(1500);
    EXPECT_EQ(Cell(row, kDownloadColumnPercent), percent);
    EXPECT_EQ(FileSize(VideoPath() + L".part"), size);
    EXPECT_LT(size, kVideoSize);
    EXPECT_EQ(Cell(row, kDownloadColumnStatus), L"一時停止中");
    EXPECT_TRUE(worker.IsRunning());

    // And ticked again.
    {
        CAutoLock guard = LockWorkerThreads();
        SetDownloadItemStatus(m_list, record.pausedFromStatus, row);
        record.signals->paused = false;
    }
    EXPECT_EQ(Cell(row, kDownloadColumnStatus), L"ダウンロード中(動画)...");
    ASSERT_TRUE(PumpMessagesUntil([&] { return !worker.IsRunning(); }, 60000));
    EXPECT_EQ(worker.GetExitCode(), 1u);
    EXPECT_EQ(Status(row), kDownloadStatusDone);
    EXPECT_EQ(Cell(row, kDownloadColumnVideoPath), VideoPath());
    EXPECT_TRUE(ReadBytes(VideoPath()) == VideoBytes(kVideoSize));
    EXPECT_EQ(CountRequests(L"GET", L"/smile"), 1u);
}

TEST_F(DownloadItemWorkerTest, ACancelledTransferEndsFreesItsFileWritesNothingAndTheRequeuedRowResumesIt) {
    SetVideoMode(L"piece=32768&delay_ms=50");
    const int row = AddRow(L"sm19", kDownloadKindBase | kDownloadKindVideo);
    size_t recordIndex = 0;
    CWorkerThread worker = StartItem(row, recordIndex);
    ASSERT_TRUE(WaitForTransfer(row));

    CancelAsTheWindowDoes(recordIndex, row);

    ASSERT_TRUE(PumpMessagesUntil([&] { return !worker.IsRunning(); }, 10000));
    EXPECT_EQ(worker.GetExitCode(), 0u);
    PumpMessagesFor(300);
    EXPECT_EQ(Cell(row, kDownloadColumnStatus), L"キャンセル");
    EXPECT_EQ(Cell(row, kDownloadColumnSize), L"");
    EXPECT_EQ(Cell(row, kDownloadColumnPercent), L"");
    EXPECT_EQ(Flags(row), kDownloadKindBase | kDownloadKindVideo);
    // Nobody holds the partial file any more: it opens for writing, unshared. Its first bytes are
    // marked, so that the finished file shows whether the next worker went on from the part.
    const std::wstring part = VideoPath() + L".part";
    ASSERT_GT(FileSize(part), 4u);
    EXPECT_LT(FileSize(part), kVideoSize);
    {
        CFileHandle file(CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file) << GetLastError();
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.Get(), "MARK", 4, &written, nullptr));
    }

    // Ticked again, the queue gives the row a new worker, which resumes the part.
    SetDownloadItemStatus(m_list, kDownloadStatusWaiting, row);
    SetDownloadRowTicked(m_list, row, true);
    EXPECT_EQ(RunItem(row), 1u);
    EXPECT_EQ(Status(row), kDownloadStatusDone);
    EXPECT_TRUE(ReadBytes(VideoPath()) == "MARK" + VideoBytes(kVideoSize).substr(4));
    EXPECT_FALSE(FileExists(part));
}

TEST_F(DownloadItemWorkerTest, CallbacksMapTheClientsEventsOntoTheRecordsRow) {
    AddRow(L"sm1", kDownloadKindBase);
    const int row = AddRow(L"sm19", kDownloadKindBase | kDownloadKindVideo);
    SetDownloadItemStatus(m_list, kDownloadStatusConnecting, row);
    const size_t recordIndex = AddRunningRecord(row);
    CGetVelaFlvCB video(m_list, recordIndex);
    CGetVelaXmlCB comments(m_list, recordIndex);

    struct Case {
        CGetVelaProcessCB* callback;
        int code;
        const wchar_t* text;
        const wchar_t* status;
        const wchar_t* size;
        const wchar_t* percent;
        const wchar_t* videoPath;
        const wchar_t* commentPath;
        WORD economy;
    };
    const Case cases[] = {
        // The first progress with a size moves the row from connecting to downloading.
        {&video, 37, L"370/1000", L"ダウンロード中(動画)...", L"370/1000", L"37%", L"", L"", 0},
        {&video, -6, L"", L"ダウンロード中(動画)...", L"370/1000", L"37%", L"", L"", kDownloadKindEconomy},
        {&video, -5, L"", L"ダウンロード中(動画)...", L"370/1000", L"37%", L"", L"", 0},
        {&video, -4, L"", L"ダウンロード中(動画)...", L"370/1000", L"37%", L"", L"", 0},
        {&video, -4, L"C:\\v.flv", L"ダウンロード中(動画)...", L"370/1000", L"37%", L"C:\\v.flv", L"", 0},
        // A stopped transfer cancels the row and keeps the size it reached.
        {&video, -2, L"", L"キャンセル", L"370/1000", L"", L"C:\\v.flv", L"", 0},
        {&comments, 12, L"x", L"キャンセル", L"370/1000", L"12%", L"C:\\v.flv", L"", 0},
        {&comments, -6, L"", L"キャンセル", L"370/1000", L"12%", L"C:\\v.flv", L"", 0},
        {&comments, -4, L"C:\\c.xml", L"キャンセル", L"370/1000", L"12%", L"C:\\v.flv", L"C:\\c.xml", 0},
        {&comments, -4, L"", L"キャンセル", L"370/1000", L"12%", L"C:\\v.flv", L"", 0},
        {&comments, -1, L"", L"キャンセル", L"370/1000", L"", L"C:\\v.flv", L"", 0},
        {&video, -7, L"", L"キャンセル", L"370/1000", L"", L"C:\\v.flv", L"", 0},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        c.callback->OnEvent(c.code, c.text);
        EXPECT_EQ(Cell(row, kDownloadColumnStatus), c.status);
        EXPECT_EQ(Cell(row, kDownloadColumnSize), c.size);
        EXPECT_EQ(Cell(row, kDownloadColumnPercent), c.percent);
        EXPECT_EQ(Cell(row, kDownloadColumnVideoPath), c.videoPath);
        EXPECT_EQ(Cell(row, kDownloadColumnCommentPath), c.commentPath);
        EXPECT_EQ(Flags(row) & kDownloadKindEconomy, c.economy);
    }
    // The stopped transfer's flag covered only the notices of its own write.
    EXPECT_FALSE(DownloadSkipNextCheckChange());
    // The deleted video's row, once the worker fails it, says so.
    EXPECT_TRUE(IsDownloadItemDeleted(m_list, row));
    FailDownloadItem(row, m_list);
    EXPECT_EQ(Cell(row, kDownloadColumnStatus), L"エラー(削除済み)");

    // While paused the row keeps showing it; the status set then is the one the resume shows.
    SetDownloadItemStatus(m_list, kDownloadStatusPaused, row);
    GetWorkerThread(recordIndex).signals->paused = true;
    SetRecordRowStatus(m_list, recordIndex, row, kDownloadStatusThumbnail);
    EXPECT_EQ(Status(row), kDownloadStatusPaused);
    EXPECT_EQ(GetWorkerThread(recordIndex).pausedFromStatus, kDownloadStatusThumbnail);
    EXPECT_EQ(GetRecordRowStatus(m_list, recordIndex, row), kDownloadStatusThumbnail);
    GetWorkerThread(recordIndex).signals->paused = false;

    // A transfer stopped just as the user pauses the row (after the callback looked at the signals): the
    // row keeps its pause, the resume brings back the cancel, and no flag is left to swallow the click
    // that resumes it.
    SetDownloadItemStatus(m_list, kDownloadStatusVideo, row);
    g_beforeTextWrite = [&](const LVITEMW& item) {
        if (item.iSubItem == kDownloadColumnPercent && Status(row) != kDownloadStatusPaused) {
            CAutoLock guard = LockWorkerThreads();
            GetWorkerThread(recordIndex).pausedFromStatus = Status(row);
            SetDownloadItemStatus(m_list, kDownloadStatusPaused, row);
            GetWorkerThread(recordIndex).signals->paused = true;
        }
    };
    video.OnEvent(-2, L"");
    g_beforeTextWrite = nullptr;
    EXPECT_EQ(Status(row), kDownloadStatusPaused);
    EXPECT_EQ(GetWorkerThread(recordIndex).pausedFromStatus, kDownloadStatusCancelled);
    EXPECT_FALSE(DownloadSkipNextCheckChange());
    GetWorkerThread(recordIndex).signals->paused = false;

    // A cancelled record's callback stops the download and writes nothing.
    GetWorkerThread(recordIndex).signals->cancelled = true;
    EXPECT_THROW(video.OnEvent(50, L"500/1000"), DownloadItemEnded);
    EXPECT_EQ(Cell(row, kDownloadColumnSize), L"370/1000");
    EXPECT_EQ(Cell(0, kDownloadColumnSize), L"");
}

TEST_F(DownloadItemWorkerTest, AFileOfTheVideoGivesItsTitleAndTheUploadersFilterBringsTheInformation) {
    DownloadSettings& settings = GetDownloadSettings();
    settings.TitleFixEnable = true;
    settings.VideoInfoSaveFilter = true;
    settings.VideoInfoSaveFilterAlways = true;
    const std::wstring oldVideo = PathOf(L"古いタイトル(sm19).flv");
    WriteBytes(oldVideo, "old");
    const int row = AddRow(L"sm19", kDownloadKindBase | kDownloadKindVideo);

    EXPECT_EQ(RunItem(row), 1u);

    EXPECT_EQ(Cell(row, kDownloadColumnTitle), L"古いタイトル");
    EXPECT_EQ(GetItemOption(m_list, row, L"raw_title="), kVideoTitle);
    EXPECT_TRUE(LogHas(std::wstring(L"タイトル修正 : ") + kVideoTitle + L" -> 古いタイトル"));
    // The later steps saw the file's title: the video is the file already there, and the information
    // (saved for the uploader's filter though the row did not ask for it) keeps the service's title.
    EXPECT_TRUE(LogHas(L"フィルタが設定されているので動画情報を保存します : sm19"));
    EXPECT_EQ(CountRequests(L"GET", L"/smile"), 0u);
    EXPECT_EQ(ReadBytes(oldVideo), "old");
    EXPECT_EQ(Cell(row, kDownloadColumnVideoPath), oldVideo);
    const CSectionFile info(PathOf(L"古いタイトル(sm19).txt"));
    EXPECT_EQ(info.ReadSectionValue(L"title", L"(none)"), kVideoTitle);
    EXPECT_EQ(info.ReadSectionValue(L"filter", L"(none)"), L"あ=い\nう=え");
    EXPECT_EQ(Status(row), kDownloadStatusDone);
}

TEST_F(DownloadItemWorkerTest, AFinishedRowGoesToThePlaylistOnlyWithAFileAndAfterExitClosesOnceTheRowHasEnded) {
    SetMainWindow(m_owner);
    const int withFile = AddRow(L"sm19", kDownloadKindBase | kDownloadKindComments | kDownloadKindPlaylist);
    const int nothingSaved = AddRow(L"nm10", kDownloadKindBase | kDownloadKindPlaylist, L"-afterexit");

    EXPECT_EQ(RunItem(withFile), 1u);
    ASSERT_EQ(g_playlistAdds.size(), 1u);
    EXPECT_EQ(g_playlistAdds[0].first, Cell(withFile, kDownloadColumnCommentPath));
    EXPECT_EQ(g_playlistAdds[0].second, 1);
    EXPECT_EQ(Flags(withFile) & kDownloadKindPlaylist, 0);

    size_t recordIndex = 0;
    CWorkerThread worker = StartItem(nothingSaved, recordIndex);
    ASSERT_TRUE(PumpMessagesUntil([&] { return Status(nothingSaved) == kDownloadStatusDone; }, 30000));
    // The row has ended and its record is free while the worker still waits to close the program.
    EXPECT_EQ(g_closeRequests, 0);
    EXPECT_EQ(GetWorkerThread(recordIndex).state, WorkerThreadRecord::kFree);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !worker.IsRunning(); }, 10000));
    PumpMessagesUntil([] { return g_closeRequests > 0; }, 1000);
    EXPECT_EQ(g_closeRequests, 1);
    EXPECT_TRUE(LogHas(L"-afterexit ..."));
    EXPECT_EQ(g_playlistAdds.size(), 1u);
    EXPECT_EQ(Flags(nothingSaved) & kDownloadKindPlaylist, 0);
}

TEST_F(DownloadItemWorkerTest, ThePageThatStillAsksForTheLoginAfterOneFailsTheLoginCheck) {
    const int row = AddRow(m_fake.BaseUrl() + L"_fake/always-login", kDownloadKindBase | kDownloadKindVideo);
    const size_t recordIndex = AddRunningRecord(row);
    std::wstring page;
    ASSERT_TRUE(OpenItemUrl(m_list, recordIndex, page));

    EXPECT_FALSE(CheckLoginInfo(m_list, recordIndex, page, false));

    EXPECT_EQ(CountRequests(L"POST", L"/secure/login"), 1u);
    EXPECT_EQ(CountRequests(L"GET", L"/_fake/always-login"), 2u);
    const std::wstring log = testing_support::WindowText(DebugLog().GetEditControl());
    const std::wstring line = L"ログイン状態を確認できませんでした";
    const size_t first = log.find(line);
    ASSERT_NE(first, std::wstring::npos);
    EXPECT_NE(log.find(line, first + line.size()), std::wstring::npos);
    EXPECT_TRUE(LogHas(L"ログインに成功しました"));
}

TEST_F(DownloadItemWorkerTest, AVideoRowGetsItsInformationVideoAndThumbnailAndAddsItsAccompanyingVideosBesideIt) {
    GetDownloadSettings().DownBGMs = true;
    const int row = AddRow(L"sm19", kDownloadKindBase | kDownloadKindVideo | kDownloadKindInfo |
                                        kDownloadKindThumbnail | kDownloadKindPlay);

    EXPECT_EQ(RunItem(row), 1u);

    const std::vector<std::wstring> expected = {L"URLにアクセス中...",
                                                L"タイトル取得中...",
                                                L"動画情報取得中...",
                                                L"動画データに接続中...",
                                                L"ダウンロード中(動画)...",
                                                L"サムネイル取得中...",
                                                L"×",
                                                L"完了"};
    EXPECT_EQ(StatusSequence(), expected);
    EXPECT_EQ(Flags(row), kDownloadKindBase | kDownloadKindCompleted);
    EXPECT_TRUE(ReadBytes(VideoPath()) == VideoBytes(kVideoSize));
    EXPECT_EQ(Cell(row, kDownloadColumnSize), L"1000003/1000003");
    EXPECT_EQ(Cell(row, kDownloadColumnPercent), L"100%");
    EXPECT_EQ(CSectionFile(PathOf(std::wstring(kVideoTitle) + L"(sm19).txt")).ReadSectionValue(L"name", L""), L"sm19");
    EXPECT_TRUE(FileExists(PathOf(std::wstring(kVideoTitle) + L"(sm19).jpg")));
    // Waiting video rows saved next to the video, in the page's order.
    ASSERT_EQ(g_addedRows.size(), 2u);
    const std::wstring folder = Folder() + L"\\";
    EXPECT_EQ(g_addedRows[0].first, (std::vector<std::wstring>{m_fake.BaseUrl() + L"watch/sm100", folder}));
    EXPECT_EQ(g_addedRows[1].first, (std::vector<std::wstring>{m_fake.BaseUrl() + L"watch/nm200", folder}));
    EXPECT_EQ(g_addedRows[0].second, 0x10003);
    EXPECT_TRUE(LogHas(L"@CM, @BGM検索中..."));
    EXPECT_TRUE(LogHas(L"追加 : " + m_fake.BaseUrl() + L"watch/nm200"));
}

TEST_F(DownloadItemWorkerTest, AMissingAccountIsAskedForOnceAndNeverSentEmpty) {
    struct Case {
        bool entered; // the user enters the account in the sheet the login opens
        DWORD exitCode;
        const wchar_t* status;
        size_t logins;
    };
    const Case cases[] = {
        {true, 1, L"完了", 1},
        // Closed without it: the row fails asking for it, and no login goes out.
        {false, 0, L"エラー(情報ｳｨﾝﾄﾞｳ参照)", 0},
    };
    GetDownloadSettings().CommentGetOwner = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entered);
        ListView_DeleteAllItems(m_list);
        SetWindowTextW(DebugLog().GetEditControl(), L"");
        InternetSetCookieW(m_fake.BaseUrl().c_str(), nullptr, L"user_session=; expires=Sat, 01-Jan-2000 00:00:00 GMT");
        GetDownloadSettings().Mail.clear();
        GetDownloadSettings().Pass.clear();
        int sheets = 0;
        g_onSettings = [&] {
            ++sheets;
            if (c.entered) {
                GetDownloadSettings().Mail = kMail;
                GetDownloadSettings().Pass = kPass;
            }
        };
        const size_t loginsBefore = CountRequests(L"POST", L"/secure/login");
        testing_support::MessageBoxAnswerer answerer({IDOK});
        const int row = AddRow(L"sm19", kDownloadKindBase | kDownloadKindComments);

        EXPECT_EQ(RunItem(row), c.exitCode);

        EXPECT_EQ(sheets, 1);
        const auto seen = answerer.Seen();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].text, L"ログイン情報を入力して下さい。");
        EXPECT_EQ(Cell(row, kDownloadColumnStatus), c.status);
        EXPECT_EQ(CountRequests(L"POST", L"/secure/login") - loginsBefore, c.logins);
        EXPECT_EQ(LogHas(L"ログイン情報を入力して下さい。"), !c.entered);
    }
}

TEST_F(DownloadItemWorkerTest, ACancelEndsTheWorkerWhileItWaitsForTheAccountOrForTheNextThumbnailAttempt) {
    SetMainWindow(m_owner);
    struct Case {
        const wchar_t* id;
        WORD kinds;
        const wchar_t* waitingLine; // logged just before the worker waits
    };
    const Case cases[] = {
        // The API data says the login lapsed, and another row's settings sheet is open without the account.
        {L"sm16", kDownloadKindBase | kDownloadKindVideo, L"ログインしていません"},
        // The thumbnail host is busy: the next attempt is 5 s away.
        {L"sm19", kDownloadKindBase | kDownloadKindThumbnail, L"Error : DownloadThumbnail() HTTP 503"},
    };
    // Logged in already, so that the watch pages need no account.
    std::wstring reply;
    ASSERT_TRUE(GetURLData(reply, m_fake.BaseUrl() + L"secure/login"));
    GetDownloadSettings().Mail.clear();
    GetDownloadSettings().Pass.clear();
    ASSERT_TRUE(GetURLData(reply, m_fake.BaseUrl() + L"_fake/thumbnail-mode?fail=1&times=4"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        ListView_DeleteAllItems(m_list);
        SetWindowTextW(DebugLog().GetEditControl(), L"");
        g_sheetOpen = true;
        const int row = AddRow(c.id, c.kinds);
        size_t recordIndex = 0;
        CWorkerThread worker = StartItem(row, recordIndex);
        ASSERT_TRUE(PumpMessagesUntil([&] { return LogHas(c.waitingLine); }, 30000));

        CancelAsTheWindowDoes(recordIndex, row);

        EXPECT_TRUE(PumpMessagesUntil([&] { return !worker.IsRunning(); }, 2000));
        EXPECT_EQ(worker.GetExitCode(), 0u);
        EXPECT_EQ(Cell(row, kDownloadColumnStatus), L"キャンセル");
        EXPECT_EQ(Flags(row), c.kinds);
        // A worker still polling ends once the sheet is gone.
        g_sheetOpen = false;
        PumpMessagesUntil([&] { return !worker.IsRunning(); }, 10000);
    }
    EXPECT_EQ(CountRequests(L"POST", L"/secure/login"), 0u);
}

TEST_F(DownloadItemWorkerTest, WithoutApiDataOnlyTheStepsThatNeedItFail) {
    // The login the lapsed API data asks for reads the account through the main window.
    SetMainWindow(m_owner);
    const std::wstring info = PathOf(std::wstring(kVideoTitle) + L"(sm16).txt");
    const std::wstring thumbnail = PathOf(std::wstring(kVideoTitle) + L"(sm16).jpg");
    struct Case {
        WORD kinds;
        DWORD exitCode;
        WORD kindsLeft;
        bool thumbnailSaved;
    };
    const Case cases[] = {
        {kDownloadKindInfo | kDownloadKindThumbnail, 1, kDownloadKindCompleted, true},
        // The comments need the API data's message server; the thumbnail after them is not reached.
        {kDownloadKindInfo | kDownloadKindComments | kDownloadKindThumbnail, 0,
         kDownloadKindComments | kDownloadKindThumbnail, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kinds);
        ListView_DeleteAllItems(m_list);
        SetWindowTextW(DebugLog().GetEditControl(), L"");
        DeleteFileW(info.c_str());
        DeleteFileW(thumbnail.c_str());
        const int row = AddRow(L"sm16", kDownloadKindBase | c.kinds);

        EXPECT_EQ(RunItem(row), c.exitCode);

        EXPECT_TRUE(LogHas(L"ログイン状態の再確認に失敗しました。"));
        EXPECT_EQ(Flags(row), kDownloadKindBase | c.kindsLeft);
        EXPECT_EQ(CSectionFile(info).ReadSectionValue(L"name", L""), L"sm16");
        EXPECT_EQ(FileExists(thumbnail), c.thumbnailSaved);
    }
}

TEST_F(DownloadItemWorkerTest, AccompanyingVideosStopBeingAddedOnceTheRowIsCancelled) {
    const int row = AddRow(L"sm19", kDownloadKindBase | kDownloadKindVideo);
    const size_t recordIndex = AddRunningRecord(row);
    const std::wstring page = L"<script>so.addVariable(\"bgms\", \"sm100%2Cnm200%2Csm300\");</script>";
    // The user cancels the row while its first accompanying video is being added.
    g_onAddRow = [&] {
        CAutoLock guard = LockWorkerThreads();
        WorkerThreadRecord& record = GetWorkerThread(recordIndex);
        record.state = WorkerThreadRecord::kAbandoned;
        record.rowIndex = -1;
        record.signals->cancelled = true;
    };

    EXPECT_THROW(SearchCmBgm(m_list, recordIndex, page, L"jp"), DownloadItemEnded);

    ASSERT_EQ(g_addedRows.size(), 1u);
    EXPECT_EQ(g_addedRows[0].first[0], m_fake.BaseUrl() + L"watch/sm100");
}
