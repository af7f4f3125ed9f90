#include "windows/CWndInfo.h"

#include "foundation/PathUtil.h"

bool CWndInfo::Move(const std::wstring&) { return false; }

bool CWndInfo::ExecScript(const std::wstring&, const std::wstring&) { return false; }

bool CWndInfo::GetInnerHTML(const std::wstring&, std::wstring&) { return false; }

bool CWndInfo::SetExchangeHTML(const std::wstring&) { return false; }

bool CWndInfo::SaveSettings(const std::wstring&) { return false; }

std::wstring CWndInfo::GetPagePath(PageFile file) const {
    static const wchar_t* const kNames[] = {L"temp.html",  L"reading.html", L"reading.gif",   L"error.html",
                                            L"style.css",  L"prototype.js", L"velaplayer.js", L"swfobject.js"};
    return GetProgramFolder() + L"\\videoinfo\\" + kNames[static_cast<int>(file)];
}

CWndInfo& GetInfoWindow() {
    static CWndInfo window;
    return window;
}
