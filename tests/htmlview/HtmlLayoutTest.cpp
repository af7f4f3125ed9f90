#include "platform/htmlview/HtmlLayout.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// Every character half the font size wide; lines the size and 4 pixels high.
class FixedMeasure : public ILayoutMeasure {
public:
    int TextWidth(const TextStyle& style, const wchar_t*, size_t length) override {
        return static_cast<int>(length) * style.size / 2;
    }
    int LineHeight(const TextStyle& style) override { return style.size + 4; }
    SIZE ImageSize(const std::wstring& src) override {
        auto found = images.find(src);
        return found == images.end() ? SIZE{0, 0} : found->second;
    }
    std::map<std::wstring, SIZE> images;
};

struct Laid {
    HtmlDocument document;
    PageLayout page;
};

PageLayout Layout(const std::wstring& html, int width = 400, FixedMeasure* measure = nullptr) {
    FixedMeasure fixed;
    HtmlDocument document;
    document.Parse(html);
    return LayoutPage(document.Body(), width, measure ? *measure : fixed);
}

std::vector<std::wstring> LineTexts(const PageLayout& page) {
    std::vector<std::wstring> texts;
    for (const LayoutLine& line : page.lines) {
        std::wstring text;
        for (const LayoutRun& run : line.runs) {
            text += run.kind == LayoutRun::Kind::Image ? L"[img]" : run.kind == LayoutRun::Kind::Rule ? L"[hr]" : run.text;
        }
        texts.push_back(text);
    }
    return texts;
}

TEST(HtmlLayout, BlocksBreaksListsAndTablesMakeTheLinesAndTheCopiedText) {
    struct Case {
        const wchar_t* html;
        std::vector<std::wstring> lines;
        const wchar_t* text;
    } cases[] = {
        {L"<p>one  two\n three</p><p>four</p>", {L"one two three", L"four"}, L"one two three\r\nfour"},
        {L"a<br>b<br><br>c", {L"a", L"b", L"", L"c"}, L"a\r\nb\r\nc"},
        {L"<h1>Title</h1>text", {L"Title", L"text"}, L"Title\r\ntext"},
        {L"<ul><li>x<li>y</ul><ol><li>p<li>q</ol>", {L"\x30FBx", L"\x30FBy", L"1. p", L"2. q"},
         L"\x30FBx\r\n\x30FBy\r\n1. p\r\n2. q"},
        {L"<table><tr><th>k</th><td>v</td></tr><tr><td>a</td><td>b</td></tr></table>", {L"kv", L"ab"},
         L"k\tv\r\na\tb"},
        {L"<pre>x  y\n  z</pre>", {L"x  y", L"  z"}, L"x  y\r\n  z"},
        {L"shown<div id=\"exchange\" style=\"display: none;\">hidden</div><script>code()</script>", {L"shown"},
         L"shown"},
        {L"<head><title>t</title><style>p{}</style></head><body>b</body>", {L"b"}, L"b"},
        {L"x<hr>y", {L"x", L"[hr]", L"y"}, L"x\r\ny"},
    };
    for (const Case& c : cases) {
        PageLayout page = Layout(c.html);
        EXPECT_EQ(LineTexts(page), c.lines) << c.html;
        EXPECT_EQ(page.text, c.text) << c.html;
    }
}

TEST(HtmlLayout, StylesOfHeadingsFontsBoldAndLinks) {
    PageLayout page = Layout(L"<body text=\"#202020\" bgcolor=\"#ffffee\"><h2>H</h2><b>B</b><font size=5 color=red>F</font>"
                             L"<span style=\"color:#00f; font-size: 12pt\">S</span><a href=\"velaplayer:x\">L</a></body>");
    ASSERT_EQ(page.lines.size(), 2u);
    const LayoutRun& heading = page.lines[0].runs[0];
    EXPECT_TRUE(heading.style.bold);
    EXPECT_EQ(heading.style.size, 24);
    ASSERT_EQ(page.lines[1].runs.size(), 4u);
    const auto& runs = page.lines[1].runs;
    EXPECT_TRUE(runs[0].style.bold);
    EXPECT_EQ(runs[0].style.color, RGB(0x20, 0x20, 0x20));
    EXPECT_EQ(runs[1].style.size, 24);
    EXPECT_EQ(runs[1].style.color, RGB(255, 0, 0));
    EXPECT_EQ(runs[2].style.size, 16);
    EXPECT_EQ(runs[2].style.color, RGB(0, 0, 255));
    EXPECT_EQ(runs[3].href, L"velaplayer:x");
    EXPECT_TRUE(runs[3].style.underline);
    EXPECT_EQ(page.background, RGB(255, 255, 0xee));
    EXPECT_EQ(runs[1].x, runs[0].x + runs[0].width) << "runs follow each other";
    EXPECT_EQ(page.lines[1].height, 28) << "a line is as high as its highest run";
}

