#include "engine/CDirectShow.h"
#include "engine/FrameRenderer.h"
#include "engine/FramePump.h"
#include "foundation/AppSettings.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameMathTest, LetterboxKeepsAspectAndCentres) {
    struct Case {
        int32_t areaHeight, sourceWidth, sourceHeight, areaWidth;
        RECT expected;
    };
    const Case cases[] = {
        {384, 171, 96, 512, {0, 48, 512, 335}},   // wide picture: bars above and below
        {384, 320, 240, 512, {0, 0, 512, 384}},   // same aspect: fills the area
        {384, 240, 320, 512, {112, 0, 400, 384}}, // tall picture: bars left and right
        {384, 0, 240, 512, {256, 0, 256, 384}},   // no width: divisor 1, an empty picture
    };
    for (const Case& c : cases) {
        const RECT box = CalcLetterbox(c.areaHeight, c.sourceWidth, c.sourceHeight, c.areaWidth);
        EXPECT_EQ(box.left, c.expected.left) << c.sourceWidth << "x" << c.sourceHeight;
        EXPECT_EQ(box.top, c.expected.top) << c.sourceWidth << "x" << c.sourceHeight;
        EXPECT_EQ(box.right, c.expected.right) << c.sourceWidth << "x" << c.sourceHeight;
        EXPECT_EQ(box.bottom, c.expected.bottom) << c.sourceWidth << "x" << c.sourceHeight;
    }
}

TEST(FrameMathTest, RefreshIntervalFollowsFrameTimeAndQuality) {
    struct Case {
        bool hasVideo;
        UINT frameMs;
        int32_t quality, minMs, maxMs;
        UINT expected;
    };
    const Case cases[] = {
        {true, 20, 2, 0, 0, 30},    {true, 20, 1, 0, 0, 40},  {true, 20, 0, 0, 0, 80},  {true, 50, 2, 0, 0, 60},
        {true, 50, 1, 0, 0, 80},    {true, 50, 0, 0, 0, 160}, {true, 20, 2, 40, 0, 60}, // raised to the minimum first
        {true, 100, 7, 0, 70, 70}, // lowered to the maximum; an unknown quality keeps it
        {true, 0, 1, 0, 0, 80},    // unknown frame time: the default of 40 ms
        {false, 40, 2, 40, 0, 250},
    };
    for (const Case& c : cases) {
        AppSettings settings;
        settings.VideoPlayQuality = c.quality;
        settings.MinAvgTimePerFrame = c.minMs;
        settings.MaxAvgTimePerFrame = c.maxMs;
        EXPECT_EQ(CalcRefreshInterval(c.hasVideo, c.frameMs, settings), c.expected)
            << c.frameMs << " ms at quality " << c.quality;
    }
}

TEST(FrameMathTest, PlayTimeTextRoundTrips) {
    struct Case {
        int32_t ms;
        const wchar_t* text;
    };
    const Case cases[] = {{0, L"0:00"}, {59999, L"0:59"}, {61000, L"1:01"}, {3600000, L"60:00"}};
    for (const Case& c : cases) {
        EXPECT_EQ(CDirectShow::FormatPlayTime(c.ms), c.text);
        EXPECT_EQ(CDirectShow::ParsePlayTime(c.text), c.ms / 1000 * 1000);
    }
    EXPECT_EQ(CDirectShow::ParsePlayTime(L"12分34秒"), 12 * 60000 + 34 * 1000);
    EXPECT_EQ(CDirectShow::ParsePlayTime(L"abc"), 0);
}

TEST(FrameMathTest, HugePlayTimesAreClampedInsteadOfOverflowing) {
    struct Case {
        const wchar_t* text;
        int32_t ms;
    };
    constexpr int32_t kMax = 2147483647;
    const Case cases[] = {
        {L"35791:23", 35791 * 60000 + 23000}, // the last minute that fits
        {L"35792:00", kMax},
        {L"0:2147484", kMax},
        {L"99999999999999999999999:99999999999999999999", kMax},
        {L"35791:99999999999", kMax},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CDirectShow::ParsePlayTime(c.text), c.ms) << testing::PrintToString(std::wstring(c.text));
    }
}

TEST(FrameMathTest, VolumePercentMapsToAttenuation) {
    struct Case {
        int32_t percent;
        long volume;
    };
    const Case cases[] = {{40, -10000}, {0, -10000}, {100, 0}, {70, -900}, {41, -3481}};
    for (const Case& c : cases) {
        EXPECT_EQ(CDirectShow::VolumeFromPercent(c.percent), c.volume) << c.percent;
    }
}

} // namespace
