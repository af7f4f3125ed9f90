#pragma once
// The process-wide log and its information window: text is streamed in piece by piece and a line is
// ended by a flush, which appends it to a read-only edit control on a tabbed window.
//
// Thread use: the window and the edit control belong to the thread that created the first log object
// (the UI thread). Any thread may stream and flush; each thread builds its own pending line, and a line
// flushed on another thread is handed to the UI thread by a sent message (the sender waits).

#include "foundation/CCritSec.h"

#include <windows.h>

#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

class CBaseDebug {
public:
    // The player's log: a hidden tool window titled "VelaPlayer - 情報ウィンドウ"; its close box posts the
    // close notification instead of closing; every line is appended and scrolled into view.
    CBaseDebug();
    // The updater's log: an ordinary window with an empty title, which it adds its page to; closing
    // it destroys it and ends the program; lines are shown only while it is visible.
    explicit CBaseDebug(const wchar_t* clearMessage);
    ~CBaseDebug();
    CBaseDebug(const CBaseDebug&) = delete;
    CBaseDebug& operator=(const CBaseDebug&) = delete;

    // Window-wide state, shared by every log object of the process.
    static CBaseDebug* Global();
    static HWND GetWindow();
    static HWND GetTabControl();
    static int GetPageCount();
    static HWND GetPage(int index);
    // What a click on the close box of the player's information window is turned into (posted).
    static void SetCloseNotification(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The limit in characters is kilobytes × 1024; 0, a negative value or one that overflows gives 32768.
    static void SetBufferLimitKilobytes(int kilobytes);
    static int GetBufferLimit();

    // Makes page this object's page and adds a tab "メッセージ" for it; returns the tab's index.
    int AddPage(HWND page);
    HWND GetEditControl() const { return m_edit; }

    CBaseDebug& operator<<(const wchar_t* text); // "\n" or "\r\n" as the whole text ends the line
    CBaseDebug& operator<<(const std::wstring& text);
    CBaseDebug& operator<<(const char* text); // ANSI code page
    CBaseDebug& operator<<(const std::string& text);
    CBaseDebug& operator<<(CBaseDebug& (*manipulator)(CBaseDebug&)) { return manipulator(*this); }
    template <typename T, typename = std::enable_if_t<std::is_arithmetic<T>::value>> CBaseDebug& operator<<(T value) {
        std::wostringstream formatted;
        formatted << value;
        return Append(formatted.str());
    }

    // Ends the calling thread's pending line (an empty one gives an empty line).
    void Flush();
    // The player's line output (UI thread): appends text and "\r\n", scrolls down, applies the limit.
    bool AppendLine(const std::wstring& text);
    // The updater's line output (UI thread): as AppendLine while the window is visible; false otherwise.
    bool AppendLineIfVisible(const std::wstring& text);
    // Replaces the whole text by the clear message when it is longer than the limit.
    bool ClearBufferIfFull();

    // The last lines flushed by any log object of the process, oldest first, also those no window took.
    // For diagnostics of a stuck program: it never waits (empty when a writer holds the list just now).
    static std::vector<std::wstring> RecentLines();

private:
    enum class Kind { ToolWindow, Standalone };
    // The one log window of the process and what every log object shares: tab strip, pages, font.
    class CLogWindow;

    CBaseDebug& Append(const std::wstring& text);
    void Open();
    void Close();
    bool CreateEditControl();
    void OutputLine(const std::wstring& line);
    void OutputOnUiThread(const std::wstring& line);

    Kind m_kind;
    HWND m_page = nullptr;
    HWND m_edit = nullptr;
    std::wstring m_clearMessage;
    CCritSec m_pendingLock;
    std::map<DWORD, std::wstring> m_pending; // by thread ID
};

// Manipulator that ends the line: log << L"text" << EndLine.
CBaseDebug& EndLine(CBaseDebug& log);

// The process-wide log object. Each program defines it (a function-local static of the variant it
// uses), so that the log exists before the first line and lives until static destruction.
CBaseDebug& DebugLog();
