#include "engine/CommentLayout.h"

#include "engine/CommentCommand.h"
#include "tests/engine/CommentFileGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace comment_flags;

bool IsFixed(const CommentRecord& record) {
    return (record.flags & (kUe | kShita)) != 0;
}

bool Overlap(int32_t a, int32_t aLength, int32_t b, int32_t bLength) {
    return a < b + bLength && b < a + aLength;
}

// A record as the store builds one from the chat: its display window from the time (a scrolling
// comment from 1 s before to 3 s after it, or 0 to 5 s before 1 s; a fixed one for 3 s), measured as
// if each character were a square of the font's pixel size and a line a quarter higher.
CommentRecord RecordOf(const ChatData& chat) {
    CommentRecord record;
    record.chat = chat;
    record.flags = ParseCommandFlags(chat.mail);
    record.time = chat.vpos * 10;
    if (IsFixed(record)) {
        record.start = record.time;
        record.end = record.time + 3000;
    } else {
        record.start = record.time < 1000 ? 0 : record.time - 1000;
        record.end = record.time < 1000 ? 5000 : record.time + 3000;
    }
    const int32_t pixels = (record.flags & kBig) ? 39 : (record.flags & kSmall) ? 16 : 24;
    record.width = static_cast<int32_t>(chat.text.size()) * pixels;
    record.height = pixels + pixels / 4;
    return record;
}

// The records of the chats in store order: by display start, equal starts in chat order.
std::vector<CommentRecord> RecordsOf(const std::vector<ChatData>& chats) {
    std::vector<CommentRecord> records;
    for (const ChatData& chat : chats) {
        records.push_back(RecordOf(chat));
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const CommentRecord& a, const CommentRecord& b) { return a.start < b.start; });
    return records;
}

class CommentLayoutTest : public ::testing::Test {
protected:
    // Chats (vpos, mail, text) numbered from 0, laid out on a frame of the given size.
    void Load(const std::vector<std::tuple<int32_t, std::wstring, std::wstring>>& chats, int32_t width,
              int32_t height) {
        std::vector<ChatData> data;
        for (const auto& [vpos, mail, text] : chats) {
            ChatData chat;
            chat.vpos = vpos;
            chat.mail = mail;
            chat.text = text;
            chat.no = static_cast<int32_t>(data.size());
            data.push_back(chat);
        }
        Use(RecordsOf(data));
        m_layout.SetFrameSize(width, height);
    }
    // Records in place of the present ones: a new generation, as the store counts it.
    void Use(std::vector<CommentRecord> records) {
        m_records = std::move(records);
        ++m_generation;
    }

    // The visible comments at t, by chat number.
    std::map<int32_t, VisibleComment> At(int32_t time) {
        std::vector<VisibleComment> visible;
        m_layout.GetVisibleComments(m_records, m_generation, time, visible);
        std::map<int32_t, VisibleComment> byNumber;
        for (const VisibleComment& v : visible) {
            byNumber[m_records[static_cast<size_t>(v.index)].chat.no] = v;
        }
        return byNumber;
    }

    std::vector<CommentRecord> m_records;
    uint64_t m_generation = 0;
    CommentLayout m_layout;
};

