#include "app/CloseRules.h"

#include "CWndDownload/CWndDownload.h"
#include "foundation/AppSettings.h"

bool IsCloseRefused(const CloseConditions& conditions, HWND main, CWndDownload& download) {
    const wchar_t* caption = GetAppSettings().appName.c_str();
    if (conditions.downloadRunning && !conditions.exitForced) {
        download.Show(SW_SHOW);
        const int answer = MessageBoxW(
            download.GetHandle(), L"ダウンロード実行中です。\nダウンロードを中断してソフトを終了してもよろしいですか？",
            caption, MB_YESNO | MB_TOPMOST | MB_SETFOREGROUND);
        if (answer != IDYES) {
            return true;
        }
    }
    if (conditions.settingsSheetOpen) {
        MessageBoxW(main, L"ダウンロードウィンドウの設定ダイアログが開かれたままです。", caption,
                    MB_OK | MB_TOPMOST | MB_SETFOREGROUND);
        SetWindowPos(download.GetHandle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        return true;
    }
    return false;
}
