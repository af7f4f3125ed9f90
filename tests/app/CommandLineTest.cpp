#include "app/CommandLine.h"

#include "foundation/AppSettings.h"
#include "foundation/Exception.h"
#include "foundation/StringUtil.h"
#include "foundation/PrivateMessages.h"
#include "tests/support/TestSupport.h"

#include <climits>
#include <new>

using namespace testing_support;

namespace {

// Records what the protocol asks of the player, as one line per call.
class RecordingHost : public CommandLineHost {
public:
    std::vector<std::wstring> calls;
    bool graphReady = true;
    bool shiftAccepted = true;
    bool deleteSucceeds = true;
    long long durationMs = 0;
    std::wstring exchangeHtml;
    // The call (its first word) that throws a CException after it is recorded; "bad_alloc" throws that.
    std::wstring throwingCall;
    bool throwBadAlloc = false;

    void ExecuteDownloadCommand(const CommandArgs& g) override { Record(L"Download " + JoinStrings(g, L",")); }
    void ExecutePlaylistCommand(const CommandArgs& g) override { Record(L"Playlist " + JoinStrings(g, L",")); }
    void OpenDownloadList(const std::wstring& path) override { Record(L"DownloadList " + path); }
    void AddToPlaylist(const std::wstring& path) override { Record(L"AddToPlaylist " + path); }
    void OpenMediaFile(const std::wstring&, const CommandArgs& g) override { Record(L"Open " + JoinStrings(g, L",")); }
    bool IsGraphReady() override { return graphReady; }
    long long GetDurationMs() override { return durationMs; }
    void Play() override { Record(L"Play"); }
    void Pause() override { Record(L"Pause"); }
    void Stop() override { Record(L"Stop"); }
    void SendMainCommand(WORD command) override { Record(L"Command " + std::to_wstring(command)); }
    void SeekPercent(int percent) override { Record(L"SeekPercent " + std::to_wstring(percent)); }
    void SeekMs(int ms) override { Record(L"SeekMs " + std::to_wstring(ms)); }
    bool ShiftCommentTimes(int total) override {
        Record(L"Shift " + std::to_wstring(total));
        return shiftAccepted;
    }
    void ApplyTimeShiftToCommentList(int total) override { Record(L"ListShift " + std::to_wstring(total)); }
    void SetVolumeBarPosition(int position) override { Record(L"VolumeBar " + std::to_wstring(position)); }
    bool SetRate(double rate) override {
        Record(L"Rate " + std::to_wstring(static_cast<int>(rate * 100)));
        return rate > 0;
    }
    void PostCommentFromCommandLine(const CommandArgs& g) override { Record(L"Post " + JoinStrings(g, L",")); }
    void CommentAlphaChanged() override { Record(L"Alpha " + std::to_wstring(GetAppSettings().CommentAlpha)); }
    void ShowPlaylist() override { Record(L"ShowPlaylist"); }
    void ClearPlaylist(bool confirm) override { Record(confirm ? L"ClearPlaylist ask" : L"ClearPlaylist"); }
    void ShowVideoInfo(const std::wstring& href) override { Record(L"ShowVideoInfo " + href); }
    void SetVideoInfoOpenInside(bool inside) override { Record(inside ? L"Inside" : L"Outside"); }
    void RepaintVideoInfo() override { Record(L"Repaint"); }
    void ShowInformationWindow() override { Record(L"ShowInfo"); }
    MediaQueryState GetMediaState() override { return media; }
    void SendReply(const std::wstring& target, const std::wstring& text) override {
        Record(L"Reply " + target + L" " + text);
    }
    LRESULT SendToMainWindow(UINT m, WPARAM w, LPARAM l) override {
        Record(L"Send " + std::to_wstring(m) + L" " + std::to_wstring(w) + L" " + std::to_wstring(l));
        return 0;
    }
    bool DeleteFolderSilently(const std::wstring& folder) override {
        Record(L"Delete " + GetFileNameOf(folder));
        return deleteSucceeds;
    }
    bool GetExchangeHtml(std::wstring& html) override {
        html = exchangeHtml;
        return !exchangeHtml.empty();
    }

