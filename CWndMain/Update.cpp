#include "CWndMain/Update.h"

#include "CWndMain/UpdateException.h"
#include "CWndMain/UpdateWeb.h"
#include "CWndMain/UpdaterUtil.h"
#include "CWndMain/unzipfunc.h"
#include "foundation/CBaseDebug.h"
#include "foundation/Handles.h"
#include "foundation/PathUtil.h"
#include "foundation/Shell.h"
#include "foundation/StringUtil.h"

#include <shellapi.h>
#include <shlwapi.h>

const wchar_t kUpdaterName[] = L"VelaPlayerUpdate";
const wchar_t kUpdaterVersion[] = L"1.40";
const wchar_t kArchiveName[] = L"new_velaplayer.zip";

namespace {

constexpr FILEOP_FLAGS kSilent = 0x614;
const wchar_t kPlayerClass[] = L"CVelaPlayer";

CBaseDebug& Log() {
    return DebugLog();
}

} // namespace

CWndMain::CWndMain(HWND window, std::vector<std::wstring> args, std::wstring moduleFolder)
    : m_window(window), m_ini(L"", L""), m_args(std::move(args)), m_moduleFolder(std::move(moduleFolder)) {}

CCritSec& CWndMain::InstallLock() {
    static CCritSec lock;
    return lock;
}

int CWndMain::Run() {
    try {
        CheckCommandLine();
        WaitForPlayerExit();
        LoadUpdateSettings();
        CheckUpdateMessage();
        CheckVersion();
        DownloadLatest();
        InstallUpdate();
        ShowHistory();
        StartPlayer();
        Log() << L"■全ての処理が完了しました" << EndLine;
    } catch (const std::exception& error) {
        LogRunOutcome(error);
    }
    return 0;
}

unsigned __stdcall UpdateThreadProc(void* state) {
    return static_cast<unsigned>(static_cast<CWndMain*>(state)->Run());
}

void CWndMain::CheckCommandLine() {
    if (m_args.empty()) {
        Log() << L"コマンドライン指定が見つかりません" << EndLine;
        MessageBoxW(m_window,
                    L"このファイルはVelaPlayerの自動更新を行うためのものです。\n"
                    L"更新時にVelaPlayerから呼び出されるので単体で実行する必要はありません。",
                    kUpdaterName, MB_OK | MB_TOPMOST | MB_SETFOREGROUND);
        ShowWindow(m_window, SW_HIDE);
        PostMessageW(m_window, WM_CLOSE, 0, 0);
        throw utl::exception::Exception(L"終了します...");
    }
    Log() << L"VelaPlayerの更新を開始します" << EndLine;
}

void CWndMain::WaitForPlayerExit() {
    Log() << L"VelaPlayerの終了をチェックしています" << EndLine;
    HWND player = FindWindowW(kPlayerClass, nullptr);
    if (player == nullptr) {
        Log() << L"VelaPlayerが起動していないことを確認しました" << EndLine;
        return;
    }
    Log() << L"VelaPlayerを終了させています..." << EndLine;
    Log() << L"保存のダイアログ等が出ている場合は、ダイアログを閉じて終了させて下さい" << EndLine;
    DWORD processId = 0;
    GetWindowThreadProcessId(player, &processId);
    // Opened before the close request, so that the process cannot vanish and its ID be reused.
    CKernelHandle process(processId != 0 && processId != GetCurrentProcessId()
                              ? OpenProcess(SYNCHRONIZE, FALSE, processId)
                              : nullptr);
    PostMessageW(player, WM_CLOSE, 0, 0);
    while (FindWindowW(kPlayerClass, nullptr) != nullptr) {
        Sleep(500);
    }
    // The window goes before the process lets go of its files.
    if (process) {
        WaitForSingleObject(process.Get(), kPlayerExitWait);
    }
    Log() << L"VelaPlayerの終了を確認しました" << EndLine;
}

