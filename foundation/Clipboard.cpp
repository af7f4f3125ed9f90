#include "foundation/Clipboard.h"

#include <windows.h>

#include <cstring>

bool SetClipboardText(const std::wstring& text) {
    EmptyClipboard();
    bool placed = false;
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory != nullptr) {
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, text.c_str(), bytes);
            GlobalUnlock(memory);
            // On success the clipboard owns the memory.
            placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        if (!placed) {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
    return placed;
}
