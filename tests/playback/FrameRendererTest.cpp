#include "engine/FrameRenderer.h"

#include "foundation/AppSettings.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

BITMAPINFOHEADER Rgb32Header(LONG width, LONG height) {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biSizeImage = DibImageSize(width, height, 32);
    return header;
}

// The point the UI thread recorded (owner's client coordinates) reaches the comment drawing in frame
// pixels: through the video area and, unless the video fits the window, its letterbox. A 320 × 240
// frame in a 640 × 360 area at (10, 20) is letterboxed to x 80 to 560 of the area.
TEST(FrameRendererTest, TheRecordedMousePointReachesTheCommentDrawingInFramePixels) {
    struct Case {
        const char* name;
        bool fitWindow, mouseSelect, cursorHidden;
        std::optional<POINT> recorded;
        std::optional<POINT> expected;
    };
    const Case cases[] = {
        {"letterboxed", false, true, false, POINT{138, 56}, POINT{32, 24}},
        {"fitted to the window", true, true, false, POINT{138, 56}, POINT{64, 24}},
        {"centre, letterboxed", false, true, false, POINT{330, 200}, POINT{160, 120}},
        {"centre, fitted", true, true, false, POINT{330, 200}, POINT{160, 120}},
        {"nothing recorded", false, true, false, std::nullopt, std::nullopt},
        {"mouse selection off", true, false, false, POINT{138, 56}, std::nullopt},
        {"cursor hidden", false, true, true, POINT{138, 56}, std::nullopt},
    };
    AppSettings settings;
    settings.ViewComment = true;
    CFrameRenderer renderer(settings);
    renderer.SetVideoArea(RECT{10, 20, 650, 380});
    const BITMAPINFOHEADER header = Rgb32Header(320, 240);
    const std::vector<BYTE> held(header.biSizeImage, 0x40);
    std::vector<BYTE> output(header.biSizeImage);
    for (const Case& c : cases) {
        settings.MovieSizeFitWindow = c.fitWindow;
        settings.CommentMouseSelect = c.mouseSelect;
        renderer.SetCursorHidden(c.cursorHidden);
        renderer.SetMousePoint(c.recorded ? &*c.recorded : nullptr);
        bool drawn = false;
        std::optional<POINT> seen;
        renderer.SetCommentDrawing([&](const FrameBits&, int32_t, const POINT* mouse) {
            drawn = true;
            if (mouse != nullptr) {
                seen = *mouse;
            }
            return mouse != nullptr ? 7 : -1;
        });
        renderer.DrawFrame(held.data(), header, output.data(), header, 1000);
        ASSERT_TRUE(drawn) << c.name;
        ASSERT_EQ(seen.has_value(), c.expected.has_value()) << c.name;
        if (seen) {
            EXPECT_EQ(seen->x, c.expected->x) << c.name;
            EXPECT_EQ(seen->y, c.expected->y) << c.name;
        }
        EXPECT_EQ(renderer.GetCommentUnderMouse(), seen ? 7 : -1) << c.name;
    }
}

} // namespace
