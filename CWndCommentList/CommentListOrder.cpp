#include "CWndCommentList/CommentListOrder.h"

#include "CWndCommentList/CommentListRows.h"
#include "foundation/StringUtil.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <numeric>

void CSortKeyTable::SetKey(int key, int direction) {
    for (int i = 0; i < kSelectionKey; ++i) {
        m_entries[i] = 0;
    }
    SetDirection(key, direction);
}

int CSortKeyTable::CurrentKey() const {
    const int* largest = std::max_element(m_entries, m_entries + kKeys);
    return *largest > 0 ? static_cast<int>(largest - m_entries) : -1;
}

int CSortKeyTable::NextDirection(int column) const {
    const int now = Direction(column);
    return now == 0 ? 1 : now == 1 ? 2 : 0;
}

bool CSortKeyTable::IsRestorable(int key, int direction) {
    const bool sortable = (key >= 0 && key < comment_column::kSpare) || key == kSelectionKey;
    return sortable && (direction == 1 || direction == 2);
}

std::wstring RemoveSortMarks(const std::wstring& title) {
    std::wstring text = title;
    ReplaceAll(text, L" ↓", L"");
    ReplaceAll(text, L" ↑", L"");
    return text;
}

std::wstring WithSortMark(const std::wstring& title, int direction) {
    return direction == 1 ? title + L" ↑" : direction == 2 ? title + L" ↓" : title;
}

std::vector<int> ComputeSortRanks(const SortSnapshot& snapshot, int key, int direction) {
    const bool bySelection = key == CSortKeyTable::kSelectionKey;
    const size_t count = bySelection ? snapshot.selected.size() : snapshot.texts.size();
    std::vector<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    const bool ascending = direction == 1;
    if (bySelection) {
        // "0" for a selected row sorts before "1".
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            const int left = snapshot.selected[a] ? 0 : 1, right = snapshot.selected[b] ? 0 : 1;
            return ascending ? left < right : right < left;
        });
    } else if (key == comment_column::kTime) {
        std::vector<int64_t> times(count);
        for (size_t i = 0; i < count; ++i) {
            times[i] = ParseVposTime(snapshot.texts[i]);
        }
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return ascending ? times[a] < times[b] : times[b] < times[a]; });
    } else {
        const std::vector<std::wstring>* texts = &snapshot.texts;
        std::vector<std::wstring> padded;
        if (key == comment_column::kId || key == comment_column::kNo) {
            // Padding every text to the longest gives the order of padding each pair to its longer one:
            // the extra zeros are a prefix both texts share.
            size_t longest = 0;
            for (const std::wstring& text : snapshot.texts) {
                longest = std::max(longest, text.size());
            }
            padded.reserve(count);
            for (const std::wstring& text : snapshot.texts) {
                padded.push_back(std::wstring(longest - text.size(), L'0') + text);
            }
            texts = &padded;
        }
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            const int result = lstrcmpW((*texts)[a].c_str(), (*texts)[b].c_str());
            return ascending ? result < 0 : result > 0;
        });
    }
    std::vector<int> rank(count);
    for (size_t place = 0; place < count; ++place) {
        rank[static_cast<size_t>(order[place])] = static_cast<int>(place);
    }
    return rank;
}

IdGrouping GroupRowsById(const std::vector<std::wstring>& ids) {
    struct Group {
        std::wstring id;
        std::vector<int> rows;
    };
    std::vector<Group> groups;
    std::map<std::wstring, size_t> index;
    for (size_t row = 0; row < ids.size(); ++row) {
        auto found = index.find(ids[row]);
        if (found == index.end()) {
            found = index.emplace(ids[row], groups.size()).first;
            groups.push_back({ids[row], {}});
        }
        groups[found->second].rows.push_back(static_cast<int>(row));
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const Group& a, const Group& b) { return a.rows.size() > b.rows.size(); });
    IdGrouping result;
    result.grouped.assign(ids.size(), false);
    for (const Group& group : groups) {
        if (group.rows.size() > 1) {
            for (int row : group.rows) {
                result.order.push_back(row);
                result.grouped[static_cast<size_t>(row)] = true;
            }
        }
    }
    for (size_t row = 0; row < ids.size(); ++row) {
        if (!result.grouped[row]) {
            result.order.push_back(static_cast<int>(row));
        }
    }
    return result;
}

std::vector<int> RowsWithId(const std::vector<std::wstring>& ids, const std::wstring& id) {
    std::vector<int> rows;
    for (size_t row = 0; row < ids.size(); ++row) {
        if (ids[row] == id) {
            rows.push_back(static_cast<int>(row));
        }
    }
    return rows;
}

CCommentFinder::CCommentFinder(std::vector<std::wstring> texts, std::vector<std::wstring> ids,
                               std::vector<std::wstring> commands)
    : m_texts(std::move(texts)), m_ids(std::move(ids)), m_commands(std::move(commands)) {
    m_ids.resize(m_texts.size());
    m_commands.resize(m_texts.size());
}

bool CCommentFinder::Matches(int row, const std::wstring& needle, bool matchCase) const {
    const size_t r = static_cast<size_t>(row);
    for (const std::wstring* cell : {&m_texts[r], &m_ids[r], &m_commands[r]}) {
        if ((matchCase ? *cell : ToLower(*cell)).find(needle) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

std::vector<int> CCommentFinder::FindAll(const std::wstring& text, bool matchCase) const {
    const std::wstring needle = matchCase ? text : ToLower(text);
    std::vector<int> rows;
    for (int row = 0; row < RowCount(); ++row) {
        if (Matches(row, needle, matchCase)) {
            rows.push_back(row);
        }
    }
    return rows;
}

int CCommentFinder::FindStep(const std::wstring& text, bool matchCase, int lastFound, bool down) const {
    const int count = RowCount();
    if (count == 0) {
        return -1;
    }
    int start;
    if (lastFound == -1) {
        start = down ? 0 : count - 1;
    } else {
        start = down ? lastFound + 1 : lastFound - 1;
        if (start < 0 || start >= count) {
            return -1;
        }
    }
    const std::wstring needle = matchCase ? text : ToLower(text);
    for (int row = start; row >= 0 && row < count; row += down ? 1 : -1) {
        if (Matches(row, needle, matchCase)) {
            return row;
        }
    }
    return -1;
}

std::wstring FormatCommentColumnOrder(const std::vector<int>& order) {
    std::wstring text;
    for (int column : order) {
        text += std::to_wstring(column) + L",";
    }
    return text;
}

std::vector<int> ParseCommentColumnOrder(const std::wstring& text) {
    std::vector<int> order;
    for (const std::wstring& piece : Split(text, L",", true)) {
        order.push_back(ToIntOrZero(piece));
    }
    return order;
}
