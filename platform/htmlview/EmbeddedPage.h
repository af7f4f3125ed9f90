#pragma once
// The web page shown inside a tool window: the operations the window asks of it, behind an interface
// of our own, with the one implementation this program ships (a small HTML view drawn with GDI).
//
// The page lives in a child window of class "Internet Explorer_Server" inside the host window that
// creates it. Every navigation, whether started by the program (Navigate, NavigateToText) or by a
// click on a link, first asks the events' OnBeforeNavigate with the target as given, synchronously;
// returning true cancels it and nothing else happens (no document-complete follows). A navigation
// that goes on loads the page and later, from the window's own message loop, calls
// OnDocumentComplete with the same target text. A file target (a path, or a "file:" URL) is read from
// disk: UTF-16 or UTF-8 with a byte-order mark, else the charset the page declares
// ("Shift_JIS"/code page 932, "UTF-8", "EUC-JP"...), else UTF-8 when the bytes are valid UTF-8, else
// the system's ANSI code page. "about:blank", an empty target, a file that cannot be read and targets
// that cannot be fetched here (http: pages) show an empty page and still complete, as a browser's
// error page would. A clicked link is made absolute against the page (its <base href>, else its own
// target) before the decision; one whose href begins with "javascript:" runs the rest as a script
// (ExecScript) without a navigation, and one beginning with "#" does nothing.
//
// Scripts: there is no script engine. ExecScript records each text it is asked to run (Scripts), and
// fails as a page would: when no page is loaded, when the language is not JavaScript/JScript, and
// when the text does not parse (brackets, braces, comments or string quotes left open; a parse error
// is not caught by a "try{...}catch(e){}" wrapper either). Calls of the page's own functions
// (vp.onNotify...) do nothing and succeed. One statement takes effect on the page, the one the program sends
// after a page loads: document.body.insertAdjacentHTML('AfterEnd', '<html text>') (also 'BeforeEnd'),
// which adds the elements to the page, so that an element like "exchange" exists afterwards.
//
// Inner HTML: GetInnerHTML serialises an element's children with upper-case tag names (as the
// browser control the callers were written for does: "<PRE>text</PRE>"); PutInnerHTML parses the text
// as a fragment and replaces the children. Both fail when no element has the id.
//
// Thread use: UI thread only (the thread that created the host window); the events are called on it.
// Calls from other threads must be marshalled by the caller (a message to the host window).

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class IEmbeddedPageEvents {
public:
    virtual ~IEmbeddedPageEvents() = default;
    // Returns true to cancel the navigation.
    virtual bool OnBeforeNavigate(const std::wstring& target) = 0;
    virtual void OnDocumentComplete(const std::wstring& target) = 0;
};

class IEmbeddedPage {
public:
    // Destroys the page's window.
    virtual ~IEmbeddedPage() = default;

    // The child window of class "Internet Explorer_Server".
    virtual HWND GetWindow() const = 0;

    // Shows a file path, a "file:" URL or "about:blank" (empty: "about:blank"). False only when the
    // navigation was cancelled (the page then stays as it was).
    virtual bool Navigate(const std::wstring& target) = 0;
    // Shows the given page text as if it had been loaded from the target (relative links and images
    // are taken from the target's folder). False when the navigation was cancelled.
    virtual bool NavigateToText(const std::wstring& html, const std::wstring& target) = 0;
    // The target of the page shown, as given; empty before the first navigation.
    virtual std::wstring GetLocation() const = 0;

    // See the header's comment. True when the page would have run the script without an error.
    virtual bool ExecScript(const std::wstring& language, const std::wstring& text) = 0;
    // Every text given to ExecScript since the page was created, in order, as given.
    virtual std::vector<std::wstring> Scripts() const = 0;

    // The first element with the id (exact, case-sensitive).
    virtual bool GetInnerHTML(const std::wstring& id, std::wstring& html) const = 0;
    virtual bool PutInnerHTML(const std::wstring& id, const std::wstring& html) = 0;

    // When set, the page shows no dialogs of its own (it has none today; the setting is kept).
    virtual void SetSilent(bool silent) = 0;
    virtual bool IsSilent() const = 0;

    // For the message loop and for windows that forward keys: handles the page's keys (Ctrl+C copy,
    // Ctrl+A select all, Page Up/Down, Home/End, Up/Down scroll) for a WM_KEYDOWN/WM_SYSKEYDOWN
    // message and returns true when it used the message.
    virtual bool TranslateAccelerator(const MSG& message) = 0;

    // Puts the selected text on the clipboard (CF_UNICODETEXT); false when nothing is selected.
    virtual bool CopySelection() = 0;
    // The selected text, lines separated by "\r\n".
    virtual std::wstring GetSelectedText() const = 0;
};

// Creates the page window as a visible child of the host, filling the given rectangle of the host's
// client area. Null when the window cannot be created. The events object must outlive the page.
std::unique_ptr<IEmbeddedPage> CreateEmbeddedPage(HWND host, const RECT& place, IEmbeddedPageEvents* events);
