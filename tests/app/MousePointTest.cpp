// The mouse point the main window records for the comment drawing: a real graph's video window in a
// window of the test, and the real cursor moved over it.

#include "app/MainWindow.h"
#include "engine/CDirectShow.h"
#include "foundation/AppSettings.h"
#include "foundation/PathUtil.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

const wchar_t kOwnerClass[] = L"MousePointTestOwner";

class MousePointTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = GetAppSettings();
        GetAppSettings().MovieSizeFitWindow = true;
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kOwnerClass;
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        RegisterClassW(&wc);
        // Topmost, so that no other window of the run lies under the cursor.
        m_owner = CreateWindowExW(WS_EX_TOPMOST, kOwnerClass, L"owner", WS_POPUP | WS_CLIPCHILDREN | WS_VISIBLE, 40, 40,
                                  400, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(m_owner, nullptr);
    }
    void TearDown() override {
        CDirectShow& graph = GetDirectShow();
        graph.HideVideoCursor(false);
        graph.CloseFilterGraph();
        graph.SetMousePoint(nullptr);
        DestroyWindow(m_owner);
        GetAppSettings() = m_saved;
    }

    // Moves the cursor to the point of the owner's client area and waits until the system reports it there.
    static bool MoveCursor(HWND owner, POINT client) {
        ClientToScreen(owner, &client);
        SetCursorPos(client.x, client.y);
        return PumpMessagesUntil([&] {
            POINT now = {};
            return GetCursorPos(&now) && now.x == client.x && now.y == client.y;
        });
    }

    HWND m_owner = nullptr;

private:
    AppSettings m_saved;
};

TEST_F(MousePointTest, RecordedOnlyWhileTheShownCursorIsOverTheVideo) {
    CDirectShow& graph = GetDirectShow();
    ASSERT_NO_THROW(graph.OpenMovie(GetProgramFolder() + L"\\app-samples\\short.mp4", m_owner));
    // The video takes the upper half; the lower half is the owner's own.
    graph.SetVideoArea({0, 0, 400, 150});
    graph.FitVideoWindow();
    graph.Pause();
    const HWND video = graph.GetVideoChildWindow();
    ASSERT_NE(video, nullptr);
    ASSERT_TRUE(PumpMessagesUntil([&] { return IsWindowVisible(video) != FALSE; }));

    struct Case {
        const char* name;
        bool mouseSelect;
        bool cursorHidden;
        POINT cursor;
        bool recorded;
    };
    const Case cases[] = {
        {"over the video", true, false, {100, 60}, true},
        {"picking with the mouse is off", false, false, {100, 60}, false},
        {"the video cursor is hidden", true, true, {100, 60}, false},
        {"over the owner beside the video", true, false, {100, 250}, false},
    };
    for (const Case& c : cases) {
        GetAppSettings().CommentMouseSelect = c.mouseSelect;
        graph.HideVideoCursor(c.cursorHidden);
        ASSERT_TRUE(MoveCursor(m_owner, c.cursor)) << c.name;
        // A point left from before must not survive the recording.
        const POINT stale = {-7, -7};
        graph.SetMousePoint(&stale);

        RecordMousePoint(m_owner);
        POINT recorded = {};
        ASSERT_EQ(graph.GetMousePoint(recorded), c.recorded) << c.name;
        if (c.recorded) {
            EXPECT_EQ(recorded.x, c.cursor.x) << c.name;
            EXPECT_EQ(recorded.y, c.cursor.y) << c.name;
        }
    }
}

} // namespace
