#include "foundation/Clipboard.h"

#include "foundation/Handles.h"

#include <windows.h>

#include <cstring>

bool SetClipboardText(const std::wstring& text) {
    EmptyClipboard();
    bool placed = false;
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    CGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (memory) {
        if (void* target = GlobalLock(memory.Get())) {
            std::memcpy(target, text.c_str(), bytes);
            GlobalUnlock(memory.Get());
            placed = SetClipboardData(CF_UNICODETEXT, memory.Get()) != nullptr;
        }
        if (placed) {
            // The clipboard owns it now.
            memory.Release();
        }
    }
    CloseClipboard();
    return placed;
}