void CWndMain::LoadUpdateSettings() {
    const std::wstring path = m_moduleFolder + L"\\" + L"VelaPlayerUpdate.ini";
    Log() << L"設定を読み込みます : " << path << EndLine;
    if (!FileExists(path)) {
        throw UPDATE_ERROR(L"設定ファイルが見つかりません");
    }
    m_ini = CIniFile(path, L"Update");
}

std::wstring CWndMain::ReadSetting(const wchar_t* key) const {
    return m_ini.Read(L"", key, L"");
}

void CWndMain::CheckUpdateMessage() {
    const std::wstring url = ReadSetting(L"UrlMessage");
    if (url.empty()) {
        throw UPDATE_ERROR(L"メッセージ取得先URLが設定ファイルから読み取れませんでした");
    }
    Log() << L"更新メッセージの確認を行っています..." << EndLine;
    std::wstring page;
    if (!GetURLData(page, url)) {
        throw UPDATE_ERROR(L"更新メッセージの確認に失敗しました");
    }
    const std::wstring action = FindPatternGroup(page, L"action=\\{\\n?([^\\}]+)\\n?\\}");
    const std::wstring dialog = FindPatternGroup(page, L"dialog=\\{\\n?([^\\}]+)\\n?\\}");
    std::wstring exitText = FindPatternGroup(page, L"exit=\\{\\n?([^\\}]+)\\n?\\}");
    ReplaceAll(exitText, L"\\r", L"\r");
    ReplaceAll(exitText, L"\\n", L"\n");
    if (MatchPattern(action, L".*dialog.*")) {
        MessageBoxW(m_window, dialog.c_str(), kUpdaterName, MB_OK | MB_TOPMOST | MB_SETFOREGROUND);
    }
    if (MatchPattern(action, L".*exit.*")) {
        throw utl::exception::Exception(exitText);
    }
    Log() << L"更新メッセージの確認を完了しました" << EndLine;
}

void CWndMain::CheckVersion() {
    const std::wstring current = GetCurrentVersion();
    Log() << L"現在のバージョン : " << current << EndLine;
    const std::wstring url = ReadSetting(L"UrlVersion");
    if (url.empty()) {
        throw UPDATE_ERROR(L"バージョン情報取得先URLが設定ファイルから読み取れませんでした");
    }
    Log() << L"最新バージョンの確認を行います..." << EndLine;
    std::wstring latest;
    if (!GetURLData(latest, url)) {
        throw UPDATE_ERROR(L"最新バージョンの取得(URLアクセス)に失敗しました");
    }
    Log() << L"最新バージョン : " << latest << EndLine;
    if (!(current < latest)) {
        throw UPDATE_ERROR(L"既に最新バージョンを使用しています");
    }
}

void CWndMain::DownloadLatest() {
    const std::wstring base = ReadSetting(L"UrlDownloadLink");
    if (base.empty()) {
        throw UPDATE_ERROR(L"ダウンロードリンクURLが設定ファイルから読み取れませんでした");
    }
    Log() << L"最新版のダウンロードURLを取得しています..." << EndLine;
    std::wstring page;
    if (!GetURLData(page, base)) {
        throw UPDATE_ERROR(L"ダウンロードリンクURLへのアクセスに失敗しました");
    }
    const std::wstring name = FindPatternGroup(page, L"<a href=\"archive/(velaplayer\\d+.zip)\">");
    if (name.empty()) {
        throw UPDATE_ERROR(L"最新版のファイルの位置が見つかりませんでした");
    }
    const std::wstring url = base + L"archive/" + name;
    Log() << L"ダウンロードURL : " << url << EndLine;
    Log() << L"ダウンロードURLにアクセスしています..." << EndLine;
    utl::wininet::CWinInetDownload download(L"", url);
    Log() << L"ダウンロードしています..." << EndLine;
    const std::wstring archive = m_moduleFolder + L"\\" + kArchiveName;
    if (!download.DownloadToFile(archive)) {
        throw UPDATE_ERROR(L"最新版のダウンロードに失敗しました");
    }
    Log() << L"ダウンロードが完了しました : " << archive << EndLine;
}

