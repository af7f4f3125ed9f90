#include "engine/CommentXml.h"

#include "engine/XmlValues.h"

#include "foundation/CBaseDebug.h"
#include "foundation/Handles.h"
#include "foundation/StringUtil.h"
#include "foundation/TextFile.h"

#include <cctype>
#include <climits>
#include <memory>
#include <string>

using Microsoft::WRL::ComPtr;

namespace {

const CLSID kClsidDomDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
const CLSID kClsidDomDocument = {0x2933bf90, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
const IID kIidXmlDomDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

// Comment documents are two levels deep; the limit only keeps a hostile file off the parser's stack.
constexpr long kMaxElementDepth = 64;

using xml_values::Bstr;
using xml_values::Variant;
using xml_values::kIidXmlDomElement;

void LogFailure(const std::wstring& path, const std::wstring& reason) {
    DebugLog() << L"コメントファイルを読み込めません : " << path << L" : " << reason << EndLine;
}

bool IsDecimalBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

// The whole text (surrounding blanks allowed) as a decimal number within [low, high]; 0 otherwise.
int64_t ParseNumber(const wchar_t* text, UINT length, int64_t low, int64_t high) {
    if (text == nullptr) {
        return 0;
    }
    UINT i = 0;
    while (i < length && IsDecimalBlank(text[i])) {
        ++i;
    }
    while (length > i && IsDecimalBlank(text[length - 1])) {
        --length;
    }
    bool negative = false;
    if (i < length && (text[i] == L'-' || text[i] == L'+')) {
        negative = text[i] == L'-';
        ++i;
    }
    if (i == length) {
        return 0;
    }
    // Accumulated as a negative number so that INT64_MIN fits.
    int64_t value = 0;
    for (; i < length; ++i) {
        if (text[i] < L'0' || text[i] > L'9') {
            return 0;
        }
        const int digit = text[i] - L'0';
        if (value < (INT64_MIN + digit) / 10) {
            return 0;
        }
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == INT64_MIN) {
            return 0;
        }
        value = -value;
    }
    return value < low || value > high ? 0 : value;
}

struct AttributeNames {
    Bstr date{L"date"}, deleted{L"deleted"}, mail{L"mail"}, no{L"no"}, premium{L"premium"}, thread{L"thread"},
        userId{L"user_id"}, vpos{L"vpos"}, lastRes{L"last_res"}, video{L"video"}, mylist{L"mylist"};
};

class ElementReader {
public:
    explicit ElementReader(IXMLDOMNode* node) {
        node->QueryInterface(kIidXmlDomElement, reinterpret_cast<void**>(m_element.GetAddressOf()));
    }
    // False when the attribute is missing.
    bool Read(const Bstr& name) {
        return m_element && m_element->getAttribute(name.Get(), m_value.Out()) == S_OK && m_value.Text() != nullptr;
    }
    int64_t Number(const Bstr& name, int64_t low, int64_t high) {
        return Read(name) ? ParseNumber(m_value.Text(), m_value.Length(), low, high) : 0;
    }
    int32_t Int32(const Bstr& name) { return static_cast<int32_t>(Number(name, INT32_MIN, INT32_MAX)); }
    std::wstring Text(const Bstr& name) {
        return Read(name) ? std::wstring(m_value.Text(), m_value.Length()) : std::wstring();
    }

private:
    ComPtr<IXMLDOMElement> m_element;
    Variant m_value;
};

void ReadChat(IXMLDOMNode* node, const AttributeNames& names, ChatData& chat) {
    ElementReader reader(node);
    chat.date = reader.Number(names.date, INT64_MIN, INT64_MAX);
    chat.deleted = reader.Text(names.deleted) == L"1" ? 1 : 0;
    chat.mail = reader.Text(names.mail);
    chat.no = reader.Int32(names.no);
    chat.premium = static_cast<uint8_t>(reader.Number(names.premium, 0, 255));
    chat.thread = reader.Number(names.thread, INT64_MIN, INT64_MAX);
    chat.user_id = reader.Text(names.userId);
    chat.vpos = reader.Int32(names.vpos);
    Bstr text;
    if (node->get_text(text.Out()) == S_OK) {
        chat.text = text.Text();
    }
}

std::wstring ParseErrorText(IXMLDOMDocument2* document) {
    ComPtr<IXMLDOMParseError> error;
    if (FAILED(document->get_parseError(error.GetAddressOf())) || !error) {
        return L"XML として読めません";
    }
    Bstr reason;
    error->get_reason(reason.Out());
    long line = 0;
    error->get_line(&line);
    std::wstring text = reason.Text();
    while (!text.empty() && IsDecimalBlank(text.back())) {
        text.pop_back();
    }
    if (text.empty()) {
        text = L"XML として読めません";
    }
    return text + L" (" + std::to_wstring(line) + L" 行目)";
}

bool IsXmlChar(wchar_t c) {
    return c == L'\t' || c == L'\n' || c == L'\r' || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD);
}

