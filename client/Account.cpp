#include "client/Account.h"

#include "client/FlvData.h"
#include "client/HttpAccess.h"
#include "client/ServiceUrls.h"
#include "client/WatchPage.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/StringUtil.h"
#include "foundation/UrlEncode.h"

#include <wininet.h>

const wchar_t kLoginMailField[] = L"mail";
const wchar_t kLoginPasswordField[] = L"password";

namespace {

const DWORD kSettingsPollMs = 500;

// The answer points into the download settings, which the sheet may replace later: copied at once.
std::wstring AskMainWindowText(UINT message) {
    const auto text = reinterpret_cast<const wchar_t*>(SendMessageW(GetMainWindow(), message, 0, 0));
    return text != nullptr ? std::wstring(text) : std::wstring();
}

bool IsSettingsOpen() {
    return SendMessageW(GetMainWindow(), kMsgDownloadIsSettingsOpen, 0, 0) != 0;
}

bool ReadAccount(std::wstring& mail, std::wstring& password) {
    mail = AskMainWindowText(kMsgDownloadGetMail);
    password = AskMainWindowText(kMsgDownloadGetPass);
    return !mail.empty() && !password.empty();
}

// The account, asking the user for it when the settings hold none; false when it is still missing.
bool GetAccount(HWND owner, std::wstring& mail, std::wstring& password,
                const std::function<void(DWORD milliseconds)>& wait) {
    if (ReadAccount(mail, password)) {
        return true;
    }
    // A sheet already open (another download asked) is waited for, not opened a second time.
    if (!IsSettingsOpen()) {
        MessageBoxW(owner, L"ログイン情報を入力して下さい。", GetAppSettings().appName.c_str(),
                    MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND | MB_TOPMOST);
        SendMessageW(GetMainWindow(), kMsgDownloadOpenSettings, 0, 0);
    }
    while (!ReadAccount(mail, password) && IsSettingsOpen()) {
        if (wait) {
            wait(kSettingsPollMs);
        } else {
            Sleep(kSettingsPollMs);
        }
    }
    return ReadAccount(mail, password);
}

} // namespace

bool Login(const std::wstring& mail, const std::wstring& password) {
    DebugLog() << L"ログイン中..." << EndLine;
    const std::wstring form = std::wstring(kLoginMailField) + L"=" + UrlEncode(mail) + L"&" + kLoginPasswordField +
                              L"=" + UrlEncode(password);
    std::string reply;
    // The service answers with the page it leads to; a refused login shows the form again.
    if (!PostURLData(GetSecureLoginUrl(), L"application/x-www-form-urlencoded", WideToUtf8(form), reply) ||
        reply.empty() || !CheckLoginPage(Utf8ToWide(reply))) {
        DebugLog() << L"Error : Login()" << EndLine;
        return false;
    }
    DebugLog() << L"ログインに成功しました" << EndLine;
    return true;
}

std::wstring GetFlvDataFromHtml(const std::wstring& videoId, HWND owner, const std::wstring& country,
                                const std::function<void(DWORD milliseconds)>& wait) {
    std::wstring data = GetFlvData(videoId, country, INTERNET_FLAG_EXISTING_CONNECT);
    if (data.empty()) {
        DebugLog() << L"Error : GetFlvData()" << EndLine;
        return data;
    }
    if (!IsClosed(data)) {
        return data;
    }
    DebugLog() << L"ログインしていません" << EndLine;
    std::wstring mail;
    std::wstring password;
    if (!GetAccount(owner, mail, password, wait)) {
        DebugLog() << L"ログイン情報が入力されていません" << EndLine;
        return std::wstring();
    }
    if (!Login(mail, password)) {
        return std::wstring();
    }
    data = GetFlvData(videoId, country, INTERNET_FLAG_RELOAD);
    if (data.empty()) {
        DebugLog() << L"FLVデータの再取得に失敗しました。" << EndLine;
        return data;
    }
    if (IsClosed(data)) {
        DebugLog() << L"ログイン状態の再確認に失敗しました。" << EndLine;
        return std::wstring();
    }
    return data;
}