namespace {

std::wstring GetShortPath(const std::wstring& path) {
    std::wstring buffer(260, L'\0');
    DWORD length = GetShortPathNameW(path.c_str(), &buffer[0], static_cast<DWORD>(buffer.size()));
    if (length >= buffer.size()) {
        // Too long for the buffer: the call gave the size it needs.
        buffer.assign(length + 1, L'\0');
        length = GetShortPathNameW(path.c_str(), &buffer[0], static_cast<DWORD>(buffer.size()));
    }
    if (length == 0 || length >= buffer.size()) {
        throw UPDATE_ERROR(L"ショートパスへの変換に失敗しました");
    }
    buffer.resize(length);
    return buffer;
}

} // namespace

void CWndMain::InstallUpdate() {
    const std::wstring archive = m_moduleFolder + L"\\" + kArchiveName;
    const std::wstring unzipFolder = m_moduleFolder + L"\\unzip";
    // What an earlier run left there could be listed before this release and installed instead.
    if (FileExists(unzipFolder) && DeletePath(unzipFolder, kSilent, m_window) != 0) {
        throw UPDATE_ERROR(L"既に存在している一時フォルダの削除に失敗しました");
    }
    Log() << L"解凍出力先フォルダの作成を行います" << EndLine;
    if (!CreateDirectoryW(unzipFolder.c_str(), nullptr)) {
        throw UPDATE_ERROR(L"解凍出力先フォルダの作成に失敗しました");
    }
    Log() << L"フォルダを作成しました : " << unzipFolder << EndLine;
    Log() << L"ダウンロードしたファイルを解凍しています..." << EndLine;
    Log() << L"-sPathNewZip = " << archive << EndLine;
    Log() << L"-sPathUnzip = " << unzipFolder << EndLine;
    const std::wstring shortArchive = GetShortPath(archive);
    Log() << L"-sShortZipPath = " << shortArchive << EndLine;
    UnzipFile(shortArchive, unzipFolder);
    Log() << L"ファイルの解凍が完了しました" << EndLine;
    Log() << L"-解凍フォルダの取得中..." << EndLine;
    Log() << L"-PathUnzip : " << unzipFolder << EndLine;
    std::vector<std::wstring> entries;
    if (!EnumerateFiles(unzipFolder, L"*", entries, false, true, false) || entries.empty()) {
        throw UPDATE_ERROR(L"解凍先フォルダ内にvelaplayerxxxフォルダが見つかりません");
    }
    Log() << L"-解凍フォルダの取得完了" << EndLine;
    const std::wstring folderName = entries.front();
    Log() << L"-FolderName : " << folderName << EndLine;
    Log() << L"-コマンドラインからVelaPlayerのディレクトリを取得..." << EndLine;
    const std::wstring playerFolder = GetPlayerDirectory();
    Log() << L"-DirVelaPlayer : " << playerFolder << EndLine;
    Log() << L"VelaPlayerを更新しています..." << EndLine;
    const std::wstring released = unzipFolder + L"\\" + folderName;
    const std::wstring renamed = unzipFolder + L"\\" + GetFileName(playerFolder);
    Log() << L"-DirUnzip : " << released << EndLine;
    Log() << L"-DirUnzipNew : " << renamed << EndLine;
    Log() << L"-リネーム先フォルダが存在するかチェック中..." << EndLine;
    if (released != renamed) {
        if (FileExists(renamed)) {
            Log() << L"既に存在している一時フォルダを削除しています" << EndLine;
            if (DeletePath(renamed, kSilent, m_window) != 0) {
                throw UPDATE_ERROR(L"既に存在している一時フォルダの削除に失敗しました");
            }
        }
        Log() << L"-リネームしています..." << EndLine;
        if (RenamePath(released, renamed, kSilent, m_window) != 0) {
            Log() << L"以前の一時ファイルが残っていた可能性があります。その場合は再度VelaPlayerから更新を実行して下さい"
                  << EndLine;
            throw UPDATE_ERROR(L"解凍したフォルダの一時的なリネームに失敗しました");
        }
    }
    Log() << L"-DirUnzip : " << renamed << EndLine;
    try {
        Log() << L"-フォルダの上書きを開始します..." << EndLine;
        CAutoLock lock(InstallLock());
        CopyFolder(renamed, playerFolder);
    } catch (const utl::exception::Exception& error) {
        throw UPDATE_ERROR(L"ファイルの更新に失敗しました / " + GetExceptionText(error));
    }
    Log() << L"ファイルの更新が完了しました" << EndLine;
    Log() << L"ダウンロードした一時ファイルの削除をしています" << EndLine;
    if (DeletePath(archive, kSilent, m_window) != 0) {
        throw UPDATE_ERROR(L"ダウンロードした一時ファイルの削除に失敗しました");
    }
    Log() << L"不要なファイルの削除を完了しました" << EndLine;
}

