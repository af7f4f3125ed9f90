// Opening and playing media: the real player on the sample videos, and the kinds of file that lead to
// a video.

#include "app/MainWindow.h"
#include "app/MediaPlayback.h"
#include "client/Account.h"
#include "engine/CDirectShow.h"
#include "engine/FramePump.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CSectionFile.h"
#include "foundation/Exception.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/PrivateMessages.h"
#include "tests/app/PlayerFixture.h"
#include "tests/fakeservice/FakeService.h"

#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <algorithm>
#include <stdexcept>

using namespace testing_support;
using namespace player_testing;

namespace {

// As the player does before it returns.
const bool g_endRegistered = (AddProgramEndStep([] { GetDirectShow().ShutdownDirectShow(); }), true);

class MediaPlaybackTest : public PlayerTest {
protected:
    static long long TimeOf(const std::wstring& answer) {
        return !answer.empty() && answer.find_first_not_of(L"0123456789") == std::wstring::npos ? std::stoll(answer)
                                                                                                : -1;
    }
};

// A shortcut at link that points to target.
bool MakeShortcut(const std::wstring& link, const std::wstring& target) {
    Microsoft::WRL::ComPtr<IShellLinkW> shell;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(shell.GetAddressOf())))) {
        return false;
    }
    Microsoft::WRL::ComPtr<IPersistFile> file;
    return SUCCEEDED(shell->SetPath(target.c_str())) && SUCCEEDED(shell.As(&file)) &&
           SUCCEEDED(file->Save(link.c_str(), TRUE));
}

TEST_F(MediaPlaybackTest, PlaysTheSampleWithItsCommentsAndAnswersItsTime) {
    const std::wstring video = CopySample(L"sample(sm9).mp4", L"sample(sm9).mp4");
    const std::wstring comments = CopySample(L"sample(sm9).xml", L"sample(sm9).xml");
    ASSERT_FALSE(video.empty());
    ProgramProcess player;
    // The shift of the same command line is the file's own, applied once its comments are in.
    HWND main = StartPlayer(player, L"\"" + video + L"\" player -shift time=2000");
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PumpMessagesUntil([&] { return WindowText(main) == L"sample(sm9).mp4 - VelaPlayer"; }, 15000))
        << LogOf(main);
    ASSERT_TRUE(PumpMessagesUntil([&] { return SendMessageW(main, kMsgPlayState, 0, 0) == 2; }, 15000)) << LogOf(main);
    ASSERT_TRUE(PumpMessagesUntil([&] { return LogOf(main).find(L"再生開始\r\n") != std::wstring::npos; }));
    const std::wstring log = LogOf(main);
    EXPECT_LT(log.find(L"コメントデータ読み込み中...\r\n"), log.find(L"コメントの時間軸変更 : 2\r\n"));
    EXPECT_NE(log.find(L"コメントの時間軸変更 : 2\r\n"), std::wstring::npos);
    EXPECT_NE(log.find(L"更新間隔 = "), std::wstring::npos);
    EXPECT_EQ(Query(main, L"get -commentfile"), comments);
    EXPECT_EQ(Query(main, L"get -mediastate"), L"Running");

    // Playing, the position moves on, however fast the machine is.
    const long long first = TimeOf(Query(main, L"get -time"));
    EXPECT_GE(first, 0);
    long long second = first;
    EXPECT_TRUE(PumpMessagesUntil(
        [&] {
            second = TimeOf(Query(main, L"get -time"));
            return second > first + 500;
        },
        20000))
        << first << " then " << second;
    EXPECT_LT(second, 30000);
    EXPECT_EQ(TimeOf(Query(main, L"get -length")) / 1000, 30);

    // Opens asked for while the comments of another still load wait for the load's end; the latest wins.
    const std::wstring big = CopySample(L"sample(sm9).mp4", L"big(sm6).mp4");
    const std::wstring passed = CopySample(L"short.mp4", L"passed(sm3).mp4");
    WriteBytes(PathOf(L"big(sm6).xml"), CommentFileOf(60000));
    SendCommandLine(main, L"x \"" + big + L"\"");
    SendCommandLine(main, L"x \"" + passed + L"\"");
    SendCommandLine(main, L"x \"" + video + L"\"");
    EXPECT_TRUE(PumpMessagesUntil(
        [&] { return LogOf(main).find(L"コメントの読み込みが完了していません\r\n") != std::wstring::npos; }, 15000));
    const std::wstring opened = L"動画ファイル : " + video + L"\r\n";
    EXPECT_TRUE(PumpMessagesUntil([&] { return CountOf(LogOf(main), opened) == 2; }, 30000));
    EXPECT_TRUE(PumpMessagesUntil([&] { return WindowText(main) == L"sample(sm9).mp4 - VelaPlayer"; }, 15000));
    const std::wstring after = LogOf(main);
    EXPECT_LT(after.find(L"動画ファイル : " + big), after.rfind(opened));
    EXPECT_EQ(CountOf(after, L"動画ファイル : " + passed), 0u);
    Close(player, main);
}

