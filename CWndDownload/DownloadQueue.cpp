#include "CWndDownload/DownloadQueue.h"

#include "CWndDownload/DownloadCommands.h"
#include "CWndDownload/DownloadListRow.h"
#include "CWndDownload/DownloadSettings.h"
#include "client/HttpAccess.h"
#include "client/ServiceUrls.h"
#include "client/VideoUrls.h"
#include "client/WatchPage.h"
#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/Handles.h"
#include "foundation/ListView.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Network.h"
#include "foundation/PrivateMessages.h"

#include <commctrl.h>
#include <wininet.h>

namespace {

// The probe gives up soon: a machine that cannot reach the page within this counts as offline until
// a later check.
constexpr DWORD kProbeTimeoutMs = 10000;

const wchar_t kThrottledText[] = L"アクセス制限を確認しました。\n\n全ての待機項目のチェックを外します。\n"
                                 L"時間を置いてから再度ダウンロードして下さい。";

DWORD MillisecondsOf(int32_t seconds) {
    return seconds > 0 ? static_cast<DWORD>(seconds) * 1000u : 0u;
}

} // namespace

DownloadQueueHooks MakeDefaultDownloadQueueHooks() {
    DownloadQueueHooks hooks;
    hooks.now = [] { return GetTickCount(); };
    hooks.isConnected = [] { return IsInternetConnected(); };
    hooks.probe = [] { return ProbeInternetConnection(); };
    hooks.itemWorker = [](const DownloadItemStart& start) { return DownloadItemThread(start); };
    hooks.titleWorker = [](HWND list, const std::wstring& id) { return GetTitleThread(list, id); };
    return hooks;
}

CDownloadQueue::CDownloadQueue() : m_hooks(MakeDefaultDownloadQueueHooks()) {}

void CDownloadQueue::Reset() {
    m_tickCounter = 3;
    m_onlineState = -1;
    m_loggedChecking = m_loggedTrue = m_loggedFalse = false;
    m_lastRunningCount = 0;
    m_lastDownloadStart.reset();
    m_lastTitleStart.reset();
    m_titleThread = CWorkerThread();
    // A probe still running reports to its own state, which no tick reads any more.
    m_probe = std::make_shared<ProbeState>();
    SetInternetOnline(false);
}

bool CDownloadQueue::WaitedSince(const std::optional<DWORD>& since, int32_t seconds) {
    return !since || m_hooks.now() - *since >= MillisecondsOf(seconds);
}

void CDownloadQueue::ApplyConnectionResult(int result) {
    if (result == m_onlineState) {
        return;
    }
    if (result == 1) {
        SetInternetOnline(true);
        if (m_onlineState == 0) {
            DebugLog() << L"[インターネットの接続を確認しました]" << EndLine;
        } else if (GetAppSettings().DebugMode) {
            DebugLog() << L"インターネットの接続を確認しました" << EndLine;
        }
    } else {
        SetInternetOnline(false);
        DebugLog() << L"インターネットの接続を確認できません" << EndLine;
    }
    m_onlineState = result;
}

void CDownloadQueue::CheckConnection() {
    const bool debug = GetAppSettings().DebugMode;
    if (debug && !m_loggedChecking) {
        m_loggedChecking = true;
        DebugLog() << L"CheckInternetConnection()..." << EndLine;
    }
    const int result = m_hooks.isConnected() ? 1 : 0;
    if (debug) {
        bool& logged = result == 1 ? m_loggedTrue : m_loggedFalse;
        if (!logged) {
            logged = true;
            DebugLog() << (result == 1 ? L"CheckInternetConnection() : True" : L"CheckInternetConnection() : False")
                       << EndLine;
        }
    }
    if (result == 1 && m_onlineState == 0) {
        // Back from offline only when a real page opens. The probe may take WinInet's time to fail,
        // so it runs on a worker and a later tick takes its result; meanwhile the machine stays
        // offline.
        if (!m_probe->running.exchange(true)) {
            std::shared_ptr<ProbeState> probe = m_probe;
            std::function<bool()> open = m_hooks.probe;
            StartWorker({L"ConnectionProbe", false}, [probe, open] { probe->result = open() ? 1 : 0; },
                        [probe] { probe->running = false; });
        }
        return;
    }
    if (result == 0) {
        // The system's newer answer wins over a probe of the last check still to be taken.
        m_probe->result = -1;
    }
    ApplyConnectionResult(result);
}