namespace {

const wchar_t kStagedSuffix[] = L".vela-new";
const wchar_t kReplacedSuffix[] = L".vela-old";

struct StagedFile {
    std::wstring target;
    bool hadTarget = false;
    bool replaced = false;
};

// What the copy has done so far, undone unless it is committed.
class CInstallTransaction {
public:
    ~CInstallTransaction() {
        if (!m_committed) {
            Undo();
        }
    }
    void Commit() {
        m_committed = true;
        for (const StagedFile& file : m_files) {
            if (file.hadTarget) {
                DeleteFileW((file.target + kReplacedSuffix).c_str());
            }
        }
    }
    std::vector<StagedFile>& Files() { return m_files; }
    void FolderCreated(const std::wstring& folder) { m_folders.push_back(folder); }

private:
    void Undo() {
        for (auto it = m_files.rbegin(); it != m_files.rend(); ++it) {
            const std::wstring staged = it->target + kStagedSuffix;
            const std::wstring old = it->target + kReplacedSuffix;
            if (it->replaced) {
                DeleteFileW(it->target.c_str());
            }
            DeleteFileW(staged.c_str());
            if (it->hadTarget && FileExists(old)) {
                MoveFileExW(old.c_str(), it->target.c_str(), MOVEFILE_REPLACE_EXISTING);
            }
        }
        for (auto it = m_folders.rbegin(); it != m_folders.rend(); ++it) {
            RemoveDirectoryW(it->c_str());
        }
    }
    std::vector<StagedFile> m_files;
    std::vector<std::wstring> m_folders;
    bool m_committed = false;
};

void StageFolder(const std::wstring& source, const std::wstring& destination, CInstallTransaction& install) {
    Log() << L"[" << source << L" -> " << destination << L"]" << EndLine;
    std::vector<std::wstring> entries;
    if (!EnumerateFiles(source, L"*", entries, true, true, false)) {
        throw UPDATE_ERROR(L"ソースフォルダの一覧の取得に失敗しました");
    }
    for (const std::wstring& entry : entries) {
        const std::wstring name = GetFileName(entry);
        const std::wstring target = destination + L"\\" + name;
        if (PathIsDirectoryW(entry.c_str())) {
            if (!FileExists(target)) {
                Log() << L"Create : " << target << EndLine;
                if (!CreateDirectoryW(target.c_str(), nullptr)) {
                    Log() << L"Error : " << GetLastErrorText() << EndLine;
                    throw UPDATE_ERROR(L"フォルダの作成に失敗しました");
                }
                install.FolderCreated(target);
            }
            StageFolder(entry, target, install);
            continue;
        }
        Log() << L"Copy : " << name << EndLine;
        StagedFile file;
        file.target = target;
        file.hadTarget = FileExists(target);
        install.Files().push_back(file);
        if (!CopyFileW(entry.c_str(), (target + kStagedSuffix).c_str(), FALSE)) {
            Log() << L"CopyFile失敗" << EndLine;
            Log() << L"Error : " << GetLastErrorText() << EndLine;
            throw UPDATE_ERROR(L"フォルダのコピー/上書きに失敗しました");
        }
    }
    Log() << L"-----" << EndLine;
}

} // namespace

