#include "harness.h"

#include <QTimer>
#include <gtest/gtest.h>

using namespace corvanta;
using namespace corvanta::test;

namespace {

const QList<QByteArray> kEight{"a1@x.org", "bad2@x.org", "a3@x.org",   "bad4@x.org",
                               "a5@x.org", "a6@x.org",   "bad7@x.org", "a8@x.org"};

QStringList strings(const QList<QByteArray>& list)
{
    QStringList out;
    for (const auto& b : list)
        out << QString::fromLatin1(b);
    return out;
}

// Opens a list for a run of `threads` verifiers that each take `delayMs`
// (-1: until the test lets them go).
void prepare(Harness& h, const QList<QByteArray>& list, int threads, int delayMs = 1)
{
    h.openList(list);
    h.state.ThreadCount = threads;
    h.factory.delayMs = delayMs;
}

// Asks the run to stop once the nth address has been handed out.
void stopAt(Harness& h, qsizetype n)
{
    h.factory.onVerify = [&h, n](FakeVerifier&) {
        if (h.factory.dispatched.size() == n)
            h.run.RequestStop();
    };
}

} // namespace

TEST(Run, FullRunDispatchesInOrderCountsEveryOutcomeAndRetryTakesTheFailures)
{
    Harness h;
    prepare(h, kEight, 3);
    runToEnd(h);

    EXPECT_EQ(h.factory.dispatched, strings(kEight));
    EXPECT_EQ(h.factory.created, 3);
    EXPECT_EQ(h.factory.maxBusy, 3);
    EXPECT_TRUE(h.factory.live.empty()) << "the pool is unloaded at the end";
    EXPECT_EQ(counts(h), std::tuple(8, 5, 3));
    EXPECT_EQ(h.status.label(StatusLabel::Retrying), "-");
    EXPECT_EQ(h.status.label(StatusLabel::Retryed), "-");
    EXPECT_EQ(h.status.progress.back(), 100);
    EXPECT_FALSE(h.status.elapsedEnabled);
    EXPECT_EQ(h.report.rows[1].message, "rcpt:bad2@x.org");
    EXPECT_EQ(h.state.StartPosition, 1);
    EXPECT_TRUE(h.shell.messages.isEmpty());
    // Rows were brought into view as they were handed out.
    EXPECT_EQ(h.report.shownRows, (std::vector<qsizetype>{0, 1, 2, 3, 4, 5, 6, 7}));
    // Run commands were disabled for the run and enabled again after it
    // (after the load's own pair).
    EXPECT_EQ(h.shell.commandLog, (QStringList{"busy", "idle", "running", "idle"}));
    EXPECT_EQ(h.shell.checkLog, (QStringList{"mn201=0", "tb201=0"}));

    // Two of the three failures now succeed.
    h.factory.script = [](const QString& a) {
        return a == "bad7@x.org" ? verifyBadUser : verifyValid;
    };
    h.factory.dispatched.clear();
    QStringList order;
    h.factory.onVerify = [&](FakeVerifier& v) {
        order = v.callOrder.mid(v.callOrder.size() - 2);
    };
    runGuarded(h, [&] { h.run.Retry(); });
    EXPECT_EQ(h.factory.dispatched, (QStringList{"bad2@x.org", "bad4@x.org", "bad7@x.org"}));
    EXPECT_EQ(order, (QStringList{"ID", "Address"}));
    EXPECT_EQ(h.state.RetryedCount, 3);
    EXPECT_EQ(counts(h), std::tuple(8, 7, 1));
    EXPECT_EQ(h.status.label(StatusLabel::Retrying), "3");
    EXPECT_EQ(h.status.label(StatusLabel::Retryed), "3");
    EXPECT_EQ(h.status.label(StatusLabel::Validated), "8");
    EXPECT_EQ(h.status.label(StatusLabel::Percent), "100%");
    EXPECT_EQ(h.report.rows[1].word, "Valid");
    EXPECT_EQ(h.report.rows[6].word, "Bad User");

    // BadCount above the failed records (an address counted twice): the
    // retry takes the one failed record and ends instead of polling on.
    h.state.BadCount = 4;
    h.factory.dispatched.clear();
    runGuarded(h, [&] { h.run.Retry(); });
    EXPECT_EQ(h.factory.dispatched, QStringList{"bad7@x.org"});
    EXPECT_EQ(h.state.RetryedCount, 1);
}

