#include "CWndDownload/CWndDownload.h"

#include "foundation/PathUtil.h"

void CWndDownload::Init(const std::wstring& appTitle, const std::wstring& settingsPath, HWND mainWindow) {
    CToolWindow::Init(appTitle, settingsPath);
    m_listFilePath = GetDirectoryPath(settingsPath) + L"DownList.dat";
    NotifyTarget target = GetNotify();
    target.owner = mainWindow;
    SetNotify(target);
}

bool CWndDownload::AddListFromCommandLine(const std::wstring& path) {
    m_commandLineList = path;
    return FileExists(path);
}

CWndDownload& GetDownloadWindow() {
    static CWndDownload window;
    return window;
}
