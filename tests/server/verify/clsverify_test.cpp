#include "apartment.h"
#include "clsverify.h"
#include "componenterror.h"
#include "scriptedcomponents.h"

#include <QElapsedTimer>
#include <QSemaphore>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace corvanta;
using namespace corvanta::testing;

namespace {

class ObjectTest : public ::testing::Test
{
protected:
    ObjectTest()
    {
        dns->answer = {{QStringLiteral("mx1.example.com")}, {QString()}};
        smtp->replies = {QStringLiteral("250 Ok"), QStringLiteral("250 Ok")};
    }

    std::unique_ptr<Apartment> open()
    {
        auto apartment = std::make_unique<Apartment>(scriptedFactory(dns, smtp));
        apartment->open();
        return apartment;
    }

    // Waits (without holding the object's thread) until Status reads
    // `status`; returns the milliseconds it took, or -1 past `limitMs`.
    static qint64 waitForStatus(Apartment& a, ProcessStatus status, int limitMs = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (a.call([](clsVerify& v) { return v.Status(); }) != status) {
            if (clock.elapsed() > limitMs)
                return -1;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return clock.elapsed();
    }

    // Starts a verification of `address` on the object's thread.
    static void verify(Apartment& a, const QString& address = QStringLiteral("john@example.com"))
    {
        a.call([address](clsVerify& v) {
            v.setAddress(address);
            v.Verify();
        });
    }

    // Records events as the object raises them, on its own thread.
    struct EventLog
    {
        std::mutex lock;
        std::vector<std::pair<qint32, QString>> progress; // -1: FinishedEvent
        void attach(Apartment& a)
        {
            a.call([this](clsVerify& v) {
                QObject::connect(&v, &clsVerify::ProgressEvent, &v, [this](qint32 m, QString d) {
                    std::lock_guard g(lock);
                    progress.emplace_back(m, d);
                });
                QObject::connect(&v, &clsVerify::FinishedEvent, &v, [this](qint32 r) {
                    std::lock_guard g(lock);
                    progress.emplace_back(-1, QString::number(r));
                });
            });
        }
    };

    std::shared_ptr<DnsScript> dns = std::make_shared<DnsScript>();
    std::shared_ptr<SmtpScript> smtp = std::make_shared<SmtpScript>();
    QSemaphore reached; // released where a test's script marks a point
};

} // namespace

// However a run ends, with events on its last step is 15 "Finished", and the
// finished event follows it.
TEST_F(ObjectTest, FinishedStepComesLastThenTheFinishedEventEvenAfterAFailedLogoutOrAnAbort)
{
    using Event = std::pair<qint32, QString>;
    const Event finished{15, QStringLiteral("Finished")};
    struct Case
    {
        const char* name;
        bool abortInLookup;
        std::vector<Event> tail;
    } cases[] = {
        {"failed log-out", false, {{17, QStringLiteral("Logout")}, finished, {-1, "4"}}},
        {"aborted", true, {{5, QStringLiteral("Resolving mail servers")}, finished, {-1, "0"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        smtp->replies[1] = QStringLiteral("550 unknown");
        smtp->logoutFails = true;
        dns->silent = c.abortInLookup;
        QSemaphore inLookup;
        dns->duringQuery = [&] {
            inLookup.release();
        };
        auto a = open();
        EventLog log;
        log.attach(*a);
        a->call([](clsVerify& v) { v.setEventsEnabled(true); });
        verify(*a);
        if (c.abortInLookup) {
            // The object answers calls while its look-up waits (60 s).
            ASSERT_TRUE(inLookup.tryAcquire(1, 5000));
            a->call([](clsVerify& v) { v.Abort(); });
        }
        const qint64 ms = waitForStatus(*a, StatusFinished);
        ASSERT_GE(ms, 0);
        EXPECT_LT(ms, 1000) << "an abort ends the wait at once";
        EXPECT_FALSE(a->call([](clsVerify& v) { return v.Busy(); }));
        std::lock_guard g(log.lock);
        ASSERT_GE(log.progress.size(), c.tail.size());
        EXPECT_EQ(
            std::vector<Event>(log.progress.end() - qsizetype(c.tail.size()), log.progress.end()),
            c.tail);
    }
}

// Also: Verify returns before any network work, and with events off (the
// default) a run raises none.
TEST_F(ObjectTest, ResetKeepsResultsAndAbortWithoutResetStopsTheNextRun)
{
    smtp->replies = {QStringLiteral("250 Ok"), QStringLiteral("550 no such user")};
    // An error of a connection that stands anyway becomes the message.
    smtp->hosts[QStringLiteral("mx1.example.com")].standingError = QStringLiteral("greeted late");
    auto a = open();
    EventLog log;
    log.attach(*a);
    a->call([&](clsVerify& v) {
        v.setAddress(QStringLiteral("john@example.com"));
        v.Verify();
        EXPECT_TRUE(v.Busy());
        EXPECT_EQ(v.Status(), StatusWorking);
        EXPECT_TRUE(dns->queries.isEmpty());
    });
    ASSERT_GE(waitForStatus(*a, StatusFinished), 0);
    const QString transcript = a->call([](clsVerify& v) { return v.SmtpReplies(); });
    a->call([&](clsVerify& v) {
        v.Reset();
        EXPECT_EQ(v.Status(), StatusReady);
        EXPECT_EQ(v.Result(), verifyBadUser);
        EXPECT_EQ(v.RecptReply(), QStringLiteral("550 no such user"));
        EXPECT_EQ(v.FromReply(), QStringLiteral("250 Ok"));
        EXPECT_EQ(v.SmtpReplies(), transcript);
        EXPECT_EQ(v.GetMessage(), QStringLiteral("greeted late"));

        v.Abort();
        EXPECT_EQ(v.Status(), StatusReady); // Abort leaves the state alone
        v.setAddress(QStringLiteral("jane@example.com"));
        v.Verify();
    });
    ASSERT_GE(waitForStatus(*a, StatusFinished), 0);
    a->call([&](clsVerify& v) {
        EXPECT_EQ(v.Result(), verifyBadUser); // the aborted run set nothing
        EXPECT_EQ(smtp->connects.size(), 1);  // and stopped after the look-up
        EXPECT_EQ(dns->queries.size(), 2);
        v.Reset(); // clears the mark: the next run goes through
        v.Verify();
    });
    ASSERT_GE(waitForStatus(*a, StatusFinished), 0);
    EXPECT_EQ(smtp->connects.size(), 2);
    std::lock_guard g(log.lock);
    EXPECT_TRUE(log.progress.empty());
}

// A second Verify waits for the running procedure instead of nesting in its
// wait; closing the apartment in the middle of a wait does not hang.
TEST_F(ObjectTest, VerifyDuringARunningProcedureWaitsForItAndClosingMidWaitDoesNotHang)
{
    smtp->hosts[QStringLiteral("mx1.example.com")].silent = true;
    smtp->duringConnect = [this](const QString&) {
        reached.release();
    };
    auto a = open();
    a->call([](clsVerify& v) { v.setSmtpTimeout(150); });
    verify(*a);
    ASSERT_TRUE(reached.tryAcquire(1, 5000));
    a->call([](clsVerify& v) { v.Verify(); });
    // The second verification starts only after the first has timed out.
    ASSERT_TRUE(reached.tryAcquire(1, 5000));
    ASSERT_GE(waitForStatus(*a, StatusFinished), 0); // the script is read once idle
    EXPECT_EQ(smtp->maxActiveCalls, 1);
    EXPECT_EQ(smtp->connects.size(), 2);
    a->call([](clsVerify& v) { v.setSmtpTimeout(60000); });
    verify(*a);
    ASSERT_TRUE(reached.tryAcquire(1, 5000));
    QElapsedTimer clock;
    clock.start();
    a.reset();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_GE(smtp->aborts, 1);
}

TEST(ObjectCreationTest, ComponentFailureReachesTheCreator)
{
    auto smtp = std::make_shared<SmtpScript>();
    ComponentFactory failing = scriptedFactory(std::make_shared<DnsScript>(), smtp);
    failing.createDnsResolver = []() -> std::unique_ptr<IDnsResolver> {
        throw ComponentException(42, QStringLiteral("no resolver today"));
    };
    Apartment a(failing);
    try {
        a.open();
        ADD_FAILURE() << "creation succeeded";
    } catch (const ComponentException& e) {
        EXPECT_EQ(e.description(), QStringLiteral("no resolver today"));
    }
    EXPECT_EQ(a.object(), nullptr);

    ComponentFactory empty;
    Apartment b(empty);
    EXPECT_THROW(b.open(), ComponentException);
}
