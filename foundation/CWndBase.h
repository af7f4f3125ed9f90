#pragma once
// Base of every window, dialog and subclassed control object. Used on the thread that owns the window.
//
// The window finds its object through the window property "CWndBaseProp"; one window carries at most
// one object. The ways in:
// - a window of our own class: the class procedure is StaticWndProc and the object is the creation
//   parameter of CreateWindowExW (taken at WM_NCCREATE);
// - a dialog: the dialog procedure is StaticDlgProc and the object is the dialog parameter of
//   CreateDialog...ParamW / DialogBox...ParamW (taken at WM_INITDIALOG). A private dialog class
//   (DLGWINDOWEXTRA extra bytes) registers StaticWndProc as its class procedure; it hands every
//   message to DefDlgProcW, which calls the dialog procedure, so the object sees each message once.
//   StaticWndProc given as the dialog procedure is replaced by StaticDlgProc;
// - any existing window or control: Attach, which subclasses it (or replaces a dialog's procedure).

#include <windows.h>

class CWndBase {
public:
    CWndBase() = default;
    // Detaches from a window that outlives the object.
    virtual ~CWndBase();
    CWndBase(const CWndBase&) = delete;
    CWndBase& operator=(const CWndBase&) = delete;

    // For a dialog the result is the dialog procedure's: nonzero when handled (a message result goes
    // to DWLP_MSGRESULT). The base passes everything to DefaultProc. An exception goes no further than
    // the base: a CException is shown in a message box, anything else is logged as "Error : <class
    // name> : <what>", and the message counts as handled (0).
    virtual LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    static LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK StaticDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Stores the object as the window's property and routes the window's messages to it, keeping
    // the previous window (or dialog) procedure for DefaultProc. False when the window already
    // carries an object or the object is attached to a window.
    static bool Attach(HWND window, CWndBase* object);
    // Restores the previous procedure and removes the property; nothing when not attached.
    void Detach();
    // The object attached to the window, or null.
    static CWndBase* FromWindow(HWND window);

    HWND GetWindowHandle() const { return m_hWnd; }
    bool IsDialog() const { return m_isDialog; }

protected:
    // The default handling: the previous procedure, else DefWindowProcW; for a dialog the previous
    // dialog procedure, else "not handled" (FALSE).
    LRESULT DefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    // For a dialog this holds the previous dialog procedure.
    WNDPROC m_prevWndProc = nullptr;
    bool m_isDialog = false;

private:
    static LRESULT Dispatch(CWndBase* object, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
