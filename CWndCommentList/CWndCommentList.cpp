#include "CWndCommentList/CWndCommentList.h"

#include "CWndCommentList/CommentListResource.h"
#include "foundation/CIniFile.h"
#include "foundation/CToolTip.h"
#include "foundation/PathUtil.h"
#include "foundation/StringUtil.h"
#include "foundation/WindowUtil.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

constexpr wchar_t kClassName[] = L"CWndCommentList";
constexpr wchar_t kSection[] = L"comment_list";
constexpr int32_t kNotSet = static_cast<int32_t>(0x80000000);

struct ColumnInfo {
    const wchar_t* header;
    const wchar_t* widthKey; // null: the width is not saved
    int width;
};

const ColumnInfo kColumns[comment_column::kCount] = {
    {L"表示", L"ColumnWidthVideoPos", 60},    {L"コメント", L"ColumnWidthComment", 260},
    {L"ID", L"ColumnWidthID", 100},           {L"書き込み時間", L"ColumnWidthPostTime", 90},
    {L"No.", L"ColumnWidthNo", 75},           {L"コマンド", L"ColumnWidthCommand", 75},
    {L"ﾌﾟﾚﾐｱﾑ", L"ColumnWidthPremium", 55},   {L"削除", L"ColumnWidthDelete", 40},
    {L"", nullptr, 50},
};

const UINT kNeedRows[] = {IDM_CL_CLEAR, IDM_CL_GROUP_BY_ID, IDM_CL_SELECT_ALL};
const UINT kNeedSelection[] = {IDM_CL_SEEK,  IDM_CL_COPY_COMMENT, IDM_CL_COPY_ID,        IDM_CL_COPY_COMMAND,
                               IDM_CL_NG_ID, IDM_CL_NG_WORD,      IDM_CL_NG_COMMAND,     IDM_CL_SELECT_SAME_ID,
                               IDM_CL_SORT_SELECTED};

} // namespace

LRESULT CWndCommentListSub::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KILLFOCUS) {
        return 0;
    }
    return DefaultProc(window, message, wParam, lParam);
}

CWndCommentList::CWndCommentList() {
    CoInitialize(nullptr);
}

CWndCommentList::~CWndCommentList() {
    CoUninitialize();
}

void CWndCommentList::Init(const std::wstring& appTitle, const std::wstring& settingsPath) {
    m_appTitle = appTitle;
    m_title = appTitle + L" - コメントリスト";
    m_settingsPath = settingsPath;
}

bool CWndCommentList::Show(int showCommand) {
    if (m_hWnd == nullptr) {
        if (!RegisterWindowClass() || !CreateMainWindow()) {
            return false;
        }
        LoadSettings();
    }
    ShowWindow(m_hWnd, showCommand);
    return true;
}

void CWndCommentList::Destroy() {
    if (m_hWnd != nullptr) {
        DestroyWindow(m_hWnd);
    }
}

bool CWndCommentList::IsBusy() const {
    return m_hWnd != nullptr && GetWindowTextString(m_hWnd) != m_title;
}

bool CWndCommentList::RegisterWindowClass() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kClassName, &existing)) {
        return true;
    }
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = StaticWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hIconSm = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = MAKEINTRESOURCEW(IDR_COMMENTLIST_MENU);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0;
}

bool CWndCommentList::CreateMainWindow() {
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_TOOLWINDOW, kClassName, m_title.c_str(),
                                  WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, 400, 440, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), this);
    return window != nullptr;
}

LRESULT CWndCommentList::OnCreate(HWND window) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    DragAcceptFiles(window, TRUE);
    m_list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_BORDER | WS_TABSTOP | LVS_REPORT |
                                 LVS_SHOWSELALWAYS,
                             0, 0, 0, 0, window, reinterpret_cast<HMENU>(IDC_COMMENTLIST_LIST),
                             GetModuleHandleW(nullptr), nullptr);
    if (m_list == nullptr) {
        return -1;
    }
    CWndBase::Attach(m_list, &m_listSub);
    for (int column = 0; column < comment_column::kCount; ++column) {
        LVCOLUMNW lvc = {};
        lvc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        lvc.pszText = const_cast<wchar_t*>(kColumns[column].header);
        lvc.cx = kColumns[column].width;
        lvc.iSubItem = column;
        SendMessageW(m_list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&lvc));
    }
    SendMessageW(m_list, LVM_SETCOLUMNWIDTH, comment_column::kSpare, 50);
    SendMessageW(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
    SetupListToolTips(m_list);
    m_statusBar.CreateStatusBar(window, {110, -1}, IDC_COMMENTLIST_STATUS);
    m_accelerator = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_COMMENTLIST_ACCEL));
    UpdateMenu(nullptr);
    return 0;
}

