#include "foundation/Handles.h"

#include "foundation/Exception.h"

CEventHandle CreateEventOrThrow(bool manualReset, bool initiallySet) {
    CEventHandle event(CreateEventW(nullptr, manualReset ? TRUE : FALSE, initiallySet ? TRUE : FALSE, nullptr));
    if (!event) {
        VELA_THROW(L"CreateEventW", HRESULT_FROM_WIN32(GetLastError()));
    }
    return event;
}
