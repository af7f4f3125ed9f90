#include "foundation/CBaseDebug.h"

#include "foundation/CCritSec.h"
#include "foundation/CWndBase.h"
#include "foundation/Handles.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/PrivateMessages.h"
#include "foundation/StringUtil.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <deque>

namespace {

const wchar_t kClassName[] = L"CBaseDebug";
const wchar_t kPropName[] = L"CBaseDebug";
const wchar_t kToolWindowTitle[] = L"VelaPlayer - 情報ウィンドウ";
const wchar_t kPageTitle[] = L"メッセージ";
const wchar_t kDefaultClearMessage[] = L"ウィンドウのバッファをクリアしました";
constexpr int kDefaultLimit = 32768;
constexpr int kTabHeight = 26;
constexpr int kTabId = 16;
constexpr int kEditId = 1;
constexpr int kProgramIconId = 1000;

struct CloseNotification {
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

int g_limit = kDefaultLimit;

constexpr size_t kRecentLineCount = 40;

struct RecentLineList {
    CCritSec lock;
    std::deque<std::wstring> lines;
};

// Never destroyed: a worker may still log while static destruction runs.
RecentLineList& RecentList() {
    static RecentLineList* list = new RecentLineList;
    return *list;
}

void RememberLine(const std::wstring& line) {
    RecentLineList& list = RecentList();
    CAutoLock lock(list.lock);
    list.lines.push_back(line);
    if (list.lines.size() > kRecentLineCount) {
        list.lines.pop_front();
    }
}

} // namespace

class CBaseDebug::CLogWindow : public CWndBase {
public:
    // Made by the first log object's Open, so it outlives the program's log object at static destruction.
    static CLogWindow& Get() {
        static CLogWindow window;
        return window;
    }

    // A log object joins; the first one makes the window with its tab strip and font.
    void Open(CBaseDebug* log, Kind kind) {
        ++m_refCount;
        if (m_global == nullptr) {
            m_global = log;
        }
        if (!m_created) {
            bool ok = CreateMainWindow(kind);
            if (ok && m_tab == nullptr) {
                ok = CreateTabControl();
            }
            if (ok) {
                if (!m_pages.empty()) {
                    ShowSelectedPage();
                }
                CreateLogFont();
            }
            m_created = ok;
        }
    }

    // A log object leaves with its page, or with its edit control when that is no page.
    void Close(CBaseDebug* log, HWND page, HWND edit) {
        if (m_refCount-- == 1) {
            if (m_font) {
                // The controls keep a font handle: give them the stock font before deleting ours.
                for (HWND shown : m_pages) {
                    SendMessageW(shown, WM_SETFONT, 0, FALSE);
                }
                if (m_tab != nullptr) {
                    SendMessageW(m_tab, WM_SETFONT, 0, FALSE);
                }
                m_font.Close();
            }
            if (m_window != nullptr) {
                RemovePropW(m_window, kPropName);
            }
            PostQuitMessage(0);
        }
        if (m_global == log) {
            m_global = nullptr;
        }

        auto found = std::find(m_pages.begin(), m_pages.end(), page);
        if (page != nullptr && found != m_pages.end()) {
            const int index = static_cast<int>(found - m_pages.begin());
            const bool wasShown = m_shownPage == page;
            const bool wasSelected = m_tab != nullptr && TabCtrl_GetCurSel(m_tab) == index;
            DestroyWindow(page);
            m_pages.erase(found);
            if (wasShown) {
                m_shownPage = nullptr;
            }
            if (m_tab != nullptr) {
                TabCtrl_DeleteItem(m_tab, index);
                if (wasSelected && !m_pages.empty()) {
                    const int next = std::min(index, static_cast<int>(m_pages.size()) - 1);
                    TabCtrl_SetCurSel(m_tab, next);
                    ShowSelectedPage();
                }
            }
        } else if (edit != nullptr && IsWindow(edit)) {
            DestroyWindow(edit);
        }
    }

