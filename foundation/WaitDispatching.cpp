#include "foundation/WaitDispatching.h"

bool WaitDispatchingSentMessages(HANDLE handle, DWORD timeoutMs) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        DWORD left = INFINITE;
        if (timeoutMs != INFINITE) {
            const ULONGLONG elapsed = GetTickCount64() - start;
            left = elapsed >= timeoutMs ? 0 : static_cast<DWORD>(timeoutMs - elapsed);
        }
        const DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + 1) {
            return result == WAIT_OBJECT_0;
        }
        MSG message;
        // Peeking with this filter only delivers the pending sent messages; nothing is removed.
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
