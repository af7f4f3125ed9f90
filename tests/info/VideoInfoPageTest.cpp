#include "windows/VideoInfoPage.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::wstring>;

TEST(VideoInfoOptionsTest, OptionCommentIsFoundAndSplitLikeACommandLine) {
    const struct {
        const wchar_t* text;
        Words words;
    } cases[] = {
        {L"<html>no options</html>", {}},
        {L"<!--VelaPlayer Option=\"-once -tool\"-->", {L"-once", L"-tool"}},
        {L"x<!-- VelaPlayer Option=\"-not_move\" -->\n<!-- VelaPlayer Option=\"-once\" -->", {L"-not_move"}},
        // The value runs to the last closing quote of the same line.
        {L"<!--VelaPlayer Option=\"-a\"--> <!--VelaPlayer Option=\"-b\"-->", {L"-a--> <!--VelaPlayer Option=-b"}},
        // A quoted group holds blanks; backslash + quote and %__quot__% are literal quotes.
        {L"<!-- VelaPlayer Option=\"\"exec=a b.exe\" -x\" -->", {L"exec=a b.exe", L"-x"}},
        {L"<!-- VelaPlayer Option=\"exec=say \\\"hi\\\" %__quot__%\" -->", {L"exec=say", L"\"hi\"", L"\""}},
        // The comment must close on the same line.
        {L"<!-- VelaPlayer Option=\"-once\n\" -->", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseTemplateOptions(c.text), c.words) << c.text;
    }
}

TEST(VideoInfoOptionsTest, ToolStandsForImmediateNotFoundAndOnce) {
    VideoInfoOptions tool = ReadVideoInfoOptions({L"-tool"});
    EXPECT_TRUE(tool.immediate && tool.notFound && tool.once);
    EXPECT_FALSE(tool.disconnect || tool.openInside || tool.notMove);
    VideoInfoOptions none = ReadVideoInfoOptions({L"-Once", L"once", L"-open_inside"});
    EXPECT_FALSE(none.once);
    EXPECT_TRUE(none.openInside);
}

TEST(VideoInfoBuildTest, OutcomeBySourceKindAndOptions) {
    using K = VideoInfoSourceKind;
    EXPECT_EQ(ClassifyVideoInfoSource(L"C:\\a.txt", true), K::InfoFile);
    EXPECT_EQ(ClassifyVideoInfoSource(L"http://x/watch/sm1", false), K::WatchUrl);
    EXPECT_EQ(ClassifyVideoInfoSource(L"https://x/watch/sm1", false), K::Other);
    EXPECT_EQ(ClassifyVideoInfoSource(L"", false), K::Empty);
    EXPECT_EQ(ClassifyVideoInfoSource(L"NOT_FOUND", false), K::NotFound);
    EXPECT_EQ(ClassifyVideoInfoSource(L"not_found", false), K::Other);

    const struct {
        K kind;
        Words options;
        bool fill, fetch, fromName, emptyInfo, wait;
        unsigned int flags;
    } cases[] = {
        {K::InfoFile, {}, true, false, false, false, false, 0},
        {K::InfoFile, {L"-once", L"-not_move"}, true, false, false, false, false, LastBuild | KeepPage},
        {K::WatchUrl, {}, true, true, false, false, false, 0},
        {K::WatchUrl, {L"-disconnect"}, true, false, true, false, false, 0},
        {K::Empty, {}, false, false, false, false, false, KeepPage},
        {K::Empty, {L"-immediate"}, true, false, false, true, false, 0},
        {K::NotFound, {}, false, false, false, false, true, ShowBlank},
        {K::NotFound, {L"-not_found"}, true, false, false, true, false, 0},
        {K::NotFound, {L"-tool"}, true, false, false, true, false, LastBuild},
        {K::Other, {L"-tool"}, false, false, false, false, false, LastBuild | BuildFailed},
    };
    for (const auto& c : cases) {
        VideoInfoPlan plan = PlanVideoInfoBuild(c.kind, ReadVideoInfoOptions(c.options));
        SCOPED_TRACE(static_cast<int>(c.kind));
        EXPECT_EQ(plan.fill, c.fill);
        EXPECT_EQ(plan.fetch, c.fetch);
        EXPECT_EQ(plan.fromNameOnly, c.fromName);
        EXPECT_EQ(plan.emptyInfo, c.emptyInfo);
        EXPECT_EQ(plan.waitBeforeReturn, c.wait);
        EXPECT_EQ(plan.flags, c.flags);
    }
}

