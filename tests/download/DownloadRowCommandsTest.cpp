#include "CWndDownload/CWndDownload.h"

#include "CWndDownload/DownloadCommands.h"
#include "CWndDownload/DownloadListFile.h"
#include "CWndDownload/DownloadListRow.h"
#include "CWndDownload/DownloadResource.h"
#include "client/ServiceUrls.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/ListView.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/PathUtil.h"
#include "foundation/Regex.h"
#include "foundation/TextFile.h"
#include "foundation/WindowUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

using namespace testing_support;

namespace {

const wchar_t kStandInClass[] = L"VelaDownloadCommandsTestMain";

// The main window as the download window's commands meet it: it forwards the download block and
// records what the commands hand to the player and the playlist.
class StandInMainWindow {
public:
    explicit StandInMainWindow(CWndDownload& download) : m_download(download) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &StandInMainWindow::Procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kStandInClass;
        RegisterClassW(&wc);
        m_window = CreateWindowW(kStandInClass, L"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_savedMain = GetMainWindow();
        SetMainWindow(m_window);
    }
    ~StandInMainWindow() {
        SetMainWindow(m_savedMain);
        DestroyWindow(m_window);
    }
    HWND Handle() const { return m_window; }

    std::vector<std::wstring> commandLines;                     // WM_COPYDATA
    std::vector<std::wstring> playlistFiles;                    // 38865
    std::vector<std::pair<std::wstring, std::wstring>> renamed; // 38894

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<StandInMainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self == nullptr) {
            return DefWindowProcW(window, message, wParam, lParam);
        }
        if (message >= kDownloadBlock && message < kDownloadBlock + kBlockSize) {
            return SendMessageW(self->m_download.GetHandle(), message, wParam, lParam);
        }
        switch (message) {
        case kMsgLogLine:
            DebugLog() << reinterpret_cast<const wchar_t*>(wParam) << EndLine;
            return 0;
        case WM_COPYDATA: {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            self->commandLines.emplace_back(static_cast<const wchar_t*>(data->lpData));
            return 1;
        }
        case kMsgPlaylistAddFile:
            self->playlistFiles.emplace_back(reinterpret_cast<const wchar_t*>(wParam));
            return 1;
        case kMsgPlaylistRenamePath:
            self->renamed.emplace_back(reinterpret_cast<const wchar_t*>(wParam),
                                       reinterpret_cast<const wchar_t*>(lParam));
            return 0;
        case kMsgPlaylistListHandle:
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    CWndDownload& m_download;
    HWND m_window = nullptr;
    HWND m_savedMain = nullptr;
};

// A row as the tests lay it out.
struct TestRow {
    TestRow(std::wstring key, WORD status = kDownloadStatusWaiting, WORD flags = kDownloadKindBase | kDownloadKindVideo,
            std::wstring title = L"", std::wstring videoPath = L"", std::wstring addData = L"",
            std::wstring folder = L"")
        : key(std::move(key)), status(status), flags(flags), title(std::move(title)), videoPath(std::move(videoPath)),
          addData(std::move(addData)), folder(std::move(folder)) {}
    std::wstring key;
    WORD status;
    WORD flags;
    std::wstring title;
    std::wstring videoPath;
    std::wstring addData;
    std::wstring folder; // empty: the test's folder
};

// An HDROP of the paths, as the shell hands it with WM_DROPFILES.
HDROP MakeDrop(const std::vector<std::wstring>& paths) {
    std::wstring list;
    for (const std::wstring& path : paths) {
        list += path;
        list += L'\0';
    }
    list += L'\0';
    const size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

std::wstring ClipboardText() {
    std::wstring text;
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            text = static_cast<const wchar_t*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
    }
    return text;
}

// A download item worker as the list knows it: a record on a row, with a thread that only waits.
class StandInWorker {
public:
    explicit StandInWorker(int row) : m_release(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        HANDLE release = m_release.Get();
        WorkerThreadRecord record;
        record.thread =
            StartWorker(WorkerOptions{L"stand-in item worker"}, [release] { WaitForSingleObject(release, INFINITE); });
        record.rowIndex = row;
        record.state = WorkerThreadRecord::kRunning;
        m_record = &AddWorkerThread(record);
    }
    ~StandInWorker() {
        m_record->state = WorkerThreadRecord::kAbandoned;
        m_record->rowIndex = -1;
        SetEvent(m_release.Get());
        m_record->thread.Wait(5000);
    }
    WorkerThreadRecord& Record() { return *m_record; }
    bool Paused() const { return m_record->signals->paused; }
    bool Cancelled() const { return m_record->signals->cancelled; }
    // The thread's suspend count: a worker is never suspended.
    DWORD SuspendCount() {
        CKernelHandle thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, m_record->thread.GetThreadId()));
        const DWORD count = thread ? SuspendThread(thread.Get()) : static_cast<DWORD>(-1);
        if (thread) {
            ResumeThread(thread.Get());
        }
        return count;
    }

private:

    CKernelHandle m_release;
    WorkerThreadRecord* m_record = nullptr;
};

class DownloadRowCommandsTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        m_savedApp = GetAppSettings();
        m_savedDownload = GetDownloadSettings();
        m_savedDoor = GetDownloadShellDoor();
        GetAppSettings().programFolder = Folder();
        GetAppSettings().settingsDatPath = PathOf(L"settings.dat");
        // The queue starts no work on the rows these tests add (it has tests of its own).
        GetAppSettings().OfflineMode = true;
        GetDownloadExceptList().Replace({});
        GetDownloadShellDoor().execute = [this](const std::wstring& line) {
            opened.push_back(line);
            return true;
        };
        GetDownloadShellDoor().openUrl = [this](const std::wstring& url) {
            opened.push_back(L"url " + url);
            return true;
        };
        ClearLog();
        m_main = std::make_unique<StandInMainWindow>(m_window);
        m_window.Init(L"VelaPlayer", PathOf(L"velaplayer.ini"), m_main->Handle());
        ASSERT_TRUE(m_window.Show(SW_HIDE));
        ASSERT_TRUE(PumpMessagesUntil([&] { return m_window.IsListLoaded(); }));
        // The window has read its settings by now.
        GetDownloadSettings().ListAutoSave = false;
        GetDownloadSettings().SavePath = Folder();
    }
    void TearDown() override {
        m_window.Destroy();
        m_main.reset();
        GetAppSettings() = m_savedApp;
        GetDownloadSettings() = m_savedDownload;
        GetDownloadShellDoor() = m_savedDoor;
        GetDownloadExceptList().Replace({});
        TempFolderTest::TearDown();
    }

    HWND Window() const { return m_window.GetHandle(); }
    HWND List() const { return m_window.GetListView(); }
    HWND UrlBox() const { return GetDlgItem(Window(), IDC_DOWNLOAD_URL); }

    // Shows the window in front, for the commands that need the focus or the screen.
    void ShowInFront() {
        ShowWindow(Window(), SW_SHOW);
        SetForegroundWindow(Window());
        SetWindowPos(Window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        PumpMessagesFor(50);
    }

    void SetRows(const std::vector<TestRow>& rows) {
        ListView_DeleteAllItems(List());
        // The rows go in whatever an earlier case put into the except list.
        const std::vector<std::wstring> except = GetDownloadExceptList().Snapshot();
        GetDownloadExceptList().Replace({});
        struct Restore {
            std::vector<std::wstring> lines;
            ~Restore() { GetDownloadExceptList().Replace(lines); }
        } restore{except};
        for (const TestRow& row : rows) {
            const std::vector<std::wstring> add = {row.addData.empty() ? row.key : row.key + L" " + row.addData,
                                                   row.folder.empty() ? Folder() : row.folder};
            // The adding gate refuses a row without a kind: such a row gets its flags after the add.
            const WORD kinds = kDownloadKindVideo | kDownloadKindComments | kDownloadKindInfo | kDownloadKindThumbnail;
            const WORD addFlags = (row.flags & kinds) != 0 ? row.flags : (row.flags | kDownloadKindVideo);
            const DWORD flags = (static_cast<DWORD>(kDownloadStatusWaiting) << 16) | addFlags;
            ASSERT_EQ(SendMessageW(m_main->Handle(), kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&add), flags), 1);
            const int index = ListView_GetItemCount(List()) - 1;
            if (addFlags != row.flags) {
                MakeItemStateText(row.flags, List(), index);
            }
            SetListItemText(row.title, kDownloadColumnTitle, List(), index);
            SetListItemText(row.videoPath, kDownloadColumnVideoPath, List(), index);
            SetDownloadItemStatus(List(), row.status, index);
        }
    }
    std::vector<std::wstring> Keys() const {
        std::vector<std::wstring> keys;
        for (int row = 0; row < ListView_GetItemCount(List()); ++row) {
            keys.push_back(GetListItemText(List(), row, kDownloadColumnId));
        }
        return keys;
    }
    void Select(const std::vector<int>& rows) {
        ListView_SetItemState(List(), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        for (int row : rows) {
            ListView_SetItemState(List(), row, LVIS_SELECTED, LVIS_SELECTED);
        }
        if (!rows.empty()) {
            ListView_SetItemState(List(), rows.front(), LVIS_FOCUSED, LVIS_FOCUSED);
        }
    }
    std::vector<int> Selected() const { return GetSelectedListItems(List()); }
    void Command(UINT id) { SendMessageW(Window(), WM_COMMAND, id, 0); }
    bool Ticked(int row) const {
        return ListView_GetItemState(List(), row, LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
    }
    void SetTicked(int row, bool ticked) {
        ListView_SetItemState(List(), row, INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1), LVIS_STATEIMAGEMASK);
    }
    // A list notification as the list sends it.
    LRESULT Notify(UINT code) {
        NMHDR header = {List(), IDC_DOWNLOAD_LIST, code};
        SendMessageW(Window(), WM_NOTIFY, IDC_DOWNLOAD_LIST, reinterpret_cast<LPARAM>(&header));
        return GetWindowLongPtrW(Window(), DWLP_MSGRESULT);
    }
    POINT RowCenter(int row) const {
        RECT rect = {};
        ListView_GetItemRect(List(), row, &rect, LVIR_LABEL);
        return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }

    CWndDownload m_window;
    std::unique_ptr<StandInMainWindow> m_main;
    std::vector<std::wstring> opened;

private:
    AppSettings m_savedApp;
    DownloadSettings m_savedDownload;
    DownloadShellDoor m_savedDoor;
};

