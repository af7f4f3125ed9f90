#include "CWndCommentList/CommentListRows.h"

#include <gtest/gtest.h>

TEST(CommentListRows, Placeholder) {
    EXPECT_EQ(FormatVposTime(12345), L"2:03");
}
