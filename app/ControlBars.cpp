#include "app/ControlBars.h"

#include "app/MainWindowRules.h"
#include "app/resource.h"

#include <commctrl.h>

#include <vector>

namespace {

constexpr int kToolBarHeight = 24;
constexpr int kSeekBarHeight = 20;
constexpr int kVolumeBarWidth = 100;
constexpr int kVolumeBarHeight = 18;
constexpr int kMuteButtonSize = 20;
// The tips' background, 0xAC7859 as a number.
constexpr COLORREF kTipBackground = 11303001;

const wchar_t kTrackBarClass[] = L"msctls_trackbar32";

HWND CreateTrackBar(HWND parent, int width, int height, int id) {
    HWND bar = CreateWindowExW(0, kTrackBarClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | TBS_NOTICKS | TBS_BOTH, 0,
                               0, width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleW(nullptr), nullptr);
    SendMessageW(bar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    return bar;
}

int StatusBarHeight(const MainControls& controls) {
    RECT rect = {};
    GetWindowRect(controls.statusBar.m_hWnd, &rect);
    return rect.bottom - rect.top;
}

} // namespace

LRESULT CSubSeekBar::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN: {
        m_dragging = true;
        // A click puts the thumb where it was made instead of paging towards it.
        RECT channel = {};
        SendMessageW(window, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
        const int x = static_cast<short>(LOWORD(lParam));
        const int width = channel.right - channel.left;
        if (width > 0) {
            const int minimum = static_cast<int>(SendMessageW(window, TBM_GETRANGEMIN, 0, 0));
            const int maximum = static_cast<int>(SendMessageW(window, TBM_GETRANGEMAX, 0, 0));
            int position = minimum + (x - channel.left) * (maximum - minimum) / width;
            position = position < minimum ? minimum : (position > maximum ? maximum : position);
            SendMessageW(window, TBM_SETPOS, TRUE, position);
            SendMessageW(GetParent(window), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position),
                         reinterpret_cast<LPARAM>(window));
        }
        break;
    }
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        m_dragging = false;
        break;
    case WM_MOUSEWHEEL:
        // A focused track bar would move its own thumb (the seek bar would seek).
        return SendMessageW(GetParent(window), message, wParam, lParam);
    default:
        break;
    }
    return DefaultProc(window, message, wParam, lParam);
}

LRESULT CSubStatusBar::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The class takes double clicks: the second click of a quick pair comes as one.
    const bool left = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK;
    const bool right = message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK;
    if ((left || right) && onPartClick) {
        const int count = static_cast<int>(SendMessageW(window, SB_GETPARTS, 0, 0));
        std::vector<int> edges(count > 0 ? count : 0);
        if (!edges.empty()) {
            SendMessageW(window, SB_GETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
        }
        const int part = StatusPartAt(edges, static_cast<short>(LOWORD(lParam)));
        if (part >= 0) {
            onPartClick(part, right);
        }
    }
    return DefaultProc(window, message, wParam, lParam);
}

MainControls& GetMainControls() {
    static MainControls controls;
    return controls;
}

