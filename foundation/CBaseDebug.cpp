#include "foundation/CBaseDebug.h"

#include "foundation/CCritSec.h"
#include "foundation/MainWindowMessages.h"
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
// Carries a line flushed on another thread (wParam the text, lParam the log object) to the UI thread.
constexpr UINT kAppendLineMessage = WM_APP + 1;

struct CloseNotification {
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Window-wide state: one set for the process, used on the UI thread only.
struct WindowState {
    HWND window = nullptr;
    HWND tab = nullptr;
    HFONT font = nullptr;
    int refCount = 0;
    int created = 0;
    std::vector<HWND> pages;
    HWND shownPage = nullptr;
    CloseNotification close;
    CBaseDebug* global = nullptr;
    bool standalone = false;
};

WindowState& State() {
    static WindowState state;
    return state;
}

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

bool OnWindowThread() {
    HWND window = State().window;
    return window != nullptr && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

} // namespace

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

CBaseDebug::~CBaseDebug() { Close(); }

CBaseDebug* CBaseDebug::Global() { return State().global; }
HWND CBaseDebug::GetWindow() { return State().window; }
HWND CBaseDebug::GetTabControl() { return State().tab; }
int CBaseDebug::GetPageCount() { return static_cast<int>(State().pages.size()); }

HWND CBaseDebug::GetPage(int index) {
    const auto& pages = State().pages;
    return index >= 0 && index < static_cast<int>(pages.size()) ? pages[index] : nullptr;
}

void CBaseDebug::SetCloseNotification(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    State().close = CloseNotification{window, message, wParam, lParam};
}

void CBaseDebug::SetBufferLimitKilobytes(int kilobytes) {
    // A limit of 0 or below would wipe every line at once.
    g_limit = kilobytes > 0 && kilobytes <= INT_MAX / 1024 ? kilobytes * 1024 : kDefaultLimit;
}

int CBaseDebug::GetBufferLimit() { return g_limit; }

void CBaseDebug::Open() {
    WindowState& state = State();
    ++state.refCount;
    if (state.global == nullptr) {
        state.global = this;
    }
    if (state.created != 1) {
        bool ok = CreateMainWindow(m_kind);
        if (ok && state.tab == nullptr) {
            ok = CreateTabControl();
        }
        if (ok) {
            if (!state.pages.empty()) {
                ShowSelectedPage();
            }
            CreateLogFont();
        }
        state.created = ok ? 1 : 0;
    }
}

void CBaseDebug::Close() {
    WindowState& state = State();
    if (state.refCount-- == 1) {
        if (state.font != nullptr) {
            // The controls keep a font handle: give them the stock font before deleting ours.
            for (HWND page : state.pages) {
                SendMessageW(page, WM_SETFONT, 0, FALSE);
            }
            if (state.tab != nullptr) {
                SendMessageW(state.tab, WM_SETFONT, 0, FALSE);
            }
            DeleteObject(state.font);
            state.font = nullptr;
        }
        if (state.window != nullptr) {
            RemovePropW(state.window, kPropName);
        }
        PostQuitMessage(0);
    }
    if (state.global == this) {
        state.global = nullptr;
    }

    auto found = std::find(state.pages.begin(), state.pages.end(), m_page);
    if (m_page != nullptr && found != state.pages.end()) {
        const int index = static_cast<int>(found - state.pages.begin());
        const bool wasShown = state.shownPage == m_page;
        const bool wasSelected = state.tab != nullptr && TabCtrl_GetCurSel(state.tab) == index;
        DestroyWindow(m_page);
        state.pages.erase(found);
        if (wasShown) {
            state.shownPage = nullptr;
        }
        if (state.tab != nullptr) {
            TabCtrl_DeleteItem(state.tab, index);
            if (wasSelected && !state.pages.empty()) {
                const int next = std::min(index, static_cast<int>(state.pages.size()) - 1);
                TabCtrl_SetCurSel(state.tab, next);
                ShowSelectedPage();
            }
        }
    } else if (m_edit != nullptr && IsWindow(m_edit)) {
        DestroyWindow(m_edit);
    }
    m_page = nullptr;
    m_edit = nullptr;
}

bool CBaseDebug::CreateMainWindow(Kind kind) {
    WindowState& state = State();
    if (state.window != nullptr) {
        return true;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const bool standalone = kind == Kind::Standalone;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hIcon = standalone ? LoadIconW(nullptr, IDI_APPLICATION) : LoadIconW(instance, MAKEINTRESOURCEW(kProgramIconId));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kClassName;
    if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    HWND window = standalone ? CreateWindowExW(0, kClassName, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                               240, 400, nullptr, nullptr, instance, nullptr)
                             : CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, kToolWindowTitle, WS_OVERLAPPEDWINDOW, 0,
                                               0, 240, 400, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return false;
    }
    state.window = window;
    state.standalone = standalone;
    SetPropW(window, kPropName, reinterpret_cast<HANDLE>(state.global));
    return true;
}

bool CBaseDebug::CreateTabControl() {
    WindowState& state = State();
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);
    state.tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 240, kTabHeight,
                                state.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTabId)),
                                GetModuleHandleW(nullptr), nullptr);
    return state.tab != nullptr;
}