void CWndCommentList::OnDestroy() {
    m_listSub.Detach();
    SaveSettings();
    if (m_accelerator != nullptr) {
        DestroyAcceleratorTable(m_accelerator);
        m_accelerator = nullptr;
    }
}

void CWndCommentList::OnSize() {
    RECT client = {};
    GetClientRect(m_hWnd, &client);
    RECT status = {};
    if (m_statusBar.m_hWnd != nullptr) {
        SendMessageW(m_statusBar.m_hWnd, WM_SIZE, 0, 0);
        GetWindowRect(m_statusBar.m_hWnd, &status);
    }
    MoveWindow(m_list, 0, 0, client.right, client.bottom - (status.bottom - status.top), TRUE);
}

LRESULT CWndCommentList::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_findMessage != 0 && message == m_findMessage) {
        FindNext((m_find.Flags & FR_DOWN) != 0 ? 1 : 2);
        return 0;
    }
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_NCDESTROY: {
        const LRESULT result = DefaultProc(window, message, wParam, lParam);
        m_list = nullptr;
        m_statusBar = CStatusBar();
        m_findDialog = nullptr;
        return result;
    }
    case WM_SIZE:
        OnSize();
        return 0;
    case WM_CLOSE:
        PostNotifyMessage();
        return 0;
    case WM_NOTIFY:
        OnNotify(reinterpret_cast<const NMHDR*>(lParam));
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_LBUTTONDOWN:
        return 0;
    case kMsgCommentListListHandle:
        return reinterpret_cast<LRESULT>(m_list);
    case kMsgCommentListHandle:
        return reinterpret_cast<LRESULT>(window);
    case kMsgCommentListSelectId:
        if (wParam != 0) {
            SelectSameIdAsync(reinterpret_cast<const wchar_t*>(wParam));
        }
        return 0;
    case kMsgCommentListStep: {
        const auto* step = reinterpret_cast<const std::function<void()>*>(wParam);
        {
            // Only a step this window handed out is run: the number is reachable from other processes.
            CAutoLock lock(m_stepLock);
            if (m_pendingSteps.count(step) == 0) {
                return 0;
            }
        }
        (*step)();
        return 1;
    }
    case kMsgCommentListRefreshMenu:
        m_menuRefreshPosted = false;
        if (!IsBusy()) {
            UpdateMenu(nullptr);
        }
        return 0;
    default:
        return DefaultProc(window, message, wParam, lParam);
    }
}

void CWndCommentList::RunOnWindowThread(const std::function<void()>& step) {
    if (m_hWnd == nullptr) {
        return;
    }
    if (GetWindowThreadProcessId(m_hWnd, nullptr) == GetCurrentThreadId()) {
        step();
        return;
    }
    {
        CAutoLock lock(m_stepLock);
        m_pendingSteps.insert(&step);
    }
    SendMessageW(m_hWnd, kMsgCommentListStep, reinterpret_cast<WPARAM>(&step), 0);
    CAutoLock lock(m_stepLock);
    m_pendingSteps.erase(&step);
}

void CWndCommentList::OnNotify(const NMHDR* header) {
    if (IsBusy()) {
        return;
    }
    if (header != nullptr && header->hwndFrom == m_list) {
        switch (header->code) {
        case LVN_COLUMNCLICK: {
            const int column = reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem;
            if (column >= 0 && column < comment_column::kSpare) {
                OnColumnClick(column);
            }
            break;
        }
        case LVN_ITEMCHANGED:
            OnCheckStateChanged(reinterpret_cast<const NMLISTVIEW*>(header)->iItem);
            // Selecting every row changes every row: the menu follows once the changes are done.
            if (!m_menuRefreshPosted) {
                m_menuRefreshPosted = PostMessageW(m_hWnd, kMsgCommentListRefreshMenu, 0, 0) != FALSE;
            }
            return;
        case NM_RCLICK:
            ShowContextMenu();
            break;
        case NM_DBLCLK:
        case NM_RETURN:
            SeekToSelected();
            break;
        default:
            break;
        }
    }
    UpdateMenu(nullptr);
}

