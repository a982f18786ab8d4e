#include <gtest/gtest.h>

#include "input.h"

TEST(Placeholder, Builds) { EXPECT_TRUE(is_digit('5')); }
