#pragma once
// The comment-file chooser: which comment file of a video to load. Candidates are the ".xml" files in
// the video's folder that hold its video ID (or, without an ID, its base name), other than owner-comment
// files, newest first. With none there is nothing to choose; with one, or with the setting that takes
// the latest, the newest is taken; otherwise a modal list asks.
//
// Thread use: UI thread.

#include "foundation/CWndBase.h"

#include <string>
#include <vector>

class CWndSelectFile : public CWndBase {
public:
    // The answer meaning the user cancelled.
    static const wchar_t kCancel[];

    // The comment files that belong to the video, newest first.
    static std::vector<std::wstring> FindCommentFiles(const std::wstring& videoPath);

    // The chosen path, "CANCEL", or empty when the video has no comment file.
    std::wstring Choose(HWND owner, const std::wstring& videoPath);

    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::vector<std::wstring> m_files;
    std::wstring m_answer;
};
