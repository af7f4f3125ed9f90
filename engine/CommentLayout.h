#pragma once
// Where the store's comments stand on a frame of W × H pixels at play time t.
//
// A comment is visible while display start ≤ t < display end. Placement is decided once per comment,
// in store order (display start, then load order), from the comments placed before it, so it does
// not depend on the frame rate or on where playback has been; a new frame size, comment limit or
// store generation places everything again.
//   naka   x runs from W at display start to −width at display end, linearly: the wider the text, the
//          faster it moves. It takes the highest row y (band [y, y + height)) where no naka comment
//          already placed in an overlapping band would touch it while both are on screen: the one in
//          front must have fully entered before it starts and must leave before it catches up.
//   ue     centred, in the first band from the top free of the ue and shita comments on screen.
//   shita  centred, in the first band from the bottom free of the ue and shita comments on screen.
// Crowded frame: when no band is free, the comment takes the row of the comment in its way that
// leaves the screen first (moved up when it would reach below the frame), so it still shows whole;
// a comment higher than the frame stands at row 0.
// Comment limit: with a limit n > 0, a comment is shown only when fewer than n shown comments are on
// screen at its display start; one that is not shown takes no band. So at most n show at once.
//
// Thread use: one thread at a time (the frame thread).

#include "engine/CommentControl.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Records in store order as the layout reads them; a view: the records stay where they are.
class CommentRecordSpan {
public:
    CommentRecordSpan() = default;
    CommentRecordSpan(const CommentRecord* records, size_t count) : m_records(records), m_count(count) {}
    CommentRecordSpan(const std::vector<CommentRecord>& records) : m_records(records.data()), m_count(records.size()) {}

    size_t size() const { return m_count; }
    const CommentRecord& operator[](size_t index) const { return m_records[index]; }
    const CommentRecord* begin() const { return m_records; }
    const CommentRecord* end() const { return m_records + m_count; }

private:
    const CommentRecord* m_records = nullptr;
    size_t m_count = 0;
};

struct VisibleComment {
    int32_t index; // in the store
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    bool crowded; // placed by the crowded-frame rule
};

class CommentLayout {
public:
    void SetFrameSize(int32_t width, int32_t height);
    // 0 or less: no limit. The drawing passes ViewCommentLimitNum when ViewCommentLimit is on.
    void SetCommentLimit(int32_t maxOnScreen);

    // The visible comments at time (ms) in store order, of records the caller keeps unchanged for the
    // call; a new generation (records added, removed or moved) places everything again. Returns the
    // draw start: every record before it has ended by time.
    size_t GetVisibleComments(CommentRecordSpan records, uint64_t generation, int32_t time,
                              std::vector<VisibleComment>& out);
    // The same over the store's records; also keeps the store's draw start and the records' x and row
    // current. The first form holds the store's lock for the call, the second uses a lock the caller
    // holds (to draw the result under it).
    void GetVisibleComments(CommentControl& store, int32_t time, std::vector<VisibleComment>& out);
    void GetVisibleComments(CommentControl::Access& access, int32_t time, std::vector<VisibleComment>& out);

private:
    struct Placement {
        int32_t y = 0;
        bool shown = false;
        bool crowded = false;
    };

    void Reset(CommentRecordSpan records, uint64_t generation);
    void Place(CommentRecordSpan records, size_t index);
    double NakaX(const CommentRecord& record, double time) const;
    bool Collides(const CommentRecord& behind, const CommentRecord& ahead) const;

    int32_t m_width = 512;
    int32_t m_height = 384;
    int32_t m_limit = 0;
    bool m_valid = false;
    uint64_t m_generation = 0;
    int32_t m_maxWindow = 0;
    size_t m_placedCount = 0;
    std::vector<Placement> m_placements;
    std::vector<uint32_t> m_active;   // shown comments placed so far that have not ended
    std::vector<uint32_t> m_blockers; // scratch
};
