#include "CWndDownload/DownloadSettingsSheet.h"

#include "CWndDownload/DownloadResource.h"
#include "foundation/AppSettings.h"
#include "foundation/CToolTip.h"
#include "foundation/CWndBase.h"
#include "foundation/Dialogs.h"
#include "foundation/PathUtil.h"
#include "foundation/Shell.h"
#include "foundation/StringUtil.h"
#include "foundation/WindowUtil.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <cstring>

const int kDownloadSettingsPages[6] = {IDD_DOWNLOAD_SETTINGS_GENERAL1,   IDD_DOWNLOAD_SETTINGS_GENERAL2,
                                       IDD_DOWNLOAD_SETTINGS_VIDEO,      IDD_DOWNLOAD_SETTINGS_COMMENT,
                                       IDD_DOWNLOAD_SETTINGS_VIDEO_INFO, IDD_DOWNLOAD_SETTINGS_LOGIN};

namespace {

const COLORREF kTipBackground = 0xAC7859;
const COLORREF kTipText = 0xFFFFFF;

std::atomic<bool> g_sheetOpen{false};
// Known from the sheet's callback once it exists; UI thread.
HWND g_sheetWindow = nullptr;

using Flag = bool DownloadSettings::*;
using Text = std::wstring DownloadSettings::*;

// A control and the setting it shows. A radio button standing for "neither" has both flags of its
// group and no setting of its own.
struct Binding {
    int page;
    int control;
    Flag flag;
    Flag neitherOf;
    Text text;
};

const Binding kBindings[] = {
    {IDD_DOWNLOAD_SETTINGS_GENERAL1, IDC_DOWNLOAD_SET_SAVE_PATH, nullptr, nullptr, &DownloadSettings::SavePath},
    {IDD_DOWNLOAD_SETTINGS_GENERAL1, IDC_DOWNLOAD_SET_SELECT_PATH, &DownloadSettings::SelectPath, nullptr, nullptr},
    {IDD_DOWNLOAD_SETTINGS_GENERAL1, IDC_DOWNLOAD_SET_WATCH_CLIPBOARD, &DownloadSettings::WatchClipBoard, nullptr,
     nullptr},
    {IDD_DOWNLOAD_SETTINGS_GENERAL1, IDC_DOWNLOAD_SET_FOLDER_EVERY_VIDEO, &DownloadSettings::CreateFolderEveryVideo,
     nullptr, nullptr},
    {IDD_DOWNLOAD_SETTINGS_GENERAL1, IDC_DOWNLOAD_SET_SAVE_COMMON_DIR, &DownloadSettings::SaveCommonDir, nullptr,
     nullptr},
    {IDD_DOWNLOAD_SETTINGS_GENERAL1, IDC_DOWNLOAD_SET_SAVE_THUMBNAIL, &DownloadSettings::VideoInfoSaveThumbnail,
     nullptr, nullptr},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_DELETE_COMPLETED, &DownloadSettings::DeleteDownCompItem, nullptr,
     nullptr},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_ADD_EXCEPT, &DownloadSettings::AddExcept, nullptr, nullptr},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_ECONOMY_NOT_DELETE, &DownloadSettings::EconomyNotDelete, nullptr,
     nullptr},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_NOTIFY_BEEP, &DownloadSettings::DownCompNotifyBeep, nullptr,
     nullptr},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_NOTIFY_FLASH, &DownloadSettings::DownCompNotifyFlash, nullptr,
     nullptr},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_NOTIFY_NONE, &DownloadSettings::DownCompNotifyBeep,
     &DownloadSettings::DownCompNotifyFlash, nullptr},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_TITLE_FIX, &DownloadSettings::TitleFixEnable, nullptr, nullptr},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_TITLE_FIX_SUBDIR, &DownloadSettings::TitleFixSearchIncludeSubDir,
     nullptr, nullptr},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_LIST_AUTO_SAVE, &DownloadSettings::ListAutoSave, nullptr,
     nullptr},
    {IDD_DOWNLOAD_SETTINGS_VIDEO, IDC_DOWNLOAD_SET_ECONOMY_ASK, &DownloadSettings::LowVideoNotify, nullptr, nullptr},
    {IDD_DOWNLOAD_SETTINGS_VIDEO, IDC_DOWNLOAD_SET_ECONOMY_DOWNLOAD, &DownloadSettings::LowVideoNotify,
     &DownloadSettings::LowVideoNoDownload, nullptr},
    {IDD_DOWNLOAD_SETTINGS_VIDEO, IDC_DOWNLOAD_SET_ECONOMY_SKIP, &DownloadSettings::LowVideoNoDownload, nullptr,
     nullptr},
    {IDD_DOWNLOAD_SETTINGS_VIDEO, IDC_DOWNLOAD_SET_DOWN_BGMS, &DownloadSettings::DownBGMs, nullptr, nullptr},
    {IDD_DOWNLOAD_SETTINGS_COMMENT, IDC_DOWNLOAD_SET_OWNER_COMMENT, &DownloadSettings::CommentGetOwner, nullptr,
     nullptr},
    {IDD_DOWNLOAD_SETTINGS_VIDEO_INFO, IDC_DOWNLOAD_SET_SAVE_FILTER, &DownloadSettings::VideoInfoSaveFilter, nullptr,
     nullptr},
    {IDD_DOWNLOAD_SETTINGS_VIDEO_INFO, IDC_DOWNLOAD_SET_SAVE_FILTER_ALWAYS,
     &DownloadSettings::VideoInfoSaveFilterAlways, nullptr, nullptr},
    {IDD_DOWNLOAD_SETTINGS_VIDEO_INFO, IDC_DOWNLOAD_SET_ADD_TAG, &DownloadSettings::VideoInfoAddTag, nullptr, nullptr},
    {IDD_DOWNLOAD_SETTINGS_VIDEO_INFO, IDC_DOWNLOAD_SET_WORLD_TAGS, &DownloadSettings::VideoInfoSaveWorldTags, nullptr,
     nullptr},
    {IDD_DOWNLOAD_SETTINGS_LOGIN, IDC_DOWNLOAD_ACCOUNT_MAIL, nullptr, nullptr, &DownloadSettings::Mail},
    {IDD_DOWNLOAD_SETTINGS_LOGIN, IDC_DOWNLOAD_ACCOUNT_PASS, nullptr, nullptr, &DownloadSettings::Pass},
};

