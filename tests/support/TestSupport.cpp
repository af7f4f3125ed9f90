#include "tests/support/TestSupport.h"

#include "foundation/CBaseDebug.h"
#include "tests/support/TestWatchdog.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace testing_support {

// A deadline only ends a wait that is failing anyway; a machine busy with a parallel build runs Wine
// programs several times slower (a start of the player alone can take longer than 10 s), so every
// deadline is stretched by this much. A wait that never ends is the watchdog's.
constexpr ULONGLONG kDeadlineStretch = 4;

namespace {

bool PumpUntilDeadline(const std::function<bool()>& condition, ULONGLONG deadline) {
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (condition()) {
            return true;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 10)),
                                  QS_ALLINPUT);
    }
}

} // namespace

bool PumpMessagesUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    return PumpUntilDeadline(condition, GetTickCount64() + timeoutMs * kDeadlineStretch);
}

namespace {

std::vector<std::function<void()>>& ProgramEndSteps() {
    static std::vector<std::function<void()>> steps;
    return steps;
}

} // namespace

void AddProgramEndStep(std::function<void()> step) {
    ProgramEndSteps().push_back(std::move(step));
}

void RunProgramEndSteps() {
    auto& steps = ProgramEndSteps();
    while (!steps.empty()) {
        std::function<void()> step = std::move(steps.back());
        steps.pop_back();
        step();
    }
}

void PumpMessagesFor(DWORD milliseconds) {
    PumpUntilDeadline([] { return false; }, GetTickCount64() + milliseconds);
}

void TempFolderTest::SetUp() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::wstring base = std::wstring(temp) + L"vela-test-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    for (const char* p = info->name(); *p != '\0'; ++p) {
        base += (isalnum(static_cast<unsigned char>(*p)) ? static_cast<wchar_t>(*p) : L'_');
    }
    for (int i = 0;; ++i) {
        m_folder = base + L"-" + std::to_wstring(i);
        if (CreateDirectoryW(m_folder.c_str(), nullptr)) {
            break;
        }
        ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "cannot create the temporary folder";
    }
}

void TempFolderTest::TearDown() {
    if (m_folder.empty()) {
        return;
    }
    std::wstring from = m_folder;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR;
    SHFileOperationW(&op);
}

void TempFolderTest::WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write the test file";
}

