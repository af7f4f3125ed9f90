#pragma once
// The service account: the login, and the fetch of a video's API data that logs in again (asking for
// the account when there is none) when the reply says the session is not logged in.
//
// The account (Mail, Pass) and the open state of the download settings sheet belong to the download
// manager; they are asked for through the main window, which forwards the download block of messages.
// The session lives in WinInet's cookie store; no code here sets or sends a cookie.
//
// Thread use: a worker thread. The calls send messages to the main window, whose thread must be free to
// answer them, and GetFlvDataFromHtml may show a message box and wait for the settings sheet.

#include "foundation/PrivateMessages.h"

#include <windows.h>

#include <functional>
#include <string>

// Form fields of the login POST (application/x-www-form-urlencoded, UTF-8) to GetSecureLoginUrl().
extern const wchar_t kLoginMailField[];
extern const wchar_t kLoginPasswordField[];

// Posts the account to the login form. Logs "ログイン中..." and then "ログインに成功しました", or
// "Error : Login()" when the exchange failed or the page it leads to still offers the login form. One
// attempt, never repeated here.
bool Login(const std::wstring& mail, const std::wstring& password);

// The video's API data (GetFlvData). When the reply says the login has lapsed: logs "ログインしていません";
// when the download settings hold no account, asks for it (a box owned by owner) and opens the settings
// through the main window, polling every 500 ms while they are open; then logs in and fetches again.
// Empty on failure, with "ログイン情報が入力されていません", "FLVデータの再取得に失敗しました。" or
// "ログイン状態の再確認に失敗しました。" in the log.
// wait(ms) is the pause between two polls (Sleep when empty). A caller that may be stopped passes a wait
// that throws; nothing here holds a handle or a lock across it.
std::wstring GetFlvDataFromHtml(const std::wstring& videoId, HWND owner, const std::wstring& country,
                                const std::function<void(DWORD milliseconds)>& wait = nullptr);
