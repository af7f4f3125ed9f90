#pragma once
// The message (comment) server: requests for a thread's comments and posts to it. Both are XML
// elements POSTed to the address that the video's API data names (ms), answered by a "packet".
//
// Comments: <thread thread="ID" version="20061206" res_from="-1000" user_id="U"/>, with threadkey and
// force_184 from the thread key when the API data has needs_key=1, with when (seconds since 1970) and
// waybackkey for the past log at a time, and with an extra attribute text (the uploader's thread:
// fork="1") right after the element name. The reply is the comment document: packet, thread
// (resultcode, last_res, ticket), chat elements.
// Posting: the ticket and last_res from a request with res_from="-1", the post key of the block of 100
// comments the post falls in, then <chat thread vpos mail ticket user_id postkey premium>text</chat>,
// answered by <chat_result thread status no/>.
//
// Thread use: any thread; every call blocks until its exchanges end.

#include <string>

// Attribute names the service fixes and the client reads or sends.
extern const wchar_t kResultCodeAttribute[];
extern const wchar_t kThreadKeyName[];
extern const wchar_t kForce184Name[];
extern const wchar_t kWaybackKeyName[];
extern const wchar_t kPostKeyName[];

// Status values of chat_result.
constexpr int kPostAccepted = 0;
constexpr int kPostDuplicate = 1;

// A request ready to be sent: the message server's address and the thread element.
struct ThreadRequest {
    std::wstring messageServer;
    std::wstring postData;
};

// Builds the request for the comments of the API data's thread (the past log at pastLogTime when it is
// above 0), fetching the keys it needs. False, with a line in the log naming what is missing, when a
// value of the API data or a key is missing.
bool MakeThreadRequest(const std::wstring& flvData, const std::wstring& country, long long pastLogTime,
                       const std::wstring& extraAttribute, ThreadRequest& out);

// Sends the request; reply gets the comment document's bytes as they came. False when the exchange
// failed or the reply is not a packet whose thread has resultcode 0.
bool SendThreadRequest(const ThreadRequest& request, std::string& reply);

// Posts a comment (already XML-escaped; the caller escapes it) to the API data's thread at vpos
// (hundredths of a second), the command as its mail attribute. True when the server accepted it;
// otherwise detail says why ("同じコメントは連続で投稿できません" for a duplicate).
bool PostComment(std::wstring& detail, const std::wstring& comment, const std::wstring& command, int vpos,
                 const std::wstring& flvData);
