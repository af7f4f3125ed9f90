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

TEST(UrlEncodeTest, DecodesWhatItEncodesAndLowerCaseEscapes) {
    struct Case {
        const wchar_t* encoded;
        const wchar_t* text;
    };
    const Case cases[] = {
        {L"", L""},         {L"a+b%20c", L"a b c"}, {L"%e3%81%82%3d%E3%81%84%26x", L"あ=い&x"},
        {L"100%", L"100%"}, {L"%zz%4", L"%zz%4"},   {L"\U0002000B%F0%A0%80%8B", L"\U0002000B\U0002000B"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.encoded);
        EXPECT_EQ(UrlDecode(c.encoded), c.text);
    }
    EXPECT_EQ(UrlDecode(UrlEncode(L"-_.~*&=/%+?# タグ")), L"-_.~*&=/%+?# タグ");
}
