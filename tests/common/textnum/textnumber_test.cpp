#include "textnumber.h"

#include <gtest/gtest.h>
#include <limits>

using corvanta::fitsInt32;
using corvanta::leadingNumber;
using corvanta::roundHalfEvenToInt32;

TEST(LeadingNumber, TakesTheLeadingNumericPartOnly)
{
    EXPECT_EQ(leadingNumber("12abc"), 12);
    EXPECT_EQ(leadingNumber("  2.5 seconds"), 2.5);
    EXPECT_EQ(leadingNumber("-3"), -3);
    EXPECT_EQ(leadingNumber("+7x"), 7);
    EXPECT_EQ(leadingNumber(".5"), 0.5);
    EXPECT_EQ(leadingNumber("1e3"), 1000);
    EXPECT_EQ(leadingNumber("3e"), 3); // an exponent without digits is not one
    EXPECT_EQ(leadingNumber("3e+x"), 3);
}

TEST(LeadingNumber, TextWithoutANumberReadsAsZero)
{
    EXPECT_EQ(leadingNumber(""), 0);
    EXPECT_EQ(leadingNumber("abc"), 0);
    EXPECT_EQ(leadingNumber("-"), 0);
    EXPECT_EQ(leadingNumber("."), 0);
    EXPECT_EQ(leadingNumber("0x10"), 0); // no hexadecimal: "0" then letters
}

TEST(LeadingNumber, HugeExponentsStayFinite)
{
    EXPECT_EQ(leadingNumber("1e999"), std::numeric_limits<double>::max());
    EXPECT_EQ(leadingNumber("-1e999"), std::numeric_limits<double>::lowest());
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(roundHalfEvenToInt32(2.5), 2);
    EXPECT_EQ(roundHalfEvenToInt32(3.5), 4);
    EXPECT_EQ(roundHalfEvenToInt32(-2.5), -2);
    EXPECT_EQ(roundHalfEvenToInt32(2.51), 3);
    EXPECT_EQ(roundHalfEvenToInt32(0.5), 0);
}

TEST(RoundHalfEven, ClampsInsteadOfOverflowing)
{
    EXPECT_EQ(roundHalfEvenToInt32(1e20), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(roundHalfEvenToInt32(-1e20), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(roundHalfEvenToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_TRUE(fitsInt32(2147483647.0));
    EXPECT_FALSE(fitsInt32(2147483648.0));
    EXPECT_FALSE(fitsInt32(2.5));
}
