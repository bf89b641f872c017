#include "ui/NumberText.h"

#include <gtest/gtest.h>

using corvanta::LeadingNumber;
using corvanta::RoundHalfEven;

TEST(LeadingNumber, TakesTheNumericStartAndDropsTheRest)
{
    EXPECT_EQ(LeadingNumber(QStringLiteral("12abc")), 12);
    EXPECT_EQ(LeadingNumber(QStringLiteral("  42")), 42);
    EXPECT_EQ(LeadingNumber(QStringLiteral("1 2 3")), 123); // blanks inside are ignored
    EXPECT_EQ(LeadingNumber(QStringLiteral("-7x")), -7);
    EXPECT_EQ(LeadingNumber(QStringLiteral("+3")), 3);
    EXPECT_DOUBLE_EQ(LeadingNumber(QStringLiteral("2.75kg")), 2.75);
    EXPECT_DOUBLE_EQ(LeadingNumber(QStringLiteral(".5")), 0.5);
    EXPECT_EQ(LeadingNumber(QStringLiteral("5e2")), 500);
    EXPECT_EQ(LeadingNumber(QStringLiteral("5e")), 5); // an exponent needs digits
    EXPECT_EQ(LeadingNumber(QStringLiteral("5e+")), 5);
}

TEST(LeadingNumber, TextWithoutALeadingNumberReadsZero)
{
    for (const char* text : {"", "abc", "-", ".", "+.", "x12", "e5"})
        EXPECT_EQ(LeadingNumber(QString::fromLatin1(text)), 0) << text;
    // Overflow must not turn into infinity that later casts to garbage.
    EXPECT_EQ(LeadingNumber(QStringLiteral("1e999")), 0);
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbourAndExtremesClamp)
{
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(2.6), 3);
    EXPECT_EQ(RoundHalfEven(1e12), 2147483647);
    EXPECT_EQ(RoundHalfEven(-1e12), -2147483647 - 1);
}