TEST_F(MediaPlaybackTest, RepeatPlaysTheFileAgainAtItsEnd) {
    AddSettings("PlayWay=1\r\n");
    const std::wstring clip = CopySample(L"short.mp4", L"short(sm1).mp4");
    ProgramProcess player;
    HWND main = StartPlayer(player, L"\"" + clip + L"\"");
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PumpMessagesUntil([&] { return SendMessageW(main, kMsgPlayState, 0, 0) == 2; }, 15000));
    // The position runs to the end and starts again from 0, on every pass.
    long long latest = 0;
    int passes = 1;
    PumpMessagesUntil(
        [&] {
            const long long now = TimeOf(Query(main, L"get -time"));
            if (latest >= 1500 && now >= 0 && now + 1000 < latest) {
                ++passes;
                latest = 0;
            }
            latest = std::max(latest, now);
            return passes == 3;
        },
        20000);
    EXPECT_EQ(passes, 3);
    EXPECT_EQ(SendMessageW(main, kMsgPlayState, 0, 0), 2);
    Close(player, main);
}

TEST_F(MediaPlaybackTest, NextPlaysExactlyTheFollowingPlaylistEntry) {
    AddSettings("PlayWay=2\r\n");
    const std::wstring a = CopySample(L"short.mp4", L"a(sm1).mp4");
    const std::wstring b = CopySample(L"sample(sm9).mp4", L"b(sm2).mp4");
    const std::wstring c = CopySample(L"short.mp4", L"c(sm3).mp4");
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    for (const std::wstring* file : {&a, &b, &c}) {
        SendCommandLine(main, L"x \"" + *file + L"\" -addlist");
    }
    SendCommandLine(main, L"x \"" + a + L"\"");
    ASSERT_TRUE(PumpMessagesUntil([&] { return Query(main, L"get -file") == a + L"\n" + b + L"\n" + c; }));
    ASSERT_TRUE(PumpMessagesUntil([&] { return WindowText(main) == L"b(sm2).mp4 - VelaPlayer"; }, 20000));
    PumpMessagesFor(2000);
    const std::wstring log = LogOf(main);
    EXPECT_EQ(CountOf(log, L"動画ファイル : " + b), 1u);
    EXPECT_EQ(CountOf(log, L"動画ファイル : " + c), 0u);
    EXPECT_EQ(WindowText(main), L"b(sm2).mp4 - VelaPlayer");
    EXPECT_EQ(SendMessageW(main, kMsgPlayState, 0, 0), 2);
    Close(player, main);
}

TEST_F(MediaPlaybackTest, CommentAndShortcutFilesLeadToTheirVideo) {
    const std::wstring video = CopySample(L"short.mp4", L"clip(sm7).mp4");
    const std::wstring comments = CopySample(L"sample(sm9).xml", L"clip(sm7).xml");
    const std::wstring other = CopySample(L"short.mp4", L"other(sm5).mp4");
    ASSERT_TRUE(MakeShortcut(PathOf(L"inner.lnk"), other));
    ASSERT_TRUE(MakeShortcut(PathOf(L"outer.lnk"), PathOf(L"inner.lnk")));
    ProgramProcess player;
    HWND main = StartPlayer(player, L"\"" + comments + L"\"");
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PumpMessagesUntil([&] { return WindowText(main) == L"clip(sm7).mp4 - VelaPlayer"; }, 15000));
    EXPECT_EQ(Query(main, L"get -mediafile"), video);
    EXPECT_EQ(Query(main, L"get -commentfile"), comments);
    ASSERT_TRUE(PumpMessagesUntil([&] { return LogOf(main).find(L"再生開始\r\n") != std::wstring::npos; }, 15000));

    // Asked while the comment load may still be ending (it logs before it clears its flag): the open
    // then waits for the load's end. The shortcut to a shortcut is followed to its video.
    SendCommandLine(main, L"x \"" + PathOf(L"outer.lnk") + L"\"");
    ASSERT_TRUE(PumpMessagesUntil([&] { return WindowText(main) == L"other(sm5).mp4 - VelaPlayer"; }, 15000));
    EXPECT_EQ(Query(main, L"get -mediafile"), other);
    Close(player, main);
}

