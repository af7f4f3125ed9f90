#include "CWndCommentList/CWndCommentList.h"

void CWndCommentList::ApplyTimeShift(int) {}

CWndCommentList& GetCommentListWindow() {
    static CWndCommentList window;
    return window;
}
