#include "platform/htmlview/EmbeddedPage.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using testing_support::PumpMessagesUntil;

namespace {

class RecordingEvents : public IEmbeddedPageEvents {
public:
    bool OnBeforeNavigate(const std::wstring& target) override {
        before.push_back(target);
        return cancel(target);
    }
    void OnDocumentComplete(const std::wstring& target) override { complete.push_back(target); }

    std::function<bool(const std::wstring&)> cancel = [](const std::wstring&) { return false; };
    std::vector<std::wstring> before;
    std::vector<std::wstring> complete;
};

std::string Utf16File(const std::wstring& text) {
    std::string bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return bytes;
}

// A 24-bit bottom-up BMP of one colour.
std::string SolidBmp(int width, int height, COLORREF color) {
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + stride * height;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    std::string row(static_cast<size_t>(stride), '\0');
    for (int x = 0; x < width; ++x) {
        row[x * 3] = static_cast<char>(GetBValue(color));
        row[x * 3 + 1] = static_cast<char>(GetGValue(color));
        row[x * 3 + 2] = static_cast<char>(GetRValue(color));
    }
    for (int y = 0; y < height; ++y) {
        bytes += row;
    }
    return bytes;
}

std::wstring ClipboardText(HWND window) {
    std::wstring text;
    if (!OpenClipboard(window)) {
        return L"<clipboard not opened>";
    }
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

class EmbeddedPageTest : public testing_support::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        m_host.Reset(CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 420, 320, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(m_host);
        RECT place{0, 0, 400, 300};
        m_page = CreateEmbeddedPage(m_host.Get(), place, &m_events);
        ASSERT_NE(m_page, nullptr);
    }
    void TearDown() override {
        m_page.reset();
        m_host.Reset();
        TempFolderTest::TearDown();
    }

    // Writes the page as the page builder does (UTF-16LE with a byte-order mark) and shows it.
    std::wstring ShowPage(const std::wstring& name, const std::wstring& html) {
        const std::wstring path = PathOf(name);
        WriteBytes(path, Utf16File(html));
        const size_t completed = m_events.complete.size();
        EXPECT_TRUE(m_page->Navigate(path));
        EXPECT_TRUE(PumpMessagesUntil([&] { return m_events.complete.size() > completed; }));
        return path;
    }

    void Click(int x, int y) {
        const LPARAM point = MAKELPARAM(x, y);
        SendMessageW(m_page->GetWindow(), WM_LBUTTONDOWN, MK_LBUTTON, point);
        SendMessageW(m_page->GetWindow(), WM_LBUTTONUP, 0, point);
    }

    RecordingEvents m_events;
    CWindowHandle m_host;
    std::unique_ptr<IEmbeddedPage> m_page;
};

TEST_F(EmbeddedPageTest, TheWindowIsAChildOfTheHostWithTheBrowsersClassName) {
    wchar_t name[64] = {};
    GetClassNameW(m_page->GetWindow(), name, 64);
    EXPECT_STREQ(name, L"Internet Explorer_Server");
    EXPECT_EQ(GetParent(m_page->GetWindow()), m_host.Get());
    EXPECT_TRUE(GetWindowLongW(m_page->GetWindow(), GWL_STYLE) & WS_CHILD);
}

TEST_F(EmbeddedPageTest, NavigationAsksFirstAndCompletesLaterWithTheTargetAsGiven) {
    const std::wstring path = PathOf(L"temp.html");
    WriteBytes(path, Utf16File(L"<html><body><p id=\"p\">\x52D5\x753B</p></body></html>"));
    ASSERT_TRUE(m_page->Navigate(path));
    EXPECT_EQ(m_events.before, std::vector<std::wstring>{path});
    EXPECT_TRUE(m_events.complete.empty()) << "the load completes from the message loop, not inside Navigate";
    ASSERT_TRUE(PumpMessagesUntil([&] { return !m_events.complete.empty(); }));
    EXPECT_EQ(m_events.complete, std::vector<std::wstring>{path});
    std::wstring html;
    EXPECT_TRUE(m_page->GetInnerHTML(L"p", html));
    EXPECT_EQ(html, L"\x52D5\x753B");

    m_events.cancel = [](const std::wstring&) { return true; };
    EXPECT_FALSE(m_page->Navigate(PathOf(L"other.html")));
    EXPECT_EQ(m_page->GetLocation(), path) << "a cancelled navigation leaves the page";
    testing_support::PumpMessagesFor(100);
    EXPECT_EQ(m_events.complete.size(), 1u) << "and completes nothing";

    m_events.cancel = [](const std::wstring&) { return false; };
    EXPECT_TRUE(m_page->Navigate(L""));
    EXPECT_EQ(m_events.before.back(), L"about:blank");
    EXPECT_TRUE(m_page->Navigate(PathOf(L"missing.html")));
    ASSERT_TRUE(PumpMessagesUntil([&] { return m_events.complete.size() == 3; }))
        << "a page that cannot be read still completes";
    EXPECT_EQ(m_events.complete[2], PathOf(L"missing.html"));
}

TEST_F(EmbeddedPageTest, AClickedLinkGoesThroughTheDecisionAndCanBeCancelled) {
    // The link is the first thing on the page, so its place is known: the page margin, first line.
    const std::wstring path =
        ShowPage(L"temp.html", L"<body><a href=\"velaplayer:info%20-move\">COMMAND LINK</a><br>"
                               L"<a href=\"second.html\">NEXT PAGE</a></body>");
    WriteBytes(PathOf(L"second.html"), "<p>second</p>");
    m_events.before.clear();
    m_events.cancel = [](const std::wstring& target) { return target.rfind(L"velaplayer:", 0) == 0; };
    const size_t completed = m_events.complete.size();
    Click(12, 12);
    EXPECT_EQ(m_events.before, std::vector<std::wstring>{L"velaplayer:info%20-move"});
    EXPECT_EQ(m_page->GetLocation(), path);

    Click(12, 12 + 20);
    EXPECT_EQ(m_events.before.back(), PathOf(L"second.html")) << "a relative link is taken beside the page";
    ASSERT_TRUE(PumpMessagesUntil([&] { return m_events.complete.size() > completed; }));
    EXPECT_EQ(m_events.complete.back(), PathOf(L"second.html"));
    EXPECT_EQ(m_page->GetLocation(), PathOf(L"second.html"));

    m_events.before.clear();
    Click(300, 200);
    EXPECT_TRUE(m_events.before.empty()) << "a click beside the links navigates nowhere";
}

TEST_F(EmbeddedPageTest, ALongPageGetsAScrollBar) {
    ShowPage(L"short.html", L"<p>one line</p>");
    EXPECT_FALSE(GetWindowLongW(m_page->GetWindow(), GWL_STYLE) & WS_VSCROLL);
    std::wstring html;
    for (int i = 0; i < 200; ++i) {
        html += L"<p>paragraph " + std::to_wstring(i) + L"</p>";
    }
    ShowPage(L"long.html", html);
    EXPECT_TRUE(GetWindowLongW(m_page->GetWindow(), GWL_STYLE) & WS_VSCROLL);
    SCROLLINFO info{sizeof(info), SIF_ALL};
    ASSERT_TRUE(GetScrollInfo(m_page->GetWindow(), SB_VERT, &info));
    EXPECT_GT(info.nMax, 2000);
    SendMessageW(m_page->GetWindow(), WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_GT(GetScrollPos(m_page->GetWindow(), SB_VERT), 100);
    MSG end{m_page->GetWindow(), WM_KEYDOWN, VK_END, 0};
    EXPECT_TRUE(m_page->TranslateAccelerator(end));
    EXPECT_EQ(GetScrollPos(m_page->GetWindow(), SB_VERT), info.nMax - static_cast<int>(info.nPage) + 1);
}

TEST_F(EmbeddedPageTest, DraggedTextIsSelectedAndCopiedToTheClipboard) {
    ShowPage(L"temp.html", L"<p>Hello world</p><p>\x52D5\x753B\x60C5\x5831</p>");
    HWND window = m_page->GetWindow();
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 12));
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 30));
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(390, 60));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(390, 60));
    EXPECT_EQ(m_page->GetSelectedText(), L"Hello world\r\n\x52D5\x753B\x60C5\x5831");
    ASSERT_TRUE(m_page->CopySelection());
    EXPECT_EQ(ClipboardText(window), L"Hello world\r\n\x52D5\x753B\x60C5\x5831");

    // Ctrl+C through the message loop's accelerator call copies the same way.
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    MSG selectAll{window, WM_KEYDOWN, 'A', 0};
    EXPECT_TRUE(m_page->TranslateAccelerator(selectAll));
    OpenClipboard(window);
    EmptyClipboard();
    CloseClipboard();
    MSG copy{window, WM_KEYDOWN, 'C', 0};
    EXPECT_TRUE(m_page->TranslateAccelerator(copy));
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(ClipboardText(window), L"Hello world\r\n\x52D5\x753B\x60C5\x5831");
    MSG other{window, WM_KEYDOWN, VK_BACK, 0};
    EXPECT_FALSE(m_page->TranslateAccelerator(other));
}

