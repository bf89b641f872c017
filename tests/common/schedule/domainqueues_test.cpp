#include "domainqueues.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <random>
#include <set>

namespace corvanta {
namespace {

// Takes every row it can, then ends the check of the earliest taken one, and
// so on: the order in which the rows of `domains` go out.
QString order(const QStringList& domains, int limit, int parallel)
{
    DomainQueues queues(0, domains.size(), limit, [&](qsizetype row) { return domains.at(row); });
    QString out;
    std::vector<qsizetype> active;
    for (;;) {
        while (int(active.size()) < parallel) {
            const std::optional<qsizetype> row = queues.takeNext();
            if (!row)
                break;
            out += QString::number(*row);
            active.push_back(*row);
        }
        if (active.empty())
            return out;
        queues.finished(active.front());
        active.erase(active.begin());
    }
}

TEST(DomainQueues, WaitingRowsGoOutAheadOfLaterRowsOnceTheirDomainHasRoom)
{
    const QStringList list{"a", "a", "a", "b", "c", "a", "b"};
    const struct
    {
        int limit;
        int parallel;
        const char* expected;
    } cases[] = {
        {0, 3, "0123456"}, // no limit: list order
        {1, 3, "0341625"}, // 1 and 2 wait for a, 6 (b) passes 5 (a)
        {2, 3, "0132456"},
        {1, 1, "0123456"}, // one at a time: never at a limit
    };
    for (const auto& c : cases)
        EXPECT_EQ(order(list, c.limit, c.parallel), QLatin1String(c.expected))
            << "limit " << c.limit << ", " << c.parallel << " at once";
}

TEST(DomainQueues, PutBackRowsComeFirstAndFirstLeftIsTheResumePoint)
{
    for (const int limit : {0, 1}) {
        const QStringList list{"a", "b", "a", "c"};
        DomainQueues queues(0, list.size(), limit, [&](qsizetype row) { return list.at(row); });
        EXPECT_EQ(queues.takeNext(), 0);
        EXPECT_EQ(queues.takeNext(), 1);
        // With a limit of 1, row 2 waits for row 0.
        EXPECT_EQ(queues.takeNext(), limit ? 3 : 2);
        EXPECT_EQ(queues.firstLeft(), limit ? 2 : 3) << limit;
        queues.putBack(0); // row 0 is due for another check
        EXPECT_EQ(queues.takeNext(), 0) << limit;
        EXPECT_TRUE(queues.hasRowsLeft());
    }
    // Rows this run does not take are passed over.
    const QStringList list{"a", "a", "b"};
    DomainQueues skipping(
        0, 3, 1, [&](qsizetype row) { return list.at(row); },
        [](qsizetype row) { return row != 0; });
    EXPECT_EQ(skipping.takeNext(), 1);
    EXPECT_EQ(skipping.takeNext(), 2);
    EXPECT_EQ(skipping.takeNext(), std::nullopt);
    EXPECT_EQ(skipping.firstLeft(), 3);
}

TEST(DomainQueues, AHundredThousandRowsOfOneDominantDomain)
{
    constexpr qsizetype Rows = 100000;
    constexpr int Limit = 20;
    constexpr int Parallel = 200;
    std::mt19937 random(7);
    QStringList domains;
    domains.reserve(Rows);
    for (qsizetype i = 0; i < Rows; ++i)
        domains.append(random() % 10 < 9 ? QStringLiteral("big.test")
                                         : QStringLiteral("d%1.test").arg(random() % 500));
    DomainQueues queues(0, Rows, Limit, [&](qsizetype row) { return domains.at(row); });

    std::vector<bool> taken(Rows, false);
    std::vector<qsizetype> active;
    QHash<QString, int> perDomain;
    qsizetype done = 0;
    while (done < Rows) {
        while (int(active.size()) < Parallel) {
            const std::optional<qsizetype> row = queues.takeNext();
            if (!row)
                break;
            ASSERT_FALSE(taken[size_t(*row)]) << "row " << *row << " went out twice";
            taken[size_t(*row)] = true;
            ASSERT_LE(++perDomain[domains.at(*row)], Limit);
            active.push_back(*row);
        }
        ASSERT_FALSE(active.empty()) << "rows left but none goes out";
        // Checks end in any order.
        const size_t pick = random() % active.size();
        const qsizetype row = active[pick];
        active[pick] = active.back();
        active.pop_back();
        --perDomain[domains.at(row)];
        queues.finished(row);
        ++done;
    }
    EXPECT_FALSE(queues.hasRowsLeft());
    EXPECT_EQ(queues.takeNext(), std::nullopt);
    // Each row's domain is looked up once, whatever waits: no hand-out scans
    // the list.
    EXPECT_LE(queues.lookUps(), Rows);
}

} // namespace
} // namespace corvanta
