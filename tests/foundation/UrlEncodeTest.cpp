#include "foundation/UrlEncode.h"

#include <gtest/gtest.h>

TEST(UrlEncodeTest, EncodesUtf8BytesKeepingOnlyAsciiLettersAndDigits) {
    struct Case {
        const wchar_t* text;
        const wchar_t* encoded;
    };
    const Case cases[] = {
        {L"", L""},
        {L"abcXYZ0189", L"abcXYZ0189"},
        {L"a b  c", L"a+b++c"},
        {L"-_.~*&=/%+?#", L"%2D%5F%2E%7E%2A%26%3D%2F%25%2B%3F%23"},
        {L"タグ", L"%E3%82%BF%E3%82%B0"},
        {L"é", L"%C3%A9"},
        {L"ＡＢ１", L"%EF%BC%A1%EF%BC%A2%EF%BC%91"},
        {L"\U0002000B", L"%F0%A0%80%8B"},
        {L"\t\r\n", L"%09%0D%0A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(UrlEncode(c.text), c.encoded);
    }
}
