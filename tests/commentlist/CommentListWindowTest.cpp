#include "CWndCommentList/CWndCommentList.h"

#include "CWndCommentList/CommentListResource.h"
#include "app/MainWindow.h"
#include "app/MediaPlayback.h"
#include "engine/CCommentFilter.h"
#include "engine/CommentControl.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CIniFile.h"
#include "foundation/ListView.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/WindowUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <dlgs.h>

#include <string>
#include <vector>

using namespace testing_support;

namespace {

const wchar_t kMainClass[] = L"VelaCommentListTestMain";

// The main window as the comment list meets it: it records seeks, NG entries, log lines and commands.
class RecordingMainWindow {
public:
    RecordingMainWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &RecordingMainWindow::Procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kMainClass;
        RegisterClassW(&wc);
        m_window = CreateWindowW(kMainClass, L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_savedMain = GetMainWindow();
        SetMainWindow(m_window);
    }
    ~RecordingMainWindow() {
        SetMainWindow(m_savedMain);
        DestroyWindow(m_window);
    }
    HWND Handle() const { return m_window; }

    std::vector<WPARAM> seeks;
    // Kind, file and value of each entry; "reload" for wParam 0.
    std::vector<std::wstring> entries;
    std::vector<std::wstring> log;
    std::vector<WPARAM> commands;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<RecordingMainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self != nullptr) {
            switch (message) {
            case kMsgSeek:
                self->seeks.push_back(wParam);
                return 0;
            case kMsgFilterEntry:
                if (wParam == 0) {
                    self->entries.push_back(L"reload");
                } else {
                    const auto* record = reinterpret_cast<const FilterEntryRecord*>(wParam);
                    self->entries.push_back(record->kind + L"|" + record->fileName + L"|" + record->value +
                                            (record->reloadNow != 0 ? L"|now" : L""));
                }
                return 0;
            case kMsgLogLine:
                self->log.push_back(reinterpret_cast<const wchar_t*>(wParam));
                return 0;
            case WM_COMMAND:
                self->commands.push_back(wParam);
                return 0;
            default:
                break;
            }
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND m_window = nullptr;
    HWND m_savedMain = nullptr;
};

struct Chat {
    int no;
    int vpos;
    const char* user;
    const char* text;
    const char* mail;
};

std::string CommentXml(const std::vector<Chat>& chats) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><packet>";
    for (const Chat& c : chats) {
        xml += "<chat thread=\"1\" no=\"" + std::to_string(c.no) + "\" vpos=\"" + std::to_string(c.vpos) +
               "\" date=\"1300000000\" user_id=\"" + c.user + "\"" +
               (c.mail[0] != 0 ? std::string(" mail=\"") + c.mail + "\"" : std::string()) + ">" + c.text + "</chat>";
    }
    return xml + "</packet>";
}

class CommentListWindowTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        m_savedSettings = GetAppSettings();
        GetAppSettings().EnableFilter = false;
        GetAppSettings().CommentTimeShift = 0;
        GetPlayingMedia().commentPath.clear();
        iniPath = PathOf(L"velaplayer.ini");
    }
    void TearDown() override {
        if (window.GetHandle() != nullptr) {
            window.Destroy();
        }
        GetAppSettings() = m_savedSettings;
        GetPlayingMedia().commentPath.clear();
        TempFolderTest::TearDown();
    }
    void Open() {
        window.Init(L"VelaPlayer", iniPath);
        window.SetNotify({main.Handle(), nullptr, WM_COMMAND, 8830, 7});
        ASSERT_TRUE(window.Show(SW_SHOW));
    }
    std::wstring WriteComments(const std::wstring& name, const std::vector<Chat>& chats) {
        const std::wstring path = PathOf(name);
        WriteBytes(path, CommentXml(chats));
        return path;
    }
    int Rows() const { return static_cast<int>(SendMessageW(window.GetListView(), LVM_GETITEMCOUNT, 0, 0)); }
    // Loads the file and waits until the list is idle with its rows.
    void Load(const std::wstring& path, int rows) {
        window.LoadFileAsync(path);
        ASSERT_TRUE(PumpMessagesUntil([&] { return !window.IsBusy() && Rows() == rows; }));
        PumpMessagesFor(50);
    }
    std::vector<std::wstring> Column(int column) const {
        std::vector<std::wstring> texts;
        for (int row = 0; row < Rows(); ++row) {
            texts.push_back(GetListItemText(window.GetListView(), row, column));
        }
        return texts;
    }
    void Select(std::initializer_list<int> rows) {
        LVITEMW clear = {};
        clear.stateMask = LVIS_SELECTED;
        SendMessageW(window.GetListView(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
        for (int row : rows) {
            LVITEMW item = {};
            item.state = item.stateMask = LVIS_SELECTED;
            SendMessageW(window.GetListView(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
        }
        PumpMessagesFor(20);
    }
    void Command(UINT id) {
        SendMessageW(window.GetHandle(), WM_COMMAND, id, 0);
        PumpMessagesFor(20);
    }
    UINT MenuState(UINT id) const { return GetMenuState(GetMenu(window.GetHandle()), id, MF_BYCOMMAND); }
    void ClickHeader(int column) {
        NMLISTVIEW click = {};
        click.hdr.hwndFrom = window.GetListView();
        click.hdr.idFrom = IDC_COMMENTLIST_LIST;
        click.hdr.code = LVN_COLUMNCLICK;
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageW(window.GetHandle(), WM_NOTIFY, IDC_COMMENTLIST_LIST, reinterpret_cast<LPARAM>(&click));
    }

    RecordingMainWindow main;
    CWndCommentList window;
    std::wstring iniPath;

private:
    AppSettings m_savedSettings;
};

const std::vector<Chat> kFive = {
    {3, 1000, "u1", "alpha", ""}, {1, 500, "u2", "bravo", "184 red"}, {2, 6000, "u1", "", "shita"},
    {5, 59900, "u3", "delta", ""}, {4, 100, "u1", "echo", ""},
};

} // namespace

TEST_F(CommentListWindowTest, AFileLoadShowsItsRowsAndFollowsTheSortKey) {
    Open();
    EXPECT_EQ(WindowText(window.GetHandle()), L"VelaPlayer - コメントリスト");
    const std::wstring path = WriteComments(L"sm9.xml", kFive);
    Load(path, 5);
    // No key: the rows stay in file order.
    EXPECT_EQ(Column(4), (std::vector<std::wstring>{L"3", L"1", L"2", L"5", L"4"}));
    EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"0:10", L"0:05", L"1:00", L"9:59", L"0:01"}));
    EXPECT_EQ(Column(5)[1], L"184 red");
    EXPECT_EQ(main.log.front(), L"(WCL)ファイル = " + path);
    EXPECT_EQ(window.GetLoadedFiles(), std::vector<std::wstring>{path});
    EXPECT_EQ(WindowText(window.GetStatusBar()), L"  - / 5");
    EXPECT_EQ(LOWORD(SendMessageW(window.GetStatusBar(), SB_GETTEXTLENGTHW, 1, 0)), 8); // " sm9.xml"

    // Three clicks on "No.": ascending, descending, then the order stays with no mark.
    const std::vector<std::wstring> ascending = {L"1", L"2", L"3", L"4", L"5"};
    ClickHeader(4);
    EXPECT_EQ(Column(4), ascending);
    EXPECT_EQ(GetListColumnText(window.GetListView(), 4), L"No. ↑");
    ClickHeader(4);
    EXPECT_EQ(Column(4), (std::vector<std::wstring>{L"5", L"4", L"3", L"2", L"1"}));
    EXPECT_EQ(GetListColumnText(window.GetListView(), 4), L"No. ↓");
    ClickHeader(4);
    EXPECT_EQ(Column(4), (std::vector<std::wstring>{L"5", L"4", L"3", L"2", L"1"}));
    EXPECT_EQ(GetListColumnText(window.GetListView(), 4), L"No.");
    // The time column sorts by value; column 8 cannot be sorted.
    ClickHeader(0);
    EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"0:01", L"0:05", L"0:10", L"1:00", L"9:59"}));
    ClickHeader(8);
    EXPECT_EQ(GetListColumnText(window.GetListView(), 0), L"表示 ↑");
    // A later load is ordered by the key.
    Load(WriteComments(L"sm10.xml", {{1, 9000, "a", "x", ""}, {2, 200, "b", "y", ""}}), 2);
    EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"0:02", L"1:30"}));
}

