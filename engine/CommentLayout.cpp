#include "engine/CommentLayout.h"

#include <algorithm>
#include <cmath>

namespace {

// Space kept between two naka comments of one band, so that rounding to pixels never makes them touch.
constexpr double kNakaGap = 1.0;

bool IsFixed(const CommentRecord& record) {
    return (record.flags & (comment_flags::kUe | comment_flags::kShita)) != 0;
}

} // namespace

void CommentLayout::SetFrameSize(int32_t width, int32_t height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width != m_width || height != m_height) {
        m_width = width;
        m_height = height;
        m_valid = false;
    }
}

void CommentLayout::SetCommentLimit(int32_t maxOnScreen) {
    maxOnScreen = std::max(maxOnScreen, 0);
    if (maxOnScreen != m_limit) {
        m_limit = maxOnScreen;
        m_valid = false;
    }
}

void CommentLayout::GetVisibleComments(CommentControl& store, int32_t time, std::vector<VisibleComment>& out) {
    CommentControl::Access access(store);
    GetVisibleComments(access, time, out);
}

void CommentLayout::GetVisibleComments(CommentControl::Access& access, int32_t time, std::vector<VisibleComment>& out) {
    const size_t drawStart = GetVisibleComments(access.Comments(), access.Generation(), time, out);
    access.SetDrawStart(static_cast<int32_t>(drawStart));
    for (const VisibleComment& visible : out) {
        access.SetPosition(static_cast<size_t>(visible.index), visible.x, visible.y);
    }
}

size_t CommentLayout::GetVisibleComments(CommentRecordSpan records, uint64_t generation, int32_t time,
                                         std::vector<VisibleComment>& out) {
    out.clear();
    if (!m_valid || generation != m_generation || m_placements.size() != records.size()) {
        Reset(records, generation);
    }
    while (m_placedCount < records.size() && records[m_placedCount].start <= time) {
        Place(records, m_placedCount++);
    }

    // Every record before the first one that starts after t − longest window has ended by t.
    const int64_t earliest = static_cast<int64_t>(time) - m_maxWindow;
    const auto first = std::partition_point(records.begin(), records.end(),
                                            [earliest](const CommentRecord& r) { return r.start <= earliest; });
    const size_t drawStart = static_cast<size_t>(first - records.begin());

    for (size_t i = drawStart; i < records.size() && records[i].start <= time; ++i) {
        const CommentRecord& record = records[i];
        const Placement& placement = m_placements[i];
        if (!placement.shown || time >= record.end) {
            continue;
        }
        const int32_t x =
            IsFixed(record) ? (m_width - record.width) / 2 : static_cast<int32_t>(std::floor(NakaX(record, time)));
        out.push_back({static_cast<int32_t>(i), x, placement.y, record.width, record.height, placement.crowded});
    }
    return drawStart;
}

void CommentLayout::Reset(CommentRecordSpan records, uint64_t generation) {
    m_valid = true;
    m_generation = generation;
    m_placements.assign(records.size(), Placement());
    m_placedCount = 0;
    m_active.clear();
    m_maxWindow = 0;
    for (const CommentRecord& record : records) {
        m_maxWindow = std::max(m_maxWindow, record.end - record.start);
    }
}

double CommentLayout::NakaX(const CommentRecord& record, double time) const {
    const double window = static_cast<double>(record.end - record.start);
    const double travel = static_cast<double>(m_width) + record.width;
    return m_width - travel * (time - record.start) / window;
}

// behind starts no earlier than ahead; both move left, so their gap changes linearly and its two ends
// over the time both are on screen decide.
bool CommentLayout::Collides(const CommentRecord& behind, const CommentRecord& ahead) const {
    const double from = std::max(behind.start, ahead.start);
    const double to = std::min(behind.end, ahead.end);
    if (from >= to) {
        return false;
    }
    const double gapFrom = NakaX(behind, from) - (NakaX(ahead, from) + ahead.width);
    const double gapTo = NakaX(behind, to) - (NakaX(ahead, to) + ahead.width);
    return gapFrom < kNakaGap || gapTo < kNakaGap;
}

void CommentLayout::Place(CommentRecordSpan records, size_t index) {
    const CommentRecord& record = records[index];
    Placement& placement = m_placements[index];
    m_active.erase(
        std::remove_if(m_active.begin(), m_active.end(), [&](uint32_t a) { return records[a].end <= record.start; }),
        m_active.end());
    if (record.end <= record.start || (m_limit > 0 && m_active.size() >= static_cast<size_t>(m_limit))) {
        return;
    }

    const bool fixed = IsFixed(record);
    m_blockers.clear();
    for (uint32_t a : m_active) {
        const CommentRecord& other = records[a];
        if (fixed ? IsFixed(other) : (!IsFixed(other) && Collides(record, other))) {
            m_blockers.push_back(a);
        }
    }
    const int32_t height = record.height;
    const auto top = [&](uint32_t a) { return m_placements[a].y; };
    const auto bottom = [&](uint32_t a) { return m_placements[a].y + records[a].height; };

    bool found = false;
    int32_t y = 0;
    if (record.flags & comment_flags::kShita) {
        std::sort(m_blockers.begin(), m_blockers.end(), [&](uint32_t a, uint32_t b) { return bottom(a) > bottom(b); });
        y = m_height - height;
        for (uint32_t a : m_blockers) {
            if (bottom(a) <= y) {
                break;
            }
            if (top(a) < y + height) {
                y = top(a) - height;
            }
        }
        found = y >= 0;
    } else {
        std::sort(m_blockers.begin(), m_blockers.end(), [&](uint32_t a, uint32_t b) { return top(a) < top(b); });
        for (uint32_t a : m_blockers) {
            if (top(a) >= y + height) {
                break;
            }
            y = std::max(y, bottom(a));
        }
        found = y + height <= m_height;
    }

    if (!found) {
        placement.crowded = true;
        y = 0;
        // The first to leave; among equal ends the one placed first.
        const auto leaving = std::min_element(m_blockers.begin(), m_blockers.end(), [&](uint32_t a, uint32_t b) {
            return records[a].end != records[b].end ? records[a].end < records[b].end : a < b;
        });
        if (leaving != m_blockers.end()) {
            y = top(*leaving);
        }
        y = std::max(0, std::min(y, m_height - height));
    }
    placement.y = y;
    placement.shown = true;
    m_active.push_back(static_cast<uint32_t>(index));
}