void CBaseDebug::CreateLogFont() {
    WindowState& state = State();
    if (state.font == nullptr) {
        state.font = CreateFontW(14, 0, 0, 0, 100, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, 0, 0, 0, 18, L"Tahoma");
    }
    SendMessageW(state.tab, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
}

bool CBaseDebug::CreateEditControl() {
    WindowState& state = State();
    if (state.window == nullptr) {
        return false;
    }
    RECT rect = {};
    GetWindowRect(state.window, &rect);
    const DWORD style = WS_CHILD | WS_VSCROLL | WS_HSCROLL | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_MULTILINE;
    m_edit = CreateWindowExW(0, L"EDIT", L"", style, 0, kTabHeight, (rect.right - rect.left) - 8,
                             (rect.bottom - rect.top) - 54, state.window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)), GetModuleHandleW(nullptr), nullptr);
    if (m_edit == nullptr) {
        return false;
    }
    SendMessageW(m_edit, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
    // Without this the control stops taking text at its default limit, below the clear limit.
    SendMessageW(m_edit, EM_LIMITTEXT, 0, 0);
    return true;
}

int CBaseDebug::AddPage(HWND page) {
    WindowState& state = State();
    m_page = page;
    const int index = static_cast<int>(state.pages.size());
    state.pages.push_back(page);
    if (state.tab != nullptr) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(kPageTitle);
        TabCtrl_InsertItem(state.tab, index, &item);
    }
    // The first page would otherwise stay hidden until the user picks a tab.
    if (state.shownPage == nullptr) {
        ShowSelectedPage();
    }
    return index;
}

void CBaseDebug::ShowSelectedPage() {
    WindowState& state = State();
    if (state.pages.empty()) {
        return;
    }
    int selected = state.tab != nullptr ? TabCtrl_GetCurSel(state.tab) : 0;
    const int count = static_cast<int>(state.pages.size());
    if (selected >= count) {
        selected = count - 1;
    }
    if (selected < 0) {
        selected = 0;
    }
    if (state.shownPage != nullptr && state.shownPage != state.pages[selected]) {
        ShowWindow(state.shownPage, SW_HIDE);
    }
    state.shownPage = state.pages[selected];
    ShowWindow(state.shownPage, SW_SHOW);
}

void CBaseDebug::OnSize(int width, int height) {
    WindowState& state = State();
    MoveWindow(state.tab, 0, 0, width, kTabHeight, TRUE);
    for (HWND page : state.pages) {
        MoveWindow(page, 0, kTabHeight, width, height - kTabHeight, TRUE);
    }
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

CBaseDebug& CBaseDebug::operator<<(const std::wstring& text) { return Append(text); }
CBaseDebug& CBaseDebug::operator<<(const char* text) {
    return text != nullptr ? *this << AnsiToWide(text).c_str() : *this;
}
CBaseDebug& CBaseDebug::operator<<(const std::string& text) { return Append(AnsiToWide(text)); }

CBaseDebug& CBaseDebug::Append(const std::wstring& text) {
    std::lock_guard<std::mutex> guard(m_pendingLock);
    m_pending[GetCurrentThreadId()] += text;
    return *this;
}

void CBaseDebug::Flush() {
    std::wstring line;
    {
        std::lock_guard<std::mutex> guard(m_pendingLock);
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
    HWND window = State().window;
    if (window == nullptr) {
        return;
    }
    if (OnWindowThread()) {
        OutputOnUiThread(line);
    } else if (HWND main = GetMainWindow(); main != nullptr && this == State().global) {
        LogViaMainWindow(line);
    } else {
        SendMessageW(window, kAppendLineMessage, reinterpret_cast<WPARAM>(line.c_str()), reinterpret_cast<LPARAM>(this));
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
    if (m_edit == nullptr || !IsWindowVisible(State().window)) {
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

LRESULT CALLBACK CBaseDebug::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (GetPropW(window, kPropName) == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    WindowState& state = State();
    switch (message) {
    case WM_DESTROY:
        // Lines logged after this are dropped instead of going to a dead window.
        RemovePropW(window, kPropName);
        state.window = nullptr;
        state.tab = nullptr;
        state.pages.clear();
        state.shownPage = nullptr;
        state.created = 0;
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_CLOSE:
        if (state.standalone) {
            break;
        }
        if (state.close.window != nullptr) {
            PostMessageW(state.close.window, state.close.message, state.close.wParam, state.close.lParam);
        }
        return 0;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->code == TCN_SELCHANGE && !state.pages.empty()) {
            ShowSelectedPage();
        }
        break;
    case kAppendLineMessage: {
        auto* log = reinterpret_cast<CBaseDebug*>(lParam);
        log->OutputOnUiThread(reinterpret_cast<const wchar_t*>(wParam));
        return 1;
    }
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

CBaseDebug& EndLine(CBaseDebug& log) {
    log.Flush();
    return log;
}