std::string TempFolderTest::ReadBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::wstring RepeatText(const std::wstring& piece, size_t length) {
    std::wstring text;
    while (!piece.empty() && text.size() < length) {
        text += piece;
    }
    text.resize(length);
    return text;
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT itself: GetWindowTextW does not ask the controls of another process.
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

namespace {

struct FindWindowOfClass {
    DWORD processId;
    const wchar_t* className;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK FindWindowOfClassProc(HWND window, LPARAM param) {
    auto* find = reinterpret_cast<FindWindowOfClass*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t className[256] = {};
    GetClassNameW(window, className, 256);
    if (pid == find->processId && wcscmp(className, find->className) == 0 &&
        (!find->visibleOnly || IsWindowVisible(window))) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopLevelWindow(DWORD processId, const wchar_t* className, bool visibleOnly) {
    FindWindowOfClass find = {processId, className, visibleOnly, nullptr};
    EnumWindows(FindWindowOfClassProc, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

} // namespace

HWND FindMessageBox(DWORD processId) {
    return FindTopLevelWindow(processId, L"#32770", true);
}

HWND FindProcessWindow(DWORD processId, const std::wstring& className) {
    return FindTopLevelWindow(processId, className.c_str(), false);
}

std::wstring CopyProgramTo(const std::wstring& programName, const std::wstring& folder) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring source = self;
    source = source.substr(0, source.find_last_of(L'\\') + 1) + programName;
    const std::wstring target = folder + L"\\" + programName;
    return CopyFileW(source.c_str(), target.c_str(), FALSE) ? target : std::wstring();
}

ProgramProcess::~ProgramProcess() {
    UnwatchProcess(m_process.Get());
    if (m_process && WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_process.Get(), 1);
        WaitForSingleObject(m_process.Get(), 5000);
    }
}

bool ProgramProcess::Start(const std::wstring& programPath, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + programPath + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    const std::wstring folder = programPath.substr(0, programPath.find_last_of(L'\\'));
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(programPath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &info)) {
        return false;
    }
    CKernelHandle(info.hThread).Close();
    UnwatchProcess(m_process.Get());
    m_process.Reset(info.hProcess);
    m_processId = info.dwProcessId;
    // A test stuck waiting for the program has the watchdog write the program's stacks too.
    WatchProcess(m_process.Get(), programPath.substr(programPath.find_last_of(L'\\') + 1));
    return true;
}

HWND ProgramProcess::WaitForWindow(const std::wstring& className, DWORD timeoutMs) const {
    HWND found = nullptr;
    PumpMessagesUntil([&] { return (found = FindProcessWindow(m_processId, className)) != nullptr; }, timeoutMs);
    return found;
}

long ProgramProcess::WaitForExit(DWORD timeoutMs) const {
    if (!m_process ||
        !PumpMessagesUntil([&] { return WaitForSingleObject(m_process.Get(), 0) == WAIT_OBJECT_0; }, timeoutMs)) {
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(m_process.Get(), &code);
    return static_cast<long>(code);
}

MessageBoxAnswerer::MessageBoxAnswerer(std::vector<int> buttons, DWORD processId)
    : m_buttons(std::move(buttons)), m_processId(processId), m_thread([this] { Run(); }) {}

MessageBoxAnswerer::MessageBoxAnswerer(std::vector<int> buttons, std::function<void()> beforePress)
    : m_buttons(std::move(buttons)), m_beforePress(std::move(beforePress)), m_processId(GetCurrentProcessId()),
      m_thread([this] { Run(); }) {}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    m_stop = true;
    m_thread.join();
}

std::vector<SeenMessageBox> MessageBoxAnswerer::Seen() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_seen;
}

bool MessageBoxAnswerer::WaitForCount(size_t count, DWORD timeoutMs) const {
    return PumpMessagesUntil([&] { return m_answered >= count; }, timeoutMs);
}

void MessageBoxAnswerer::Run() {
    while (!m_stop) {
        HWND box = FindMessageBox(m_processId);
        if (box == nullptr) {
            Sleep(20);
            continue;
        }
        SeenMessageBox seen;
        seen.caption = WindowText(box);
        seen.text = WindowText(GetDlgItem(box, 0xFFFF));
        size_t index;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            index = m_seen.size();
        }
        const int wanted = m_buttons.empty() ? IDOK : m_buttons[std::min(index, m_buttons.size() - 1)];
        HWND button = GetDlgItem(box, wanted);
        seen.pressed = wanted;
        if (button == nullptr) {
            // The box has no such button: close it anyway so the test does not hang, and say so. A
            // Yes/No box has neither Cancel nor OK.
            seen.pressed = -1;
            for (const int fallback : {IDCANCEL, IDNO, IDOK}) {
                if ((button = GetDlgItem(box, fallback)) != nullptr) {
                    break;
                }
            }
        }
        {
            // Recorded before the press: the owner's wait for the box may end at the press, and a test
            // that reads what was seen then must find it.
            std::lock_guard<std::mutex> guard(m_lock);
            m_seen.push_back(seen);
        }
        if (m_beforePress) {
            m_beforePress();
        }
        SendMessageW(button, BM_CLICK, 0, 0);
        for (int i = 0; i < 250 && IsWindow(box) && IsWindowVisible(box); ++i) {
            Sleep(20);
        }
        ++m_answered;
    }
}

std::wstring LogText() {
    return WindowText(DebugLog().GetEditControl());
}

void ClearLog() {
    SetWindowTextW(DebugLog().GetEditControl(), L"");
}

bool MakeShortcut(const std::wstring& link, const std::wstring& target) {
    Microsoft::WRL::ComPtr<IShellLinkW> shell;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&shell)))) {
        return false;
    }
    Microsoft::WRL::ComPtr<IPersistFile> file;
    return SUCCEEDED(shell->SetPath(target.c_str())) && SUCCEEDED(shell.As(&file)) &&
           SUCCEEDED(file->Save(link.c_str(), TRUE));
}

} // namespace testing_support