TEST(HtmlLayout, TextWrapsAtBlanksAndBetweenJapaneseCharacters) {
    // 16 px text: 8 px a character; 100 px page = 84 px of line = 10 characters.
    PageLayout words = Layout(L"aaaa bbbb cccc dddd", 100);
    EXPECT_EQ(LineTexts(words), (std::vector<std::wstring>{L"aaaa bbbb ", L"cccc dddd"}));
    EXPECT_EQ(words.text, L"aaaa bbbb cccc dddd") << "a soft wrap is no line end";

    PageLayout japanese = Layout(L"\x3042\x3044\x3046\x3048\x304A\x304B\x304D\x304F\x3051\x3053\x3055\x3057", 100);
    ASSERT_EQ(japanese.lines.size(), 2u);
    EXPECT_EQ(japanese.lines[0].runs[0].text.size(), 10u);

    PageLayout longWord = Layout(L"x " + std::wstring(25, L'w'), 100);
    EXPECT_EQ(LineTexts(longWord), (std::vector<std::wstring>{L"x ", std::wstring(10, L'w'), std::wstring(10, L'w'),
                                                              std::wstring(5, L'w')}));
    for (const LayoutLine& line : longWord.lines) {
        for (const LayoutRun& run : line.runs) {
            EXPECT_LE(run.x + run.width, 100 - kPageMargin);
        }
    }
}

TEST(HtmlLayout, ImagesTakeTheirSizeOrTheGivenOne) {
    FixedMeasure measure;
    measure.images[L"thumb.jpg"] = SIZE{130, 100};
    PageLayout page = Layout(L"<a href=\"http://x/\"><img src=\"thumb.jpg\"></a><img src=thumb.jpg width=65>"
                             L"<img src=\"missing.png\">", 400, &measure);
    ASSERT_EQ(page.lines.size(), 1u);
    const auto& runs = page.lines[0].runs;
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].width, 130);
    EXPECT_EQ(runs[0].height, 100);
    EXPECT_EQ(runs[0].href, L"http://x/");
    EXPECT_EQ(runs[1].width, 65);
    EXPECT_EQ(runs[1].height, 50);
    EXPECT_EQ(runs[2].width, 16);
    EXPECT_EQ(page.lines[0].height, 100);
}

TEST(HtmlLayout, PointsFindRunsAndPlacesInTheText) {
    FixedMeasure measure;
    HtmlDocument document;
    document.Parse(L"<p>hello <a href=\"next.html\">link</a></p><p>second</p>");
    PageLayout page = LayoutPage(document.Body(), 400, measure);
    ASSERT_EQ(page.lines.size(), 2u);
    const int y0 = page.lines[0].y + 5, y1 = page.lines[1].y + 5;
    const LayoutRun* link = page.RunAt(kPageMargin + 6 * 8 + 3, y0);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->href, L"next.html");
    EXPECT_EQ(page.RunAt(kPageMargin + 2, y0)->href, L"");
    EXPECT_EQ(page.RunAt(390, y0), nullptr);

    EXPECT_EQ(page.TextIndexAt(measure, 0, 0), 0u);
    EXPECT_EQ(page.TextIndexAt(measure, kPageMargin + 2 * 8 + 1, y0), 2u);
    EXPECT_EQ(page.TextIndexAt(measure, 390, y0), 10u) << "right of a line: its end";
    EXPECT_EQ(page.TextIndexAt(measure, kPageMargin + 3 * 8, y1), 15u);
    EXPECT_EQ(page.TextIndexAt(measure, 0, 10000), page.text.size());
    EXPECT_EQ(page.text.substr(12, 6), L"second");
}

TEST(HtmlLayout, FragmentsNestedIntoTheDeepestElementAgainAndAgainStillLayOut) {
    HtmlDocument document;
    document.Parse(L"<p id=\"d0\">top</p>");
    for (int round = 0; round < 12; ++round) {
        std::wstring fragment;
        for (int i = 0; i < HtmlDocument::kMaxDepth; ++i) {
            fragment += L"<span>";
        }
        fragment += L"<b id=\"d" + std::to_wstring(round + 1) + L"\">deep</b>";
        HtmlNode* deepest = document.FindById(L"d" + std::to_wstring(round));
        ASSERT_NE(deepest, nullptr);
        HtmlDocument::SetInnerHtml(*deepest, fragment);
    }
    FixedMeasure measure;
    PageLayout page = LayoutPage(document.Body(), 400, measure);
    EXPECT_LT(page.text.size(), 4u * 12) << "text nested past the drawing depth is not drawn; nothing crashes";
    EXPECT_FALSE(HtmlDocument::InnerHtml(document.Root()).empty());
}

}  // namespace
