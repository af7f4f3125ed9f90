#include "CWndCommentList/CommentListOrder.h"

#include <gtest/gtest.h>

namespace {

// The rows in their sorted order.
std::vector<std::wstring> Sorted(const std::vector<std::wstring>& texts, int key, int direction) {
    SortSnapshot snapshot;
    snapshot.texts = texts;
    const std::vector<int> ranks = ComputeSortRanks(snapshot, key, direction);
    std::vector<std::wstring> out(texts.size());
    for (size_t row = 0; row < texts.size(); ++row) {
        out[static_cast<size_t>(ranks[row])] = texts[row];
    }
    return out;
}

} // namespace

TEST(CommentListOrder, HeaderClicksCycleAndOnlyKnownKeysAreRestored) {
    CSortKeyTable table;
    EXPECT_EQ(table.CurrentKey(), -1);
    int direction = table.NextDirection(4);
    EXPECT_EQ(direction, 1);
    table.SetKey(4, direction);
    EXPECT_EQ(table.CurrentKey(), 4);
    table.SetKey(4, table.NextDirection(4));
    EXPECT_EQ(table.Direction(4), 2);
    table.SetKey(4, table.NextDirection(4));
    EXPECT_EQ(table.CurrentKey(), -1);
    // The selection key survives a column's key.
    table.SetDirection(CSortKeyTable::kSelectionKey, 1);
    table.SetKey(2, 2);
    EXPECT_EQ(table.CurrentKey(), 2);
    EXPECT_EQ(table.Direction(CSortKeyTable::kSelectionKey), 1);

    struct Case {
        int key, direction;
        bool restorable;
    } cases[] = {{0, 1, true}, {7, 2, true}, {9, 1, true}, {8, 1, false}, {-1, 1, false},
                 {10, 1, false}, {42, 2, false}, {3, 0, false}, {3, 3, false}, {-5, 1, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(CSortKeyTable::IsRestorable(c.key, c.direction), c.restorable) << c.key << " " << c.direction;
    }
}

TEST(CommentListOrder, MarksAreAddedAndRemoved) {
    EXPECT_EQ(WithSortMark(L"No.", 1), L"No. ↑");
    EXPECT_EQ(WithSortMark(L"No.", 2), L"No. ↓");
    EXPECT_EQ(WithSortMark(L"No.", 0), L"No.");
    EXPECT_EQ(RemoveSortMarks(L"No. ↑ ↓"), L"No.");
}

TEST(CommentListOrder, EachKeyComparesItsOwnWay) {
    using V = std::vector<std::wstring>;
    // IDs and numbers compare as if the shorter were padded with zeros; times by value.
    EXPECT_EQ(Sorted({L"100", L"99", L"abc"}, 2, 1), (V{L"99", L"100", L"abc"}));
    EXPECT_EQ(Sorted({L"10", L"9", L"11"}, 4, 1), (V{L"9", L"10", L"11"}));
    EXPECT_EQ(Sorted({L"10", L"9", L"11"}, 4, 2), (V{L"11", L"10", L"9"}));
    EXPECT_EQ(Sorted({L"10:00", L"9:59", L"-0:01"}, 0, 1), (V{L"-0:01", L"9:59", L"10:00"}));
    EXPECT_EQ(Sorted({L"10:00", L"9:59", L"-0:01"}, 0, 2), (V{L"10:00", L"9:59", L"-0:01"}));
    EXPECT_EQ(Sorted({L"b", L"a", L"c"}, 1, 1), (V{L"a", L"b", L"c"}));
    // Equal keys keep their present order, either way.
    SortSnapshot snapshot;
    snapshot.texts = {L"x", L"y", L"x", L"x"};
    EXPECT_EQ(ComputeSortRanks(snapshot, 1, 1), (std::vector<int>{0, 3, 1, 2}));
    EXPECT_EQ(ComputeSortRanks(snapshot, 1, 2), (std::vector<int>{1, 0, 2, 3}));
}

TEST(CommentListOrder, SelectedRowsGoFirst) {
    SortSnapshot snapshot;
    snapshot.selected = {false, true, false, true};
    EXPECT_EQ(ComputeSortRanks(snapshot, CSortKeyTable::kSelectionKey, 1), (std::vector<int>{2, 0, 3, 1}));
}

TEST(CommentListOrder, GroupingPutsTheMostPostsFirst) {
    const IdGrouping grouping = GroupRowsById({L"u1", L"u2", L"u1", L"u3", L"u2", L"u1"});
    EXPECT_EQ(grouping.order, (std::vector<int>{0, 2, 5, 1, 4, 3}));
    EXPECT_EQ(grouping.grouped, (std::vector<bool>{true, true, true, false, true, true}));
    // Equal counts keep the order of first appearance; single IDs stay behind in their order.
    EXPECT_EQ(GroupRowsById({L"s", L"b", L"a", L"b", L"a", L"t"}).order, (std::vector<int>{1, 3, 2, 4, 0, 5}));
    EXPECT_EQ(RowsWithId({L"U1", L"u1", L"u1"}, L"u1"), (std::vector<int>{1, 2}));
}

TEST(CommentListOrder, FindingStepsAndRunsOffTheEnds) {
    const CCommentFinder finder({L"Hello", L"none", L"say hello", L""}, {L"a", L"b", L"c", L"HELLO-id"},
                                {L"", L"", L"", L""});
    EXPECT_EQ(finder.FindStep(L"hello", false, -1, true), 0);
    EXPECT_EQ(finder.FindStep(L"hello", false, 0, true), 2);
    EXPECT_EQ(finder.FindStep(L"hello", false, 3, true), -1);
    EXPECT_EQ(finder.FindStep(L"hello", true, -1, true), 2);
    // Up from the bottom, and off the top from row 0.
    EXPECT_EQ(finder.FindStep(L"hello", false, -1, false), 3);
    EXPECT_EQ(finder.FindStep(L"hello", false, 0, false), -1);
    EXPECT_EQ(finder.FindAll(L"HELLO", false), (std::vector<int>{0, 2, 3}));
    const CCommentFinder commands({L"x", L"y"}, {L"1", L"2"}, {L"", L"shita red"});
    EXPECT_EQ(commands.FindAll(L"shita", true), (std::vector<int>{1}));
}

TEST(CommentListOrder, TheColumnOrderTextEndsEachIndexWithAComma) {
    EXPECT_EQ(FormatCommentColumnOrder({0, 2, 1, 3, 4, 5, 6, 7, 8}), L"0,2,1,3,4,5,6,7,8,");
    EXPECT_EQ(ParseCommentColumnOrder(L"0,2,1,,3,"), (std::vector<int>{0, 2, 1, 3}));
    EXPECT_TRUE(ParseCommentColumnOrder(L"").empty());
}