    MediaQueryState media;

private:
    static std::wstring GetFileNameOf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }
    void Record(const std::wstring& call) {
        calls.push_back(call);
        if (!throwingCall.empty() && call.compare(0, throwingCall.size(), throwingCall) == 0) {
            if (throwBadAlloc) {
                throw std::bad_alloc();
            }
            VELA_THROW(throwingCall, 0);
        }
    }
};

class CommandLineTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        m_saved = GetAppSettings();
        ClearLog();
    }
    void TearDown() override {
        GetAppSettings() = m_saved;
        TempFolderTest::TearDown();
    }

private:
    AppSettings m_saved;
};

TEST_F(CommandLineTest, KindWordsOpenGroups) {
    struct Case {
        CommandArgs arguments;
        std::vector<CommandArgs> groups;
    };
    const Case cases[] = {
        {{}, {}},
        {{L"a.flv"}, {{L"a.flv"}}},
        {{L"player", L"-play"}, {{}, {L"player", L"-play"}}},
        {{L"a", L"-b", L"player", L"-x", L"get", L"-version", L"hwnd=1"},
         {{L"a", L"-b"}, {L"player", L"-x"}, {L"get", L"-version", L"hwnd=1"}}},
        {{L"player", L"playlist"}, {{}, {L"player"}, {L"playlist"}}},
        // Kind words are compared with case and whole.
        {{L"Player", L"players"}, {{L"Player", L"players"}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GroupCommandLine(c.arguments), c.groups) << testing::PrintToString(JoinStrings(c.arguments, L" "));
    }
}

TEST_F(CommandLineTest, KindsActAsTheirTablesSay) {
    struct Case {
        CommandArgs arguments;
        std::vector<std::wstring> calls;
        bool graphReady;
    };
    const Case cases[] = {
        {{L"player", L"-pause", L"-play"}, {L"Play"}, true},
        {{L"player", L"-play"}, {}, false},
        {{L"player", L"-stop"}, {L"Stop"}, true},
        {{L"player", L"-prev"}, {L"Command 8310"}, false},
        {{L"player", L"-next"}, {L"Command 8311"}, false},
        {{L"player", L"-seek", L"percent=0", L"pos=0"}, {}, true},
        {{L"player", L"-seek", L"pos_percent=30", L"percent=50", L"pos=1500"},
         {L"SeekPercent 30", L"SeekMs 1500"},
         true},
        {{L"player", L"-seek", L"percent=50"}, {L"SeekPercent 50"}, true},
        {{L"player", L"-seek", L"percent=50"}, {}, false},
        {{L"player", L"-volume", L"percent=50"}, {L"VolumeBar 70"}, false},
        {{L"player", L"-volume"}, {L"VolumeBar 40"}, false},
        {{L"player", L"-volume", L"percent=100"}, {L"VolumeBar 100"}, false},
        {{L"player", L"-rate", L"val=1.5"}, {L"Rate 150"}, true},
        {{L"player", L"-rate", L"val=1.5"}, {}, false},
        {{L"player", L"-postcomment", L"comment=あ"}, {L"Post player,-postcomment,comment=あ"}, false},
        {{L"player", L"-commentalpha", L"percent=40"}, {L"Alpha 40"}, false},
        {{L"player", L"-commentalpha", L"percent=150"}, {L"Alpha 100"}, false},
        {{L"player", L"-commentalpha", L"percent=-5"}, {L"Alpha 0"}, false},
        {{L"player", L"-commentalpha"}, {L"Alpha 100"}, false},
        {{L"playlist"}, {L"ShowPlaylist"}, false},
        {{L"playlist", L"-clear"}, {L"ShowPlaylist", L"ClearPlaylist ask"}, false},
        {{L"videoinfo", L"-move", L"href=http://127.0.0.1/watch/sm9"},
         {L"ShowVideoInfo http://127.0.0.1/watch/sm9"},
         false},
        {{L"videoinfo", L"-move"}, {}, false},
        {{L"videoinfo", L"-navigatemode", L"mode=Inside"}, {L"Inside", L"Repaint"}, false},
        {{L"videoinfo", L"-navigatemode", L"mode=Outside"}, {L"Outside", L"Repaint"}, false},
        {{L"videoinfo", L"-navigatemode", L"mode=Up"}, {L"Repaint"}, false},
        {{L"info", L"msg=こんにちは"}, {L"ShowInfo"}, false},
        {{L"info", L"msg=x", L"-inactive"}, {}, false},
        {{L"get", L"-version", L"hwnd=123"}, {L"Reply 123 <PRE>1.28</PRE>"}, false},
        {{L"get", L"-mediastate", L"hwnd=0x1F"}, {L"Reply 0x1F <PRE>Closed</PRE>"}, false},
        {{L"get", L"-unknown", L"hwnd=1"}, {}, false},
        {{L"get", L"-version"}, {}, false},
        {{L"sendmsg", L"msg=273", L"wparam=8800"}, {L"Send 273 8800 0"}, false},
        {{L"sendmsg", L"msg=36868"}, {L"Send 36868 0 0"}, false},
        {{L"nokind", L"-play"}, {}, true},
    };
    for (const Case& c : cases) {
        RecordingHost host;
        host.graphReady = c.graphReady;
        ParseCommandLine(c.arguments, host);
        EXPECT_EQ(host.calls, c.calls) << testing::PrintToString(JoinStrings(c.arguments, L" "));
    }
    EXPECT_NE(LogText().find(L"mode=に使用できないモードが指定されています\r\n"), std::wstring::npos);
    EXPECT_NE(LogText().find(L"こんにちは\r\n"), std::wstring::npos);
    EXPECT_TRUE(GetAppSettings().ViewPlayList);
    EXPECT_TRUE(GetAppSettings().ViewVideoInfoWindow);
}

TEST_F(CommandLineTest, NumbersOutsideTheirRangeAreClampedOrRefusedWithOneLogLine) {
    const std::wstring seek = std::to_wstring(kMsgSeek);
    struct Case {
        CommandArgs arguments;
        std::vector<std::wstring> calls;
        std::wstring logLine; // empty: nothing logged
        long long durationMs;
    };
    const Case cases[] = {
        {{L"player", L"-seek", L"percent=150"},
         {},
         L"コマンドライン : player -seek percent=150 は範囲外です (0～100)",
         0},
        {{L"player", L"-seek", L"pos=-5000"},
         {},
         L"コマンドライン : player -seek pos=-5000 は範囲外です (0～2147483647)",
         0},
        // One refused number leaves the other of the group working.
        {{L"player", L"-seek", L"pos_percent=-1", L"percent=50", L"pos=2000"},
         {L"SeekMs 2000"},
         L"コマンドライン : player -seek pos_percent=-1 は範囲外です (0～100)",
         0},
        {{L"player", L"-seek", L"percent=40", L"pos=99999999999"},
         {L"SeekPercent 40"},
         L"コマンドライン : player -seek pos=99999999999 は範囲外です (0～2147483647)",
         0},
        {{L"player", L"-seek", L"percent=99999999999999999999"},
         {},
         L"コマンドライン : player -seek percent=99999999999999999999 は範囲外です (0～100)",
         0},
        // Past the end is the end, once the length is known.
        {{L"player", L"-seek", L"pos=50000"}, {L"SeekMs 30000"}, L"", 30000},
        {{L"player", L"-seek", L"pos=50000"}, {L"SeekMs 50000"}, L"", 0},
        {{L"player", L"-seek", L"percent=100", L"pos=30000"}, {L"SeekPercent 100", L"SeekMs 30000"}, L"", 30000},
        // In 32 bits 2147483647 × 60 would turn negative.
        {{L"player", L"-volume", L"percent=2147483647"}, {L"VolumeBar 100"}, L"", 0},
        {{L"player", L"-volume", L"percent=150"}, {L"VolumeBar 100"}, L"", 0},
        {{L"player", L"-volume", L"percent=-20"}, {L"VolumeBar 40"}, L"", 0},
        {{L"player", L"-volume", L"percent=abc"}, {L"VolumeBar 40"}, L"", 0},
        {{L"player", L"-commentalpha", L"percent=99999999999"}, {L"Alpha 100"}, L"", 0},
        {{L"player", L"-shift", L"time=90000000"},
         {},
         L"コマンドライン : player -shift time=90000000 は範囲外です (-86400000～86400000)",
         0},
        {{L"player", L"-rate", L"val=nan"}, {}, L"コマンドライン : player -rate val=nan は範囲外です", 0},
        {{L"player", L"-rate", L"val=inf"}, {}, L"コマンドライン : player -rate val=inf は範囲外です", 0},
        // A text that is no number is rate 0, which the graph refuses.
        {{L"player", L"-rate", L"val=x"}, {L"Rate 0"}, L"レートの設定限界です", 0},
        {{L"sendmsg", L"msg=65536"}, {}, L"コマンドライン : sendmsg msg=65536 は範囲外です (0～65535)", 0},
        {{L"sendmsg", L"msg=273", L"wparam=4294967296"},
         {},
         L"コマンドライン : sendmsg wparam=4294967296 は範囲外です (-2147483648～4294967295)",
         0},
        {{L"sendmsg", L"msg=273", L"lparam=-1"}, {L"Send 273 0 -1"}, L"", 0},
        // The seek handler reads its position as a signed 32-bit number.
        {{L"sendmsg", L"msg=" + seek, L"wparam=-5000"},
         {},
         L"コマンドライン : sendmsg wparam=-5000 は範囲外です (-2147483648～4294967295)",
         0},
        {{L"sendmsg", L"msg=" + seek, L"wparam=50000"}, {L"Send " + seek + L" 30000 0"}, L"", 30000},
    };
    for (const Case& c : cases) {
        ClearLog();
        RecordingHost host;
        host.durationMs = c.durationMs;
        ParseCommandLine(c.arguments, host);
        const std::string line = testing::PrintToString(JoinStrings(c.arguments, L" "));
        EXPECT_EQ(host.calls, c.calls) << line;
        EXPECT_EQ(LogText(), c.logLine.empty() ? std::wstring() : c.logLine + L"\r\n") << line;
    }
}

TEST_F(CommandLineTest, RepeatedShiftsAddUpIn64BitsAndStopAtTheLimit) {
    GetAppSettings().CommentTimeShift = 0;
    RecordingHost host;
    ParseCommandLine({L"player", L"-shift", L"time=80000000", L"player", L"-shift", L"time=80000000"}, host);
    EXPECT_EQ(host.calls, (std::vector<std::wstring>{L"Shift 80000000", L"ListShift 80000000"}));
    EXPECT_EQ(GetAppSettings().CommentTimeShift, 80000000);
    EXPECT_NE(LogText().find(L"コマンドライン : player -shift time=80000000 : 時間軸の合計 160000000 は範囲外です "
                             L"(-86400000～86400000)\r\n"),
              std::wstring::npos);

    // A total that a 32-bit sum would wrap round is refused too.
    GetAppSettings().CommentTimeShift = INT32_MAX;
    RecordingHost wrapping;
    ParseCommandLine({L"player", L"-shift", L"time=1"}, wrapping);
    EXPECT_TRUE(wrapping.calls.empty());
    EXPECT_EQ(GetAppSettings().CommentTimeShift, INT32_MAX);
}

TEST_F(CommandLineTest, AFailingRequestIsLoggedAndTheRestOfTheCommandLineRuns) {
    struct Case {
        bool badAlloc;
        std::wstring logLine;
    };
    const Case cases[] = {
        {false, L"コマンドラインの実行に失敗しました : player : SeekPercent\r\n"},
        {true, L"コマンドラインの実行に失敗しました : player : std::bad_alloc\r\n"},
    };
    for (const Case& c : cases) {
        ClearLog();
        RecordingHost host;
        host.throwingCall = L"SeekPercent";
        host.throwBadAlloc = c.badAlloc;
        ParseCommandLine(
            {L"player", L"-seek", L"percent=50", L"pos=100", L"player", L"-play", L"get", L"-version", L"hwnd=1"},
            host);
        EXPECT_EQ(host.calls, (std::vector<std::wstring>{L"SeekPercent 50", L"Play", L"Reply 1 <PRE>1.28</PRE>"}));
        EXPECT_EQ(LogText(), c.logLine);
    }
}

TEST_F(CommandLineTest, SendMsgRefusesMessagesThatCarryAddresses) {
    const std::pair<UINT, WPARAM> refused[] = {{WM_COPYDATA, 0},        {kMsgLogLine, 0},   {kMsgFilterEntry, 1234},
                                               {kMsgCommandLine, 0},    {kMsgRunScript, 0}, {WM_SETTEXT, 0},
                                               {kMsgPlaylistAddFile, 1}};
    for (const auto& message : refused) {
        RecordingHost host;
        ParseCommandLine(
            {L"sendmsg", L"msg=" + std::to_wstring(message.first), L"wparam=" + std::to_wstring(message.second)}, host);
        EXPECT_TRUE(host.calls.empty()) << message.first;
    }
    EXPECT_NE(LogText().find(L"sendmsg : このメッセージは送信できません : msg=74"), std::wstring::npos);
    EXPECT_TRUE(IsSendableMessage(kMsgDownloadHandle, 0, 0));
    EXPECT_TRUE(IsSendableMessage(kMsgSeek, 5000, 0));
}

TEST_F(CommandLineTest, ShiftIsReportedOnlyWhenTheStoreTookIt) {
    RecordingHost host;
    ParseCommandLine({L"player", L"-shift", L"time=2000"}, host);
    ParseCommandLine({L"player", L"-shift", L"time=-500"}, host);
    EXPECT_EQ(host.calls,
              (std::vector<std::wstring>{L"Shift 2000", L"ListShift 2000", L"Shift 1500", L"ListShift 1500"}));
    EXPECT_EQ(GetAppSettings().CommentTimeShift, 1500);
    EXPECT_NE(LogText().find(L"コメントの時間軸変更 : 1500\r\n"), std::wstring::npos);

    RecordingHost refusing;
    refusing.shiftAccepted = false;
    ClearLog();
    ParseCommandLine({L"player", L"-shift", L"time=700"}, refusing);
    EXPECT_EQ(refusing.calls, std::vector<std::wstring>{L"Shift 2200"});
    EXPECT_EQ(GetAppSettings().CommentTimeShift, 1500);
    EXPECT_EQ(LogText().find(L"コメントの時間軸変更"), std::wstring::npos);
}

TEST_F(CommandLineTest, GroupsAreRoutedByTheirFirstEntry) {
    const std::wstring video = PathOf(L"動画 sm9.flv");
    WriteBytes(video, "x");
    struct Case {
        CommandArgs arguments;
        std::vector<std::wstring> calls;
    };
    const Case cases[] = {
        {{L"http://127.0.0.1/watch/sm9", L"-movie"}, {L"Download http://127.0.0.1/watch/sm9,-movie"}},
        {{L"HTTPS://x/y"}, {L"Download HTTPS://x/y"}},
        {{L"C:\\lists\\My.M3U"}, {L"Playlist C:\\lists\\My.M3U"}},
        {{L"C:\\DownList.dat"}, {L"DownloadList C:\\DownList.dat"}},
        {{video}, {L"Open " + video}},
        {{video, L"-addlist"}, {L"AddToPlaylist " + video}},
        {{PathOf(L"missing.flv")}, {}},
        {{Folder()}, {}},
        // The shifts of the same command line become the file's comment shift.
        {{video, L"player", L"-shift", L"time=30", L"player", L"-play"},
         {L"Open " + video + L",comment_shift=30", L"Play"}},
        {{video, L"player", L"-shift", L"time=30"}, {L"Open " + video + L",comment_shift=30"}},
        // A shift out of range is dropped, not carried to the file.
        {{video, L"player", L"-shift", L"time=99999999999"}, {L"Open " + video}},
        // Without a file the shift is a shift of its own.
        {{L"player", L"-shift", L"time=30"}, {L"Shift 30", L"ListShift 30"}},
    };
    for (const Case& c : cases) {
        GetAppSettings().CommentTimeShift = 0;
        RecordingHost host;
        ParseCommandLine(c.arguments, host);
        EXPECT_EQ(host.calls, c.calls) << testing::PrintToString(JoinStrings(c.arguments, L" "));
    }
    EXPECT_TRUE(GetAppSettings().ViewDownloadWindow);
}

TEST_F(CommandLineTest, EchoAndExitForce) {
    RecordingHost host;
    ParseCommandLine({L"player", L"-echo", L"-exitforce"}, host);
    EXPECT_NE(LogText().find(L"Command Line : player -echo -exitforce\r\n"), std::wstring::npos);
    EXPECT_NE(LogText().find(L"exitforceオプションで起動しました\r\n"), std::wstring::npos);
    EXPECT_TRUE(IsExitForced());
}

TEST_F(CommandLineTest, GetAnswersFromTheMediaState) {
    MediaQueryState state;
    state.videoPath = L"C:\\動画\\タイトル(sm9).flv";
    state.commentPath = L"C:\\動画\\タイトル(sm9).xml";
    state.infoPath = L"C:\\動画\\タイトル(sm9).txt";
    state.positionMs = 61000;
    state.durationMs = 320000;
    state.state = 1;
    state.playlistPath = L"C:\\list.m3u";
    state.playlistFiles = {L"a.flv", L"b.mp4"};
    GetAppSettings().programFolder = L"C:\\Program Files\\VelaPlayer";
    struct Case {
        const wchar_t* query;
        std::wstring answer;
    };
    const Case cases[] = {
        {L"-version", L"1.28"},
        {L"-softdir", L"C:\\Program Files\\VelaPlayer"},
        {L"-playfile", L"タイトル(sm9).flv"},
        {L"-mediafile", state.videoPath},
        {L"-commentfile", state.commentPath},
        {L"-infofile", state.infoPath},
        {L"-time", L"61000"},
        {L"-length", L"320000"},
        {L"-mediastate", L"Paused"},
        {L"-playlist", L"C:\\list.m3u"},
        {L"-file", L"a.flv\nb.mp4"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AnswerGetQuery({L"get", c.query}, state), c.answer) << c.query;
    }
    state.state = -1;
    EXPECT_EQ(AnswerGetQuery({L"get", L"-time"}, state), L"");
    EXPECT_EQ(AnswerGetQuery({L"get", L"-mediastate"}, state), L"Closed");
}

TEST_F(CommandLineTest, WindowHandleIsDecimalOrHex) {
    struct Case {
        const wchar_t* text;
        uintptr_t handle;
    };
    // Cut to 32 bits, a larger handle would name some other window.
    const uintptr_t wide = sizeof(uintptr_t) == 4 ? 0 : static_cast<uintptr_t>(0x100000001FULL);
    const Case cases[] = {{L"123", 123},
                          {L"0x1F", 31},
                          {L"0X1f", 31},
                          {L"", 0},
                          {L"12a", 0},
                          {L"0x", 0},
                          {L"-5", 0},
                          {L"VIDEOINFO", 0},
                          {L" 12", 0},
                          {L"0x100000001F", wide},
                          {L"0x1FFFFFFFFFFFFFFFF", 0},
                          {L"99999999999999999999", 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(reinterpret_cast<uintptr_t>(ParseWindowHandle(c.text)), c.handle) << c.text;
    }
}

TEST_F(CommandLineTest, NumbersAreDecimalAndSaturateAt64Bits) {
    struct Case {
        const wchar_t* text;
        long long number;
    };
    const Case cases[] = {{L"42", 42},
                          {L"+5", 5},
                          {L"-0", 0},
                          {L"-9223372036854775808", LLONG_MIN},
                          {L"-9223372036854775809", LLONG_MIN},
                          {L"9223372036854775807", LLONG_MAX},
                          {L"9223372036854775808", LLONG_MAX},
                          {L"", 0},
                          {L"-", 0},
                          {L" 5", 0},
                          {L"1e3", 0},
                          {L"0x10", 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(ParseCommandNumber(c.text), c.number) << c.text;
    }
}

TEST_F(CommandLineTest, DeleteTempRemovesTheUpdaterFolderOrRetriesAtTheNextStartOnce) {
    GetAppSettings().programFolder = Folder();
    CreateDirectoryW(PathOf(L"VelaPlayerUpdate").c_str(), nullptr);

    RecordingHost host;
    ParseCommandLine({L"other", L"-deletetemp"}, host);
    EXPECT_EQ(host.calls, std::vector<std::wstring>{L"Delete VelaPlayerUpdate"});
    EXPECT_NE(LogText().find(L"自動更新で使用した一時ファイルを削除しました\r\n"), std::wstring::npos);
    EXPECT_EQ(GetAppSettings().NextBootCommandLine, L"");

    RecordingHost failing;
    failing.deleteSucceeds = false;
    GetAppSettings().NextBootCommandLine = L"player -play";
    ParseCommandLine({L"other", L"-deletetemp"}, failing);
    ParseCommandLine({L"other", L"-deletetemp"}, failing);
    EXPECT_NE(LogText().find(L"AddCommandLine : other -deletetemp\r\n"), std::wstring::npos);
    EXPECT_EQ(GetAppSettings().NextBootCommandLine, L"player -play other -deletetemp");
}

TEST_F(CommandLineTest, WriteFileStoresTheExchangeTextInShiftJis) {
    RecordingHost host;
    host.exchangeHtml = L"<PRE>一行目\n二行目</PRE>";
    const std::wstring path = PathOf(L"exchange.txt");
    ParseCommandLine({L"other", L"-writefile", L"hwnd=VIDEOINFO", L"path=" + path}, host);
    EXPECT_EQ(ReadBytes(path), WideToAnsi(L"一行目\n二行目"));

    const std::wstring other = PathOf(L"other.txt");
    ParseCommandLine({L"other", L"-writefile", L"hwnd=123", L"path=" + other}, host);
    EXPECT_EQ(GetFileAttributesW(other.c_str()), INVALID_FILE_ATTRIBUTES);

    const std::wstring unwritable = PathOf(L"missing\\exchange.txt");
    ParseCommandLine({L"other", L"-writefile", L"hwnd=VIDEOINFO", L"path=" + unwritable}, host);
    EXPECT_NE(LogText().find(L"Error : CreateFile " + unwritable + L"\r\n"), std::wstring::npos);
}

} // namespace

TEST(DownloadRequestTest, OptionsBecomeTheQueuedAddsFlagsAndTexts) {
    const DWORD boxes = 0x1000F; // the window's boxes: waiting, ticked, video, comments, play after
    const std::wstring url = L"http://127.0.0.1/watch/sm9";
    struct Case {
        CommandArgs group;
        DWORD flags;
        std::wstring text;
        std::wstring folder;
    };
    const Case cases[] = {
        {{url}, 0x1000F, url, L""},
        {{url, L"-movie"}, 0x10003, url, L""},
        {{url, L"-comment", L"-info", L"-thumbnail"}, 0x10065, url, L""},
        {{url, L"-movie", L"-addlist", L"-playafter", L"-createdir"}, 0x1041B, url, L""},
        {{url, L"-addlist"}, 0x1001F, url, L""},
        {{url, L"-movie", L"-onlyadd"}, 0x10002, url, L""},
        {{url, L"-comment", L"savepath=C:\\v", L"log=2020/1/2 3:04:05", L"-afterexit"}, 0x10005,
         url + L" log=\"2020/1/2 3:04:05\" -afterexit", L"C:\\v"},
    };
    for (const Case& c : cases) {
        const DownloadRequest request = MakeDownloadRequest(c.group, boxes);
        EXPECT_EQ(request.flags, c.flags) << JoinStrings(c.group, L" ");
        EXPECT_EQ(request.texts, (std::vector<std::wstring>{c.text, c.folder, L""})) << JoinStrings(c.group, L" ");
    }
}