void CDownloadQueue::Tick(HWND list) {
    const AppSettings& app = GetAppSettings();
    if (app.OfflineMode) {
        // A probe that ends meanwhile speaks of a time before the switch.
        m_probe->result = -1;
        if (IsInternetOnline()) {
            DebugLog() << L"オフラインモードに設定されました" << EndLine;
            SetInternetOnline(false);
            m_onlineState = 0;
        }
        return;
    }
    const int probed = m_probe->result.exchange(-1);
    if (probed != -1 && m_onlineState == 0) {
        ApplyConnectionResult(probed);
    }
    if (++m_tickCounter > 4) {
        m_tickCounter = 0;
        CheckConnection();
    }
    StartWaitingItems(list);
}

void CDownloadQueue::StartWaitingItems(HWND list) {
    if (GetAppSettings().OfflineMode || m_onlineState == 0) {
        return;
    }
    const int rowCount = ListView_GetItemCount(list);
    const DownloadSettings& settings = GetDownloadSettings();
    const int running = CountRunningDownloads();
    if (running < m_lastRunningCount) {
        m_lastDownloadStart = m_lastTitleStart = m_hooks.now();
        if (HasWaitingItems(list)) {
            DebugLog() << L"ダウンロード待機中...(" << std::to_wstring(settings.AccessWaitSec) << L"秒)" << EndLine;
        }
    }
    m_lastRunningCount = running;

    for (int row = 0; row < rowCount; ++row) {
        if (!IsDownloadRowTicked(list, row)) {
            continue;
        }
        const WORD status = GetItemStatusOf(GetListItemParam(list, row));
        // A worker that has not yet written its first status still shows the row waiting: the row is
        // its, not the next worker's.
        if ((status == kDownloadStatusWaiting || (status == kDownloadStatusError && !HasItemOptionText(list, row))) &&
            FindRunningThreadSlot(row) < 0 && WaitedSince(m_lastDownloadStart, settings.AccessWaitSec) && StartDownloadItemThread(list, row)) {
            m_lastDownloadStart = m_lastTitleStart = m_hooks.now();
        }
        if (settings.GetTitleWaitSec > 0 && status == kDownloadStatusWaiting &&
            WaitedSince(m_lastTitleStart, settings.GetTitleWaitSec) && StartGetTitleThread(row, list)) {
            m_lastTitleStart = m_hooks.now();
        }
    }
}

bool CDownloadQueue::StartDownloadItemThread(HWND list, int row) {
    if (CountRunningDownloads() >= GetDownloadSettings().ThreadDownProcessMax) {
        return false;
    }
    CAutoLock guard = LockWorkerThreads();
    int slot = FindFreeThreadSlot();
    if (slot < 0) {
        AddWorkerThread(WorkerThreadRecord{});
        slot = static_cast<int>(GetWorkerThreadCount()) - 1;
    }
    WorkerThreadRecord& record = GetWorkerThread(static_cast<size_t>(slot));
    record.state = WorkerThreadRecord::kRunning;
    record.rowIndex = row;
    record.pausedFromStatus = 0;
    // A record taken again must not carry its last worker's pause or cancel.
    record.signals = std::make_shared<WorkerSignals>();
    DownloadItemStart start{list, row, static_cast<size_t>(slot)};
    std::function<unsigned(const DownloadItemStart&)> body = m_hooks.itemWorker;
    // The worker takes the list's lock to write its record, so the record is filled in before it can.
    record.thread = StartWorker({L"DownloadItemThread", true}, [body, start] { return body(start); });
    if (!record.thread.IsStarted()) {
        record.state = WorkerThreadRecord::kFree;
        record.rowIndex = -1;
        return false;
    }
    return true;
}

