#include "harness.h"
#include "statistics.h"

#include <gtest/gtest.h>

using namespace corvanta;
using namespace corvanta::test;

TEST(Statistics, PercentRoundsHalfToEvenAndStaysWithinRange)
{
    // part, whole, percent; x/8 and x/200 land on halves
    const int cases[][3] = {{1, 3, 33},  {2, 3, 67},  {1, 8, 12},  {3, 8, 38},
                            {5, 8, 62},  {1, 200, 0}, {3, 200, 2}, {8, 8, 100},
                            {9, 8, 100}, {1, 0, 0},   {-1, 8, 0}};
    for (const auto& [part, whole, percent] : cases)
        EXPECT_EQ(WholePercent(part, whole), percent) << part << "/" << whole;
}

TEST(Statistics, EachOutcomeHasItsWordMessageColourAndIcon)
{
    struct Case
    {
        qint32 code;
        const char* word;
        const char* message;
    };
    const Case cases[] = {
        {verifyValid, "Valid", "rcpt:a@x"},
        {verifyFormat, "Bad format", "msg:a@x"},
        {verifyDomain, "MX failed", "rcpt:a@x msg:a@x"},
        {verifyConnectMailServer, "Connection failed", "smtp:a@x"},
        {verifyBadUser, "Bad User", "rcpt:a@x"},
        {verifyBadFrom, "Bad Sender", "from:a@x"},
    };
    for (const Case& c : cases) {
        Harness h;
        h.factory.script = [&](const QString&) {
            return c.code;
        };
        h.openList({"a@x"});
        runToEnd(h);
        const auto& row = h.report.rows[0];
        EXPECT_EQ(row.word, c.word);
        EXPECT_EQ(row.message, c.message);
        EXPECT_EQ(row.code, c.code);
        const bool good = c.code == verifyValid;
        EXPECT_EQ(row.colour, good ? 26112u : 255u);
        EXPECT_EQ(row.icon, good ? 2 : 3);
        EXPECT_EQ(counts(h), std::tuple(1, good ? 1 : 0, good ? 0 : 1));
        EXPECT_EQ(h.status.label(StatusLabel::Percent), "100%");
    }

    // The mark of a row handed to a verifier.
    Harness h;
    h.report.addRecord("a@x");
    MarkRowValidating(h.ctx, 0);
    EXPECT_EQ(h.report.rows[0].word, "Validating...");
    EXPECT_EQ(h.report.rows[0].colour, 16711680u);
    EXPECT_EQ(h.report.rows[0].icon, 1);
    EXPECT_EQ(h.report.shownRows, std::vector<qsizetype>{0});
    EXPECT_FALSE(h.report.rows[0].code.has_value());
}

TEST(Statistics, StartPositionIsNeverBelowOne)
{
    Harness h;
    for (double bad : {0.0, -5.0, 0.5, std::nan("")}) {
        double p = bad;
        SetStartPosition(h.ctx, p);
        EXPECT_EQ(p, 1);
        EXPECT_EQ(h.state.StartPosition, 1);
        EXPECT_EQ(h.shell.positionText, "1");
    }
    double p = 12.5;
    SetStartPosition(h.ctx, p);
    EXPECT_EQ(h.shell.positionText, "12.5");
}
