#include "client/Account.h"
#include "client/CommentDownload.h"
#include "client/FlvData.h"
#include "client/HttpAccess.h"
#include "client/MessageServer.h"
#include "client/SaveNames.h"
#include "client/WatchPage.h"
#include "foundation/StringUtil.h"

#include "engine/CommentXml.h"
#include "tests/client/ClientTestSupport.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <utility>
#include <vector>

namespace {

const long long kFirstDate = 1200000000; // the date of the fake's first comment; one a day after it
const long long kDay = 86400;

struct RecordingCallback : CGetVelaProcessCB {
    void OnEvent(int code, const wchar_t* text) override { events.emplace_back(code, text); }
    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const auto& event : events) {
            codes.push_back(event.first);
        }
        return codes;
    }
    std::vector<std::pair<int, std::wstring>> events;
};

class CommentDownloadTest : public client_testing::FakeServiceTest {
protected:
    void SetUp() override {
        FakeServiceTest::SetUp();
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_folder = std::wstring(temp) + L"vela-comments-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                   std::to_wstring(GetTickCount());
    }
    void TearDown() override {
        std::wstring from = m_folder + L'\0';
        SHFILEOPSTRUCTW op = {};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
        SHFileOperationW(&op);
        FakeServiceTest::TearDown();
    }

    void LogIn() { ASSERT_TRUE(Login(L"user@example.com", L"pass word&1")); }
    std::wstring Page(const std::wstring& videoId) {
        std::wstring page;
        EXPECT_TRUE(OpenUrlChecked(page, Url(L"watch/") + videoId));
        return page;
    }
    std::wstring FlvData(const std::wstring& videoId) { return GetFlvData(videoId, L"", INTERNET_FLAG_RELOAD); }

    // The texts of the saved comment document, read back by the comment engine.
    static std::vector<std::wstring> ChatTexts(const std::wstring& path) {
        CommentDocument document;
        EXPECT_TRUE(ReadCommentXml(path, document)) << path;
        std::vector<std::wstring> texts;
        for (const ChatData& chat : document.chats) {
            texts.push_back(chat.text);
        }
        return texts;
    }

    std::wstring m_folder;
};

} // namespace

TEST_F(CommentDownloadTest, CommentsAreSavedForTheCommentEngine) {
    LogIn();
    const std::wstring flvData = FlvData(L"sm9");
    RecordingCallback callback;
    ASSERT_TRUE(DownloadPastLog(L"sm9", callback, Page(L"sm9"), flvData, L"", m_folder, L"%title%(%thread%)",
                                L"%title%", 0, L""));

    const std::wstring path = m_folder + L"\\テスト動画 その1\\テスト動画 その1(sm9).xml";
    EXPECT_EQ(callback.Codes(), (std::vector<int>{-3, -3, -3, -3, -4}));
    ASSERT_EQ(callback.events.size(), 5u);
    EXPECT_EQ(callback.events[0].second,
              L"Post Data = <thread thread=\"1000000009\" version=\"20061206\" res_from=\"-1000\" user_id=\"12345\"/>");
    EXPECT_EQ(callback.events[3].second, L"コメントを保存しています : " + path);
    EXPECT_EQ(callback.events[4].second, path);

    CommentDocument document;
    ASSERT_TRUE(ReadCommentXml(path, document));
    EXPECT_EQ(document.last_res, 5);
    ASSERT_EQ(document.chats.size(), 5u);
    const ChatData& second = document.chats[1];
    EXPECT_EQ(second.text, L"記号 & < > \" '");
    EXPECT_EQ(second.mail, L"shita red");
    EXPECT_EQ(second.vpos, 250);
    EXPECT_EQ(second.no, 2);
    EXPECT_EQ(second.date, kFirstDate + kDay);
    EXPECT_EQ(second.thread, 1000000009);
}

