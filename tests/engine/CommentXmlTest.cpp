#include "engine/CommentXml.h"

#include "foundation/CBaseDebug.h"
#include "foundation/PathUtil.h"
#include "foundation/StringUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

using testing_support::TempFolderTest;

std::wstring LogText() {
    return testing_support::WindowText(DebugLog().GetEditControl());
}

std::string Encode(const std::wstring& text, UINT codePage) {
    const int size =
        WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    return bytes;
}

std::string Utf16(const std::wstring& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const wchar_t unit : text) {
        const char high = static_cast<char>((unit >> 8) & 0xFF);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

class CommentXmlTest : public TempFolderTest {
protected:
    std::wstring Write(const std::wstring& name, const std::string& bytes) {
        const std::wstring path = PathOf(name);
        WriteBytes(path, bytes);
        return path;
    }
};

TEST_F(CommentXmlTest, ReadsCountersAndThePacketsChatsInDocumentOrder) {
    const std::wstring path = Write(L"sm9.xml", WideToUtf8(LR"(<?xml version="1.0" encoding="UTF-8"?>
<packet>
  <thread resultcode="0" thread="1234" last_res="345" ticket="0x1"/>
  <view_counter video="9876" id="sm9" mylist="54"/>
  <chat thread="1234" no="2" vpos="500" date="4102444800" mail="184 ue red" user_id="abc" premium="1">  二番目 &amp; &lt;b&gt;
次の行 </chat>
  <chat thread="1234" no="1" vpos="-20" date="1200000000" deleted="1">first</chat>
  <leaf><chat no="99">not a chat of the packet</chat></leaf>
  <thread last_res="999"/>
  <chat/>
</packet>
)"));
    CommentDocument document;
    ASSERT_TRUE(ReadCommentXml(path, document));
    EXPECT_EQ(document.last_res, 345);
    EXPECT_EQ(document.video, 9876);
    EXPECT_EQ(document.mylist, 54);
    ASSERT_EQ(document.chats.size(), 3u);

    const ChatData& second = document.chats[0];
    EXPECT_EQ(second.text, L"  二番目 & <b>\n次の行 ");
    EXPECT_EQ(second.mail, L"184 ue red");
    EXPECT_EQ(second.user_id, L"abc");
    EXPECT_EQ(second.date, 4102444800LL);
    EXPECT_EQ(second.thread, 1234);
    EXPECT_EQ(second.vpos, 500);
    EXPECT_EQ(second.no, 2);
    EXPECT_EQ(second.premium, 1);
    EXPECT_EQ(second.deleted, 0);

    EXPECT_EQ(document.chats[1].text, L"first");
    EXPECT_EQ(document.chats[1].vpos, -20);
    EXPECT_EQ(document.chats[1].deleted, 1);
    EXPECT_EQ(document.chats[2], ChatData());
}

TEST_F(CommentXmlTest, AttributesThatAreMissingNotNumbersOrOutOfRangeReadAsZero) {
    struct Case {
        const wchar_t* attribute;
        ChatData expected;
    };
    auto chat = [](auto set) {
        ChatData data;
        set(data);
        return data;
    };
    const Case cases[] = {
        {L"vpos=\"abc\"", ChatData()},
        {L"vpos=\"12.5\"", ChatData()},
        {L"vpos=\"\"", ChatData()},
        {L"vpos=\" 42 \"", chat([](ChatData& c) { c.vpos = 42; })},
        {L"vpos=\"2147483648\"", ChatData()},
        {L"vpos=\"-2147483648\"", chat([](ChatData& c) { c.vpos = INT32_MIN; })},
        {L"no=\"+7\"", chat([](ChatData& c) { c.no = 7; })},
        {L"date=\"-5\"", chat([](ChatData& c) { c.date = -5; })},
        {L"date=\"9223372036854775807\"", chat([](ChatData& c) { c.date = INT64_MAX; })},
        {L"date=\"9223372036854775808\"", ChatData()},
        {L"thread=\"0x10\"", ChatData()},
        {L"premium=\"3\"", chat([](ChatData& c) { c.premium = 3; })},
        {L"premium=\"256\"", ChatData()},
        {L"premium=\"yes\"", ChatData()},
        {L"deleted=\"2\"", ChatData()},
        {L"deleted=\"1\"", chat([](ChatData& c) { c.deleted = 1; })},
        {L"mail=\"\"", ChatData()},
        {L"user_id=\"0\"", chat([](ChatData& c) { c.user_id = L"0"; })},
    };
    std::wstring xml = L"<packet>";
    for (const Case& c : cases) {
        xml += std::wstring(L"<chat ") + c.attribute + L"/>";
    }
    xml += L"</packet>";
    CommentDocument document;
    ASSERT_TRUE(ReadCommentXml(Write(L"attributes.xml", WideToUtf8(xml)), document));
    ASSERT_EQ(document.chats.size(), sizeof(cases) / sizeof(cases[0]));
    for (size_t i = 0; i < document.chats.size(); ++i) {
        EXPECT_EQ(document.chats[i], cases[i].expected) << testing::PrintToString(std::wstring(cases[i].attribute));
    }
}

TEST_F(CommentXmlTest, WrittenChatsReadBackEqual) {
    CommentDocument written;
    written.last_res = 12;
    written.video = 3456;
    written.mylist = 78;
    const wchar_t* const texts[] = {
        L"普通のコメント",
        L"  leading and trailing blanks  ",
        L"<tag attr=\"x\">&amp; ' ]]>",
        L"line\nbreaks\r\nand\rreturns\tand tabs",
        L"\n",
        L"",
        L"surrogates \xD83D\xDE00 and full-width\x3000space",
    };
    int no = 1;
    for (const wchar_t* text : texts) {
        ChatData chat;
        chat.text = text;
        chat.mail = L"184 \"quoted\" <&> tab\tline\nend";
        chat.user_id = L"id'\"<" + std::to_wstring(no);
        chat.date = 4102444800LL + no;
        chat.thread = 1234567890123LL;
        chat.vpos = -no;
        chat.no = no++;
        chat.deleted = no % 2 == 0 ? 1 : 0;
        chat.premium = static_cast<uint8_t>(no * 40);
        written.chats.push_back(chat);
    }
    written.chats.push_back(ChatData());
    const std::wstring path = PathOf(L"written.xml");
    ASSERT_TRUE(WriteCommentXml(path, written));

    CommentDocument read;
    ASSERT_TRUE(ReadCommentXml(path, read));
    EXPECT_EQ(read.last_res, 12);
    EXPECT_EQ(read.video, 3456);
    EXPECT_EQ(read.mylist, 78);
    ASSERT_EQ(read.chats.size(), written.chats.size());
    for (size_t i = 0; i < read.chats.size(); ++i) {
        EXPECT_EQ(read.chats[i], written.chats[i]) << i;
    }
    // The temporary file the write went through is gone.
    std::vector<std::wstring> files;
    EnumerateFiles(Folder(), L"*", files, false, false, false);
    EXPECT_EQ(files, std::vector<std::wstring>{L"written.xml"});

    // What XML 1.0 cannot hold is replaced, and the file stays readable.
    CommentDocument control;
    ChatData bad;
    bad.text = std::wstring(L"a\x01"
                            L"b\xD800"
                            L"c\xFFFE",
                            6);
    bad.user_id = std::wstring(L"\x1F", 1);
    control.chats.push_back(bad);
    ASSERT_TRUE(WriteCommentXml(path, control));
    ASSERT_TRUE(ReadCommentXml(path, read));
    ASSERT_EQ(read.chats.size(), 1u);
    EXPECT_EQ(read.chats[0].text, L"a\xFFFD"
                                  L"b\xFFFD"
                                  L"c\xFFFD");
    EXPECT_EQ(read.chats[0].user_id, L"\xFFFD");
}

TEST_F(CommentXmlTest, ReadsTheEncodingsCommentFilesComeIn) {
    const std::wstring body = L"<packet><chat mail=\"ue\">日本語のコメント ｶﾅ</chat></packet>";
    struct Case {
        const wchar_t* name;
        std::string bytes;
    };
    const Case cases[] = {
        {L"utf8.xml", WideToUtf8(L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + body)},
        {L"utf8-no-declaration.xml", WideToUtf8(body)},
        {L"utf8-mark.xml", "\xEF\xBB\xBF" + WideToUtf8(L"<?xml version=\"1.0\"?>" + body)},
        {L"utf16le.xml", Utf16(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + body, false)},
        {L"utf16be.xml", Utf16(body, true)},
        {L"sjis.xml", Encode(L"<?xml version='1.0' encoding='Shift_JIS'?>" + body, 932)},
        // Not decoded here: the parser reads the file itself.
        {L"latin1.xml",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><packet><chat mail=\"ue\">caf\xE9</chat></packet>"},
    };
    for (const Case& c : cases) {
        CommentDocument document;
        ASSERT_TRUE(ReadCommentXml(Write(c.name, c.bytes), document)) << testing::PrintToString(std::wstring(c.name));
        ASSERT_EQ(document.chats.size(), 1u);
        EXPECT_EQ(document.chats[0].mail, L"ue");
        const std::wstring expected = std::wstring(c.name) == L"latin1.xml" ? L"caf\xE9" : L"日本語のコメント ｶﾅ";
        EXPECT_EQ(document.chats[0].text, expected) << testing::PrintToString(std::wstring(c.name));
    }
}

TEST_F(CommentXmlTest, MalformedAndHostileFilesFailCleanly) {
    const std::wstring secret = PathOf(L"secret.txt");
    WriteBytes(secret, "SECRET-CONTENT");
    std::string deep = "<packet>";
    for (int i = 0; i < 100000; ++i) {
        deep += "<a>";
    }
    deep += "<chat>deep</chat>";
    for (int i = 0; i < 100000; ++i) {
        deep += "</a>";
    }
    deep += "</packet>"; // well-formed: only the depth is wrong
    struct Case {
        const wchar_t* name;
        std::string bytes;
    };
    const Case cases[] = {
        {L"empty.xml", ""},
        {L"blank.xml", "\r\n  \r\n"},
        {L"truncated.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><packet><chat no=\"1\">abc</chat><chat no=\"2\" vp"},
        {L"unclosed.xml", "<packet><chat>text</packet>"},
        {L"wrong-root.xml", "<comments><chat>text</chat></comments>"},
        {L"two-roots.xml", "<packet/><packet/>"},
        {L"binary.xml", std::string("\x00\x01\x02\xFF\xFE\x00packet", 12)},
        {L"bad-utf8.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><packet><chat>\xC3\x28\xFF</chat></packet>"},
        {L"unknown-entity.xml", "<packet><chat>&nbsp;</chat></packet>"},
        {L"bad-reference.xml", "<packet><chat>&#0;&#xD800;</chat></packet>"},
        {L"deep.xml", deep},
        {L"laughs.xml", "<?xml version=\"1.0\"?><!DOCTYPE packet [<!ENTITY a \"aaaaaaaaaa\">"
                        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
                        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
                        "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
                        "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\"><!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">]>"
                        "<packet><chat>&i;</chat></packet>"},
        {L"external.xml", "<?xml version=\"1.0\"?><!DOCTYPE packet [<!ENTITY x SYSTEM \"" + WideToUtf8(secret) +
                              "\">]><packet><chat>&x;</chat></packet>"},
        {L"internal-dtd.xml", "<!DOCTYPE packet [<!ATTLIST chat mail CDATA \"big\">]><packet><chat>x</chat></packet>"},
    };
    for (const Case& c : cases) {
        const std::wstring path = Write(c.name, c.bytes);
        CommentDocument document;
        document.last_res = 1;
        EXPECT_FALSE(ReadCommentXml(path, document)) << testing::PrintToString(std::wstring(c.name));
        EXPECT_TRUE(document.chats.empty());
        EXPECT_EQ(document.last_res, 0);
        EXPECT_NE(LogText().find(L"コメントファイルを読み込めません : " + path + L" : "), std::wstring::npos)
            << testing::PrintToString(std::wstring(c.name));
    }
    EXPECT_EQ(LogText().find(L"SECRET-CONTENT"), std::wstring::npos);
    CommentDocument document;
    EXPECT_FALSE(ReadCommentXml(PathOf(L"missing.xml"), document));
}

TEST_F(CommentXmlTest, AChatLongerThanAnyCommentIsSkippedAndTheRestRead) {
    const std::string huge(1024 * 1024, 'w');
    const std::wstring path = Write(L"huge.xml", "<packet><chat no=\"1\">" + huge +
                                                     "</chat><chat no=\"2\">ok</chat>"
                                                     "<chat no=\"3\">" +
                                                     std::string(kMaxChatTextLength, 'x') + "</chat></packet>");
    CommentDocument document;
    ASSERT_TRUE(ReadCommentXml(path, document));
    ASSERT_EQ(document.chats.size(), 2u);
    EXPECT_EQ(document.chats[0].no, 2);
    EXPECT_EQ(document.chats[1].no, 3);
    EXPECT_EQ(document.skippedChats, 1);
    EXPECT_NE(LogText().find(L"長すぎるコメントを読み飛ばしました"), std::wstring::npos);
}

TEST(EscapeXmlTest, ReplacesAmpersandFirstThenTheBrackets) {
    struct Case {
        const wchar_t* text;
        const wchar_t* escaped;
    };
    const Case cases[] = {
        {L"", L""},
        {L"a<b>&c", L"a&lt;b&gt;&amp;c"},
        {L"&lt;", L"&amp;lt;"},
        {L"\"quoted\" 'single'", L"\"quoted\" 'single'"},
    };
    for (const Case& c : cases) {
        std::wstring text = c.text;
        EscapeXml(text);
        EXPECT_EQ(text, c.escaped);
    }
}

} // namespace
