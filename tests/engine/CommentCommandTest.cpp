#include "engine/CommentCommand.h"

#include <gtest/gtest.h>

TEST(CommentCommandTest, Placeholder) {
    EXPECT_EQ(ParseCommandColor(L"red"), RGB(255, 0, 0));
}
