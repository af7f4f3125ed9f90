#pragma once
// The command words of a comment's mail attribute: position, size, marker words and colour.
//
// Words are separated by blanks (space, tab, U+3000) and compared exactly. When several words of one
// kind stand in a text, the last one counts.
//
// Thread use: any thread.

#include "engine/CommentRecord.h"

#include <windows.h>

#include <string>
#include <vector>

// The blank-separated words, in order.
std::vector<std::wstring> SplitCommandWords(const std::wstring& mail);

// Position ue/shita/naka (default naka), size big/medium/small (default medium), 184 and sage.
CommentFlags ParseCommandFlags(const std::wstring& mail);

// A colour word of the colour table or a code "#RRGGBB" (hexadecimal digits in either case); white
// (0xFFFFFF) when there is none.
COLORREF ParseCommandColor(const std::wstring& mail);

// Row n of the colour table: rows 0-9 the basic colours white, red, pink, orange, yellow, green, cyan,
// blue, purple, black; from row 10 the premium colours (even rows) each followed by its other name.
// Empty outside the table.
std::wstring GetColorName(int row);
int GetColorCount();
// Every colour word of the table in row order, built on first use.
const std::vector<std::wstring>& GetColorNameList();
// Appends the 14 premium colour words (rows 10-23).
void AddPremiumColors(std::vector<std::wstring>& list);
