// The main window's decisions that need no window: docking, status-bar clicks, the wheel, the tray
// settings' system commands, sizing a stretched video, the post result and the video data.

#include "app/MainWindowRules.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(MainWindowRulesTest, DockedToolWindowsFollowTheEdgeTheyLieOn) {
    const RECT main = {100, 100, 500, 400};
    struct Case {
        const char* name;
        RECT tool;
        RECT newMain;
        POINT shift;
    };
    const Case cases[] = {
        {"right side, moved", {500, 150, 700, 350}, {130, 80, 530, 380}, {30, -20}},
        {"left side within the distance, moved", {-100, 120, 95, 300}, {130, 80, 530, 380}, {30, -20}},
        {"below, moved", {150, 402, 450, 500}, {130, 80, 530, 380}, {30, -20}},
        {"above, moved", {100, 0, 300, 100}, {130, 80, 530, 380}, {30, -20}},
        {"right side, sized by the right edge", {500, 150, 700, 350}, {100, 100, 560, 400}, {60, 0}},
        {"left side stays when sized by the right edge", {-100, 120, 100, 300}, {100, 100, 560, 400}, {0, 0}},
        {"below, sized by the bottom edge", {150, 400, 450, 500}, {100, 100, 500, 440}, {0, 40}},
        {"too far from the edge", {520, 150, 700, 350}, {130, 80, 530, 380}, {0, 0}},
        {"on the edge's line but beside the window", {500, 420, 700, 600}, {130, 80, 530, 380}, {0, 0}},
        {"overlapping the window", {200, 200, 300, 300}, {130, 80, 530, 380}, {0, 0}},
    };
    for (const Case& c : cases) {
        const POINT shift = DockedWindowShift(main, c.newMain, c.tool);
        EXPECT_EQ(shift.x, c.shift.x) << c.name;
        EXPECT_EQ(shift.y, c.shift.y) << c.name;
    }
}

TEST(MainWindowRulesTest, StatusBarClicksFindTheirPartAndStep) {
    const std::vector<int> edges = {110, 130, 190, 240, -1};
    struct PartCase {
        int x;
        int part;
    };
    for (const PartCase& c : {PartCase{0, 0}, PartCase{109, 0}, PartCase{110, 1}, PartCase{129, 1}, PartCase{130, 2},
                              PartCase{200, 3}, PartCase{5000, 4}, PartCase{-1, -1}}) {
        EXPECT_EQ(StatusPartAt(edges, c.x), c.part) << c.x;
    }
    EXPECT_EQ(StatusPartAt({110, 130}, 500), -1);

    struct WayCase {
        int way;
        bool backwards;
        int next;
    };
    for (const WayCase& c : {WayCase{0, false, 1}, WayCase{3, false, 0}, WayCase{0, true, 3}, WayCase{2, true, 1},
                             WayCase{7, false, 0}, WayCase{-1, true, 0}}) {
        EXPECT_EQ(NextPlayWay(c.way, c.backwards), c.next) << c.way << " " << c.backwards;
    }
    EXPECT_STREQ(PlayWayText(1), L"リピート");
    EXPECT_STREQ(PlayWayText(9), L"");

    struct RateCase {
        double rate;
        bool slower;
        double next;
    };
    for (const RateCase& c : {RateCase{1.0, false, 1.25}, RateCase{1.0, true, 0.75}, RateCase{2.0, false, 2.0},
                              RateCase{0.25, true, 0.25}, RateCase{1.1, false, 1.25}, RateCase{1.1, true, 1.0},
                              RateCase{1.2500001, false, 1.5}, RateCase{9.0, true, 2.0}}) {
        EXPECT_DOUBLE_EQ(NextPlayRate(c.rate, c.slower), c.next) << c.rate << " " << c.slower;
    }
    EXPECT_EQ(PlayRateText(1.25), L"x1.25");
}

TEST(MainWindowRulesTest, WheelNotchesStepTheVolumeWithinItsRange) {
    struct Case {
        int volume;
        std::vector<int> deltas;
        int volumeAfter;
        int pendingAfter;
    };
    const Case cases[] = {
        {50, {WHEEL_DELTA}, 55, 0},
        {50, {-2 * WHEEL_DELTA}, 40, 0},
        {98, {WHEEL_DELTA}, 100, 0},
        {3, {-WHEEL_DELTA}, 0, 0},
        {50, {40, 40}, 50, 80},
        {50, {40, 40, 40}, 55, 0},
        {50, {60, -WHEEL_DELTA}, 50, -60},
        {0, {0x7FFF * WHEEL_DELTA}, 100, 0},
    };
    for (const Case& c : cases) {
        int volume = c.volume;
        int pending = 0;
        for (int delta : c.deltas) {
            volume = VolumeAfterWheel(volume, delta, pending);
        }
        EXPECT_EQ(volume, c.volumeAfter) << c.volume;
        EXPECT_EQ(pending, c.pendingAfter) << c.volume;
    }
}

TEST(MainWindowRulesTest, OnlyAMoveToAnotherPlaceCountsAsAMove) {
    POINT last = {LONG_MIN, LONG_MIN};
    struct Case {
        POINT now;
        bool moved;
    };
    // The second is what hiding the cursor in place reports.
    for (const Case& c : {Case{{10, 20}, true}, Case{{10, 20}, false}, Case{{11, 20}, true}, Case{{11, 19}, true}}) {
        EXPECT_EQ(CursorMoved(last, c.now), c.moved) << c.now.x << "," << c.now.y;
        EXPECT_EQ(last.x, c.now.x);
        EXPECT_EQ(last.y, c.now.y);
    }
}

