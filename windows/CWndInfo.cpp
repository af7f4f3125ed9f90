#include "windows/CWndInfo.h"

void CWndInfo::Move(const std::wstring&) {}

bool CWndInfo::GetInnerHTML(const std::wstring&, std::wstring& html) {
    html.clear();
    return false;
}

CWndInfo& GetInfoWindow() {
    static CWndInfo window;
    return window;
}
