#include "colorbarmath.h"

#include <gtest/gtest.h>

namespace corvanta::colorbar {
namespace {

constexpr quint32 kGreen = 0x00FF00;
constexpr quint32 kYellow = 0x00FFFF;
constexpr quint32 kRed = 0x0000FF;

TEST(ColorBarMath, RoundsHalvesToTheEvenNeighbour)
{
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(1.5), 2);
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(2.5000001), 3);
    EXPECT_EQ(roundHalfEven(-0.5), 0);
    EXPECT_EQ(roundHalfEven(-1.5), -2);
    EXPECT_EQ(roundHalfEven(-2.4), -2);
}

TEST(ColorBarMath, ExtentRoundsValueTimesLengthHalfToEven)
{
    EXPECT_EQ(barExtent(50, 101), 50); // 50.5 goes down to the even 50
    EXPECT_EQ(barExtent(50, 103), 52); // 51.5 goes up to the even 52
    EXPECT_EQ(barExtent(5, 10), 0);    // 0.5 goes down to 0
    EXPECT_EQ(barExtent(100, 193), 193);
    EXPECT_EQ(barExtent(1, 193), 2);
    EXPECT_EQ(barExtent(0, 193), 0);
}

TEST(ColorBarMath, DivideOrZeroGuardsAnEmptySegment)
{
    EXPECT_DOUBLE_EQ(DivideOrZero(255, 50), 5.1);
    EXPECT_DOUBLE_EQ(DivideOrZero(255, 0), 0.0);
}

TEST(ColorBarMath, FirstSegmentTakesTheOddPixel)
{
    const auto check = [](int length, int first, int second) {
        const GradientSegments s = gradientSegments(length);
        EXPECT_EQ(s.first, first) << "length " << length;
        EXPECT_EQ(s.second, second) << "length " << length;
        EXPECT_EQ(s.first + s.second, length) << "length " << length;
    };
    check(100, 50, 50);
    check(101, 51, 50);
    check(6, 3, 3);
    check(7, 4, 3);
    check(193, 97, 96);
}

TEST(ColorBarMath, DefaultGradientOnAHundredPixelsHitsItsStopsExactly)
{
    const std::vector<quint32> g = gradientTable(100, kGreen, kYellow, kRed);
    ASSERT_EQ(g.size(), 100u);
    EXPECT_EQ(g[0], 0x00FF05u);  // one step past green: red channel 5.1 rounds to 5
    EXPECT_EQ(g[49], kYellow);   // g(50): the float step 5.0999999 x 50 still rounds to 255
    EXPECT_EQ(g[50], 0x00FAFFu); // g(51): one step from yellow towards red
    EXPECT_EQ(g[99], kRed);      // g(100)
}

TEST(ColorBarMath, OddLengthGradientEndsEachSegmentOnItsStop)
{
    const std::vector<quint32> g = gradientTable(101, kGreen, kYellow, kRed);
    ASSERT_EQ(g.size(), 101u);
    EXPECT_EQ(g[50], kYellow); // the 51st pixel closes the longer first segment
    EXPECT_EQ(g[100], kRed);
    EXPECT_EQ(g[49], 0x00FFFAu); // 255 / 51 = 5 exactly: 50 steps give 250
}

TEST(ColorBarMath, StepsAreKeptInSinglePrecision)
{
    // On 20 pixels each segment is 10 long. Red 0 -> 1 steps by 0.1, which in float
    // is a hair above 0.1: pixel 5 reads 0.50000001 and rounds up, where a double
    // step would land on 0.5 exactly and round to the even 0. Blue 0 -> 7 steps by
    // 0.7, a hair below in float: pixel 5 reads 3.4999999 and rounds down to 3.
    const std::vector<quint32> g = gradientTable(20, 0x000000, 0x070001, 0x070001);
    ASSERT_EQ(g.size(), 20u);
    EXPECT_EQ(g[4], 0x030001u);
    EXPECT_EQ(g[9], 0x070001u);
    EXPECT_EQ(g[19], 0x070001u); // an empty change keeps the mid colour
}

TEST(ColorBarMath, PeakHoldsOnceThenFallsAndJumpsBack)
{
    const int extent = 40;
    PeakState peak;
    std::vector<int> positions;
    for (int i = 0; i < 5; ++i) {
        peak = advancePeak(peak, extent);
        positions.push_back(peak.position);
    }
    EXPECT_EQ(positions, (std::vector<int>{41, 41, 40, 39, 41}));
}

TEST(ColorBarMath, PeakFallsOnePixelPerDrawingBehindAShrinkingBar)
{
    PeakState peak = advancePeak({}, 80);
    EXPECT_EQ(peak.position, 81);
    std::vector<int> positions;
    for (int i = 0; i < 4; ++i) {
        peak = advancePeak(peak, 10);
        positions.push_back(peak.position);
    }
    EXPECT_EQ(positions, (std::vector<int>{81, 80, 79, 78}));
}

} // namespace
} // namespace corvanta::colorbar
