#pragma once
// A memory device context with a DIB section selected into it. The draw callback builds each output
// frame in one: drawing happens there, in system memory, rather than in the output buffer, which may
// live in the renderer's own (slow to read) memory. The comment text renderer draws its texts in another.
//
// Thread use: one thread at a time (for the frame, whoever holds the filter's frame lock; it is freed
// on the UI thread once no frame is drawn any more).

#include "foundation/Handles.h"

#include <windows.h>

class CFrameCanvas {
public:
    CFrameCanvas() = default;
    ~CFrameCanvas() { Free(); }
    CFrameCanvas(const CFrameCanvas&) = delete;
    CFrameCanvas& operator=(const CFrameCanvas&) = delete;

    // Makes the section for this header, keeping the present one when the header is the same; false
    // when GDI refused.
    bool Prepare(const BITMAPINFOHEADER& header);
    void Free();

    HDC Dc() const { return m_dc.Get(); }
    BYTE* Bits() const { return m_bits; }
    const BITMAPINFOHEADER& Header() const { return m_header; }

private:
    CMemoryDc m_dc;
    CGdiObject<HBITMAP> m_section;
    HGDIOBJ m_oldBitmap = nullptr; // selected out of m_dc while the section is in
    BYTE* m_bits = nullptr;
    BITMAPINFOHEADER m_header = {};
};
