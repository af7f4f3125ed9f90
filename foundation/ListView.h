#pragma once
// Helpers over report-view list views, all through list-view messages. Rows and columns count from 0.
// Used on the list's thread, or from another thread through the same messages.

#include <windows.h>

#include <string>
#include <vector>

bool InsertListColumn(const std::wstring& title, HWND list, int column, int width);
// Inserts a row with its first-column text; -1 or the row count appends it. The new row's index, or -1.
int InsertListItem(int row, const std::wstring& text, HWND list);

bool SetListItemText(const std::wstring& text, int column, HWND list, int row);
// The cell's whole text, of any length.
std::wstring GetListItemText(HWND list, int row, int column);

// The column's whole header title.
std::wstring GetListColumnText(HWND list, int column);
bool SetListColumnText(const std::wstring& title, HWND list, int column);
bool SetListItemImage(int image, HWND list, int row);

// The row's item data; 0 for a row that does not exist.
LPARAM GetListItemParam(HWND list, int row);
bool SetListItemParam(HWND list, int row, LPARAM value);

// Indexes, ascending.
std::vector<int> GetSelectedListItems(HWND list);
// The rows whose check box is not ticked (state image 1).
std::vector<int> GetUncheckedListItems(HWND list);
void UncheckAllListItems(HWND list);

// The first row, from start on in the direction, whose cell in the column contains the text (both
// lower-cased unless matchCase); -1 when none. A start of -1 means the first row forward and the last
// row backward; backward includes row 0.
int FindListItemText(const std::wstring& text, int start, HWND list, int column, bool forward, bool matchCase);
// The first row whose column 1 equals the text exactly, or -1.
int FindListItemByPath(HWND list, const std::wstring& text);

// Moves the selected rows, in their order, as one block so that the first of them lands on the target
// row (the block goes to the end when fewer rows follow). Every column's text, the item data, the
// image, the check box, the selection and the focus move with their rows. True when the order changed;
// false without a selection or for a target outside the list.
bool MoveSelectedListItemsTo(HWND list, int target);
// The selection as a block one row up from its first row; false when row 0 is selected.
bool MoveSelectedListItemsUp(HWND list);
// The selection as a block one row down from its first row; false when the last row is selected.
bool MoveSelectedListItemsDown(HWND list);