// A check box and the controls enabled only while it is checked (or, inverted, while it is not).
struct EnablingRule {
    int page;
    int trigger;
    bool inverted;
    int dependents[2];
};

const EnablingRule kEnablingRules[] = {
    // With a folder asked for at each download, the typed one is not used.
    {IDD_DOWNLOAD_SETTINGS_GENERAL1,
     IDC_DOWNLOAD_SET_SELECT_PATH,
     true,
     {IDC_DOWNLOAD_SET_SAVE_PATH, IDC_DOWNLOAD_SET_BROWSE}},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2,
     IDC_DOWNLOAD_SET_DELETE_COMPLETED,
     false,
     {IDC_DOWNLOAD_SET_ADD_EXCEPT, IDC_DOWNLOAD_SET_ECONOMY_NOT_DELETE}},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_TITLE_FIX, false, {IDC_DOWNLOAD_SET_TITLE_FIX_SUBDIR, 0}},
    {IDD_DOWNLOAD_SETTINGS_VIDEO_INFO, IDC_DOWNLOAD_SET_SAVE_FILTER, false, {IDC_DOWNLOAD_SET_SAVE_FILTER_ALWAYS, 0}},
};

struct Tip {
    int page;
    int control;
    const wchar_t* text;
};

const Tip kTips[] = {
    {IDD_DOWNLOAD_SETTINGS_GENERAL1, IDC_DOWNLOAD_SET_SAVE_PATH,
     L"保存先パスを指定します\nウィンドウにフォルダをD＆Dすることでも指定できます"},
    {IDD_DOWNLOAD_SETTINGS_GENERAL1, IDC_DOWNLOAD_SET_BROWSE, L"保存先パスをダイアログから選択します"},
    {IDD_DOWNLOAD_SETTINGS_GENERAL1, IDC_DOWNLOAD_SET_SELECT_PATH, L"動画ごとに保存先をダイアログから指定できます"},
    {IDD_DOWNLOAD_SETTINGS_GENERAL1, IDC_DOWNLOAD_SET_SAVE_THUMBNAIL,
     L"動画のサムネイルを保存します\nダウンロードURL指定の後に\" -thumbnail\"として指定することもできます"},
    {IDD_DOWNLOAD_SETTINGS_GENERAL1, IDC_DOWNLOAD_SET_FOLDER_EVERY_VIDEO,
     L"動画ごとにフォルダを作成し、その中に各種ファイルを保存します\nダウンロードURL指定の後に\" "
     L"-createdir\"として指定することもできます\nフォルダ名のフォーマットはvelaplayer.iniのFoldernameFormat="
     L"で指定できます"},
    {IDD_DOWNLOAD_SETTINGS_GENERAL1, IDC_DOWNLOAD_SET_SAVE_COMMON_DIR,
     L"動画以外のファイルは全て共通フォルダに保存するようにします\n初期状態では./"
     L"commonフォルダに保存されます\n共通フォルダはvelaplayer.iniのCommonDir=で指定できます"},
    {IDD_DOWNLOAD_SETTINGS_GENERAL1, IDC_DOWNLOAD_SET_WATCH_CLIPBOARD,
     L"クリップボードに動画やマイリストURLが見つかった場合に、確認を取ってダウンロードリストに追加します"},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_DELETE_COMPLETED,
     L"ダウンロードが完了した項目をリストから削除します"},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_ADD_EXCEPT,
     L"同じ項目をダウンロードしないようにダウンロード除外リストへ追加して削除します"},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_ECONOMY_NOT_DELETE, L"エコノミーモードの動画はリストに残します"},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_NOTIFY_BEEP, L"ダウンロード完了時に音を鳴らします"},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_NOTIFY_FLASH, L"ダウンロード完了時にウィンドウを点滅させます"},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_NOTIFY_NONE, L"ダウンロード完了時の通知を行いません"},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_TITLE_FIX,
     L"同じIDのファイルが既に保存されている場合、タイトルを既存のファイル名と合わせます"},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_TITLE_FIX_SUBDIR,
     L"同じIDの動画を検索する際に下位フォルダも対象にします"},
    {IDD_DOWNLOAD_SETTINGS_GENERAL2, IDC_DOWNLOAD_SET_LIST_AUTO_SAVE,
     L"リストに変更があった場合に内容を自動的に保存します\n(通常はソフト終了時のみ保存動作を行います)"},
    {IDD_DOWNLOAD_SETTINGS_VIDEO, IDC_DOWNLOAD_SET_ECONOMY_ASK, L"ダイアログを表示して確認します"},
    {IDD_DOWNLOAD_SETTINGS_VIDEO, IDC_DOWNLOAD_SET_ECONOMY_DOWNLOAD, L"ダウンロード処理を続行します"},
    {IDD_DOWNLOAD_SETTINGS_VIDEO, IDC_DOWNLOAD_SET_ECONOMY_SKIP, L"ダウンロード処理をキャンセルします"},
    {IDD_DOWNLOAD_SETTINGS_VIDEO, IDC_DOWNLOAD_SET_DOWN_BGMS, L"@CM, @BGM動画を保存します"},
    {IDD_DOWNLOAD_SETTINGS_COMMENT, IDC_DOWNLOAD_SET_OWNER_COMMENT, L"投稿者コメントを保存します"},
    {IDD_DOWNLOAD_SETTINGS_VIDEO_INFO, IDC_DOWNLOAD_SET_SAVE_FILTER,
     L"投稿者が設定したフィルタを保存します\n([Replace "
     L"Word]セクションに保存されます。また、この情報はローカルフィルタとして使用されます。)"},
    {IDD_DOWNLOAD_SETTINGS_VIDEO_INFO, IDC_DOWNLOAD_SET_SAVE_FILTER_ALWAYS,
     L"フィルタが設定されている動画は、動画情報がダウンロード指定されていない場合でも保存を行います\n("
     L"動画がダウンロード指定されている場合のみ有効になります)"},
    {IDD_DOWNLOAD_SETTINGS_VIDEO_INFO, IDC_DOWNLOAD_SET_ADD_TAG,
     L"動画情報ファイルが既に存在していて情報を更新する場合に、以前のタグ情報を残して追記します"},
    {IDD_DOWNLOAD_SETTINGS_VIDEO_INFO, IDC_DOWNLOAD_SET_WORLD_TAGS, L"海外タグを保存します"},
    {IDD_DOWNLOAD_SETTINGS_LOGIN, IDC_DOWNLOAD_ACCOUNT_MAIL, L"メールアドレス"},
    {IDD_DOWNLOAD_SETTINGS_LOGIN, IDC_DOWNLOAD_ACCOUNT_PASS, L"パスワード"},
};

