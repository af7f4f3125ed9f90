#include "engine/CommentControl.h"

#include "engine/CCommentFilter.h"
#include "engine/CommentLayout.h"
#include "engine/CommentXml.h"
#include "foundation/AppSettings.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <gdiplus.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace comment_flags;

ChatData Chat(int32_t vpos, const std::wstring& mail, const std::wstring& text, int32_t no = 0) {
    ChatData chat;
    chat.vpos = vpos;
    chat.mail = mail;
    chat.text = text;
    chat.no = no;
    chat.user_id = L"user" + std::to_wstring(no);
    return chat;
}

class CommentControlTest : public testing_support::TempFolderTest {
protected:
    std::wstring WriteChats(const std::wstring& name, const std::vector<ChatData>& chats, int32_t lastRes = 0) {
        CommentDocument document;
        document.last_res = lastRes;
        document.video = lastRes * 2;
        document.mylist = lastRes * 3;
        document.chats = chats;
        const std::wstring path = PathOf(name);
        EXPECT_TRUE(WriteCommentXml(path, document));
        return path;
    }

    CCommentFilter m_filter; // empty: every comment but a deleted one is kept
};

TEST_F(CommentControlTest, RecordsTakeFlagsColourFontAndDisplayWindowFromTheChat) {
    CommentControl store(m_filter);
    struct Case {
        ChatData chat;
        CommentFlags flags;
        COLORREF colour;
        int32_t fontSize;
        int32_t start;
        int32_t end;
    };
    const Case cases[] = {
        {Chat(50, L"", L"早い"), kNaka | kMedium, RGB(0xFF, 0xFF, 0xFF), 18, 0, 5000},
        {Chat(99, L"red", L"a"), kNaka | kMedium, RGB(0xFF, 0, 0), 18, 0, 5000},
        {Chat(100, L"big", L"a"), kNaka | kBig, RGB(0xFF, 0xFF, 0xFF), 29, 0, 4000},
        {Chat(12345, L"184 small #0080FF", L"a"), kNaka | kSmall | k184, RGB(0, 0x80, 0xFF), 12, 122450, 126450},
        {Chat(300, L"ue", L"上"), kUe | kMedium, RGB(0xFF, 0xFF, 0xFF), 18, 3000, 6000},
        {Chat(0, L"shita sage", L"下"), kShita | kMedium | kSage, RGB(0xFF, 0xFF, 0xFF), 18, 0, 3000},
        {Chat(-50, L"ue", L"前"), kUe | kMedium, RGB(0xFF, 0xFF, 0xFF), 18, -500, 2500},
    };
    Gdiplus::Font* fonts[3] = {};
    for (const Case& c : cases) {
        const CommentRecord record = store.BuildCommentRecord(c.chat);
        SCOPED_TRACE(testing::PrintToString(c.chat.mail));
        EXPECT_EQ(record.flags, c.flags);
        EXPECT_EQ(record.color, c.colour);
        EXPECT_EQ(record.fontSize, c.fontSize);
        EXPECT_EQ(record.time, c.chat.vpos * 10);
        EXPECT_EQ(record.start, c.start);
        EXPECT_EQ(record.end, c.end);
        EXPECT_EQ(record.duration, c.end - c.start);
        EXPECT_EQ(record.x, 0);
        EXPECT_EQ(record.row, CommentRecord::kNotPlaced);
        EXPECT_EQ(record.chat, c.chat);
        EXPECT_GT(record.width, 0);
        EXPECT_GT(record.height, 4);
        ASSERT_NE(record.font, nullptr);
        Gdiplus::Font*& shared = fonts[(c.flags & kBig) ? 1 : (c.flags & kSmall) ? 2 : 0];
        EXPECT_TRUE(shared == nullptr || shared == record.font);
        shared = record.font;
    }
    EXPECT_NE(fonts[0], fonts[1]);
    EXPECT_NE(fonts[1], fonts[2]);

    // A longer text in the same font is wider; a bigger font is taller.
    const CommentRecord one = store.BuildCommentRecord(Chat(0, L"", L"あ"));
    const CommentRecord ten = store.BuildCommentRecord(Chat(0, L"", L"ああああああああああ"));
    const CommentRecord big = store.BuildCommentRecord(Chat(0, L"big", L"あ"));
    EXPECT_GT(ten.width, one.width * 5);
    EXPECT_GT(big.height, one.height);

    // Times near the ends of the range neither overflow nor wrap.
    const CommentRecord late = store.BuildCommentRecord(Chat(INT32_MAX, L"", L"a"));
    const CommentRecord early = store.BuildCommentRecord(Chat(INT32_MIN, L"ue", L"a"));
    EXPECT_GT(late.start, 0);
    EXPECT_EQ(late.end - late.start, 4000);
    EXPECT_LT(early.start, 0);
    EXPECT_EQ(early.end - early.start, 3000);
}

