#include "foundation/ListView.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// A report view with check boxes and three columns, as the tool windows make them.
class ListViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&init);
        m_parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
        m_list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0,
                                 400, 300, m_parent, reinterpret_cast<HMENU>(1), nullptr, nullptr);
        ASSERT_NE(m_list, nullptr);
        SendMessageW(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        ASSERT_TRUE(InsertListColumn(L"タイトル", m_list, 0, 100));
        ASSERT_TRUE(InsertListColumn(L"動画", m_list, 1, 100));
        ASSERT_TRUE(InsertListColumn(L"", m_list, 2, 50));
    }
    void TearDown() override { DestroyWindow(m_parent); }

    void AddRows(const std::vector<std::vector<std::wstring>>& rows) {
        for (const auto& row : rows) {
            const int index = InsertListItem(-1, row[0], m_list);
            for (size_t column = 1; column < row.size(); ++column) {
                SetListItemText(row[column], static_cast<int>(column), m_list, index);
            }
        }
    }
    void SetState(int row, UINT state, UINT mask) {
        LVITEMW item = {};
        item.state = state;
        item.stateMask = mask;
        SendMessageW(m_list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    UINT GetState(int row, UINT mask) const {
        return static_cast<UINT>(SendMessageW(m_list, LVM_GETITEMSTATE, row, mask));
    }
    bool IsChecked(int row) const { return GetState(row, LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2); }
    int GetImage(int row) const {
        LVITEMW item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        SendMessageW(m_list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }
    int RowCount() const { return static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0)); }

    HWND m_parent = nullptr;
    HWND m_list = nullptr;
};

} // namespace

TEST_F(ListViewTest, CellTextsAndColumnTitlesOfAnyLengthComeBackWhole) {
    AddRows({{L"", L"", L""}});
    const size_t lengths[] = {0, 1, 255, 256, 259, 260, 261, 511, 512, 519, 520, 521, 1040, 5000};
    for (const size_t length : lengths) {
        SCOPED_TRACE(length);
        const std::wstring text = testing_support::RepeatText(L"ｺﾒﾝﾄ弾幕　あいう", length);
        ASSERT_TRUE(SetListItemText(text, 2, m_list, 0));
        EXPECT_EQ(GetListItemText(m_list, 0, 2), text);
        ASSERT_TRUE(SetListColumnText(text, m_list, 1));
        EXPECT_EQ(GetListColumnText(m_list, 1), text);
    }
    EXPECT_EQ(GetListColumnText(m_list, 0), L"タイトル");
    EXPECT_EQ(GetListItemText(m_list, 5, 0), L"");
}

TEST_F(ListViewTest, InsertListItemPlacesRowsAndAppendsForMinusOneAndTheCount) {
    struct Case {
        int row;
        const wchar_t* text;
        int expectedIndex;
    };
    const Case cases[] = {{-1, L"b", 0}, {0, L"a", 0}, {2, L"d", 2}, {2, L"c", 2}, {-1, L"e", 4}};
    for (const Case& c : cases) {
        EXPECT_EQ(InsertListItem(c.row, c.text, m_list), c.expectedIndex) << c.text;
    }
    const wchar_t* const expected[] = {L"a", L"b", L"c", L"d", L"e"};
    ASSERT_EQ(RowCount(), 5);
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(GetListItemText(m_list, row, 0), expected[row]);
    }
}

TEST_F(ListViewTest, ItemDataAndImageAreWrittenAndReadBack) {
    AddRows({{L"a"}, {L"b"}});
    ASSERT_TRUE(SetListItemParam(m_list, 0, 0x000D0203));
    ASSERT_TRUE(SetListItemParam(m_list, 1, static_cast<LPARAM>(0xFFFFFFFFu)));
    EXPECT_EQ(GetListItemParam(m_list, 0), 0x000D0203);
    EXPECT_EQ(GetListItemParam(m_list, 1), static_cast<LPARAM>(0xFFFFFFFFu));
    EXPECT_EQ(GetListItemParam(m_list, 7), 0);
    EXPECT_FALSE(SetListItemParam(m_list, 7, 1));

    ASSERT_TRUE(SetListItemImage(3, m_list, 1));
    EXPECT_EQ(GetImage(1), 3);
}