bool IsRelativePath(const std::wstring& path) {
    const bool rooted = !path.empty() && (path[0] == L'\\' || path[0] == L'/');
    const bool drive = path.size() >= 2 && path[1] == L':';
    return !path.empty() && !rooted && !drive;
}

bool IsChecked(HWND page, int control) {
    return SendDlgItemMessageW(page, control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// What the page's controls hold, for the controls the settings set.
SettingsPageValues ReadControls(HWND page, int resource) {
    SettingsPageValues values = GetSettingsPageValues(resource, DownloadSettings{});
    for (auto& check : values.checks) {
        check.second = IsChecked(page, check.first);
    }
    for (auto& text : values.texts) {
        text.second = GetWindowTextString(GetDlgItem(page, text.first));
    }
    return values;
}

void ApplyEnabling(HWND page, int resource) {
    for (const auto& state : GetSettingsPageEnabling(resource, ReadControls(page, resource))) {
        EnableWindow(GetDlgItem(page, state.first), state.second ? TRUE : FALSE);
    }
}

bool IsEnablingTrigger(int page, int control) {
    for (const EnablingRule& rule : kEnablingRules) {
        if (rule.page == page && rule.trigger == control) {
            return true;
        }
    }
    return false;
}

void AddBorder(HWND control) {
    SetWindowLongPtrW(control, GWL_STYLE, GetWindowLongPtrW(control, GWL_STYLE) | WS_BORDER);
    SetWindowPos(control, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
}

} // namespace

SettingsPageValues GetSettingsPageValues(int page, const DownloadSettings& settings) {
    SettingsPageValues values;
    for (const Binding& binding : kBindings) {
        if (binding.page != page) {
            continue;
        }
        if (binding.text != nullptr) {
            values.texts[binding.control] = settings.*binding.text;
        } else if (binding.neitherOf != nullptr) {
            values.checks[binding.control] = !(settings.*binding.flag) && !(settings.*binding.neitherOf);
        } else {
            values.checks[binding.control] = settings.*binding.flag;
        }
    }
    return values;
}

void ApplySettingsPageValues(int page, const SettingsPageValues& values, const std::wstring& programFolder,
                             DownloadSettings& settings) {
    for (const Binding& binding : kBindings) {
        if (binding.page != page || binding.neitherOf != nullptr) {
            continue;
        }
        if (binding.text != nullptr) {
            const auto text = values.texts.find(binding.control);
            if (text == values.texts.end()) {
                continue;
            }
            std::wstring value = text->second;
            if (binding.text == &DownloadSettings::SavePath && IsRelativePath(value)) {
                value = GetAbsolutePath(programFolder, value, true);
            }
            settings.*binding.text = value;
        } else {
            const auto check = values.checks.find(binding.control);
            if (check != values.checks.end()) {
                settings.*binding.flag = check->second;
            }
        }
    }
}

std::vector<std::pair<int, bool>> GetSettingsPageEnabling(int page, const SettingsPageValues& values) {
    std::vector<std::pair<int, bool>> states;
    for (const EnablingRule& rule : kEnablingRules) {
        if (rule.page != page) {
            continue;
        }
        const auto trigger = values.checks.find(rule.trigger);
        const bool checked = trigger != values.checks.end() && trigger->second;
        for (const int dependent : rule.dependents) {
            if (dependent != 0) {
                states.emplace_back(dependent, checked != rule.inverted);
            }
        }
    }
    return states;
}

std::vector<std::pair<int, std::wstring>> GetSettingsPageTips(int page) {
    std::vector<std::pair<int, std::wstring>> tips;
    for (const Tip& tip : kTips) {
        if (tip.page == page) {
            tips.emplace_back(tip.control, tip.text);
        }
    }
    return tips;
}

std::wstring GetDroppedSaveFolder(const std::wstring& path) {
    std::wstring folder = path;
    if (ToLower(GetFileExtension(path)) == L".lnk") {
        folder = GetShortcutTarget(path);
    }
    return !folder.empty() && IsFolder(folder) ? folder : std::wstring();
}

void ClearContextHelpStyle(void* dialogTemplate) {
    auto* bytes = static_cast<unsigned char*>(dialogTemplate);
    WORD version = 0;
    WORD signature = 0;
    std::memcpy(&version, bytes, sizeof(version));
    std::memcpy(&signature, bytes + 2, sizeof(signature));
    // The extended form begins with its version 1 and the signature 0xFFFF where the plain form has its
    // style: clearing the bit there would leave the real style alone and damage the header.
    const size_t styleOffset = version == 1 && signature == 0xFFFF ? 12 : 0;
    DWORD style = 0;
    std::memcpy(&style, bytes + styleOffset, sizeof(style));
    style &= ~static_cast<DWORD>(DS_CONTEXTHELP);
    std::memcpy(bytes + styleOffset, &style, sizeof(style));
}

// One page of the sheet. Every page procedure has the same shape; what differs is the page's table
// rows, its commands and (page 1) dropped folders.
class CSettingsPage : public CWndBase {
public:
    CSettingsPage(int resource, SettingsPageProc procedure) : m_resource(resource), m_procedure(procedure) {}

    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        return (this->*m_procedure)(window, message, wParam, lParam);
    }

    LRESULT SavePathPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_DROPFILES) {
            OnDropFiles(window, reinterpret_cast<HDROP>(wParam));
            return Handled(window);
        }
        return PageProc(window, message, wParam, lParam, true);
    }
    LRESULT AfterDownloadPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        return PageProc(window, message, wParam, lParam, true);
    }
    LRESULT ConfirmPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        return PageProc(window, message, wParam, lParam, true);
    }
    LRESULT OwnerCommentPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        return PageProc(window, message, wParam, lParam, true);
    }
    LRESULT VideoInfoPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        return PageProc(window, message, wParam, lParam, true);
    }
    LRESULT LoginDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        return PageProc(window, message, wParam, lParam, false);
    }

    // The pages' dialog procedure until the object is attached: the object comes with the page's
    // creation data, not as the dialog parameter CWndBase expects.
    static INT_PTR CALLBACK FirstDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_INITDIALOG || lParam == 0) {
            return FALSE;
        }
        auto* page = reinterpret_cast<CSettingsPage*>(reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
        if (page == nullptr || !CWndBase::Attach(window, page)) {
            return FALSE;
        }
        return CWndBase::StaticDlgProc(window, message, wParam, lParam);
    }