void CWndCommentList::OnCommand(UINT id) {
    if (IsBusy()) {
        return;
    }
    switch (id) {
    case IDM_CL_OPEN:
        OpenCommentFile();
        break;
    case IDM_CL_CLEAR:
        SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
        m_lastScrollTarget.clear();
        break;
    case IDM_CL_CLOSE:
        PostNotifyMessage();
        break;
    case IDM_CL_SEEK:
        SeekToSelected();
        break;
    case IDM_CL_COPY_COMMENT:
        CopySelection(comment_column::kText, m_hWnd);
        break;
    case IDM_CL_COPY_ID:
        CopySelection(comment_column::kId, m_hWnd);
        break;
    case IDM_CL_COPY_COMMAND:
        CopySelection(comment_column::kCommand, m_hWnd);
        break;
    case IDM_CL_NG_ID:
        AddExcludeId();
        break;
    case IDM_CL_NG_WORD:
        AddExcludeWord();
        break;
    case IDM_CL_NG_COMMAND:
        AddExcludeCommand();
        break;
    case IDM_CL_SELECT_SAME_ID:
        SelectSameId(m_hWnd, L"");
        break;
    case IDM_CL_GROUP_BY_ID:
        SortByPostCount();
        break;
    case IDM_CL_SELECT_ALL:
        SelectAll();
        break;
    case IDM_CL_SORT_SELECTED:
        SortBySelection();
        break;
    case IDM_CL_FIND:
        ShowFindDialog();
        break;
    case IDM_CL_FIND_DOWN:
        FindDown();
        break;
    case IDM_CL_FIND_UP:
        FindUp();
        break;
    case IDM_CL_AUTO_SCROLL:
        ConfirmSortForAutoScroll();
        break;
    case IDM_CL_VIEW_LAST_LINE:
        m_autoViewLastLine = !m_autoViewLastLine;
        break;
    default:
        return;
    }
    UpdateMenu(nullptr);
}

void CWndCommentList::OnDropFiles(HDROP drop) {
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
        const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, 0, &path[0], length + 1);
        path.resize(length);
        const size_t dot = path.find_last_of(L'.');
        const size_t slash = path.find_last_of(L"\\/");
        if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash) &&
            ToLower(path.substr(dot)) == L".xml") {
            LoadFileAsync(path);
        }
    }
    DragFinish(drop);
}

void CWndCommentList::UpdateMenu(HMENU menu) {
    if (m_hWnd == nullptr) {
        return;
    }
    if (menu == nullptr) {
        menu = GetMenu(m_hWnd);
    }
    if (menu != nullptr) {
        const bool hasRows = SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0) > 0;
        const bool hasSelection = SendMessageW(m_list, LVM_GETSELECTEDCOUNT, 0, 0) > 0;
        for (UINT id : kNeedRows) {
            EnableMenuItem(menu, id, MF_BYCOMMAND | (hasRows ? MF_ENABLED : MF_GRAYED));
        }
        for (UINT id : kNeedSelection) {
            EnableMenuItem(menu, id, MF_BYCOMMAND | (hasSelection ? MF_ENABLED : MF_GRAYED));
        }
        CheckMenuItem(menu, IDM_CL_AUTO_SCROLL, MF_BYCOMMAND | (m_autoScroll ? MF_CHECKED : MF_UNCHECKED));
        CheckMenuItem(menu, IDM_CL_VIEW_LAST_LINE, MF_BYCOMMAND | (m_autoViewLastLine ? MF_CHECKED : MF_UNCHECKED));
    }
    UpdateStatusText();
}

void CWndCommentList::UpdateStatusText() {
    if (m_statusBar.m_hWnd == nullptr) {
        return;
    }
    const int count = static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0));
    int last = -1;
    if (SendMessageW(m_list, LVM_GETSELECTEDCOUNT, 0, 0) > 0) {
        for (last = count - 1; last >= 0 && SendMessageW(m_list, LVM_GETITEMSTATE, last, LVIS_SELECTED) == 0;) {
            --last;
        }
    }
    const std::wstring position = last >= 0 ? std::to_wstring(last + 1) + L" / " : L" - / ";
    m_statusBar.SetStatusPartText(0, L" " + position + std::to_wstring(count));
    m_statusBar.SetStatusPartText(1, m_loadedFiles.empty() ? L"" : L" " + GetFileName(m_loadedFiles.back()));
}

