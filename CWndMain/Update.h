#pragma once
// One update run of the player: the nine steps from the command-line check to the player's restart,
// run in order on one worker thread; the first failing step ends the run with its error line.
//
// Thread use: built on the UI thread, then used by the update worker only. The install step holds
// InstallLock() while it changes the program folder, so that the program does not end midway.

#include "foundation/CCritSec.h"
#include "foundation/CIniFile.h"

#include <windows.h>

#include <string>
#include <vector>

extern const wchar_t kUpdaterName[];    // "VelaPlayerUpdate"
extern const wchar_t kUpdaterVersion[]; // "1.40"
extern const wchar_t kArchiveName[];    // "new_velaplayer.zip"

class CWndMain {
public:
    // moduleFolder: where the settings file, the archive, the unzip folder and the library are.
    CWndMain(HWND window, std::vector<std::wstring> args, std::wstring moduleFolder);
    CWndMain(const CWndMain&) = delete;
    CWndMain& operator=(const CWndMain&) = delete;

    // All steps and the outcome lines; returns 0.
    int Run();

    void CheckCommandLine();
    void WaitForPlayerExit();
    void LoadUpdateSettings();
    void CheckUpdateMessage();
    void CheckVersion();
    void DownloadLatest();
    void InstallUpdate();
    void ShowHistory();
    void StartPlayer();
    std::wstring GetPlayerDirectory() const;
    std::wstring GetCurrentVersion() const;

    // Copies the contents of source over destination without leaving a mixed install: every file is
    // first copied beside its target, then the targets are replaced; any failure puts back the old
    // files and removes the folders it created. Raises on failure.
    void CopyFolder(const std::wstring& source, const std::wstring& destination);

    static CCritSec& InstallLock();
    // How long the player's process is waited for after its window is gone.
    static constexpr DWORD kPlayerExitWait = 15000;

private:
    std::wstring ReadSetting(const wchar_t* key) const;

    HWND m_window;
    CIniFile m_ini;
    std::vector<std::wstring> m_args;
    std::wstring m_moduleFolder;
};

unsigned __stdcall UpdateThreadProc(void* state);