TEST_F(CommentListWindowTest, TheLastOfTwoLoadsStartedTogetherFillsTheList) {
    Open();
    std::vector<Chat> many;
    for (int i = 0; i < 3000; ++i) {
        many.push_back({i + 1, i, "many", "old", ""});
    }
    const std::wstring big = WriteComments(L"big.xml", many);
    const std::wstring small = WriteComments(L"small.xml", kFive);
    window.LoadFileAsync(big);
    window.LoadFileAsync(small);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !window.IsBusy() && Rows() == 5; }));
    PumpMessagesFor(300);
    EXPECT_EQ(Rows(), 5);
    EXPECT_EQ(Column(2), (std::vector<std::wstring>{L"u1", L"u2", L"u1", L"u3", L"u1"}));
    EXPECT_FALSE(window.IsBusy());
}

TEST_F(CommentListWindowTest, AFileWithoutChatsIsLoggedAndStopsTheLoad) {
    Open();
    const std::wstring empty = PathOf(L"empty.xml");
    WriteBytes(empty, "<packet></packet>");
    window.LoadFilesAsync({empty, WriteComments(L"sm9.xml", kFive)});
    ASSERT_TRUE(PumpMessagesUntil([&] {
        return !main.log.empty() && main.log.back() == L"コメントデータが見つかりません : " + empty && !window.IsBusy();
    }));
    PumpMessagesFor(200);
    EXPECT_EQ(Rows(), 0);
    EXPECT_TRUE(IsWindowEnabled(window.GetListView()));
}

TEST_F(CommentListWindowTest, RowsFollowTheTimeShiftAndAStoreLoadStartsFromNone) {
    Open();
    const std::wstring path = WriteComments(L"sm9.xml", kFive);
    GetPlayingMedia().commentPath = path;
    Load(path, 5);
    EXPECT_TRUE(window.ApplyTimeShift(1500));
    EXPECT_EQ(Column(0)[0], L"0:11");
    EXPECT_FALSE(window.ApplyTimeShift(1500));
    // A list of another file is not re-timed.
    GetPlayingMedia().commentPath = PathOf(L"other.xml");
    EXPECT_FALSE(window.ApplyTimeShift(3000));

    // The store's chats carry their times before the shift: the list starts from none and applies the
    // present shift, so shifting back gives the first texts again.
    GetPlayingMedia().commentPath = path;
    GetAppSettings().CommentTimeShift = 2000;
    CCommentFilter filter;
    CommentControl store(filter);
    ASSERT_TRUE(store.LoadCommentFile(path));
    window.LoadAsync(store);
    ASSERT_TRUE(PumpMessagesUntil([&] { return window.IsBusy(); }, 2000) || true);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !window.IsBusy() && Rows() == 5 && window.GetListTimeShift() == 2000; }));
    // Store loads without a key come in number order, with no mark.
    EXPECT_EQ(Column(4), (std::vector<std::wstring>{L"1", L"2", L"3", L"4", L"5"}));
    EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"0:07", L"1:02", L"0:12", L"0:03", L"10:01"}));
    EXPECT_EQ(GetListColumnText(window.GetListView(), 4), L"No.");
    EXPECT_TRUE(window.ApplyTimeShift(0));
    EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"0:05", L"1:00", L"0:10", L"0:01", L"9:59"}));
}

TEST_F(CommentListWindowTest, AutoScrollFollowsPlaybackOnlyBySortedTime) {
    std::vector<Chat> many;
    for (int i = 0; i < 300; ++i) {
        many.push_back({i + 1, i * 100, "u", "t", ""});
    }
    Open();
    Load(WriteComments(L"sm9.xml", many), 300);
    HWND list = window.GetListView();
    // Turning auto-scroll on asks to sort by time; No leaves the rows as they are.
    {
        MessageBoxAnswerer answer({IDNO});
        Command(IDM_CL_AUTO_SCROLL);
        ASSERT_TRUE(answer.WaitForCount(1));
        EXPECT_EQ(answer.Seen()[0].text, L"自動スクロールを有効にするには、リスト項目を表示時間順に並び替える必要があります。\n"
                                         L"並び替えを行いますか？");
    }
    EXPECT_TRUE(window.GetAutoScroll());
    // The load ended with the last row in view.
    EXPECT_GT(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 200);
    SendMessageW(list, LVM_ENSUREVISIBLE, 0, FALSE);
    window.ScrollToPlayPosition(250000);
    EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 0);
    Command(IDM_CL_AUTO_SCROLL);
    {
        MessageBoxAnswerer answer({IDYES});
        Command(IDM_CL_AUTO_SCROLL);
        ASSERT_TRUE(answer.WaitForCount(1));
    }
    EXPECT_EQ(GetListColumnText(list, 0), L"表示 ↑");
    window.ScrollToPlayPosition(250000);
    PumpMessagesFor(50);
    const int top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    const int perPage = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    EXPECT_TRUE(top <= 250 && 250 < top + perPage + 1) << top << " " << perPage;
    EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
    // Sorted by ID, the play position moves nothing.
    ClickHeader(2);
    SendMessageW(list, LVM_ENSUREVISIBLE, 0, FALSE);
    window.ScrollToPlayPosition(10000);
    EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 0);
}

