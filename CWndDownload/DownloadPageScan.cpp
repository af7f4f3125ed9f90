#include "CWndDownload/DownloadPageScan.h"

bool ScanPageForVideoUrls(HWND, size_t) {
    // Page scanning is not built yet.
    return false;
}