// Valid surrogate pairs stay; every other character XML 1.0 cannot hold becomes U+FFFD.
void AppendEscaped(std::wstring& out, const std::wstring& text, bool attribute) {
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            out += c;
            out += text[++i];
            continue;
        }
        switch (c) {
        case L'&':
            out += L"&amp;";
            break;
        case L'<':
            out += L"&lt;";
            break;
        case L'>':
            out += L"&gt;";
            break;
        // The parser turns a raw CR into LF, and blanks in attributes into spaces.
        case L'\r':
            out += L"&#13;";
            break;
        case L'"':
            out += attribute ? L"&quot;" : L"\"";
            break;
        case L'\n':
            out += attribute ? L"&#10;" : L"\n";
            break;
        case L'\t':
            out += attribute ? L"&#9;" : L"\t";
            break;
        default:
            out += IsXmlChar(c) ? c : L'\xFFFD';
            break;
        }
    }
}

void AppendAttribute(std::wstring& out, const wchar_t* name, const std::wstring& value) {
    out += L' ';
    out += name;
    out += L"=\"";
    AppendEscaped(out, value, true);
    out += L'"';
}

// Larger files are left to the parser to read.
constexpr LONGLONG kMaxDecodedBytes = 256LL * 1024 * 1024;

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    const CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        return false;
    }
    const HANDLE handle = file.Get();
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size) || size.QuadPart > kMaxDecodedBytes) {
        return false;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes.empty() ||
           (ReadFile(handle, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size());
}

// The code page the XML declaration names: UTF-8 without one or without an encoding, 932 for the
// names of Shift_JIS; 0 for any other encoding.
UINT DeclaredCodePage(const std::string& bytes) {
    if (bytes.compare(0, 5, "<?xml") != 0) {
        return CP_UTF8;
    }
    const size_t end = bytes.find("?>");
    const std::string declaration = bytes.substr(0, end == std::string::npos ? 0 : end);
    const size_t key = declaration.find("encoding");
    if (key == std::string::npos) {
        return end == std::string::npos ? 0 : CP_UTF8;
    }
    const size_t open = declaration.find_first_of("\"'", key);
    const size_t close = open == std::string::npos ? open : declaration.find(declaration[open], open + 1);
    if (close == std::string::npos) {
        return 0;
    }
    std::string name = declaration.substr(open + 1, close - open - 1);
    for (char& c : name) {
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    if (name == "utf-8" || name == "utf8") {
        return CP_UTF8;
    }
    for (const char* sjis : {"shift_jis", "shift-jis", "sjis", "x-sjis", "windows-31j", "cp932", "ms_kanji"}) {
        if (name == sjis) {
            return 932;
        }
    }
    return 0;
}

} // namespace

ComPtr<IXMLDOMDocument2> CreateCommentDocument() {
    ComPtr<IXMLDOMDocument2> document;
    for (const CLSID* clsid : {&kClsidDomDocument60, &kClsidDomDocument}) {
        if (SUCCEEDED(CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument2,
                                       reinterpret_cast<void**>(document.ReleaseAndGetAddressOf())))) {
            break;
        }
    }
    if (!document) {
        return document;
    }
    document->put_async(VARIANT_FALSE);
    document->put_validateOnParse(VARIANT_FALSE);
    document->put_resolveExternals(VARIANT_FALSE);
    // Leading and trailing blanks of a comment are part of its text.
    document->put_preserveWhiteSpace(VARIANT_TRUE);
    // Older parsers do not know every property; the document type check after loading covers them.
    Bstr prohibitDtd(L"ProhibitDTD");
    VARIANT on;
    on.vt = VT_BOOL;
    on.boolVal = VARIANT_TRUE;
    document->setProperty(prohibitDtd.Get(), on);
    Bstr maxDepth(L"MaxElementDepth");
    VARIANT depth;
    depth.vt = VT_I4;
    depth.lVal = kMaxElementDepth;
    document->setProperty(maxDepth.Get(), depth);
    return document;
}

