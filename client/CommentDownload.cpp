#include "client/CommentDownload.h"

#include "client/MessageServer.h"
#include "client/SaveNames.h"
#include "client/WatchPage.h"
#include "foundation/CBaseDebug.h"

#include <windows.h>

namespace {

void Report(CGetVelaProcessCB& callback, int code, const std::wstring& text) {
    callback.OnEvent(code, text.c_str());
}

bool Fail(CGetVelaProcessCB& callback, const wchar_t* line) {
    DebugLog() << line << EndLine;
    Report(callback, CGetVelaProcessCB::kFailed, L"");
    return false;
}

// Written to a temporary file beside the target first, so that a failed write leaves an earlier file
// of the same name as it was.
bool WriteFileReplacing(const std::wstring& folder, const std::wstring& path, const std::string& bytes) {
    wchar_t temporary[MAX_PATH] = {};
    if (GetTempFileNameW(folder.c_str(), L"xml", 0, temporary) == 0) {
        return false;
    }
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool written = false;
    if (file != INVALID_HANDLE_VALUE) {
        DWORD count = 0;
        written =
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr) && count == bytes.size();
        written = CloseHandle(file) && written;
    }
    if (!written || !MoveFileExW(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temporary);
        return false;
    }
    return true;
}

} // namespace

bool DownloadPastLog(const std::wstring& videoId, CGetVelaProcessCB& callback, const std::wstring& page,
                     const std::wstring& flvData, const std::wstring& country, const std::wstring& folder,
                     const std::wstring& nameTemplate, const std::wstring& folderTemplate, long long pastLogTime,
                     const std::wstring& extraAttribute) {
    ThreadRequest request;
    if (!MakeThreadRequest(flvData, country, pastLogTime, extraAttribute, request)) {
        return Fail(callback, L"Error : GetXML()");
    }
    Report(callback, CGetVelaProcessCB::kLogLine, L"Post Data = " + request.postData);
    Report(callback, CGetVelaProcessCB::kLogLine, L"コメントサーバーにリクエストしています...");
    std::string xml;
    if (!SendThreadRequest(request, xml)) {
        return Fail(callback, L"XMLの取得に失敗しました");
    }
    Report(callback, CGetVelaProcessCB::kLogLine,
           L"コメントをダウンロードしました (" + std::to_wstring(xml.size()) + L" bytes)");

    SaveNameValues values;
    values.title = GetTitle(page);
    values.videoId = videoId;
    values.time = LocalTimeFromUnixTime(pastLogTime);
    const std::wstring saveFolder = BuildSaveFolder(folder, folderTemplate, values);
    const std::wstring path = BuildSaveFilePath(saveFolder, nameTemplate, values, L".xml");
    Report(callback, CGetVelaProcessCB::kLogLine, L"コメントを保存しています : " + path);
    if (!CreateFolderPath(saveFolder)) {
        return Fail(callback, L"Error : CreateFolderPath()");
    }
    if (path.empty() || !WriteFileReplacing(saveFolder, path, xml)) {
        return Fail(callback, L"Error : SaveXML()");
    }
    Report(callback, CGetVelaProcessCB::kFileWritten, path);
    return true;
}
