#include "CWndDownload/DownloadClipboard.h"

#include "foundation/Clipboard.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace testing_support;

namespace {

TEST(DownloadClipboardTest, TextIsReadUpToTheLimitAndTheClipboardIsClosed) {
    HWND window = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    struct Case {
        size_t characters;
        bool read;
    };
    // The size counts the terminating zero.
    const size_t limitCharacters = kClipboardTextLimitBytes / sizeof(wchar_t) - 1;
    const Case cases[] = {{5, true}, {limitCharacters, true}, {limitCharacters + 1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.characters);
        const std::wstring text(c.characters, L'あ');
        ASSERT_TRUE(OpenClipboard(window));
        ASSERT_TRUE(SetClipboardText(text));
        ClearLog();
        std::wstring buffer = L"before";
        ASSERT_TRUE(OpenClipboard(window));
        GetClipboardText(buffer);
        EXPECT_EQ(buffer, c.read ? text : L"before");
        const std::wstring log = LogText();
        EXPECT_NE(log.find(L"クリップボードサイズ = " + std::to_wstring((c.characters + 1) * sizeof(wchar_t))),
                  std::wstring::npos)
            << log;
        EXPECT_EQ(log.find(L"クリップボードテキストのサイズが制限値を超えています(256000)") != std::wstring::npos, !c.read)
            << log;
        EXPECT_TRUE(OpenClipboard(window)) << "closed again";
        CloseClipboard();
    }
    DestroyWindow(window);
}

} // namespace