TEST_F(DownloadRowCommandsTest, RemovalsAskWhereTheyMust) {
    const std::wstring video = PathOf(L"題名2(sm102).mp4");
    const std::wstring comment = PathOf(L"題名2(sm102).xml");
    const WORD done = kDownloadStatusDone;
    const WORD economy = kDownloadKindVideo | kDownloadKindEconomy;
    const std::vector<TestRow> rows = {
        {L"sm101", kDownloadStatusWaiting, 0x3, L""},
        {L"sm102", done, 0x3, L"題名2", video},
        {L"sm103", kDownloadStatusWaiting, 0x3, L"題名3"},
        {L"sm104", done, economy, L"題名4"},
        {L"sm105", done, 0x3, L"題名5"},
    };
    const std::wstring withFiles =
        L"選択している項目の削除と関連するファイルをゴミ箱に移動します。\nよろしいですか？\n\n"
        L"※「関連するファイル」とは同じIDが名前に含まれるファイルです";
    const std::wstring exceptWithFiles =
        L"選択している項目と関連するファイルをコンピュータから削除します。\nよろしいですか"
        L"？\n\n※「関連するファイル」とは同じIDが名前に含まれるファイルです";
    const std::wstring economyQuestion =
        L"題名4\n\nエコノミーモードでダウンロードした動画です。\n項目を削除しますか？\n\n("
        L"※後から通常モードでダウンロードする"
        L"場合は項目を削除せず、チェックボックスをチェックし再ダウンロードする必要があります)";
    struct Case {
        const char* name;
        UINT command;
        std::vector<int> selected;
        std::vector<int> answers;
        std::vector<std::wstring> keys;
        std::vector<std::wstring> exceptLines;
        std::vector<std::wstring> questions;
        bool filesRemain;
    };
    const std::vector<std::wstring> all = {L"sm101", L"sm102", L"sm103", L"sm104", L"sm105"};
    const Case cases[] = {
        {"remove two", IDM_DL_REMOVE, {0, 2}, {}, {L"sm102", L"sm104", L"sm105"}, {}, {}, true},
        {"with files, answered No", IDM_DL_REMOVE_WITH_FILES, {1}, {IDNO}, all, {}, {withFiles}, true},
        {"with files",
         IDM_DL_REMOVE_WITH_FILES,
         {1},
         {IDYES},
         {L"sm101", L"sm103", L"sm104", L"sm105"},
         {},
         {withFiles},
         false},
        {"to the except list",
         IDM_DL_EXCEPT_REMOVE,
         {0, 4},
         {},
         {L"sm102", L"sm103", L"sm104"},
         {L"sm101\t# ", L"sm105\t# 題名5"},
         {},
         true},
        {"except with files, answered No",
         IDM_DL_EXCEPT_REMOVE_WITH_FILES,
         {1},
         {IDNO},
         all,
         {},
         {exceptWithFiles},
         true},
        {"except with files",
         IDM_DL_EXCEPT_REMOVE_WITH_FILES,
         {1},
         {IDYES},
         {L"sm101", L"sm103", L"sm104", L"sm105"},
         {L"sm102\t# 題名2"},
         {exceptWithFiles},
         false},
        {"an economy row kept",
         IDM_DL_REMOVE,
         {2, 3, 4},
         {IDNO},
         {L"sm101", L"sm102", L"sm104", L"sm105"},
         {},
         {economyQuestion},
         true},
        {"completed, economy kept",
         IDM_DL_REMOVE_COMPLETED,
         {},
         {IDNO},
         {L"sm101", L"sm103", L"sm104"},
         {},
         {economyQuestion},
         false},
        {"completed to the except list",
         IDM_DL_EXCEPT_REMOVE_COMPLETED,
         {},
         {IDYES},
         {L"sm101", L"sm103"},
         {L"sm102\t# 題名2", L"sm104\t# 題名4", L"sm105\t# 題名5"},
         {economyQuestion},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(video, "v");
        WriteBytes(comment, "c");
        WriteBytes(PathOf(L"別の題名(sm103).flv"), "v");
        SetRows(rows);
        SetListItemText(L"", kDownloadColumnSaveFolder, List(), 0);
        GetDownloadExceptList().Replace({});
        Select(c.selected);
        MessageBoxAnswerer answerer(c.answers);
        Command(c.command);
        EXPECT_EQ(Keys(), c.keys);
        EXPECT_EQ(GetDownloadExceptList().Snapshot(), c.exceptLines);
        std::vector<std::wstring> questions;
        for (const SeenMessageBox& seen : answerer.Seen()) {
            questions.push_back(seen.text);
            EXPECT_EQ(seen.caption, L"VelaPlayer");
        }
        EXPECT_EQ(questions, c.questions);
        if (c.command == IDM_DL_REMOVE_COMPLETED || c.command == IDM_DL_EXCEPT_REMOVE_COMPLETED) {
            continue; // they never delete files
        }
        const bool withFilesCommand =
            c.command == IDM_DL_REMOVE_WITH_FILES || c.command == IDM_DL_EXCEPT_REMOVE_WITH_FILES;
        const bool sm3Kept = std::find(c.keys.begin(), c.keys.end(), L"sm103") != c.keys.end();
        EXPECT_EQ(FileExists(PathOf(L"別の題名(sm103).flv")), !withFilesCommand || sm3Kept)
            << "the related files of a row without paths";
        EXPECT_EQ(FileExists(video), c.filesRemain);
        EXPECT_EQ(FileExists(comment), c.filesRemain);
    }
}

TEST_F(DownloadRowCommandsTest, RunningRowsKeepTheirWorkersThroughRemovalsAndMoves) {
    SetRows({{L"sm101"}, {L"sm102"}, {L"sm103"}, {L"sm104"}, {L"sm105"}});
    StandInWorker worker(4);

    Select({1, 3});
    Command(IDM_DL_REMOVE);
    EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm101", L"sm103", L"sm105"}));
    EXPECT_EQ(worker.Record().rowIndex, 2);

    Select({2});
    Command(IDM_DL_MOVE_UP);
    EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm101", L"sm105", L"sm103"}));
    EXPECT_EQ(worker.Record().rowIndex, 1);
    EXPECT_EQ(worker.SuspendCount(), 0u) << "never suspended by the move";

    // The running row is asked about; No keeps it and its worker.
    const std::wstring question =
        L"動画名 : sm105\nタイトル : \n\nこの項目をは現在ダウンロード処理途中です。\n項目を削除しま"
        L"すか？\n(※処理途中のファイルの削除は行われません)";
    {
        MessageBoxAnswerer answerer({IDNO});
        Command(IDM_DL_REMOVE);
        ASSERT_EQ(answerer.Seen().size(), 1u);
        EXPECT_EQ(answerer.Seen()[0].text, question);
        EXPECT_EQ(Keys().size(), 3u);
        EXPECT_EQ(worker.Record().state, WorkerThreadRecord::kRunning);
    }
    {
        MessageBoxAnswerer answerer({IDYES});
        Command(IDM_DL_REMOVE);
        EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm101", L"sm103"}));
        EXPECT_EQ(worker.Record().state, WorkerThreadRecord::kAbandoned);
        EXPECT_EQ(worker.Record().rowIndex, -1);
        EXPECT_TRUE(worker.Cancelled()) << "told to end";
        EXPECT_EQ(worker.SuspendCount(), 0u) << "not suspended";
    }
}

TEST_F(DownloadRowCommandsTest, MovesByCommand) {
    struct Case {
        const char* name;
        UINT command;
        std::vector<int> selected;
        std::vector<std::wstring> keys;
        std::vector<int> selectedAfter;
    };
    const Case cases[] = {
        {"up from the top does nothing", IDM_DL_MOVE_UP, {0}, {L"sm101", L"sm102", L"sm103", L"sm104", L"sm105"}, {0}},
        {"up", IDM_DL_MOVE_UP, {3}, {L"sm101", L"sm102", L"sm104", L"sm103", L"sm105"}, {2}},
        {"down at the bottom does nothing", IDM_DL_MOVE_DOWN, {2, 4}, {L"sm101", L"sm102", L"sm103", L"sm104", L"sm105"}, {2, 4}},
        {"a block down", IDM_DL_MOVE_DOWN, {1, 2}, {L"sm101", L"sm104", L"sm102", L"sm103", L"sm105"}, {2, 3}},
        // The last selected row stays where it was after the first move, so the rows go to the end.
        {"scattered rows down", IDM_DL_MOVE_DOWN, {0, 2}, {L"sm102", L"sm104", L"sm105", L"sm101", L"sm103"}, {3, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetRows({{L"sm101"}, {L"sm102"}, {L"sm103"}, {L"sm104", kDownloadStatusDone, 0x3, L"題名4"}, {L"sm105"}});
        SetTicked(3, false);
        Select(c.selected);
        Command(c.command);
        EXPECT_EQ(Keys(), c.keys);
        EXPECT_EQ(Selected(), c.selectedAfter);
        // The unticked done row takes its check box, title and status along.
        for (int row = 0; row < 5; ++row) {
            const bool isFour = GetListItemText(List(), row, kDownloadColumnId) == L"sm104";
            EXPECT_EQ(Ticked(row), !isFour) << row;
            EXPECT_EQ(GetListItemText(List(), row, kDownloadColumnTitle), isFour ? L"題名4" : L"") << row;
            EXPECT_EQ(GetItemStatusOf(GetListItemParam(List(), row)) == kDownloadStatusDone, isFour) << row;
        }
    }
}

TEST_F(DownloadRowCommandsTest, TitleEditRenamesTheFinishedFiles) {
    ShowInFront();
    struct Case {
        const char* name;
        WORD status;
        std::wstring title;
        bool renamed;
        std::wstring log;
    };
    const Case cases[] = {
        {"done", kDownloadStatusDone, L"新しい題名", true, L""},
        {"still downloading", kDownloadStatusVideo, L"新しい題名", false, L"◆項目のダウンロードが完了していません"},
        {"a path in the title", kDownloadStatusDone, L"..\\逃げた", false,
         L"◆リネームに失敗しました : " + PathOf(L"古い題名(sm102).mp4") + L" -> " + PathOf(L"..\\逃げた(sm102).mp4")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring video = PathOf(L"古い題名(sm102).mp4");
        const std::wstring other = PathOf(L"古い題名(sm103).mp4");
        for (const wchar_t* name : {L"古い題名(sm102).mp4", L"古い題名(sm102).xml", L"古い題名(sm103).mp4"}) {
            WriteBytes(PathOf(name), "x");
        }
        SetRows({{L"sm101"}, {L"sm102", c.status, 0x3, L"古い題名", video}});
        m_main->renamed.clear();
        ClearLog();

        SetFocus(List());
        HWND edit = ListView_EditLabel(List(), 1);
        ASSERT_NE(edit, nullptr);
        SetWindowTextW(edit, c.title.c_str());
        SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
        ASSERT_TRUE(PumpMessagesUntil([&] { return !IsWindow(edit); }));

        const std::wstring newVideo = PathOf(L"新しい題名(sm102).mp4");
        EXPECT_EQ(GetListItemText(List(), 1, kDownloadColumnTitle), c.renamed ? c.title : L"古い題名");
        EXPECT_EQ(GetListItemText(List(), 1, kDownloadColumnVideoPath), c.renamed ? newVideo : video);
        EXPECT_EQ(FileExists(newVideo), c.renamed);
        EXPECT_EQ(FileExists(PathOf(L"新しい題名(sm102).xml")), c.renamed);
        EXPECT_TRUE(FileExists(other)) << "a file of another video keeps its name";
        EXPECT_EQ(m_main->renamed.size(), c.renamed ? 2u : 0u);
        if (c.renamed) {
            EXPECT_NE(std::find(m_main->renamed.begin(), m_main->renamed.end(), std::make_pair(video, newVideo)),
                      m_main->renamed.end());
        }
        if (!c.log.empty()) {
            EXPECT_NE(LogText().find(c.log), std::wstring::npos) << testing::PrintToString(LogText());
        }
        for (const wchar_t* name : {L"古い題名(sm102).mp4", L"古い題名(sm102).xml", L"新しい題名(sm102).mp4",
                                    L"新しい題名(sm102).xml", L"古い題名(sm103).mp4"}) {
            DeleteFileW(PathOf(name).c_str());
        }
    }
}

TEST_F(DownloadRowCommandsTest, RowsDraggedWithTheMouse) {
    ShowInFront();
    SetRows({{L"sm101"},
             {L"sm102", kDownloadStatusError, 0x3, L"", L"", L"country=jp -deleted"},
             {L"sm103"},
             {L"sm104"},
             {L"sm105"}});
    auto drag = [&](int from, POINT dropScreen) {
        Select({from});
        const POINT start = RowCenter(from);
        PostMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(start.x, start.y));
        PostMessageW(List(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(start.x + 40, start.y + 40));
        ASSERT_TRUE(PumpMessagesUntil([&] { return GetCapture() == Window(); })) << "the drag begins";
        POINT client = dropScreen;
        ScreenToClient(Window(), &client);
        SendMessageW(Window(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(client.x, client.y));
        EXPECT_NE(GetCursor(), LoadCursorW(nullptr, IDC_NO)) << "a drop target";
        SendMessageW(Window(), WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
        EXPECT_NE(GetCapture(), Window());
    };

    POINT row = RowCenter(3);
    ClientToScreen(List(), &row);
    drag(0, row);
    EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm102", L"sm103", L"sm104", L"sm101", L"sm105"}));
    EXPECT_EQ(Selected(), std::vector<int>{3});

    // One row dropped on the URL box is taken out to be added again.
    RECT box = {};
    GetWindowRect(UrlBox(), &box);
    drag(0, {(box.left + box.right) / 2, (box.top + box.bottom) / 2});
    EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm103", L"sm104", L"sm101", L"sm105"}));
    EXPECT_EQ(GetWindowTextString(UrlBox()), L"sm102 country=jp") << "the deleted mark taken out as a whole argument";
}

TEST_F(DownloadRowCommandsTest, DroppedFiles) {
    const std::wstring shortcut = PathOf(L"page.url");
    WriteTextFile(shortcut, L"[InternetShortcut]\nURL=http://www.example.com/mylist/7\n");
    const std::wstring emptyShortcut = PathOf(L"empty.url");
    WriteTextFile(emptyShortcut, L"[InternetShortcut]\n");
    const std::wstring list = PathOf(L"list.TXT");
    WriteTextFile(list, L"sm107\nsm108\n");
    const std::wstring video = PathOf(L"題名(sm123).mp4");
    WriteBytes(video, "v");
    const std::wstring noId = PathOf(L"notes.mp4");
    const std::wstring videoLink = PathOf(L"近道(sm5).lnk");
    ASSERT_TRUE(MakeShortcut(videoLink, video));
    const std::wstring listLink = PathOf(L"list.lnk");
    ASSERT_TRUE(MakeShortcut(listLink, list));
    const std::wstring folderLink = PathOf(L"folder.lnk");
    ASSERT_TRUE(MakeShortcut(folderLink, Folder()));
    const std::wstring brokenLink = PathOf(L"壊れた(sm6).lnk");
    WriteBytes(brokenLink, "not a shortcut");
    struct Case {
        const char* name;
        std::vector<std::wstring> files;
        std::wstring box; // what the URL box holds afterwards
        std::vector<std::wstring> keys;
    };
    const std::wstring watch = GetWatchUrl(GetAppSettings().Country);
    const Case cases[] = {
        {"a shortcut", {shortcut}, L"http://www.example.com/mylist/7", {}},
        {"a shortcut without URL", {emptyShortcut}, L"", {}},
        {"a video file", {video}, watch + L"sm123", {}},
        {"a file without an ID", {noId}, L"", {}},
        {"two files", {shortcut, video}, L"before", {}},
        {"a folder", {Folder()}, L"before", {}},
        {"a list file", {list}, L"before", {L"sm107", L"sm108"}},
        // A link stands for its target, whatever its own name says.
        {"a link to a video", {videoLink}, watch + L"sm123", {}},
        {"a link to a list file", {listLink}, L"before", {L"sm107", L"sm108"}},
        {"a link to a folder", {folderLink}, L"before", {}},
        {"a link that cannot be read", {brokenLink}, watch + L"sm6", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListView_DeleteAllItems(List());
        SetWindowTextW(UrlBox(), L"before");
        HDROP drop = MakeDrop(c.files);
        SendMessageW(Window(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        EXPECT_EQ(GlobalSize(drop), 0u) << "the drop was released";
        if (!c.keys.empty()) {
            ASSERT_TRUE(PumpMessagesUntil([&] {
                return ListView_GetItemCount(List()) == static_cast<int>(c.keys.size()) &&
                       GetWindowTextString(Window()).find(kDownloadListLoadingSuffix) == std::wstring::npos;
            }));
        }
        EXPECT_EQ(GetWindowTextString(UrlBox()), c.box);
        EXPECT_EQ(Keys(), c.keys);
    }

    // Two list files dropped one right after the other load one after the other, in the order dropped:
    // a long one, then a short one that would otherwise be done first.
    ListView_DeleteAllItems(List());
    const std::wstring longList = PathOf(L"long.dat");
    std::wstring longText;
    std::vector<std::wstring> keys;
    for (int i = 0; i < 600; ++i) {
        keys.push_back(L"sm" + std::to_wstring(3000 + i));
        longText += keys.back() + L"\n";
    }
    keys.push_back(L"sm107");
    keys.push_back(L"sm108");
    WriteTextFile(longList, longText);
    for (const std::wstring& path : {longList, list}) {
        HDROP drop = MakeDrop({path});
        SendMessageW(Window(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    }
    ASSERT_TRUE(PumpMessagesUntil([&] {
        return ListView_GetItemCount(List()) == static_cast<int>(keys.size()) &&
               GetWindowTextString(Window()).find(kDownloadListLoadingSuffix) == std::wstring::npos;
    }));
    EXPECT_EQ(Keys(), keys);
}

TEST_F(DownloadRowCommandsTest, CopiesTheSelectedRowsWhileTheListHasTheFocus) {
    ShowInFront();
    SetRows({{L"sm109", kDownloadStatusWaiting, 0x3, L"題名", L"", L"country=tw"},
             {L"http://www.example.com/mylist/1"}});
    Select({0, 1});
    SetFocus(List());
    ASSERT_EQ(GetFocus(), List());
    struct Case {
        UINT command;
        std::wstring text;
    };
    const Case cases[] = {
        {IDM_DL_COPY_URL_KEY,
         GetWatchUrl(L"tw") + L"sm109\nhttp://www.example.com/mylist/1"},
        {IDM_DL_COPY_ID, L"sm109\n"},
        {IDM_DL_COPY_TITLE, L"題名\n"},
    };
    // The window's own clipboard watch skips these copies.
    MessageBoxAnswerer answerer({IDNO});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        DownloadOwnClipboardWrite() = false;
        Command(c.command);
        EXPECT_EQ(ClipboardText(), c.text);
        EXPECT_TRUE(PumpMessagesUntil([] { return !DownloadOwnClipboardWrite(); })) << "marked and skipped";
    }
    // Ctrl+C in the list reaches the same copy.
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    BYTE keys[256] = {};
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(List(), WM_KEYDOWN, 'C', 0);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(ClipboardText(), cases[0].text);

    // With the focus elsewhere the list copies nothing.
    SetFocus(UrlBox());
    Command(IDM_DL_COPY_ID);
    EXPECT_EQ(ClipboardText(), cases[0].text);
    PumpMessagesFor(50);
    EXPECT_TRUE(answerer.Seen().empty());
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

TEST_F(DownloadRowCommandsTest, PlayAndPlaylistGoToTheMainWindow) {
    const std::wstring done = PathOf(L"題名(sm101).mp4");
    const std::wstring found = PathOf(L"別名(sm102).flv");
    WriteBytes(done, "v");
    WriteBytes(found, "v");
    SetRows({{L"sm101", kDownloadStatusDone, 0x3, L"題名", done}, {L"sm102"}, {L"sm103"}});
    const std::wstring program = L"\"" + GetProgramPath() + L"\" ";
    struct Case {
        const char* name;
        int row;
        std::function<void()> run;
        std::vector<std::wstring> commandLines;
    };
    const Case cases[] = {
        {"the play command", 0, [&] { Command(IDM_DL_PLAY); }, {program + L"\"" + done + L"\""}},
        {"a double click", 0, [&] { Notify(NM_DBLCLK); }, {program + L"\"" + done + L"\""}},
        {"Enter in the list", 0, [&] { Notify(NM_RETURN); }, {program + L"\"" + done + L"\""}},
        {"a movie file found in the folder", 1, [&] { Command(IDM_DL_PLAY); }, {program + L"\"" + found + L"\""}},
        {"nothing to play", 2, [&] { Command(IDM_DL_PLAY); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_main->commandLines.clear();
        ClearLog();
        Select({c.row});
        c.run();
        EXPECT_EQ(m_main->commandLines, c.commandLines);
    }
    EXPECT_NE(LogText().find(L"この項目のダウンロードはまだ完了していません : sm103"), std::wstring::npos);

    ClearLog();
    Select({0, 1});
    Command(IDM_DL_ADD_TO_PLAYLIST);
    EXPECT_EQ(m_main->playlistFiles, std::vector<std::wstring>{done});
    EXPECT_NE(LogText().find(L"この項目のダウンロードはまだ完了していません : sm102"), std::wstring::npos);
}

TEST_F(DownloadRowCommandsTest, FoldersAndUrlsOpenThroughTheShell) {
    const std::wstring comment = PathOf(L"題名(sm101).xml");
    WriteBytes(comment, "c");
    SetRows({{L"sm101", kDownloadStatusDone, 0x3, L"題名"},
             {L"sm102"},
             {L"sm103", kDownloadStatusWaiting, 0x3, L"", L"", L"", PathOf(L"gone")},
             {L"http://www.example.com/mylist/1"}});
    SetListItemText(comment, kDownloadColumnCommentPath, List(), 0);
    SetListItemText(PathOf(L"題名(sm101).mp4"), kDownloadColumnVideoPath, List(), 0);
    struct Case {
        int row;
        UINT command;
        std::vector<std::wstring> opened;
        size_t boxes;
    };
    const Case cases[] = {
        {0, IDM_DL_OPEN_ITEM_FOLDER, {L"explorer.exe /n,/select,\"" + comment + L"\""}, 0},
        {1, IDM_DL_OPEN_ITEM_FOLDER, {L"\"" + Folder() + L"\""}, 0},
        {2, IDM_DL_OPEN_ITEM_FOLDER, {}, 1},
        {1, IDM_DL_OPEN_URL, {L"url " + GetWatchUrl(L"") + L"sm102"}, 0},
        {3, IDM_DL_OPEN_URL, {L"url http://www.example.com/mylist/1"}, 0},
        {0, IDM_DL_OPEN_SAVE_FOLDER, {L"\"" + Folder() + L"\""}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.row << " " << c.command);
        opened.clear();
        Select({c.row});
        MessageBoxAnswerer answerer({IDOK});
        Command(c.command);
        EXPECT_EQ(opened, c.opened);
        ASSERT_EQ(answerer.Seen().size(), c.boxes);
        if (c.boxes > 0) {
            EXPECT_EQ(answerer.Seen()[0].text, L"ファイル・フォルダが見つかりませんでした。");
        }
    }

    // The except list: its file is opened after the notice, or its absence is told.
    opened.clear();
    {
        MessageBoxAnswerer answerer({IDOK});
        Command(IDM_DL_OPEN_EXCEPT_LIST);
        ASSERT_EQ(answerer.Seen().size(), 1u);
        EXPECT_EQ(answerer.Seen()[0].text, PathOf(L"settings.dat") + L"除外リストファイルが見つかりません。");
        EXPECT_TRUE(opened.empty());
    }
    WriteTextFile(PathOf(L"settings.dat"), L"[ExceptDownload]\nsm101\n");
    {
        MessageBoxAnswerer answerer({IDOK});
        Command(IDM_DL_OPEN_EXCEPT_LIST);
        ASSERT_EQ(answerer.Seen().size(), 1u);
        EXPECT_EQ(answerer.Seen()[0].text.rfind(L"ダウンロード除外リストは[ExceptDownload]セクション", 0), 0u);
        EXPECT_EQ(opened, std::vector<std::wstring>{L"\"" + PathOf(L"settings.dat") + L"\""});
    }
}

// Every command item of a menu and its submenus: ID -> text.
std::map<UINT, std::wstring> MenuCommands(HMENU menu) {
    std::map<UINT, std::wstring> commands;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_ID | MIIM_STRING | MIIM_SUBMENU | MIIM_FTYPE;
        item.dwTypeData = text;
        item.cch = 255;
        GetMenuItemInfoW(menu, i, TRUE, &item);
        if (item.hSubMenu != nullptr) {
            for (const auto& entry : MenuCommands(item.hSubMenu)) {
                commands.insert(entry);
            }
        } else if ((item.fType & MFT_SEPARATOR) == 0) {
            commands[item.wID] = text;
        }
    }
    return commands;
}

TEST_F(DownloadRowCommandsTest, EveryCommandOfTheMenusAndKeys) {
    // The item commands, as the menu bar's "項目(&I)" shows them.
    const std::map<UINT, std::wstring> itemCommands = {
        {IDM_DL_PLAY, L"再生(&S)"},
        {IDM_DL_REEDIT, L"ダウンロード内容を再設定する(&R)"},
        {IDM_DL_ADD_TO_PLAYLIST, L"プレイリストに追加(&A)"},
        {IDM_DL_OPEN_ITEM_FOLDER, L"ファイルがあるフォルダを開く(&F)"},
        {IDM_DL_TOGGLE_PAUSE, L"一時停止/再開(&P)"},
        {IDM_DL_CANCEL, L"処理をキャンセル(&C)"},
        {IDM_DL_PAUSE_ALL, L"全て一時停止"},
        {IDM_DL_START_ALL, L"全て開始"},
        {IDM_DL_REDO_ECONOMY, L"動画モードを確認して再DLする(&R)"},
        {IDM_DL_COPY_ID, L"ID(&I)"},
        {IDM_DL_COPY_URL, L"URL(&U)\tCtrl+C"},
        {IDM_DL_COPY_TITLE, L"タイトル(&T)"},
        {IDM_DL_COPY_FILE_NAME, L"ファイル名(&N)"},
        {IDM_DL_COPY_FILE_PATH, L"ファイルパス(&P)"},
        {IDM_DL_MOVE_UP, L"一つ上に移動(&U)\tCtrl+↑"},
        {IDM_DL_MOVE_DOWN, L"一つ下に移動(&D)\tCtrl+↓"},
        {IDM_DL_OPEN_URL, L"URLを開く(&U)"},
        {IDM_DL_REMOVE, L"選択項目を削除(&E)\tDelete"},
        {IDM_DL_REMOVE_WITH_FILES, L"選択項目とファイルを削除(&R)\tShift+Delete"},
        {IDM_DL_REMOVE_COMPLETED, L"完了した項目を全て削除(&O)"},
        {IDM_DL_EXCEPT_REMOVE, L"選択項目を除外リストに追加して削除(&F)"},
        {IDM_DL_EXCEPT_REMOVE_WITH_FILES, L"選択項目とファイルを除外リストに追加して削除(&R)"},
        {IDM_DL_EXCEPT_REMOVE_COMPLETED, L"完了した項目を除外リストに追加して全て削除(&P)"},
    };
    std::map<UINT, std::wstring> bar = itemCommands;
    bar.insert({{IDM_DL_ADD_FROM_FILE, L"ファイルからURLを追加(&O)\tCtrl+O"},
                {IDM_DL_CLOSE, L"ウィンドウを閉じる(&X)"},
                {IDM_DL_SETTINGS, L"設定(&S)...\tCtrl+S"},
                {IDM_DL_OPEN_EXCEPT_LIST, L"ダウンロード除外リストを開く(&E)"},
                {IDM_DL_OPEN_SAVE_FOLDER, L"保存先フォルダを開く(&O)"}});
    EXPECT_EQ(MenuCommands(GetMenu(Window())), bar);
    std::map<UINT, std::wstring> popup = itemCommands;
    popup[IDM_DL_OPEN_ITEM_FOLDER] = L"保存先フォルダを開く(&F)";
    popup[IDM_DL_OPEN_URL] = L"URLを開く(&W)";
    popup[IDM_DL_EXCEPT_REMOVE_WITH_FILES] = L"選択項目とファイルを除外リストに追加して削除(&M)";
    EXPECT_EQ(MenuCommands(m_window.GetItemPopupMenu()), popup);

    // The keys of the accelerator table.
    std::vector<ACCEL> keys(static_cast<size_t>(CopyAcceleratorTableW(m_window.GetAccelerator(), nullptr, 0)));
    CopyAcceleratorTableW(m_window.GetAccelerator(), keys.data(), static_cast<int>(keys.size()));
    std::set<std::tuple<BYTE, WORD, WORD>> keySet;
    for (const ACCEL& key : keys) {
        keySet.insert({static_cast<BYTE>(key.fVirt & ~FNOINVERT), key.key, key.cmd});
    }
    const std::set<std::tuple<BYTE, WORD, WORD>> expectedKeys = {
        {FVIRTKEY | FCONTROL, 'O', IDM_DL_ADD_FROM_FILE}, {FVIRTKEY | FCONTROL, 'S', IDM_DL_SETTINGS},
        {FVIRTKEY | FCONTROL, VK_UP, IDM_DL_MOVE_UP},     {FVIRTKEY | FCONTROL, VK_DOWN, IDM_DL_MOVE_DOWN},
        {FVIRTKEY, VK_RETURN, IDC_DOWNLOAD_ENTER},
    };
    EXPECT_EQ(keySet, expectedKeys);

    // Each command reaches its work: the rows, ticks, the except list and the clipboard after it.
    struct Case {
        UINT command;
        std::vector<int> selected;
        std::vector<std::wstring> keys;     // the rows afterwards
        std::vector<bool> ticked;           // empty: not looked at
        size_t exceptLines;                 // added to the except list
        std::wstring clipboard;             // empty: not looked at
        std::wstring urlBox;                // empty: not looked at
    };
    const std::wstring watch = GetWatchUrl(GetAppSettings().Country);
    const std::vector<std::wstring> all = {L"sm101", L"sm102", L"sm103"};
    const Case cases[] = {
        {IDM_DL_PAUSE_ALL, {}, all, {false, false, false}, 0, L""},
        {IDM_DL_START_ALL, {}, all, {true, false, false}, 0, L""}, // not the deleted video's row
        {IDM_DL_TOGGLE_PAUSE, {0, 1}, all, {false, true, false}, 0, L""},
        {IDM_DL_COPY_ID, {0, 1}, all, {}, 0, L"sm101\nsm102"},
        {IDM_DL_COPY_URL, {1}, all, {}, 0, GetWatchUrl(L"tw") + L"sm102"},
        {IDM_DL_COPY_URL_KEY, {0}, all, {}, 0, watch + L"sm101"},
        {IDM_DL_COPY_TITLE, {0}, all, {}, 0, L"題名"},
        {IDM_DL_COPY_FILE_NAME, {0}, all, {}, 0, L"題名(sm101).mp4"},
        {IDM_DL_COPY_FILE_PATH, {0}, all, {}, 0, PathOf(L"題名(sm101).mp4")},
        {IDM_DL_REEDIT, {1}, {L"sm101", L"sm103"}, {}, 0, L"", L"sm102 country=tw"},
        {IDM_DL_MOVE_UP, {1}, {L"sm102", L"sm101", L"sm103"}, {}, 0, L""},
        {IDM_DL_MOVE_DOWN, {0}, {L"sm102", L"sm101", L"sm103"}, {}, 0, L""},
        {IDM_DL_REMOVE, {1}, {L"sm101", L"sm103"}, {}, 0, L""},
        {IDM_DL_EXCEPT_REMOVE, {1}, {L"sm101", L"sm103"}, {}, 1, L""},
        {IDM_DL_REMOVE_COMPLETED, {}, {L"sm101", L"sm102"}, {}, 0, L""},
        {IDM_DL_EXCEPT_REMOVE_COMPLETED, {}, {L"sm101", L"sm102"}, {}, 1, L""},
    };
    ShowInFront();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        SetRows({{L"sm101", kDownloadStatusWaiting, 0x3, L"題名", PathOf(L"題名(sm101).mp4")},
                 {L"sm102", kDownloadStatusError, 0x3, L"", L"", L"country=tw -deleted"},
                 {L"sm103", kDownloadStatusDone, 0x3 | kDownloadKindCompleted}});
        SetTicked(0, true);
        SetTicked(1, false);
        SetTicked(2, false);
        Select(c.selected);
        SetFocus(List());
        const size_t exceptBefore = GetDownloadExceptList().Snapshot().size();
        DownloadOwnClipboardWrite() = false;
        Command(c.command);
        EXPECT_EQ(Keys(), c.keys);
        if (!c.ticked.empty()) {
            std::vector<bool> ticked;
            for (int row = 0; row < ListView_GetItemCount(List()); ++row) {
                ticked.push_back(Ticked(row));
            }
            EXPECT_EQ(ticked, c.ticked);
        }
        EXPECT_EQ(GetDownloadExceptList().Snapshot().size(), exceptBefore + c.exceptLines);
        if (!c.clipboard.empty()) {
            std::wstring text = ClipboardText();
            while (!text.empty() && text.back() == L'\n') {
                text.pop_back();
            }
            EXPECT_EQ(text, c.clipboard);
        }
        if (!c.urlBox.empty()) {
            EXPECT_EQ(GetWindowTextString(UrlBox()), c.urlBox);
        }
        PumpMessagesUntil([] { return !DownloadOwnClipboardWrite(); });
    }

    // The keys reach the same commands through the window's accelerator table.
    const auto press = [&](HWND focus, UINT key, bool control) {
        SetFocus(focus);
        BYTE state[256] = {};
        state[VK_CONTROL] = control ? 0x80 : 0;
        SetKeyboardState(state);
        MSG message = {focus, WM_KEYDOWN, key, 0};
        const bool translated = TranslateAcceleratorW(Window(), m_window.GetAccelerator(), &message) != 0;
        state[VK_CONTROL] = 0;
        SetKeyboardState(state);
        return translated;
    };
    SetRows({{L"sm101"}, {L"sm102"}});
    Select({0});
    EXPECT_TRUE(press(List(), VK_DOWN, true));
    EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm102", L"sm101"}));
    Select({1});
    EXPECT_TRUE(press(List(), VK_UP, true));
    EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm101", L"sm102"}));
    SetWindowTextW(UrlBox(), L"sm104");
    EXPECT_TRUE(press(UrlBox(), VK_RETURN, false));
    EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm101", L"sm102", L"sm104"}));
}

TEST_F(DownloadRowCommandsTest, ItemMenuFollowsTheSelection) {
    SetRows({{L"sm101", kDownloadStatusDone, 0x3, L"題名", PathOf(L"a(sm101).mp4")},
             {L"sm102", kDownloadStatusWaiting, 0x3 | kDownloadKindEconomy}});
    HMENU bar = GetMenu(Window());
    HMENU popup = m_window.GetItemPopupMenu();
    auto enabled = [](HMENU menu, UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) == 0; };
    struct Case {
        std::vector<int> selected;
        std::vector<UINT> enabledIds;
        std::vector<UINT> grayedIds;
    };
    const Case cases[] = {
        {{},
         {IDM_DL_PAUSE_ALL, IDM_DL_START_ALL, IDM_DL_REMOVE_COMPLETED, IDM_DL_EXCEPT_REMOVE_COMPLETED},
         {IDM_DL_PLAY, IDM_DL_REEDIT, IDM_DL_ADD_TO_PLAYLIST, IDM_DL_OPEN_ITEM_FOLDER, IDM_DL_COPY_URL, IDM_DL_REMOVE,
          IDM_DL_CANCEL, IDM_DL_REDO_ECONOMY}},
        {{0},
         {IDM_DL_PLAY, IDM_DL_REEDIT, IDM_DL_ADD_TO_PLAYLIST, IDM_DL_COPY_URL, IDM_DL_MOVE_DOWN, IDM_DL_REMOVE},
         {IDM_DL_CANCEL, IDM_DL_REDO_ECONOMY}},
        {{1}, {IDM_DL_REDO_ECONOMY, IDM_DL_REEDIT}, {IDM_DL_PLAY, IDM_DL_ADD_TO_PLAYLIST, IDM_DL_CANCEL}},
        {{0, 1}, {IDM_DL_REDO_ECONOMY, IDM_DL_PLAY, IDM_DL_ADD_TO_PLAYLIST}, {IDM_DL_REEDIT}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.selected));
        Select(c.selected);
        for (HMENU menu : {bar, popup}) {
            for (UINT id : c.enabledIds) {
                EXPECT_TRUE(enabled(menu, id)) << id;
            }
            for (UINT id : c.grayedIds) {
                EXPECT_FALSE(enabled(menu, id)) << id;
            }
        }
    }
    ListView_DeleteAllItems(List());
    Command(IDM_DL_REMOVE);
    EXPECT_FALSE(enabled(bar, IDM_DL_START_ALL));
}

TEST_F(DownloadRowCommandsTest, ACheckBoxChangeOfARowWithoutWorker) {
    SendMessageW(GetDlgItem(Window(), IDC_DOWNLOAD_CHECK_PLAY_AFTER), BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageW(GetDlgItem(Window(), IDC_DOWNLOAD_CHECK_ADD_PLAYLIST), BM_SETCHECK, BST_CHECKED, 0);
    const WORD economyDone = 0x1 | kDownloadKindEconomy | kDownloadKindCompleted;
    struct Case {
        WORD status;
        WORD flags;
        const wchar_t* addData;
        bool tick; // false: untick
        WORD status2;
        WORD flags2;
    };
    const Case cases[] = {
        {kDownloadStatusError, 0x5, L"", true, kDownloadStatusWaiting, 0x5},
        {kDownloadStatusCancelled, 0x5, L"", true, kDownloadStatusWaiting, 0x5},
        {kDownloadStatusError, 0x5, L"-deleted", true, kDownloadStatusError, 0x5},
        {kDownloadStatusDone, economyDone, L"", true, kDownloadStatusWaiting,
         0x1 | kDownloadKindEconomy | kDownloadKindVideo | kDownloadKindPlaylist},
        {kDownloadStatusDone, economyDone, L"", false, kDownloadStatusDone, economyDone},
        {kDownloadStatusDone, 0x1 | kDownloadKindCompleted, L"", true, kDownloadStatusDone, 0x1 | kDownloadKindCompleted},
        {kDownloadStatusWaiting, 0x5, L"", false, kDownloadStatusWaiting, 0x5},
        {kDownloadStatusWaiting, 0x5, L"", true, kDownloadStatusWaiting, 0x5},
        {kDownloadStatusError, 0x5, L"", false, kDownloadStatusError, 0x5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.status << " " << c.flags << " " << c.addData << " " << c.tick);
        SetRows({{L"sm101", c.status, c.flags, L"", L"", c.addData}});
        SetTicked(0, !c.tick);
        // The rows start as given, whatever the first change did.
        SetListItemParam(List(), 0, MakeItemData(c.status, c.flags));
        SetTicked(0, c.tick);
        const LPARAM data = GetListItemParam(List(), 0);
        EXPECT_EQ(GetItemStatusOf(data), c.status2);
        EXPECT_EQ(GetItemFlagsOf(data), c.flags2);
        EXPECT_EQ(Ticked(0), c.tick);
    }
}

TEST_F(DownloadRowCommandsTest, CheckBoxesAndColours) {
    const std::wstring placeholder = DownloadTitlePlaceholder();
    SetRows({{L"sm101", kDownloadStatusError, 0x1},
             {L"sm102", kDownloadStatusError, 0x1, L"", L"", L"-deleted"},
             {L"sm103", kDownloadStatusDone, 0x1 | kDownloadKindEconomy | kDownloadKindCompleted},
             {L"sm104", kDownloadStatusDone, 0x1},
             {L"sm105", kDownloadStatusWaiting, 0x1, placeholder}});
    SendMessageW(GetDlgItem(Window(), IDC_DOWNLOAD_CHECK_PLAY_AFTER), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(GetDlgItem(Window(), IDC_DOWNLOAD_CHECK_ADD_PLAYLIST), BM_SETCHECK, BST_UNCHECKED, 0);
    for (int row = 0; row < 5; ++row) {
        SetTicked(row, false);
    }
    Command(IDM_DL_START_ALL);
    struct Expected {
        bool ticked;
        WORD status;
        WORD flags;
        std::wstring title;
    };
    const Expected expected[] = {
        {true, kDownloadStatusWaiting, 0x1, L""},
        {false, kDownloadStatusError, 0x1, L""},
        {false, kDownloadStatusDone, 0x1 | kDownloadKindEconomy | kDownloadKindCompleted, L""},
        {false, kDownloadStatusDone, 0x1, L""},
        {true, kDownloadStatusWaiting, 0x1, L""},
    };
    for (int row = 0; row < 5; ++row) {
        SCOPED_TRACE(row);
        const LPARAM data = GetListItemParam(List(), row);
        EXPECT_EQ(Ticked(row), expected[row].ticked);
        EXPECT_EQ(GetItemStatusOf(data), expected[row].status);
        EXPECT_EQ(GetItemFlagsOf(data), expected[row].flags);
        EXPECT_EQ(GetListItemText(List(), row, kDownloadColumnTitle), expected[row].title);
    }
    Command(IDM_DL_PAUSE_ALL);
    EXPECT_TRUE(GetUncheckedListItems(List()).size() == 5u);
    // A done economy row is queued again for its video, with the window's after-download kinds, and is
    // no longer marked done (the saved list would bring it back as done over its partial file).
    Select({2, 4});
    Command(IDM_DL_REDO_ECONOMY);
    EXPECT_TRUE(Ticked(2));
    EXPECT_FALSE(Ticked(4));
    EXPECT_EQ(
        GetListItemParam(List(), 2),
        MakeItemData(kDownloadStatusWaiting, 0x1 | kDownloadKindEconomy | kDownloadKindVideo | kDownloadKindPlay));
    Select({0, 3});
    Command(IDM_DL_TOGGLE_PAUSE);
    EXPECT_TRUE(Ticked(0));
    EXPECT_TRUE(Ticked(3));
    EXPECT_EQ(GetItemStatusOf(GetListItemParam(List(), 3)), kDownloadStatusDone) << "a done row stays done";

    // A selected done row is painted in its own colour, without the list's highlight.
    NMLVCUSTOMDRAW draw = {};
    draw.nmcd.hdr = {List(), IDC_DOWNLOAD_LIST, static_cast<UINT>(NM_CUSTOMDRAW)};
    draw.nmcd.dwDrawStage = CDDS_PREPAINT;
    SendMessageW(Window(), WM_NOTIFY, IDC_DOWNLOAD_LIST, reinterpret_cast<LPARAM>(&draw));
    EXPECT_EQ(GetWindowLongPtrW(Window(), DWLP_MSGRESULT), CDRF_NOTIFYITEMDRAW);
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.dwItemSpec = 3;
    draw.nmcd.uItemState = CDIS_SELECTED | CDIS_FOCUS;
    SendMessageW(Window(), WM_NOTIFY, IDC_DOWNLOAD_LIST, reinterpret_cast<LPARAM>(&draw));
    EXPECT_EQ(GetWindowLongPtrW(Window(), DWLP_MSGRESULT), CDRF_NEWFONT);
    EXPECT_EQ(draw.clrTextBk, COLORREF(0x87756E));
    EXPECT_EQ(draw.nmcd.uItemState, UINT(CDIS_FOCUS));
    draw.nmcd.dwItemSpec = 4;
    SendMessageW(Window(), WM_NOTIFY, IDC_DOWNLOAD_LIST, reinterpret_cast<LPARAM>(&draw));
    EXPECT_EQ(GetWindowLongPtrW(Window(), DWLP_MSGRESULT), CDRF_DODEFAULT);

    // Drawn by the list itself: a pixel of the done row's ID cell has the done colour, a selected
    // economy row's the economy row's selected colour.
    ShowInFront();
    Select({2});
    const auto pixel = [&](int row) {
        RECT cell = {};
        ListView_GetSubItemRect(List(), row, kDownloadColumnId, LVIR_LABEL, &cell);
        RECT client = {};
        GetClientRect(List(), &client);
        HDC screen = GetDC(List());
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
        HGDIOBJ old = SelectObject(memory, bitmap);
        SendMessageW(List(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
        const COLORREF colour = GetPixel(memory, cell.right - 2, (cell.top + cell.bottom) / 2);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(List(), screen);
        return colour;
    };
    EXPECT_EQ(pixel(3), COLORREF(0xEBD9D2));
    EXPECT_EQ(pixel(2), COLORREF(0x509B50));
}

TEST_F(DownloadRowCommandsTest, UrlBoxCheckAndPastLogButton) {
    HWND add = GetDlgItem(Window(), IDC_DOWNLOAD_ADD);
    SetWindowTextW(UrlBox(), L"sm1234 log=\"not a date\"");
    EXPECT_FALSE(IsWindowEnabled(add));
    SetWindowTextW(UrlBox(), L"sm1234 log=");
    EXPECT_TRUE(IsWindowEnabled(add));
    SetWindowTextW(UrlBox(), L"sm1234");
    EXPECT_TRUE(IsWindowEnabled(add));

    HWND button = GetDlgItem(Window(), IDC_DOWNLOAD_PAST_LOG);
    SendMessageW(button, BM_CLICK, 0, 0);
    SendMessageW(button, BM_CLICK, 0, 0);
    const std::wstring text = GetWindowTextString(UrlBox());
    EXPECT_TRUE(RegexMatch(text, L"sm1234 log=\"\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}\""))
        << testing::PrintToString(text);
    EXPECT_TRUE(IsWindowEnabled(add));
    DWORD start = 0, end = 0;
    SendMessageW(UrlBox(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(text.substr(start, end - start), text.substr(12, 19));

    SetWindowTextW(UrlBox(), L"");
    MessageBoxAnswerer answerer({IDOK});
    SendMessageW(button, BM_CLICK, 0, 0);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, L"URLを先に入力して下さい。");
}

} // namespace

namespace {

TEST_F(DownloadRowCommandsTest, PauseResumeAndCancelOfARunningRow) {
    SetRows({{L"sm101"}, {L"sm102"}});
    SetDownloadItemStatus(List(), kDownloadStatusComments, 1);
    StandInWorker worker(1);

    SetTicked(1, false);
    EXPECT_EQ(GetItemStatusOf(GetListItemParam(List(), 1)), kDownloadStatusPaused);
    EXPECT_EQ(GetListItemText(List(), 1, kDownloadColumnStatus), L"一時停止中");
    EXPECT_TRUE(worker.Paused());
    EXPECT_EQ(worker.SuspendCount(), 0u) << "paused by its signal, never suspended";
    SetTicked(1, true);
    EXPECT_EQ(GetListItemText(List(), 1, kDownloadColumnStatus), GetDownloadStatusText(kDownloadStatusComments));
    EXPECT_FALSE(worker.Paused());

    const std::wstring question = L"動画名：sm102\n\nこの項目のダウンロード処理を中断しますか？\n(※リスト項目左のチェック"
                                  L"ボックスをチェックすれば、後から処理を再開できます。)";
    Select({0, 1});
    {
        MessageBoxAnswerer answerer({IDNO});
        Command(IDM_DL_CANCEL);
        ASSERT_EQ(answerer.Seen().size(), 1u) << "only the running row is asked about";
        EXPECT_EQ(answerer.Seen()[0].text, question);
        EXPECT_EQ(worker.Record().state, WorkerThreadRecord::kRunning);
    }
    SetListItemText(L"10/20", kDownloadColumnSize, List(), 1);
    {
        MessageBoxAnswerer answerer({IDYES});
        Command(IDM_DL_CANCEL);
        EXPECT_EQ(answerer.Seen().size(), 1u);
    }
    EXPECT_EQ(worker.Record().state, WorkerThreadRecord::kAbandoned);
    EXPECT_TRUE(worker.Cancelled());
    EXPECT_EQ(GetItemStatusOf(GetListItemParam(List(), 1)), kDownloadStatusCancelled);
    EXPECT_EQ(GetListItemText(List(), 1, kDownloadColumnSize), L"");
    EXPECT_FALSE(Ticked(1));
    // Ticked again, the cancelled row waits for a new worker.
    SetTicked(1, true);
    EXPECT_EQ(GetItemStatusOf(GetListItemParam(List(), 1)), kDownloadStatusWaiting);
}

// The questions about a running row are modal: the worker may end while one is open. A Yes given
// after that must not cancel the finished row nor remove the row that moved into its place.
TEST_F(DownloadRowCommandsTest, CancellingTwoRunningRowsAsksAboutEachAndAnswersEachAlone) {
    SetRows({{L"sm101"}, {L"sm102"}});
    SetDownloadItemStatus(List(), kDownloadStatusVideo, 0);
    SetDownloadItemStatus(List(), kDownloadStatusVideo, 1);
    StandInWorker first(0);
    StandInWorker second(1);
    Select({0, 1});
    MessageBoxAnswerer answerer({IDNO, IDYES});
    Command(IDM_DL_CANCEL);
    ASSERT_EQ(answerer.Seen().size(), 2u) << "a No to the first still asks about the second";
    EXPECT_EQ(answerer.Seen()[0].text.rfind(L"動画名：sm101\n", 0), 0u);
    EXPECT_EQ(answerer.Seen()[1].text.rfind(L"動画名：sm102\n", 0), 0u);
    EXPECT_EQ(first.Record().state, WorkerThreadRecord::kRunning);
    EXPECT_FALSE(first.Cancelled());
    EXPECT_EQ(GetItemStatusOf(GetListItemParam(List(), 0)), kDownloadStatusVideo);
    EXPECT_EQ(second.Record().state, WorkerThreadRecord::kAbandoned);
    EXPECT_TRUE(second.Cancelled());
    EXPECT_EQ(GetItemStatusOf(GetListItemParam(List(), 1)), kDownloadStatusCancelled);
}

TEST_F(DownloadRowCommandsTest, OneNoticeForEveryRowAsWindowsSendsItPausesTheRunningRow) {
    SetRows({{L"sm101"}, {L"sm102"}});
    SetDownloadItemStatus(List(), kDownloadStatusComments, 1);
    StandInWorker worker(1);
    // The rows unticked without notices of their own, then the one notice of row -1 that Windows
    // sends for LVM_SETITEMSTATE of every row ("全て一時停止").
    DownloadRowsRewriting() = true;
    SetTicked(0, false);
    SetTicked(1, false);
    DownloadRowsRewriting() = false;
    NMLISTVIEW change = {};
    change.hdr = {List(), IDC_DOWNLOAD_LIST, static_cast<UINT>(LVN_ITEMCHANGED)};
    change.iItem = -1;
    change.uChanged = LVIF_STATE;
    change.uNewState = INDEXTOSTATEIMAGEMASK(1);
    SendMessageW(Window(), WM_NOTIFY, IDC_DOWNLOAD_LIST, reinterpret_cast<LPARAM>(&change));
    EXPECT_TRUE(worker.Paused());
    EXPECT_EQ(GetItemStatusOf(GetListItemParam(List(), 1)), kDownloadStatusPaused);
    EXPECT_EQ(GetItemStatusOf(GetListItemParam(List(), 0)), kDownloadStatusWaiting);
}

TEST_F(DownloadRowCommandsTest, RelatedFilesAreThoseOfTheRowsOwnVideoId) {
    WriteBytes(PathOf(L"a(sm12).mp4"), "v");
    WriteBytes(PathOf(L"sm12.xml"), "c");
    WriteBytes(PathOf(L"b(sm123).mp4"), "v");
    SetRows({{L"sm12", kDownloadStatusDone, 0x3}, {L"sm13", kDownloadStatusDone, 0x3}});
    // A row without a save folder has nothing on disk: it goes, and no folder is searched.
    SetListItemText(L"", kDownloadColumnSaveFolder, List(), 1);
    Select({0, 1});
    MessageBoxAnswerer answerer({IDYES});
    Command(IDM_DL_REMOVE_WITH_FILES);
    ASSERT_EQ(answerer.Seen().size(), 1u) << "only the question before the removal";
    EXPECT_TRUE(Keys().empty());
    EXPECT_FALSE(FileExists(PathOf(L"a(sm12).mp4")));
    EXPECT_FALSE(FileExists(PathOf(L"sm12.xml")));
    EXPECT_TRUE(FileExists(PathOf(L"b(sm123).mp4"))) << "another video's file";
}

TEST_F(DownloadRowCommandsTest, ATitleEditOfARowWithoutTitleIsRefused) {
    WriteBytes(PathOf(L"x(sm101).mp4"), "v");
    SetRows({{L"sm101", kDownloadStatusDone, 0x3, L"", PathOf(L"x(sm101).mp4")}});
    m_window.RenameItemFiles(0, L"新しい題名");
    EXPECT_EQ(GetListItemText(List(), 0, kDownloadColumnTitle), L"");
    EXPECT_TRUE(FileExists(PathOf(L"x(sm101).mp4")));
}

TEST_F(DownloadRowCommandsTest, AnAnswerGivenAfterTheWorkerEndedLeavesTheRowsAsTheyEnded) {
    const auto endWorker = [this](StandInWorker& worker, bool removeRow) {
        RunDownloadRowStep(List(), [&] {
            {
                CAutoLock guard = LockWorkerThreads();
                worker.Record().state = WorkerThreadRecord::kFree;
                worker.Record().rowIndex = -1;
            }
            SetDownloadItemStatus(List(), kDownloadStatusDone, 1);
            if (removeRow) {
                ShiftThreadSlotItems(1);
                ListView_DeleteItem(List(), 1);
            }
        });
    };
    SetRows({{L"sm101"}, {L"sm102"}, {L"sm103"}});
    {
        StandInWorker worker(1);
        SetDownloadItemStatus(List(), kDownloadStatusVideo, 1);
        SetListItemText(L"10/20", kDownloadColumnSize, List(), 1);
        Select({1});
        MessageBoxAnswerer answerer({IDYES}, [&] { endWorker(worker, false); });
        Command(IDM_DL_CANCEL);
        ASSERT_EQ(answerer.Seen().size(), 1u);
        EXPECT_FALSE(worker.Cancelled());
        EXPECT_EQ(GetItemStatusOf(GetListItemParam(List(), 1)), kDownloadStatusDone);
        EXPECT_EQ(GetListItemText(List(), 1, kDownloadColumnSize), L"10/20");
    }
    {
        StandInWorker worker(1);
        SetDownloadItemStatus(List(), kDownloadStatusVideo, 1);
        Select({1});
        MessageBoxAnswerer answerer({IDYES}, [&] { endWorker(worker, true); });
        Command(IDM_DL_REMOVE);
        ASSERT_EQ(answerer.Seen().size(), 1u);
        EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm101", L"sm103"}));
    }
}

TEST_F(DownloadRowCommandsTest, RenameNoticeOfAnotherWindow) {
    const std::wstring oldPath = PathOf(L"古い(sm101).mp4");
    const std::wstring newPath = PathOf(L"新しい題名(sm101).mp4");
    SetRows({{L"sm101", kDownloadStatusDone, 0x3, L"古い", oldPath}, {L"sm102", kDownloadStatusDone, 0x3, L"別"}});
    SendMessageW(m_main->Handle(), kMsgDownloadRenamePath, reinterpret_cast<WPARAM>(oldPath.c_str()),
                 reinterpret_cast<LPARAM>(newPath.c_str()));
    EXPECT_EQ(GetListItemText(List(), 0, kDownloadColumnVideoPath), newPath);
    EXPECT_EQ(GetListItemText(List(), 0, kDownloadColumnTitle), L"新しい題名");
    EXPECT_EQ(GetListItemText(List(), 1, kDownloadColumnTitle), L"別");

    // A key renamed in place is the row's key from then on: adding it again is a duplicate.
    const std::wstring oldUrl = L"http://127.0.0.1/old", newUrl = L"http://127.0.0.1/new";
    SetRows({{oldUrl, kDownloadStatusDone, 0x3, L"頁"}, {L"sm102", kDownloadStatusDone, 0x3, L"別"}});
    const std::vector<std::wstring> third = {L"sm103", L""};
    ASSERT_EQ(SendMessageW(m_main->Handle(), kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&third), 0x10003), 1);
    SendMessageW(m_main->Handle(), kMsgDownloadRenamePath, reinterpret_cast<WPARAM>(oldUrl.c_str()),
                 reinterpret_cast<LPARAM>(newUrl.c_str()));
    ASSERT_EQ(GetListItemText(List(), 0, kDownloadColumnId), newUrl);
    const std::vector<std::wstring> again = {newUrl, L""};
    EXPECT_EQ(SendMessageW(m_main->Handle(), kMsgDownloadAddItem, reinterpret_cast<WPARAM>(&again), 0x10003), 0);
    EXPECT_EQ(ListView_GetItemCount(List()), 3);
}

} // namespace

namespace {

// Chooses the file in the process's open-file dialog (its name box and OK) from a thread of its own;
// an empty path cancels the dialog.
void AnswerOpenFileDialog(const std::wstring& path, std::atomic<bool>& answered) {
    for (int i = 0; i < 500 && !answered; ++i) {
        HWND dialog = FindMessageBox();
        if (dialog == nullptr) {
            Sleep(20);
            continue;
        }
        if (path.empty()) {
            SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        } else {
            // The explorer-style dialog's name box is a combo box (1148), the old style's an edit (1152).
            for (int id : {1148, 1152}) {
                if (HWND box = GetDlgItem(dialog, id)) {
                    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
                }
            }
            SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        }
        answered = true;
    }
}

TEST_F(DownloadRowCommandsTest, ListFileChosenInTheDialog) {
    const std::wstring list = PathOf(L"list.dat");
    WriteTextFile(list, L"sm107\nsm108\n");
    for (const std::wstring& choice : {std::wstring(), list}) {
        SCOPED_TRACE(testing::PrintToString(choice));
        std::atomic<bool> answered{false};
        std::thread answerer([&] { AnswerOpenFileDialog(choice, answered); });
        Command(IDM_DL_ADD_FROM_FILE);
        answerer.join();
        EXPECT_TRUE(answered);
        if (choice.empty()) {
            PumpMessagesFor(200);
            EXPECT_TRUE(Keys().empty());
        } else {
            EXPECT_TRUE(PumpMessagesUntil([&] { return Keys().size() == 2; }));
            EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm107", L"sm108"}));
        }
    }
}

} // namespace
