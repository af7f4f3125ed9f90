#include "windows/CWndCommentPost.h"

void CWndCommentPost::PostFromCommandLine(const std::vector<std::wstring>&) {}

CWndCommentPost& GetCommentPostWindow() {
    static CWndCommentPost window;
    return window;
}