// A second start while an open waits in a box: its file opens after the box, not inside it (where
// the first open, carrying on, would have put its own title and comments over the second's graph).
TEST_F(MediaPlaybackTest, CommandLineArrivingDuringAnOpensBoxRunsAfterIt) {
    const std::wstring orphan = CopySample(L"sample(sm9).xml", L"orphan(sm77).xml");
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    SendCommandLine(main, L"x \"" + orphan + L"\"");
    ASSERT_TRUE(PumpMessagesUntil([&] { return FindMessageBox(player.ProcessId()) != nullptr; }, 15000));
    const std::wstring video = CopySample(L"short.mp4", L"clip(sm7).mp4");
    SendCommandLine(main, L"x \"" + video + L"\"");
    PumpMessagesFor(1500);
    EXPECT_EQ(WindowText(main), L"VelaPlayer");
    {
        // No: the comment file's open ends without a video.
        MessageBoxAnswerer answerer({IDNO}, player.ProcessId());
        ASSERT_TRUE(answerer.WaitForCount(1));
        EXPECT_EQ(answerer.Seen()[0].text.rfind(L"コメントファイルに対応する動画ファイルが見つかりません。\n", 0), 0u);
    }
    ASSERT_TRUE(PumpMessagesUntil([&] { return WindowText(main) == L"clip(sm7).mp4 - VelaPlayer"; }, 15000));
    EXPECT_EQ(Query(main, L"get -mediafile"), video);
    Close(player, main);
}

// Shortcuts that lead back to themselves: a box, and the player goes on answering.
TEST_F(MediaPlaybackTest, ShortcutCycleIsRefusedAndThePlayerAnswers) {
    const std::wstring any = PathOf(L"any.mp4");
    WriteBytes(any, "x");
    // Each link must exist before a link can point at it.
    ASSERT_TRUE(MakeShortcut(PathOf(L"b.lnk"), any));
    ASSERT_TRUE(MakeShortcut(PathOf(L"a.lnk"), PathOf(L"b.lnk")));
    ASSERT_TRUE(MakeShortcut(PathOf(L"b.lnk"), PathOf(L"a.lnk")));
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    MessageBoxAnswerer answerer({IDOK}, player.ProcessId());
    SendCommandLine(main, L"x \"" + PathOf(L"a.lnk") + L"\"");
    ASSERT_TRUE(answerer.WaitForCount(1, 15000));
    EXPECT_EQ(answerer.Seen()[0].text, L"ショートカットに対応する動画ファイルが見つかりません。\n" + PathOf(L"a.lnk"));
    EXPECT_EQ(Query(main, L"get -version"), GetAppSettings().version);
    Close(player, main);
}

TEST_F(MediaPlaybackTest, InformationFileCommandRunsOnceInsteadOfTheOpen) {
    // The command opens the same video again: that open plays it instead of running the command again.
    const std::wstring video = CopySample(L"short.mp4", L"info(sm4).mp4");
    ASSERT_TRUE(
        CSectionFile(PathOf(L"info(sm4).txt")).SetSection(L"command", L"\"" + video + L"\"\nplayer -shift time=1000"));
    ProgramProcess player;
    HWND main = StartPlayer(player, L"\"" + video + L"\"");
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PumpMessagesUntil([&] { return WindowText(main) == L"info(sm4).mp4 - VelaPlayer"; }, 15000));
    const std::wstring log = LogOf(main);
    EXPECT_EQ(CountOf(log, L"動画情報コマンド : \"" + video + L"\" player -shift time=1000\r\n"), 1u);
    EXPECT_EQ(CountOf(log, L"動画ファイル : " + video + L"\r\n"), 1u);
    Close(player, main);
}