TEST_F(CommentControlTest, FixedTextsWiderThanTheFrameAndTextsHigherThanItGetASmallerFont) {
    CommentControl store(m_filter);
    const std::wstring wide(40, L'幅');
    std::wstring tall;
    for (int i = 0; i < 40; ++i) {
        tall += L"行\n";
    }
    const CommentRecord naka = store.BuildCommentRecord(Chat(0, L"", wide));
    EXPECT_EQ(naka.fontSize, 18);
    EXPECT_GT(naka.width, 512);

    struct Case {
        std::wstring mail;
        std::wstring text;
        int32_t frameWidth;
        int32_t frameHeight;
    };
    const Case cases[] = {
        {L"ue", wide, 512, 384}, {L"shita big", wide, 512, 384}, {L"ue small", std::wstring(200, L'幅'), 512, 384},
        {L"", tall, 512, 384},   {L"ue", tall + wide, 512, 384}, {L"ue", wide, 300, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.mail + L" " + std::to_wstring(c.frameWidth)));
        store.SetFrameSize(c.frameWidth, c.frameHeight);
        const CommentRecord shared = store.BuildCommentRecord(Chat(0, c.mail, L"x"));
        const CommentRecord record = store.BuildCommentRecord(Chat(0, c.mail, c.text));
        EXPECT_LT(record.fontSize, shared.fontSize);
        EXPECT_GE(record.fontSize, 1);
        ASSERT_NE(record.font, nullptr);
        EXPECT_NE(record.font, shared.font);
        EXPECT_LE(record.height, c.frameHeight);
        if (record.flags & (kUe | kShita)) {
            EXPECT_LE(record.width, c.frameWidth);
        }
        EXPECT_GT(record.width, 0);
    }

    // Too wide even at 1 point: the loop stops there and keeps a font.
    store.SetFrameSize(512, 384);
    const CommentRecord tiny = store.BuildCommentRecord(Chat(0, L"ue", std::wstring(1500, L'幅')));
    EXPECT_EQ(tiny.fontSize, 1);
    EXPECT_NE(tiny.font, nullptr);
    EXPECT_GT(tiny.width, 512);
}

TEST_F(CommentControlTest, LoadSortsByDisplayStartKeepingLoadOrderForEqualStarts) {
    const std::wstring path =
        WriteChats(L"sm1.xml",
                   {Chat(200, L"", L"A", 1), Chat(100, L"ue", L"B", 2), Chat(100, L"shita", L"C", 3),
                    Chat(50, L"", L"D", 4), Chat(150, L"", L"E", 5), Chat(100, L"big", L"F", 6)},
                   77);
    CommentControl store(m_filter);
    ASSERT_TRUE(store.LoadCommentFile(path));
    ASSERT_EQ(store.GetCommentCount(), 6);
    std::wstring order;
    for (int32_t i = 0; i < store.GetCommentCount(); ++i) {
        order += store.GetCommentText(i);
    }
    // D and F start at 0; A, B and C at 1000; E at 500.
    EXPECT_EQ(order, L"DFEABC");
    EXPECT_EQ(store.GetLastRes(), 77);
    EXPECT_EQ(store.GetVideoCount(), 154);
    EXPECT_EQ(store.GetMylistCount(), 231);
    EXPECT_FALSE(store.IsLoading());
    EXPECT_EQ(store.GetDrawStart(), 0);
    EXPECT_EQ(store.GetCommentNo(0), 4);
    EXPECT_EQ(store.GetCommentUserId(0), L"user4");
    EXPECT_EQ(store.GetCommentMail(1), L"big");
    EXPECT_EQ(store.GetChatData(1), Chat(100, L"big", L"F", 6));
}

