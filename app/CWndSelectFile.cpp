#include "app/CWndSelectFile.h"

#include "foundation/AppSettings.h"
#include "foundation/Handles.h"
#include "foundation/PathUtil.h"
#include "foundation/StringUtil.h"
#include "foundation/VideoId.h"
#include "foundation/WindowUtil.h"

#include <algorithm>
#include <cstring>

const wchar_t CWndSelectFile::kCancel[] = L"CANCEL";

namespace {

constexpr WORD kListId = 1001;

struct Candidate {
    std::wstring path;
    FILETIME written;
};

// An in-memory dialog: a list box and the OK and cancel buttons.
std::vector<WORD> BuildTemplate() {
    std::vector<WORD> t;
    auto align = [&] {
        if (t.size() % 2 != 0) {
            t.push_back(0);
        }
    };
    auto text = [&](const wchar_t* s) {
        for (; *s != 0; ++s) {
            t.push_back(static_cast<WORD>(*s));
        }
        t.push_back(0);
    };
    auto item = [&](DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom,
                    const wchar_t* caption) {
        align();
        DLGITEMTEMPLATE header = {style | WS_CHILD | WS_VISIBLE, 0, x, y, cx, cy, id};
        const WORD* raw = reinterpret_cast<const WORD*>(&header);
        t.insert(t.end(), raw, raw + sizeof(header) / sizeof(WORD));
        t.push_back(0xFFFF);
        t.push_back(classAtom);
        text(caption);
        t.push_back(0);
    };
    DLGTEMPLATE dialog = {
        DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 3, 0, 0, 300, 130};
    const WORD* raw = reinterpret_cast<const WORD*>(&dialog);
    t.insert(t.end(), raw, raw + sizeof(dialog) / sizeof(WORD));
    t.push_back(0); // menu
    t.push_back(0); // class
    text(L"コメントファイルの選択");
    t.push_back(9);
    text(L"MS Shell Dlg");
    item(WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY, 7, 7, 286, 96, kListId, 0x0083, L"");
    item(WS_TABSTOP | BS_DEFPUSHBUTTON, 186, 109, 50, 14, IDOK, 0x0080, L"OK");
    item(WS_TABSTOP, 243, 109, 50, 14, IDCANCEL, 0x0080, L"キャンセル");
    return t;
}

} // namespace

std::vector<std::wstring> CWndSelectFile::FindCommentFiles(const std::wstring& videoPath) {
    const std::wstring folder = RemoveTrailingSlash(GetDirectoryPath(videoPath));
    const std::wstring id = ToLower(GetVideoIdFromFilePath(videoPath));
    const std::wstring baseName = ToLower(RemoveExtension(GetFileName(videoPath)));
    const std::wstring owner = ToLower(GetAppSettings().OwnerCommentFilename);
    std::vector<Candidate> candidates;
    WIN32_FIND_DATAW data;
    CFindHandle find(FindFirstFileW((GetDirectoryPath(videoPath) + L"*.xml").c_str(), &data));
    if (!find) {
        return {};
    }
    do {
        const std::wstring name = data.cFileName;
        const std::wstring lower = ToLower(name);
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
            (!owner.empty() && lower.find(owner) != std::wstring::npos)) {
            continue;
        }
        const bool related = !id.empty() ? GetVideoIdFromFileName(name).size() == id.size() &&
                                               ToLower(GetVideoIdFromFileName(name)) == id
                                         : lower.find(baseName) != std::wstring::npos;
        if (related) {
            candidates.push_back({folder + L"\\" + name, data.ftLastWriteTime});
        }
    } while (FindNextFileW(find.Get(), &data));
    std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return CompareFileTime(&a.written, &b.written) > 0;
    });
    std::vector<std::wstring> paths;
    for (const Candidate& candidate : candidates) {
        paths.push_back(candidate.path);
    }
    return paths;
}

std::wstring CWndSelectFile::Choose(HWND owner, const std::wstring& videoPath) {
    m_files = FindCommentFiles(videoPath);
    if (m_files.empty()) {
        return std::wstring();
    }
    if (m_files.size() == 1 || GetAppSettings().SelectLatestComment) {
        return m_files.front();
    }
    m_answer = kCancel;
    const std::vector<WORD> dialog = BuildTemplate();
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(dialog.data()), owner,
                            StaticDlgProc, reinterpret_cast<LPARAM>(this));
    return m_answer;
}

LRESULT CWndSelectFile::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        HWND list = GetDlgItem(window, kListId);
        for (const std::wstring& path : m_files) {
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(GetFileName(path).c_str()));
        }
        SendMessageW(list, LB_SETCURSEL, 0, 0);
        return TRUE;
    }
    case WM_COMMAND: {
        const WORD id = LOWORD(wParam);
        const bool chosen = id == IDOK || (id == kListId && HIWORD(wParam) == LBN_DBLCLK);
        if (chosen) {
            const LRESULT index = SendMessageW(GetDlgItem(window, kListId), LB_GETCURSEL, 0, 0);
            if (index >= 0 && static_cast<size_t>(index) < m_files.size()) {
                m_answer = m_files[static_cast<size_t>(index)];
            }
            EndDialog(window, IDOK);
            return TRUE;
        }
        if (id == IDCANCEL) {
            m_answer = kCancel;
            EndDialog(window, IDCANCEL);
            return TRUE;
        }
        break;
    }
    default:
        break;
    }
    return FALSE;
}