TEST(RefreshIntervalTest, FollowsFrameTimeQualityAndBounds) {
    struct Case {
        int32_t minMs, maxMs;
        UINT expected[5][4]; // frame times 0 (unknown: 40), 20, 40, 50, 100 × quality 0-3
    };
    const Case cases[] = {
        {0, 0, {{160, 80, 60, 40}, {80, 40, 30, 20}, {160, 80, 60, 40}, {160, 80, 60, 50}, {160, 80, 60, 100}}},
        {30, 60, {{160, 80, 60, 40}, {120, 60, 45, 30}, {160, 80, 60, 40}, {160, 80, 60, 50}, {160, 80, 60, 60}}},
    };
    const UINT frames[] = {0, 20, 40, 50, 100};
    for (const Case& c : cases) {
        AppSettings settings;
        settings.MinAvgTimePerFrame = c.minMs;
        settings.MaxAvgTimePerFrame = c.maxMs;
        for (int f = 0; f < 5; ++f) {
            for (int quality = 0; quality < 4; ++quality) {
                settings.VideoPlayQuality = quality;
                EXPECT_EQ(CalcRefreshInterval(true, frames[f], settings), c.expected[f][quality])
                    << frames[f] << " ms, quality " << quality << ", bounds " << c.minMs << "-" << c.maxMs;
                EXPECT_EQ(CalcRefreshInterval(false, frames[f], settings), 250u);
            }
        }
    }
}

// Kinds that lead to no video: each ends in its box and opens nothing.
TEST_F(MediaPlaybackTest, FilesWithoutVideoEndInTheirBox) {
    WriteBytes(PathOf(L"alone(sm8).xml"), "<packet/>");
    WriteBytes(PathOf(L"alone(sm8).txt"), "");
    WriteBytes(PathOf(L"broken.lnk"), "not a shortcut");
    const std::wstring any = PathOf(L"any.mp4");
    WriteBytes(any, "x");
    ASSERT_TRUE(MakeShortcut(PathOf(L"self.lnk"), any));
    ASSERT_TRUE(MakeShortcut(PathOf(L"self.lnk"), PathOf(L"self.lnk")));
    ASSERT_TRUE(MakeShortcut(PathOf(L"second.lnk"), any));
    ASSERT_TRUE(MakeShortcut(PathOf(L"first.lnk"), PathOf(L"second.lnk")));
    ASSERT_TRUE(MakeShortcut(PathOf(L"second.lnk"), PathOf(L"first.lnk")));
    struct Case {
        std::wstring path;
        int button;
        std::wstring text;
    };
    const Case cases[] = {
        {PathOf(L"missing.mp4"), IDOK, L"ファイルが見つかりません。\n\n" + PathOf(L"missing.mp4")},
        {PathOf(L"alone(sm8).xml"), IDNO,
         L"コメントファイルに対応する動画ファイルが見つかりません。\n" + PathOf(L"alone(sm8).xml") +
             L"再生する動画ファイルを手動で選択しますか？"},
        {PathOf(L"alone(sm8).txt"), IDOK,
         PathOf(L"alone(sm8).txt") + L"\n\n動画情報ファイルに対応する動画ファイルが見つかりません。"},
        {PathOf(L"broken.lnk"), IDOK,
         L"ショートカットに対応する動画ファイルが見つかりません。\n" + PathOf(L"broken.lnk")},
        // Cycles end there too, instead of following themselves until the stack runs out.
        {PathOf(L"self.lnk"), IDOK, L"ショートカットに対応する動画ファイルが見つかりません。\n" + PathOf(L"self.lnk")},
        {PathOf(L"first.lnk"), IDOK,
         L"ショートカットに対応する動画ファイルが見つかりません。\n" + PathOf(L"first.lnk")},
        // A folder is taken for a video, which no filter reads.
        {Folder(), IDOK,
         L"Error : "
         L"\nファイル形式に対応したフィルタがインストールされていません。\nフィルタのインストールを行って下さい。"
         L"\n\nファイルの読み込みに失敗しました。\n"},
    };
    for (const Case& c : cases) {
        MessageBoxAnswerer answerer({c.button});
        EXPECT_FALSE(OpenMediaFile(c.path)) << testing::PrintToString(c.path);
        ASSERT_TRUE(answerer.WaitForCount(1)) << testing::PrintToString(c.path);
        EXPECT_EQ(answerer.Seen()[0].text, c.text);
        EXPECT_FALSE(GetPlayingMedia().open);
    }
}

