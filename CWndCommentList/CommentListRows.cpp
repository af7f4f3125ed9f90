#include "CWndCommentList/CommentListRows.h"

#include "engine/CommentXml.h"
#include "engine/XmlValues.h"
#include "foundation/Exception.h"
#include "foundation/PathUtil.h"
#include "foundation/StringUtil.h"

#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cwchar>

using Microsoft::WRL::ComPtr;

namespace {

using xml_values::Bstr;
using xml_values::Variant;
using xml_values::kIidXmlDomElement;

// The leading decimal number of the text; 0 when there is none or it does not fit.
int64_t NumberOf(const std::wstring& text) {
    if (text.empty()) {
        return 0;
    }
    wchar_t* end = nullptr;
    errno = 0;
    const long long value = wcstoll(text.c_str(), &end, 10);
    return errno == ERANGE ? 0 : value;
}

int32_t Int32Of(const std::wstring& text) {
    const int64_t value = NumberOf(text);
    return value < INT32_MIN || value > INT32_MAX ? 0 : static_cast<int32_t>(value);
}

std::wstring TwoDigits(int value) {
    wchar_t text[16];
    swprintf(text, 16, L"%02d", value);
    return text;
}

class ChatReader {
public:
    explicit ChatReader(IXMLDOMNode* node) {
        node->QueryInterface(kIidXmlDomElement, reinterpret_cast<void**>(m_element.GetAddressOf()));
    }
    std::wstring Attribute(const Bstr& name, const wchar_t* defaultValue) {
        if (m_element && m_element->getAttribute(name.Get(), m_value.Out()) == S_OK && m_value.Text() != nullptr) {
            return m_value.String();
        }
        return defaultValue;
    }

private:
    ComPtr<IXMLDOMElement> m_element;
    Variant m_value;
};

struct ChatNames {
    Bstr date{L"date"}, deleted{L"deleted"}, mail{L"mail"}, no{L"no"}, premium{L"premium"}, thread{L"thread"},
        userId{L"user_id"}, vpos{L"vpos"};
};

void ReadChat(IXMLDOMNode* node, const ChatNames& names, ChatData& chat) {
    ChatReader reader(node);
    chat.date = NumberOf(reader.Attribute(names.date, L"0"));
    chat.deleted = reader.Attribute(names.deleted, L"") == L"1" ? 1 : 0;
    chat.mail = reader.Attribute(names.mail, L"");
    chat.no = Int32Of(reader.Attribute(names.no, L"0"));
    chat.premium = reader.Attribute(names.premium, L"") == L"1" ? 1 : 0;
    chat.thread = NumberOf(reader.Attribute(names.thread, L"0"));
    chat.user_id = reader.Attribute(names.userId, L"0");
    chat.vpos = Int32Of(reader.Attribute(names.vpos, L"0"));
    Bstr text;
    if (node->get_text(text.Out()) == S_OK) {
        chat.text = text.Text();
    }
}

bool LoadText(IXMLDOMDocument2* document, const std::wstring& text) {
    Bstr source(text.data(), text.size());
    VARIANT_BOOL loaded = VARIANT_FALSE;
    return source.Get() != nullptr && SUCCEEDED(document->loadXML(source.Get(), &loaded)) && loaded == VARIANT_TRUE;
}

bool LoadFile(IXMLDOMDocument2* document, const std::wstring& path) {
    std::wstring text;
    // Decoding the bytes ourselves and parsing the text is several times faster than the parser's load.
    if (DecodeCommentFile(path, text)) {
        return LoadText(document, text);
    }
    VARIANT source;
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocString(path.c_str());
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT result = document->load(source, &loaded);
    SysFreeString(source.bstrVal);
    return SUCCEEDED(result) && loaded == VARIANT_TRUE;
}

} // namespace

std::wstring FormatVposTime(int64_t hundredths) {
    // The magnitude as unsigned, so that the smallest value has one too.
    const uint64_t magnitude = hundredths < 0 ? 0 - static_cast<uint64_t>(hundredths) : static_cast<uint64_t>(hundredths);
    const uint64_t minutes = magnitude / 6000;
    const int seconds = static_cast<int>((magnitude % 6000) / 100);
    return (hundredths < 0 ? L"-" : L"") + std::to_wstring(minutes) + L":" + TwoDigits(seconds);
}

int64_t ParseVposTime(const std::wstring& text) {
    if (text.empty()) {
        return 0;
    }
    std::wstring rest = text;
    const bool negative = rest[0] == L'-';
    if (negative) {
        rest.erase(0, 1);
    }
    const size_t colon = rest.find(L':');
    const int64_t minutes = NumberOf(rest.substr(0, colon));
    const int64_t seconds = colon == std::wstring::npos ? 0 : NumberOf(rest.substr(colon + 1));
    const int64_t ms = minutes * 60000 + seconds * 1000;
    return negative ? -ms : ms;
}

