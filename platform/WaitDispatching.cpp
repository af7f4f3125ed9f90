#include "platform/WaitDispatching.h"

void WaitDispatchingSentMessages(HANDLE event) {
    for (;;) {
        const DWORD result = MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + 1) {
            return;
        }
        MSG message;
        // Peeking with this filter only delivers the pending sent messages; nothing is removed.
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
