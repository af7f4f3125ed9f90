#pragma once
// The download queue: once a second (the timer on the list view while the list has rows) it checks
// now and then whether the machine is online, starts a worker for ticked waiting or failed rows, and
// starts title fetches so that waiting rows show their titles before their turn. Two item starts are
// at least AccessWaitSec apart, counted also from the end of the previous item; two title fetches at
// least GetTitleWaitSec.
//
// Thread use: the tick, the starts and the record bookkeeping run on the UI thread (the list's). The
// connection probe and the title fetches run on workers; a title fetch reaches the list only by one
// row step per write, which finds the row again by its ID.

#include "CWndDownload/DownloadItemWorker.h"
#include "foundation/CWorkerThread.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// What the queue works through; tests replace parts of it.
struct DownloadQueueHooks {
    // Milliseconds of a clock that runs on (GetTickCount); compared by unsigned differences, so the
    // wrap after 49.7 days does not matter.
    std::function<DWORD()> now;
    // The system's view of the connection (IsInternetConnected).
    std::function<bool()> isConnected;
    // Opens the PingUrl page (ProbeInternetConnection); runs on a worker.
    std::function<bool()> probe;
    // The body of an item worker (DownloadItemThread).
    std::function<unsigned(const DownloadItemStart&)> itemWorker;
    // The body of a title fetch (GetTitleThread).
    std::function<unsigned(HWND list, const std::wstring& id)> titleWorker;
};
DownloadQueueHooks MakeDefaultDownloadQueueHooks();

class CDownloadQueue {
public:
    CDownloadQueue();

    // The timer's tick: the connection check, then StartWaitingItems.
    void Tick(HWND list);
    // Starts workers and title fetches for the rows whose turn it is. Besides each tick, the window
    // runs it as soon as rows were added or a worker ended, so that the next row does not wait for
    // the timer.
    void StartWaitingItems(HWND list);
    // Starts a worker for the row when fewer than ThreadDownProcessMax run; true when one started.
    bool StartDownloadItemThread(HWND list, int row);
    // Starts a title fetch for the row when column 0 is empty; true also while the previous fetch
    // still runs (nothing is started then).
    bool StartGetTitleThread(int row, HWND list);

    // -1 not yet checked, 0 offline, 1 online.
    int GetOnlineState() const { return m_onlineState; }

    DownloadQueueHooks& Hooks() { return m_hooks; }
    // The state of a program just started (for tests): the hooks stay.
    void Reset();

private:
    void CheckConnection();
    void ApplyConnectionResult(int result);
    bool WaitedSince(const std::optional<DWORD>& since, int32_t seconds);

    DownloadQueueHooks m_hooks;
    int m_tickCounter = 3;
    int m_onlineState = -1;
    bool m_loggedChecking = false;
    bool m_loggedTrue = false;
    bool m_loggedFalse = false;
    int m_lastRunningCount = 0;
    // Empty until the first start (the first start waits for nothing).
    std::optional<DWORD> m_lastDownloadStart;
    std::optional<DWORD> m_lastTitleStart;
    CWorkerThread m_titleThread;
    // The probe's outcome, handed from its worker to the next tick: -1 none, else 0 or 1.
    struct ProbeState {
        std::atomic<bool> running{false};
        std::atomic<int> result{-1};
    };
    std::shared_ptr<ProbeState> m_probe = std::make_shared<ProbeState>();
};

// The process's queue, which the timer procedure drives.
CDownloadQueue& GetDownloadQueue();

// The timer procedure on the list view; only the window handle is used.
void CALLBACK DownloadQueueTimerProc(HWND list, UINT message, UINT_PTR id, DWORD time);

// The first record in state free, or -1.
int FindFreeThreadSlot();
// The records in state running.
int CountRunningDownloads();
// Whether a ticked row is waiting or failed.
bool HasWaitingItems(HWND list);

// A title fetch for the row whose column 1 is the id: the watch page's title into column 0, else the
// title placeholder (only while column 0 is empty); the access-restriction page also unticks every
// waiting row and tells the user. 1 on success, 0 on failure.
unsigned GetTitleThread(HWND list, const std::wstring& id);

// Opens the PingUrl page with UserAgent (direct, no proxy, short time-outs); true when it opened.
bool ProbeInternetConnection();