void CWndMain::CopyFolder(const std::wstring& source, const std::wstring& destination) {
    CInstallTransaction install;
    StageFolder(source, destination, install);
    // Every file is in place beside its target; now swap them, keeping each old file until the end.
    for (StagedFile& file : install.Files()) {
        const std::wstring staged = file.target + kStagedSuffix;
        if (file.hadTarget &&
            !MoveFileExW(file.target.c_str(), (file.target + kReplacedSuffix).c_str(), MOVEFILE_REPLACE_EXISTING)) {
            Log() << L"CopyFile失敗" << EndLine;
            Log() << L"Error : " << GetLastErrorText() << EndLine;
            throw UPDATE_ERROR(L"フォルダのコピー/上書きに失敗しました");
        }
        if (!MoveFileExW(staged.c_str(), file.target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            Log() << L"CopyFile失敗" << EndLine;
            Log() << L"Error : " << GetLastErrorText() << EndLine;
            if (file.hadTarget) {
                MoveFileExW((file.target + kReplacedSuffix).c_str(), file.target.c_str(), MOVEFILE_REPLACE_EXISTING);
            }
            throw UPDATE_ERROR(L"フォルダのコピー/上書きに失敗しました");
        }
        file.replaced = true;
    }
    install.Commit();
}

void CWndMain::ShowHistory() {
    try {
        const std::wstring url = ReadSetting(L"UrlHistory");
        if (url.empty()) {
            throw UPDATE_ERROR(L"更新履歴取得URLが設定ファイルから読み取れませんでした");
        }
        Log() << L"更新内容を取得しています..." << EndLine;
        std::wstring page;
        if (!GetURLData(page, url)) {
            throw UPDATE_ERROR(L"更新履歴の取得に失敗しました");
        }
        std::wstring entry = FindPatternGroup(page, L"^v\\d\\.\\d\\d(.*?)\\n\\d\\d\\d\\d/\\d\\d/\\d\\d");
        if (entry.empty()) {
            throw UPDATE_ERROR(L"更新履歴の抽出に失敗しました");
        }
        entry = ReplacePattern(entry, L"^\\t", L"");
        entry = L"【更新内容】\n\n" + entry;
        ReplaceAll(entry, L"\n", L"\r\n");
        const std::wstring rule(68, L'-');
        Log() << rule << EndLine;
        Log() << entry << EndLine;
        Log() << rule << EndLine;
    } catch (const std::exception& error) {
        Log() << GetExceptionText(error) << EndLine;
    }
}

void CWndMain::StartPlayer() {
    const std::wstring program = GetPlayerDirectory() + L"\\VelaPlayer.exe";
    Log() << L"VelaPlayerを起動しています..." << EndLine;
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", program.c_str(), L"other -deletetemp", nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        throw UPDATE_ERROR(L"VelaPlayerの起動に失敗しました");
    }
    Log() << L"VelaPlayerを起動しました" << EndLine;
}

std::wstring CWndMain::GetPlayerDirectory() const {
    const std::wstring folder = GetCommandLineValue(L"dir=", m_args, L"");
    if (folder.empty()) {
        throw UPDATE_ERROR(L"コマンドラインにVelaPlayerのディレクトリが見つかりません");
    }
    return folder;
}

std::wstring CWndMain::GetCurrentVersion() const {
    const std::wstring version = GetCommandLineValue(L"ver=", m_args, L"");
    if (version.empty()) {
        throw UPDATE_ERROR(L"コマンドラインにバージョン指定が見つかりません");
    }
    return version;
}