// Plays a generated file's comments frame by frame and checks every frame against the records. At the lower
// density every comment finds a free band, so no two comments of one band may ever touch; at the
// higher one some are crowded, and only those may overlap.
TEST_F(CommentLayoutTest, AWholeFilePlayedAt30And60FramesPerSecondKeepsBandsApartAndRowsFixed) {
    constexpr int32_t kWidth = 1280, kHeight = 720, kLengthMs = 180000;
    struct Case {
        int32_t count;
        bool crowds;
        size_t busiestAtLeast;
    };
    const Case cases[] = {{1200, false, 25}, {2400, true, 50}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        const std::vector<CommentRecord> records = RecordsOf(GenerateChats(c.count, kLengthMs, 7));
        ASSERT_EQ(records.size(), static_cast<size_t>(c.count));

        std::map<int32_t, int32_t> rows; // by record index, over both frame rates
        size_t crowdedPairs = 0, checkedPairs = 0, busiest = 0;
        for (const int fps : {30, 60}) {
            CommentLayout layout;
            layout.SetFrameSize(kWidth, kHeight);
            std::map<int32_t, int32_t> lastX;
            std::vector<VisibleComment> visible;
            for (int64_t frame = 0; frame * 1000 / fps < kLengthMs + 6000; ++frame) {
                const int32_t t = static_cast<int32_t>(frame * 1000 / fps);
                const size_t drawStart = layout.GetVisibleComments(records, 1, t, visible);
                busiest = std::max(busiest, visible.size());

                // Exactly the comments whose display window holds t.
                std::vector<int32_t> expected;
                for (size_t i = 0; i < records.size(); ++i) {
                    if (records[i].start <= t && t < records[i].end) {
                        expected.push_back(static_cast<int32_t>(i));
                    }
                }
                std::vector<int32_t> shown;
                for (const VisibleComment& v : visible) {
                    shown.push_back(v.index);
                }
                ASSERT_EQ(shown, expected) << "t=" << t;
                for (size_t i = 0; i < drawStart; ++i) {
                    ASSERT_LE(records[i].end, t);
                }

                for (size_t a = 0; a < visible.size(); ++a) {
                    const VisibleComment& v = visible[a];
                    const CommentRecord& r = records[static_cast<size_t>(v.index)];
                    ASSERT_GE(v.y, 0);
                    ASSERT_LE(v.y + v.height, kHeight);
                    const auto row = rows.emplace(v.index, v.y).first;
                    ASSERT_EQ(row->second, v.y) << "comment " << v.index << " changed row at t=" << t << " fps " << fps;
                    if (!IsFixed(r)) {
                        ASSERT_LE(v.x, kWidth);
                        ASSERT_GE(v.x, -v.width);
                        const auto previous = lastX.find(v.index);
                        ASSERT_TRUE(previous == lastX.end() || previous->second >= v.x);
                        lastX[v.index] = v.x;
                    } else {
                        ASSERT_EQ(v.x, (kWidth - v.width) / 2);
                    }
                    for (size_t b = a + 1; b < visible.size(); ++b) {
                        const VisibleComment& w = visible[b];
                        const CommentRecord& s = records[static_cast<size_t>(w.index)];
                        if (IsFixed(r) != IsFixed(s) || !Overlap(v.y, v.height, w.y, w.height)) {
                            continue;
                        }
                        if (v.crowded || w.crowded) {
                            ++crowdedPairs;
                            continue;
                        }
                        ++checkedPairs;
                        ASSERT_TRUE(!IsFixed(r) && !Overlap(v.x, v.width, w.x, w.width))
                            << "comments " << v.index << " and " << w.index << " overlap at t=" << t << " fps " << fps;
                    }
                }
            }
        }
        EXPECT_EQ(rows.size(), records.size());
        EXPECT_GE(busiest, c.busiestAtLeast);
        EXPECT_GT(checkedPairs, 0u); // comments that shared a band at a distance
        EXPECT_EQ(crowdedPairs > 0, c.crowds);
        EXPECT_LT(crowdedPairs, checkedPairs);
    }
}

TEST_F(CommentLayoutTest, SeekingShowsWhatPlayingShows) {
    const std::vector<CommentRecord> records = RecordsOf(GenerateChats(1500, 120000, 3));

    auto same = [](const std::vector<VisibleComment>& a, const std::vector<VisibleComment>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const VisibleComment& x, const VisibleComment& y) {
            return x.index == y.index && x.x == y.x && x.y == y.y && x.crowded == y.crowded;
        });
    };
    CommentLayout played;
    played.SetFrameSize(640, 360);
    std::map<int32_t, std::vector<VisibleComment>> seen;
    std::vector<VisibleComment> visible;
    for (int32_t t = 0; t < 126000; t += 33) {
        played.GetVisibleComments(records, 1, t, visible);
        if (t % 1551 == 0) {
            seen[t] = visible;
        }
    }
    std::vector<int32_t> times;
    for (const auto& entry : seen) {
        times.push_back(entry.first);
    }
    std::shuffle(times.begin(), times.end(), std::mt19937(5));
    CommentLayout seeking;
    seeking.SetFrameSize(640, 360);
    for (const int32_t t : times) {
        seeking.GetVisibleComments(records, 1, t, visible);
        EXPECT_TRUE(same(visible, seen[t])) << "t=" << t;
        // Also the ones that began long before t, and none that ended.
        size_t inWindow = 0;
        for (const CommentRecord& record : records) {
            inWindow += record.start <= t && t < record.end ? 1 : 0;
        }
        EXPECT_EQ(visible.size(), inWindow) << "t=" << t;
        played.GetVisibleComments(records, 1, t, visible);
        EXPECT_TRUE(same(visible, seen[t])) << "t=" << t;
    }
}