TEST_F(CommentControlTest, CountAndStartChooseTheChatsOfTheFile) {
    std::vector<ChatData> chats;
    for (int i = 1; i <= 10; ++i) {
        chats.push_back(Chat(i * 100, L"", std::to_wstring(i), i));
    }
    const std::wstring path = WriteChats(L"ten.xml", chats);
    struct Case {
        int32_t count;
        int32_t start;
        std::vector<int32_t> numbers;
    };
    const Case cases[] = {
        {-1, -1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {3, -1, {8, 9, 10}},
        {20, -1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {3, 2, {3, 4, 5}},
        {-1, 8, {9, 10}},
        {5, 9, {10}},
        {5, 10, {}},
        {0, -1, {}},
    };
    for (const Case& c : cases) {
        CommentControl store(m_filter);
        ASSERT_TRUE(store.LoadCommentFile(path, c.count, c.start));
        std::vector<int32_t> numbers;
        for (int32_t i = 0; i < store.GetCommentCount(); ++i) {
            numbers.push_back(store.GetCommentNo(i));
        }
        EXPECT_EQ(numbers, c.numbers) << c.count << " " << c.start;
    }
}

TEST_F(CommentControlTest, AFailedLoadLeavesTheStoreAsItWas) {
    CommentControl store(m_filter);
    ASSERT_TRUE(store.LoadCommentFile(WriteChats(L"good.xml", {Chat(0, L"", L"kept", 1)}, 5)));
    WriteBytes(PathOf(L"bad.xml"), "<packet><chat>broken");
    WriteBytes(PathOf(L"empty.xml"), "");
    WriteBytes(PathOf(L"root.xml"), "<thread><chat>not in a packet</chat></thread>");
    for (const wchar_t* name : {L"bad.xml", L"empty.xml", L"root.xml", L"missing.xml"}) {
        EXPECT_FALSE(store.LoadCommentFile(PathOf(name))) << testing::PrintToString(std::wstring(name));
    }
    EXPECT_FALSE(store.IsLoading());
    ASSERT_EQ(store.GetCommentCount(), 1);
    EXPECT_EQ(store.GetCommentText(0), L"kept");
    EXPECT_EQ(store.GetLastRes(), 5);
}

TEST_F(CommentControlTest, TheFilterDecidesWhichChatsBecomeRecords) {
    const bool saved = GetAppSettings().EnableFilter;
    GetAppSettings().EnableFilter = true;
    const std::wstring filterPath = PathOf(L"NG ID.txt");
    AppendFilterEntry(filterPath, filter_kind::kExcludeId, L"user2");
    AppendFilterEntry(filterPath, filter_kind::kReplaceCommand, L"^$\tue");
    CCommentFilter filter;
    filter.LoadFilterFiles({filterPath});
    ChatData deleted = Chat(0, L"", L"deleted", 3);
    deleted.deleted = 1;
    CommentControl store(filter);
    ASSERT_TRUE(store.LoadCommentFile(
        WriteChats(L"filtered.xml", {Chat(0, L"", L"one", 1), Chat(0, L"", L"two", 2), deleted})));
    GetAppSettings().EnableFilter = saved;
    ASSERT_EQ(store.GetCommentCount(), 1);
    EXPECT_EQ(store.GetCommentText(0), L"one");
    EXPECT_EQ(store.GetCommentMail(0), L"ue");
    EXPECT_EQ(store.GetCommentRecord(0).flags & kPositionMask, kUe);
}

TEST_F(CommentControlTest, AccessorsOutOfRangeGiveEmptyValues) {
    CommentControl store(m_filter);
    ASSERT_TRUE(store.LoadCommentFile(WriteChats(L"one.xml", {Chat(0, L"ue", L"text", 9)})));
    for (const int32_t index : {-1, 1, INT32_MAX, INT32_MIN}) {
        EXPECT_EQ(store.GetCommentText(index), L"");
        EXPECT_EQ(store.GetCommentMail(index), L"");
        EXPECT_EQ(store.GetCommentUserId(index), L"");
        EXPECT_EQ(store.GetCommentNo(index), 0);
        EXPECT_EQ(store.GetCommentDate(index), 0);
        EXPECT_EQ(store.GetCommentPremium(index), 0);
        EXPECT_EQ(store.GetChatData(index), ChatData());
        EXPECT_EQ(store.GetCommentRecord(index).font, nullptr);
    }
    EXPECT_EQ(store.GetCommentText(0), L"text");
}

TEST_F(CommentControlTest, ShiftsAreComputedFromTheUnshiftedTimes) {
    CommentControl store(m_filter);
    EXPECT_FALSE(store.ShiftCommentTimes(1000)); // empty
    ASSERT_TRUE(
        store.LoadCommentFile(WriteChats(L"shift.xml", {Chat(300, L"ue", L"3000 ms"), Chat(800, L"", L"naka")})));
    auto times = [&store](int32_t index) {
        const CommentRecord r = store.GetCommentRecord(index);
        return std::vector<int32_t>{r.time, r.start, r.end, r.duration};
    };
    struct Step {
        int32_t offset;
        bool moved;
        std::vector<int32_t> ue;   // time, start, end, duration of the ue comment at 3000 ms
        std::vector<int32_t> naka; // of the naka comment at 8000 ms
    };
    const Step steps[] = {
        {0, false, {3000, 3000, 6000, 3000}, {8000, 7000, 11000, 4000}},
        {-5000, true, {0, 0, 1000, 3000}, {3000, 2000, 6000, 4000}},
        {-5000, false, {0, 0, 1000, 3000}, {3000, 2000, 6000, 4000}},
        {0, true, {3000, 3000, 6000, 3000}, {8000, 7000, 11000, 4000}},
        {2500, true, {5500, 5500, 8500, 3000}, {10500, 9500, 13500, 4000}},
        {-1000, true, {2000, 2000, 5000, 3000}, {7000, 6000, 10000, 4000}},
        {-20000, true, {0, 0, 0, 3000}, {0, 0, 0, 4000}},
        {0, true, {3000, 3000, 6000, 3000}, {8000, 7000, 11000, 4000}},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(store.ShiftCommentTimes(step.offset), step.moved) << step.offset;
        EXPECT_EQ(store.GetTimeShift(), step.offset);
        EXPECT_EQ(times(0), step.ue) << step.offset;
        EXPECT_EQ(times(1), step.naka) << step.offset;
    }

    // A load keeps the shift in force, for the new records too; a clear ends it.
    ASSERT_TRUE(store.ShiftCommentTimes(1500));
    ASSERT_TRUE(store.LoadCommentFile(WriteChats(L"next.xml", {Chat(300, L"ue", L"new")})));
    EXPECT_EQ(store.GetTimeShift(), 1500);
    EXPECT_EQ(times(0), (std::vector<int32_t>{4500, 4500, 7500, 3000}));
    store.ClearComments();
    EXPECT_EQ(store.GetTimeShift(), 0);
    EXPECT_EQ(store.GetCommentCount(), 0);
    EXPECT_FALSE(store.ShiftCommentTimes(500));
}

TEST_F(CommentControlTest, UserCmTextsStartWithAtCMInAnyWidthAndCase) {
    struct Case {
        const wchar_t* text;
        bool cm;
    };
    const Case cases[] = {
        {L"@CM", true},
        {L"@cm video", true},
        {L"\xFF20\xFF23m", true},
        {L"\xFF20"
         L"c\xFF4D!",
         true},
        {L"@C", false},
        {L"\xFF20\xFF23", false},
        {L"", false},
        {L" @CM", false},
        {L"@CN", false},
        {L"＠ＣＭ", true},
        {L"@ＣM", true},
        {L"CM@", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CommentControl::IsUserCmComment(c.text), c.cm) << testing::PrintToString(std::wstring(c.text));
    }
}

// The frame thread draws while the loader swaps and the UI thread clears: every draw must see one
// whole set of records whose fonts are alive.
TEST_F(CommentControlTest, DrawsSeeWholeRecordSetsWhileLoadsAndClearsRun) {
    std::vector<ChatData> first, second;
    for (int i = 0; i < 300; ++i) {
        first.push_back(Chat(i * 7, i % 3 == 0 ? L"ue" : L"", L"一" + std::to_wstring(i), i));
    }
    for (int i = 0; i < 500; ++i) {
        second.push_back(Chat(i * 5, i % 4 == 0 ? L"shita big" : L"small", L"二" + std::wstring(i % 30, L'長'), i));
    }
    const std::wstring firstPath = WriteChats(L"first.xml", first);
    const std::wstring secondPath = WriteChats(L"second.xml", second);
    CommentControl store(m_filter);

    std::atomic<bool> stop{false};
    std::atomic<int> draws{0};
    std::atomic<int> faults{0};
    std::thread frameThread([&] {
        CommentLayout layout;
        layout.SetFrameSize(640, 360);
        std::vector<VisibleComment> visible;
        for (int32_t t = 0; !stop; t = (t + 97) % 3000) {
            CommentControl::Access access(store);
            const std::vector<CommentRecord>& records = access.Comments();
            layout.GetVisibleComments(access, t, visible);
            const size_t count = records.size();
            if (count != 0 && count != first.size() && count != second.size()) {
                ++faults;
            }
            for (size_t i = 0; i < count; ++i) {
                const CommentRecord& record = records[i];
                Gdiplus::FontFamily family;
                if ((i > 0 && records[i - 1].start > record.start) || record.chat.text[0] != records[0].chat.text[0] ||
                    record.font == nullptr || record.font->GetFamily(&family) != Gdiplus::Ok) {
                    ++faults;
                    break;
                }
            }
            ++draws;
        }
    });
    for (int round = 0; round < 6; ++round) {
        ASSERT_TRUE(store.LoadCommentFile(firstPath));
        ASSERT_TRUE(store.LoadCommentFile(secondPath));
        store.ShiftCommentTimes(round * 100 + 100);
        store.ClearComments();
    }
    ASSERT_TRUE(store.LoadCommentFile(secondPath));
    testing_support::PumpMessagesUntil([&] { return draws > 50; }, 10000);
    stop = true;
    frameThread.join();
    EXPECT_EQ(faults, 0);
    EXPECT_GT(draws, 50);
}

TEST(CommentFontsTest, AMissingFamilyFallsBackToAnInstalledOneAndTheSettingKeepsItsName) {
    ASSERT_TRUE(StartGdiplus());
    const std::wstring configured = GetAppSettings().CommentFont;
    for (const std::wstring& name : {configured, std::wstring(L"No Such Family 7f3a")}) {
        const std::wstring resolved = ResolveCommentFontFamily(name);
        ASSERT_FALSE(resolved.empty()) << testing::PrintToString(name);
        Gdiplus::FontFamily family(resolved.c_str());
        EXPECT_TRUE(family.IsAvailable()) << testing::PrintToString(resolved);
    }
    const std::wstring installed = ResolveCommentFontFamily(L"No Such Family 7f3a");
    EXPECT_EQ(ResolveCommentFontFamily(installed), installed);

    CCommentFilter filter;
    CommentControl store(filter);
    const CommentRecord record = store.BuildCommentRecord(Chat(0, L"", L"日本語"));
    Gdiplus::FontFamily family;
    ASSERT_EQ(record.font->GetFamily(&family), Gdiplus::Ok);
    wchar_t name[LF_FACESIZE] = {};
    family.GetFamilyName(name);
    wchar_t expected[LF_FACESIZE] = {};
    Gdiplus::FontFamily(ResolveCommentFontFamily(configured).c_str()).GetFamilyName(expected);
    EXPECT_EQ(std::wstring(name), std::wstring(expected));
    EXPECT_EQ(GetAppSettings().CommentFont, configured);
}

TEST(CommentControlGlobalTest, TheProcessHasOneStoreAndOneFilter) {
    EXPECT_EQ(&GetCommentControl(), &GetCommentControl());
    EXPECT_EQ(&GetCommentFilter(), &GetCommentFilter());
    EXPECT_EQ(GetCommentControl().GetCommentCount(), 0);
}

} // namespace