TEST_F(CommentDownloadTest, PastLogUploaderThreadAndKeyedThread) {
    LogIn();
    struct Case {
        const wchar_t* videoId;
        long long pastLogTime;
        const wchar_t* extraAttribute;
        const wchar_t* nameTemplate;
        const wchar_t* postDataPiece;
        std::vector<std::wstring> texts;
    };
    const long long when = kFirstDate + kDay + 100;
    const std::wstring whenText = std::to_wstring(when);
    const Case cases[] = {
        {L"sm9",
         when,
         L"",
         L"%title%(%thread%)[%year%.%month2%.%day2% %hour2%時%minute2%分]",
         L" when=\"1200086500\" waybackkey=\"wb1000000009\"/>",
         {L"最初のコメント", L"記号 & < > \" '"}},
        {L"sm9",
         0,
         L"fork=\"1\" ",
         L"%title%(%thread%)[Owner]",
         L"<thread fork=\"1\" thread=\"1000000009\"",
         {L"投稿者コメント"}},
        {L"nm10",
         0,
         L"",
         L"%title%(%thread%)",
         L" threadkey=\"tk1000000010\" force_184=\"1\"/>",
         {L"キー付きスレッドのコメント"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nameTemplate);
        RecordingCallback callback;
        const std::wstring page = Page(c.videoId);
        ASSERT_TRUE(DownloadPastLog(c.videoId, callback, page, FlvData(c.videoId), L"", m_folder, c.nameTemplate, L"",
                                    c.pastLogTime, c.extraAttribute));
        ASSERT_FALSE(callback.events.empty());
        EXPECT_NE(callback.events[0].second.find(c.postDataPiece), std::wstring::npos) << callback.events[0].second;
        // The date in the name is the past log's time.
        SaveNameValues values{GetTitle(page), c.videoId, LocalTimeFromUnixTime(c.pastLogTime)};
        const std::wstring path = BuildSaveFilePath(m_folder, c.nameTemplate, values, L".xml");
        EXPECT_EQ(callback.events.back(), std::make_pair(-4, path));
        EXPECT_EQ(ChatTexts(path), c.texts);
    }
}

TEST_F(CommentDownloadTest, FailuresReportMinusOne) {
    const std::wstring flvData = FlvData(L"nm10"); // logged out: closed=1, no thread
    struct Case {
        const char* name;
        std::wstring flvData;
        long long pastLogTime;
        const wchar_t* serverMode; // of the message server's next reply
        const wchar_t* logLine;
        std::vector<int> codes;
    };
    const std::wstring ms = L"&ms=" + Url(L"api/") + L"&user_id=12345&";
    const Case cases[] = {
        {"no thread in the API data", flvData, 0, L"", L"Error : GetXML()", {-1}},
        {"past log without the login", L"thread_id=1000000009" + ms, kFirstDate, L"", L"Error : GetXML()", {-1}},
        {"thread unknown to the server", L"thread_id=77" + ms, 0, L"", L"XMLの取得に失敗しました", {-3, -3, -1}},
        // Its head says resultcode 0, but the rest of the comments never came.
        {"reply cut short", L"thread_id=1000000009" + ms, 0, L"cut=300", L"受信が途中で切れました (300/", {-3, -3, -1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (*c.serverMode != L'\0') {
            std::wstring reply;
            ASSERT_TRUE(GetURLData(reply, Url(L"_fake/api-mode?") + c.serverMode));
        }
        SetWindowTextW(DebugLog().GetEditControl(), L"");
        RecordingCallback callback;
        EXPECT_FALSE(DownloadPastLog(L"sm9", callback, Page(L"sm9"), c.flvData, L"", m_folder, L"%title%", L"",
                                     c.pastLogTime, L""));
        EXPECT_EQ(callback.Codes(), c.codes);
        EXPECT_TRUE(LogHas(c.logLine)) << LogText();
    }
    EXPECT_EQ(GetFileAttributesW(m_folder.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CommentDownloadTest, PostAcceptedThenDuplicateRefused) {
    std::wstring detail;
    EXPECT_FALSE(PostComment(detail, L"ログイン前", L"", 100, FlvData(L"sm9")));
    EXPECT_FALSE(detail.empty());

    LogIn();
    const std::wstring flvData = FlvData(L"sm9");
    ASSERT_TRUE(PostComment(detail, L"投稿 &amp; &lt;テスト&gt;", L"shita 184", 1234, flvData)) << detail;
    EXPECT_EQ(detail, L"");
    EXPECT_FALSE(PostComment(detail, L"投稿 &amp; &lt;テスト&gt;", L"shita 184", 1500, flvData));
    EXPECT_EQ(detail, L"同じコメントは連続で投稿できません");

    // A quote in the command cannot add attributes to the chat.
    ASSERT_TRUE(PostComment(detail, L"次", L"red\" premium=\"9", 0, flvData)) << detail;

    std::wstring posted;
    ASSERT_TRUE(GetURLDataUTF8(L"", Url(L"_fake/posted"), posted, INTERNET_FLAG_RELOAD));
    const std::vector<std::wstring> chats = Split(posted, L"\n", true);
    ASSERT_EQ(chats.size(), 3u);
    EXPECT_EQ(chats[0], L"<chat thread=\"1000000009\" vpos=\"1234\" mail=\"shita 184\" ticket=\"t1000000009\" "
                        L"user_id=\"12345\" postkey=\"pk1000000009.0\" premium=\"1\">投稿 &amp; &lt;テスト&gt;</chat>");

    // The accepted comments are the thread's newest ones.
    RecordingCallback callback;
    ASSERT_TRUE(DownloadPastLog(L"sm9", callback, Page(L"sm9"), flvData, L"", m_folder, L"%thread%", L"", 0, L""));
    CommentDocument document;
    ASSERT_TRUE(ReadCommentXml(m_folder + L"\\sm9.xml", document));
    ASSERT_EQ(document.chats.size(), 7u);
    const ChatData& first = document.chats[5];
    EXPECT_EQ(first.text, L"投稿 & <テスト>");
    EXPECT_EQ(first.mail, L"shita 184");
    EXPECT_EQ(first.vpos, 1234);
    EXPECT_EQ(first.user_id, L"12345");
    EXPECT_EQ(document.chats[6].mail, L"red\" premium=\"9");
}
