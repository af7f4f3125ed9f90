#include "windows/CToolWindow.h"

CToolWindow::CToolWindow(const wchar_t* className, const wchar_t* titleSuffix, UINT handleQuery)
    : m_className(className), m_titleSuffix(titleSuffix), m_handleQuery(handleQuery) {}

void CToolWindow::Init(const std::wstring& appTitle, const std::wstring& settingsPath) {
    m_title = appTitle + m_titleSuffix;
    m_settingsPath = settingsPath;
}

bool CToolWindow::Create() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = StaticWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1000));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = m_className;
    if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, m_className, m_title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 400, 300, m_notify.owner, nullptr, instance, this);
    if (window == nullptr) {
        return false;
    }
    OnCreated();
    return true;
}

bool CToolWindow::Show(int showCommand) {
    if (GetHandle() == nullptr && !Create()) {
        return false;
    }
    ShowWindow(GetHandle(), showCommand);
    return true;
}

void CToolWindow::Destroy() {
    if (GetHandle() != nullptr) {
        DestroyWindow(GetHandle());
    }
}

LRESULT CToolWindow::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == m_handleQuery) {
        return reinterpret_cast<LRESULT>(window);
    }
    if (message == WM_CLOSE) {
        ShowWindow(window, SW_HIDE);
        m_notify.Post();
        return 0;
    }
    return DefaultProc(window, message, wParam, lParam);
}
