#include "ui/numbertext.h"

#include <gtest/gtest.h>

using corvanta::LeadingNumber;

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
    EXPECT_EQ(LeadingNumber(QStringLiteral("5d2")), 500); // "d" marks an exponent too
    EXPECT_EQ(LeadingNumber(QStringLiteral("5D")), 5);
    EXPECT_EQ(LeadingNumber(QStringLiteral("\t1\n0 0x")), 100);
}

TEST(LeadingNumber, TextWithoutALeadingNumberReadsZero)
{
    for (const char* text : {"", "abc", "-", ".", "+.", "x12", "e5"})
        EXPECT_EQ(LeadingNumber(QString::fromLatin1(text)), 0) << text;
    // Overflow must not turn into infinity that later casts to garbage.
    EXPECT_EQ(LeadingNumber(QStringLiteral("1e999")), 0);
}
