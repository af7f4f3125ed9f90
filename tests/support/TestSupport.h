#pragma once
// Helpers for tests that drive real windows under Wine.

#include "foundation/Handles.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>
#include <atomic>
#include <mutex>

namespace testing_support {

// Pumps the calling thread's messages until condition holds or timeoutMs (stretched fourfold, for a
// busy machine) has passed; returns whether it held. The condition is tested before every wait.
bool PumpMessagesUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);
// Pumps messages for the given time (for "nothing further happens" checks).
void PumpMessagesFor(DWORD milliseconds);

// Steps the test program runs after its last test and before it ends COM, the last added first: what
// the programs end themselves before they return (the filter graph), not left to static destruction.
void AddProgramEndStep(std::function<void()> step);
void RunProgramEndSteps();

// A fresh empty folder under the temporary folder, removed with its contents at the end of the test.
class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The folder (no trailing backslash), and a path inside it.
    const std::wstring& Folder() const { return m_folder; }
    std::wstring PathOf(const std::wstring& name) const { return m_folder + L"\\" + name; }

    static void WriteBytes(const std::wstring& path, const std::string& bytes);
    static std::string ReadBytes(const std::wstring& path);

private:
    std::wstring m_folder;
};

// A message box (a top-level "#32770" dialog) as the answerer saw it.
struct SeenMessageBox {
    std::wstring caption;
    std::wstring text;
    int pressed = 0;
};

// Answers the message boxes of a process on a thread of its own: the first box with the first
// button of the list, the next with the next, the rest with the last. It records caption and text.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(std::vector<int> buttons, DWORD processId = GetCurrentProcessId());
    // beforePress runs on the answering thread while each box is open, before its button is pressed.
    MessageBoxAnswerer(std::vector<int> buttons, std::function<void()> beforePress);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    std::vector<SeenMessageBox> Seen() const;
    // Pumps the calling thread's messages until count boxes were answered and closed, or the deadline.
    bool WaitForCount(size_t count, DWORD timeoutMs = 5000) const;

private:
    void Run();

    std::vector<int> m_buttons;
    std::function<void()> m_beforePress;
    DWORD m_processId;
    std::atomic<bool> m_stop{false};
    std::atomic<size_t> m_answered{0};
    mutable std::mutex m_lock;
    std::vector<SeenMessageBox> m_seen;
    std::thread m_thread;
};

// A program started by a test; a process still running at the end is terminated.
class ProgramProcess {
public:
    ProgramProcess() = default;
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    // Starts the program with the command-line arguments (after the quoted program path).
    bool Start(const std::wstring& programPath, const std::wstring& arguments = L"");
    DWORD ProcessId() const { return m_processId; }
    // Pumps messages until a top-level window of the process with that class exists, or the deadline.
    HWND WaitForWindow(const std::wstring& className, DWORD timeoutMs = 10000) const;
    // Pumps messages until the process has ended; its exit code, or -1 at the deadline.
    long WaitForExit(DWORD timeoutMs = 10000) const;

private:
    CKernelHandle m_process;
    DWORD m_processId = 0;
};

// The top-level window of a process with that class (visible or not), or null.
HWND FindProcessWindow(DWORD processId, const std::wstring& className);

// Copies a program that is built beside the test program into folder; returns the copy's path.
std::wstring CopyProgramTo(const std::wstring& programName, const std::wstring& folder);

// The visible "#32770" dialog of a process, or null.
HWND FindMessageBox(DWORD processId = GetCurrentProcessId());

// piece repeated up to exactly length characters.
std::wstring RepeatText(const std::wstring& piece, size_t length);

// The window's whole text.
std::wstring WindowText(HWND window);

// The text of the log window (DebugLog's page), and emptying it.
std::wstring LogText();
void ClearLog();

// Writes a shell shortcut at link that points to target; false when the shell refuses.
bool MakeShortcut(const std::wstring& link, const std::wstring& target);

} // namespace testing_support
