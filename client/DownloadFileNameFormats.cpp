#include "client/DownloadFileNameFormats.h"

DownloadFileNameFormats& GetDownloadFileNameFormats() {
    static DownloadFileNameFormats formats;
    return formats;
}
