#include "engine/FrameCommentDrawing.h"

#include "engine/CCommentFilter.h"
#include "engine/CommentFonts.h"
#include "engine/CommentLayout.h"
#include "engine/FrameCanvas.h"
#include "engine/CommentXml.h"
#include "foundation/AppSettings.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr BYTE kGuard = 0xEE;
constexpr size_t kGuardBytes = 64;

// A frame in memory with guard bytes round it; bottom-up (negative stride) as the filter's pictures.
class TestFrame {
public:
    TestFrame(int32_t width, int32_t height, WORD bitCount, BYTE fill) {
        const ptrdiff_t stride = ((width * bitCount + 31) / 32) * 4;
        m_bytes.assign(kGuardBytes * 2 + static_cast<size_t>(stride) * height, kGuard);
        std::fill(m_bytes.begin() + kGuardBytes, m_bytes.end() - kGuardBytes, fill);
        m_bits.width = width;
        m_bits.height = height;
        m_bits.bitCount = bitCount;
        m_bits.stride = -stride;
        m_bits.top = m_bytes.data() + kGuardBytes + stride * (height - 1);
    }
    const FrameBits& Bits() const { return m_bits; }
    const BYTE* At(int32_t x, int32_t y) const { return m_bits.top + y * m_bits.stride + x * (m_bits.bitCount / 8); }
    bool GuardsIntact() const {
        return std::all_of(m_bytes.begin(), m_bytes.begin() + kGuardBytes, [](BYTE b) { return b == kGuard; }) &&
               std::all_of(m_bytes.end() - kGuardBytes, m_bytes.end(), [](BYTE b) { return b == kGuard; });
    }

private:
    std::vector<BYTE> m_bytes;
    FrameBits m_bits;
};

CommentTextBitmap SolidText(int32_t width, int32_t height, uint32_t pixel) {
    CommentTextBitmap text;
    text.width = width;
    text.height = height;
    text.pixels.assign(static_cast<size_t>(width) * height, pixel);
    text.first.assign(height, 0);
    text.last.assign(height, width);
    return text;
}

TEST(CommentTextBlendTest, PremultipliedPixelsBlendAtTheirPlaceScaledByAlphaAndClipped) {
    struct Case {
        const char* name;
        WORD bitCount;
        uint32_t pixel; // premultiplied BGRA
        uint32_t alpha;
        int32_t x, y; // the comment's top left; the bitmap starts a margin before it
        BYTE blue, green, red;
    };
    // Over a frame of grey 100: opaque red replaces it, half-covered red keeps half of it.
    const Case cases[] = {
        {"opaque 32-bit", 32, 0xFFFF0000, 255, 10, 10, 0, 0, 255},
        {"opaque 24-bit", 24, 0xFFFF0000, 255, 10, 10, 0, 0, 255},
        {"half ink", 32, 0x80800000, 255, 10, 10, 50, 50, 178},
        {"half alpha", 24, 0xFFFF0000, 128, 10, 10, 50, 50, 178},
        {"no alpha", 32, 0xFFFF0000, 0, 10, 10, 100, 100, 100},
        {"off the top left", 32, 0xFFFF0000, 255, -3, -4, 0, 0, 255},
        {"off the bottom right", 24, 0xFFFF0000, 255, 37, 27, 0, 0, 255},
    };
    for (const Case& c : cases) {
        TestFrame frame(41, 31, c.bitCount, 100);
        const CommentTextBitmap text = SolidText(8, 6, c.pixel);
        BlendCommentText(frame.Bits(), text, c.x, c.y, c.alpha);
        EXPECT_TRUE(frame.GuardsIntact()) << c.name;
        const int32_t left = c.x - CommentTextBitmap::kMargin;
        const int32_t top = c.y - CommentTextBitmap::kMargin;
        for (int32_t y = 0; y < 31; ++y) {
            for (int32_t x = 0; x < 41; ++x) {
                const bool inside = x >= left && x < left + 8 && y >= top && y < top + 6;
                const BYTE* pixel = frame.At(x, y);
                const BYTE expected[3] = {inside ? c.blue : BYTE(100), inside ? c.green : BYTE(100),
                                          inside ? c.red : BYTE(100)};
                ASSERT_TRUE(std::equal(expected, expected + 3, pixel))
                    << c.name << " at " << x << "," << y << ": " << int(pixel[0]) << " " << int(pixel[1]) << " "
                    << int(pixel[2]);
            }
        }
    }
}