void CWndCommentList::ShowContextMenu() {
    HMENU loaded = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_COMMENTLIST_POPUP));
    if (loaded == nullptr) {
        return;
    }
    HMENU popup = GetSubMenu(loaded, 0);
    UpdateMenu(popup);
    POINT cursor = {};
    GetCursorPos(&cursor);
    TrackPopupMenu(popup, TPM_LEFTBUTTON, cursor.x, cursor.y, 0, m_hWnd, nullptr);
    DestroyMenu(loaded);
}

void CWndCommentList::LoadSettings() {
    CIniFile ini(m_settingsPath, kSection);
    const int32_t left = ini.ReadInt(kSection, L"left", kNotSet);
    const int32_t top = ini.ReadInt(kSection, L"top", kNotSet);
    const int32_t width = ini.ReadInt(kSection, L"width", 400);
    const int32_t height = ini.ReadInt(kSection, L"height", 440);
    RECT rect = {};
    GetWindowRect(m_hWnd, &rect);
    SetWindowPos(m_hWnd, nullptr, 0, 0, width, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(m_hWnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (left == kNotSet && top == kNotSet) {
        CenterWindow(m_hWnd);
    } else {
        GetWindowRect(m_hWnd, &rect);
        SetWindowPos(m_hWnd, nullptr, left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONULL) == nullptr) {
            FitWindowToMonitor(m_hWnd);
        }
    }
    for (int column = 0; column < comment_column::kSpare; ++column) {
        SendMessageW(m_list, LVM_SETCOLUMNWIDTH, column,
                     ini.ReadInt(kSection, kColumns[column].widthKey, kColumns[column].width));
    }
    const std::vector<int> order = ParseCommentColumnOrder(ini.ReadString(kSection, L"ColumnOrderArray", L""));
    if (!order.empty()) {
        SendMessageW(m_list, LVM_SETCOLUMNORDERARRAY, order.size(), reinterpret_cast<LPARAM>(order.data()));
    }
    const int32_t sortKey = ini.ReadInt(kSection, L"SortSubItem", -1);
    const int32_t sortDirection = ini.ReadInt(kSection, L"SortDirection", 0);
    // A key or direction the table does not have (an edited or damaged file) restores nothing.
    if (CSortKeyTable::IsRestorable(sortKey, sortDirection)) {
        SetSortMark(sortKey, sortDirection);
    }
    m_matchCase = ini.ReadBool(kSection, L"MatchCase", true);
    m_autoScroll = ini.ReadBool(kSection, L"AutoScroll", false);
    m_autoViewLastLine = ini.ReadBool(kSection, L"AutoViewLastLine", true);
    UpdateMenu(nullptr);
}

void CWndCommentList::SaveSettings() {
    if (m_hWnd == nullptr) {
        return;
    }
    CIniFile ini(m_settingsPath, kSection);
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (GetWindowPlacement(m_hWnd, &placement)) {
        const RECT& r = placement.rcNormalPosition;
        ini.Write(kSection, L"left", static_cast<int32_t>(r.left));
        ini.Write(kSection, L"top", static_cast<int32_t>(r.top));
        ini.Write(kSection, L"width", static_cast<int32_t>(r.right - r.left));
        ini.Write(kSection, L"height", static_cast<int32_t>(r.bottom - r.top));
    }
    for (int column = 0; column < comment_column::kSpare; ++column) {
        ini.Write(kSection, kColumns[column].widthKey,
                  static_cast<int32_t>(SendMessageW(m_list, LVM_GETCOLUMNWIDTH, column, 0)));
    }
    std::vector<int> order(comment_column::kCount);
    if (SendMessageW(m_list, LVM_GETCOLUMNORDERARRAY, order.size(), reinterpret_cast<LPARAM>(order.data()))) {
        ini.Write(kSection, L"ColumnOrderArray", FormatCommentColumnOrder(order));
    }
    const int key = m_sortKeys.CurrentKey();
    ini.Write(kSection, L"SortSubItem", static_cast<int32_t>(key));
    if (key != -1) {
        ini.Write(kSection, L"SortDirection", static_cast<int32_t>(m_sortKeys.Direction(key)));
    }
    ini.Write(kSection, L"MatchCase", m_matchCase);
    ini.Write(kSection, L"AutoScroll", m_autoScroll);
    ini.Write(kSection, L"AutoViewLastLine", m_autoViewLastLine);
}

CWndCommentList& GetCommentListWindow() {
    static CWndCommentList window;
    return window;
}
