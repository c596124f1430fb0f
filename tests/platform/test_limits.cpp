#include "platform/limits.h"
#include <gtest/gtest.h>

TEST(PictureLimits, SidesAndPixelCount)
{
    EXPECT_TRUE(qv::pictureSizeAllowed(1, 1));
    EXPECT_TRUE(qv::pictureSizeAllowed(65535, 4096));
    EXPECT_FALSE(qv::pictureSizeAllowed(0, 10));
    EXPECT_FALSE(qv::pictureSizeAllowed(65536, 1));
    EXPECT_FALSE(qv::pictureSizeAllowed(65535, 65535)); // over 2^28 pixels
    EXPECT_FALSE(qv::pictureSizeAllowed(-1, -1));
}

TEST(PictureLimits, CheckedArithmetic)
{
    EXPECT_EQ(qv::mulSize(3, 4), 12u);
    EXPECT_FALSE(qv::mulSize(SIZE_MAX / 2, 3).has_value());
    EXPECT_FALSE(qv::addSize(SIZE_MAX, 1).has_value());
}
