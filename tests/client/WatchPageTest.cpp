#include "client/WatchPage.h"

#include "client/ServiceUrls.h"
#include "foundation/Exception.h"
#include "tests/client/ClientTestSupport.h"

#include <gtest/gtest.h>

namespace {

using client_testing::SettingsTest;
using WatchPageTest = SettingsTest;

const wchar_t kPage[] = L"<html>\r\n<head>\r\n<title>動画 ‐ 題 ‐ ベラベラ動画</title>\r\n</head>\r\n<body>\r\n"
                        L"<a href=\"tag/%E3%81%82\" rel=\"tag\">音楽</a>&nbsp;\r\n"
                        L"<a href=\"tag/x\">作業用BGM</a>&nbsp;<a href=\"tag/y\">リンクだけ</a>\r\n"
                        L"<embed src=\"http://h/swf/velaplayer.swf\">\r\n"
                        L"<script>\r\n"
                        L"so.addVariable(\"category\", \"ゲーム\");\r\n"
                        L"so.addVariable(\"movie_type\", \"mp4\");\r\n"
                        L"so.addVariable(\"bgms\", \"sm100%2Cnm200%2Cxx3\");\r\n"
                        L"so.addVariable(\"has_owner_thread\", \"1\");\r\n"
                        L"var Video = {\r\n"
                        L"\tthread_id:\t'1000000009',\r\n"
                        L"\tv:\t'sm9',\r\n"
                        L"\tid:\t\t'so9',\r\n"
                        L"\tisMymemory: false,\r\n"
                        L"\ttags:\t['a','b'],\r\n"
                        L"\tq:\t',\r\n"
                        L"\tlength:\t320\r\n"
                        L"};\r\n"
                        L"</script>\r\n</body>\r\n</html>\r\n";

} // namespace