TEST(Run, APerDomainLimitHoldsWhileOtherDomainsGoFirstAndEveryRowIsDoneOnce)
{
    Harness h;
    QList<QByteArray> list = numbered(8, "big.org");
    list << "a@one.org"
         << "bad@two.org"
         << "c@three.org"
         << "d@four.org";
    prepare(h, list, 4, 5);
    h.settings.PerDomainLimit = 2;
    int mostAtBig = 0;
    h.factory.onVerify = [&](FakeVerifier&) {
        const int atBig =
            int(std::count_if(h.factory.live.begin(), h.factory.live.end(), [](FakeVerifier* v) {
                return v->working() && v->address().endsWith("@big.org");
            }));
        mostAtBig = std::max(mostAtBig, atBig);
    };
    runToEnd(h);
    EXPECT_EQ(mostAtBig, 2);
    QStringList sorted = h.factory.dispatched;
    sorted.sort();
    QStringList expected = strings(list);
    expected.sort();
    EXPECT_EQ(sorted, expected) << "each row once";
    EXPECT_LT(h.factory.dispatched.indexOf("d@four.org"),
              h.factory.dispatched.indexOf("u8@big.org"));
    EXPECT_EQ(counts(h), std::tuple(12, 11, 1));
    EXPECT_EQ(h.status.label(StatusLabel::Percent), "100%");
    EXPECT_EQ(h.status.progress.back(), 100);
}

TEST(Run, APerDomainStopResumesAtTheFirstRowNotHandedOut)
{
    Harness h;
    prepare(h, {"a1@big.org", "a2@big.org", "b@small.org", "a3@big.org"}, 2, 20);
    h.settings.PerDomainLimit = 1;
    stopAt(h, 2);
    runToEnd(h);
    // a2 waited for a1's domain, so b went second.
    EXPECT_EQ(h.factory.dispatched, (QStringList{"a1@big.org", "b@small.org"}));
    EXPECT_EQ(h.state.ValidatedCount, 2);
    EXPECT_EQ(h.status.label(StatusLabel::Percent), "50%");
    EXPECT_EQ(h.state.StartPosition, 2);

    h.factory.onVerify = nullptr;
    h.factory.dispatched.clear();
    runToEnd(h);
    EXPECT_EQ(h.factory.dispatched, (QStringList{"a2@big.org", "a3@big.org"}));
    EXPECT_EQ(h.state.ValidatedCount, 4);
    EXPECT_EQ(h.status.label(StatusLabel::Percent), "100%");
}

// A greylisting server: the first two checks of g@grey.org get 450, the third
// 250; w@grey.org gets 450 every time. Other domains accept.
struct Greylisting
{
    QHash<QString, int> checks;
    QString reply(const QString& a)
    {
        return !a.endsWith("@grey.org") || (a.startsWith("g@") && checks.value(a) >= 3)
                   ? QStringLiteral("250 Ok")
                   : QStringLiteral("450 4.2.0 Greylisted");
    }

    // Puts the server behind h's verifiers, with copies followed and
    // greylisted addresses checked again after each of `delaysMs`.
    void serve(Harness& h, const QList<qint64>& delaysMs)
    {
        h.settings.FollowDuplicates = true;
        h.settings.RecheckGreylisted = true;
        h.settings.RecheckDelaysMs = delaysMs;
        h.factory.onVerify = [this](FakeVerifier& v) {
            ++checks[v.address()];
        };
        h.factory.script = [this](const QString& a) {
            return reply(a).startsWith('2') ? verifyValid : verifyBadUser;
        };
        h.factory.rcptReplyFor = [this](const QString& a) {
            return reply(a);
        };
    }
};

