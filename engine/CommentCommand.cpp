#include "engine/CommentCommand.h"

#include "foundation/StringUtil.h"

#include <cwchar>

namespace {

struct ColorWord {
    const wchar_t* name;
    COLORREF color;
};

// Premium colours stand on the even rows from 10, each followed by its other name.
constexpr ColorWord kColorTable[] = {
    {L"white", RGB(0xFF, 0xFF, 0xFF)},     {L"red", RGB(0xFF, 0x00, 0x00)},     {L"pink", RGB(0xFF, 0x80, 0x80)},
    {L"orange", RGB(0xFF, 0xC0, 0x00)},    {L"yellow", RGB(0xFF, 0xFF, 0x00)},  {L"green", RGB(0x00, 0xFF, 0x00)},
    {L"cyan", RGB(0x00, 0xFF, 0xFF)},      {L"blue", RGB(0x00, 0x00, 0xFF)},    {L"purple", RGB(0xC0, 0x00, 0xFF)},
    {L"black", RGB(0x00, 0x00, 0x00)},     {L"white2", RGB(0xCC, 0xCC, 0x99)},  {L"cream", RGB(0xCC, 0xCC, 0x99)},
    {L"red2", RGB(0xCC, 0x00, 0x33)},      {L"crimson", RGB(0xCC, 0x00, 0x33)}, {L"orange2", RGB(0xFF, 0x66, 0x00)},
    {L"tangerine", RGB(0xFF, 0x66, 0x00)}, {L"yellow2", RGB(0x99, 0x99, 0x00)}, {L"olive", RGB(0x99, 0x99, 0x00)},
    {L"green2", RGB(0x00, 0xCC, 0x66)},    {L"emerald", RGB(0x00, 0xCC, 0x66)}, {L"blue2", RGB(0x33, 0xFF, 0xFC)},
    {L"aqua", RGB(0x33, 0xFF, 0xFC)},      {L"purple2", RGB(0x66, 0x33, 0xCC)}, {L"violet", RGB(0x66, 0x33, 0xCC)},
};
constexpr int kColorCount = static_cast<int>(sizeof(kColorTable) / sizeof(kColorTable[0]));
constexpr int kFirstPremiumRow = 10;
constexpr COLORREF kDefaultColor = RGB(0xFF, 0xFF, 0xFF);

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\x3000';
}

// Calls visit(word, length) for every blank-separated word, in order.
template <typename Visit> void ForEachWord(const std::wstring& text, Visit visit) {
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i])) {
            ++i;
        }
        const size_t begin = i;
        while (i < text.size() && !IsBlank(text[i])) {
            ++i;
        }
        if (i > begin) {
            visit(text.c_str() + begin, i - begin);
        }
    }
}

bool WordIs(const wchar_t* word, size_t length, const wchar_t* literal) {
    return std::wcslen(literal) == length && std::wmemcmp(word, literal, length) == 0;
}

bool ParseColorCode(const wchar_t* word, size_t length, COLORREF& color) {
    if (length != 7 || word[0] != L'#') {
        return false;
    }
    int rgb[3];
    for (int i = 0; i < 3; ++i) {
        const int high = HexDigitValue(word[1 + 2 * i]);
        const int low = HexDigitValue(word[2 + 2 * i]);
        if (high < 0 || low < 0) {
            return false;
        }
        rgb[i] = high * 16 + low;
    }
    color = RGB(rgb[0], rgb[1], rgb[2]);
    return true;
}

} // namespace

std::vector<std::wstring> SplitCommandWords(const std::wstring& mail) {
    std::vector<std::wstring> words;
    ForEachWord(mail, [&words](const wchar_t* word, size_t length) { words.emplace_back(word, length); });
    return words;
}

CommentFlags ParseCommandFlags(const std::wstring& mail) {
    using namespace comment_flags;
    CommentFlags position = kNaka;
    CommentFlags size = kMedium;
    CommentFlags markers = 0;
    ForEachWord(mail, [&](const wchar_t* word, size_t length) {
        if (WordIs(word, length, L"ue")) {
            position = kUe;
        } else if (WordIs(word, length, L"shita")) {
            position = kShita;
        } else if (WordIs(word, length, L"naka")) {
            position = kNaka;
        } else if (WordIs(word, length, L"big")) {
            size = kBig;
        } else if (WordIs(word, length, L"medium")) {
            size = kMedium;
        } else if (WordIs(word, length, L"small")) {
            size = kSmall;
        } else if (WordIs(word, length, L"184")) {
            markers |= k184;
        } else if (WordIs(word, length, L"sage")) {
            markers |= kSage;
        }
    });
    return position | size | markers;
}

COLORREF ParseCommandColor(const std::wstring& mail) {
    COLORREF color = kDefaultColor;
    ForEachWord(mail, [&](const wchar_t* word, size_t length) {
        if (ParseColorCode(word, length, color)) {
            return;
        }
        for (const ColorWord& entry : kColorTable) {
            if (WordIs(word, length, entry.name)) {
                color = entry.color;
                return;
            }
        }
    });
    return color;
}

std::wstring GetColorName(int row) {
    if (row < 0 || row >= kColorCount) {
        return std::wstring();
    }
    return kColorTable[row].name;
}

int GetColorCount() {
    return kColorCount;
}

const std::vector<std::wstring>& GetColorNameList() {
    static const std::vector<std::wstring> names = [] {
        std::vector<std::wstring> list;
        for (const ColorWord& entry : kColorTable) {
            list.emplace_back(entry.name);
        }
        return list;
    }();
    return names;
}

void AddPremiumColors(std::vector<std::wstring>& list) {
    for (int row = kFirstPremiumRow; row < kColorCount; ++row) {
        list.emplace_back(kColorTable[row].name);
    }
}
