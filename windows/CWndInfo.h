#pragma once
// The video-information window. The page and its embedded browser come with the window itself; this holds
// the window, its notify target and the requests the main window makes of it.
//
// Thread use: UI thread.

#include "foundation/PrivateMessages.h"
#include "windows/CToolWindow.h"

#include <string>
#include <vector>

class CWndInfo : public CToolWindow {
public:
    CWndInfo() : CToolWindow(L"CWndInfo", L" - 動画情報ウィンドウ", kMsgVideoInfoHandle) {}
    // Shows a target in the page: script, about:blank for an empty text, or an address.
    void Move(const std::wstring& target);
    // The inner HTML of the page element with that id; false when there is none.
    bool GetInnerHTML(const std::wstring& id, std::wstring& html);
    void SetOpenInside(bool inside) { m_openInside = inside; }
    bool IsOpenInside() const { return m_openInside; }

private:
    bool m_openInside = false;
};

// The process's one video-information window object.
CWndInfo& GetInfoWindow();
