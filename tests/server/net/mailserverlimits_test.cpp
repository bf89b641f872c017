#include "dnsresolver.h"
#include "fakesmtpserver.h"
#include "mailserverlimits.h"
#include "nettestutil.h"
#include "smtpclient.h"

#include <atomic>

namespace corvanta::testing {
namespace {

const QHostAddress Mx(QStringLiteral("127.0.0.25"));

TEST(MailServerLimitsReplies, OnlyConnectionAndRateRefusalsPauseAServer)
{
    const struct
    {
        const char* reply;
        bool pauses;
    } cases[] = {
        {"421 mx.test Service not available, closing channel", true},
        {"421-4.7.0 Too many connections\r\n421 4.7.0 Try later", true},
        {"450 4.7.1 Too many connections from your IP", true},
        {"451 4.3.2 System not accepting network messages", true},
        {"451 4.7.1 Greylisted, please try again later", false},
        {"450 4.7.1 <u@x.test>: Recipient address rejected: greylisted", false},
        {"450 4.2.0 Mailbox busy", false},
        {"550 5.7.1 Service unavailable; client host blocked", false},
        {"250 4.7.1 is not a reply code that refuses", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MailServerLimits::isRateRefusal(QString::fromLatin1(c.reply)), c.pauses)
            << c.reply;
}

class MailServerLimitsTest : public ::testing::Test
{
protected:
    void serve(const FakeSmtpBehaviour& behaviour)
    {
        QString error;
        ASSERT_TRUE(m_servers.add(Mx, behaviour, &error)) << error.toStdString();
    }

    // One probe as the verification object makes it; the error's number, or
    // 0 when it went through.
    int probe(int timeoutMs, QString* message = nullptr)
    {
        DnsResolver resolver; // the mail server is an address: never asked
        SmtpClient client(resolver, &m_limits);
        client.setTimeout(timeoutMs);
        try {
            client.connectAndGreet(Mx.toString());
            client.sendCommand(QStringLiteral("MAIL FROM:<>"));
            client.sendCommand(QStringLiteral("RCPT TO:<u@x.test>"));
            client.logout();
            return 0;
        } catch (const ComponentException& e) {
            if (message)
                *message = e.error().description;
            return e.error().number;
        }
    }

    FakeSmtpServers m_servers;
    MailServerLimits m_limits;
};

TEST_F(MailServerLimitsTest, TwoHundredObjectsNeverHoldMoreThanTheLimit)
{
    FakeSmtpBehaviour slow;
    slow.replyDelayMs = 10;
    slow.recordCommands = false;
    serve(slow);
    m_limits.configure({10, false});
    std::atomic<int> failed{0};
    onThreads(200, [&](int) {
        if (probe(5000) != 0)
            ++failed;
    });
    EXPECT_EQ(failed.load(), 0);
    EXPECT_EQ(m_servers.connections(Mx), 200);
    EXPECT_LE(m_servers.peakConnections(Mx), 10);
    EXPECT_GE(m_servers.peakConnections(Mx), 5) << "the limit should still be used";
    EXPECT_EQ(m_limits.connections(Mx), 0);
}

TEST_F(MailServerLimitsTest, AWaitForASlotServesEventsOutlastsTheTimeOutAndEndsOnAbort)
{
    serve({});
    m_limits.configure({1, false});
    std::atomic<int> ticks{0};
    std::atomic<int> waited{-1};
    std::atomic<qint64> abortedAfterMs{-1};
    onThreads(3, [&](int i) {
        if (i == 0) {
            // Holds the only slot for 400 ms.
            DnsResolver r;
            SmtpClient holder(r, &m_limits);
            holder.connectAndGreet(Mx.toString());
            QEventLoop loop;
            QTimer::singleShot(400, &loop, &QEventLoop::quit);
            loop.exec();
            holder.logout();
            return;
        }
        QThread::msleep(50);
        if (i == 1) {
            // Waits longer than its time-out, then gets the slot.
            QTimer ticker;
            QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
            ticker.start(20);
            waited = probe(150);
            return;
        }
        DnsResolver r;
        SmtpClient client(r, &m_limits);
        QTimer::singleShot(100, [&] { client.abort(); });
        QElapsedTimer clock;
        clock.start();
        const ComponentError error = errorOf([&] { client.connectAndGreet(Mx.toString()); });
        abortedAfterMs = clock.elapsed();
        EXPECT_EQ(error.number, SmtpClient::Aborted);
    });
    EXPECT_EQ(waited.load(), 0);
    EXPECT_GE(ticks.load(), 5) << "the waiting thread served no events";
    EXPECT_LT(abortedAfterMs.load(), 100 + SlackMs);
    EXPECT_EQ(m_limits.connections(Mx), 0);
}

TEST_F(MailServerLimitsTest, RefusalsPauseTheServerAndObjectsWaitThemOut)
{
    FakeSmtpBehaviour fifth;
    fifth.refuseEveryNth = 5;
    serve(fifth);
    m_limits.configure({4, true, 200, 2000});
    std::atomic<int> failed{0};
    QElapsedTimer clock;
    clock.start();
    // The pauses an object meets count against its time-out, and the whole
    // run takes 3 to 4.5 s on an idle machine: 5 s failed objects under load.
    onThreads(40, [&](int) {
        if (probe(15000) != 0)
            ++failed;
    });
    EXPECT_EQ(failed.load(), 0);
    const int refusals = m_servers.connections(Mx) - 40;
    EXPECT_GE(refusals, 8);
    // At least eight pauses: every refusal paused the server.
    EXPECT_GE(clock.elapsed(), 200 * 8);
}

TEST_F(MailServerLimitsTest, PausesDoubleAndEndInTheRefusalOnceTheTimeOutHasPassed)
{
    FakeSmtpBehaviour always;
    always.refuseEveryNth = 1;
    serve(always);
    m_limits.configure({0, true, 100, 60000});
    QString message;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(probe(1000, &message), SmtpClient::GreetingRefused);
    EXPECT_TRUE(message.contains(QLatin1String("421 4.7.0"))) << message.toStdString();
    EXPECT_GE(clock.elapsed(), 1000 - 50);
    EXPECT_LE(clock.elapsed(), 1000 + SlackMs);
    // Refused at 0, 100, 300 and 700 ms; the next pause outlasts the time-out.
    // Without doubling there would be about ten.
    EXPECT_GE(m_servers.connections(Mx), 3);
    EXPECT_LE(m_servers.connections(Mx), 5);

    // Another object meeting the pause ends the same way, within its time-out.
    message.clear();
    clock.restart();
    EXPECT_EQ(probe(300, &message), SmtpClient::GreetingRefused);
    EXPECT_TRUE(message.contains(QLatin1String("421 4.7.0"))) << message.toStdString();
    EXPECT_LE(clock.elapsed(), 300 + SlackMs);
}

} // namespace
} // namespace corvanta::testing