// A stand-in for the main window in this process: OpenMediaFile plays into it, and it takes the
// graph's events as the main window does.
class StandInMainWindow {
public:
    StandInMainWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VelaStandInMain";
        RegisterClassW(&wc);
        m_window = CreateWindowW(L"VelaStandInMain", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 360, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetMainWindow(m_window);
    }
    ~StandInMainWindow() {
        CloseMediaFile();
        SetMainWindow(nullptr);
        DestroyWindow(m_window);
        UnregisterClassW(L"VelaStandInMain", GetModuleHandleW(nullptr));
    }
    HWND Handle() const { return m_window; }
    SIZE ClientSize() const {
        RECT client = {};
        GetClientRect(m_window, &client);
        return {client.right, client.bottom};
    }

    int completions = 0; // EC_COMPLETE taken after kMsgGraphEvent

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<StandInMainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == kMsgGraphEvent && self != nullptr) {
            long code = 0;
            while (GetDirectShow().IsGraphReady() && GetDirectShow().GetGraphEvent(code)) {
                self->completions += code == EC_COMPLETE ? 1 : 0;
            }
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND m_window = nullptr;
};

class OpenIntoStandInTest : public MediaPlaybackTest {
protected:
    void SetUp() override {
        MediaPlaybackTest::SetUp();
        m_saved = GetAppSettings();
        // Opening a video asks the service for its data: not the real one.
        GetAppSettings().ServiceBaseUrl = L"http://127.0.0.1:9/";
    }
    void TearDown() override {
        GetAppSettings() = m_saved;
        MediaPlaybackTest::TearDown();
    }

private:
    AppSettings m_saved;
};

// The graph's own end of stream reaches the main window, not only the pump's look at the position.
TEST_F(OpenIntoStandInTest, TheGraphsEndOfStreamComesToTheMainWindow) {
    const std::wstring clip = CopySample(L"short.mp4", L"end(sm1).mp4");
    StandInMainWindow main;
    ASSERT_TRUE(OpenMediaFile(clip));
    EXPECT_TRUE(PumpMessagesUntil([&] { return main.completions == 1; }, 15000));
}

TEST_F(OpenIntoStandInTest, WindowFitsTheVideoOnlyWhenAsked) {
    struct Case {
        bool movieSizeAuto;
        SIZE expected;
    };
    // The clip is 320 × 240; the stand-in has no control bars, so its video area is its client area.
    const Case cases[] = {{true, {320, 240}}, {false, {0, 0}}};
    const std::wstring clip = CopySample(L"short.mp4", L"fit(sm1).mp4");
    for (const Case& c : cases) {
        GetAppSettings().MovieSizeAuto = c.movieSizeAuto;
        StandInMainWindow main;
        const SIZE before = main.ClientSize();
        ASSERT_TRUE(OpenMediaFile(clip)) << c.movieSizeAuto;
        const SIZE expected = c.movieSizeAuto ? c.expected : before;
        EXPECT_EQ(main.ClientSize().cx, expected.cx) << c.movieSizeAuto;
        EXPECT_EQ(main.ClientSize().cy, expected.cy) << c.movieSizeAuto;
    }
}

// A rate the user chose is given to the next file's graph too.
TEST_F(OpenIntoStandInTest, ChosenRateGoesOnToTheNextFile) {
    const std::wstring first = CopySample(L"short.mp4", L"first(sm1).mp4");
    const std::wstring second = CopySample(L"short.mp4", L"second(sm2).mp4");
    StandInMainWindow main;
    ASSERT_TRUE(OpenMediaFile(first));
    ASSERT_TRUE(GetDirectShow().SetRate(1.5));
    ClearLog();
    ASSERT_TRUE(OpenMediaFile(second));
    EXPECT_EQ(GetDirectShow().GetPlaybackRate(), 1.5);
    EXPECT_EQ(LogText().find(L"再生レートの設定に失敗しました"), std::wstring::npos) << LogText();
    ASSERT_TRUE(GetDirectShow().SetRate(1.0));
}

