#include "platform/Random.h"

#include <gtest/gtest.h>

TEST(Random, FollowsTheSharedSequence)
{
    RandSeed = 230003;
    const int32_t expected[] = {48, 28, 36, 68, 9};
    for (int32_t e : expected)
        EXPECT_EQ(Random(100), e);
}

TEST(Random, StaysInRangeAndWrapsTheSeed)
{
    RandSeed = -1;
    for (int i = 0; i < 1000; ++i) {
        const int32_t r = Random(7);
        ASSERT_GE(r, 0);
        ASSERT_LT(r, 7);
    }
    RandSeed = 0;
    EXPECT_EQ(Random(1), 0);
    EXPECT_EQ(RandSeed, 1);
}
