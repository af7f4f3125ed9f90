#include "platform/htmlview/EmbeddedPage.h"

#include "foundation/CWndBase.h"
#include "foundation/Clipboard.h"
#include "foundation/Handles.h"
#include "platform/htmlview/HtmlDocument.h"
#include "platform/htmlview/HtmlLayout.h"
#include "platform/htmlview/PageScript.h"
#include "platform/htmlview/PageTarget.h"

#include <windowsx.h>
// GDI+ wants min and max from somewhere; <algorithm>'s are the ones used here.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <map>
#include <tuple>

namespace {

const wchar_t kClassName[] = L"Internet Explorer_Server";
const UINT_PTR kCompleteTimer = 1;
const int kLineScroll = 20;

// GDI+ is started once for the process and left running: pages come and go, and shutting it down
// while another page still holds images would break them.
bool StartGdiPlus() {
    static const bool started = [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    }();
    return started;
}

bool FileBytes(const std::wstring& path, std::string& bytes) {
    CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > 64 * 1024 * 1024) {
        return false;
    }
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    return bytes.empty() || (ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                             read == bytes.size());
}

int CALLBACK NoteFontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FontExists(const wchar_t* face) {
    HDC dc = GetDC(nullptr);
    LOGFONTW font{};
    font.lfCharSet = DEFAULT_CHARSET;
    wcsncpy_s(font.lfFaceName, face, _TRUNCATE);
    bool found = false;
    EnumFontFamiliesExW(dc, &font, NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

// The first installed face of a list: Japanese text needs a face that has it.
const std::wstring& FaceName(bool monospace) {
    static const std::wstring proportional = [] {
        for (const wchar_t* face : {L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF", L"MS UI Gothic", L"IPAPGothic",
                                    L"IPAGothic", L"Tahoma"}) {
            if (FontExists(face)) {
                return std::wstring(face);
            }
        }
        return std::wstring(L"Tahoma");
    }();
    static const std::wstring fixed = [] {
        for (const wchar_t* face : {L"\xFF2D\xFF33 \x30B4\x30B7\x30C3\x30AF", L"IPAGothic", L"Courier New"}) {
            if (FontExists(face)) {
                return std::wstring(face);
            }
        }
        return std::wstring(L"Courier New");
    }();
    return monospace ? fixed : proportional;
}

// Fonts, text sizes and images for one page window.
class CGdiMeasure : public ILayoutMeasure {
public:
    CGdiMeasure() : m_dc(CreateCompatibleDC(nullptr)) {}

    HFONT Font(const TextStyle& style) {
        auto key = std::make_tuple(style.size, style.bold, style.italic, style.underline, style.monospace);
        auto found = m_fonts.find(key);
        if (found != m_fonts.end()) {
            return found->second.Get();
        }
        LOGFONTW font{};
        font.lfHeight = -style.size;
        font.lfWeight = style.bold ? FW_BOLD : FW_NORMAL;
        font.lfItalic = style.italic;
        font.lfUnderline = style.underline;
        font.lfCharSet = DEFAULT_CHARSET;
        wcsncpy_s(font.lfFaceName, FaceName(style.monospace).c_str(), _TRUNCATE);
        HFONT handle = CreateFontIndirectW(&font);
        m_fonts.emplace(key, CGdiObject<HFONT>(handle));
        return handle;
    }

    int TextWidth(const TextStyle& style, const wchar_t* text, size_t length) override {
        if (length == 0) {
            return 0;
        }
        SelectObject(m_dc.Get(), Font(style));
        SIZE size{};
        GetTextExtentPoint32W(m_dc.Get(), text, static_cast<int>(std::min<size_t>(length, 0x7FFF)), &size);
        return size.cx;
    }

    int LineHeight(const TextStyle& style) override {
        SelectObject(m_dc.Get(), Font(style));
        TEXTMETRICW metrics{};
        GetTextMetricsW(m_dc.Get(), &metrics);
        return metrics.tmHeight + metrics.tmExternalLeading + 2;
    }

    SIZE ImageSize(const std::wstring& src) override {
        Gdiplus::Bitmap* image = Image(src);
        return image ? SIZE{static_cast<LONG>(image->GetWidth()), static_cast<LONG>(image->GetHeight())} : SIZE{0, 0};
    }

    // The image an src of the page names, read once per page; null when it cannot be read.
    Gdiplus::Bitmap* Image(const std::wstring& src) {
        const std::wstring path = FilePathOfTarget(ResolvePageTarget(m_base, src));
        if (path.empty()) {
            return nullptr;
        }
        auto found = m_images.find(path);
        if (found != m_images.end()) {
            return found->second.get();
        }
        std::unique_ptr<Gdiplus::Bitmap> copy;
        if (StartGdiPlus()) {
            // Drawn into a bitmap of our own, so the file is not held open while the page shows it.
            Gdiplus::Bitmap file(path.c_str());
            if (file.GetLastStatus() == Gdiplus::Ok && file.GetWidth() > 0 && file.GetHeight() > 0) {
                const UINT width = std::min<UINT>(file.GetWidth(), 4096), height = std::min<UINT>(file.GetHeight(), 4096);
                copy = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppARGB);
                Gdiplus::Graphics graphics(copy.get());
                graphics.DrawImage(&file, 0, 0, width, height);
            }
        }
        Gdiplus::Bitmap* result = copy.get();
        m_images.emplace(path, std::move(copy));
        return result;
    }

    // Images are read again for each page (the thumbnail may have changed).
    void SetBase(const std::wstring& base) {
        m_base = base;
        m_images.clear();
    }

private:
    CMemoryDc m_dc;
    std::map<std::tuple<int, bool, bool, bool, bool>, CGdiObject<HFONT>> m_fonts;
    std::map<std::wstring, std::unique_ptr<Gdiplus::Bitmap>> m_images;
    std::wstring m_base;
};

class CEmbeddedPageWnd : public CWndBase, public IEmbeddedPage {
public:
    explicit CEmbeddedPageWnd(IEmbeddedPageEvents* events) : m_events(events) {}
    ~CEmbeddedPageWnd() override {
        if (m_hWnd) {
            DestroyWindow(m_hWnd);
        }
    }

    bool Create(HWND host, const RECT& place) {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        if (!GetClassInfoExW(instance, kClassName, &windowClass)) {
            windowClass.style = CS_DBLCLKS;
            windowClass.lpfnWndProc = CWndBase::StaticWndProc;
            windowClass.hInstance = instance;
            windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            windowClass.lpszClassName = kClassName;
            if (!RegisterClassExW(&windowClass)) {
                return false;
            }
        }
        return CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP, place.left,
                               place.top, place.right - place.left, place.bottom - place.top, host, nullptr, instance,
                               static_cast<CWndBase*>(this)) != nullptr;
    }

    HWND GetWindow() const override { return m_hWnd; }

    bool Navigate(const std::wstring& given) override {
        const std::wstring target = given.empty() ? L"about:blank" : given;
        if (m_events && m_events->OnBeforeNavigate(target)) {
            return false;
        }
        std::wstring html;
        const std::wstring path = FilePathOfTarget(target);
        std::string bytes;
        // A page that cannot be read shows empty, as a browser shows its error page: the load still
        // completes, so whoever waits for it is not left waiting.
        if (!path.empty() && FileBytes(path, bytes)) {
            html = DecodePageBytes(bytes);
        }
        Show(html, target);
        return true;
    }

    bool NavigateToText(const std::wstring& html, const std::wstring& target) override {
        if (m_events && m_events->OnBeforeNavigate(target)) {
            return false;
        }
        Show(html, target);
        return true;
    }

    std::wstring GetLocation() const override { return m_location; }

    bool ExecScript(const std::wstring& language, const std::wstring& text) override {
        m_scripts.push_back(text);
        if (!m_loaded || !m_hWnd) {
            return false;
        }
        if (_wcsicmp(language.c_str(), L"JavaScript") != 0 && _wcsicmp(language.c_str(), L"JScript") != 0) {
            return false;
        }
        if (!IsScriptWellFormed(text)) {
            return false;
        }
        if (ApplyPageScript(m_document, text) > 0) {
            Relayout();
        }
        return true;
    }

    std::vector<std::wstring> Scripts() const override { return m_scripts; }

    bool GetInnerHTML(const std::wstring& id, std::wstring& html) const override {
        HtmlNode* element = m_document.FindById(id);
        if (!element) {
            return false;
        }
        html = HtmlDocument::InnerHtml(*element);
        return true;
    }

    bool PutInnerHTML(const std::wstring& id, const std::wstring& html) override {
        HtmlNode* element = m_document.FindById(id);
        if (!element) {
            return false;
        }
        HtmlDocument::SetInnerHtml(*element, html);
        Relayout();
        return true;
    }

    void SetSilent(bool silent) override { m_silent = silent; }
    bool IsSilent() const override { return m_silent; }

    bool TranslateAccelerator(const MSG& message) override {
        return message.message == WM_KEYDOWN && HandleKey(static_cast<UINT>(message.wParam));
    }

    bool CopySelection() override {
        const std::wstring text = GetSelectedText();
        if (text.empty() || !OpenClipboard(m_hWnd)) {
            return false;
        }
        return SetClipboardText(text);
    }

    std::wstring GetSelectedText() const override {
        const size_t start = std::min(m_anchor, m_caret), end = std::max(m_anchor, m_caret);
        if (end > m_layout.text.size() || start == end) {
            return {};
        }
        return m_layout.text.substr(start, end - start);
    }

    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_SIZE:
            Relayout();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            HDC dc = BeginPaint(window, &paint);
            Paint(dc);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_PRINTCLIENT:
            Paint(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_VSCROLL:
            OnVScroll(LOWORD(wParam));
            return 0;
        case WM_MOUSEWHEEL:
            ScrollTo(m_scroll - GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * 3 * kLineScroll);
            return 0;
        case WM_LBUTTONDOWN:
            OnButtonDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), (wParam & MK_SHIFT) != 0);
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_LBUTTONUP:
            OnButtonUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_CAPTURECHANGED:
            m_dragging = false;
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT) {
                POINT point{};
                GetCursorPos(&point);
                ScreenToClient(window, &point);
                const LayoutRun* run = m_layout.RunAt(point.x, point.y + m_scroll);
                SetCursor(LoadCursorW(nullptr, run && !run->href.empty() ? IDC_HAND
                                                   : run && run->kind == LayoutRun::Kind::Text ? IDC_IBEAM
                                                                                                : IDC_ARROW));
                return TRUE;
            }
            break;
        case WM_KEYDOWN:
            if (HandleKey(static_cast<UINT>(wParam))) {
                return 0;
            }
            break;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_TIMER:
            if (wParam == kCompleteTimer) {
                KillTimer(window, kCompleteTimer);
                CompleteLoads();
                return 0;
            }
            break;
        case WM_NCDESTROY:
            m_pending.clear();
            break;
        }
        return CWndBase::WndProc(window, message, wParam, lParam);
    }