TEST(CommentTextBlendTest, TheFastBlendGivesThePixelByPixelBlendsBytes) {
    // Random premultiplied pixels (with blank runs, odd widths and ragged ink rows) over random frames,
    // at each alpha and at places that clip on every side.
    uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int round = 0; round < 40; ++round) {
        const int32_t width = 1 + static_cast<int32_t>(next() % 37);
        const int32_t height = 1 + static_cast<int32_t>(next() % 9);
        CommentTextBitmap text = SolidText(width, height, 0);
        for (uint32_t& pixel : text.pixels) {
            const uint32_t a = next() % 3 == 0 ? 0 : (next() % 4 == 0 ? 255 : next() % 256);
            const uint32_t scale = a;
            pixel = (a << 24) | ((next() % (scale + 1)) << 16) | ((next() % (scale + 1)) << 8) | (next() % (scale + 1));
        }
        for (int32_t y = 0; y < height; ++y) {
            text.first[y] = static_cast<int32_t>(next() % (width + 1));
            text.last[y] = text.first[y] + static_cast<int32_t>(next() % (width - text.first[y] + 1));
        }
        const uint32_t alpha = round % 4 == 0 ? 255 : next() % 256;
        const int32_t x = static_cast<int32_t>(next() % 60) - 20;
        const int32_t y = static_cast<int32_t>(next() % 30) - 10;
        TestFrame fast(41, 23, 32, 0);
        TestFrame scalar(41, 23, 32, 0);
        for (int32_t row = 0; row < 23; ++row) {
            for (int32_t column = 0; column < 41; ++column) {
                const uint32_t value = next();
                memcpy(const_cast<BYTE*>(fast.At(column, row)), &value, 4);
                memcpy(const_cast<BYTE*>(scalar.At(column, row)), &value, 4);
            }
        }
        BlendCommentText(fast.Bits(), text, x, y, alpha);
        BlendCommentText(scalar.Bits(), text, x, y, alpha, BlendPath::kScalar);
        ASSERT_TRUE(fast.GuardsIntact()) << round;
        for (int32_t row = 0; row < 23; ++row) {
            ASSERT_EQ(memcmp(fast.At(0, row), scalar.At(0, row), 41 * 4), 0) << "round " << round << " row " << row;
        }
    }
}

class FrameCommentDrawingTest : public testing_support::TempFolderTest {
protected:
    void Load(const std::vector<ChatData>& chats) {
        CommentDocument document;
        document.chats = chats;
        const std::wstring path = PathOf(L"comments.xml");
        ASSERT_TRUE(WriteCommentXml(path, document));
        ASSERT_TRUE(m_store.LoadCommentFile(path));
    }
    static ChatData Chat(const std::wstring& mail, const std::wstring& text) {
        ChatData chat;
        chat.vpos = 100;
        chat.mail = mail;
        chat.text = text;
        return chat;
    }
    std::vector<VisibleComment> Layout(int32_t time) {
        CommentLayout layout;
        layout.SetFrameSize(512, 384);
        std::vector<VisibleComment> visible;
        layout.GetVisibleComments(m_store, time, visible);
        return visible;
    }

    CCommentFilter m_filter;
    CommentControl m_store{m_filter};
    AppSettings m_settings;
};

struct InkCount {
    int colour = 0; // within 40 of the comment's colour on each channel
    int dark = 0;   // every channel below 64
};

InkCount CountInk(const TestFrame& frame, const VisibleComment& box, COLORREF colour) {
    InkCount count;
    for (int32_t y = std::max(0, box.y); y < std::min(384, box.y + box.height); ++y) {
        for (int32_t x = std::max(0, box.x); x < std::min(512, box.x + box.width); ++x) {
            const BYTE* p = frame.At(x, y);
            if (std::abs(p[0] - GetBValue(colour)) < 40 && std::abs(p[1] - GetGValue(colour)) < 40 &&
                std::abs(p[2] - GetRValue(colour)) < 40) {
                ++count.colour;
            }
            if (p[0] < 64 && p[1] < 64 && p[2] < 64) {
                ++count.dark;
            }
        }
    }
    return count;
}

