#include "client/CommentDownload.h"

#include "client/MessageServer.h"
#include "client/SaveNames.h"
#include "client/WatchPage.h"
#include "foundation/CBaseDebug.h"
#include "foundation/TextFile.h"

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
    if (path.empty() || !WriteFileReplacing(path, xml.data(), xml.size())) {
        return Fail(callback, L"Error : SaveXML()");
    }
    Report(callback, CGetVelaProcessCB::kFileWritten, path);
    return true;
}
