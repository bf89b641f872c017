#include "colorbarmath.h"

#include <gtest/gtest.h>

namespace corvanta::colorbar {
namespace {

TEST(ColorBarMath, ExtentRoundsHalvesToTheEvenNeighbour)
{
    EXPECT_EQ(barExtent(50, 101), 50); // 50.5
    EXPECT_EQ(barExtent(50, 103), 52); // 51.5
    EXPECT_EQ(barExtent(5, 10), 0);    // 0.5
    EXPECT_EQ(barExtent(100, 193), 193);
}

TEST(ColorBarMath, GradientSegmentsEndExactlyOnTheirStops)
{
    // 100 pixels: 50 + 50. g(1) is one step past green, g(50) exactly yellow (the
    // float step 5.0999999 x 50 still rounds to 255), g(100) exactly red.
    const auto g = gradientTable(100, 0x00FF00, 0x00FFFF, 0x0000FF);
    ASSERT_EQ(g.size(), 100u);
    EXPECT_EQ(g[0], 0x00FF05u);
    EXPECT_EQ(g[49], 0x00FFFFu);
    EXPECT_EQ(g[50], 0x00FAFFu);
    EXPECT_EQ(g[99], 0x0000FFu);

    // 101 pixels: the first segment takes the odd one, 51 + 50.
    EXPECT_EQ(gradientSegments(101).first, 51);
    EXPECT_EQ(gradientSegments(101).second, 50);
    const auto odd = gradientTable(101, 0x00FF00, 0x00FFFF, 0x0000FF);
    EXPECT_EQ(odd[49], 0x00FFFAu); // 255 / 51 = 5: 50 steps give 250
    EXPECT_EQ(odd[50], 0x00FFFFu);
    EXPECT_EQ(odd[100], 0x0000FFu);
}

TEST(ColorBarMath, StepsAreKeptInSinglePrecision)
{
    // 20 pixels, segments of 10. Red 0 -> 1 steps by 0.1, a hair above in float:
    // pixel 5 reads 0.50000001 and rounds up, where a double step would land on 0.5
    // and round to the even 0. Blue 0 -> 7 steps by 0.7, a hair below in float:
    // pixel 5 reads 3.4999999 and rounds down. An empty change keeps its colour.
    const auto g = gradientTable(20, 0x000000, 0x070001, 0x070001);
    EXPECT_EQ(g[4], 0x030001u);
    EXPECT_EQ(g[9], 0x070001u);
    EXPECT_EQ(g[19], 0x070001u);
}

} // namespace
} // namespace corvanta::colorbar
