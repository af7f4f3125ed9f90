#pragma once
// What the comment list shows of a comment, and the reading of comment XML for it: the texts of a
// row, the time and post-time formats, re-timing the time column, the row that follows the play
// position, and the chats of a comment file or of a piece of comment XML text.
//
// Thread use: any thread; ReadCommentListXml needs COM initialised on the calling thread.

#include "engine/CommentRecord.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The list's columns.
namespace comment_column {
constexpr int kTime = 0;
constexpr int kText = 1;
constexpr int kId = 2;
constexpr int kPostTime = 3;
constexpr int kNo = 4;
constexpr int kCommand = 5;
constexpr int kPremium = 6;
constexpr int kDeleted = 7;
constexpr int kSpare = 8;
constexpr int kCount = 9;
} // namespace comment_column

using CommentRowTexts = std::array<std::wstring, comment_column::kCount>;

// Minutes (not limited to 59), ":" and two-digit seconds of hundredths of a second; "-" in front of a
// negative time. 12345 gives "2:03", -500 gives "-0:05".
std::wstring FormatVposTime(int64_t hundredths);
// The time column's text back in milliseconds (whole seconds only); an empty text gives 0.
int64_t ParseVposTime(const std::wstring& text);
// "'yy mm/dd hh:mm" of the local time of seconds since 1970.
std::wstring FormatPostDate(int64_t date);
// Columns 0-6 of a chat; 7 and 8 stay empty.
CommentRowTexts MakeCommentRow(const ChatData& chat);
// The time text re-timed from the list's present shift to a new one, both in milliseconds.
std::wstring ShiftVposText(const std::wstring& text, int64_t shift, int64_t listShift);
// The row auto-scroll shows for the play position: the last row of the first run of rows whose time
// text equals the position's; -1 when no row does.
int FindPlayPositionRow(const std::vector<std::wstring>& timeTexts, int64_t positionMs);

// Which chats of a document of total chats a load takes: count -1 means all, start -1 the last count.
struct ChatRange {
    int32_t start = 0;
    int32_t count = 0;
};
ChatRange SelectChatRange(int32_t total, int32_t count, int32_t start);

// A piece of comment XML text as a document: the text of several chat elements has no root, so it is
// put inside a "packet" element unless it already is a whole document.
std::wstring WrapCommentXmlText(const std::wstring& text);

struct CommentListXml {
    std::vector<ChatData> chats; // the chats of the range, in document order, those keep allowed
    int32_t total = 0;           // chat elements in the document
    ChatRange range;
};

// Reads the chats of source (a file path, or the XML text itself when no such file exists) with the
// range, keeping those for which keep (when given) answers true. The log lines of the load go to log.
// False, with "コメントデータが見つかりません : " and the source logged, when the document does not load
// or holds no chat; throws a CException when no DOM document can be made.
bool ReadCommentListXml(const std::wstring& source, int32_t count, int32_t start,
                        const std::function<bool(ChatData&)>& keep,
                        const std::function<void(const std::wstring&)>& log, CommentListXml& out);