private:
    LRESULT PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool handlesCommands) {
        switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(window);
            return TRUE;
        case WM_COMMAND:
            if (!handlesCommands) {
                return FALSE;
            }
            OnCommand(window, LOWORD(wParam));
            return Handled(window);
        case WM_NOTIFY:
            if (reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(PSN_APPLY)) {
                ApplySettingsPageValues(m_resource, ReadControls(window, m_resource), GetAppSettings().programFolder,
                                        GetDownloadSettings());
            }
            return Handled(window);
        default:
            return FALSE;
        }
    }

    static LRESULT Handled(HWND window) {
        SetWindowLongPtrW(window, DWLP_MSGRESULT, PSNRET_NOERROR);
        return TRUE;
    }

    void OnInitDialog(HWND window) {
        const SettingsPageValues values = GetSettingsPageValues(m_resource, GetDownloadSettings());
        for (const auto& check : values.checks) {
            CheckDlgButton(window, check.first, check.second ? BST_CHECKED : BST_UNCHECKED);
        }
        for (const auto& text : values.texts) {
            HWND edit = GetDlgItem(window, text.first);
            AddBorder(edit);
            SetWindowTextW(edit, text.second.c_str());
        }
        ApplyEnabling(window, m_resource);
        if (m_resource == IDD_DOWNLOAD_SETTINGS_GENERAL1) {
            DragAcceptFiles(window, TRUE);
        }
        // The rules run once more when the page is up.
        for (const EnablingRule& rule : kEnablingRules) {
            if (rule.page == m_resource && m_resource != IDD_DOWNLOAD_SETTINGS_GENERAL1) {
                PostMessageW(window, WM_COMMAND, rule.trigger, 0);
            }
        }
        if (m_tip.Create(window)) {
            SendMessageW(m_tip.GetWindowHandle(), TTM_SETTIPBKCOLOR, kTipBackground, 0);
            SendMessageW(m_tip.GetWindowHandle(), TTM_SETTIPTEXTCOLOR, kTipText, 0);
            for (const auto& tip : GetSettingsPageTips(m_resource)) {
                m_tip.AddWindowTool(GetDlgItem(window, tip.first), tip.second);
            }
        }
    }

    void OnCommand(HWND window, int control) {
        if (m_resource == IDD_DOWNLOAD_SETTINGS_GENERAL1 && control == IDC_DOWNLOAD_SET_BROWSE) {
            HWND edit = GetDlgItem(window, IDC_DOWNLOAD_SET_SAVE_PATH);
            std::wstring folder;
            if (ShowFolderDialog(L"保存フォルダを選択して下さい。", GetWindowTextString(edit), window, folder,
                                 BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE) &&
                !folder.empty()) {
                SetWindowTextW(edit, folder.c_str());
            }
        } else if (IsEnablingTrigger(m_resource, control)) {
            ApplyEnabling(window, m_resource);
        }
    }

    void OnDropFiles(HWND window, HDROP drop) {
        const std::wstring folder = GetDroppedSaveFolder(GetDroppedFileName(drop, 0));
        DragFinish(drop);
        if (!folder.empty()) {
            SetDlgItemTextW(window, IDC_DOWNLOAD_SET_SAVE_PATH, folder.c_str());
        }
    }

    int m_resource;
    SettingsPageProc m_procedure;
    CToolTip m_tip;
};

