#include "CWndDownload/DownloadClipboard.h"

#include "CWndDownload/CWndDownload.h"
#include "CWndDownload/DownloadCommands.h"
#include "app/ControlBars.h"
#include "client/VideoUrls.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/CCritSec.h"
#include "foundation/Clipboard.h"
#include "foundation/Regex.h"
#include "foundation/StringUtil.h"
#include "foundation/WindowUtil.h"

#include <commctrl.h>

#include <cwchar>

namespace {

// The main window's status part that shows the analysis.
const int kClipboardStatusPart = 4;

bool IsInformationWindowShown() {
    return IsWindowVisible(CBaseDebug::GetWindow()) != FALSE;
}

} // namespace

std::wstring ReadClipboardTextBlock(const void* data, size_t bytes) {
    const auto* text = static_cast<const wchar_t*>(data);
    return std::wstring(text, wcsnlen(text, bytes / sizeof(wchar_t)));
}

void GetClipboardText(std::wstring& buffer) {
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        const size_t bytes = GlobalSize(data);
        DebugLog() << L"クリップボードサイズ = " << bytes << EndLine;
        if (bytes > kClipboardTextLimitBytes) {
            DebugLog() << L"クリップボードテキストのサイズが制限値を超えています(" << kClipboardTextLimitBytes << L")"
                       << EndLine;
        } else if (const void* text = GlobalLock(data)) {
            buffer = ReadClipboardTextBlock(text, bytes);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
}

std::wstring MakeClipboardWindowKey(HWND window) {
    return GetWindowClassName(window) + L"::" + GetWindowTextString(window);
}

bool IsWatchedClipboardWindow(const std::wstring& key, const std::wstring& include, const std::wstring& exclude) {
    return RegexMatch(key, include) && (exclude.empty() || !RegexMatch(key, exclude));
}

std::wstring MakeClipboardQuestion(const std::vector<std::wstring>& urls) {
    std::wstring text = JoinStrings(urls, L", ");
    if (text.size() > kClipboardQuestionUrlsMax) {
        text.resize(kClipboardQuestionUrlsMax);
        text += L" ...(省略)";
    }
    return text + L"\n\n上記のURLをダウンロードリストに追加しますか？" +
           L"\n(クリップボードの監視機能は[ツール]->[設定]メニューで変更できます)";
}

bool PutOwnTextOnClipboard(HWND owner, const std::wstring& text) {
    if (!OpenClipboard(owner)) {
        return false;
    }
    DownloadOwnClipboardWrite() = true;
    return SetClipboardText(text);
}

// ---- The window's watch ------------------------------------------------------------------------------

void CWndDownload::WatchClipboard() {
    CAutoLock lock(m_clipboardLock);
    // The question's message loop lets the next notice in on this same thread, where the lock does not
    // keep it out: it is passed on but not analysed inside the first. The notice of joining the chain
    // comes before the settings are read (which may turn the watch off): only later changes count.
    if (m_created && !m_watchingClipboard) {
        m_watchingClipboard = true;
        if (!GetDownloadSettings().WatchClipBoard) {
            // Not watched.
        } else if (DownloadOwnClipboardWrite()) {
            DownloadOwnClipboardWrite() = false;
        } else {
            const std::wstring key = MakeClipboardWindowKey(GetForegroundWindow());
            if (IsWatchedClipboardWindow(key, m_windowKeys.WatchIncludeWindow, m_windowKeys.WatchExcludeWindow)) {
                if (IsInformationWindowShown()) {
                    DebugLog() << L"[クリップボード監視有効] " << key << EndLine;
                }
                if (OpenClipboard(GetHandle())) {
                    GetClipboardText(m_clipboardText);
                }
                AnalyzeClipboard();
            } else if (IsInformationWindowShown()) {
                DebugLog() << L"[クリップボード監視除外] " << key << EndLine;
            }
        }
        m_watchingClipboard = false;
    }
    if (m_nextClipboardViewer != nullptr) {
        SendMessageW(m_nextClipboardViewer, WM_DRAWCLIPBOARD, 0, 0);
    }
}

void CWndDownload::AnalyzeClipboard() {
    CStatusBar& status = GetMainControls().statusBar;
    if (m_clipboardText != m_lastAnalyzedClipboardText) {
        const bool debug = GetAppSettings().DebugMode;
        if (debug) {
            DebugLog() << L"クリップボード解析中..." << EndLine;
        }
        status.SetStatusPartText(kClipboardStatusPart, L"クリップボード解析中...");
        std::vector<std::wstring> urls;
        if (ExtractVideoUrls(m_clipboardText, urls)) {
            ForceForegroundWindow(GetHandle());
            const int answer = Ask(MakeClipboardQuestion(urls), MB_YESNO | MB_TOPMOST | MB_SETFOREGROUND);
            if (answer == IDYES && m_list != nullptr) {
                ListView_SetItemState(m_list, -1, 0, LVIS_SELECTED);
                const bool several = urls.size() > 1;
                for (const std::wstring& url : urls) {
                    Added(AddDownloadItem(L"", url, 0, several, !several));
                    ScrollToLastRow();
                }
            }
        }
        if (debug) {
            DebugLog() << L"クリップボード解析完了" << EndLine;
        }
    }
    status.SetStatusPartText(kClipboardStatusPart, L"");
    m_lastAnalyzedClipboardText = m_clipboardText;
}
