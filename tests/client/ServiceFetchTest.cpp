#include "client/FlvData.h"
#include "client/HttpAccess.h"
#include "client/WatchPage.h"

#include "tests/client/ClientTestSupport.h"

#include <gtest/gtest.h>

namespace {

class ServiceFetchTest : public client_testing::FakeServiceTest {
protected:
    void LogIn() {
        std::wstring reply;
        ASSERT_TRUE(GetURLDataUTF8(GetAppSettings().UserAgent, Url(L"secure/login"), reply, INTERNET_FLAG_RELOAD));
    }
};

} // namespace

TEST_F(ServiceFetchTest, FlvDataOfALoggedInSessionIsDecoded) {
    GetAppSettings().UserAgent = L"VelaClientTest/flv";
    const std::wstring before = GetFlvData(L"sm9", L"jp", INTERNET_FLAG_EXISTING_CONNECT);
    EXPECT_TRUE(IsClosed(before)) << before;

    LogIn();
    const std::wstring data = GetFlvData(L"sm9", L"jp", INTERNET_FLAG_RELOAD);
    EXPECT_FALSE(IsClosed(data)) << data;
    EXPECT_EQ(GetThreadId(data), L"1000000009");
    EXPECT_EQ(GetVideoLength(data), 320);
    EXPECT_EQ(GetVideoUrl(data), Url(L"smile?v=sm9.0468"));
    EXPECT_EQ(GetMessageServerUrl(data), Url(L"api/"));
    EXPECT_EQ(GetUserId(data), L"12345");
    EXPECT_TRUE(IsPremium(data));
    EXPECT_FALSE(HasNeedsKey(data));
    EXPECT_EQ(GetDeletedCode(data), 0);
    // Only ":", "/", "?" and "=" in upper-case form are decoded; "%26" keeps the pairs apart.
    EXPECT_NE(data.find(L"&nickname=%E3%83%86%E3%82%B9%E3%83%88"), std::wstring::npos) << data;
    EXPECT_NE(data.find(L"&ng_up=%e3%81%82%3d%e3%81%84%26%e3%81%86%3d%e3%81%88&"), std::wstring::npos) << data;

    EXPECT_TRUE(HasNeedsKey(GetFlvData(L"nm10", L"jp", INTERNET_FLAG_RELOAD)));
    EXPECT_EQ(GetDeletedCode(GetFlvData(L"sm11", L"jp", INTERNET_FLAG_RELOAD)), 1);

    const auto requests = m_fake.Requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0].path, L"/api/getflv/sm9?as3=1");
    EXPECT_EQ(requests[0].cookie, L"");
    EXPECT_EQ(requests[2].path, L"/api/getflv/sm9?as3=1");
    EXPECT_NE(requests[2].cookie.find(L"user_session="), std::wstring::npos);
    for (const auto& request : requests) {
        EXPECT_EQ(request.userAgent, L"VelaClientTest/flv");
    }
}

TEST_F(ServiceFetchTest, FailedFetchGivesEmptyFlvData) {
    m_fake.Stop();
    EXPECT_EQ(GetFlvData(L"sm9", L"jp", INTERNET_FLAG_RELOAD), L"");
    EXPECT_TRUE(LogHas(L"Error : InternetOpenUrl()"));
}

TEST_F(ServiceFetchTest, WatchPageOfTheService) {
    std::wstring page;
    ASSERT_TRUE(OpenUrlChecked(page, Url(L"watch/sm9")));
    EXPECT_FALSE(CheckLoginPage(page));
    EXPECT_EQ(GetTitle(page), L"テスト動画 その1");

    LogIn();
    ASSERT_TRUE(OpenUrlChecked(page, Url(L"watch/sm9")));
    EXPECT_TRUE(CheckLoginPage(page));
    EXPECT_EQ(GetTitle(page), L"テスト動画 その1");
    EXPECT_EQ(GetContributorComment(page), L"説明文の一行目です。<b>太字</b>");
    EXPECT_EQ(GetTags(page), (std::vector<std::wstring>{L"ゲーム", L"テスト＆タグ"}));
    EXPECT_EQ(GetCategory(page), L"ゲーム");
    EXPECT_EQ(GetMovieType(page), L"flv");
    EXPECT_TRUE(HasOwnerThread(page));
    EXPECT_TRUE(HasPlayerSwf(page));
    EXPECT_EQ(GetVideoMember(page, L"v"), L"sm9");
    EXPECT_EQ(GetVideoMember(page, L"id"), L"sm9");
    EXPECT_EQ(GetVideoMember(page, L"isMymemory"), L"false");
    EXPECT_EQ(GetVideoMember(page, L"postedAt"), L"2008/01/02 03:04:05");
    std::vector<std::wstring> bgms;
    EXPECT_TRUE(GetBgmList(page, bgms, L"jp"));
    EXPECT_EQ(bgms, (std::vector<std::wstring>{Url(L"watch/sm100"), Url(L"watch/nm200")}));

    ASSERT_TRUE(OpenUrlChecked(page, Url(L"watch/nm10")));
    EXPECT_EQ(GetMovieType(page), L"mp4");
    EXPECT_FALSE(HasOwnerThread(page));
}

TEST_F(ServiceFetchTest, NoticePages) {
    std::wstring page;
    ASSERT_TRUE(OpenUrlChecked(page, Url(L"notice")));
    EXPECT_EQ(GetServiceMessage(page), L"メンテナンス中 : ただいまメンテナンス中です。\nしばらくお待ちください。");
    EXPECT_TRUE(LogHas(L"◆ベラベラ動画：メンテナンス中 : "));
    EXPECT_FALSE(IsAccessThrottled(page));

    ASSERT_TRUE(OpenUrlChecked(page, Url(L"throttled")));
    EXPECT_TRUE(IsAccessThrottled(page));
}