TEST_F(FrameCommentDrawingTest, TextsAppearOutlinedAtTheLayoutsPlacesAndNowhereElse) {
    Load({Chat(L"ue", L"上のコメント"), Chat(L"shita red", L"下のコメント"), Chat(L"yellow big", L"流れるコメント")});
    const std::vector<VisibleComment> visible = Layout(1500);
    ASSERT_EQ(visible.size(), 3u);
    m_settings.ViewCommentLimit = false;

    // White video: white text must still read through its dark outline.
    TestFrame frame(512, 384, 32, 0xFF);
    CFrameCommentDrawing drawing;
    const POINT onFirst = {visible[0].x + visible[0].width / 2, visible[0].y + visible[0].height / 2};
    EXPECT_EQ(drawing.Draw(m_store, m_settings, frame.Bits(), 1500, &onFirst), visible[0].index);
    EXPECT_TRUE(frame.GuardsIntact());

    auto insideAny = [&](int32_t x, int32_t y) {
        return std::any_of(visible.begin(), visible.end(), [&](const VisibleComment& box) {
            const int32_t margin = CommentTextBitmap::kMargin;
            return x >= box.x - margin && x < box.x + box.width + margin && y >= box.y - margin &&
                   y < box.y + box.height + margin;
        });
    };
    for (const VisibleComment& box : visible) {
        const COLORREF colour = m_store.GetCommentRecord(box.index).color;
        const InkCount ink = CountInk(frame, box, colour);
        EXPECT_GT(ink.dark, 20) << "outline of comment " << box.index;
        if (colour != RGB(0xFF, 0xFF, 0xFF)) {
            EXPECT_GT(ink.colour, 20) << "text of comment " << box.index;
        }
    }
    int changedOutside = 0;
    for (int32_t y = 0; y < 384; ++y) {
        for (int32_t x = 0; x < 512; ++x) {
            const BYTE* p = frame.At(x, y);
            if (!insideAny(x, y) && (p[0] != 0xFF || p[1] != 0xFF || p[2] != 0xFF)) {
                ++changedOutside;
            }
        }
    }
    EXPECT_EQ(changedOutside, 0);

    POINT away = {0, 0};
    while (insideAny(away.x, away.y)) {
        ++away.y;
    }
    EXPECT_EQ(drawing.Draw(m_store, m_settings, frame.Bits(), 1500, &away), -1);
    EXPECT_EQ(drawing.Draw(m_store, m_settings, frame.Bits(), 1500, nullptr), -1);
}

TEST_F(FrameCommentDrawingTest, AMeasuredBoxHoldsEveryPixelOfItsText) {
    // Drawn with room to spare on every side, a text's ink lies within the box the layout got for it:
    // measured and drawn by the same GDI font, also for glyphs that reach before their origin or past
    // their advance, and for texts of several lines.
    const std::wstring texts[] = {L"コメント", L"jfy", L"W", L"ff", L"/j/", L"一行目\n二行目が長い\nj", L"  空白  "};
    const wchar_t* const families[] = {L"ＭＳ Ｐゴシック", L"Tahoma", L"Times New Roman"};
    const CommentFontSizes sizes[] = {CommentFontSizes{}, CommentFontSizes{40, 64, 8}};
    const AppSettings saved = GetAppSettings();
    for (const wchar_t* family : families) {
        for (const CommentFontSizes& size : sizes) {
            GetAppSettings().CommentFont = family;
            m_store.SetCommentFontSizes(size);
            std::vector<ChatData> chats;
            for (const std::wstring& text : texts) {
                for (const wchar_t* mail : {L"", L"big", L"small"}) {
                    chats.push_back(Chat(mail, text));
                }
            }
            Load(chats);
            CommentControl::Access access(m_store);
            for (const CommentRecord& record : access.Comments()) {
                SCOPED_TRACE(testing::Message() << testing::PrintToString(record.chat.text) << " "
                                                << testing::PrintToString(std::wstring(family)) << " "
                                                << record.fontSize);
                LOGFONTW logFont;
                std::wstring key;
                ASSERT_TRUE(DescribeCommentGdiFont(*record.font, logFont, key));
                CGdiObject<HFONT> font(CreateFontIndirectW(&logFont));
                constexpr int32_t kPad = 40;
                const int32_t width = record.width + 2 * kPad;
                const int32_t height = record.height + 2 * kPad;
                CFrameCanvas canvas;
                BITMAPINFOHEADER header = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
                ASSERT_TRUE(canvas.Prepare(header));
                memset(canvas.Bits(), 0, static_cast<size_t>(width) * height * 4);
                SetBkMode(canvas.Dc(), TRANSPARENT);
                SetTextColor(canvas.Dc(), RGB(255, 255, 255));
                const HGDIOBJ old = SelectObject(canvas.Dc(), font.Get());
                const RECT clip = {0, 0, width, height};
                DrawCommentTextAt(canvas.Dc(), kPad, kPad, record.chat.text, clip);
                SelectObject(canvas.Dc(), old);
                GdiFlush();
                const auto* pixels = reinterpret_cast<const uint32_t*>(canvas.Bits());
                int inkInside = 0;
                int inkOutside = 0;
                for (int32_t y = 0; y < height; ++y) {
                    for (int32_t x = 0; x < width; ++x) {
                        if ((pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF) == 0) {
                            continue;
                        }
                        const bool inside = x >= kPad && x < kPad + record.width && y >= kPad &&
                                            y < kPad + record.height;
                        ++(inside ? inkInside : inkOutside);
                    }
                }
                EXPECT_GT(inkInside, 0);
                EXPECT_EQ(inkOutside, 0);
            }
        }
    }
    GetAppSettings() = saved;
}

