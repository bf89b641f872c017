#include "duplicates.h"
#include "harness.h"
#include "resultfiles.h"

#include <QTimer>
#include <gtest/gtest.h>

using namespace corvanta;
using namespace corvanta::test;

TEST(Duplicates, KeyFoldsTheDomainOnly)
{
    const struct
    {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"ann@Example.ORG", "ann@example.org", true},
        {"Ann@example.org", "ann@example.org", false}, // local parts keep their case
        {"\"a@b\"@X.org", "\"a@b\"@x.org", true},      // the domain follows the last @
        {"\"a@B\"@x.org", "\"a@b\"@x.org", false},
        {" ann@x.org", "ann@x.org", false}, // a line is taken as it is
        {"no-at-sign", "NO-AT-SIGN", false},
        {"ann@x\xC9.org", "ann@x\xE9.org", false}, // only ASCII letters fold
    };
    for (const auto& c : cases)
        EXPECT_EQ(duplicateKey(c.a) == duplicateKey(c.b), c.same) << c.a << " / " << c.b;
}

// A copy whose first occurrence is still being checked waits for it; no two
// verifiers ever hold the same address, and every row is counted and saved.
TEST(Duplicates, CopiesFollowTheCheckedRowAlsoWhenItIsStillInFlight)
{
    Harness h;
    h.settings.FollowDuplicates = true;
    h.openList({"dup@x.org", "bad@x.org", "dup@X.ORG", "one@x.org", "bad@x.org", "Dup@x.org"});
    h.state.ThreadCount = 3;
    h.factory.delayMs = -1;
    bool sameAddressTwice = false;
    int waitingSeen = 0;
    h.factory.onVerify = [&](FakeVerifier& v) {
        for (FakeVerifier* other : h.factory.live)
            if (other != &v && other->working() &&
                duplicateKey(other->address().toLatin1()) == duplicateKey(v.address().toLatin1()))
                sameAddressTwice = true;
        if (h.factory.dispatched.size() == 3) {
            // Row 3 (dup@X.ORG) is taken while row 1 is still being checked.
            QTimer::singleShot(20, [&] {
                waitingSeen = h.report.countWord("Validating...");
                h.factory.delayMs = 1;
                h.factory.finishAll();
            });
        }
    };
    runToEnd(h);

    EXPECT_FALSE(sameAddressTwice);
    EXPECT_EQ(waitingSeen, 4) << "three checks and the waiting copy";
    EXPECT_EQ(h.factory.dispatched,
              (QStringList{"dup@x.org", "bad@x.org", "one@x.org", "Dup@x.org"}));
    // Copies show their first row's outcome in word, message and colour;
    // Dup@x.org, whose local part differs, its own.
    const std::tuple<size_t, QString, QString> copies[] = {{2, "Valid", "Same as row 1"},
                                                           {4, "Bad User", "Same as row 2"},
                                                           {5, "Valid", "rcpt:Dup@x.org"}};
    for (const auto& [row, word, message] : copies) {
        const FakeReport::Row& r = h.report.rows[row];
        EXPECT_EQ(std::tuple(r.word, r.message), std::tuple(word, message)) << row;
        EXPECT_EQ(r.colour, *r.code == 0 ? kColourGood : kColourBad) << row;
    }
    EXPECT_EQ(counts(h), std::tuple(6, 4, 2));
    EXPECT_EQ(h.status.label(StatusLabel::Percent), "100%");

    SaveResults(h.ctx);
    const ResultFileNames names = resultFileNames(h.state.ListFile);
    EXPECT_EQ(readAll(names.valid), "dup@x.org\r\ndup@X.ORG\r\none@x.org\r\nDup@x.org\r\n");
    EXPECT_EQ(readAll(names.errors), "bad@x.org\r\nbad@x.org\r\n");
}

// A stopped run continues with copies whose first row was checked before the
// stop, and a retry checks a failed address once for all of its rows.
TEST(Duplicates, ContinuedAndRetriedRunsFollowEarlierAndNewOutcomes)
{
    Harness h;
    h.settings.FollowDuplicates = true;
    h.openList({"bad@x.org", "a@x.org", "bad2@x.org", "bad@X.org"});
    h.state.ThreadCount = 1;
    h.factory.onVerify = [&](FakeVerifier&) {
        if (h.factory.dispatched.size() == 1)
            h.run.RequestStop();
    };
    runToEnd(h);
    ASSERT_EQ(h.state.ValidatedCount, 1);
    h.factory.onVerify = {};

    runToEnd(h);
    EXPECT_EQ(h.factory.dispatched, (QStringList{"bad@x.org", "a@x.org", "bad2@x.org"}));
    EXPECT_EQ(h.report.rows[3].message, "Same as row 1");
    EXPECT_EQ(counts(h), std::tuple(4, 1, 3));

    h.factory.script = [](const QString&) {
        return verifyValid;
    };
    h.factory.dispatched.clear();
    runGuarded(h, [&] { h.run.Retry(); });
    EXPECT_EQ(h.factory.dispatched, (QStringList{"bad@x.org", "bad2@x.org"}));
    EXPECT_EQ(h.report.rows[3].word, "Valid");
    EXPECT_EQ(h.report.rows[3].message, "Same as row 1");
    EXPECT_EQ(h.state.RetryedCount, 3);
    EXPECT_EQ(counts(h), std::tuple(4, 4, 0));
}
