#include "client/VideoInfoFile.h"

#include "foundation/CSectionFile.h"
#include "tests/client/DownloadTestSupport.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::wstring>;

class VideoInfoFileTest : public client_testing::DownloadTest {
protected:
    void SetUp() override {
        DownloadTest::SetUp();
        FetchVideo(L"sm9", m_page, m_flvData);
    }

    std::wstring m_page;
    std::wstring m_flvData;
};

} // namespace

TEST_F(VideoInfoFileTest, SectionsAsTheInformationPageReadsThem) {
    ASSERT_TRUE(GetVideoInfo(m_page, m_flvData, L"jp", Folder(), L"", L"%title%(%thread%)", L"", true, true, false));
    const CSectionFile file(PathOf(L"テスト動画 その1(sm9).txt"));
    EXPECT_EQ(file.ReadSectionValue(L"name", L""), L"sm9");
    EXPECT_EQ(file.ReadSectionValue(L"source_name", L""), Url(L"watch/sm9"));
    EXPECT_EQ(file.ReadSectionValue(L"post", L""), L"2008/01/02 03:04:05");
    EXPECT_EQ(file.ReadSection(L"title", L""), L"テスト動画 その1");
    EXPECT_EQ(file.ReadSection(L"comment", L""), L"説明文の一行目です。<b>太字</b>");
    EXPECT_EQ(file.ReadSectionLines(L"tags", true), (Lines{L"ゲーム", L"テスト＆タグ"}));
    EXPECT_EQ(file.ReadSectionLines(L"world_tags", true), (Lines{L"game", L"test's tag"}));
    EXPECT_EQ(file.ReadSectionInt(L"view_counter"), 1234);
    EXPECT_EQ(file.ReadSectionInt(L"comment_num"), 56);
    EXPECT_EQ(file.ReadSectionInt(L"mylist_counter"), 7);
    EXPECT_EQ(file.ReadSectionLines(L"filter", true), (Lines{L"あ=い", L"う=え"}));
}

TEST_F(VideoInfoFileTest, UpdateOfAnExistingFile) {
    // The "temp" file of the information page, as its builder asks for it.
    const std::wstring path = PathOf(L"temp.txt");
    CSectionFile file(path);
    ASSERT_TRUE(file.SetSectionLines(L"tags", {L"古いタグ", L"ゲーム"}));
    ASSERT_TRUE(file.SetSection(L"command", L"player -shift time=10"));

    ASSERT_TRUE(GetVideoInfo(m_page, m_flvData, L"jp", Folder(), L"", L"temp", L"元のタイトル", false, false, true));
    EXPECT_EQ(file.ReadSectionLines(L"tags", true), (Lines{L"古いタグ", L"ゲーム", L"テスト＆タグ"}));
    EXPECT_EQ(file.ReadSection(L"title", L""), L"元のタイトル");
    EXPECT_EQ(file.ReadSection(L"command", L""), L"player -shift time=10");
    EXPECT_EQ(file.ReadSection(L"filter", L"(absent)"), L"");
    EXPECT_EQ(file.ReadSection(L"world_tags", L"(absent)"), L"");

    ASSERT_TRUE(GetVideoInfo(m_page, m_flvData, L"jp", Folder(), L"", L"temp", L"", false, false, false));
    EXPECT_EQ(file.ReadSectionLines(L"tags", true), (Lines{L"ゲーム", L"テスト＆タグ"}));
}

TEST_F(VideoInfoFileTest, FailuresAreLogged) {
    EXPECT_FALSE(GetVideoInfo(L"<html></html>", m_flvData, L"jp", Folder(), L"", L"temp", L"", true, true, false));
    EXPECT_TRUE(LogHas(L"Error : GetVideoInfo() the page names no video"));
    // A file stands where the folder must go.
    WriteBytes(PathOf(L"sm9"), "file");
    EXPECT_FALSE(GetVideoInfo(m_page, m_flvData, L"jp", Folder(), L"%thread%", L"temp", L"", true, true, false));
    EXPECT_TRUE(LogHas(L"Error : GetVideoInfo() cannot make the folder " + PathOf(L"sm9")));
}