TEST_F(FrameCommentDrawingTest, CommentAlphaScalesTheText) {
    Load({Chat(L"ue red", L"透明度")});
    const std::vector<VisibleComment> visible = Layout(1500);
    ASSERT_EQ(visible.size(), 1u);
    struct Case {
        int32_t alpha;
        int minRed, maxRed; // the reddest pixel over black video
    };
    const Case cases[] = {{100, 250, 255}, {50, 100, 160}, {0, 0, 0}, {-20, 0, 0}, {250, 250, 255}};
    for (const Case& c : cases) {
        m_settings.CommentAlpha = c.alpha;
        TestFrame frame(512, 384, 24, 0);
        CFrameCommentDrawing drawing;
        drawing.Draw(m_store, m_settings, frame.Bits(), 1500, nullptr);
        int reddest = 0;
        for (int32_t y = visible[0].y; y < visible[0].y + visible[0].height; ++y) {
            for (int32_t x = visible[0].x; x < visible[0].x + visible[0].width; ++x) {
                reddest = std::max<int>(reddest, frame.At(x, y)[2]);
            }
        }
        EXPECT_GE(reddest, c.minRed) << c.alpha;
        EXPECT_LE(reddest, c.maxRed) << c.alpha;
    }
}

// The layout over the store keeps the store's draw start and its records' places current.
TEST_F(FrameCommentDrawingTest, TheLayoutOfTheStoreKeepsItsPlacesCurrent) {
    ChatData later = Chat(L"", L"あとのコメント");
    later.vpos = 900;
    Load({Chat(L"", L"ひとつめ"), Chat(L"ue", L"ふたつめ"), later});
    const std::vector<VisibleComment> visible = Layout(1500);
    ASSERT_EQ(visible.size(), 2u);
    for (const VisibleComment& box : visible) {
        const CommentRecord record = m_store.GetCommentRecord(box.index);
        EXPECT_EQ(record.x, box.x) << box.index;
        EXPECT_EQ(record.row, box.y) << box.index;
    }
    EXPECT_EQ(m_store.GetDrawStart(), 0);
    // At 9 s the first two have ended.
    ASSERT_EQ(Layout(9000).size(), 1u);
    EXPECT_EQ(m_store.GetDrawStart(), 2);
}

TEST_F(FrameCommentDrawingTest, EachTextIsDrawnOnceWhileItStaysOnScreen) {
    Load({Chat(L"", L"ひとつめ"), Chat(L"", L"ふたつめ"), Chat(L"ue", L"みっつめ")});
    m_settings.ViewCommentLimit = false;
    CFrameCommentDrawing drawing;
    TestFrame frame(512, 384, 32, 0);
    for (int32_t time = 1000; time < 3500; time += 33) {
        drawing.Draw(m_store, m_settings, frame.Bits(), time, nullptr);
    }
    EXPECT_EQ(drawing.RenderedTexts(), 3u);
    // Gone from the screen, a text leaves the cache; back on screen it is drawn again.
    drawing.Draw(m_store, m_settings, frame.Bits(), 9000, nullptr);
    drawing.Draw(m_store, m_settings, frame.Bits(), 1500, nullptr);
    EXPECT_EQ(drawing.RenderedTexts(), 6u);
    // A new generation of the store (a shift) names other records by the same indexes.
    ASSERT_TRUE(m_store.ShiftCommentTimes(100));
    drawing.Draw(m_store, m_settings, frame.Bits(), 1500, nullptr);
    EXPECT_EQ(drawing.RenderedTexts(), 9u);
}

} // namespace
