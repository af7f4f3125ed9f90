#include "engine/FrameCanvas.h"

#include <cstring>

bool CFrameCanvas::Prepare(const BITMAPINFOHEADER& header) {
    if (m_section && std::memcmp(&header, &m_header, sizeof(header)) == 0) {
        return true;
    }
    Free();
    m_dc.Reset(CreateCompatibleDC(nullptr));
    if (!m_dc) {
        return false;
    }
    BITMAPINFO info = {};
    info.bmiHeader = header;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_section.Reset(CreateDIBSection(m_dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!m_section || bits == nullptr) {
        Free();
        return false;
    }
    m_oldBitmap = SelectObject(m_dc.Get(), m_section.Get());
    m_bits = static_cast<BYTE*>(bits);
    m_header = header;
    return true;
}

void CFrameCanvas::Free() {
    // A bitmap still selected into a DC cannot be deleted.
    if (m_dc && m_oldBitmap != nullptr) {
        SelectObject(m_dc.Get(), m_oldBitmap);
    }
    m_section.Reset();
    m_dc.Reset();
    m_oldBitmap = nullptr;
    m_bits = nullptr;
    m_header = {};
}
