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
// A comment file of count comments for any video, spread over 30 s: a big one keeps the player loading.
std::string CommentFileOf(int count);
// How often piece occurs in text.
size_t CountOf(const std::wstring& text, const std::wstring& piece);

class PlayerTest : public testing_support::TempFolderTest {
protected:
    void SetUp() override;

    // Starts the player with the ini written so far (also written at SetUp) and waits until its main window is shown.
    HWND StartPlayer(testing_support::ProgramProcess& process, const std::wstring& arguments = L"");
    // Adds lines to the "main" section of the ini the next start reads.
    void AddSettings(const std::string& lines) { m_mainSettings += lines; }
    // Adds a section of lines (a tool window's, for example) to the ini the next start reads.
    void AddSection(const std::string& name, const std::string& lines) { m_sections += "[" + name + "]\r\n" + lines; }
    // Points the player at the service at url (a fake of it) instead of a closed port.
    void SetServiceBaseUrl(const std::wstring& url);
    // A sample media file made by the build, copied into the folder under name.
    std::wstring CopySample(const std::wstring& sample, const std::wstring& name);
    // The answer of a "get" query without its "<PRE>" wrapping; "?" when none came.
    std::wstring Query(HWND main, const std::wstring& query);

    static std::wstring LogOf(HWND main);
    static void Close(testing_support::ProgramProcess& process, HWND main);

    std::wstring m_program;

private:
    void WriteIni() const;

    std::string m_mainSettings;
    std::string m_serviceBaseUrl = "http://127.0.0.1:9/";
    std::string m_sections;
    ReplyWindow m_reply;
};

} // namespace player_testing