TEST(Run, GreylistedAddressesWaitForTheirRecheckAndTheLastCheckDecides)
{
    Harness h;
    // The last row is a copy: it follows the outcome of the first one's last
    // check, never one the re-check replaced.
    prepare(h, {"g@grey.org", "a@x.org", "w@grey.org", "g@GREY.org"}, 2);
    Greylisting grey;
    grey.serve(h, {30, 60});
    QStringList waitingSeen;
    h.report.onSetResult = [&](qsizetype row, const QString& word) {
        if (word == "Waiting to re-check")
            waitingSeen << QString::number(row);
    };
    runToEnd(h);
    EXPECT_EQ(grey.checks.value("g@grey.org"), 3);
    EXPECT_EQ(grey.checks.value("w@grey.org"), 3);
    EXPECT_EQ(grey.checks.value("a@x.org"), 1);
    EXPECT_EQ(h.report.rows[0].word, "Valid");
    EXPECT_EQ(h.report.rows[2].word, "Bad User");
    EXPECT_EQ(h.report.rows[3].word, "Valid");
    EXPECT_EQ(h.report.rows[3].message, "Same as row 1");
    EXPECT_EQ(waitingSeen.count("0"), 2);
    EXPECT_EQ(counts(h), std::tuple(4, 3, 1));
    EXPECT_EQ(h.status.label(StatusLabel::Percent), "100%");
    EXPECT_EQ(h.status.label(StatusLabel::Retrying), "0");

    // A stop drops the waiting re-checks: the row keeps its last outcome,
    // and so does the copy that waited for it.
    Harness s;
    prepare(s, {"w@grey.org", "w@grey.org", "b@x.org"}, 1);
    Greylisting wall;
    wall.serve(s, {60000});
    s.factory.onVerify = [&](FakeVerifier& v) {
        if (v.address().startsWith("b@"))
            QTimer::singleShot(50, [&] { s.run.RequestStop(); });
    };
    runToEnd(s);
    EXPECT_EQ(s.report.rows[0].word, "Bad User");
    EXPECT_EQ(s.report.rows[1].word, "Bad User");
    EXPECT_EQ(s.report.rows[1].message, "Same as row 1");
    EXPECT_EQ(s.state.ValidatedCount, 3);
    EXPECT_EQ(s.status.label(StatusLabel::Percent), "100%");
}

TEST(Run, VerifiersGetTheSettingsInMillisecondsAndAddressBeforeId)
{
    Harness h;
    // One verifier serves all three rows; the copy of the first is checked by
    // itself, as duplicates are followed only when the user asks.
    prepare(h, {"a@x.org", "b@x.org", "a@x.org"}, 1);
    h.settings.DnsTimeout = 7;
    h.settings.SmtpTimeout = 3000000; // beyond a 32-bit millisecond count
    int seen = 0;
    h.factory.onVerify = [&](FakeVerifier& v) {
        ++seen;
        EXPECT_EQ(v.dnsTimeout, 7000);
        EXPECT_EQ(v.smtpTimeout, std::numeric_limits<qint32>::max());
        EXPECT_EQ(v.helloName, "corvanta.test");
        EXPECT_EQ(v.fromAddress, "probe@corvanta.test");
        EXPECT_EQ(v.dnsServers, QStringList{"127.0.0.53"});
        EXPECT_FALSE(v.eventsEnabled);
        EXPECT_EQ(v.callOrder.mid(v.callOrder.size() - 2), (QStringList{"Address", "ID"}));
        EXPECT_EQ(v.ID(), seen - 1);
        EXPECT_EQ(v.resets, seen) << "reset at loading, then after each collection";
        EXPECT_EQ(h.report.rows[size_t(seen - 1)].word, "Validating...");
    };
    runToEnd(h);
    EXPECT_EQ(seen, 3);
}