TEST_F(CommentListWindowTest, TheBusyTitleDropsCommandsAndTheMenuFollowsRowsAndSelection) {
    Open();
    EXPECT_TRUE(MenuState(IDM_CL_CLEAR) & MF_GRAYED);
    EXPECT_TRUE(MenuState(IDM_CL_GROUP_BY_ID) & MF_GRAYED);
    EXPECT_TRUE(MenuState(IDM_CL_SELECT_ALL) & MF_GRAYED);
    EXPECT_FALSE(MenuState(IDM_CL_FIND) & MF_GRAYED);
    Load(WriteComments(L"sm9.xml", kFive), 5);
    for (UINT id : {IDM_CL_SEEK, IDM_CL_COPY_COMMENT, IDM_CL_NG_ID, IDM_CL_SELECT_SAME_ID, IDM_CL_SORT_SELECTED}) {
        EXPECT_TRUE(MenuState(id) & MF_GRAYED) << id;
    }
    EXPECT_FALSE(MenuState(IDM_CL_GROUP_BY_ID) & MF_GRAYED);
    EXPECT_FALSE(MenuState(IDM_CL_SELECT_ALL) & MF_GRAYED);

    SetWindowTextW(window.GetHandle(), L"ソート中...");
    Command(IDM_CL_SELECT_ALL);
    EXPECT_EQ(SendMessageW(window.GetListView(), LVM_GETSELECTEDCOUNT, 0, 0), 0);
    EXPECT_TRUE(MenuState(IDM_CL_SEEK) & MF_GRAYED);
    SetWindowTextW(window.GetHandle(), window.GetTitle().c_str());
    Command(IDM_CL_SELECT_ALL);
    EXPECT_EQ(SendMessageW(window.GetListView(), LVM_GETSELECTEDCOUNT, 0, 0), 5);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !(MenuState(IDM_CL_SEEK) & MF_GRAYED); }));
    EXPECT_EQ(WindowText(window.GetStatusBar()), L" 5 / 5");

    // Closing only tells the main window; clearing keeps the key and the loaded files.
    Command(IDM_CL_CLOSE);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !main.commands.empty(); }));
    EXPECT_EQ(main.commands.back(), 8830u);
    EXPECT_TRUE(IsWindow(window.GetHandle()));
    ClickHeader(4);
    Command(IDM_CL_CLEAR);
    Command(IDM_CL_VIEW_LAST_LINE);
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(window.GetSortKeys().CurrentKey(), 4);
    EXPECT_EQ(window.GetLoadedFiles().size(), 1u);
}

TEST_F(CommentListWindowTest, GroupingAndSelectingOneUsersComments) {
    Open();
    Load(WriteComments(L"sm9.xml", {{1, 0, "u1", "a", ""},
                                    {2, 0, "u2", "b", ""},
                                    {3, 0, "u1", "c", ""},
                                    {4, 0, "u3", "d", ""},
                                    {5, 0, "u2", "e", ""},
                                    {6, 0, "u1", "f", ""}}),
         6);
    Command(IDM_CL_GROUP_BY_ID);
    EXPECT_EQ(Column(2), (std::vector<std::wstring>{L"u1", L"u1", L"u1", L"u2", L"u2", L"u3"}));
    EXPECT_EQ(Column(4), (std::vector<std::wstring>{L"1", L"3", L"6", L"2", L"5", L"4"}));

    // Asked for while a load runs, the selection waits for the new rows and brings them to the top.
    std::vector<Chat> later;
    for (int i = 0; i < 2000; ++i) {
        later.push_back({i + 1, i, i % 100 == 7 ? "pick" : "other", "x", ""});
    }
    window.LoadFileAsync(WriteComments(L"sm10.xml", later));
    ASSERT_TRUE(PumpMessagesUntil([&] { return window.IsBusy(); }, 3000));
    const std::wstring id = L"pick";
    SendMessageW(window.GetHandle(), kMsgCommentListSelectId, reinterpret_cast<WPARAM>(id.c_str()), 0);
    ASSERT_TRUE(PumpMessagesUntil(
        [&] { return !window.IsBusy() && SendMessageW(window.GetListView(), LVM_GETSELECTEDCOUNT, 0, 0) == 20; }, 10000));
    PumpMessagesFor(100);
    const std::vector<std::wstring> ids = Column(2);
    EXPECT_EQ(std::count(ids.begin(), ids.begin() + 20, L"pick"), 20);
    EXPECT_EQ(GetSelectedListItems(window.GetListView()).back(), 19);
    EXPECT_EQ(window.GetSortKeys().Direction(CSortKeyTable::kSelectionKey), 1);
}