SettingsPageList::SettingsPageList() = default;

SettingsPageList::~SettingsPageList() {
    if (!handedOver) {
        for (HPROPSHEETPAGE handle : handles) {
            DestroyPropertySheetPage(handle);
        }
    }
}

bool CreateSettingsPage(int resourceId, SettingsPageProc procedure, SettingsPageList& pages) {
    auto page = std::make_unique<CSettingsPage>(resourceId, procedure);
    PROPSHEETPAGEW info = {};
    // The first version's size: the pages need none of the later fields, and every version of the
    // common controls takes it.
    info.dwSize = PROPSHEETPAGEW_V1_SIZE;
    info.dwFlags = PSP_DEFAULT;
    info.hInstance = GetModuleHandleW(nullptr);
    info.pszTemplate = MAKEINTRESOURCEW(resourceId);
    info.pfnDlgProc = &CSettingsPage::FirstDlgProc;
    info.lParam = reinterpret_cast<LPARAM>(page.get());
    HPROPSHEETPAGE handle = CreatePropertySheetPageW(&info);
    if (handle == nullptr) {
        return false;
    }
    pages.handles.push_back(handle);
    pages.pages.push_back(std::move(page));
    return true;
}

int CALLBACK SettingsSheetCallback(HWND window, UINT message, LPARAM lParam) {
    if (message == PSCB_PRECREATE && lParam != 0) {
        ClearContextHelpStyle(reinterpret_cast<void*>(lParam));
    } else if (message == PSCB_INITIALIZED) {
        g_sheetWindow = window;
    }
    return 0;
}