VideoInfoValues SampleValues() {
    VideoInfoValues v;
    v.name = L"sm123";
    v.movieId = L"123";
    v.post = L"2007/01/01";
    v.title = L"%__SOFT_DIR__% <b>t</b>";
    v.comment = L"c";
    v.tags = {L"a'b", L"c\\", L"音 楽"};
    v.viewCounter = 5;
    v.mediaCommentCount = 7;  // comment_num is missing
    v.mylistCounter = 0;
    v.softDir = L"C:\\vp";
    v.mediaPath = L"C:\\v\\a.flv";
    v.thumbnailPath = L"C:\\v\\a.jpg";
    return v;
}

TEST(VideoInfoFillTest, PlaceholdersGiveTheExactPage) {
    std::wstring text =
        L"%__MOVIE_ID__%|%__MOVIE_NAME__%|%__POST__%|%__TITLE__%|%__COMMENT__%|%__TAGS__%|%__TAGS2__%|"
        L"%__USER_ID__%|%__IS_PREMIUM__%|%__SOFT_DIR__%|%__DOWNLOAD_DIR__%|%__MEDIA_PATH__%|"
        L"%__THUMBNAIL_PATH2__%|%__MEDIA_PATH2__%|%__VIEW_COUNTER__%|%__COMMENT_NUM__%|%__MYLIST_COUNTER__%";
    FillVideoInfoTemplate(text, SampleValues());
    // A later placeholder is replaced inside an earlier value too (the title here).
    EXPECT_EQ(text,
              L"123|sm123|2007/01/01|C:\\vp <b>t</b>|c|"
              L"<a href=\"tag/a%27b\" rel=\"tag\" class=\"velapedia\">a'b</a>\x3000"
              L"<a href=\"tag/c%5C\" rel=\"tag\" class=\"velapedia\">c\\</a>\x3000"
              L"<a href=\"tag/%E9%9F%B3+%E6%A5%BD\" rel=\"tag\" class=\"velapedia\">音 楽</a>|"
              L"['a\\'b','c\\\\','音 楽']|0|false|C:\\vp||C:\\v\\a.flv|C:\\\\v\\\\a.jpg|C:\\\\v\\\\a.flv|5|7|0");
}

TEST(VideoInfoFillTest, NoTagsGiveEmptyLinksAndEmptyArray) {
    EXPECT_EQ(MakeTagLinks({}), L"");
    EXPECT_EQ(MakeTagArray({}), L"[]");
}

TEST(VideoInfoFillTest, ExecCommandComesFromTheTemplateNotFromServiceText) {
    VideoInfoValues v = SampleValues();
    EXPECT_EQ(GetTemplateExecCommand(L"<!-- VelaPlayer Option=\"exec=%__SOFT_DIR__%\\tool.exe -once\" -->", v),
              L"C:\\vp\\tool.exe");
    // A title or description that carries an option comment names no command.
    v.title = L"<!-- VelaPlayer Option=\"exec=calc.exe\" -->";
    v.comment = v.title;
    EXPECT_EQ(GetTemplateExecCommand(L"<!-- VelaPlayer Option=\"-once\" --><h1>%__TITLE__%</h1>%__COMMENT__%", v),
              L"");
    EXPECT_EQ(GetTemplateExecCommand(L"<!-- VelaPlayer Option=\"exec=x.exe %__TITLE__%\" -->", v), L"x.exe");
}

}  // namespace
