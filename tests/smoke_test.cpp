#include <gtest/gtest.h>

#include "mailbox/split_result.h"

TEST(Build, SplitResultNumbers) { EXPECT_EQ(-15, static_cast<int>(SplitResult::CANCELLED)); }
