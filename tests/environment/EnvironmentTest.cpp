// The test machine as the programs expect it, and the test helpers that the other tests stand on.

#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

TEST(EnvironmentTest, AnsiCodePageIsJapanese) {
    EXPECT_EQ(GetACP(), 932u);
    EXPECT_EQ(PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID())), LANG_JAPANESE);
}

int CALLBACK CountFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return 1;
}

TEST(EnvironmentTest, JapaneseFontIsInstalled) {
    HDC dc = GetDC(nullptr);
    LOGFONTW query = {};
    query.lfCharSet = SHIFTJIS_CHARSET;
    int count = 0;
    EnumFontFamiliesExW(dc, &query, CountFont, reinterpret_cast<LPARAM>(&count), 0);
    ReleaseDC(nullptr, dc);
    EXPECT_GT(count, 0);
}

bool g_delivered = false;

LRESULT CALLBACK DeliveryProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        g_delivered = true;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(EnvironmentTest, PumpMessagesUntilDispatchesAndHonoursTheDeadline) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DeliveryProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PumpTestWindow";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(L"PumpTestWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    PostMessageW(window, WM_APP, 0, 0);
    EXPECT_TRUE(PumpMessagesUntil([] { return g_delivered; }));
    DestroyWindow(window);

    // A condition that never holds: false once the time-out has passed (how much later depends on the
    // machine's load, so only the lower bound is the helper's).
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(PumpMessagesUntil([] { return false; }, 200));
    EXPECT_GE(GetTickCount64() - start, 190u);
}

TEST(EnvironmentTest, AnswererReadsJapaneseBoxesAndPressesTheChosenButtons) {
    MessageBoxAnswerer answerer({IDNO, IDYES});
    const int first = MessageBoxW(nullptr, L"よろしいですか？\n二行目", L"VelaPlayer", MB_YESNO | MB_ICONQUESTION);
    const int second = MessageBoxW(nullptr, L"削除します", L"確認", MB_YESNO);
    EXPECT_EQ(first, IDNO);
    EXPECT_EQ(second, IDYES);
    ASSERT_TRUE(answerer.WaitForCount(2));
    const auto seen = answerer.Seen();
    EXPECT_EQ(seen[0].caption, L"VelaPlayer");
    EXPECT_EQ(seen[0].text, L"よろしいですか？\n二行目");
    EXPECT_EQ(seen[0].pressed, IDNO);
    EXPECT_EQ(seen[1].caption, L"確認");
    EXPECT_EQ(seen[1].text, L"削除します");
}

TEST(EnvironmentTest, AnswererClosesABoxThatLacksTheButtonAndSaysSo) {
    struct Case {
        UINT type;
        int asked;
        int result;
    };
    const Case cases[] = {
        {MB_OK, IDYES, IDOK},
        {MB_YESNO, IDOK, IDNO},
        {MB_YESNOCANCEL, IDOK, IDCANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        MessageBoxAnswerer answerer({c.asked});
        EXPECT_EQ(MessageBoxW(nullptr, L"お知らせ", L"VelaPlayer", c.type), c.result);
        ASSERT_TRUE(answerer.WaitForCount(1));
        EXPECT_EQ(answerer.Seen()[0].pressed, -1);
    }
}

class TempFolderFixtureTest : public TempFolderTest {};

std::wstring g_lastFolder;

TEST_F(TempFolderFixtureTest, FolderExistsAndIsEmpty) {
    g_lastFolder = Folder();
    EXPECT_EQ(GetFileAttributesW(Folder().c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    WriteBytes(PathOf(L"日本語.txt"), "abc");
    CreateDirectoryW(PathOf(L"sub").c_str(), nullptr);
    WriteBytes(PathOf(L"sub\\x.bin"), std::string("\0\1", 2));
    EXPECT_EQ(ReadBytes(PathOf(L"日本語.txt")), "abc");
    EXPECT_EQ(ReadBytes(PathOf(L"sub\\x.bin")), std::string("\0\1", 2));
}

TEST_F(TempFolderFixtureTest, FolderOfThePreviousTestIsGone) {
    ASSERT_FALSE(g_lastFolder.empty());
    EXPECT_EQ(GetFileAttributesW(g_lastFolder.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(Folder(), g_lastFolder);
}

} // namespace
