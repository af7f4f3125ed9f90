#include "foundation/Exception.h"

#include <gtest/gtest.h>

#include <windows.h>

using utl::exception::CException;

TEST(ExceptionTest, TextHasFiveLinesWithoutFinalBreak) {
    const CException e(L"GetRate : pMediaSeeking == NULL", 0, L".\\CDirectShow", 530);
    EXPECT_EQ(e.message, L"GetRate : pMediaSeeking == NULL");
    EXPECT_EQ(e.number, 0);
    EXPECT_EQ(e.text, L"Error : GetRate : pMediaSeeking == NULL\r\nNumber : 0\r\n\r\nFile : .\\CDirectShow\r\nLine : 530");
}

TEST(ExceptionTest, FailingHresultIsWrittenSignedAndComparesEqual) {
    const CException e(L"timeGetDevCaps", static_cast<int32_t>(E_NOTIMPL), L".\\WndProc", 4333);
    EXPECT_NE(e.text.find(L"Number : -2147467263\r\n"), std::wstring::npos);
    EXPECT_EQ(e.number, E_NOTIMPL);
}

TEST(ExceptionTest, CopyIsIndependentOfItsSource) {
    auto* source = new CException(L"m", -1, L".\\a", 1);
    const CException copy(*source);
    const std::wstring text = source->text;
    delete source;
    EXPECT_EQ(copy.message, L"m");
    EXPECT_EQ(copy.number, -1);
    EXPECT_EQ(copy.text, text);
}

TEST(ExceptionTest, ThrowMacroNamesTheSourceRelativeToTheProject) {
    try {
        VELA_THROW(L"Error : CreateInstance MSXML2::DOMDocument", 0);
        FAIL() << "not thrown";
    } catch (const CException& e) {
        const std::wstring expectedLine = L"Line : " + std::to_wstring(__LINE__ - 3);
        EXPECT_NE(e.text.find(L"File : .\\tests\\foundation\\ExceptionTest\r\n"), std::wstring::npos) << e.text;
        EXPECT_EQ(e.text.substr(e.text.size() - expectedLine.size()), expectedLine);
    }
}
