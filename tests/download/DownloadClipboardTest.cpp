#include "CWndDownload/DownloadClipboard.h"

#include "CWndDownload/CWndDownload.h"
#include "CWndDownload/DownloadCommands.h"
#include "CWndDownload/DownloadListFile.h"
#include "CWndDownload/DownloadListRow.h"
#include "CWndDownload/DownloadResource.h"
#include "app/ControlBars.h"
#include "client/ServiceUrls.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/Clipboard.h"
#include "foundation/Handles.h"
#include "foundation/ListView.h"
#include "foundation/StringUtil.h"
#include "foundation/TextFile.h"
#include "foundation/WindowUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <windows.h>

#include <atomic>
#include <thread>

using namespace testing_support;

namespace {

const wchar_t kQuestionTail[] = L"\n\n上記のURLをダウンロードリストに追加しますか？"
                                L"\n(クリップボードの監視機能は[ツール]->[設定]メニューで変更できます)";

TEST(DownloadClipboardTextTest, TextIsReadUpToTheLimitAndTheClipboardIsClosed) {
    HWND window = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    struct Case {
        size_t characters;
        bool read;
    };
    // The size counts the terminating zero.
    const size_t limitCharacters = kClipboardTextLimitBytes / sizeof(wchar_t) - 1;
    const Case cases[] = {{5, true}, {limitCharacters, true}, {limitCharacters + 1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.characters);
        const std::wstring text(c.characters, L'あ');
        ASSERT_TRUE(OpenClipboard(window));
        ASSERT_TRUE(SetClipboardText(text));
        ClearLog();
        std::wstring buffer = L"before";
        ASSERT_TRUE(OpenClipboard(window));
        GetClipboardText(buffer);
        EXPECT_EQ(buffer, c.read ? text : L"before");
        const std::wstring log = LogText();
        EXPECT_NE(log.find(L"クリップボードサイズ = " + std::to_wstring((c.characters + 1) * sizeof(wchar_t))),
                  std::wstring::npos)
            << log;
        EXPECT_EQ(log.find(L"クリップボードテキストのサイズが制限値を超えています(256000)") != std::wstring::npos,
                  !c.read)
            << log;
        EXPECT_TRUE(OpenClipboard(window)) << "closed again";
        CloseClipboard();
    }
    DestroyWindow(window);
}

TEST(DownloadClipboardTextTest, ABlockWithoutItsZeroIsReadOnlyToItsEnd) {
    // What lies behind the block is not the text's, however it goes on.
    const wchar_t memory[] = L"sm9 and what follows";
    struct Case {
        size_t bytes;
        std::wstring text;
    };
    const Case cases[] = {{6, L"sm9"}, {7, L"sm9"}, {0, L""}, {sizeof(memory), memory}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(ReadClipboardTextBlock(memory, c.bytes), c.text);
    }
}

TEST(DownloadClipboardTextTest, WatchedWindowsAndTheQuestion) {
    struct Case {
        const wchar_t* include;
        const wchar_t* exclude;
        bool watched;
    };
    const std::wstring key = L"BrowserWindowClass::動画 - Browser";
    const Case cases[] = {
        {L".*", L"", true},
        {L".*", L"Browser.*", false},
        // The whole key must match.
        {L".*", L"Browser", true},
        {L"Browser", L"", false},
        {L"Notepad::.*", L"", false},
        // A faulty pattern matches nothing.
        {L"(", L"", false},
        {L".*", L"(", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.include << " / " << c.exclude);
        EXPECT_EQ(IsWatchedClipboardWindow(key, c.include, c.exclude), c.watched);
    }

    const std::wstring tail = kQuestionTail;
    EXPECT_EQ(MakeClipboardQuestion({L"http://a/sm1", L"http://a/sm2"}), L"http://a/sm1, http://a/sm2" + tail);
    const std::vector<std::wstring> many(200, L"http://www.example.com/watch/sm12345");
    EXPECT_EQ(MakeClipboardQuestion(many), JoinStrings(many, L", ").substr(0, 2048) + L" ...(省略)" + tail);
}

const wchar_t kSourceClass[] = L"VelaClipboardTestBrowser";
const wchar_t kViewerClass[] = L"VelaClipboardTestViewer";

// The clipboard viewer that joined the chain before the download window: the window passes every
// notice on to it once it has dealt with it.
std::atomic<int> g_noticesPassedOn{0};

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DRAWCLIPBOARD) {
        ++g_noticesPassedOn;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeTopLevel(const wchar_t* className, WNDPROC procedure, const wchar_t* title) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    return CreateWindowW(className, title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, wc.hInstance,
                         nullptr);
}

class DownloadClipboardTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        m_savedApp = GetAppSettings();
        m_savedDownload = GetDownloadSettings();
        GetAppSettings().programFolder = Folder();
        GetAppSettings().settingsDatPath = PathOf(L"settings.dat");
        // The queue starts no work on the rows the watch adds.
        GetAppSettings().OfflineMode = true;
        GetDownloadExceptList().Replace({});
        DownloadOwnClipboardWrite() = false;
        m_source = MakeTopLevel(kSourceClass, DefWindowProcW, L"動画 - ブラウザ");
        ShowWindow(m_source, SW_SHOWNOACTIVATE);
        m_viewer = MakeTopLevel(kViewerClass, ViewerProc, L"");
        m_viewerNext = SetClipboardViewer(m_viewer);
        // Windows sends the notice of joining the chain while the window is being made, before its
        // settings are read, and the window lets it pass; Wine sends it later, when it is analysed
        // like any change. An empty clipboard keeps that notice from asking about an earlier test's
        // text on either.
        if (OpenClipboard(m_source)) {
            EmptyClipboard();
            CloseClipboard();
        }
        g_noticesPassedOn = 0;
        ClearLog();
    }
    void TearDown() override {
        m_window.Destroy();
        // Later tests' windows find no references on the clipboard.
        if (OpenClipboard(m_source)) {
            EmptyClipboard();
            CloseClipboard();
        }
        ChangeClipboardChain(m_viewer, m_viewerNext);
        DestroyWindow(m_viewer);
        DestroyWindow(m_source);
        GetAppSettings() = m_savedApp;
        GetDownloadSettings() = m_savedDownload;
        GetDownloadExceptList().Replace({});
        DownloadOwnClipboardWrite() = false;
        TempFolderTest::TearDown();
    }

    // Creates the download window on a section "download" of these lines; it joins the chain in front of
    // the test's viewer.
    void OpenWindow(const std::wstring& downloadSection = L"") {
        ASSERT_TRUE(WriteTextFile(PathOf(L"velaplayer.ini"), L"[download]\n" + downloadSection));
        m_window.Init(L"VelaPlayer", PathOf(L"velaplayer.ini"), nullptr);
        ASSERT_TRUE(m_window.Show(SW_HIDE));
        ASSERT_TRUE(PumpMessagesUntil([&] { return m_window.IsListLoaded(); }));
        GetDownloadSettings().ListAutoSave = false;
        GetDownloadSettings().SavePath = Folder();
        PumpMessagesFor(100);
        g_noticesPassedOn = 0;
    }

    // The user copies the text in the test's browser window; waits until the download window has passed
    // the notice on (after any question it asked).
    void Copy(const std::wstring& text, HWND from = nullptr) {
        from = from != nullptr ? from : m_source;
        ForceForegroundWindow(from);
        const int before = g_noticesPassedOn;
        ASSERT_TRUE(OpenClipboard(from));
        ASSERT_TRUE(SetClipboardText(text));
        ASSERT_TRUE(PumpMessagesUntil([&] { return g_noticesPassedOn > before; }, 10000));
    }

    void AddRow(const std::wstring& key) { ASSERT_TRUE(m_window.AddDownloadItem(Folder(), key, 0, true, false)); }
    std::vector<std::wstring> Keys() const {
        std::vector<std::wstring> keys;
        HWND list = m_window.GetListView();
        for (int row = 0; row < ListView_GetItemCount(list); ++row) {
            keys.push_back(GetListItemText(list, row, kDownloadColumnId));
        }
        return keys;
    }
    static std::wstring Url(const std::wstring& id) { return GetWatchUrl(GetAppSettings().Country) + id; }
    static std::wstring Question(const std::wstring& urls) { return urls + kQuestionTail; }
    static std::vector<std::wstring> Texts(const std::vector<SeenMessageBox>& seen) {
        std::vector<std::wstring> texts;
        for (const SeenMessageBox& box : seen) {
            texts.push_back(box.text);
        }
        return texts;
    }

    CWndDownload m_window;
    HWND m_source = nullptr;
    HWND m_viewer = nullptr;
    HWND m_viewerNext = nullptr;

private:
    AppSettings m_savedApp;
    DownloadSettings m_savedDownload;
};