TEST_F(CommentListWindowTest, FindStepsWrapsAndSelectsEveryMatch) {
    Open();
    Load(WriteComments(L"sm9.xml", kFive), 5);
    Command(IDM_CL_FIND);
    HWND dialog = window.GetDialogWindow();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(dialog, chx1)), L"一致項目を選択状態にする(&S)");
    // Out of sight, so that the answerer of the search's message boxes does not take it for one.
    ShowWindow(dialog, SW_HIDE);
    const auto press = [&](const wchar_t* text, bool up, bool selectAll) {
        SetDlgItemTextW(dialog, edt1, text);
        SendDlgItemMessageW(dialog, rad1, BM_SETCHECK, up ? BST_CHECKED : BST_UNCHECKED, 0);
        SendDlgItemMessageW(dialog, rad2, BM_SETCHECK, up ? BST_UNCHECKED : BST_CHECKED, 0);
        SendDlgItemMessageW(dialog, chx1, BM_SETCHECK, selectAll ? BST_CHECKED : BST_UNCHECKED, 0);
        SendMessageW(dialog, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        PumpMessagesFor(20);
    };
    const auto selected = [&] { return GetSelectedListItems(window.GetListView()); };
    press(L"l", false, false);
    EXPECT_EQ(selected(), std::vector<int>{0}); // "alpha"
    press(L"l", false, false);
    EXPECT_EQ(selected(), std::vector<int>{3}); // "delta"
    {
        MessageBoxAnswerer answer({IDOK});
        press(L"l", false, false);
        ASSERT_TRUE(answer.WaitForCount(1));
        EXPECT_EQ(answer.Seen()[0].text, L"最後まで検索しました。");
        EXPECT_EQ(answer.Seen()[0].caption, L"VelaPlayer");
    }
    // Up from the last row; an up search off row 0 reports the top and starts again at the bottom.
    press(L"u1", true, false);
    EXPECT_EQ(selected(), std::vector<int>{4});
    press(L"u1", true, false);
    press(L"u1", true, false);
    EXPECT_EQ(selected(), std::vector<int>{0});
    {
        MessageBoxAnswerer answer({IDOK});
        press(L"u1", true, false);
        ASSERT_TRUE(answer.WaitForCount(1));
        EXPECT_EQ(answer.Seen()[0].text, L"先頭まで検索しました。");
    }
    press(L"u1", true, false);
    EXPECT_EQ(selected(), std::vector<int>{4});
    // Select-all mode finds a text that only the command column holds.
    {
        MessageBoxAnswerer answer({IDOK});
        press(L"shita", false, true);
        ASSERT_TRUE(answer.WaitForCount(1));
        EXPECT_EQ(answer.Seen()[0].text, L"一致した1項目を選択状態にしました。");
    }
    EXPECT_EQ(selected(), std::vector<int>{2});
    {
        MessageBoxAnswerer answer({IDOK});
        press(L"zzz", false, true);
        ASSERT_TRUE(answer.WaitForCount(1));
        EXPECT_EQ(answer.Seen()[0].text, L"一致する項目は見つかりませんでした。");
    }
}

