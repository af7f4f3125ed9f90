#include "engine/FrameCanvas.h"

#include <cstring>

bool CFrameCanvas::Prepare(const BITMAPINFOHEADER& header) {
    if (m_section != nullptr && std::memcmp(&header, &m_header, sizeof(header)) == 0) {
        return true;
    }
    Free();
    m_dc = CreateCompatibleDC(nullptr);
    if (m_dc == nullptr) {
        return false;
    }
    BITMAPINFO info = {};
    info.bmiHeader = header;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_section = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (m_section == nullptr || bits == nullptr) {
        Free();
        return false;
    }
    m_oldBitmap = SelectObject(m_dc, m_section);
    m_bits = static_cast<BYTE*>(bits);
    m_header = header;
    return true;
}

void CFrameCanvas::Free() {
    if (m_dc != nullptr && m_oldBitmap != nullptr) {
        SelectObject(m_dc, m_oldBitmap);
    }
    if (m_section != nullptr) {
        DeleteObject(m_section);
    }
    if (m_dc != nullptr) {
        DeleteDC(m_dc);
    }
    m_dc = nullptr;
    m_section = nullptr;
    m_oldBitmap = nullptr;
    m_bits = nullptr;
    m_header = {};
}
