#include "windows/CWndPlayList.h"

#include "foundation/AppSettings.h"

void CWndPlayList::Clear(bool confirm) {
    if (confirm && MessageBoxW(GetHandle(), L"このファイルのリストデータを全てクリアしますか？",
                               GetAppSettings().appName.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
}

std::wstring CWndPlayList::GetPrevFile(const std::wstring&) { return std::wstring(); }
std::wstring CWndPlayList::GetNextFile(const std::wstring&) { return std::wstring(); }
std::wstring CWndPlayList::GetRandomFile(const std::wstring&) { return std::wstring(); }

CWndPlayList& GetPlayListWindow() {
    static CWndPlayList window;
    return window;
}