    // Null without a window.
    HWND CreateEditControl() {
        if (m_window == nullptr) {
            return nullptr;
        }
        RECT rect = {};
        GetWindowRect(m_window, &rect);
        const DWORD style =
            WS_CHILD | WS_VSCROLL | WS_HSCROLL | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_MULTILINE;
        HWND edit = CreateWindowExW(
            0, L"EDIT", L"", style, 0, kTabHeight, (rect.right - rect.left) - 8, (rect.bottom - rect.top) - 54,
            m_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)), GetModuleHandleW(nullptr), nullptr);
        if (edit == nullptr) {
            return nullptr;
        }
        SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), FALSE);
        // Without this the control stops taking text at its default limit, below the clear limit.
        SendMessageW(edit, EM_LIMITTEXT, 0, 0);
        return edit;
    }

    int AddPage(HWND page) {
        const int index = static_cast<int>(m_pages.size());
        m_pages.push_back(page);
        if (m_tab != nullptr) {
            TCITEMW item = {};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<wchar_t*>(kPageTitle);
            TabCtrl_InsertItem(m_tab, index, &item);
        }
        // The first page would otherwise stay hidden until the user picks a tab.
        if (m_shownPage == nullptr) {
            ShowSelectedPage();
        }
        return index;
    }

    HWND Window() const { return m_window; }
    HWND TabControl() const { return m_tab; }
    CBaseDebug* Global() const { return m_global; }
    const std::vector<HWND>& Pages() const { return m_pages; }
    void SetCloseNotification(const CloseNotification& close) { m_close = close; }

    bool OnWindowThread() const {
        HWND window = m_window;
        return window != nullptr && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
    }

    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        // Before the window carries the log's property, and once the last log object has gone, it is a
        // plain window.
        if (GetPropW(window, kPropName) == nullptr) {
            return DefaultProc(window, message, wParam, lParam);
        }
        switch (message) {
        case WM_DESTROY:
            // Lines logged after this are dropped instead of going to a dead window.
            RemovePropW(window, kPropName);
            m_window = nullptr;
            m_tab = nullptr;
            m_pages.clear();
            m_shownPage = nullptr;
            m_created = false;
            PostQuitMessage(0);
            return 0;
        case WM_SIZE:
            OnSize(LOWORD(lParam), HIWORD(lParam));
            break;
        case WM_CLOSE:
            if (m_standalone) {
                break;
            }
            if (m_close.window != nullptr) {
                PostMessageW(m_close.window, m_close.message, m_close.wParam, m_close.lParam);
            }
            return 0;
        case WM_NOTIFY:
            if (reinterpret_cast<NMHDR*>(lParam)->code == TCN_SELCHANGE && !m_pages.empty()) {
                ShowSelectedPage();
            }
            break;
        case kMsgLogAppendLine: {
            auto* log = reinterpret_cast<CBaseDebug*>(lParam);
            log->OutputOnUiThread(reinterpret_cast<const wchar_t*>(wParam));
            return 1;
        }
        default:
            break;
        }
        return DefaultProc(window, message, wParam, lParam);
    }