bool ShowSettingsSheet(const std::wstring& caption, SettingsPageList& pages, HWND owner) {
    if (pages.handles.empty()) {
        return false;
    }
    PROPSHEETHEADERW header = {};
    header.dwSize = PROPSHEETHEADERW_V1_SIZE;
    header.dwFlags = PSH_USECALLBACK | PSH_NOAPPLYNOW;
    header.hwndParent = owner;
    header.hInstance = GetModuleHandleW(nullptr);
    header.pszCaption = caption.c_str();
    header.nPages = static_cast<UINT>(pages.handles.size());
    header.nStartPage = 0;
    header.phpage = pages.handles.data();
    header.pfnCallback = &SettingsSheetCallback;
    pages.handedOver = true;
    const INT_PTR result = PropertySheetW(&header);
    g_sheetWindow = nullptr;
    return result != -1;
}

bool IsDownloadSettingsSheetOpen() {
    return g_sheetOpen.load();
}

HWND GetDownloadSettingsSheetWindow() {
    return g_sheetWindow;
}

void ShowDownloadSettings(HWND owner) {
    if (g_sheetOpen) {
        if (g_sheetWindow != nullptr && IsWindow(g_sheetWindow)) {
            if (IsIconic(g_sheetWindow)) {
                ShowWindow(g_sheetWindow, SW_RESTORE);
            }
            ForceForegroundWindow(g_sheetWindow);
        }
        return;
    }
    // Set before the sheet exists: a login asking at once must see it open.
    g_sheetOpen = true;
    struct ClearAfterwards {
        ~ClearAfterwards() { g_sheetOpen = false; }
    } clearAfterwards;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    SettingsPageList pages;
    const SettingsPageProc procedures[] = {
        &CSettingsPage::SavePathPageProc,     &CSettingsPage::AfterDownloadPageProc, &CSettingsPage::ConfirmPageProc,
        &CSettingsPage::OwnerCommentPageProc, &CSettingsPage::VideoInfoPageProc,     &CSettingsPage::LoginDlgProc,
    };
    for (size_t i = 0; i < 6; ++i) {
        CreateSettingsPage(kDownloadSettingsPages[i], procedures[i], pages);
    }
    ShowSettingsSheet(L"設定", pages, owner);
}