bool DecodeCommentFile(const std::wstring& path, std::wstring& text) {
    text.clear();
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
        return false;
    }
    if (bytes.size() >= 2 && (bytes[0] == '\xFF' || bytes[0] == '\xFE') && (bytes[1] == '\xFF' || bytes[1] == '\xFE') &&
        bytes[0] != bytes[1]) {
        if (bytes.size() % 2 != 0) {
            return false;
        }
        const bool bigEndian = bytes[0] == '\xFE';
        text.resize(bytes.size() / 2 - 1);
        for (size_t i = 0; i < text.size(); ++i) {
            const unsigned char a = static_cast<unsigned char>(bytes[2 + 2 * i]);
            const unsigned char b = static_cast<unsigned char>(bytes[3 + 2 * i]);
            text[i] = static_cast<wchar_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
        }
    } else {
        size_t offset = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        // UTF-16 without a mark, or a zero byte the parser must report: the text would end at it.
        if (bytes.find('\0', offset) != std::string::npos) {
            return false;
        }
        const UINT codePage = offset == 3 ? CP_UTF8 : DeclaredCodePage(bytes);
        if (codePage == 0 || bytes.size() - offset > INT_MAX) {
            return false;
        }
        const char* data = bytes.data() + offset;
        const int length = static_cast<int>(bytes.size() - offset);
        const int count =
            length == 0 ? 0 : MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, data, length, nullptr, 0);
        if (length > 0 && count == 0) {
            return false;
        }
        text.resize(static_cast<size_t>(count));
        if (count > 0) {
            MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, data, length, &text[0], count);
        }
    }
    if (text.compare(0, 5, L"<?xml") == 0 && text.size() > 5 && IsDecimalBlank(text[5])) {
        const size_t end = text.find(L"?>");
        if (end != std::wstring::npos) {
            text.erase(0, end + 2);
        }
    }
    return true;
}