bool CDownloadQueue::StartGetTitleThread(int row, HWND list) {
    if (!GetListItemText(list, row, kDownloadColumnTitle).empty()) {
        return false;
    }
    if (m_titleThread.IsRunning()) {
        return true;
    }
    const std::wstring id = GetListItemText(list, row, kDownloadColumnId);
    std::function<unsigned(HWND, const std::wstring&)> body = m_hooks.titleWorker;
    m_titleThread = StartWorker({L"GetTitleThread", true}, [body, list, id] { return body(list, id); });
    return true;
}

CDownloadQueue& GetDownloadQueue() {
    static CDownloadQueue queue;
    return queue;
}

void CALLBACK DownloadQueueTimerProc(HWND list, UINT, UINT_PTR, DWORD) {
    GetDownloadQueue().Tick(list);
}

int FindFreeThreadSlot() {
    CAutoLock guard = LockWorkerThreads();
    for (size_t i = 0; i < GetWorkerThreadCount(); ++i) {
        if (GetWorkerThread(i).state == WorkerThreadRecord::kFree) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int CountRunningDownloads() {
    CAutoLock guard = LockWorkerThreads();
    int count = 0;
    for (size_t i = 0; i < GetWorkerThreadCount(); ++i) {
        if (GetWorkerThread(i).state == WorkerThreadRecord::kRunning) {
            ++count;
        }
    }
    return count;
}

bool HasWaitingItems(HWND list) {
    const int count = ListView_GetItemCount(list);
    for (int row = 0; row < count; ++row) {
        const WORD status = GetItemStatusOf(GetListItemParam(list, row));
        if (IsDownloadRowTicked(list, row) && (status == kDownloadStatusWaiting || status == kDownloadStatusError)) {
            return true;
        }
    }
    return false;
}

unsigned GetTitleThread(HWND list, const std::wstring& id) {
    std::wstring country;
    RunDownloadRowStep(list, [&] {
        const int row = FindRowById(list, id);
        if (row >= 0) {
            country = GetItemOption(list, row, L"country=");
        }
    });
    const std::wstring url = MakeAbsoluteUrl(id, country);
    std::wstring page;
    std::wstring title;
    if (IsVideoIdText(url) && OpenUrlChecked(page, url)) {
        title = GetTitle(page);
    }
    if (!title.empty()) {
        bool written = false;
        RunDownloadRowStep(list, [&] {
            const int row = FindRowById(list, id);
            if (row >= 0) {
                written = SetListItemText(title, kDownloadColumnTitle, list, row);
            }
        });
        if (written) {
            NotifyDownloadListChanged(list);
        }
        return 1;
    }
    DebugLog() << id << L" : 動画タイトルの取得に失敗しました" << EndLine;
    const bool throttled = IsAccessThrottled(page);
    RunDownloadRowStep(list, [&] {
        const int row = FindRowById(list, id);
        if (row >= 0 && GetListItemText(list, row, kDownloadColumnTitle).empty()) {
            SetListItemText(DownloadTitlePlaceholder(), kDownloadColumnTitle, list, row);
        }
        if (throttled) {
            UncheckWaitingItems(list);
        }
    });
    if (throttled) {
        MessageBoxW(GetParent(list), kThrottledText, GetAppSettings().appName.c_str(),
                    MB_OK | MB_SETFOREGROUND | MB_TOPMOST);
    }
    return 0;
}

bool ProbeInternetConnection() {
    const AppSettings& app = GetAppSettings();
    const bool debug = app.DebugMode;
    if (debug) {
        DebugLog() << L"インターネットへの接続を確認しています..." << EndLine;
    }
    CInternetHandle session(InternetOpenW(app.UserAgent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session) {
        if (debug) {
            DebugLog() << L"!InternetOpen" << EndLine;
        }
        return false;
    }
    DWORD timeout = kProbeTimeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        InternetSetOptionW(session.Get(), option, &timeout, sizeof(timeout));
    }
    CInternetHandle page(InternetOpenUrlW(session.Get(), app.PingUrl.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0));
    if (!page) {
        if (debug) {
            DebugLog() << L"!InternetOpenUrl" << EndLine;
        }
        return false;
    }
    if (debug) {
        DebugLog() << L"Pingに成功しました" << EndLine;
    }
    return true;
}
