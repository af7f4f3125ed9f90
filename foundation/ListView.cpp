#include "foundation/ListView.h"

#include "foundation/StringUtil.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>

namespace {

const size_t kItemTextBuffer = 260;
const size_t kColumnTextBuffer = 256;
// Stops the doubling should a control keep filling any buffer.
const size_t kMaxTextBuffer = size_t(1) << 24;
const UINT kUnchecked = INDEXTOSTATEIMAGEMASK(1);
const UINT kMovedStates =
    LVIS_STATEIMAGEMASK | LVIS_OVERLAYMASK | LVIS_SELECTED | LVIS_FOCUSED | LVIS_CUT | LVIS_DROPHILITED;

int GetRowCount(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

int GetColumnCount(HWND list) {
    const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int count = header != nullptr ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    return std::max(count, 1);
}

UINT GetRowState(HWND list, int row, UINT mask) {
    return static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, row, mask));
}

struct RowRecord {
    std::vector<std::wstring> texts;
    LPARAM param = 0;
    int image = 0;
    int indent = 0;
    UINT state = 0;
};

RowRecord ReadRow(HWND list, int row, int columns) {
    RowRecord record;
    LVITEMW item = {};
    item.mask = LVIF_PARAM | LVIF_IMAGE | LVIF_INDENT | LVIF_STATE;
    item.iItem = row;
    item.stateMask = kMovedStates;
    SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    record.param = item.lParam;
    record.image = item.iImage;
    record.indent = item.iIndent;
    record.state = item.state & kMovedStates;
    for (int column = 0; column < columns; ++column) {
        record.texts.push_back(GetListItemText(list, row, column));
    }
    return record;
}

void WriteRow(HWND list, int row, const RowRecord& record) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE | LVIF_INDENT | LVIF_STATE;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(record.texts[0].c_str());
    item.lParam = record.param;
    item.iImage = record.image;
    item.iIndent = record.indent;
    item.stateMask = kMovedStates;
    item.state = record.state;
    SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    for (size_t column = 1; column < record.texts.size(); ++column) {
        SetListItemText(record.texts[column], static_cast<int>(column), list, row);
    }
}

} // namespace

bool InsertListColumn(const std::wstring& title, HWND list, int column, int width) {
    LVCOLUMNW col = {};
    col.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.fmt = LVCFMT_LEFT;
    col.cx = width;
    col.pszText = const_cast<wchar_t*>(title.c_str());
    col.iSubItem = column;
    return SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&col)) != -1;
}