bool ReadCommentXml(const std::wstring& path, CommentDocument& out) {
    out = CommentDocument();
    ComPtr<IXMLDOMDocument2> document = CreateCommentDocument();
    if (!document) {
        DebugLog() << L"Error : CreateInstance MSXML2::DOMDocument" << EndLine;
        return false;
    }
    std::wstring text;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    HRESULT result = E_FAIL;
    if (DecodeCommentFile(path, text)) {
        BSTR source =
            text.size() <= UINT_MAX ? SysAllocStringLen(text.data(), static_cast<UINT>(text.size())) : nullptr;
        std::wstring().swap(text);
        if (source != nullptr) {
            result = document->loadXML(source, &loaded);
            SysFreeString(source);
        }
    } else {
        VARIANT source;
        source.vt = VT_BSTR;
        source.bstrVal = SysAllocString(path.c_str());
        result = document->load(source, &loaded);
        SysFreeString(source.bstrVal);
    }
    if (FAILED(result) || loaded != VARIANT_TRUE) {
        LogFailure(path, ParseErrorText(document.Get()));
        return false;
    }
    ComPtr<IXMLDOMDocumentType> documentType;
    if (document->get_doctype(documentType.GetAddressOf()) == S_OK && documentType) {
        LogFailure(path, L"文書型宣言 (DOCTYPE) を含むファイルは読み込みません");
        return false;
    }
    ComPtr<IXMLDOMElement> root;
    Bstr rootName;
    if (document->get_documentElement(root.GetAddressOf()) != S_OK || !root ||
        root->get_nodeName(rootName.Out()) != S_OK || !rootName.Is(L"packet")) {
        LogFailure(path, L"packet 要素がありません");
        return false;
    }

    const AttributeNames names;
    bool threadSeen = false;
    bool counterSeen = false;
    ComPtr<IXMLDOMNode> node;
    root->get_firstChild(node.GetAddressOf());
    while (node) {
        DOMNodeType type = NODE_INVALID;
        node->get_nodeType(&type);
        Bstr name;
        if (type == NODE_ELEMENT && node->get_nodeName(name.Out()) == S_OK) {
            if (name.Is(L"chat")) {
                ChatData chat;
                ReadChat(node.Get(), names, chat);
                if (chat.text.size() > kMaxChatTextLength) {
                    ++out.skippedChats;
                } else {
                    out.chats.push_back(std::move(chat));
                }
            } else if (name.Is(L"thread") && !threadSeen) {
                threadSeen = true;
                out.last_res = ElementReader(node.Get()).Int32(names.lastRes);
            } else if (name.Is(L"view_counter") && !counterSeen) {
                counterSeen = true;
                ElementReader reader(node.Get());
                out.video = reader.Int32(names.video);
                out.mylist = reader.Int32(names.mylist);
            }
        }
        ComPtr<IXMLDOMNode> next;
        if (node->get_nextSibling(next.GetAddressOf()) != S_OK) {
            next.Reset();
        }
        node = std::move(next);
    }
    if (out.skippedChats > 0) {
        DebugLog() << L"長すぎるコメントを読み飛ばしました (" << kMaxChatTextLength << L" 文字超) : "
                   << out.skippedChats << L" 件 : " << path << EndLine;
    }
    return true;
}

void EscapeXml(std::wstring& text) {
    ReplaceAll(text, L"&", L"&amp;");
    ReplaceAll(text, L"<", L"&lt;");
    ReplaceAll(text, L">", L"&gt;");
}

std::wstring FormatChatElement(const ChatData& chat) {
    std::wstring out = L"<chat";
    AppendAttribute(out, L"thread", std::to_wstring(chat.thread));
    AppendAttribute(out, L"no", std::to_wstring(chat.no));
    AppendAttribute(out, L"vpos", std::to_wstring(chat.vpos));
    AppendAttribute(out, L"date", std::to_wstring(chat.date));
    if (!chat.mail.empty()) {
        AppendAttribute(out, L"mail", chat.mail);
    }
    if (!chat.user_id.empty()) {
        AppendAttribute(out, L"user_id", chat.user_id);
    }
    if (chat.premium != 0) {
        AppendAttribute(out, L"premium", std::to_wstring(chat.premium));
    }
    if (chat.deleted != 0) {
        AppendAttribute(out, L"deleted", L"1");
    }
    out += L'>';
    AppendEscaped(out, chat.text, false);
    out += L"</chat>";
    return out;
}

bool WriteCommentXml(const std::wstring& path, const CommentDocument& document) {
    std::wstring text = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet>\n";
    text += L"<thread last_res=\"" + std::to_wstring(document.last_res) + L"\"/>\n";
    text += L"<view_counter video=\"" + std::to_wstring(document.video) + L"\" mylist=\"" +
            std::to_wstring(document.mylist) + L"\"/>\n";
    for (const ChatData& chat : document.chats) {
        text += FormatChatElement(chat);
        text += L'\n';
    }
    text += L"</packet>\n";
    const std::string bytes = WideToUtf8(text);
    return WriteFileReplacing(path, bytes.data(), bytes.size());
}