TEST(Run, StopWaitsForBusyVerifiersAndStartContinuesFromThePosition)
{
    Harness h;
    prepare(h, numbered(10), 2, 20);
    stopAt(h, 4);
    runToEnd(h);
    EXPECT_EQ(h.factory.dispatched.size(), 4);
    EXPECT_EQ(h.state.ValidatedCount, 4);
    EXPECT_EQ(h.report.countWord("Validating..."), 0);
    ASSERT_FALSE(h.shell.stopCounts.empty());
    EXPECT_EQ(h.shell.stopCounts.front(), 2);
    EXPECT_TRUE(h.shell.overlaysShown.contains(int(Overlay::Stop)));
    EXPECT_FALSE(h.shell.isOverlayVisible(Overlay::Stop));
    EXPECT_EQ(h.state.StartPosition, 5);
    EXPECT_EQ(h.shell.positionText, "5");
    EXPECT_EQ(h.status.label(StatusLabel::Percent), "40%");

    // Start goes on from the Position box with the addresses left.
    h.factory.onVerify = nullptr;
    h.factory.dispatched.clear();
    h.status.progress.clear();
    runToEnd(h);
    // The bar shows the share of the whole list: it goes on from 40%.
    EXPECT_EQ(h.status.progress, (std::vector<int>{0, 50, 60, 70, 80, 90, 100}));
    EXPECT_EQ(h.state.RunTotal, 6);
    EXPECT_EQ(h.factory.dispatched, strings(numbered(10).mid(4)));
    EXPECT_EQ(h.state.ValidatedCount, 10);
    EXPECT_EQ(h.status.label(StatusLabel::Percent), "100%");
    EXPECT_EQ(h.state.StartPosition, 5); // complete: the position is left alone

    // Nothing is left: Start changes nothing.
    const int commandsBefore = h.shell.commandLog.size();
    h.factory.dispatched.clear();
    h.run.Start();
    EXPECT_TRUE(h.factory.dispatched.isEmpty());
    EXPECT_EQ(h.shell.commandLog.size(), commandsBefore);
}

TEST(Run, MovedStartPositionEndsAtTheLastRecordAndPointsBackToTheRest)
{
    Harness h;
    const QList<QByteArray> six = numbered(6);
    h.openList(six);
    h.state.StartPosition = 5;
    runToEnd(h);
    EXPECT_EQ(h.factory.dispatched, (QStringList{"u5@x.org", "u6@x.org"}));
    EXPECT_EQ(h.state.ValidatedCount, 2);
    EXPECT_EQ(h.state.StartPosition, 1);
    EXPECT_TRUE(h.shell.messages.isEmpty());

    // From the start again: the records validated already are not counted twice.
    h.factory.dispatched.clear();
    runToEnd(h);
    EXPECT_EQ(h.factory.dispatched, (QStringList{"u1@x.org", "u2@x.org", "u3@x.org", "u4@x.org"}));
    EXPECT_EQ(h.state.ValidatedCount, 6);
    EXPECT_EQ(h.status.label(StatusLabel::Percent), "100%");

    // A position far beyond the list reads no record past the end.
    h.openList(six);
    h.state.StartPosition = 1e9;
    runToEnd(h);
    EXPECT_EQ(h.state.ValidatedCount, 0);
    EXPECT_EQ(h.state.StartPosition, 1);
}

