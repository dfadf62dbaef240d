#include <gtest/gtest.h>

#include "app/command_line.h"

TEST(Smoke, Builds)
{
    EXPECT_TRUE(IsUsageRequest("?"));
}
