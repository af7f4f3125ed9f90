// A download row with "play after download" hands its finished file to the real player, which opens
// and plays it; a row that finishes while the player loads another video's comments is played once
// that load has ended.

#include "client/HttpAccess.h"
#include "foundation/Credential.h"
#include "foundation/PrivateMessages.h"
#include "foundation/StringUtil.h"
#include "tests/app/PlayerFixture.h"
#include "tests/fakeservice/FakeService.h"

using namespace testing_support;
using namespace player_testing;

namespace {

const wchar_t kDownloadedTitle[] = L"再生する動画(sm21).mp4 - VelaPlayer";

class PlayAfterDownloadTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        ASSERT_TRUE(m_fake.IsRunning());
        SetServiceBaseUrl(m_fake.BaseUrl());
        // The account the fake knows; a row starts at the queue's first look; no title fetches beside
        // the worker, and no row from a URL that another test run puts on the shared clipboard.
        AddSection("download", "Mail=user@example.com\r\nPass=" + WideToUtf8(ScrambleCredential(L"pass word&1")) +
                                   "\r\nAccessWaitSec=0\r\nGetTitleWaitSec=0\r\nWatchClipBoard=0\r\n"
                                   "DownCompNotifyFlash=0\r\n");
        // sm21's file at the fake is a real clip, so that the player can play what it downloaded.
        m_clip = ReadBytes(CopySample(L"short.mp4", L"clip.mp4"));
        ASSERT_FALSE(m_clip.empty());
        std::string reply;
        ASSERT_TRUE(PostURLData(m_fake.BaseUrl() + L"_fake/video-body/sm21", L"video/mp4", m_clip, reply));
    }

    // The command line that adds sm21 as a video row, saved into the test's folder, played when done.
    void DownloadAndPlay(HWND main) {
        SendCommandLine(main, L"x " + m_fake.BaseUrl() + L"watch/sm21 -movie -playafter savepath=" + Folder());
    }
    std::wstring Downloaded() const { return PathOf(L"再生する動画(sm21).mp4"); }

    void CallFake(const std::wstring& route) {
        std::wstring reply;
        ASSERT_TRUE(GetURLData(reply, m_fake.BaseUrl() + route)) << WideToUtf8(route);
    }
    size_t VideoRequests() const {
        size_t count = 0;
        for (const FakeRequest& request : m_fake.Requests()) {
            count += request.path.compare(0, 6, L"/smile") == 0 ? 1 : 0;
        }
        return count;
    }
    static bool LogHas(HWND main, const std::wstring& line) { return LogOf(main).find(line) != std::wstring::npos; }

    // The player plays the downloaded file, which holds the fake's bytes.
    void ExpectPlayingTheDownload(HWND main) {
        ASSERT_TRUE(PumpMessagesUntil([&] { return WindowText(main) == kDownloadedTitle; }, 10000)) << LogOf(main);
        ASSERT_TRUE(PumpMessagesUntil([&] { return SendMessageW(main, kMsgPlayState, 0, 0) == 2; }));
        EXPECT_EQ(Query(main, L"get -mediafile"), Downloaded());
        EXPECT_EQ(Query(main, L"get -mediastate"), L"Running");
        EXPECT_TRUE(ReadBytes(Downloaded()) == m_clip);
        EXPECT_EQ(CountOf(LogOf(main), L"動画ファイル : " + Downloaded() + L"\r\n"), 1u);
    }

    FakeService m_fake;
    std::string m_clip;
};

TEST_F(PlayAfterDownloadTest, AFinishedRowPlaysItsFileInThePlayer) {
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);

    DownloadAndPlay(main);

    ASSERT_NO_FATAL_FAILURE(ExpectPlayingTheDownload(main));
    // No comment file came with the video, so it plays at once.
    EXPECT_TRUE(LogHas(main, L"コメントファイルが見つかりませんでした\r\n"));
    Close(player, main);
}

TEST_F(PlayAfterDownloadTest, ARowFinishingWhileCommentsLoadPlaysAfterTheLoad) {
    const std::wstring earlier = CopySample(L"sample(sm9).mp4", L"earlier(sm6).mp4");
    // Some 1.5 s of loading here, against some 50 ms from the release to the row's end.
    WriteBytes(PathOf(L"earlier(sm6).xml"), CommentFileOf(30000));
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    // The row's transfer waits at the fake until the earlier video's comments are loading.
    CallFake(L"_fake/video-mode?hold=1");
    DownloadAndPlay(main);
    ASSERT_TRUE(PumpMessagesUntil([&] { return VideoRequests() == 1; }, 10000)) << LogOf(main);
    SendCommandLine(main, L"x \"" + earlier + L"\"");
    ASSERT_TRUE(PumpMessagesUntil([&] { return LogHas(main, L"コメントデータ読み込み中...\r\n"); }));

    CallFake(L"_fake/release");

    // The finished row's open is put off while the load runs...
    ASSERT_TRUE(PumpMessagesUntil([&] { return LogHas(main, L"コメントの読み込みが完了していません\r\n"); }))
        << LogOf(main);
    ASSERT_NO_FATAL_FAILURE(ExpectPlayingTheDownload(main));
    // ...and runs once the load has ended with the earlier video playing (its "再生開始" is logged
    // only then, since the player waits for the comments before it plays).
    const std::wstring log = LogOf(main);
    const size_t loading = log.find(L"コメントデータ読み込み中...\r\n");
    const size_t putOff = log.find(L"コメントの読み込みが完了していません\r\n");
    const size_t loaded = log.find(L"再生開始\r\n", loading);
    const size_t opened = log.find(L"動画ファイル : " + Downloaded() + L"\r\n");
    EXPECT_LT(loading, putOff);
    EXPECT_LT(putOff, loaded);
    EXPECT_LT(loaded, opened);
    EXPECT_NE(opened, std::wstring::npos);
    EXPECT_EQ(CountOf(log, L"動画ファイル : " + earlier + L"\r\n"), 1u);
    Close(player, main);
}

} // namespace
