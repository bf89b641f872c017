#include "recheckschedule.h"

#include <gtest/gtest.h>

namespace corvanta {
namespace {

TEST(RecheckSchedule, RowsComeDueAfterEachDelayInTurnUntilTheLast)
{
    qint64 now = 0;
    RecheckSchedule schedule({300, 900}, [&] { return now; });
    EXPECT_TRUE(schedule.schedule(7));
    now = 100;
    EXPECT_TRUE(schedule.schedule(3));
    EXPECT_EQ(schedule.waitingCount(), 2);
    EXPECT_EQ(schedule.nextDueInMs(), 200);
    now = 299;
    EXPECT_TRUE(schedule.takeDue().isEmpty());
    now = 400;
    EXPECT_EQ(schedule.takeDue(), (QList<qsizetype>{7, 3}));
    EXPECT_EQ(schedule.nextDueInMs(), -1);
    // The second refusal waits the second delay; a third has none left.
    EXPECT_TRUE(schedule.schedule(7));
    EXPECT_EQ(schedule.nextDueInMs(), 900);
    EXPECT_FALSE(schedule.schedule(7));
    EXPECT_EQ(schedule.refusals(7), 2);
    // A stop drops what waits.
    EXPECT_EQ(schedule.dropAll(), QList<qsizetype>{7});
    EXPECT_EQ(schedule.waitingCount(), 0);
    EXPECT_FALSE(RecheckSchedule().enabled());
}

TEST(RecheckSchedule, RepliesAndDelayLists)
{
    for (const char* reply : {"450 4.2.0 Greylisted", "451 Try later", "421 closing"})
        EXPECT_TRUE(RecheckSchedule::isTemporary(QString::fromLatin1(reply))) << reply;
    for (const char* reply : {"", "250 Ok", "550 5.1.1 No such user", "4", "4x0 odd"})
        EXPECT_FALSE(RecheckSchedule::isTemporary(QString::fromLatin1(reply))) << reply;

    EXPECT_EQ(parseRecheckDelays("300,900,2700"), (QList<qint64>{300000, 900000, 2700000}));
    EXPECT_EQ(parseRecheckDelays("0.25"), QList<qint64>{250});
    for (const char* bad : {"", "0", "-5", "1,,2", "soon", "1e9"})
        EXPECT_EQ(parseRecheckDelays(QString::fromLatin1(bad)), std::nullopt) << bad;
}

} // namespace
} // namespace corvanta