TEST_F(DownloadClipboardTest, AWatchUrlIsAskedAboutOnceAndTheProgramsOwnCopiesAreSkipped) {
    OpenWindow();
    // The main window's status bar, which shows the analysis while it runs.
    HWND statusParent = MakeTopLevel(L"VelaClipboardTestMain", DefWindowProcW, L"");
    CStatusBar& status = GetMainControls().statusBar;
    ASSERT_TRUE(status.CreateStatusBar(statusParent, {50, 100, 150, 200, -1}));
    std::wstring statusDuringQuestion;
    MessageBoxAnswerer answerer({IDYES}, [&] {
        wchar_t text[64] = {};
        SendMessageW(status.m_hWnd, SB_GETTEXTW, 4, reinterpret_cast<LPARAM>(text));
        statusDuringQuestion = text;
    });

    Copy(L"見て " + Url(L"sm90"));
    ASSERT_EQ(Texts(answerer.Seen()), std::vector<std::wstring>{Question(Url(L"sm90"))});
    EXPECT_EQ(answerer.Seen()[0].caption, L"VelaPlayer");
    EXPECT_EQ(Keys(), std::vector<std::wstring>{L"sm90"});
    EXPECT_EQ(statusDuringQuestion, L"クリップボード解析中...");
    wchar_t after[64] = {L'x'};
    SendMessageW(status.m_hWnd, SB_GETTEXTW, 4, reinterpret_cast<LPARAM>(after));
    EXPECT_STREQ(after, L"");
    DestroyWindow(statusParent);
    status = CStatusBar{};

    // The same text again, as another viewer may announce it: no second question.
    Copy(L"見て " + Url(L"sm90"));
    SendMessageW(m_window.GetHandle(), WM_DRAWCLIPBOARD, 0, 0);
    EXPECT_EQ(answerer.Seen().size(), 1u);

    // The list's own copy of the row's ID is skipped; the user's next copy is asked about.
    ShowWindow(m_window.GetHandle(), SW_SHOW);
    ForceForegroundWindow(m_window.GetHandle());
    ListView_SetItemState(m_window.GetListView(), 0, LVIS_SELECTED, LVIS_SELECTED);
    SetFocus(m_window.GetListView());
    ASSERT_EQ(GetFocus(), m_window.GetListView());
    const int before = g_noticesPassedOn;
    SendMessageW(m_window.GetHandle(), WM_COMMAND, IDM_DL_COPY_ID, 0);
    ASSERT_TRUE(PumpMessagesUntil([&] { return g_noticesPassedOn > before; }, 10000));
    EXPECT_EQ(answerer.Seen().size(), 1u) << "the program's own copy";
    EXPECT_FALSE(DownloadOwnClipboardWrite());

    Copy(L"sm91");
    EXPECT_EQ(Texts(answerer.Seen()).back(), Question(Url(L"sm91")));
    EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm90", L"sm91"}));
}

TEST_F(DownloadClipboardTest, TheWatchTakesChangesAfterTheSettingsWereReadAndWhileTheyAskForIt) {
    MessageBoxAnswerer answerer({IDNO});
    // What is on the clipboard when the window joins the chain, with the watch turned off.
    ASSERT_TRUE(OpenClipboard(m_source));
    ASSERT_TRUE(SetClipboardText(L"sm81"));
    OpenWindow(L"WatchClipBoard=0\n");
    Copy(L"sm82");
    EXPECT_TRUE(answerer.Seen().empty());

    GetDownloadSettings().WatchClipBoard = true;
    Copy(L"sm83");
    EXPECT_EQ(Texts(answerer.Seen()), std::vector<std::wstring>{Question(Url(L"sm83"))});
}

