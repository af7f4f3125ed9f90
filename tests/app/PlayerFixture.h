#pragma once
// A fixture that runs the real player from a fresh folder, with a window that takes its WM_COPYDATA
// answers.

#include "tests/support/TestSupport.h"

#include <string>
#include <vector>

namespace player_testing {

// A window of the test that receives the player's WM_COPYDATA replies.
class ReplyWindow {
public:
    ReplyWindow();
    ~ReplyWindow();
    ReplyWindow(const ReplyWindow&) = delete;
    ReplyWindow& operator=(const ReplyWindow&) = delete;
    HWND Handle() const { return m_window; }
    std::vector<std::wstring> replies;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_window = nullptr;
};

LRESULT SendText(HWND target, const void* bytes, DWORD size, ULONG_PTR dwData = 0);
// A command line with its terminator, as a second start sends it.
LRESULT SendCommandLine(HWND target, const std::wstring& text);
int CountPlayerWindows();

class PlayerTest : public testing_support::TempFolderTest {
protected:
    void SetUp() override;

    // Starts the player with the ini written so far (also written at SetUp) and waits until its main window is shown.
    HWND StartPlayer(testing_support::ProgramProcess& process, const std::wstring& arguments = L"");
    // Adds lines to the "main" section of the ini the next start reads.
    void AddSettings(const std::string& lines) { m_mainSettings += lines; }
    // A sample media file made by the build, copied into the folder under name.
    std::wstring CopySample(const std::wstring& sample, const std::wstring& name);
    // The answer of a "get" query without its "<PRE>" wrapping; "?" when none came.
    std::wstring Query(HWND main, const std::wstring& query);

    static std::wstring LogOf(HWND main);
    static void Close(testing_support::ProgramProcess& process, HWND main);

    std::wstring m_program;

private:
    std::string m_mainSettings;
    ReplyWindow m_reply;
};

} // namespace player_testing
