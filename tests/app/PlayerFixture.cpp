#include "tests/app/PlayerFixture.h"

#include "foundation/StringUtil.h"
#include "tests/support/TestWatchdog.h"

using namespace testing_support;

namespace player_testing {

ReplyWindow::ReplyWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PlayerReplyWindow";
    RegisterClassW(&wc);
    m_window = CreateWindowW(L"PlayerReplyWindow", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    SetPropW(m_window, L"reply", this);
}

ReplyWindow::~ReplyWindow() {
    DestroyWindow(m_window);
}

LRESULT CALLBACK ReplyWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<ReplyWindow*>(GetPropW(window, L"reply"));
    if (self != nullptr && message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        std::wstring text(static_cast<const wchar_t*>(data->lpData), data->cbData / 2);
        text.resize(text.find(L'\0') == std::wstring::npos ? text.size() : text.find(L'\0'));
        self->replies.push_back(text);
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT SendText(HWND target, const void* bytes, DWORD size, ULONG_PTR dwData) {
    COPYDATASTRUCT data = {};
    data.dwData = dwData;
    data.cbData = size;
    data.lpData = const_cast<void*>(bytes);
    // A player that stops answering fails the test instead of hanging it.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 15000, &result);
    return static_cast<LRESULT>(result);
}

LRESULT SendCommandLine(HWND target, const std::wstring& text) {
    return SendText(target, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

int CountPlayerWindows() {
    int count = 0;
    for (HWND window = FindWindowW(L"CVelaPlayer", nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, L"CVelaPlayer", nullptr)) {
        ++count;
    }
    return count;
}

std::string CommentFileOf(int count) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet>\n";
    for (int i = 0; i < count; ++i) {
        xml += "<chat thread=\"1\" no=\"" + std::to_string(i + 1) + "\" vpos=\"" + std::to_string(i * 7 % 3000) +
               "\" mail=\"naka\" user_id=\"u\">comment " + std::to_string(i) + "</chat>\n";
    }
    return xml + "</packet>\n";
}

size_t CountOf(const std::wstring& text, const std::wstring& piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::wstring::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

void PlayerTest::SetUp() {
    TempFolderTest::SetUp();
    m_program = CopyProgramTo(L"VelaPlayer.exe", Folder());
    ASSERT_FALSE(m_program.empty());
    // A known user: no first-start greeting, no upgrade questions.
    m_mainSettings = "LastBootVer=128\r\nFirstBoot=0\r\n";
    WriteIni();
}

void PlayerTest::SetServiceBaseUrl(const std::wstring& url) {
    m_serviceBaseUrl = WideToUtf8(url);
}

void PlayerTest::WriteIni() const {
    // Kept off the network unless a test gives a fake: opening a video asks the service for its data.
    WriteBytes(PathOf(L"velaplayer.ini"),
               "[main]\r\n" + m_mainSettings + "ServiceBaseUrl=" + m_serviceBaseUrl + "\r\n" + m_sections);
}

HWND PlayerTest::StartPlayer(ProgramProcess& process, const std::wstring& arguments) {
    WriteIni();
    if (!process.Start(m_program, arguments)) {
        ADD_FAILURE() << "the player could not be started, error " << GetLastError();
        return nullptr;
    }
    HWND main = process.WaitForWindow(L"CVelaPlayer");
    // Shown at the end of its creation.
    PumpMessagesUntil([&] { return main != nullptr && IsWindowVisible(main); });
    return main;
}

std::wstring PlayerTest::CopySample(const std::wstring& sample, const std::wstring& name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring source = self;
    source = source.substr(0, source.find_last_of(L'\\')) + L"\\app-samples\\" + sample;
    const std::wstring target = PathOf(name);
    return CopyFileW(source.c_str(), target.c_str(), FALSE) ? target : std::wstring();
}

std::wstring PlayerTest::Query(HWND main, const std::wstring& query) {
    const size_t before = m_reply.replies.size();
    const std::wstring hwnd = std::to_wstring(reinterpret_cast<uintptr_t>(m_reply.Handle()));
    SendCommandLine(main, L"x " + query + L" hwnd=" + hwnd);
    if (!PumpMessagesUntil([&] { return m_reply.replies.size() > before; })) {
        return L"?";
    }
    const std::wstring& reply = m_reply.replies.back();
    const bool wrapped =
        reply.size() >= 11 && reply.compare(0, 5, L"<PRE>") == 0 && reply.compare(reply.size() - 6, 6, L"</PRE>") == 0;
    return wrapped ? reply.substr(5, reply.size() - 11) : L"?" + reply;
}

std::wstring PlayerTest::LogOf(HWND main) {
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    return WindowText(GetDlgItem(FindProcessWindow(pid, L"CBaseDebug"), 1));
}

void PlayerTest::Close(ProgramProcess& process, HWND main) {
    PostMessageW(main, WM_CLOSE, 0, 0);
    const long code = process.WaitForExit();
    EXPECT_EQ(code, 0);
    if (code == -1) {
        // What the player was doing: its threads' stacks and, while its log window lasts, its log.
        const std::wstring log = WindowText(GetDlgItem(FindProcessWindow(process.ProcessId(), L"CBaseDebug"), 1));
        ADD_FAILURE() << "the player did not end after WM_CLOSE\n"
                      << WriteWatchdogReport("closing the player") << "\nits log:\n"
                      << WideToUtf8(log.substr(log.size() > 4000 ? log.size() - 4000 : 0));
    }
}

} // namespace player_testing