// What the main window answers to kMsgVideoData: the opened video's data, fetched while it plays.
TEST_F(OpenIntoStandInTest, TheOpenedVideosDataIsFetchedForTheMainWindow) {
    FakeService fake;
    ASSERT_TRUE(fake.IsRunning());
    GetAppSettings().ServiceBaseUrl = fake.BaseUrl();
    ASSERT_TRUE(Login(L"user@example.com", L"pass word&1"));
    const std::wstring video = CopySample(L"short.mp4", L"data(sm9).mp4");
    const std::wstring plain = CopySample(L"short.mp4", L"plain.mp4");
    StandInMainWindow main;
    ASSERT_TRUE(OpenMediaFile(video));
    std::wstring data;
    EXPECT_TRUE(PumpMessagesUntil([&] {
        data = GetPlayingVideoData().Answer(video, true);
        return !data.empty();
    }));
    EXPECT_NE(data.find(L"thread_id="), std::wstring::npos) << data;

    ASSERT_TRUE(OpenMediaFile(plain));
    EXPECT_EQ(GetPlayingVideoData().Answer(plain, true), L"") << "no video ID";
    EXPECT_EQ(GetPlayingVideoData().Answer(video, true), L"") << "another video";

    struct Case {
        const wchar_t* path;
        bool offline;
        bool hasData;
    };
    const Case cases[] = {
        {L"C:\\v\\title(sm9).mp4", false, true},
        {L"C:\\v\\title(sm9).mp4", true, false},
        {L"C:\\v\\title.mp4", false, false},
        {L"C:\\v\\missing(sm404).mp4", false, true}, // the service's error text is the data
    };
    for (const Case& c : cases) {
        GetAppSettings().OfflineMode = c.offline;
        EXPECT_EQ(!FetchVideoData(c.path, L"jp").empty(), c.hasData) << c.path << c.offline;
    }
}

TEST(InformationCommandTest, GuardHoldsWhileTheCommandRunsAndIsReleasedWhenItThrows) {
    std::vector<std::wstring> seen;
    bool nested = true;
    EXPECT_TRUE(
        RunInformationCommand(L"\"a b.mp4\"\nplayer -shift time=1000", [&](const std::vector<std::wstring>& args) {
            seen = args;
            EXPECT_TRUE(IsInformationCommandRunning());
            nested =
                RunInformationCommand(L"x", [](const std::vector<std::wstring>&) { ADD_FAILURE() << "ran nested"; });
        }));
    EXPECT_FALSE(nested);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"a b.mp4", L"player", L"-shift", L"time=1000"}));
    EXPECT_FALSE(IsInformationCommandRunning());

    const std::function<void()> throws[] = {
        [] { VELA_THROW(L"SeekPercent : Range", 0); },
        [] { throw std::runtime_error("any"); },
    };
    for (const auto& thrower : throws) {
        EXPECT_ANY_THROW(RunInformationCommand(L"x", [&](const std::vector<std::wstring>&) { thrower(); }));
        EXPECT_FALSE(IsInformationCommandRunning());
    }
    int runs = 0;
    EXPECT_TRUE(RunInformationCommand(L"x", [&](const std::vector<std::wstring>&) { ++runs; }));
    EXPECT_EQ(runs, 1);
}

class VideoFilterTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        m_saved = GetAppSettings();
        ASSERT_TRUE(m_fake.IsRunning());
        GetAppSettings().ServiceBaseUrl = m_fake.BaseUrl();
    }
    void TearDown() override {
        GetAppSettings() = m_saved;
        TempFolderTest::TearDown();
    }

    FakeService m_fake;

private:
    AppSettings m_saved;
};

TEST_F(VideoFilterTest, ReportsTheUploadersFiltersOrWhyThereAreNone) {
    ASSERT_TRUE(Login(L"user@example.com", L"pass word&1"));
    const std::wstring rule = L"-----------------------------------";
    struct Case {
        const char* name;
        std::wstring path;
        bool offline;
        std::vector<std::wstring> lines;
    };
    const Case cases[] = {
        {"offline", PathOf(L"v(sm9).mp4"), true, {L"インターネットの接続を確認できません"}},
        {"no video ID", PathOf(L"名前だけ.mp4"), false, {L"再生中ファイル名から動画IDが見つかりませんでした"}},
        {"filters", PathOf(L"v(sm9).mp4"), false, {rule, L"あ=い", L"う=え", rule}},
        {"unknown video", PathOf(L"v(sm404).mp4"), false, {L"動画に設定されているフィルターはありませんでした"}},
    };
    for (const Case& c : cases) {
        GetAppSettings().OfflineMode = c.offline;
        EXPECT_EQ(ReadVideoFilters(c.path, nullptr), c.lines) << c.name;
    }
}
} // namespace
