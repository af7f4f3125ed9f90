#include "foundation/CToolTip.h"

#include "foundation/CWndBase.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>

namespace {

TOOLINFOW ToolInfo(HWND control, wchar_t* text) {
    TOOLINFOW info = {};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = control;
    info.lpszText = text;
    return info;
}

class CToolTipTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&init);
        m_owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 100, 100, 400, 300, nullptr, nullptr, nullptr, nullptr);
        m_button = CreateWindowExW(0, L"BUTTON", L"追加", WS_CHILD | WS_VISIBLE, 20, 20, 120, 40, m_owner, nullptr,
                                   nullptr, nullptr);
        ASSERT_NE(m_button, nullptr);
    }
    void TearDown() override { DestroyWindow(m_owner); }

    HWND m_owner = nullptr;
    HWND m_button = nullptr;
};

} // namespace

TEST_F(CToolTipTest, ToolTipIsAnOwnedBalloonAsWideAsTheScreen) {
    CToolTip tip;
    ASSERT_TRUE(tip.Create(m_owner));
    const HWND window = tip.GetWindowHandle();
    EXPECT_EQ(GetWindow(window, GW_OWNER), m_owner);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    EXPECT_EQ(std::wstring(className), L"tooltips_class32");
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(style & (TTS_ALWAYSTIP | TTS_BALLOON), TTS_ALWAYSTIP | TTS_BALLOON);
    EXPECT_EQ(SendMessageW(window, TTM_GETMAXTIPWIDTH, 0, 0), GetSystemMetrics(SM_CXSCREEN));
}

TEST_F(CToolTipTest, WindowToolCoversTheClientRectangleAndShowsOnHover) {
    const LONG_PTR original = GetWindowLongPtrW(m_button, GWLP_WNDPROC);
    {
        CToolTip tip;
        ASSERT_TRUE(tip.Create(m_owner));
        ASSERT_TRUE(tip.AddWindowTool(m_button, L"動画ファイルをダウンロードする"));
        const HWND window = tip.GetWindowHandle();
        ASSERT_EQ(SendMessageW(window, TTM_GETTOOLCOUNT, 0, 0), 1);
        wchar_t text[1024] = {};
        TOOLINFOW info = ToolInfo(nullptr, text);
        ASSERT_TRUE(SendMessageW(window, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&info)));
        EXPECT_EQ(info.hwnd, m_button);
        EXPECT_EQ(std::wstring(text), L"動画ファイルをダウンロードする");
        RECT client = {};
        GetClientRect(m_button, &client);
        EXPECT_TRUE(EqualRect(&info.rect, &client));
        EXPECT_NE(CWndBase::FromWindow(m_button), nullptr);

        // The rectangle follows the control's size.
        SetWindowPos(m_button, nullptr, 0, 0, 200, 50, SWP_NOMOVE | SWP_NOZORDER);
        TOOLINFOW resized = ToolInfo(nullptr, text);
        SendMessageW(window, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&resized));
        EXPECT_EQ(resized.rect.right, 200);
        EXPECT_EQ(resized.rect.bottom, 50);

        // The relayed mouse messages make the tip show.
        ShowWindow(m_owner, SW_SHOWNOACTIVATE);
        SendMessageW(window, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(1, 0));
        POINT centre = {100, 25};
        ClientToScreen(m_button, &centre);
        // A move onto the spot where the cursor already is makes no mouse message.
        SetCursorPos(0, 0);
        SetCursorPos(centre.x, centre.y);
        EXPECT_TRUE(testing_support::PumpMessagesUntil([&] { return IsWindowVisible(window) != FALSE; }));
    }
    EXPECT_EQ(CWndBase::FromWindow(m_button), nullptr);
    EXPECT_EQ(GetWindowLongPtrW(m_button, GWLP_WNDPROC), original);
}

TEST_F(CToolTipTest, ControlWithAnObjectOfItsOwnStillGetsItsTool) {
    CWndBase own;
    ASSERT_TRUE(CWndBase::Attach(m_button, &own));
    CToolTip tip;
    ASSERT_TRUE(tip.Create(m_owner));
    ASSERT_TRUE(tip.AddWindowTool(m_button, L"ダウンロードを開始します"));
    EXPECT_EQ(SendMessageW(tip.GetWindowHandle(), TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_EQ(CWndBase::FromWindow(m_button), &own);
}

TEST(SetupListToolTipsTest, ListTipIsTopmostWithItsColoursAndDelay) {
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    const HWND parent =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    const HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 300, 200, parent,
                                      nullptr, nullptr, nullptr);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_INFOTIP | LVS_EX_CHECKBOXES);
    ASSERT_TRUE(SetupListToolTips(list));
    const HWND tip = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETTOOLTIPS, 0, 0));
    EXPECT_NE(GetWindowLongPtrW(tip, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(SendMessageW(tip, TTM_GETTIPBKCOLOR, 0, 0), 0xAC7859);
    EXPECT_EQ(SendMessageW(tip, TTM_GETTIPTEXTCOLOR, 0, 0), 0xFFFFFF);
    EXPECT_EQ(SendMessageW(tip, TTM_GETDELAYTIME, TTDT_INITIAL, 0), 1);
    DestroyWindow(parent);
}