// Pause and going offline both hold the hand-out while every verifier is
// busy, yet collect those verifiers; only Pause shows in its buttons.
TEST(Run, PauseAndOfflineCollectTheBusyVerifiersAndHandOutNothing)
{
    const struct
    {
        const char* name;
        std::function<void(RunController&, bool hold)> hold;
        bool paused;
        QStringList checkLog;
    } cases[] = {
        {"pause",
         [](RunController& run, bool) { run.TogglePause(); },
         true,
         {"mn201=0", "tb201=0", "mn201=1", "tb201=1", "mn201=0", "tb201=0"}},
        {"offline",
         [](RunController& run, bool hold) { run.setOnline(!hold); },
         false,
         {"mn201=0", "tb201=0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        prepare(h, kEight, 2, -1);
        bool checkedWhileHeld = false;
        h.factory.onVerify = [&](FakeVerifier&) {
            if (h.factory.dispatched.size() != 2)
                return;
            c.hold(h.run, true);
            QTimer::singleShot(10, [&] {
                h.factory.finishAll();
                QTimer::singleShot(50, [&] {
                    EXPECT_EQ(h.factory.dispatched.size(), 2);
                    EXPECT_EQ(h.state.ValidatedCount, 2);
                    EXPECT_EQ(h.report.countWord("Validating..."), 0);
                    EXPECT_EQ(h.state.IsPaused, c.paused);
                    checkedWhileHeld = true;
                    h.factory.delayMs = 1;
                    c.hold(h.run, false);
                });
            });
        };
        runToEnd(h);
        EXPECT_TRUE(checkedWhileHeld);
        EXPECT_EQ(h.state.ValidatedCount, 8);
        EXPECT_EQ(h.shell.checkLog, c.checkLog);
    }
}

TEST(Run, WaitingForVerifiersDoesNotSpin)
{
    // 500 verifiers that stay busy until the test lets them go, two rounds:
    // while none can finish the loop must sleep instead of reading their
    // states over and over. Counting the reads rather than CPU time keeps the
    // check independent of the machine's load and of sanitizers.
    Harness h;
    prepare(h, numbered(1000), 500, -1);
    std::vector<int> quietReads;
    h.factory.onVerify = [&](FakeVerifier&) {
        if (h.factory.dispatched.size() % 500 != 0)
            return;
        QTimer::singleShot(50, [&] {
            const int before = h.factory.statusReads;
            QTimer::singleShot(250, [&, before] {
                quietReads.push_back(h.factory.statusReads - before);
                h.factory.finishAll();
            });
        });
    };
    runGuarded(
        h, [&] { h.run.Start(); }, 30000);
    // Each wake-up (the test's own timer) costs a pass over the pool and a
    // look for work, about a thousand reads; a polling loop makes hundreds of
    // passes in a quarter of a second.
    ASSERT_EQ(quietReads.size(), 2u);
    for (int reads : quietReads)
        EXPECT_LT(reads, 10000);
    EXPECT_EQ(h.factory.maxBusy, 500);
    EXPECT_EQ(h.state.ValidatedCount, 1000);
}

// A server that dies ends the run; one lost verifier leaves the others going.
// Either way Start takes exactly the addresses left without an outcome.
TEST(Run, ServerDeathEndsTheRunAndLeavesUnfinishedAddressesForTheNextStart)
{
    Harness h;
    prepare(h, kEight, 3, -1);
    h.factory.onVerify = [&](FakeVerifier&) {
        if (h.factory.dispatched.size() == 3)
            QTimer::singleShot(10, [&] { h.factory.killAll(); });
    };
    runToEnd(h);
    ASSERT_EQ(h.shell.messages.size(), 1);
    EXPECT_TRUE(h.shell.messages[0].contains("lost")) << h.shell.messages[0].toStdString();
    EXPECT_TRUE(h.shell.messages[0].contains("Start"));
    EXPECT_EQ(h.state.ValidatedCount, 0);
    EXPECT_EQ(h.report.countWord("Validating..."), 0);
    for (const auto& row : h.report.rows)
        EXPECT_FALSE(row.code.has_value());
    EXPECT_EQ(h.state.StartPosition, 1);

    // The server is back, and loses one verifier only: the others go on.
    h.state.ThreadCount = 2;
    h.factory.delayMs = 5;
    h.factory.dispatched.clear();
    h.factory.onVerify = [&](FakeVerifier& v) {
        if (h.factory.dispatched.size() == 2)
            v.disconnect(); // its outcome for bad2 never comes
    };
    runToEnd(h);
    EXPECT_EQ(h.state.ValidatedCount, 7);
    EXPECT_FALSE(h.report.rows[1].code.has_value());
    EXPECT_EQ(h.shell.messages.size(), 2);
    EXPECT_EQ(h.state.StartPosition, 2);

    // Start takes just that address: every address is validated once.
    h.factory.onVerify = nullptr;
    h.factory.dispatched.clear();
    runToEnd(h);
    EXPECT_EQ(h.factory.dispatched, QStringList{"bad2@x.org"});
    EXPECT_EQ(counts(h), std::tuple(8, 5, 3));
}

TEST(Run, EveryCollectedVerifierIsResetAndARefusedAddressIsNeverVerified)
{
    Harness h;
    prepare(h, {"a1@x.org", "refused@x.org", "a3@x.org", "a4@x.org", "a5@x.org"}, 2);
    h.factory.refuseAddress = [](const QString& a) {
        return a.startsWith("refused");
    };
    runToEnd(h);
    // The refused hand-over stopped before Verify: no verifier went on with
    // its previous address, and the record keeps no outcome.
    EXPECT_EQ(h.factory.dispatched, (QStringList{"a1@x.org", "a3@x.org", "a4@x.org", "a5@x.org"}));
    EXPECT_FALSE(h.report.rows[1].code.has_value());
    EXPECT_EQ(h.state.ValidatedCount, 4);
    ASSERT_EQ(h.shell.messages.size(), 1);
    // The last collections had no address to go with: their resets went
    // out alone, so no verifier was left finished.
    ASSERT_EQ(h.factory.statusAtRelease.size(), 2u);
    for (qint32 status : h.factory.statusAtRelease)
        EXPECT_EQ(status, StatusReady);
}

TEST(Run, ServerThatCannotStartIsReportedAndTheRunEnds)
{
    Harness h;
    h.openList(kEight);
    h.factory.failCreate = true;
    runToEnd(h);
    ASSERT_EQ(h.shell.messages.size(), 1);
    EXPECT_TRUE(h.shell.messages[0].contains("sondrix is not installed"));
    EXPECT_EQ(h.shell.commandLog.last(), "idle");
    EXPECT_EQ(h.factory.attempts, 1) << "one failure is enough to stop asking";

    // A server that gives out only some objects: the run does with those.
    Harness g;
    prepare(g, kEight, 10);
    g.factory.failAfter = 2;
    runToEnd(g);
    EXPECT_EQ(g.factory.attempts, 3);
    EXPECT_EQ(g.state.ValidatedCount, 8);
}

TEST(Run, StartOnAnEmptyReportOffersOpenAndCancelChangesNothing)
{
    Harness h;
    h.run.Start();
    EXPECT_EQ(h.shell.dialogTitles, QStringList{"Open Mail List File"});
    EXPECT_FALSE(h.state.IsRunning);
    EXPECT_TRUE(h.shell.commandLog.isEmpty());
    EXPECT_EQ(h.factory.created, 0);

    // Retry with nothing failed: no run at all.
    h.openList({"a@x"});
    h.shell.commandLog.clear(); // the load's own greying and enabling
    h.run.Retry();
    EXPECT_TRUE(h.shell.commandLog.isEmpty());
}

TEST(Run, CommandsArrivingWhileARunYieldsAreIgnored)
{
    Harness h;
    prepare(h, kEight, 2);
    h.factory.onVerify = [&](FakeVerifier&) {
        if (h.factory.dispatched.size() != 3)
            return;
        QTimer::singleShot(0, [&] {
            h.run.Start(); // a second run over the same pool
            h.shell.nextFile = h.writeFile("other.txt", "z@x.org\n");
            h.loader.OpenList();
            h.loader.AddList();
        });
    };
    runToEnd(h);
    EXPECT_EQ(h.factory.created, 2);
    EXPECT_EQ(h.state.ValidatedCount, 8);
    EXPECT_EQ(h.report.recordCount(), 8);
    // Commands arriving while a load or a save yields: see ListLoading.
}