bool CreateMainControls(HWND mainWindow) {
    MainControls& controls = GetMainControls();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    controls.soundBitmap.Reset(static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDB_SOUND), IMAGE_BITMAP, 16, 16, LR_LOADMAP3DCOLORS)));
    controls.muteBitmap.Reset(static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDB_MUTE), IMAGE_BITMAP, 16, 16, LR_LOADMAP3DCOLORS)));

    controls.statusBar.m_hWnd =
        CreateStatusWindowW(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM, L"", mainWindow, IDC_STATUS_BAR);
    const int edges[] = {110, 130, 190, 240, -1};
    SendMessageW(controls.statusBar.m_hWnd, SB_SETPARTS, 5, reinterpret_cast<LPARAM>(edges));
    controls.statusBar.m_partTexts.assign(5, std::wstring());
    CWndBase::Attach(controls.statusBar.m_hWnd, &controls.statusBarObject);

    controls.seekBar = CreateTrackBar(mainWindow, 100, kSeekBarHeight, IDC_SEEK_BAR);
    CWndBase::Attach(controls.seekBar, &controls.seekBarObject);

    const TBBUTTON buttons[] = {
        {0, IDC_PLAY_PAUSE, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {2, IDC_STOP, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {0, 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0},
        {3, IDC_PREV_FILE, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {4, IDC_NEXT_FILE, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {0, 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0},
        {5, IDC_TOOL_PLAYLIST, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {0, 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0},
        {6, IDC_TOOL_COMMENT_LIST, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {7, IDC_TOOL_VIDEO_INFO, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {8, IDC_TOOL_COMMENT_POST, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {0, 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0},
    };
    controls.toolBar =
        CreateToolbarEx(mainWindow,
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER |
                            CCS_NOPARENTALIGN | CCS_NORESIZE,
                        IDC_TOOL_BAR, 9, instance, IDB_TOOLBAR, buttons, 12, 16, 16, 16, 16, sizeof(TBBUTTON));
    SendMessageW(controls.toolBar, TB_AUTOSIZE, 0, 0);

    controls.muteButton = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_FLAT | BS_BITMAP,
                                          0, 0, kMuteButtonSize, kMuteButtonSize, mainWindow,
                                          reinterpret_cast<HMENU>(IDC_MUTE_BUTTON), instance, nullptr);
    controls.volumeBar = CreateTrackBar(mainWindow, kVolumeBarWidth, kVolumeBarHeight, IDC_VOLUME_BAR);
    CWndBase::Attach(controls.volumeBar, &controls.volumeBarObject);

    if (controls.toolTips.Create(mainWindow)) {
        HWND tip = controls.toolTips.GetWindowHandle();
        SendMessageW(tip, TTM_SETTIPBKCOLOR, kTipBackground, 0);
        SendMessageW(tip, TTM_SETTIPTEXTCOLOR, RGB(255, 255, 255), 0);
        controls.toolTips.AddWindowTool(controls.seekBar, L"再生位置");
        controls.toolTips.AddWindowTool(controls.muteButton, L"ミュート");
        controls.toolTips.AddWindowTool(controls.volumeBar,
                                        L"音量\r\n(マウスホイールを回転させることでも操作できます)");
        controls.toolTips.AddWindowTool(
            controls.statusBar.m_hWnd,
            L"再生時間 | コメント表示 | 再生方法 | 再生速度 | その他情報 の順に表示されます\n"
            L"コメント表示, 再生方法, 再生速度はそれぞれ左・右クリックで操作ができます");
    }
    return controls.statusBar.m_hWnd != nullptr && controls.seekBar != nullptr && controls.toolBar != nullptr &&
           controls.muteButton != nullptr && controls.volumeBar != nullptr;
}

RECT GetVideoArea(HWND mainWindow) {
    const MainControls& controls = GetMainControls();
    RECT area = {};
    GetClientRect(mainWindow, &area);
    if (controls.statusBar.m_hWnd != nullptr && IsWindowVisible(controls.statusBar.m_hWnd)) {
        area.bottom -= StatusBarHeight(controls) + kToolBarHeight + kSeekBarHeight;
    }
    if (area.bottom < area.top) {
        area.bottom = area.top;
    }
    return area;
}

void LayoutMainWindow(HWND mainWindow) {
    MainControls& controls = GetMainControls();
    if (controls.statusBar.m_hWnd == nullptr) {
        return;
    }
    RECT client = {};
    GetClientRect(mainWindow, &client);
    const int width = client.right;
    SendMessageW(controls.statusBar.m_hWnd, WM_SIZE, 0, 0);
    const int statusTop = client.bottom - StatusBarHeight(controls);
    const int barsTop = statusTop - kToolBarHeight;
    const int seekTop = barsTop - kSeekBarHeight;
    MoveWindow(controls.seekBar, 0, seekTop, width, kSeekBarHeight, TRUE);
    const int volumeLeft = width - kVolumeBarWidth;
    const int muteLeft = volumeLeft - kMuteButtonSize - 2;
    MoveWindow(controls.toolBar, 0, barsTop, muteLeft > 0 ? muteLeft : 0, kToolBarHeight, TRUE);
    MoveWindow(controls.muteButton, muteLeft, barsTop + 2, kMuteButtonSize, kMuteButtonSize, TRUE);
    MoveWindow(controls.volumeBar, volumeLeft, barsTop + 3, kVolumeBarWidth, kVolumeBarHeight, TRUE);
}

void UpdateMuteButton(bool muted) {
    MainControls& controls = GetMainControls();
    SendMessageW(controls.muteButton, BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(muted ? controls.muteBitmap.Get() : controls.soundBitmap.Get()));
}
