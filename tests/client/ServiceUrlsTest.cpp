#include "client/ServiceUrls.h"
#include "client/VideoUrls.h"

#include "tests/client/ClientTestSupport.h"

#include <gtest/gtest.h>

namespace {

using ServiceUrlsTest = client_testing::SettingsTest;

const wchar_t kJpWatch[] = L"http://www.video.example/watch/";
const wchar_t kTwWatch[] = L"http://tw.video.example/watch/";

} // namespace

TEST_F(ServiceUrlsTest, AddressesFollowTheCountryUnlessTheBaseIsSet) {
    EXPECT_EQ(GetServiceBaseUrl(L"jp"), L"http://www.video.example/");
    EXPECT_EQ(GetServiceBaseUrl(L""), L"http://www.video.example/");
    EXPECT_EQ(GetWatchUrl(L"tw"), kTwWatch);
    EXPECT_EQ(GetFlvApiUrl(L"jp"), L"http://www.video.example/api/getflv/");
    EXPECT_EQ(GetSecureLoginUrl().compare(0, 8, L"https://"), 0);

    GetAppSettings().ServiceBaseUrl = L"http://127.0.0.1:8080";
    for (const wchar_t* country : {L"jp", L"tw", L""}) {
        SCOPED_TRACE(country);
        EXPECT_EQ(GetServiceBaseUrl(country), L"http://127.0.0.1:8080/");
        EXPECT_EQ(GetWatchUrl(country), L"http://127.0.0.1:8080/watch/");
        EXPECT_EQ(GetFlvApiUrl(country), L"http://127.0.0.1:8080/api/getflv/");
    }
    EXPECT_EQ(GetSecureLoginUrl(), L"http://127.0.0.1:8080/secure/login");
}

TEST_F(ServiceUrlsTest, UrlsAndIdsAreRecognised) {
    GetAppSettings().ServiceBaseUrl = L"http://127.0.0.1:8080/";
    struct Case {
        const wchar_t* text;
        const wchar_t* country;
        const wchar_t* videoId; // GetVideoIdFromUrl
        bool isVideoIdText;
        bool onSite;
    };
    const Case cases[] = {
        {L"http://www.video.example/watch/sm9", L"jp", L"sm9", false, true},
        {L"http://www.video.example/watch/sm12?ref=top", L"jp", L"sm12", true, true},
        {L"http://tw.video.example/watch/nm12345", L"tw", L"nm12345", true, true},
        {L"http://127.0.0.1:8080/watch/so345", L"", L"so345", true, true},
        {L"http://127.0.0.1:8080/watch/1234567", L"", L"http://127.0.0.1:8080/watch/1234567", false, true},
        {L"http://other.example/watch/sm12", L"", L"http://other.example/watch/sm12", false, false},
        {L"http://www.video.example/tag/sm12", L"jp", L"http://www.video.example/tag/sm12", false, true},
        {L"sm12", L"", L"sm12", true, false},
        {L"sm1", L"", L"sm1", false, false},
        {L"sm12x", L"", L"sm12x", false, false},
        {L" sm12", L"", L" sm12", false, false},
        {L"xx12", L"", L"xx12", false, false},
        {L"", L"", L"", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(GetCountryFromUrl(c.text), c.country);
        EXPECT_EQ(GetVideoIdFromUrl(c.text), c.videoId);
        EXPECT_EQ(IsVideoIdText(c.text), c.isVideoIdText);
        EXPECT_EQ(MakeSiteUrlRegex(c.text), c.onSite);
    }
}

TEST_F(ServiceUrlsTest, MylistPages) {
    struct Case {
        const wchar_t* url;
        bool mylist;
        bool ownList;
    };
    const Case cases[] = {
        {L"http://www.video.example/mylist/123456", true, false},
        {L"http://tw.video.example/mylist/1", true, false},
        {L"http://www.video.example/mylist/", false, false},
        {L"http://www.video.example/my/mylist", false, true},
        {L"http://www.video.example/my/mylist#/home", false, true},
        {L"http://other.example/mylist/123", false, false},
        {L"see http://www.video.example/mylist/123", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(MakeMylistRegex(c.url), c.mylist);
        EXPECT_EQ(MakeMylistUrlRegex(c.url), c.ownList);
    }
}

TEST_F(ServiceUrlsTest, AbsoluteUrlAndIdDigits) {
    EXPECT_EQ(MakeAbsoluteUrl(L"sm9", L"jp"), std::wstring(kJpWatch) + L"sm9");
    EXPECT_EQ(MakeAbsoluteUrl(L"nm10", L"tw"), std::wstring(kTwWatch) + L"nm10");
    EXPECT_EQ(MakeAbsoluteUrl(L"http://x.example/a", L"tw"), L"http://x.example/a");
    EXPECT_EQ(MakeAbsoluteUrl(L"見て http://x.example/", L"jp"), L"見て http://x.example/");

    EXPECT_EQ(GetNumberSuffix(L"sm123"), L"123");
    EXPECT_EQ(GetNumberSuffix(L"so5"), L"5");
    EXPECT_EQ(GetNumberSuffix(L"sm12x"), L"");
    EXPECT_EQ(GetNumberSuffix(L"12345"), L"");
    GetAppSettings().MovieIdInitialRegex = L"xx|yy";
    EXPECT_EQ(GetNumberSuffix(L"yy77"), L"77");
    EXPECT_TRUE(IsVideoIdText(L"xx77"));
}

TEST_F(ServiceUrlsTest, VideoReferencesInAText) {
    std::vector<std::wstring> urls{L"old"};
    EXPECT_TRUE(
        ExtractVideoUrls(L"見てsm123と\nhttp://tw.video.example/watch/nm45?from=1、xsm99 sm1 nm12a so77", urls, L"jp"));
    EXPECT_EQ(urls, (std::vector<std::wstring>{std::wstring(kJpWatch) + L"sm123", std::wstring(kTwWatch) + L"nm45",
                                               std::wstring(kJpWatch) + L"so77"}));

    GetAppSettings().Country = L"tw";
    EXPECT_TRUE(ExtractVideoUrls(L"sm10,sm10", urls));
    EXPECT_EQ(urls, (std::vector<std::wstring>{std::wstring(kTwWatch) + L"sm10", std::wstring(kTwWatch) + L"sm10"}));

    EXPECT_FALSE(ExtractVideoUrls(L"動画はありません http://other.example/watch/sm12x", urls));
    EXPECT_TRUE(urls.empty());
}

TEST_F(ServiceUrlsTest, WatchUrlOfAFileName) {
    GetAppSettings().Country = L"tw";
    EXPECT_EQ(GetWatchUrlFromFileName(L"タイトル(sm9).mp4"), std::wstring(kTwWatch) + L"sm9");
    EXPECT_EQ(GetWatchUrlFromFilePath(L"C:\\動画\\nm12_題.flv"), std::wstring(kTwWatch) + L"nm12");
    EXPECT_EQ(GetWatchUrlFromFileName(L"タイトル.mp4"), L"");
    EXPECT_EQ(GetWatchUrlFromFilePath(L"C:\\sm9\\タイトル.mp4"), L"");
}