TEST_F(EmbeddedPageTest, ScriptsAreRecordedAndTheExchangeElementComesFromTheProgramsScript) {
    EXPECT_FALSE(m_page->ExecScript(L"JavaScript", L"vp.onChangePlayList();")) << "no page yet";
    ShowPage(L"temp.html", L"<html><body><p>page</p></body></html>");
    std::wstring html = L"unchanged";
    EXPECT_FALSE(m_page->GetInnerHTML(L"exchange", html));
    EXPECT_FALSE(m_page->PutInnerHTML(L"exchange", L"x"));
    EXPECT_EQ(html, L"unchanged");

    const std::wstring exchange =
        L"document.body.insertAdjacentHTML('AfterEnd', '<div id=\\'exchange\\' style=\\'display:none;\\'></div>');";
    EXPECT_TRUE(m_page->ExecScript(L"JavaScript", L"try{" + exchange + L"}catch(e){}"));
    EXPECT_TRUE(m_page->GetInnerHTML(L"exchange", html));
    EXPECT_EQ(html, L"");
    EXPECT_TRUE(m_page->PutInnerHTML(L"exchange", L"<PRE>\x52D5\x753B &amp; 1</PRE>"));
    EXPECT_TRUE(m_page->GetInnerHTML(L"exchange", html));
    EXPECT_EQ(html, L"<PRE>\x52D5\x753B &amp; 1</PRE>");

    EXPECT_TRUE(m_page->ExecScript(L"JavaScript", L"vp.onChangeMediaState(\"Running\");"));
    EXPECT_FALSE(m_page->ExecScript(L"JavaScript", L"vp.onNotify(\"postComment:result:true\";"));
    EXPECT_FALSE(m_page->ExecScript(L"VBScript", L"MsgBox 1"));
    EXPECT_EQ(m_page->Scripts(),
              (std::vector<std::wstring>{L"vp.onChangePlayList();", L"try{" + exchange + L"}catch(e){}",
                                         L"vp.onChangeMediaState(\"Running\");",
                                         L"vp.onNotify(\"postComment:result:true\";", L"MsgBox 1"}));
    m_page->SetSilent(true);
    EXPECT_TRUE(m_page->IsSilent());
}

TEST_F(EmbeddedPageTest, AnImageOfThePageIsDrawn) {
    WriteBytes(PathOf(L"thumb.bmp"), SolidBmp(40, 30, RGB(255, 0, 0)));
    ShowPage(L"temp.html", L"<body><img src=\"thumb.bmp\"><p>text</p></body>");
    HWND window = m_page->GetWindow();
    HDC screen = GetDC(window);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 400, 300);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    EXPECT_EQ(GetPixel(dc, 8 + 20, 8 + 15), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 8 + 45, 8 + 15), RGB(255, 255, 255)) << "the image is as wide as the file";
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(window, screen);
}

}  // namespace