private:
    void Show(const std::wstring& html, const std::wstring& target) {
        m_document.Parse(html);
        m_location = target;
        m_loaded = true;
        const std::wstring base = m_document.BaseHref();
        m_measure.SetBase(base.empty() ? target : ResolvePageTarget(target, base));
        m_anchor = m_caret = 0;
        m_scroll = 0;
        Relayout();
        // The document-complete event comes later, from the message loop, as a browser's does.
        m_pending.push_back(target);
        if (m_hWnd) {
            SetTimer(m_hWnd, kCompleteTimer, 0, nullptr);
        }
    }

    void CompleteLoads() {
        std::vector<std::wstring> done;
        done.swap(m_pending);
        for (const std::wstring& target : done) {
            if (m_events) {
                m_events->OnDocumentComplete(target);
            }
        }
    }

    RECT Client() const {
        RECT client{};
        GetClientRect(m_hWnd, &client);
        return client;
    }

    void Relayout() {
        if (!m_hWnd) {
            return;
        }
        // Showing or hiding the scroll bar resizes the client area, which comes back here as WM_SIZE.
        if (m_inLayout) {
            m_layoutAgain = true;
            return;
        }
        m_inLayout = true;
        for (int pass = 0; pass < 3; ++pass) {
            m_layoutAgain = false;
            m_layout = LayoutPage(m_document.Body(), std::max<int>(Client().right, 1), m_measure);
            m_anchor = std::min(m_anchor, m_layout.text.size());
            m_caret = std::min(m_caret, m_layout.text.size());
            UpdateScrollBar();
            if (!m_layoutAgain) {
                break;
            }
        }
        m_inLayout = false;
        InvalidateRect(m_hWnd, nullptr, FALSE);
    }

    void UpdateScrollBar() {
        RECT client = Client();
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = 0;
        info.nMax = std::max(m_layout.height - 1, 0);
        info.nPage = static_cast<UINT>(std::max<LONG>(client.bottom, 0));
        m_scroll = std::clamp(m_scroll, 0, std::max(m_layout.height - static_cast<int>(client.bottom), 0));
        info.nPos = m_scroll;
        SetScrollInfo(m_hWnd, SB_VERT, &info, TRUE);
    }

    void ScrollTo(int position) {
        RECT client = Client();
        position = std::clamp(position, 0, std::max(m_layout.height - static_cast<int>(client.bottom), 0));
        if (position == m_scroll) {
            return;
        }
        m_scroll = position;
        SetScrollPos(m_hWnd, SB_VERT, m_scroll, TRUE);
        InvalidateRect(m_hWnd, nullptr, FALSE);
    }

    void OnVScroll(UINT code) {
        RECT client = Client();
        const int page = std::max<int>(client.bottom - kLineScroll, kLineScroll);
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(m_hWnd, SB_VERT, &info);
        switch (code) {
        case SB_LINEUP: ScrollTo(m_scroll - kLineScroll); break;
        case SB_LINEDOWN: ScrollTo(m_scroll + kLineScroll); break;
        case SB_PAGEUP: ScrollTo(m_scroll - page); break;
        case SB_PAGEDOWN: ScrollTo(m_scroll + page); break;
        case SB_TOP: ScrollTo(0); break;
        case SB_BOTTOM: ScrollTo(m_layout.height); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: ScrollTo(info.nTrackPos); break;
        }
    }

    bool HandleKey(UINT key) {
        const bool control = GetKeyState(VK_CONTROL) < 0;
        RECT client = Client();
        const int page = std::max<int>(client.bottom - kLineScroll, kLineScroll);
        if (control && (key == 'C' || key == VK_INSERT)) {
            CopySelection();
            return true;
        }
        if (control && key == 'A') {
            m_anchor = 0;
            m_caret = m_layout.text.size();
            InvalidateRect(m_hWnd, nullptr, FALSE);
            return true;
        }
        switch (key) {
        case VK_PRIOR: ScrollTo(m_scroll - page); return true;
        case VK_NEXT: ScrollTo(m_scroll + page); return true;
        case VK_HOME: ScrollTo(0); return true;
        case VK_END: ScrollTo(m_layout.height); return true;
        case VK_UP: ScrollTo(m_scroll - kLineScroll); return true;
        case VK_DOWN: ScrollTo(m_scroll + kLineScroll); return true;
        }
        return false;
    }

    void OnButtonDown(int x, int y, bool extend) {
        SetFocus(m_hWnd);
        SetCapture(m_hWnd);
        m_dragging = true;
        m_moved = false;
        m_downPoint = POINT{x, y};
        const LayoutRun* run = m_layout.RunAt(x, y + m_scroll);
        m_pressedHref = run ? run->href : std::wstring();
        m_caret = m_layout.TextIndexAt(m_measure, x, y + m_scroll);
        if (!extend) {
            m_anchor = m_caret;
        }
        InvalidateRect(m_hWnd, nullptr, FALSE);
    }

    void OnMouseMove(int x, int y) {
        if (!m_dragging) {
            return;
        }
        if (std::abs(x - m_downPoint.x) > GetSystemMetrics(SM_CXDRAG) ||
            std::abs(y - m_downPoint.y) > GetSystemMetrics(SM_CYDRAG)) {
            m_moved = true;
        }
        RECT client = Client();
        if (y < 0) {
            ScrollTo(m_scroll - kLineScroll);
        } else if (y > client.bottom) {
            ScrollTo(m_scroll + kLineScroll);
        }
        size_t caret = m_layout.TextIndexAt(m_measure, x, y + m_scroll);
        if (caret != m_caret) {
            m_caret = caret;
            InvalidateRect(m_hWnd, nullptr, FALSE);
        }
    }

    void OnButtonUp(int x, int y) {
        if (!m_dragging) {
            return;
        }
        m_dragging = false;
        ReleaseCapture();
        if (m_moved || m_pressedHref.empty()) {
            return;
        }
        const LayoutRun* run = m_layout.RunAt(x, y + m_scroll);
        if (!run || run->href != m_pressedHref) {
            return;
        }
        m_anchor = m_caret;
        FollowLink(m_pressedHref);
    }

    void FollowLink(const std::wstring& href) {
        if (href[0] == L'#') {
            return;  // a place inside this page
        }
        if (_wcsnicmp(href.c_str(), L"javascript:", 11) == 0) {
            ExecScript(L"JavaScript", href.substr(11));
            return;
        }
        const std::wstring base = m_document.BaseHref();
        Navigate(ResolvePageTarget(base.empty() ? m_location : ResolvePageTarget(m_location, base), href));
    }

    void Paint(HDC windowDc) {
        RECT client = Client();
        CMemoryDc dc(CreateCompatibleDC(windowDc));
        CGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(windowDc, std::max<LONG>(client.right, 1),
                                                          std::max<LONG>(client.bottom, 1)));
        HGDIOBJ oldBitmap = SelectObject(dc.Get(), bitmap.Get());
        CGdiObject<HBRUSH> background(CreateSolidBrush(m_layout.background));
        FillRect(dc.Get(), &client, background.Get());
        SetBkMode(dc.Get(), TRANSPARENT);
        const size_t selStart = std::min(m_anchor, m_caret), selEnd = std::max(m_anchor, m_caret);
        for (const LayoutLine& line : m_layout.lines) {
            const int top = line.y - m_scroll;
            if (top + line.height < 0) {
                continue;
            }
            if (top > client.bottom) {
                break;
            }
            for (const LayoutRun& run : line.runs) {
                const int y = top + line.height - run.height;
                DrawRun(dc.Get(), run, y, selStart, selEnd);
            }
        }
        SelectObject(dc.Get(), GetStockObject(SYSTEM_FONT));
        BitBlt(windowDc, 0, 0, client.right, client.bottom, dc.Get(), 0, 0, SRCCOPY);
        SelectObject(dc.Get(), oldBitmap);
    }

    void DrawRun(HDC dc, const LayoutRun& run, int y, size_t selStart, size_t selEnd) {
        if (run.kind == LayoutRun::Kind::Rule) {
            RECT rule{run.x, y, run.x + run.width, y + run.height};
            FillRect(dc, &rule, GetSysColorBrush(COLOR_GRAYTEXT));
            return;
        }
        if (run.kind == LayoutRun::Kind::Image) {
            Gdiplus::Bitmap* image = run.src.empty() ? nullptr : m_measure.Image(run.src);
            if (image) {
                Gdiplus::Graphics graphics(dc);
                graphics.DrawImage(image, run.x, y, run.width, run.height);
            } else {
                RECT frame{run.x, y, run.x + run.width, y + run.height};
                FrameRect(dc, &frame, GetSysColorBrush(COLOR_GRAYTEXT));
            }
            return;
        }
        SelectObject(dc, m_measure.Font(run.style));
        SetTextColor(dc, run.style.color);
        TextOutW(dc, run.x, y, run.text.c_str(), static_cast<int>(run.text.size()));
        const size_t runEnd = run.textStart + run.text.size();
        if (selEnd <= run.textStart || selStart >= runEnd) {
            return;
        }
        const size_t from = std::max(selStart, run.textStart) - run.textStart;
        const size_t to = std::min(selEnd, runEnd) - run.textStart;
        const int x1 = run.x + m_measure.TextWidth(run.style, run.text.c_str(), from);
        const int x2 = run.x + m_measure.TextWidth(run.style, run.text.c_str(), to);
        RECT mark{x1, y, x2, y + run.height};
        FillRect(dc, &mark, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        TextOutW(dc, x1, y, run.text.c_str() + from, static_cast<int>(to - from));
    }

    IEmbeddedPageEvents* m_events;
    HtmlDocument m_document;
    PageLayout m_layout;
    CGdiMeasure m_measure;
    std::wstring m_location;
    bool m_loaded = false;
    std::vector<std::wstring> m_pending;
    std::vector<std::wstring> m_scripts;
    bool m_silent = false;
    bool m_inLayout = false;
    bool m_layoutAgain = false;
    int m_scroll = 0;
    size_t m_anchor = 0;
    size_t m_caret = 0;
    bool m_dragging = false;
    bool m_moved = false;
    POINT m_downPoint{};
    std::wstring m_pressedHref;
};

}  // namespace

std::unique_ptr<IEmbeddedPage> CreateEmbeddedPage(HWND host, const RECT& place, IEmbeddedPageEvents* events) {
    auto page = std::make_unique<CEmbeddedPageWnd>(events);
    if (!page->Create(host, place)) {
        return nullptr;
    }
    return page;
}
