#include "CWndDownload/DownloadClipboard.h"

#include "foundation/CBaseDebug.h"

#include <windows.h>

#include <cwchar>

void GetClipboardText(std::wstring& buffer) {
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        const size_t bytes = GlobalSize(data);
        DebugLog() << L"クリップボードサイズ = " << bytes << EndLine;
        if (bytes > kClipboardTextLimitBytes) {
            DebugLog() << L"クリップボードテキストのサイズが制限値を超えています(" << kClipboardTextLimitBytes << L")"
                       << EndLine;
        } else if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
            // Another program may have put a text without its terminating zero.
            buffer.assign(text, wcsnlen(text, bytes / sizeof(wchar_t)));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
}