TEST_F(WatchPageTest, TitleIsTheTextBeforeTheSiteSuffix) {
    struct Case {
        const wchar_t* page;
        const wchar_t* title;
        const wchar_t* logged;
    };
    const Case cases[] = {
        {kPage, L"動画", nullptr},
        {L"<title>続き‐ベラベラ動画</title>", L"続き", nullptr},
        {L"<title>1行目\n2行目 ‐ ベラベラ動画</title>", L"1行目\n2行目", nullptr},
        {L"<title>ASCII - hyphen</title>", L"", L"GetTitle() : RegexSearch"},
        {L"<html></html>", L"", L"GetTitle() : RegexSearch"},
        {L"<title> ‐ ベラベラ動画</title>", L"", L"GetTitle() : empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        SetWindowTextW(DebugLog().GetEditControl(), L"");
        EXPECT_EQ(GetTitle(c.page), c.title);
        EXPECT_EQ(LogText(), c.logged == nullptr ? std::wstring() : std::wstring(c.logged) + L"\r\n");
    }
}

TEST(WatchPageTitleTest, ReplacedTitleIsInsertedLiterally) {
    struct Case {
        const wchar_t* title;
    };
    const Case cases[] = {{L"新しい題"}, {L"100$ $1 $& $$"}, {L"C:\\temp\\n \\1"}, {L"(括弧) [x] {y}"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        std::wstring page = L"<html>\n<title>古い題 ‐ ベラベラ動画</title>\n<p>本文</p>";
        EXPECT_TRUE(ReplacePageTitle(page, c.title));
        EXPECT_EQ(page, L"<html>\n<title>" + std::wstring(c.title) + L" ‐ ベラベラ動画</title>\n<p>本文</p>");
    }
}

TEST(WatchPageVariablesTest, PlayerVariablesTagsAndFlags) {
    EXPECT_EQ(GetTags(kPage), (std::vector<std::wstring>{L"音楽", L"作業用BGM"}));
    EXPECT_EQ(GetCategory(kPage), L"ゲーム");
    EXPECT_EQ(GetMovieType(kPage), L"mp4");
    EXPECT_TRUE(HasOwnerThread(kPage));
    EXPECT_TRUE(HasPlayerSwf(kPage));

    const wchar_t kBare[] = L"<html><body>so.addVariable(\"has_owner_thread\", \"0\");</body></html>";
    EXPECT_TRUE(GetTags(kBare).empty());
    EXPECT_EQ(GetCategory(kBare), L"");
    EXPECT_EQ(GetMovieType(kBare), L"");
    EXPECT_FALSE(HasOwnerThread(kBare));
    EXPECT_FALSE(HasPlayerSwf(kBare));
}

TEST_F(WatchPageTest, BgmListBecomesWatchUrlsOfTheCountry) {
    std::vector<std::wstring> urls;
    EXPECT_TRUE(GetBgmList(kPage, urls, L"tw"));
    EXPECT_EQ(urls, (std::vector<std::wstring>{GetWatchUrl(L"tw") + L"sm100", GetWatchUrl(L"tw") + L"nm200"}));

    EXPECT_FALSE(GetBgmList(L"so.addVariable(\"bgms\", \"\");", urls, L"jp"));
    EXPECT_TRUE(urls.empty());
    EXPECT_FALSE(GetBgmList(L"<html></html>", urls, L"jp"));
}

TEST(WatchPageVideoTest, MembersOfTheVideoObject) {
    struct Case {
        const wchar_t* name;
        const wchar_t* value;
    };
    const Case cases[] = {
        {L"v", L"sm9"},
        {L"id", L"so9"}, // not the tail of thread_id
        {L"thread_id", L"1000000009"},
        {L"isMymemory", L"false"},
        {L"tags", L"'a','b'"},
        {L"q", L""},      // a lone quote
        {L"length", L""}, // the last member has no comma after it
        {L"missing", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GetVideoMember(kPage, c.name), c.value);
    }
    EXPECT_EQ(GetVideoMember(L"var Video = {\n\tpostedAt:\t'2008/01/02 03:04:05',\n};", L"postedAt"),
              L"2008/01/02 03:04:05");
}

TEST(WatchPageDescriptionTest, FirstMatchingLayoutWins) {
    struct Case {
        const wchar_t* page;
        const wchar_t* description;
    };
    const Case cases[] = {
        {L"<!--↓動画説明文↓-->\r\n<div>\r\n<!-- google_ad_section_start -->\r\n説明<b>太字</b>\r\n"
         L"<!-- google_ad_section_end -->\r\n</div>\r\n<!--↑動画説明文↑-->\r\n"
         L"<p class=\"video_title\"><!-- google_ad_section_start -->二番目<!-- google_ad_section_end -->",
         L"説明<b>太字</b>"},
        {L"<!--↓動画説明文↓-->\n<!-- google_ad_section_start -->\n<!-- google_ad_section_end "
         L"-->\n<!--↑動画説明文↑-->\n",
         L""},
        {L"<h1><p class=\"video_title\"><!-- google_ad_section_start -->題の説明<!-- google_ad_section_end --></p>",
         L"題の説明"},
        {L"<!--html--><p class=\"d\">一<br>二</p><!--html--><!--html--><p>三</p><!--html-->", L"一<br>二"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        EXPECT_EQ(GetContributorComment(c.page), c.description);
    }
    try {
        GetContributorComment(L"<html><p>説明なし</p></html>");
        ADD_FAILURE() << "no exception";
    } catch (const utl::exception::CException& e) {
        EXPECT_EQ(e.message, L"!GetContributorComment");
    }
}

TEST_F(WatchPageTest, ServiceMessageStripsTagsAndIsLoggedUnlessQuiet) {
    const wchar_t kNotice[] = L"<h1>お知らせ</h1>\n<p class=\"font12\">メンテナンス中です。<br>しばらく<b>お待ち</b>"
                              L"<a href=\"x\">ください</a>。</p>";
    EXPECT_EQ(GetServiceMessage(kNotice, true), L"お知らせ : メンテナンス中です。\nしばらくお待ちください。");
    EXPECT_EQ(LogText(), L"");
    EXPECT_EQ(GetServiceMessage(kNotice), L"お知らせ : メンテナンス中です。\nしばらくお待ちください。");
    EXPECT_EQ(LogText(), L"◆ベラベラ動画：お知らせ : メンテナンス中です。\nしばらくお待ちください。\r\n");

    SetWindowTextW(DebugLog().GetEditControl(), L"");
    EXPECT_EQ(GetServiceMessage(L"<h1>見出し</h1><p class=\"font12\">x</p>", false), L" : x");
    EXPECT_EQ(GetServiceMessage(L"<h1>見出し</h1>", false), L" : ");
    EXPECT_EQ(LogText(), L"");

    EXPECT_TRUE(IsAccessThrottled(L"<h1>制限</h1><p class=\"font12\">短時間での連続アクセスはご遠慮ください<br></p>"));
    EXPECT_FALSE(IsAccessThrottled(kNotice));
    // The notice must be in the message body, not anywhere in the page.
    EXPECT_FALSE(IsAccessThrottled(L"<p>短時間での連続アクセスはご遠慮ください</p>"));
    EXPECT_EQ(LogText(), L"");
}

TEST_F(WatchPageTest, LoginPageIsTheOneThatLinksTheLoginForm) {
    GetAppSettings().ServiceBaseUrl = L"http://127.0.0.1:9/";
    EXPECT_TRUE(CheckLoginPage(kPage));
    EXPECT_EQ(LogText(), L"");
    EXPECT_FALSE(CheckLoginPage(L"<a href=\"http://127.0.0.1:9/secure/login\">ログイン</a>"));
    EXPECT_EQ(LogText(), L"ログイン状態を確認できませんでした\r\n");
}

TEST(WatchPageVideoTest, MovieNameMymemoryAndRawTitle) {
    EXPECT_EQ(GetMovieName(kPage), L"sm9");
    EXPECT_EQ(GetMovieName(L"<html></html>"), L"");
    struct Case {
        const wchar_t* member;
        bool mymemory;
    };
    const Case cases[] = {{L"true", true}, {L"1", true}, {L"false", false}, {L"0", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.member);
        EXPECT_EQ(IsMymemory(std::wstring(L"var Video = {\n\tisMymemory:\t") + c.member + L",\n};"), c.mymemory);
    }
    EXPECT_FALSE(IsMymemory(kPage));

    std::wstring page = kPage;
    ASSERT_TRUE(GetRawTitle(page, L"古い $1 題"));
    EXPECT_EQ(GetTitle(page), L"古い $1 題");
    std::wstring plain = L"<html><title>題だけ</title></html>";
    EXPECT_FALSE(GetRawTitle(plain, L"別"));
    EXPECT_EQ(plain, L"<html><title>題だけ</title></html>");
}
