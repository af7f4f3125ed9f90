// Command lines that another process sends the running player: numbers out of range, and a requester
// that never takes its answer, must neither open a box nor keep the player from answering.

#include "app/resource.h"
#include "foundation/Handles.h"
#include "foundation/PrivateMessages.h"
#include "tests/app/PlayerFixture.h"

#include <commctrl.h>

#include <thread>

using namespace testing_support;
using namespace player_testing;

namespace {

class HostileCommandLineTest : public PlayerTest {};

// A window whose thread stops pumping once it exists: what it is sent is never answered.
class StuckWindow {
public:
    StuckWindow() {
        m_thread = std::thread([this] {
            m_window = CreateWindowW(L"STATIC", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
            SetEvent(m_created.Get());
            WaitForSingleObject(m_release.Get(), INFINITE);
            DestroyWindow(m_window);
        });
        WaitForSingleObject(m_created.Get(), 10000);
    }
    ~StuckWindow() {
        SetEvent(m_release.Get());
        m_thread.join();
    }
    StuckWindow(const StuckWindow&) = delete;
    StuckWindow& operator=(const StuckWindow&) = delete;
    HWND Handle() const { return m_window; }

private:
    CEventHandle m_created = CreateEventOrThrow(true, false);
    CEventHandle m_release = CreateEventOrThrow(true, false);
    HWND m_window = nullptr;
    std::thread m_thread;
};

TEST_F(HostileCommandLineTest, OutOfRangeAndOverflowingPlayerOptionsOpenNoBoxAndTheRestRuns) {
    const std::wstring video = CopySample(L"sample(sm9).mp4", L"sample(sm9).mp4");
    ASSERT_FALSE(CopySample(L"sample(sm9).xml", L"sample(sm9).xml").empty());
    ProgramProcess player;
    HWND main = StartPlayer(player, L"\"" + video + L"\"");
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(PumpMessagesUntil([&] { return LogOf(main).find(L"再生開始\r\n") != std::wstring::npos; }, 20000));
    MessageBoxAnswerer answerer({IDOK}, player.ProcessId());

    // Once these seeks opened a box each, one after another, and the rest of the line was lost; the
    // query at its end shows that it all ran.
    const std::wstring answer = Query(main, L"player -seek percent=150 player -seek pos=-5000 "
                                            L"player -volume percent=2147483647 "
                                            L"player -shift time=80000000 player -shift time=80000000 "
                                            L"player -commentalpha percent=99999999999 player -rate val=nan "
                                            L"sendmsg msg=" +
                                                std::to_wstring(kMsgSeek) +
                                                L" wparam=-5000 "
                                                L"get -version");
    EXPECT_EQ(answer, L"1.28");
    EXPECT_TRUE(answerer.Seen().empty()) << testing::PrintToString(answerer.Seen().front().text);
    EXPECT_EQ(FindMessageBox(player.ProcessId()), nullptr);

    const std::wstring log = LogOf(main);
    for (const wchar_t* line : {L"コマンドライン : player -seek percent=150 は範囲外です (0～100)\r\n",
                                L"コマンドライン : player -seek pos=-5000 は範囲外です (0～2147483647)\r\n",
                                L"コメントの時間軸変更 : 80000000\r\n", L"時間軸の合計 160000000 は範囲外です",
                                L"コマンドライン : player -rate val=nan は範囲外です\r\n",
                                L"コマンドライン : sendmsg wparam=-5000 は範囲外です"}) {
        EXPECT_NE(log.find(line), std::wstring::npos) << testing::PrintToString(std::wstring(line));
    }
    EXPECT_EQ(SendMessageW(GetDlgItem(main, IDC_VOLUME_BAR), TBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(Query(main, L"get -mediastate"), L"Running");

    // A seek sent straight to the window carries an unsigned position: past the end is the end.
    DWORD_PTR result = 0;
    EXPECT_NE(SendMessageTimeoutW(main, kMsgSeek, 0xFFFFFFFFu, 0, SMTO_ABORTIFHUNG, 20000, &result), 0);
    EXPECT_EQ(Query(main, L"get -version"), L"1.28");
    EXPECT_EQ(FindMessageBox(player.ProcessId()), nullptr);
    EXPECT_TRUE(answerer.Seen().empty());
    Close(player, main);
    // The volume the command line chose is the one the next start finds.
    EXPECT_EQ(GetPrivateProfileIntW(L"main", L"Volume", -1, PathOf(L"velaplayer.ini").c_str()), 100u);
}

TEST_F(HostileCommandLineTest, AReplyWindowThatNeverAnswersLeavesThePlayerAnswering) {
    ProgramProcess player;
    HWND main = StartPlayer(player);
    ASSERT_NE(main, nullptr);
    StuckWindow stuck;
    ASSERT_NE(stuck.Handle(), nullptr);

    const std::wstring hwnd = std::to_wstring(reinterpret_cast<uintptr_t>(stuck.Handle()));
    EXPECT_EQ(SendCommandLine(main, L"x get -version hwnd=" + hwnd), TRUE);
    EXPECT_TRUE(PumpMessagesUntil(
        [&] {
            return LogOf(main).find(L"get : 返信先のウィンドウが応答しません : " + hwnd + L"\r\n") !=
                   std::wstring::npos;
        },
        30000));
    EXPECT_EQ(Query(main, L"get -version"), L"1.28");
    Close(player, main);
}

} // namespace
