#include "client/CWinInetDownloader.h"
#include "client/VideoDownload.h"

#include "tests/client/DownloadTestSupport.h"

#include <gtest/gtest.h>

namespace {

using client_testing::EventRecorder;

const size_t kSm9Size = 1000003;
const size_t kSm12Size = 300007;

class VideoDownloadTest : public client_testing::DownloadTest {
protected:
    bool Download(const std::wstring& videoId, const EconomyOptions& economy = EconomyOptions()) {
        std::wstring page;
        std::wstring flvData;
        FetchVideo(videoId, page, flvData);
        return DownloadVideo(flvData, Folder(), page, m_events, L"", economy, 10000);
    }
    static EconomyOptions Economy(bool ask, bool refuse, bool rowHadEconomy = false) {
        EconomyOptions options;
        options.ask = ask;
        options.refuse = refuse;
        options.rowHadEconomy = rowHadEconomy;
        options.text = L"エコノミーモードの動画です。\nダウンロードを続行しますか？";
        options.caption = L"VelaPlayer";
        return options;
    }

    void SetUp() override {
        DownloadTest::SetUp();
        m_sm9Path = PathOf(L"テスト動画 その1(sm9).flv");
        m_sm12Path = PathOf(L"エコノミーの動画(sm12).mp4");
    }

    EventRecorder m_events;
    std::wstring m_sm9Path;
    std::wstring m_sm12Path;
};

} // namespace

TEST_F(VideoDownloadTest, ReportsEveryStepInOrder) {
    GetAppSettings().UserAgent = L"VelaClientTest/video";
    ASSERT_TRUE(Download(L"sm9"));
    EXPECT_EQ(m_events.Codes(), L"-3 -5 P -4 100");
    EXPECT_EQ(m_events.TextOf(-3), L"DownloadUrl = " + Url(L"smile?v=sm9.0468"));
    EXPECT_EQ(m_events.TextOf(-4), m_sm9Path);
    EXPECT_EQ(m_events.events.back().second, L"");
    EXPECT_TRUE(ReadBytes(m_sm9Path) == VideoBytes(kSm9Size));

    int last = -1;
    for (const auto& event : m_events.events) {
        if (event.first >= 0 && !event.second.empty()) {
            EXPECT_GT(event.first, last) << "percentages rise, each once";
            last = event.first;
            const size_t slash = event.second.find(L'/');
            ASSERT_NE(slash, std::wstring::npos) << event.second;
            EXPECT_EQ(event.second.substr(slash + 1), std::to_wstring(kSm9Size));
            EXPECT_EQ(std::stoull(event.second.substr(0, slash)) * 100 / kSm9Size, static_cast<unsigned>(event.first));
        }
    }
    EXPECT_EQ(last, 100);

    const auto requests = m_fake.Requests();
    ASSERT_EQ(requests.back().path, L"/smile?v=sm9.0468");
    EXPECT_EQ(requests.back().userAgent, L"VelaClientTest/video");
    EXPECT_NE(requests.back().cookie.find(L"user_session="), std::wstring::npos);
}

TEST_F(VideoDownloadTest, CutOffIsAFailureUntilTheResumeCompletesIt) {
    SetMode(L"video", L"cut=400000");
    EXPECT_FALSE(Download(L"sm9"));
    EXPECT_EQ(m_events.Codes(), L"-3 -5 P -1");
    EXPECT_TRUE(LogHas(L"Error : DownloadVideo() the transfer ended at 400000/1000003 bytes")) << LogText();
    EXPECT_EQ(GetFileAttributesW(m_sm9Path.c_str()), INVALID_FILE_ATTRIBUTES);

    m_events.events.clear();
    EXPECT_TRUE(Download(L"sm9"));
    EXPECT_EQ(m_events.Codes(), L"-3 -5 P -4 100");
    EXPECT_EQ(m_events.events[2].first, 39) << "the first report counts the bytes kept";
    EXPECT_TRUE(ReadBytes(m_sm9Path) == VideoBytes(kSm9Size));
}

