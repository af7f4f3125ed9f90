#include "foundation/VideoId.h"

#include "foundation/AppSettings.h"

#include <gtest/gtest.h>

namespace {

// Restores the settings a test changes.
class VideoIdSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { m_saved = GetAppSettings(); }
    void TearDown() override { GetAppSettings() = m_saved; }

private:
    AppSettings m_saved;
};

} // namespace

TEST(VideoIdTest, FindsIdByServicePatternThenBracketsThenFreeDigits) {
    struct Case {
        const wchar_t* name;
        const wchar_t* id;
    };
    const Case cases[] = {
        {L"タイトル(sm9).mp4", L"sm9"},
        {L"nm1234567_タイトル.flv", L"nm1234567"},
        {L"http://www.example.jp/watch/so12345", L"so12345"},
        {L"12345 [67890] (sm9).mp4", L"sm9"},
        {L"[12345]タイトル.mp4", L"12345"},
        {L"タイトル(1234).mp4", L"1234"},
        {L"タイトル{98765}.mp4", L"98765"},
        {L"2024 [56789].mp4", L"56789"},
        {L"[123] タイトル.mp4", L""},
        {L"[1234) タイトル.mp4", L"1234"},
        {L"タイトル 20240101 x.mp4", L"20240101"},
        {L"タイトル_20240101.mp4", L"20240101"},
        {L"1280x720.mp4", L""},
        {L"abc12345.mp4", L""},
        {L"タイトル.mp4", L""},
        {L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GetVideoIdFromFileName(c.name), c.id);
    }
    EXPECT_EQ(GetVideoIdFromFilePath(L"C:\\sm1\\タイトル(sm9).mp4"), L"sm9");
    EXPECT_EQ(GetVideoIdFromFilePath(L"C:\\sm1\\タイトル.mp4"), L"");
}

TEST_F(VideoIdSettingsTest, IdLettersComeFromSettings) {
    GetAppSettings().MovieIdInitialRegex = L"(xx)";
    EXPECT_EQ(GetVideoIdFromFileName(L"タイトル(xx42).mp4"), L"xx42");
    EXPECT_EQ(GetVideoIdFromFileName(L"タイトル(sm42).mp4"), L"");

    // A broken pattern from the settings only loses the first rule.
    GetAppSettings().MovieIdInitialRegex = L"(sm";
    EXPECT_EQ(GetVideoIdFromFileName(L"タイトル(sm42)[12345].mp4"), L"12345");
}

TEST(VideoIdTest, TitleIsGroupOneOfTitlePattern) {
    struct Case {
        const wchar_t* name;
        const wchar_t* title;
    };
    const Case cases[] = {
        {L"タイトル(sm9).mp4", L"タイトル"},
        {L"a(b)(sm9)c(sm9).flv", L"a(b)(sm9)c"},
        {L"タイトル(1234).mp4", L"タイトル"},
        // No video ID, or no match of the pattern: the name without its extension.
        {L"タイトル.mp4", L"タイトル"},
        {L"sm9 タイトル.mp4", L"sm9 タイトル"},
        {L"タイトル(sm9)", L"タイトル(sm9)"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GetTitleFromFileName(c.name), c.title);
    }
    EXPECT_EQ(GetTitleFromFilePath(L"C:\\動画(sm1)\\タイトル(sm9).mp4"), L"タイトル");
}

TEST_F(VideoIdSettingsTest, TitlePatternComesFromSettings) {
    GetAppSettings().FilenameTitleRegex = L"[:id:]_(.+)\\.[^.]+";
    EXPECT_EQ(GetTitleFromFileName(L"sm9_タイトル.mp4"), L"タイトル");
    EXPECT_EQ(GetTitleFromFileName(L"タイトル(sm9).mp4"), L"タイトル(sm9)");

    // A pattern without a group matches but gives no title.
    GetAppSettings().FilenameTitleRegex = L"[:id:]";
    EXPECT_EQ(GetTitleFromFileName(L"sm9_タイトル.mp4"), L"");
}
