// The menu state of the main window while full screen has taken the menu bar off the window: a window
// of the test stands in for the main window (menus of another process cannot be read under Wine).

#include "app/MainWindow.h"
#include "app/resource.h"
#include "foundation/AppSettings.h"
#include "foundation/MainWindowMessages.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(MainMenuStateTest, MenuBarOffTheWindowFollowsTheSettings) {
    const AppSettings saved = GetAppSettings();
    HMENU bar = CreateMenu();
    HMENU view = CreatePopupMenu();
    AppendMenuW(view, MF_STRING | MF_CHECKED, IDM_VIEW_COMMENT, L"コメント");
    AppendMenuW(view, MF_STRING, IDM_OFFLINE_MODE, L"オフライン");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), L"表示");
    HWND window = CreateWindowW(L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, bar, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    SetMainWindow(window);
    SetMainMenuBar(bar);
    // As full screen leaves it.
    SetMenu(window, nullptr);

    GetAppSettings().ViewComment = false;
    GetAppSettings().OfflineMode = true;
    UpdateMainMenuAndState();
    EXPECT_EQ(GetMenuState(bar, IDM_VIEW_COMMENT, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(GetMenuState(bar, IDM_OFFLINE_MODE, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));

    SetMainMenuBar(nullptr);
    SetMainWindow(nullptr);
    DestroyWindow(window);
    DestroyMenu(bar);
    GetAppSettings() = saved;
}

} // namespace
