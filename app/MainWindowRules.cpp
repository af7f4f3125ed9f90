#include "app/MainWindowRules.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <iomanip>
#include <sstream>

namespace {

bool Near(LONG a, LONG b) {
    return std::labs(a - b) <= kDockDistance;
}

bool Overlap(LONG firstStart, LONG firstEnd, LONG secondStart, LONG secondEnd) {
    return firstStart < secondEnd && secondStart < firstEnd;
}

const double kPlayRates[] = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0};
constexpr size_t kPlayRateCount = sizeof(kPlayRates) / sizeof(kPlayRates[0]);
// Rates read back from the graph are not exact.
constexpr double kRateTolerance = 0.001;

} // namespace

POINT DockedWindowShift(const RECT& oldMain, const RECT& newMain, const RECT& tool) {
    const bool alongSides = Overlap(tool.top, tool.bottom, oldMain.top, oldMain.bottom);
    const bool alongTopOrBottom = Overlap(tool.left, tool.right, oldMain.left, oldMain.right);
    if (alongSides && Near(tool.left, oldMain.right)) {
        return {newMain.right - oldMain.right, newMain.top - oldMain.top};
    }
    if (alongSides && Near(tool.right, oldMain.left)) {
        return {newMain.left - oldMain.left, newMain.top - oldMain.top};
    }
    if (alongTopOrBottom && Near(tool.top, oldMain.bottom)) {
        return {newMain.left - oldMain.left, newMain.bottom - oldMain.bottom};
    }
    if (alongTopOrBottom && Near(tool.bottom, oldMain.top)) {
        return {newMain.left - oldMain.left, newMain.top - oldMain.top};
    }
    return {0, 0};
}

int StatusPartAt(const std::vector<int>& rightEdges, int x) {
    if (x < 0) {
        return -1;
    }
    for (size_t i = 0; i < rightEdges.size(); ++i) {
        if (rightEdges[i] == -1 || x < rightEdges[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int NextPlayWay(int way, bool backwards) {
    if (way < 0 || way >= kPlayWayCount) {
        return 0;
    }
    return backwards ? (way + kPlayWayCount - 1) % kPlayWayCount : (way + 1) % kPlayWayCount;
}

const wchar_t* PlayWayText(int way) {
    switch (way) {
    case 0:
        return L"停止";
    case 1:
        return L"リピート";
    case 2:
        return L"次へ";
    case 3:
        return L"ランダム";
    default:
        return L"";
    }
}

double NextPlayRate(double rate, bool slower) {
    if (slower) {
        for (size_t i = kPlayRateCount; i-- > 0;) {
            if (kPlayRates[i] < rate - kRateTolerance) {
                return kPlayRates[i];
            }
        }
        return kPlayRates[0];
    }
    for (size_t i = 0; i < kPlayRateCount; ++i) {
        if (kPlayRates[i] > rate + kRateTolerance) {
            return kPlayRates[i];
        }
    }
    return kPlayRates[kPlayRateCount - 1];
}

std::wstring PlayRateText(double rate) {
    // A stream, not a fixed buffer: a rate a graph took from a command line may have any size.
    std::wostringstream text;
    text << L"x" << std::fixed << std::setprecision(2) << rate;
    return text.str();
}

int VolumeAfterWheel(int volume, int delta, int& pending) {
    pending += delta;
    const int notches = pending / WHEEL_DELTA;
    pending -= notches * WHEEL_DELTA;
    const long long moved = static_cast<long long>(volume) + static_cast<long long>(notches) * kWheelVolumeStep;
    return moved < 0 ? 0 : (moved > 100 ? 100 : static_cast<int>(moved));
}

bool CursorMoved(POINT& last, POINT now) {
    const bool moved = now.x != last.x || now.y != last.y;
    last = now;
    return moved;
}

SysCommandAction DecideSysCommand(WPARAM command, bool minimizeToTray, bool closeButtonMinimizes) {
    const WPARAM kind = command & 0xFFF0;
    if (kind == SC_CLOSE && closeButtonMinimizes) {
        return minimizeToTray ? SysCommandAction::MinimizeToTray : SysCommandAction::Minimize;
    }
    if (kind == SC_MINIMIZE && minimizeToTray) {
        return SysCommandAction::MinimizeToTray;
    }
    return SysCommandAction::Default;
}

RECT KeepVideoShape(const RECT& dragged, int edge, SIZE frame, SIZE video) {
    RECT result = dragged;
    if (video.cx <= 0 || video.cy <= 0) {
        return result;
    }
    const long long areaWidth = (dragged.right - dragged.left) - frame.cx;
    const long long areaHeight = (dragged.bottom - dragged.top) - frame.cy;
    if (edge == WMSZ_TOP || edge == WMSZ_BOTTOM) {
        // The height was dragged: the width follows, to the right.
        const long long width = areaHeight > 0 ? areaHeight * video.cx / video.cy : 0;
        result.right = static_cast<LONG>(dragged.left + width + frame.cx);
        return result;
    }
    // A side or a corner: the height follows the width, on the dragged side.
    const long long height = areaWidth > 0 ? areaWidth * video.cy / video.cx : 0;
    const LONG windowHeight = static_cast<LONG>(height + frame.cy);
    if (edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT) {
        result.top = dragged.bottom - windowHeight;
    } else {
        result.bottom = dragged.top + windowHeight;
    }
    return result;
}

PostResultAnswer AnswerPostResult(bool success, bool commentsRefreshable) {
    if (!success) {
        return {L"コメント投稿失敗", false, false};
    }
    return {L"コメント投稿完了", commentsRefreshable, !commentsRefreshable};
}

namespace {

// Paths of the file system compare without case.
bool SamePath(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && _wcsicmp(a.c_str(), b.c_str()) == 0;
}

} // namespace

void CPlayingVideoData::Expect(const std::wstring& videoPath) {
    CAutoLock lock(m_lock);
    m_expectedPath = videoPath;
    m_videoPath.clear();
    m_data.clear();
}

void CPlayingVideoData::Keep(const std::wstring& videoPath, const std::wstring& data) {
    CAutoLock lock(m_lock);
    if (!SamePath(videoPath, m_expectedPath)) {
        return;
    }
    m_videoPath = videoPath;
    m_data = data;
}

void CPlayingVideoData::Clear() {
    CAutoLock lock(m_lock);
    m_expectedPath.clear();
    m_videoPath.clear();
    m_data.clear();
}

const std::wstring& CPlayingVideoData::Answer(const std::wstring& playingVideoPath, bool mediaOpen) {
    CAutoLock lock(m_lock);
    m_answer = mediaOpen && SamePath(m_videoPath, playingVideoPath) ? m_data : std::wstring();
    return m_answer;
}
