#include "dpi_scaling.h"

#include <gtest/gtest.h>

TEST(Dpi, LayoutLengthsGrowWithTheScreensResolution) {
    struct Case {
        int value, dpi, expected;
    } const cases[] = {
        {336, 96, 336},  {336, 192, 672}, {280, 192, 560}, {336, 144, 504}, {75, 144, 113},  // 112.5 rounds up
        {-11, 144, -17},                                                                     // halves away from zero
        {-11, 192, -22}, {-13, 120, -16}, {0, 192, 0},     {25, 120, 31},   {427, 0, 427},   // no resolution: 96
        {427, -5, 427},  {100, 72, 75},
    };
    for (const Case& c : cases) EXPECT_EQ(ScaleToDpi(c.value, c.dpi), c.expected) << c.value << " at " << c.dpi;
}

TEST(Dpi, CoveringLengthIsTheSmallestThatScalesToTheMeasure) {
    for (int dpi : {96, 120, 144, 168, 192, 240}) {
        for (int pixels = 1; pixels <= 2000; ++pixels) {
            const int length = LayoutLengthCovering(pixels, dpi);
            ASSERT_GE(ScaleToDpi(length, dpi), pixels) << pixels << " at " << dpi;
            ASSERT_LT(ScaleToDpi(length - 1, dpi), pixels) << pixels << " at " << dpi;
        }
    }
    EXPECT_EQ(LayoutLengthCovering(0, 192), 0);
    EXPECT_EQ(LayoutLengthCovering(-4, 192), 0);
}
