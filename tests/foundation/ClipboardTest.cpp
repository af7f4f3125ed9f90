#include "foundation/Clipboard.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

TEST(ClipboardTest, SetClipboardTextReplacesTheContentsWithTheTextAndClosesTheClipboard) {
    HWND window = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const UINT otherFormat = RegisterClipboardFormatW(L"VelaClipboardTestFormat");
    ASSERT_TRUE(OpenClipboard(window));
    EmptyClipboard();
    HGLOBAL other = GlobalAlloc(GMEM_MOVEABLE, 4);
    ASSERT_NE(SetClipboardData(otherFormat, other), nullptr);
    CloseClipboard();

    const std::wstring text = L"動画ID sm9\r\nコメント「テスト」";
    ASSERT_TRUE(OpenClipboard(window));
    EXPECT_TRUE(SetClipboardText(text));
    EXPECT_EQ(GetOpenClipboardWindow(), nullptr) << "left open";

    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_FALSE(IsClipboardFormatAvailable(otherFormat)) << "not emptied";
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(data, nullptr);
    const auto* read = static_cast<const wchar_t*>(GlobalLock(data));
    EXPECT_EQ(std::wstring(read), text);
    GlobalUnlock(data);
    CloseClipboard();
    DestroyWindow(window);
}