std::wstring FormatPostDate(int64_t date) {
    // Seconds since 1970 as a file time (100 ns since 1601), then the local time of that moment.
    constexpr int64_t kSecondsFrom1601 = 11644473600LL;
    constexpr int64_t kMaxSeconds = 910692730085LL; // the last year the system's dates reach
    const int64_t seconds = std::min(std::max(date + kSecondsFrom1601, int64_t(0)), kMaxSeconds);
    const uint64_t ticks = static_cast<uint64_t>(seconds) * 10000000ULL;
    FILETIME utc = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utcTime = {}, local = {};
    if (!FileTimeToSystemTime(&utc, &utcTime) || !SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &local)) {
        local = utcTime;
    }
    return L"'" + TwoDigits(local.wYear % 100) + L" " + TwoDigits(local.wMonth) + L"/" + TwoDigits(local.wDay) + L" " +
           TwoDigits(local.wHour) + L":" + TwoDigits(local.wMinute);
}

CommentRowTexts MakeCommentRow(const ChatData& chat) {
    CommentRowTexts row;
    row[comment_column::kTime] = FormatVposTime(chat.vpos);
    row[comment_column::kText] = chat.text;
    row[comment_column::kId] = chat.user_id;
    row[comment_column::kPostTime] = FormatPostDate(chat.date);
    row[comment_column::kNo] = std::to_wstring(chat.no);
    row[comment_column::kCommand] = chat.mail;
    row[comment_column::kPremium] = chat.premium != 0 ? L"○" : L"";
    return row;
}

std::wstring ShiftVposText(const std::wstring& text, int64_t shift, int64_t listShift) {
    return FormatVposTime((ParseVposTime(text) + shift - listShift) / 10);
}

int FindPlayPositionRow(const std::vector<std::wstring>& timeTexts, int64_t positionMs) {
    const std::wstring target = FormatVposTime(positionMs / 10);
    int found = -1;
    for (size_t row = 0; row < timeTexts.size(); ++row) {
        if (timeTexts[row] == target) {
            found = static_cast<int>(row);
        } else if (found >= 0) {
            break;
        }
    }
    return found;
}

ChatRange SelectChatRange(int32_t total, int32_t count, int32_t start) {
    total = std::max(total, 0);
    if (count < 0) {
        count = total;
    }
    int32_t available = total;
    if (start == -1) {
        start = count < total ? total - count : 0;
    } else {
        start = std::max(start, 0);
        available = std::max(total - start, 0);
    }
    return {start, std::min(count, available)};
}

std::wstring WrapCommentXmlText(const std::wstring& text) {
    size_t begin = text.find_first_not_of(L" \t\r\n\xFEFF");
    if (begin != std::wstring::npos && text.compare(begin, 5, L"<?xml") == 0) {
        const size_t end = text.find(L"?>", begin);
        begin = end == std::wstring::npos ? end : text.find_first_not_of(L" \t\r\n", end + 2);
    }
    if (begin != std::wstring::npos && text.compare(begin, 7, L"<packet") == 0 &&
        (begin + 7 >= text.size() || wcschr(L" \t\r\n>/", text[begin + 7]) != nullptr)) {
        return text;
    }
    return L"<packet>" + (begin == std::wstring::npos ? std::wstring() : text.substr(begin)) + L"</packet>";
}

bool ReadCommentListXml(const std::wstring& source, int32_t count, int32_t start,
                        const std::function<bool(ChatData&)>& keep,
                        const std::function<void(const std::wstring&)>& log, CommentListXml& out) {
    out = CommentListXml();
    const bool isFile = FileExists(source);
    log(isFile ? L"(WCL)ファイル = " + source : L"XMLデータからリストコメント追加");
    ComPtr<IXMLDOMDocument2> document = CreateCommentDocument();
    if (!document) {
        VELA_THROW(L"Error : CreateInstance MSXML2::DOMDocument", 0);
    }
    const bool loaded = isFile ? LoadFile(document.Get(), source) : LoadText(document.Get(), WrapCommentXmlText(source));
    ComPtr<IXMLDOMNodeList> chats;
    long length = 0;
    Bstr chatName(L"chat");
    if (!loaded || document->getElementsByTagName(chatName.Get(), chats.GetAddressOf()) != S_OK || !chats ||
        FAILED(chats->get_length(&length)) || length <= 0) {
        log(L"コメントデータが見つかりません : " + source);
        return false;
    }
    out.total = static_cast<int32_t>(std::min<long>(length, INT32_MAX));
    out.range = SelectChatRange(out.total, count, start);
    if (isFile) {
        log(L"(WCL)全コメント数 = " + std::to_wstring(out.total));
        log(L"(WCL)読み込み開始位置 = " + std::to_wstring(out.range.start));
    }
    log(L"(WCL)読み込みコメント数 = " + std::to_wstring(out.range.count));
    const ChatNames names;
    out.chats.reserve(static_cast<size_t>(out.range.count));
    for (int32_t i = 0; i < out.range.count; ++i) {
        ComPtr<IXMLDOMNode> node;
        if (chats->get_item(out.range.start + i, node.GetAddressOf()) != S_OK || !node) {
            continue;
        }
        ChatData chat;
        ReadChat(node.Get(), names, chat);
        if (!keep || keep(chat)) {
            out.chats.push_back(std::move(chat));
        }
    }
    return true;
}