TEST_F(CommentLayoutTest, ANakaCommentSharesABandOnlyWithOnesItCannotTouch) {
    const std::wstring longText(18, L'長');
    const std::wstring shortText = L"短";
    struct Case {
        const char* name;
        std::wstring firstText;
        std::wstring secondText;
        int32_t secondDelayMs;
        bool sameBand;
    };
    const Case cases[] = {
        {"fast one fully in, slow one behind", longText, shortText, 2500, true},
        {"slow one ahead, fast one catches up", shortText, longText, 1000, false},
        {"fast one not yet fully in", longText, longText, 600, false},
        {"same start", shortText, shortText, 0, false},
        {"first gone", shortText, longText, 4000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Load({{1000, L"", c.firstText}, {1000 + c.secondDelayMs / 10, L"", c.secondText}}, 640, 360);
        const auto first = At(9000);
        const auto second = At(9000 + c.secondDelayMs);
        ASSERT_EQ(second.count(1), 1u);
        EXPECT_EQ(first.at(0).y, 0);
        EXPECT_EQ(second.at(1).y == 0, c.sameBand);
        EXPECT_FALSE(second.at(1).crowded);
        EXPECT_EQ(first.at(0).x, 640); // a naka comment enters at the right edge
    }
}

TEST_F(CommentLayoutTest, FixedCommentsStackFromTheirEdgeAndCrowdedOnesStayOnScreen) {
    std::vector<std::tuple<int32_t, std::wstring, std::wstring>> chats;
    for (int i = 0; i < 3; ++i) {
        chats.emplace_back(500, L"ue", std::wstring(i + 1, L'上'));
        chats.emplace_back(500, L"shita", std::wstring(i + 1, L'下'));
    }
    chats.emplace_back(800, L"ue", L"after the first three left");
    for (int i = 0; i < 30; ++i) {
        chats.emplace_back(2000, L"ue big", L"満員" + std::to_wstring(i));
    }
    Load(chats, 640, 360);

    const auto stacked = At(5000);
    ASSERT_EQ(stacked.size(), 6u);
    int32_t top = 0, bottom = 360;
    for (int i = 0; i < 3; ++i) {
        const VisibleComment& ue = stacked.at(i * 2);
        const VisibleComment& shita = stacked.at(i * 2 + 1);
        EXPECT_EQ(ue.y, top);
        EXPECT_EQ(shita.y, bottom - shita.height);
        EXPECT_EQ(ue.x, (640 - ue.width) / 2);
        top += ue.height;
        bottom -= shita.height;
    }
    EXPECT_EQ(At(8000).at(6).y, 0);

    const auto crowded = At(20000);
    ASSERT_EQ(crowded.size(), 30u);
    int fitted = 0;
    for (const auto& entry : crowded) {
        const VisibleComment& v = entry.second;
        EXPECT_GE(v.y, 0);
        EXPECT_LE(v.y + v.height, 360);
        fitted += v.crowded ? 0 : 1;
        for (const auto& other : crowded) {
            if (&other != &entry && !v.crowded && !other.second.crowded) {
                EXPECT_FALSE(Overlap(v.y, v.height, other.second.y, other.second.height));
            }
        }
    }
    EXPECT_EQ(fitted, 360 / crowded.begin()->second.height);
}

TEST_F(CommentLayoutTest, TheLimitAdmitsACommentOnlyWhileFewerAreOnScreen) {
    std::vector<std::tuple<int32_t, std::wstring, std::wstring>> chats;
    for (int i = 0; i < 5; ++i) {
        chats.emplace_back(100 + i * 10, L"ue", L"c" + std::to_wstring(i));
    }
    chats.emplace_back(410, L"ue", L"after the first ended");
    Load(chats, 640, 360);
    m_layout.SetCommentLimit(3);
    EXPECT_EQ(At(1450).size(), 3u);
    // Comment 3, refused at its start, stays away; comment 5 comes once two have left.
    const auto later = At(4250);
    EXPECT_EQ(later.count(3), 0u);
    EXPECT_EQ(later.count(5), 1u);
    EXPECT_EQ(later.size(), 1u);
    m_layout.SetCommentLimit(0);
    EXPECT_EQ(At(1450).size(), 5u);

    Use(RecordsOf(GenerateChats(1500, 60000, 11)));
    m_layout.SetCommentLimit(30);
    size_t busiest = 0;
    for (int32_t t = 0; t < 66000; t += 50) {
        busiest = std::max(busiest, At(t).size());
    }
    EXPECT_EQ(busiest, 30u);
}

TEST_F(CommentLayoutTest, AShiftMovesWhatIsShownWithTheTimes) {
    Use(RecordsOf(GenerateChats(600, 60000, 13)));
    m_layout.SetFrameSize(640, 360);
    std::map<int32_t, std::map<int32_t, VisibleComment>> before;
    for (int32_t t = 10000; t < 50000; t += 2000) {
        before[t] = At(t);
    }
    // As the store shifts: every time moved, a new generation.
    std::vector<CommentRecord> shifted = m_records;
    for (CommentRecord& record : shifted) {
        record.time += 2000;
        record.start += 2000;
        record.end += 2000;
    }
    Use(std::move(shifted));
    for (const auto& [t, shown] : before) {
        const auto after = At(t + 2000);
        ASSERT_EQ(after.size(), shown.size()) << t;
        for (const auto& [no, v] : shown) {
            EXPECT_EQ(after.at(no).y, v.y);
            EXPECT_EQ(after.at(no).x, v.x);
        }
    }
}

} // namespace