TEST_F(DownloadClipboardTest, ACopyThatCouldNotOpenTheClipboardDoesNotSwallowTheNextOne) {
    OpenWindow();
    AddRow(L"sm20");
    MessageBoxAnswerer answerer({IDNO});
    ShowWindow(m_window.GetHandle(), SW_SHOW);
    ForceForegroundWindow(m_window.GetHandle());
    ListView_SetItemState(m_window.GetListView(), 0, LVIS_SELECTED, LVIS_SELECTED);
    SetFocus(m_window.GetListView());
    {
        // Another program holds the clipboard open while the list copies.
        CKernelHandle opened(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        CKernelHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        std::thread holder([&] {
            OpenClipboard(nullptr);
            SetEvent(opened.Get());
            WaitForSingleObject(release.Get(), 10000);
            CloseClipboard();
        });
        WaitForSingleObject(opened.Get(), 10000);
        SendMessageW(m_window.GetHandle(), WM_COMMAND, IDM_DL_COPY_ID, 0);
        SetEvent(release.Get());
        holder.join();
    }
    EXPECT_FALSE(DownloadOwnClipboardWrite()) << "nothing was copied";

    Copy(L"sm21");
    EXPECT_EQ(Texts(answerer.Seen()), std::vector<std::wstring>{Question(Url(L"sm21"))});
}

TEST_F(DownloadClipboardTest, ThreeReferencesAreAskedAboutOnceAndAddedAsThreeRows) {
    OpenWindow();
    MessageBoxAnswerer answerer({IDYES});
    Copy(L"sm31 と " + Url(L"sm32") + L"\r\nそれに sm33");
    EXPECT_EQ(Texts(answerer.Seen()),
              std::vector<std::wstring>{Question(Url(L"sm31") + L", " + Url(L"sm32") + L", " + Url(L"sm33"))});
    EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm31", L"sm32", L"sm33"}));

    // A reference already in the list among several is only logged.
    ClearLog();
    Copy(L"sm33 sm34");
    EXPECT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm31", L"sm32", L"sm33", L"sm34"}));
    EXPECT_NE(LogText().find(L"sm33は既にリストに存在しています。"), std::wstring::npos) << LogText();
}

TEST_F(DownloadClipboardTest, OneReferenceAlreadyInTheListIsOfferedForReplacing) {
    OpenWindow();
    AddRow(L"sm41");
    AddRow(L"sm42");
    MessageBoxAnswerer answerer({IDYES, IDYES});
    Copy(Url(L"sm41"));
    EXPECT_EQ(Texts(answerer.Seen()),
              (std::vector<std::wstring>{Question(Url(L"sm41")),
                                         L"sm41は既にリストに存在しています。\n項目を新しい内容に置き換えますか？"}));
    EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"sm42", L"sm41"}));
}

TEST_F(DownloadClipboardTest, AnExcludedWindowIsLoggedAndNotAskedAbout) {
    OpenWindow(L"WatchExcludeWindow=/VelaClipboardTestBrowser::.*/\n");
    ShowWindow(CBaseDebug::GetWindow(), SW_SHOWNOACTIVATE);
    MessageBoxAnswerer answerer({IDYES});
    Copy(Url(L"sm51"));
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_TRUE(Keys().empty());
    const std::wstring log = LogText();
    EXPECT_NE(log.find(L"[クリップボード監視除外] VelaClipboardTestBrowser::動画 - ブラウザ"), std::wstring::npos)
        << log;

    // Any other window is watched.
    HWND other = MakeTopLevel(L"VelaClipboardTestEditor", DefWindowProcW, L"メモ");
    ShowWindow(other, SW_SHOWNOACTIVATE);
    Copy(Url(L"sm51"), other);
    DestroyWindow(other);
    ShowWindow(CBaseDebug::GetWindow(), SW_HIDE);
    EXPECT_EQ(answerer.Seen().size(), 1u);
    EXPECT_NE(LogText().find(L"[クリップボード監視有効] VelaClipboardTestEditor::メモ"), std::wstring::npos)
        << LogText();
}

TEST_F(DownloadClipboardTest, ATextAboveTheLimitLeadsToNoQuestion) {
    OpenWindow();
    MessageBoxAnswerer answerer({IDNO});
    Copy(Url(L"sm61") + L" " + std::wstring(kClipboardTextLimitBytes / sizeof(wchar_t), L'x'));
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_NE(LogText().find(L"クリップボードテキストのサイズが制限値を超えています(256000)"), std::wstring::npos);
}

TEST_F(DownloadClipboardTest, ANoticeWhileTheQuestionIsOpenIsNotAnalysedInsideIt) {
    OpenWindow();
    std::atomic<bool> passedOnInside{false};
    std::thread copier;
    // While the question is open another program copies; its notice reaches the window in the
    // question's message loop, which passes it on to the next viewer at once.
    MessageBoxAnswerer answerer({IDYES}, [&] {
        if (copier.joinable()) {
            return; // a second question
        }
        const int before = g_noticesPassedOn;
        copier = std::thread([] {
            if (OpenClipboard(nullptr)) {
                SetClipboardText(L"sm72");
            }
        });
        for (int i = 0; i < 150 && !passedOnInside; ++i) {
            passedOnInside = g_noticesPassedOn > before;
            Sleep(20);
        }
    });
    Copy(L"sm71");
    const bool answered = answerer.WaitForCount(1);
    PumpMessagesUntil([&] { return answerer.Seen().size() > 1; }, 300);
    if (copier.joinable()) {
        copier.join();
    }
    ASSERT_TRUE(answered);
    EXPECT_TRUE(passedOnInside);
    EXPECT_EQ(Texts(answerer.Seen()), std::vector<std::wstring>{Question(Url(L"sm71"))});
    EXPECT_EQ(Keys(), std::vector<std::wstring>{L"sm71"});
}

} // namespace
