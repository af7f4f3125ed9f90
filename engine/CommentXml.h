#pragma once
// Comment XML documents: a root "packet" holding "thread" (last_res), "view_counter" (video, mylist)
// and "chat" elements, read through the MSXML DOM and written back as UTF-8.
//
// The reader refuses what no comment file holds: a document type declaration (so no entity of any
// kind is expanded or fetched), nesting deeper than the DOM allows, a root other than "packet". A
// chat attribute that is missing, not a number or out of range reads as 0 (texts as empty), and a
// chat whose text is longer than kMaxChatTextLength is skipped and counted.
//
// Thread use: any thread that has initialised COM.

#include "engine/CommentRecord.h"

#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kMaxChatTextLength = 4096;

struct CommentDocument {
    int32_t last_res = 0; // of the first "thread" element
    int32_t video = 0;    // of the first "view_counter" element
    int32_t mylist = 0;
    std::vector<ChatData> chats; // the packet's chat children, in document order
    int32_t skippedChats = 0;    // chats whose text was too long
};

// False, with a log line naming the file and the reason, when the file cannot be read as a comment
// document; out is then left empty.
bool ReadCommentXml(const std::wstring& path, CommentDocument& out);

// A DOM document set up for comment files: synchronous, blanks kept, no document type declaration,
// no external resource, a bounded depth. Null when MSXML is missing.
Microsoft::WRL::ComPtr<IXMLDOMDocument2> CreateCommentDocument();

// The file's text, decoded by its byte order mark or by the UTF-8 or Shift_JIS its declaration names,
// the declaration dropped (the text no longer has the bytes' encoding). False for other encodings,
// bytes not valid in theirs, zero bytes and files over 256 MB: the parser must read such a file itself,
// and report what is wrong with it. Parsing the text is several times faster than letting the parser
// read the file, and on some systems the parser reading a file stalls GDI+ on every other thread.
bool DecodeCommentFile(const std::wstring& path, std::wstring& text);

// Replaces "&", "<" and ">" by their entities, in that order.
void EscapeXml(std::wstring& text);

// One chat element on one line. Attributes are written for every number and for the non-empty texts
// and non-zero flags; characters that XML 1.0 cannot hold become U+FFFD, everything else reads back
// unchanged, line breaks and blanks included.
std::wstring FormatChatElement(const ChatData& chat);

// The whole document (thread, view_counter, the chats) as UTF-8, replacing the file through a
// temporary file beside it.
bool WriteCommentXml(const std::wstring& path, const CommentDocument& document);
