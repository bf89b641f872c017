#include "harness.h"
#include "statistics.h"

#include <gtest/gtest.h>

using namespace corvanta;
using namespace corvanta::test;

TEST(Statistics, PercentRoundsHalfToEvenAndStaysWithinRange)
{
    EXPECT_EQ(WholePercent(1, 3), 33);
    EXPECT_EQ(WholePercent(2, 3), 67);
    EXPECT_EQ(WholePercent(1, 8), 12);  // 12.5
    EXPECT_EQ(WholePercent(3, 8), 38);  // 37.5
    EXPECT_EQ(WholePercent(5, 8), 62);  // 62.5
    EXPECT_EQ(WholePercent(1, 200), 0); // 0.5
    EXPECT_EQ(WholePercent(3, 200), 2); // 1.5
    EXPECT_EQ(WholePercent(8, 8), 100);
    EXPECT_EQ(WholePercent(9, 8), 100);
    EXPECT_EQ(WholePercent(1, 0), 0);
    EXPECT_EQ(WholePercent(-1, 8), 0);
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
        h.report.addRecord("a@x");
        h.state.LoadedCount = 1;
        FakeFactory f;
        f.script = [&](const QString&) {
            return c.code;
        };
        auto v = f.create();
        v->setAddress("a@x");
        v->setID(0);
        v->Verify();
        static_cast<FakeVerifier&>(*v).finish();
        ASSERT_TRUE(CollectOutcome(h.ctx, *v, 0));
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