TEST_F(VideoDownloadTest, ExistingFileIsKept) {
    struct Case {
        const char* name;
        const wchar_t* file;
        const wchar_t* logLine;
    };
    const Case cases[] = {
        {"same container", L"テスト動画 その1(sm9).flv",
         L"同名のファイルが既に存在しているため、ダウンロードをキャンセルしました : "},
        {"other container", L"テスト動画 その1(sm9).mp4",
         L"同名のファイル(別の形式)が既に存在しているため、ダウンロードをキャンセルしました : "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_events.events.clear();
        const std::wstring path = PathOf(c.file);
        WriteBytes(path, "earlier");
        EXPECT_TRUE(Download(L"sm9"));
        EXPECT_EQ(m_events.Codes(), L"-3 -5 -5 -4 -2");
        EXPECT_EQ(m_events.TextOf(-4), path);
        EXPECT_TRUE(LogHas(c.logLine + path)) << LogText();
        EXPECT_EQ(ReadBytes(path), "earlier");
        DeleteFileW(path.c_str());
    }
    EXPECT_EQ(CountRequests(L"/smile"), 0u);
}

TEST_F(VideoDownloadTest, EconomyVideoAskedOrRefusedAsTheOptionsSay) {
    const wchar_t kRefused[] = L"エコノミーモードの動画のダウンロードをキャンセルしました : ";
    struct Case {
        const char* name;
        bool ask;
        bool refuse;
        int answer; // of the question; 0: no question
        bool result;
    };
    const Case cases[] = {
        {"refused without a question", true, true, 0, false},
        {"asked, No", true, false, IDNO, false},
        {"asked, Yes", true, false, IDYES, true},
        {"neither", false, false, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_events.events.clear();
        SetWindowTextW(DebugLog().GetEditControl(), L"");
        DeleteFileW(m_sm12Path.c_str());
        testing_support::MessageBoxAnswerer answerer({c.answer == 0 ? IDNO : c.answer});
        EXPECT_EQ(Download(L"sm12", Economy(c.ask, c.refuse)), c.result);
        const auto seen = answerer.Seen();
        ASSERT_EQ(seen.size(), c.answer == 0 ? 0u : 1u);
        if (c.answer != 0) {
            EXPECT_EQ(seen[0].text, L"エコノミーモードの動画です。\nダウンロードを続行しますか？");
            EXPECT_EQ(seen[0].caption, L"VelaPlayer");
        }
        if (c.result) {
            EXPECT_EQ(m_events.Codes(), L"-3 -6 P -4 100");
            EXPECT_TRUE(ReadBytes(m_sm12Path) == VideoBytes(kSm12Size, 97));
        } else {
            EXPECT_EQ(m_events.Codes(), L"-3 -6 -2");
            EXPECT_TRUE(LogHas(kRefused + m_sm12Path)) << LogText();
            EXPECT_EQ(GetFileAttributesW(m_sm12Path.c_str()), INVALID_FILE_ATTRIBUTES);
        }
    }
}

TEST_F(VideoDownloadTest, RowThatHadEconomyReplacesItsFileOnlyByTheNormalVideo) {
    // Still economy: the file stays and the download is refused, without a question.
    WriteBytes(m_sm12Path, "economy");
    EXPECT_FALSE(Download(L"sm12", Economy(true, false, true)));
    EXPECT_EQ(m_events.Codes(), L"-3 -6 -2");
    EXPECT_TRUE(LogHas(L"動画がエコノミーモード状態なので、ダウンロードをキャンセルしました : " + m_sm12Path));
    EXPECT_EQ(ReadBytes(m_sm12Path), "economy");

    // Now normal: the economy file (here of the other container) is deleted and the normal one fetched.
    const std::wstring economyFile = PathOf(L"テスト動画 その1(sm9).mp4");
    WriteBytes(economyFile, "economy");
    m_events.events.clear();
    EXPECT_TRUE(Download(L"sm9", Economy(true, false, true)));
    EXPECT_EQ(m_events.Codes(), L"-3 -5 P -4 100");
    EXPECT_EQ(GetFileAttributesW(economyFile.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(ReadBytes(m_sm9Path) == VideoBytes(kSm9Size));
}

TEST_F(VideoDownloadTest, DeletedVideoAndBrokenDataFail) {
    std::wstring page;
    std::wstring flvData;
    FetchVideo(L"sm9", page, flvData);
    struct Case {
        const char* name;
        std::wstring flvData;
        std::wstring codes;
    };
    const Case cases[] = {
        {"deleted", L"deleted=1&error=invalid_v1&done=true", L"-7 -1"},
        {"no url", L"thread_id=1&done=true", L"-1"},
        {"error status", L"thread_id=1&url=" + Url(L"smile?v=xx1.0468") + L"&done=true", L"-3 -5 -1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_events.events.clear();
        EXPECT_FALSE(DownloadVideo(c.flvData, Folder(), page, m_events, L"", EconomyOptions(), 10000));
        EXPECT_EQ(m_events.Codes(), c.codes);
    }
    EXPECT_TRUE(LogHas(L"Error : DownloadVideo() HTTP 404"));
}

TEST_F(VideoDownloadTest, FolderAndNameTemplates) {
    DownloadFileNameFormats formats = GetDownloadFileNameFormats();
    formats.FileNameFormatMOV = L"%thread%_%title%";
    SetDownloadFileNameFormats(formats);
    std::wstring page;
    std::wstring flvData;
    FetchVideo(L"sm12", page, flvData);
    EXPECT_TRUE(
        DownloadVideo(flvData, Folder() + L"\\", page, m_events, L"..\\%title%\\C:\\", Economy(false, false), 10000));
    const std::wstring path = PathOf(L"エコノミーの動画\\C：\\sm12_エコノミーの動画.mp4");
    EXPECT_EQ(m_events.TextOf(-4), path);
    EXPECT_EQ(ReadBytes(path).size(), kSm12Size);
}
