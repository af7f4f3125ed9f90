#include "client/DownloadFileNameFormats.h"

#include "foundation/CCritSec.h"

namespace {

struct LockedFormats {
    CCritSec lock;
    DownloadFileNameFormats formats;
};

// Never destroyed: a download thread may still read it while the process ends.
LockedFormats& GetLockedFormats() {
    static LockedFormats* locked = new LockedFormats;
    return *locked;
}

} // namespace

DownloadFileNameFormats GetDownloadFileNameFormats() {
    LockedFormats& locked = GetLockedFormats();
    CAutoLock guard(locked.lock);
    return locked.formats;
}

void SetDownloadFileNameFormats(const DownloadFileNameFormats& formats) {
    LockedFormats& locked = GetLockedFormats();
    CAutoLock guard(locked.lock);
    locked.formats = formats;
}
