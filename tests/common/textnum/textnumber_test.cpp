#include "textnumber.h"

#include <gtest/gtest.h>
#include <limits>

using corvanta::fitsInt32;
using corvanta::leadingNumber;
using corvanta::roundHalfEvenToInt32;

TEST(LeadingNumber, TakesTheLeadingNumericPartOnly)
{
    constexpr double max = std::numeric_limits<double>::max();
    const std::pair<const char*, double> cases[] = {
        {"12abc", 12},  {"  2.5 seconds", 2.5},
        {"-3", -3},     {"+7x", 7},
        {".5", 0.5},    {"1e3", 1000},
        {"3e", 3},      {"3e+x", 3}, // an exponent without digits is not one
        {"", 0},        {"abc", 0},
        {"-", 0},       {".", 0},
        {"0x10", 0},                      // no hexadecimal: "0" then letters
        {"1e999", max}, {"-1e999", -max}, // huge exponents stay finite
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(leadingNumber(text), expected) << text;
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbourAndNothingOverflows)
{
    constexpr std::int32_t max = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t min = std::numeric_limits<std::int32_t>::min();
    const std::pair<double, std::int32_t> cases[] = {
        {2.5, 2}, {3.5, 4},    {-2.5, -2},   {2.51, 3},
        {0.5, 0}, {1e20, max}, {-1e20, min}, {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(roundHalfEvenToInt32(value), expected) << value;
    EXPECT_TRUE(fitsInt32(2147483647.0));
    EXPECT_FALSE(fitsInt32(2147483648.0));
    EXPECT_FALSE(fitsInt32(2.5));
}
