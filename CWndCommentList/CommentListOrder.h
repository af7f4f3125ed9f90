#pragma once
// The comment list's orders and searches, worked out on snapshots of the list's texts so that the
// window only reads its rows once and then moves them: the sort-key table, the rank of every row for
// a sort, grouping rows by ID, the rows of one ID, and the Find dialog's searches.
//
// Thread use: any thread (plain values).

#include <cstdint>
#include <string>
#include <vector>

// The table of sort keys: entries 0-8 are the columns, 9 the selection state; 0 not sorted, 1
// ascending, 2 descending. The current key is the first entry holding the largest value.
class CSortKeyTable {
public:
    static constexpr int kKeys = 10;
    static constexpr int kSelectionKey = 9;

    // Clears entries 0-8 and gives key its direction (entry 9 changes only when key is 9).
    void SetKey(int key, int direction);
    // The key to sort by, or -1 when every entry is 0.
    int CurrentKey() const;
    int Direction(int key) const { return key >= 0 && key < kKeys ? m_entries[key] : 0; }
    void SetDirection(int key, int direction) {
        if (key >= 0 && key < kKeys) {
            m_entries[key] = direction;
        }
    }
    // The direction a click on the column's header gives: none, ascending, descending, none again.
    int NextDirection(int column) const;
    // Whether a saved key and direction may be restored: a column that can be sorted (not column 8)
    // or the selection key, ascending or descending.
    static bool IsRestorable(int key, int direction);

private:
    int m_entries[kKeys] = {};
};

// The header title without its direction marks " ↑" and " ↓".
std::wstring RemoveSortMarks(const std::wstring& title);
// The title with the mark of direction (none for 0).
std::wstring WithSortMark(const std::wstring& title, int direction);

// What a sort compares of each row: the key column's text, or for the selection key whether the row
// is selected.
struct SortSnapshot {
    std::vector<std::wstring> texts;
    std::vector<bool> selected;
};
// rank[row] is the row's place after sorting the snapshot by key in direction (1 ascending): times
// by their value, IDs and numbers with the shorter text padded with "0" on the left, other texts and
// the selection ("0" selected, "1" not) by the user's locale. Rows that compare equal keep their order.
std::vector<int> ComputeSortRanks(const SortSnapshot& snapshot, int key, int direction);

// The order of rows grouped by ID, most rows first (equal counts in order of first appearance), each
// group in its rows' order; IDs that occur once stay after the groups in their order. order[i] is the
// present index of the row that goes to place i. grouped[row] tells whether the row moved into a group.
struct IdGrouping {
    std::vector<int> order;
    std::vector<bool> grouped;
};
IdGrouping GroupRowsById(const std::vector<std::wstring>& ids);

// The rows whose ID equals id exactly, ascending.
std::vector<int> RowsWithId(const std::vector<std::wstring>& ids, const std::wstring& id);

// The rows' comment, ID and command texts, searched by the Find dialog.
class CCommentFinder {
public:
    CCommentFinder(std::vector<std::wstring> texts, std::vector<std::wstring> ids, std::vector<std::wstring> commands);
    int RowCount() const { return static_cast<int>(m_texts.size()); }
    // A row matches when one of its three cells contains the text (without regard to case unless
    // matchCase).
    bool Matches(int row, const std::wstring& needle, bool matchCase) const;
    // Every matching row, ascending, in one pass.
    std::vector<int> FindAll(const std::wstring& text, bool matchCase) const;
    // The next matching row from lastFound in the direction (down true); from the top or the bottom
    // when lastFound is -1. -1 when the search runs off the end.
    int FindStep(const std::wstring& text, bool matchCase, int lastFound, bool down) const;

private:
    std::vector<std::wstring> m_texts;
    std::vector<std::wstring> m_ids;
    std::vector<std::wstring> m_commands;
};

// The column order as saved: each index in decimal followed by ",".
std::wstring FormatCommentColumnOrder(const std::vector<int>& order);
// The saved text split at "," with empty pieces dropped, each piece a number.
std::vector<int> ParseCommentColumnOrder(const std::wstring& text);
