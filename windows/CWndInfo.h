#pragma once
// The video-information window. The page and its embedded browser come with the window itself; this holds
// the window, its notify target and the requests the main window makes of it.
//
// Thread use: UI thread.

#include "foundation/PrivateMessages.h"
#include "windows/CToolWindow.h"

#include <atomic>
#include <string>
#include <vector>

class CWndInfo : public CToolWindow {
public:
    CWndInfo() : CToolWindow(L"CWndInfo", L" - 動画情報ウィンドウ", kMsgVideoInfoHandle) {}
    // Shows a target in the page: script, about:blank for an empty text, or an address. Any thread.
    bool Move(const std::wstring& target);
    // Runs a script in the page (language "JavaScript").
    bool ExecScript(const std::wstring& language, const std::wstring& script);
    // The inner HTML of the page element with that id; false when there is none.
    bool GetInnerHTML(const std::wstring& id, std::wstring& html);
    // The text becomes the inner HTML of the page element "exchange".
    bool SetExchangeHTML(const std::wstring& text);
    // Writes the window's settings; false when the window does not exist.
    bool SaveSettings(const std::wstring& iniPath);

    // Links may open inside the window (process-wide).
    void SetOpenInside(bool inside) { m_openInside = inside; }
    bool IsOpenInside() const { return m_openInside; }
    // A navigation is under way: set before each navigation, cleared when a page has loaded.
    bool IsPageLoading() const { return m_pageLoading; }

    // True while a page build runs or the main window's wait page is shown. Written on the UI thread
    // or by the page-building thread, read by any thread.
    bool IsBusy() const { return m_busy; }
    void SetBusy(bool busy) { m_busy = busy; }
    // Seconds the main window shows the wait page before a build.
    int GetReadingWaitSec() const { return m_readingWaitSec; }

    // The page files of the work folder (program folder + "\videoinfo").
    enum class PageFile { TempHtml, ReadingHtml, ReadingGif, ErrorHtml, StyleCss, PrototypeJs, VelaplayerJs, SwfobjectJs };
    std::wstring GetPagePath(PageFile file) const;

private:
    std::atomic<bool> m_openInside{false};
    std::atomic<bool> m_pageLoading{false};
    std::atomic<bool> m_busy{false};
    std::atomic<int> m_readingWaitSec{3};
};

// The process's one video-information window object.
CWndInfo& GetInfoWindow();
