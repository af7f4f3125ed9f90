#include "foundation/CStatusBar.h"

#include <commctrl.h>

#include <algorithm>

namespace {

// SB_SETTEXTW takes the part in the low byte of wParam; higher bits are drawing flags.
const int kMaxPart = 255;

} // namespace

bool CStatusBar::CreateStatusBar(HWND parent, const std::vector<int>& rightEdges, UINT id) {
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_BAR_CLASSES};
    InitCommonControlsEx(&init);
    m_hWnd = CreateStatusWindowW(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM, L"", parent, id);
    m_partTexts.clear();
    if (m_hWnd == nullptr) {
        return false;
    }
    if (!rightEdges.empty()) {
        std::vector<int> edges(rightEdges.begin(),
                               rightEdges.begin() + std::min<size_t>(rightEdges.size(), kMaxPart + 1));
        SendMessageW(m_hWnd, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
        m_partTexts.resize(edges.size());
    } else {
        m_partTexts.resize(1);
    }
    return true;
}

bool CStatusBar::SetStatusPartText(int part, const std::wstring& text) {
    if (part < 0 || part > kMaxPart) {
        return false;
    }
    if (static_cast<size_t>(part) >= m_partTexts.size()) {
        m_partTexts.resize(part + 1);
    }
    if (m_partTexts[part] == text) {
        return true;
    }
    m_partTexts[part] = text;
    if (m_hWnd != nullptr) {
        SendMessageW(m_hWnd, SB_SETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text.c_str()));
    }
    return true;
}
