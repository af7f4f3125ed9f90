#pragma once
// One comment as read from a comment document (ChatData) and as the player shows it (CommentRecord).
//
// Thread use: plain values; the store (CommentControl.h) guards the records it holds.

#include <windows.h>

#include <cstdint>
#include <string>

namespace Gdiplus {
class Font;
}

// The data of one chat element.
struct ChatData {
    std::wstring text; // after XML unescaping
    std::wstring mail; // the command words, blank-separated
    std::wstring user_id;
    int64_t date = 0; // seconds since 1970
    int64_t thread = 0;
    int32_t vpos = 0; // hundredths of a second
    int32_t no = 0;
    uint8_t deleted = 0; // 1 when the attribute is exactly "1"
    uint8_t premium = 0; // the attribute's number (0 to 255)

    bool operator==(const ChatData& other) const {
        return text == other.text && mail == other.mail && user_id == other.user_id && date == other.date &&
               thread == other.thread && vpos == other.vpos && no == other.no && deleted == other.deleted &&
               premium == other.premium;
    }
    bool operator!=(const ChatData& other) const { return !(*this == other); }
};

// Position, size and marker bits of a comment; every record has exactly one position and one size bit.
using CommentFlags = uint32_t;
namespace comment_flags {
constexpr CommentFlags kNaka = 0x1;  // scrolls right to left
constexpr CommentFlags kUe = 0x2;    // fixed at the top
constexpr CommentFlags kShita = 0x4; // fixed at the bottom
constexpr CommentFlags kMedium = 0x100;
constexpr CommentFlags kBig = 0x200;
constexpr CommentFlags kSmall = 0x400;
constexpr CommentFlags k184 = 0x10000; // anonymous
constexpr CommentFlags kSage = 0x20000;
constexpr CommentFlags kPositionMask = kNaka | kUe | kShita;
constexpr CommentFlags kSizeMask = kMedium | kBig | kSmall;
} // namespace comment_flags

// Times are play-time milliseconds, sizes frame pixels.
struct CommentRecord {
    static constexpr int32_t kNotPlaced = 0x7FFF;

    int32_t fontSize = 0;     // points
    int32_t x = 0;            // left edge at the last layout
    int32_t row = kNotPlaced; // top edge
    COLORREF color = 0xFFFFFF;
    int32_t time = 0;     // vpos × 10, shifted
    int32_t start = 0;    // display start, shifted
    int32_t end = 0;      // display end, shifted
    int32_t duration = 0; // unshifted end − start; a shift leaves it alone
    int32_t width = 0;
    int32_t height = 0;
    CommentFlags flags = 0;
    ChatData chat;
    // A shared font of the store's font set or a shrunk font of its cache; never owned by the record.
    Gdiplus::Font* font = nullptr;
    // The times before any shift: each shift is computed from these, so shifting back restores them.
    int32_t baseTime = 0;
    int32_t baseStart = 0;
    int32_t baseEnd = 0;
};