private:
    bool CreateMainWindow(Kind kind) {
        if (m_window != nullptr) {
            return true;
        }
        HINSTANCE instance = GetModuleHandleW(nullptr);
        const bool standalone = kind == Kind::Standalone;
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = &CWndBase::StaticWndProc;
        wc.hInstance = instance;
        wc.hIcon =
            standalone ? LoadIconW(nullptr, IDI_APPLICATION) : LoadIconW(instance, MAKEINTRESOURCEW(kProgramIconId));
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = kClassName;
        if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            return false;
        }
        HWND window = standalone ? CreateWindowExW(0, kClassName, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                                   CW_USEDEFAULT, 240, 400, nullptr, nullptr, instance, this)
                                 : CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, kToolWindowTitle, WS_OVERLAPPEDWINDOW,
                                                   0, 0, 240, 400, nullptr, nullptr, instance, this);
        if (window == nullptr) {
            return false;
        }
        m_window = window;
        m_standalone = standalone;
        SetPropW(window, kPropName, reinterpret_cast<HANDLE>(m_global));
        return true;
    }

    bool CreateTabControl() {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TAB_CLASSES};
        InitCommonControlsEx(&icc);
        m_tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 240, kTabHeight,
                                m_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTabId)),
                                GetModuleHandleW(nullptr), nullptr);
        return m_tab != nullptr;
    }

    void CreateLogFont() {
        if (!m_font) {
            m_font.Reset(CreateFontW(14, 0, 0, 0, 100, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, 0, 0, 0, 18, L"Tahoma"));
        }
        SendMessageW(m_tab, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), FALSE);
    }

    void ShowSelectedPage() {
        if (m_pages.empty()) {
            return;
        }
        int selected = m_tab != nullptr ? TabCtrl_GetCurSel(m_tab) : 0;
        const int count = static_cast<int>(m_pages.size());
        if (selected >= count) {
            selected = count - 1;
        }
        if (selected < 0) {
            selected = 0;
        }
        if (m_shownPage != nullptr && m_shownPage != m_pages[selected]) {
            ShowWindow(m_shownPage, SW_HIDE);
        }
        m_shownPage = m_pages[selected];
        ShowWindow(m_shownPage, SW_SHOW);
    }

    void OnSize(int width, int height) {
        MoveWindow(m_tab, 0, 0, width, kTabHeight, TRUE);
        for (HWND page : m_pages) {
            MoveWindow(page, 0, kTabHeight, width, height - kTabHeight, TRUE);
        }
    }

    // Not the base's handle, which is set at WM_NCCREATE and cleared at any WM_DESTROY: the log's window
    // is known once it carries the log's property, until the log's own handling of WM_DESTROY.
    HWND m_window = nullptr;
    HWND m_tab = nullptr;
    CGdiObject<HFONT> m_font;
    int m_refCount = 0;
    bool m_created = false;
    std::vector<HWND> m_pages;
    HWND m_shownPage = nullptr;
    CloseNotification m_close;
    CBaseDebug* m_global = nullptr;
    bool m_standalone = false;
};

CBaseDebug::CBaseDebug() : m_kind(Kind::ToolWindow), m_clearMessage(kDefaultClearMessage) {
    Open();
    CreateEditControl();
}

CBaseDebug::CBaseDebug(const wchar_t* clearMessage)
    : m_kind(Kind::Standalone), m_clearMessage(clearMessage != nullptr ? clearMessage : kDefaultClearMessage) {
    OutputDebugStringW(L"CBaseDebug\n");
    Open();
    if (CreateEditControl()) {
        AddPage(m_edit);
    }
}

CBaseDebug::~CBaseDebug() {
    Close();
}

CBaseDebug* CBaseDebug::Global() {
    return CLogWindow::Get().Global();
}
HWND CBaseDebug::GetWindow() {
    return CLogWindow::Get().Window();
}
HWND CBaseDebug::GetTabControl() {
    return CLogWindow::Get().TabControl();
}
int CBaseDebug::GetPageCount() {
    return static_cast<int>(CLogWindow::Get().Pages().size());
}

HWND CBaseDebug::GetPage(int index) {
    const auto& pages = CLogWindow::Get().Pages();
    return index >= 0 && index < static_cast<int>(pages.size()) ? pages[index] : nullptr;
}

void CBaseDebug::SetCloseNotification(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CLogWindow::Get().SetCloseNotification(CloseNotification{window, message, wParam, lParam});
}

void CBaseDebug::SetBufferLimitKilobytes(int kilobytes) {
    // A limit of 0 or below would wipe every line at once.
    g_limit = kilobytes > 0 && kilobytes <= INT_MAX / 1024 ? kilobytes * 1024 : kDefaultLimit;
}

int CBaseDebug::GetBufferLimit() {
    return g_limit;
}

void CBaseDebug::Open() {
    CLogWindow::Get().Open(this, m_kind);
}

void CBaseDebug::Close() {
    CLogWindow::Get().Close(this, m_page, m_edit);
    m_page = nullptr;
    m_edit = nullptr;
}

