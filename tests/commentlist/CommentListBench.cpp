// Prints the time the real comment list window takes to fill in 10,000 rows (from a comment file and
// from the comment store) and to sort them by several columns, beside the goals.
#include "CWndCommentList/CWndCommentList.h"

#include "engine/CCommentFilter.h"
#include "engine/CommentControl.h"
#include "foundation/CBaseDebug.h"
#include "tests/support/BenchClock.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>

using testing_support::Seconds;

// The program's log object, as the player makes it.
CBaseDebug& DebugLog() {
    static CBaseDebug log;
    return log;
}

namespace {

constexpr int kRows = 10000;

std::string MakeCommentFile() {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet><thread last_res=\"10000\"/>\n";
    for (int i = 0; i < kRows; ++i) {
        const int vpos = (i * 7919) % 60000;
        xml += "<chat thread=\"1\" no=\"" + std::to_string(i + 1) + "\" vpos=\"" + std::to_string(vpos) +
               "\" date=\"" + std::to_string(1200000000 + i * 13) + "\" mail=\"" + (i % 5 == 0 ? "184 red" : "184") +
               "\" user_id=\"user" + std::to_string((i * 31) % 997) + "\"" + (i % 11 == 0 ? " premium=\"1\"" : "") +
               ">comment text number " + std::to_string((i * 17) % 10007) + " \xE3\x81\x82</chat>\n";
    }
    return xml + "</packet>\n";
}

// Answers the window's messages until the condition holds or the time has passed.
bool PumpMessagesUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() > end) {
            return false;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    return true;
}

int Rows(const CWndCommentList& window) {
    return static_cast<int>(SendMessageW(window.GetListView(), LVM_GETITEMCOUNT, 0, 0));
}

double TimeLoad(CWndCommentList& window, const std::function<void()>& start) {
    SendMessageW(window.GetListView(), LVM_DELETEALLITEMS, 0, 0);
    const double begin = Seconds();
    start();
    // The load first shows its busy title, then gives the stored one back when the rows are in.
    PumpMessagesUntil([&] { return window.IsBusy() || Rows(window) == kRows; }, 60000);
    PumpMessagesUntil([&] { return !window.IsBusy() && Rows(window) == kRows; }, 60000);
    return Seconds() - begin;
}

} // namespace

int main() {
    CoInitialize(nullptr);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"commentlist_bench";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\sm1.xml";
    const std::string xml = MakeCommentFile();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, xml.data(), static_cast<DWORD>(xml.size()), &written, nullptr);
    CloseHandle(file);

    CWndCommentList window;
    window.Init(L"VelaPlayer", folder + L"\\velaplayer.ini");
    window.Show(SW_SHOW);

    const double fileLoad = TimeLoad(window, [&] { window.LoadFileAsync(path); });
    std::printf("fill 10,000 rows from a comment file (read + rows): %.3f s  (goal <= 1.0 s, %s)  rows %d\n", fileLoad, fileLoad <= 1.0 ? "within" : "NOT within",
                Rows(window));

    CCommentFilter filter;
    CommentControl store(filter);
    store.LoadCommentFile(path);
    const double storeLoad = TimeLoad(window, [&] { window.LoadAsync(store); });
    std::printf("fill 10,000 rows from the comment store (incl. the number sort): %.3f s  (goal <= 1.0 s, %s)  rows %d\n",
                storeLoad, storeLoad <= 1.0 ? "within" : "NOT within", Rows(window));

    const struct {
        int column;
        const char* name;
    } sorts[] = {{0, "time"}, {1, "comment"}, {2, "ID"}, {4, "No."}};
    for (const auto& s : sorts) {
        window.SetSortMark(s.column, 1);
        const double begin = Seconds();
        window.Sort();
        const double took = Seconds() - begin;
        std::printf("sort 10,000 rows by %s: %.3f s  (goal <= 0.3 s, %s)\n", s.name, took, took <= 0.3 ? "within" : "NOT within");
    }
    window.SetSortMark(4, 0);
    window.SelectAll();
    {
        const double begin = Seconds();
        window.SortByPostCount();
        std::printf("group 10,000 rows by ID: %.3f s\n", Seconds() - begin);
    }
    window.Destroy();
    DeleteFileW(path.c_str());
    DeleteFileW((folder + L"\\velaplayer.ini").c_str());
    RemoveDirectoryW(folder.c_str());
    CoUninitialize();
    return 0;
}