TEST_F(ListViewTest, SelectedUncheckedAndUncheckAll) {
    EXPECT_TRUE(GetSelectedListItems(m_list).empty());
    EXPECT_TRUE(GetUncheckedListItems(m_list).empty());
    AddRows({{L"0"}, {L"1"}, {L"2"}, {L"3"}, {L"4"}});
    SetState(3, LVIS_SELECTED, LVIS_SELECTED);
    SetState(1, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(GetSelectedListItems(m_list), (std::vector<int>{1, 3}));

    SetState(0, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK);
    SetState(2, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK);
    EXPECT_EQ(GetUncheckedListItems(m_list), (std::vector<int>{1, 3, 4}));
    UncheckAllListItems(m_list);
    EXPECT_EQ(GetUncheckedListItems(m_list), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST_F(ListViewTest, FindListItemTextByStartDirectionAndCase) {
    AddRows({{L"x", L"Alpha"},
             {L"x", L"beta"},
             {L"x", L"ALPHABET"},
             {L"x", L"gamma"},
             {L"x", L"alpha"},
             {L"x", L"ｖｅｌａ動画"}});
    struct Case {
        const wchar_t* text;
        int start;
        int column;
        bool forward;
        bool matchCase;
        int expected;
    };
    const Case cases[] = {
        {L"alpha", -1, 1, true, false, 0},  {L"alpha", -1, 1, true, true, 4},     {L"alpha", 1, 1, true, false, 2},
        {L"BET", -1, 1, true, false, 1},    {L"alpha", -1, 1, false, false, 4},   {L"alpha", 3, 1, false, false, 2},
        {L"ALPHA", 3, 1, false, true, 2},   {L"Alpha", 1, 1, false, true, 0},     {L"Alpha", 0, 1, false, false, 0},
        {L"beta", 0, 1, false, false, -1},  {L"ＶＥＬＡ", -1, 1, true, false, 5}, {L"ＶＥＬＡ", -1, 1, true, true, -1},
        {L"delta", -1, 1, true, false, -1}, {L"alpha", 6, 1, true, false, -1},    {L"alpha", 99, 1, false, false, 4},
        {L"x", -1, 0, false, true, 5},      {L"alpha", -1, 0, true, false, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindListItemText(c.text, c.start, m_list, c.column, c.forward, c.matchCase), c.expected)
            << "text " << testing::PrintToString(std::wstring(c.text)) << " start " << c.start << " column " << c.column
            << (c.forward ? " forward" : " backward") << (c.matchCase ? " case" : "");
    }
}

TEST_F(ListViewTest, FindListItemByPathNeedsAnExactColumnOne) {
    AddRows({{L"C:\\動画\\b.flv", L"C:\\動画\\a.flv"}, {L"", L"C:\\動画\\A.flv"}, {L"", L"C:\\動画\\a.flv"}});
    EXPECT_EQ(FindListItemByPath(m_list, L"C:\\動画\\a.flv"), 0);
    EXPECT_EQ(FindListItemByPath(m_list, L"C:\\動画\\A.flv"), 1);
    EXPECT_EQ(FindListItemByPath(m_list, L"C:\\動画\\a"), -1);
    EXPECT_EQ(FindListItemByPath(m_list, L"C:\\動画\\b.flv"), -1);
}

TEST_F(ListViewTest, MovingSelectedRowsCarriesEveryPartOfTheRows) {
    enum class Op { To, Up, Down };
    struct Case {
        std::vector<int> selected;
        Op op;
        int target;
        bool expectedResult;
        std::vector<int> expectedOrder;
    };
    const Case cases[] = {
        {{1, 2}, Op::To, 4, true, {0, 3, 4, 5, 1, 2}},    {{1, 2}, Op::To, 5, true, {0, 3, 4, 5, 1, 2}},
        {{4}, Op::To, 0, true, {4, 0, 1, 2, 3, 5}},       {{0, 3, 5}, Op::To, 1, true, {1, 0, 3, 5, 2, 4}},
        {{2}, Op::To, 2, false, {0, 1, 2, 3, 4, 5}},      {{}, Op::To, 0, false, {0, 1, 2, 3, 4, 5}},
        {{1}, Op::To, 6, false, {0, 1, 2, 3, 4, 5}},      {{1}, Op::To, -1, false, {0, 1, 2, 3, 4, 5}},
        {{2, 3}, Op::Up, 0, true, {0, 2, 3, 1, 4, 5}},    {{0, 3}, Op::Up, 0, false, {0, 1, 2, 3, 4, 5}},
        {{2, 3}, Op::Down, 0, true, {0, 1, 4, 2, 3, 5}},  {{3, 4}, Op::Down, 0, true, {0, 1, 2, 5, 3, 4}},
        {{3, 5}, Op::Down, 0, false, {0, 1, 2, 3, 4, 5}},
    };
    const auto title = [](int n) { return L"タイトル" + std::to_wstring(n); };
    const auto path = [](int n) { return L"C:\\動画\\sm" + std::to_wstring(n) + L".flv"; };
    const auto longText = [](int n) { return testing_support::RepeatText(L"追加データ", 300) + std::to_wstring(n); };
    const auto param = [](int n) { return static_cast<LPARAM>(0x10000 * (n + 1) + n); };

    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
        for (int n = 0; n < 6; ++n) {
            AddRows({{title(n), path(n), longText(n)}});
            SetListItemParam(m_list, n, param(n));
            SetListItemImage(n, m_list, n);
            SetState(n, INDEXTOSTATEIMAGEMASK(n % 2 == 1 ? 2 : 1), LVIS_STATEIMAGEMASK);
        }
        for (int row : c.selected) {
            SetState(row, LVIS_SELECTED, LVIS_SELECTED);
        }
        const int focused = c.selected.empty() ? -1 : c.selected.back();
        if (focused >= 0) {
            SetState(focused, LVIS_FOCUSED, LVIS_FOCUSED);
        }

        bool result = false;
        switch (c.op) {
        case Op::To:
            result = MoveSelectedListItemsTo(m_list, c.target);
            break;
        case Op::Up:
            result = MoveSelectedListItemsUp(m_list);
            break;
        case Op::Down:
            result = MoveSelectedListItemsDown(m_list);
            break;
        }
        EXPECT_EQ(result, c.expectedResult);
        ASSERT_EQ(RowCount(), 6);
        for (int row = 0; row < 6; ++row) {
            const int n = c.expectedOrder[row];
            SCOPED_TRACE(row);
            EXPECT_EQ(GetListItemText(m_list, row, 0), title(n));
            EXPECT_EQ(GetListItemText(m_list, row, 1), path(n));
            EXPECT_EQ(GetListItemText(m_list, row, 2), longText(n));
            EXPECT_EQ(GetListItemParam(m_list, row), param(n));
            EXPECT_EQ(GetImage(row), n);
            EXPECT_EQ(IsChecked(row), n % 2 == 1);
            const bool wasSelected = std::find(c.selected.begin(), c.selected.end(), n) != c.selected.end();
            EXPECT_EQ(GetState(row, LVIS_SELECTED) != 0, wasSelected);
            EXPECT_EQ(GetState(row, LVIS_FOCUSED) != 0, n == focused);
        }
    }
}