bool CBaseDebug::CreateEditControl() {
    m_edit = CLogWindow::Get().CreateEditControl();
    return m_edit != nullptr;
}

int CBaseDebug::AddPage(HWND page) {
    m_page = page;
    return CLogWindow::Get().AddPage(page);
}

CBaseDebug& CBaseDebug::operator<<(const wchar_t* text) {
    if (text == nullptr) {
        return *this;
    }
    if (wcscmp(text, L"\n") == 0 || wcscmp(text, L"\r\n") == 0) {
        Flush();
        return *this;
    }
    return Append(text);
}

CBaseDebug& CBaseDebug::operator<<(const std::wstring& text) {
    return Append(text);
}
CBaseDebug& CBaseDebug::operator<<(const char* text) {
    return text != nullptr ? *this << AnsiToWide(text).c_str() : *this;
}
CBaseDebug& CBaseDebug::operator<<(const std::string& text) {
    return Append(AnsiToWide(text));
}

CBaseDebug& CBaseDebug::Append(const std::wstring& text) {
    CAutoLock guard(m_pendingLock);
    m_pending[GetCurrentThreadId()] += text;
    return *this;
}

void CBaseDebug::Flush() {
    std::wstring line;
    {
        CAutoLock guard(m_pendingLock);
        auto found = m_pending.find(GetCurrentThreadId());
        if (found != m_pending.end()) {
            line.swap(found->second);
            m_pending.erase(found);
        }
    }
    OutputLine(line);
}

std::vector<std::wstring> CBaseDebug::RecentLines() {
    RecentLineList& list = RecentList();
    CTryLock lock(list.lock);
    if (!lock) {
        return {};
    }
    return std::vector<std::wstring>(list.lines.begin(), list.lines.end());
}

void CBaseDebug::OutputLine(const std::wstring& line) {
    RememberLine(line);
    const CLogWindow& logWindow = CLogWindow::Get();
    HWND window = logWindow.Window();
    if (window == nullptr) {
        return;
    }
    if (logWindow.OnWindowThread()) {
        OutputOnUiThread(line);
    } else if (HWND main = GetMainWindow(); main != nullptr && this == logWindow.Global()) {
        LogViaMainWindow(line);
    } else {
        SendMessageW(window, kMsgLogAppendLine, reinterpret_cast<WPARAM>(line.c_str()), reinterpret_cast<LPARAM>(this));
    }
}

void CBaseDebug::OutputOnUiThread(const std::wstring& line) {
    if (m_kind == Kind::Standalone) {
        AppendLineIfVisible(line);
    } else {
        AppendLine(line);
    }
}

bool CBaseDebug::AppendLine(const std::wstring& text) {
    if (m_edit == nullptr) {
        return true;
    }
    const std::wstring withBreak = text + L"\r\n";
    const int length = GetWindowTextLengthW(m_edit);
    SendMessageW(m_edit, EM_SETSEL, length, length);
    SendMessageW(m_edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(withBreak.c_str()));
    SendMessageW(m_edit, WM_VSCROLL, SB_BOTTOM, 0);
    return ClearBufferIfFull();
}

bool CBaseDebug::AppendLineIfVisible(const std::wstring& text) {
    if (m_edit == nullptr || !IsWindowVisible(CLogWindow::Get().Window())) {
        return false;
    }
    const std::wstring withBreak = text + L"\r\n";
    const int length = GetWindowTextLengthW(m_edit);
    SendMessageW(m_edit, EM_SETSEL, length, length);
    SendMessageW(m_edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(withBreak.c_str()));
    ClearBufferIfFull();
    return true;
}

bool CBaseDebug::ClearBufferIfFull() {
    if (m_edit != nullptr && GetWindowTextLengthW(m_edit) > g_limit) {
        SetWindowTextW(m_edit, m_clearMessage.c_str());
    }
    return true;
}

CBaseDebug& EndLine(CBaseDebug& log) {
    log.Flush();
    return log;
}
