#pragma once
// Base of the tool windows: a top-level window owned by the main window, created on its first Show,
// hidden (not destroyed) when the user closes it, which then posts its notify target; it answers its
// message block's handle query with its handle.
//
// Thread use: UI thread.

#include "foundation/CWndBase.h"

#include <string>

// What a tool window posts to its owner when the user closes it.
struct NotifyTarget {
    HWND owner = nullptr;
    HMENU menu = nullptr;
    UINT message = WM_COMMAND;
    WPARAM commandId = 0;
    LPARAM lParam = 0;

    void Post() const {
        if (owner != nullptr) {
            PostMessageW(owner, message, commandId, lParam);
        }
    }
};

class CToolWindow : public CWndBase {
public:
    // titleSuffix is appended to the program title; handleQuery is the message that returns the handle.
    CToolWindow(const wchar_t* className, const wchar_t* titleSuffix, UINT handleQuery);

    // Stores the window title (program title + suffix) and the settings-file path.
    void Init(const std::wstring& appTitle, const std::wstring& settingsPath);
    void SetNotify(const NotifyTarget& target) { m_notify = target; }
    const NotifyTarget& GetNotify() const { return m_notify; }

    // Creates the window on first use, then ShowWindow; false when it cannot be created.
    bool Show(int showCommand);
    // Destroys the window at the program's end.
    void Destroy();
    HWND GetHandle() const { return GetWindowHandle(); }
    const std::wstring& GetTitle() const { return m_title; }
    const std::wstring& GetSettingsPath() const { return m_settingsPath; }

    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    // Called once the window exists (controls, settings).
    virtual void OnCreated() {}

private:
    bool Create();

    const wchar_t* m_className;
    const wchar_t* m_titleSuffix;
    UINT m_handleQuery;
    std::wstring m_title;
    std::wstring m_settingsPath;
    NotifyTarget m_notify;
};
