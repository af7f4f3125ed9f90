#include "CWndDownload/DownloadItemSteps.h"

bool CheckLoginInfo(HWND, size_t, std::wstring&, bool) {
    // The login step is not built yet.
    return true;
}
