#include "client/MessageServer.h"

#include "client/FlvData.h"
#include "client/HttpAccess.h"
#include "client/ServiceUrls.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/Regex.h"
#include "foundation/StringUtil.h"

const wchar_t kResultCodeAttribute[] = L"resultcode";
const wchar_t kThreadKeyName[] = L"threadkey";
const wchar_t kForce184Name[] = L"force_184";
const wchar_t kWaybackKeyName[] = L"waybackkey";
const wchar_t kPostKeyName[] = L"postkey";

namespace {

const wchar_t kXmlContentType[] = L"text/xml; charset=utf-8";
const wchar_t kThreadVersion[] = L"20061206";
const wchar_t kResFrom[] = L"-1000";
const int kBlockSize = 100;

// The value of key in "name=value&..." (the last pair needs no "&" here); empty when absent.
std::wstring GetPairValue(const std::wstring& text, const std::wstring& key) {
    return GetRegexGroup(L"(?:\\A|&)" + RegexEscape(key) + L"=([^&\\r\\n]*)", text, 1);
}

std::wstring EscapeAttribute(std::wstring text) {
    ReplaceAll(text, L"&", L"&amp;");
    ReplaceAll(text, L"<", L"&lt;");
    ReplaceAll(text, L">", L"&gt;");
    ReplaceAll(text, L"\"", L"&quot;");
    return text;
}

std::wstring Attribute(const std::wstring& name, const std::wstring& value) {
    return L" " + name + L"=\"" + EscapeAttribute(value) + L"\"";
}

// The value of an attribute of the first element of that name in a reply; empty when absent.
std::wstring GetElementAttribute(const std::wstring& reply, const std::wstring& element, const std::wstring& name) {
    return GetRegexGroup(L"<" + element + L"\\s[^>]*?\\b" + name + L"=\"([^\"]*)\"", reply, 1);
}

// A key of the message server (keys change, so never from the cache); empty when none came.
std::wstring FetchKeyReply(const std::wstring& url) {
    std::wstring reply;
    GetURLDataUTF8(GetAppSettings().UserAgent, url, reply, INTERNET_FLAG_RELOAD);
    return reply;
}

bool Missing(const wchar_t* what) {
    DebugLog() << what << L"が見つかりません" << EndLine;
    return false;
}

// The thread element with the keys and the extra attribute; resFrom "-1" asks only for the state.
bool BuildThreadElement(const std::wstring& flvData, const std::wstring& country, long long pastLogTime,
                        const std::wstring& extraAttribute, const wchar_t* resFrom, std::wstring& element) {
    const std::wstring threadId = GetThreadId(flvData);
    if (threadId.empty()) {
        return Missing(L"thread_id");
    }
    element = L"<thread " + extraAttribute + L"thread=\"" + EscapeAttribute(threadId) + L"\"" +
              Attribute(L"version", kThreadVersion) + Attribute(L"res_from", resFrom) +
              Attribute(L"user_id", GetUserId(flvData));
    if (HasNeedsKey(flvData)) {
        const std::wstring reply = FetchKeyReply(GetThreadKeyUrl(country, threadId));
        const std::wstring key = GetPairValue(reply, kThreadKeyName);
        if (key.empty()) {
            return Missing(kThreadKeyName);
        }
        element += Attribute(kThreadKeyName, key) + Attribute(kForce184Name, GetPairValue(reply, kForce184Name));
    }
    if (pastLogTime > 0) {
        const std::wstring key = GetPairValue(FetchKeyReply(GetWaybackKeyUrl(country, threadId)), kWaybackKeyName);
        if (key.empty()) {
            return Missing(kWaybackKeyName);
        }
        element += Attribute(L"when", std::to_wstring(pastLogTime)) + Attribute(kWaybackKeyName, key);
    }
    element += L"/>";
    return true;
}

bool PostXml(const std::wstring& url, const std::wstring& xml, std::string& reply) {
    return PostURLData(url, kXmlContentType, WideToUtf8(xml), reply);
}

} // namespace

bool MakeThreadRequest(const std::wstring& flvData, const std::wstring& country, long long pastLogTime,
                       const std::wstring& extraAttribute, ThreadRequest& out) {
    out.messageServer = GetMessageServerUrl(flvData);
    if (out.messageServer.empty()) {
        return Missing(L"ms");
    }
    return BuildThreadElement(flvData, country, pastLogTime, extraAttribute, kResFrom, out.postData);
}

bool SendThreadRequest(const ThreadRequest& request, std::string& reply) {
    if (!PostXml(request.messageServer, request.postData, reply)) {
        return false;
    }
    const std::wstring text = Utf8ToWide(reply);
    return text.find(L"<packet") != std::wstring::npos &&
           GetElementAttribute(text, L"thread", kResultCodeAttribute) == L"0";
}

bool PostComment(std::wstring& detail, const std::wstring& comment, const std::wstring& command, int vpos,
                 const std::wstring& flvData) {
    detail.clear();
    const std::wstring country = GetAppSettings().Country;
    const std::wstring messageServer = GetMessageServerUrl(flvData);
    const std::wstring threadId = GetThreadId(flvData);
    const std::wstring userId = GetUserId(flvData);
    if (messageServer.empty() || threadId.empty() || userId.empty()) {
        detail = L"動画の情報にコメントサーバーの情報がありません";
        return false;
    }

    std::wstring stateRequest;
    std::string stateReply;
    if (!BuildThreadElement(flvData, country, 0, L"", L"-1", stateRequest) ||
        !PostXml(messageServer, stateRequest, stateReply)) {
        detail = L"スレッドの情報を取得できませんでした";
        return false;
    }
    const std::wstring state = Utf8ToWide(stateReply);
    const std::wstring ticket = GetElementAttribute(state, L"thread", L"ticket");
    if (GetElementAttribute(state, L"thread", kResultCodeAttribute) != L"0" || ticket.empty()) {
        detail = L"スレッドの情報を取得できませんでした";
        return false;
    }
    // The post is numbered last_res + 1; its key is that of the block it falls in.
    const int blockNo = (ToIntOrZero(GetElementAttribute(state, L"thread", L"last_res")) + 1) / kBlockSize;
    const std::wstring postKey = GetPairValue(FetchKeyReply(GetPostKeyUrl(country, threadId, blockNo)), kPostKeyName);
    if (postKey.empty()) {
        detail = L"ポストキーを取得できませんでした";
        return false;
    }

    const std::wstring chat = L"<chat" + Attribute(L"thread", threadId) + Attribute(L"vpos", std::to_wstring(vpos)) +
                              Attribute(L"mail", command) + Attribute(L"ticket", ticket) +
                              Attribute(L"user_id", userId) + Attribute(kPostKeyName, postKey) +
                              Attribute(L"premium", IsPremium(flvData) ? L"1" : L"0") + L">" + comment + L"</chat>";
    std::string reply;
    if (!PostXml(messageServer, chat, reply)) {
        detail = L"コメントサーバーに接続できませんでした";
        return false;
    }
    const std::wstring status = GetElementAttribute(Utf8ToWide(reply), L"chat_result", L"status");
    if (status == std::to_wstring(kPostAccepted)) {
        return true;
    }
    if (status == std::to_wstring(kPostDuplicate)) {
        detail = L"同じコメントは連続で投稿できません";
    } else if (status.empty()) {
        detail = L"コメントサーバーの応答が正しくありません";
    } else {
        detail = L"コメントサーバーが投稿を受け付けませんでした (status=" + status + L")";
    }
    return false;
}
