#include "foundation/CStatusBar.h"

#include "foundation/CWndBase.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace {

// Counts the texts that reach the status window.
class SetTextCounter : public CWndBase {
public:
    int sent = 0;
    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == SB_SETTEXTW) {
            ++sent;
        }
        return DefaultProc(window, message, wParam, lParam);
    }
};

std::wstring PartText(HWND status, int part) {
    const LRESULT length = SendMessageW(status, SB_GETTEXTLENGTHW, part, 0);
    std::wstring text(LOWORD(length) + 1, L'\0');
    SendMessageW(status, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(LOWORD(length));
    return text;
}

class CStatusBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(m_bar.CreateStatusBar(m_parent, {110, 250, -1}));
    }
    void TearDown() override { DestroyWindow(m_parent); }

    HWND m_parent = nullptr;
    CStatusBar m_bar;
};

} // namespace

TEST_F(CStatusBarTest, CreatesAChildStatusWindowWithTheGivenPartEdges) {
    ASSERT_NE(m_bar.m_hWnd, nullptr);
    EXPECT_EQ(GetParent(m_bar.m_hWnd), m_parent);
    EXPECT_EQ(GetDlgCtrlID(m_bar.m_hWnd), 1);
    int edges[4] = {};
    ASSERT_EQ(SendMessageW(m_bar.m_hWnd, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 3);
    EXPECT_EQ(edges[0], 110);
    EXPECT_EQ(edges[1], 250);
    EXPECT_EQ(edges[2], -1);
    EXPECT_EQ(m_bar.m_partTexts, std::vector<std::wstring>(3));
}

TEST_F(CStatusBarTest, SetStatusPartTextSendsOnlyChanges) {
    SetTextCounter counter;
    ASSERT_TRUE(CWndBase::Attach(m_bar.m_hWnd, &counter));
    struct Step {
        int part;
        const wchar_t* text;
        bool sent;
    };
    const Step steps[] = {
        {0, L"", false},
        {0, L" 12 / 345", true},
        {0, L" 12 / 345", false},
        {1, L" 【コメント】動画タイトル.flv", true},
        {0, L"  - / 345", true},
        {1, L" 【コメント】動画タイトル.flv", false},
        {2, L"クリップボード解析中...", true},
        {2, L"", true},
    };
    for (const Step& step : steps) {
        const int before = counter.sent;
        EXPECT_TRUE(m_bar.SetStatusPartText(step.part, step.text));
        EXPECT_EQ(counter.sent - before, step.sent ? 1 : 0) << step.part;
        EXPECT_EQ(PartText(m_bar.m_hWnd, step.part), step.text);
        EXPECT_EQ(m_bar.m_partTexts[step.part], step.text);
    }

    // SB_SETTEXTW reads bits above the low byte as drawing flags.
    const int before = counter.sent;
    EXPECT_FALSE(m_bar.SetStatusPartText(256, L"x"));
    EXPECT_FALSE(m_bar.SetStatusPartText(-1, L"x"));
    EXPECT_EQ(counter.sent, before);
}
