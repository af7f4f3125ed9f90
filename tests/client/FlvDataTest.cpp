#include "client/FlvData.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using Reader = std::function<std::wstring(const std::wstring&)>;

Reader Text(std::wstring (*reader)(const std::wstring&)) {
    return reader;
}
Reader Number(int (*reader)(const std::wstring&)) {
    return [reader](const std::wstring& data) { return std::to_wstring(reader(data)); };
}
Reader Flag(bool (*reader)(const std::wstring&)) {
    return [reader](const std::wstring& data) { return std::wstring(reader(data) ? L"true" : L"false"); };
}

const wchar_t kReply[] = L"thread_id=1173108780&l=320&url=http://v.example/smile?v=9.0468&link=http://w/&"
                         L"ms=http://msg.example/api/&user_id=123&is_premium=1&nickname=%E3%81%82&done=true";

} // namespace

TEST(FlvDataTest, ReadersTakeTheValueOfTheirKey) {
    struct Case {
        const wchar_t* reader;
        Reader read;
        const wchar_t* data;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"GetThreadId", Text(GetThreadId), kReply, L"1173108780"},
        {L"GetVideoLength", Number(GetVideoLength), kReply, L"320"},
        {L"GetVideoUrl", Text(GetVideoUrl), kReply, L"http://v.example/smile?v=9.0468"},
        {L"GetMessageServerUrl", Text(GetMessageServerUrl), kReply, L"http://msg.example/api/"},
        {L"GetUserId", Text(GetUserId), kReply, L"123"},
        {L"IsPremium", Flag(IsPremium), kReply, L"true"},
        {L"HasNeedsKey", Flag(HasNeedsKey), kReply, L"false"},
        {L"IsClosed", Flag(IsClosed), kReply, L"false"},
        {L"GetDeletedCode", Number(GetDeletedCode), kReply, L"0"},

        // The last pair has no end marker.
        {L"GetUserId", Text(GetUserId), L"l=1&user_id=42", L""},
        {L"GetThreadId", Text(GetThreadId), L"", L""},
        // A key is not found inside another key or inside a value.
        {L"GetVideoLength", Number(GetVideoLength), L"url=http://h/?l=5&done=true", L"0"},
        {L"GetVideoLength", Number(GetVideoLength), L"url=http://h/&l=7&", L"7"},
        {L"GetThreadId", Text(GetThreadId), L"x_thread_id=1&thread_id=2&", L"2"},
        {L"GetVideoUrl", Text(GetVideoUrl), L"thumb_url=http://t/&url=http://v/&", L"http://v/"},
        {L"GetMessageServerUrl", Text(GetMessageServerUrl), L"hms=h&ms=http://m/&", L"http://m/"},
        {L"GetVideoLength", Number(GetVideoLength), L"l=abc&", L"0"},
        {L"GetVideoLength", Number(GetVideoLength), L"l=&", L"0"},
        {L"IsPremium", Flag(IsPremium), L"is_premium=10&", L"false"},
        {L"IsPremium", Flag(IsPremium), L"is_premium=1", L"false"},
        {L"IsPremium", Flag(IsPremium), L"is_premium=0&", L"false"},
        {L"HasNeedsKey", Flag(HasNeedsKey), L"thread_id=1&needs_key=1", L"true"},
        {L"HasNeedsKey", Flag(HasNeedsKey), L"no_needs_key=1&", L"false"},
        {L"IsClosed", Flag(IsClosed), L"closed=1&done=true", L"true"},
        {L"IsClosed", Flag(IsClosed), L"was_closed=1&", L"false"},
        {L"IsClosed", Flag(IsClosed), L"closed=0&", L"false"},
        {L"GetDeletedCode", Number(GetDeletedCode), L"deleted=8&error=invalid_v1", L"8"},
        {L"GetDeletedCode", Number(GetDeletedCode), L"error=x&deleted=12", L"12"},
        {L"GetDeletedCode", Number(GetDeletedCode), L"deleted=&", L"0"},
        {L"GetDeletedCode", Number(GetDeletedCode), L"undeleted=3&", L"0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.reader) + L" of " + c.data);
        EXPECT_EQ(c.read(c.data), c.expected);
    }
}

TEST(FlvDataTest, OwnerNgListIsDecodedAndSplit) {
    struct Case {
        const wchar_t* data;
        std::vector<std::wstring> list;
    };
    const Case cases[] = {
        {L"thread_id=1&ng_up=%e3%81%82%3d%e3%81%84%26%E3%81%86=%E3%81%88&done=true", {L"あ=い", L"う=え"}},
        {L"ng_up=a%3Db%26%26c%3Dd&done=true", {L"a=b", L"c=d"}},
        {L"thread_id=1&ng_up=&done=true", {}},
        {L"thread_id=1&done=true", {}},
        {L"thread_id=1&ng_up=x%3Dy", {}}, // the last pair has no end marker
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        EXPECT_EQ(GetOwnerNgList(c.data), c.list);
    }
}
