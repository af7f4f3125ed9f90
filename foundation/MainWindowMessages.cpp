#include "foundation/MainWindowMessages.h"

#include "foundation/PathUtil.h"

#include <atomic>

namespace {
std::atomic<HWND> g_mainWindow{nullptr};
}

void SetMainWindow(HWND window) { g_mainWindow = window; }
HWND GetMainWindow() { return g_mainWindow; }

LRESULT LogViaMainWindow(const std::wstring& text) {
    return SendMessageW(GetMainWindow(), kMsgLogLine, reinterpret_cast<WPARAM>(text.c_str()), 0);
}

LRESULT SendCopyData(HWND target, HWND sender, const std::wstring& text) {
    COPYDATASTRUCT data = {};
    data.dwData = 0;
    data.cbData = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(text.c_str());
    return SendMessageW(target, WM_COPYDATA, reinterpret_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&data));
}

LRESULT SendCommandLineToMainWindow(const std::wstring& arguments) {
    return SendCopyData(GetMainWindow(), nullptr, L"\"" + GetProgramPath() + L"\" " + arguments);
}

LRESULT SendOptionToMainWindow(const std::wstring& path) {
    return SendCommandLineToMainWindow(L"\"" + path + L"\"");
}

LRESULT SendMainWindowStrings(const std::wstring& script, const std::wstring& language) {
    const std::wstring silent = script + L"%__SILENT__%";
    return SendMessageW(GetMainWindow(), kMsgRunScript, reinterpret_cast<WPARAM>(silent.c_str()),
                        reinterpret_cast<LPARAM>(language.c_str()));
}