TEST(MainWindowRulesTest, TraySettingsDecideMinimiseAndClose) {
    struct Case {
        WPARAM command;
        bool toTray;
        bool closeMinimizes;
        SysCommandAction action;
    };
    const Case cases[] = {
        {SC_MINIMIZE, false, false, SysCommandAction::Default},
        {SC_MINIMIZE, true, false, SysCommandAction::MinimizeToTray},
        {SC_MINIMIZE | 2, true, false, SysCommandAction::MinimizeToTray},
        {SC_CLOSE, true, false, SysCommandAction::Default},
        {SC_CLOSE, false, true, SysCommandAction::Minimize},
        {SC_CLOSE, true, true, SysCommandAction::MinimizeToTray},
        {SC_MAXIMIZE, true, true, SysCommandAction::Default},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecideSysCommand(c.command, c.toTray, c.closeMinimizes), c.action)
            << c.command << " " << c.toTray << " " << c.closeMinimizes;
    }
}

TEST(MainWindowRulesTest, SizingKeepsTheStretchedVideosShape) {
    // 20 px of frame across and 100 px of frame and bars down, a 4:3 video.
    const SIZE frame = {20, 100};
    const SIZE video = {320, 240};
    struct Case {
        const char* name;
        RECT dragged;
        int edge;
        RECT expected;
    };
    const Case cases[] = {
        {"right edge: the height follows", {0, 0, 420, 200}, WMSZ_RIGHT, {0, 0, 420, 400}},
        {"bottom edge: the width follows", {0, 0, 100, 400}, WMSZ_BOTTOM, {0, 0, 420, 400}},
        {"top-left corner: the top moves", {10, 50, 430, 500}, WMSZ_TOPLEFT, {10, 100, 430, 500}},
        {"bottom-right corner: the bottom moves", {10, 50, 430, 60}, WMSZ_BOTTOMRIGHT, {10, 50, 430, 450}},
        {"no area left", {0, 0, 10, 10}, WMSZ_RIGHT, {0, 0, 10, 100}},
    };
    for (const Case& c : cases) {
        const RECT result = KeepVideoShape(c.dragged, c.edge, frame, video);
        EXPECT_TRUE(EqualRect(&result, &c.expected))
            << c.name << ": " << result.left << "," << result.top << "," << result.right << "," << result.bottom;
    }
    const RECT dragged = {0, 0, 333, 222};
    const RECT unknown = KeepVideoShape(dragged, WMSZ_RIGHT, frame, SIZE{0, 0});
    EXPECT_TRUE(EqualRect(&unknown, &dragged)) << "a video of no size changes nothing";
}

TEST(MainWindowRulesTest, PostResultTextsFollowWhetherCommentsCanBeRefreshed) {
    struct Case {
        bool success;
        bool refreshable;
        const wchar_t* status;
        bool refresh;
        bool logNotShown;
    };
    const Case cases[] = {
        {true, true, L"コメント投稿完了", true, false},
        {true, false, L"コメント投稿完了", false, true},
        {false, true, L"コメント投稿失敗", false, false},
        {false, false, L"コメント投稿失敗", false, false},
    };
    for (const Case& c : cases) {
        const PostResultAnswer answer = AnswerPostResult(c.success, c.refreshable);
        EXPECT_STREQ(answer.statusText, c.status) << c.success << c.refreshable;
        EXPECT_EQ(answer.startRefresh, c.refresh) << c.success << c.refreshable;
        EXPECT_EQ(answer.logNotShown, c.logNotShown) << c.success << c.refreshable;
    }
}

TEST(MainWindowRulesTest, VideoDataBelongsToThePlayingVideo) {
    CPlayingVideoData data;
    EXPECT_EQ(data.Answer(L"C:\\v\\sm9.mp4", true), L"") << "nothing kept";
    data.Keep(L"C:\\v\\sm9.mp4", L"thread_id=1&l=30");
    EXPECT_EQ(data.Answer(L"C:\\v\\sm9.mp4", true), L"") << "not expected";
    data.Expect(L"C:\\v\\sm9.mp4");
    data.Keep(L"C:\\v\\sm9.mp4", L"thread_id=1&l=30");
    EXPECT_EQ(data.Answer(L"c:\\V\\SM9.MP4", true), L"thread_id=1&l=30");
    const wchar_t* pointer = data.Answer(L"C:\\v\\sm9.mp4", true).c_str();
    EXPECT_STREQ(pointer, L"thread_id=1&l=30") << "the text stays until the next answer";
    EXPECT_EQ(data.Answer(L"C:\\v\\sm10.mp4", true), L"") << "another video";
    EXPECT_EQ(data.Answer(L"C:\\v\\sm9.mp4", false), L"") << "closed";
    data.Clear();
    EXPECT_EQ(data.Answer(L"C:\\v\\sm9.mp4", true), L"");

    // A fetch that ends after the next video was opened is not kept for it, nor for its own video.
    data.Expect(L"C:\\v\\sm9.mp4");
    data.Expect(L"C:\\v\\sm10.mp4");
    data.Keep(L"C:\\v\\sm9.mp4", L"thread_id=1");
    data.Keep(L"C:\\v\\sm10.mp4", L"thread_id=2");
    EXPECT_EQ(data.Answer(L"C:\\v\\sm10.mp4", true), L"thread_id=2");
    EXPECT_EQ(data.Answer(L"C:\\v\\sm9.mp4", true), L"");
}

} // namespace
