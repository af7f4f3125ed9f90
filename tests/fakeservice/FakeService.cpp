#include "tests/fakeservice/FakeService.h"

#include "foundation/StringUtil.h"
#include "tests/support/TestSupport.h"

#include <wininet.h>

#include <atomic>

namespace testing_support {

namespace {

// Linux paths are reached through Wine's drive Z:, which maps "/".
std::wstring WindowsPathOf(const std::string& unixPath) {
    std::wstring path = L"Z:" + Utf8ToWide(unixPath);
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}

std::string ReadFileBytes(const std::wstring& path) {
    const CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       0, nullptr));
    if (!file) {
        return std::string();
    }
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file.Get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) {
        bytes.append(chunk, read);
    }
    return bytes;
}

// A plain GET that ignores the reply, for the fake's own routes.
void Get(const std::wstring& url) {
    const CInternetHandle session(InternetOpenW(L"", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (session) {
        const CInternetHandle request(
            InternetOpenUrlW(session.Get(), url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0));
    }
}

} // namespace

FakeService::FakeService() {
    static std::atomic<int> counter{0};
    // Process IDs repeat between Wine prefixes, so test runs side by side in one build also differ by
    // the moment the process made its first fake.
    static const long long run = [] {
        LARGE_INTEGER now = {};
        QueryPerformanceCounter(&now);
        return now.QuadPart;
    }();
    m_unixStem = std::string(VELA_FAKE_SERVICE_RUN_FOLDER) + "/fake-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(run) + "-" + std::to_string(++counter);
    m_windowsStem = WindowsPathOf(m_unixStem);
    const std::wstring portFile = m_windowsStem + L".port";
    DeleteFileW(portFile.c_str());

    // The fake runs while this file exists; the system deletes it when the handle closes, also when
    // the test process dies.
    m_alive.Reset(CreateFileW((m_windowsStem + L".alive").c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                              FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!m_alive) {
        ADD_FAILURE() << "cannot create the fake's alive file";
        return;
    }
    // Wine passes the arguments to the Linux program verbatim: no quoting (the paths hold no blanks).
    std::wstring commandLine = WindowsPathOf(VELA_PYTHON3) + L" " + Utf8ToWide(VELA_FAKE_SERVICE_SCRIPT) +
                               L" --port-file " + Utf8ToWide(m_unixStem) + L".port --log-file " +
                               Utf8ToWide(m_unixStem) + L".log --alive-file " + Utf8ToWide(m_unixStem) + L".alive";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start the fake service, error " << GetLastError();
        return;
    }
    // Under Wine the handle of a Linux process can be neither waited on nor terminated.
    CKernelHandle(process.hThread).Close();
    CKernelHandle(process.hProcess).Close();

    PumpMessagesUntil([&] { return (m_port = ToIntOrZero(Utf8ToWide(ReadFileBytes(portFile)))) != 0; }, 10000);
    m_running = m_port != 0;
    if (!m_running) {
        ADD_FAILURE() << "the fake service reported no port";
    }
}

FakeService::~FakeService() {
    Stop();
    DeleteFileW((m_windowsStem + L".log").c_str());
}

std::wstring FakeService::BaseUrl() const {
    return L"http://127.0.0.1:" + std::to_wstring(m_port) + L"/";
}

std::vector<FakeRequest> FakeService::Requests() const {
    std::vector<FakeRequest> requests;
    for (const std::wstring& line : Split(Utf8ToWide(ReadFileBytes(m_windowsStem + L".log")), L"\n", true)) {
        std::vector<std::wstring> fields = Split(line, L"\t", false);
        fields.resize(4);
        requests.push_back({fields[0], fields[1], fields[2], fields[3]});
    }
    return requests;
}

void FakeService::Stop() {
    if (m_running) {
        Get(BaseUrl() + L"_fake/shutdown");
        const std::wstring portFile = m_windowsStem + L".port";
        if (!PumpMessagesUntil([&] { return GetFileAttributesW(portFile.c_str()) == INVALID_FILE_ATTRIBUTES; },
                               10000)) {
            ADD_FAILURE() << "the fake service did not stop";
        }
        m_running = false;
    }
    m_alive.Close();
}

} // namespace testing_support