TEST_F(CommentListWindowTest, RowsSeekCopyAndBecomeNgEntries) {
    Open();
    Load(WriteComments(L"sm9.xml", {{1, -200, "u1", "first", ""},
                                    {2, 1234, "u1", "", ""},
                                    {3, 500, "u2", "third", "184"}}),
         3);
    Select({0});
    Command(IDM_CL_SEEK);
    Select({1});
    NMHDR dbl = {window.GetListView(), IDC_COMMENTLIST_LIST, static_cast<UINT>(NM_DBLCLK)};
    SendMessageW(window.GetHandle(), WM_NOTIFY, IDC_COMMENTLIST_LIST, reinterpret_cast<LPARAM>(&dbl));
    EXPECT_EQ(main.seeks, (std::vector<WPARAM>{0, 12000}));

    const auto clipboard = [&] {
        std::wstring text;
        if (OpenClipboard(window.GetHandle())) {
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                text = static_cast<const wchar_t*>(GlobalLock(data));
                GlobalUnlock(data);
            }
            CloseClipboard();
        }
        return text;
    };
    Select({0, 1, 2});
    Command(IDM_CL_COPY_COMMENT);
    EXPECT_EQ(clipboard(), L"first\nthird");
    Select({});
    Command(IDM_CL_COPY_ID);
    EXPECT_EQ(clipboard(), L"first\nthird");
    Select({0, 2});
    Command(IDM_CL_COPY_COMMAND);
    EXPECT_EQ(clipboard(), L"184");

    Select({0, 1});
    Command(IDM_CL_NG_ID);
    EXPECT_EQ(main.entries, (std::vector<std::wstring>{L"Exclude ID|NG ID.txt|u1", L"Exclude ID|NG ID.txt|u1",
                                                       L"reload"}));
    main.entries.clear();
    ClearLog();
    Select({1});
    Command(IDM_CL_NG_COMMAND);
    EXPECT_TRUE(main.entries.empty());
    EXPECT_NE(LogText().find(L"フィルタ文字列が指定されていません"), std::wstring::npos);
    Select({1, 2});
    Command(IDM_CL_NG_WORD);
    EXPECT_EQ(main.entries, (std::vector<std::wstring>{L"Exclude Word|NG ワード.txt|third", L"reload"}));
}

TEST_F(CommentListWindowTest, SettingsAreSavedAndOnlyKnownSortKeysRestored) {
    CIniFile ini(iniPath, L"comment_list");
    ini.Write(L"comment_list", L"ColumnOrderArray", L"0,2,1,3,4,5,6,7,8,");
    ini.Write(L"comment_list", L"SortSubItem", int32_t(8));
    ini.Write(L"comment_list", L"SortDirection", int32_t(1));
    ini.Write(L"comment_list", L"ColumnWidthID", int32_t(123));
    ini.Write(L"comment_list", L"AutoViewLastLine", false);
    Open();
    std::vector<int> order(9);
    SendMessageW(window.GetListView(), LVM_GETCOLUMNORDERARRAY, 9, reinterpret_cast<LPARAM>(order.data()));
    EXPECT_EQ(order, (std::vector<int>{0, 2, 1, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(window.GetSortKeys().CurrentKey(), -1);
    EXPECT_EQ(SendMessageW(window.GetListView(), LVM_GETCOLUMNWIDTH, 2, 0), 123);
    EXPECT_FALSE(window.GetAutoViewLastLine());
    EXPECT_TRUE(MenuState(IDM_CL_VIEW_LAST_LINE) == 0 || !(MenuState(IDM_CL_VIEW_LAST_LINE) & MF_CHECKED));
    ClickHeader(5);
    ClickHeader(5);
    window.Destroy();
    EXPECT_EQ(ini.ReadInt(L"comment_list", L"SortSubItem", -1), 5);
    EXPECT_EQ(ini.ReadInt(L"comment_list", L"SortDirection", 0), 2);
    EXPECT_EQ(ini.ReadString(L"comment_list", L"ColumnOrderArray", L""), L"0,2,1,3,4,5,6,7,8,");
    EXPECT_EQ(ini.ReadInt(L"comment_list", L"ColumnWidthID", 0), 123);
    EXPECT_FALSE(ini.ReadBool(L"comment_list", L"AutoViewLastLine", true));
    EXPECT_TRUE(ini.ReadBool(L"comment_list", L"MatchCase", false));

    // A key outside the table restores nothing; a saved one comes back with its mark.
    ini.Write(L"comment_list", L"SortSubItem", int32_t(42));
    CWndCommentList second;
    second.Init(L"VelaPlayer", iniPath);
    ASSERT_TRUE(second.Show(SW_HIDE));
    EXPECT_EQ(second.GetSortKeys().CurrentKey(), -1);
    second.Destroy();
    ini.Write(L"comment_list", L"SortSubItem", int32_t(5));
    CWndCommentList third;
    third.Init(L"VelaPlayer", iniPath);
    ASSERT_TRUE(third.Show(SW_HIDE));
    EXPECT_EQ(third.GetSortKeys().Direction(5), 2);
    EXPECT_EQ(GetListColumnText(third.GetListView(), 5), L"コマンド ↓");
    third.Destroy();
}
