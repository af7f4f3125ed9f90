#include "foundation/Network.h"

#include "foundation/CBaseDebug.h"
#include "foundation/AppSettings.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>

bool IsInternetConnected() {
    if (GetAppSettings().OfflineMode) {
        return false;
    }
    if (InternetAttemptConnect(0) != ERROR_SUCCESS) {
        return false;
    }
    DWORD state = 0;
    if (!InternetGetConnectedState(&state, 0)) {
        return false;
    }
    if ((state & INTERNET_CONNECTION_OFFLINE) != 0) {
        static std::atomic<bool> logged{false};
        if (!logged.exchange(true)) {
            DebugLog() << L"インターネットオプションでオフライン作業に設定されています" << EndLine;
        }
        return false;
    }
    return true;
}

namespace {
std::atomic<bool> g_internetOnline{false};
}

bool IsInternetOnline() {
    return g_internetOnline.load();
}

void SetInternetOnline(bool online) {
    g_internetOnline = online;
}