int InsertListItem(int row, const std::wstring& text, HWND list) {
    const int count = GetRowCount(list);
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = (row < 0 || row > count) ? count : row;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    return static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

bool SetListItemText(const std::wstring& text, int column, HWND list, int row) {
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    return SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

std::wstring GetListItemText(HWND list, int row, int column) {
    std::vector<wchar_t> buffer(kItemTextBuffer);
    for (;;) {
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const int copied = static_cast<int>(SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
        if (copied <= 0 || item.pszText == nullptr) {
            return std::wstring();
        }
        // A full buffer may hold a cut text.
        if (static_cast<size_t>(copied) < buffer.size() - 1 || buffer.size() >= kMaxTextBuffer) {
            return std::wstring(item.pszText, copied);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring GetListColumnText(HWND list, int column) {
    std::vector<wchar_t> buffer(kColumnTextBuffer);
    for (;;) {
        buffer[0] = L'\0';
        LVCOLUMNW col = {};
        col.mask = LVCF_TEXT;
        col.pszText = buffer.data();
        col.cchTextMax = static_cast<int>(buffer.size());
        if (!SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&col))) {
            return std::wstring();
        }
        const size_t length = wcsnlen(buffer.data(), buffer.size());
        // A full buffer may hold a cut title.
        if (length < buffer.size() - 1 || buffer.size() >= kMaxTextBuffer) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool SetListColumnText(const std::wstring& title, HWND list, int column) {
    LVCOLUMNW col = {};
    col.mask = LVCF_TEXT;
    col.pszText = const_cast<wchar_t*>(title.c_str());
    return SendMessageW(list, LVM_SETCOLUMNW, column, reinterpret_cast<LPARAM>(&col)) != FALSE;
}

bool SetListItemImage(int image, HWND list, int row) {
    LVITEMW item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = image;
    return SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

LPARAM GetListItemParam(HWND list, int row) {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) {
        return 0;
    }
    return item.lParam;
}

bool SetListItemParam(HWND list, int row, LPARAM value) {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = value;
    return SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

std::vector<int> GetSelectedListItems(HWND list) {
    std::vector<int> rows;
    int row = -1;
    while ((row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, row, LVNI_SELECTED))) != -1) {
        // Guards against a list that answers with an earlier row.
        if (!rows.empty() && row <= rows.back()) {
            break;
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<int> GetUncheckedListItems(HWND list) {
    std::vector<int> rows;
    const int count = GetRowCount(list);
    for (int row = 0; row < count; ++row) {
        if (GetRowState(list, row, LVIS_STATEIMAGEMASK) == kUnchecked) {
            rows.push_back(row);
        }
    }
    return rows;
}

void UncheckAllListItems(HWND list) {
    LVITEMW item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = kUnchecked;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

int FindListItemText(const std::wstring& text, int start, HWND list, int column, bool forward, bool matchCase) {
    const int count = GetRowCount(list);
    if (count <= 0) {
        return -1;
    }
    const std::wstring needle = matchCase ? text : ToLower(text);
    const auto matches = [&](int row) {
        const std::wstring cell = GetListItemText(list, row, column);
        return (matchCase ? cell : ToLower(cell)).find(needle) != std::wstring::npos;
    };
    if (forward) {
        for (int row = std::max(start, 0); row < count; ++row) {
            if (matches(row)) {
                return row;
            }
        }
    } else {
        for (int row = (start == -1 || start >= count) ? count - 1 : start; row >= 0; --row) {
            if (matches(row)) {
                return row;
            }
        }
    }
    return -1;
}

int FindListItemByPath(HWND list, const std::wstring& text) {
    const int count = GetRowCount(list);
    for (int row = 0; row < count; ++row) {
        if (GetListItemText(list, row, 1) == text) {
            return row;
        }
    }
    return -1;
}

bool MoveSelectedListItemsTo(HWND list, int target) {
    // Rewriting the texts of a sorted list would re-sort it under the loop; a virtual list has no rows.
    if (GetWindowLongPtrW(list, GWL_STYLE) & (LVS_OWNERDATA | LVS_SORTASCENDING | LVS_SORTDESCENDING)) {
        return false;
    }
    const int count = GetRowCount(list);
    const std::vector<int> selected = GetSelectedListItems(list);
    if (selected.empty() || target < 0 || target >= count) {
        return false;
    }
    std::vector<int> order;
    std::vector<bool> isSelected(count, false);
    for (int row : selected) {
        isSelected[row] = true;
    }
    for (int row = 0; row < count; ++row) {
        if (!isSelected[row]) {
            order.push_back(row);
        }
    }
    const int position = std::min(target, static_cast<int>(order.size()));
    order.insert(order.begin() + position, selected.begin(), selected.end());

    int first = 0;
    while (first < count && order[first] == first) {
        ++first;
    }
    if (first == count) {
        return false;
    }
    int last = count - 1;
    while (order[last] == last) {
        --last;
    }
    const int columns = GetColumnCount(list);
    std::vector<RowRecord> records;
    for (int row = first; row <= last; ++row) {
        records.push_back(ReadRow(list, row, columns));
    }
    for (int row = first; row <= last; ++row) {
        WriteRow(list, row, records[order[row] - first]);
    }
    const int mark = static_cast<int>(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0));
    if (mark >= first && mark <= last) {
        const int moved = static_cast<int>(std::find(order.begin(), order.end(), mark) - order.begin());
        SendMessageW(list, LVM_SETSELECTIONMARK, 0, moved);
    }
    return true;
}

bool MoveSelectedListItemsUp(HWND list) {
    const std::vector<int> selected = GetSelectedListItems(list);
    if (selected.empty() || selected.front() == 0) {
        return false;
    }
    return MoveSelectedListItemsTo(list, selected.front() - 1);
}

bool MoveSelectedListItemsDown(HWND list) {
    const std::vector<int> selected = GetSelectedListItems(list);
    if (selected.empty() || selected.back() == GetRowCount(list) - 1) {
        return false;
    }
    return MoveSelectedListItemsTo(list, selected.front() + 1);
}
