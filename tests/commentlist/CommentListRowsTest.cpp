#include "CWndCommentList/CommentListRows.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <regex>

using namespace testing_support;

TEST(CommentListRows, TimeTextsAndTheirValues) {
    struct Case {
        int64_t hundredths;
        const wchar_t* text;
        int64_t parsedMs;
    } cases[] = {
        {12345, L"2:03", 123000}, {-500, L"-0:05", -5000}, {600000, L"100:00", 6000000},
        {0, L"0:00", 0},          {99, L"0:00", 0},        {-6001, L"-1:00", -60000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatVposTime(c.hundredths), c.text) << c.hundredths;
        EXPECT_EQ(ParseVposTime(c.text), c.parsedMs) << c.hundredths;
    }
    EXPECT_EQ(ParseVposTime(L""), 0);
    EXPECT_EQ(ParseVposTime(L"-0:02"), -2000);
}

TEST(CommentListRows, ARowShowsTheChatsFieldsInTheirFormats) {
    ChatData chat;
    chat.vpos = 12345;
    chat.text = L"こんにちは";
    chat.user_id = L"user1";
    chat.date = 0;
    chat.no = 42;
    chat.mail = L"184 red";
    chat.premium = 1;
    const CommentRowTexts row = MakeCommentRow(chat);
    EXPECT_EQ(row[0], L"2:03");
    EXPECT_EQ(row[1], L"こんにちは");
    EXPECT_EQ(row[2], L"user1");
    EXPECT_TRUE(std::regex_match(row[3], std::wregex(L"'[0-9]{2} [0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}"))) << row[3];
    EXPECT_TRUE(row[3] == L"'70 01/01 " + row[3].substr(10) || row[3].substr(0, 10) == L"'69 12/31 ") << row[3];
    EXPECT_EQ(row[4], L"42");
    EXPECT_EQ(row[5], L"184 red");
    EXPECT_EQ(row[6], L"○");
    EXPECT_EQ(row[7], L"");
    chat.premium = 0;
    EXPECT_EQ(MakeCommentRow(chat)[6], L"");
}

TEST(CommentListRows, ShiftingAndBackReTimesFromTheShownSeconds) {
    const std::wstring shifted = ShiftVposText(L"0:10", 1500, 0);
    EXPECT_EQ(shifted, L"0:11");
    // 11 s back by 1.5 s gives 9.5 s, shown as 0:09: a second away from the first text.
    EXPECT_EQ(ShiftVposText(shifted, 0, 1500), L"0:09");
    EXPECT_EQ(ShiftVposText(L"0:01", -3000, 0), L"-0:02");
}

TEST(CommentListRows, ThePlayPositionRowIsTheLastOfTheFirstEqualRun) {
    const std::vector<std::wstring> times = {L"0:01", L"0:02", L"0:02", L"0:03", L"0:02"};
    EXPECT_EQ(FindPlayPositionRow(times, 2500), 2);
    EXPECT_EQ(FindPlayPositionRow(times, 1000), 0);
    EXPECT_EQ(FindPlayPositionRow(times, 9000), -1);
}

TEST(CommentListRows, CountAndStartChooseTheChats) {
    struct Case {
        int32_t total, count, start, wantStart, wantCount;
    } cases[] = {
        {10, -1, -1, 0, 10}, {10, 3, -1, 7, 3}, {10, 20, -1, 0, 10}, {10, 3, 2, 2, 3}, {10, 5, 8, 8, 2},
        {10, 5, 12, 12, 0},  {10, -1, 4, 4, 6},
    };
    for (const Case& c : cases) {
        const ChatRange range = SelectChatRange(c.total, c.count, c.start);
        EXPECT_EQ(range.start, c.wantStart) << c.total << " " << c.count << " " << c.start;
        EXPECT_EQ(range.count, c.wantCount) << c.total << " " << c.count << " " << c.start;
    }
}

class CommentListXmlTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        CoInitialize(nullptr);
    }
    void TearDown() override {
        CoUninitialize();
        TempFolderTest::TearDown();
    }
    bool Read(const std::wstring& source, CommentListXml& out, int32_t count = -1, int32_t start = -1,
              std::function<bool(ChatData&)> keep = nullptr) {
        log.clear();
        return ReadCommentListXml(source, count, start, keep, [this](const std::wstring& line) { log.push_back(line); },
                                  out);
    }
    std::vector<std::wstring> log;
};

TEST_F(CommentListXmlTest, APieceOfChatElementsWithoutARootIsRead) {
    CommentListXml xml;
    ASSERT_TRUE(Read(L"<chat no=\"5\" vpos=\"100\" user_id=\"a\">one</chat>\n<chat no=\"6\" deleted=\"1\">two</chat>", xml));
    ASSERT_EQ(xml.chats.size(), 2u);
    EXPECT_EQ(xml.chats[0].text, L"one");
    EXPECT_EQ(xml.chats[0].no, 5);
    EXPECT_EQ(xml.chats[0].vpos, 100);
    // Missing attributes take their defaults: the user ID reads "0".
    EXPECT_EQ(xml.chats[1].user_id, L"0");
    EXPECT_EQ(xml.chats[1].deleted, 1);
    EXPECT_EQ(log.front(), L"XMLデータからリストコメント追加");
    EXPECT_EQ(log.back(), L"(WCL)読み込みコメント数 = 2");
    // A whole document stays as it is.
    ASSERT_TRUE(Read(L"<?xml version=\"1.0\"?><packet><chat no=\"1\">x</chat></packet>", xml));
    EXPECT_EQ(xml.chats.size(), 1u);
}

TEST_F(CommentListXmlTest, AFileIsReadWithItsRangeAndTheKeepRule) {
    const std::wstring path = PathOf(L"sm9.xml");
    WriteBytes(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><packet>"
                     "<chat no=\"1\" premium=\"1\" mail=\"red\">a</chat><chat no=\"2\">b</chat>"
                     "<chat no=\"3\">c</chat><chat no=\"4\">d</chat></packet>");
    CommentListXml xml;
    ASSERT_TRUE(Read(path, xml, 2, -1));
    ASSERT_EQ(xml.chats.size(), 2u);
    EXPECT_EQ(xml.chats[0].no, 3);
    const std::vector<std::wstring> expected = {L"(WCL)ファイル = " + path, L"(WCL)全コメント数 = 4",
                                                L"(WCL)読み込み開始位置 = 2", L"(WCL)読み込みコメント数 = 2"};
    EXPECT_EQ(log, expected);
    ASSERT_TRUE(Read(path, xml, -1, -1, [](ChatData& chat) { return chat.no % 2 == 1; }));
    ASSERT_EQ(xml.chats.size(), 2u);
    EXPECT_EQ(xml.chats[0].premium, 1);
    EXPECT_EQ(xml.chats[0].mail, L"red");
    EXPECT_EQ(xml.chats[1].text, L"c");
}

TEST_F(CommentListXmlTest, ADocumentWithoutChatsOrNotXmlIsReported) {
    const std::wstring empty = PathOf(L"empty.xml");
    WriteBytes(empty, "<packet><thread last_res=\"0\"/></packet>");
    CommentListXml xml;
    EXPECT_FALSE(Read(empty, xml));
    EXPECT_EQ(log.back(), L"コメントデータが見つかりません : " + empty);
    const std::wstring broken = PathOf(L"broken.xml");
    WriteBytes(broken, "<packet><chat>");
    EXPECT_FALSE(Read(broken, xml));
    EXPECT_EQ(log.back(), L"コメントデータが見つかりません : " + broken);
    // A document type declaration is refused, so no entity is expanded.
    EXPECT_FALSE(Read(L"<!DOCTYPE packet [<!ENTITY e \"x\">]><packet><chat>&e;</chat></packet>", xml));
}
