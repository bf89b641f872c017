// The verification object served through the broker, in a real server process.
#include "privatebroker.h"
#include "remoteverify.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointF>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>

using namespace corvanta;

namespace {

class RemoteVerifyTest : public test::PrivateBrokerTest
{
protected:
    RemoteVerifyTest() : PrivateBrokerTest(FAKE_VERIFY_SERVER) {}

    std::unique_ptr<RemoteVerify> make() { return std::make_unique<RemoteVerify>(m_options); }
};

} // namespace

TEST_F(RemoteVerifyTest, TheServersDefaultsShowAndEveryMemberCrosses)
{
    // The defaults are the server's: the fake SMTP client's greeting name.
    auto v = make();
    EXPECT_EQ(v->HelloName(), QStringLiteral("fake.host"));

    // Each write lands in its own member: distinct values show any mix-up.
    v->setAddress(QStringLiteral("a@b.example"));
    v->setFromAddress(QStringLiteral("from@b.example"));
    v->setID(std::numeric_limits<qint32>::min());
    v->setSmtpTimeout(1111);
    v->setDnsTimeout(2222);
    v->setDnsServerPort(5353);
    v->setEventsEnabled(true);
    v->setHelloName(QStringLiteral("me.example"));
    v->AddDnsServer(QStringLiteral("10.0.0.1"));
    v->AddDnsServer(QStringLiteral("10.0.0.2"));
    EXPECT_EQ(v->Address(), QStringLiteral("a@b.example"));
    EXPECT_EQ(v->FromAddress(), QStringLiteral("from@b.example"));
    EXPECT_EQ(v->ID(), std::numeric_limits<qint32>::min());
    EXPECT_EQ(v->SmtpTimeout(), 1111);
    EXPECT_EQ(v->DnsTimeout(), 2222);
    EXPECT_EQ(v->DnsServerPort(), 5353);
    EXPECT_TRUE(v->EventsEnabled());
    EXPECT_EQ(v->HelloName(), QStringLiteral("me.example"));
    EXPECT_EQ(v->DnsServers(),
              (QStringList{QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.2")}));
    v->ClearDnsServers();
    EXPECT_TRUE(v->DnsServers().isEmpty());
    EXPECT_TRUE(v->isValidEmail(QStringLiteral("someone@example.com")));
    EXPECT_FALSE(v->isValidEmail(QStringLiteral("no at sign")));

    // The tag keeps any plain value as it was given.
    for (const QVariant& tag : {QVariant(QStringLiteral("row 7")), QVariant(qint32(-1)),
                                QVariant(true), QVariant(QByteArray("\0\xff", 2)), QVariant(0.5)}) {
        v->setTag(tag);
        EXPECT_EQ(v->Tag(), tag) << tag.typeName();
    }
    // Values the tag cannot hold are refused, and the old tag stays.
    for (const QVariant& bad : {QVariant(QPointF(1, 1)), QVariant(QStringList{"a"})}) {
        try {
            v->setTag(bad);
            ADD_FAILURE() << "tag took " << bad.typeName();
        } catch (const BrokerException& e) {
            EXPECT_EQ(e.error().number, brokererr::TypeMismatch);
        }
    }
    EXPECT_EQ(v->Tag(), QVariant(0.5));

    // A write of the wrong kind is an error, not a silent zero.
    QVariant value;
    BrokerError error;
    EXPECT_FALSE(v->tryCall(verifyclass::LetSmtpTimeout, {QStringLiteral("5")}, &value, &error));
    EXPECT_EQ(error.number, brokererr::TypeMismatch);
    EXPECT_FALSE(v->tryCall(verifyclass::LetAddress, {}, &value, &error));
    EXPECT_EQ(error.number, brokererr::WrongArguments);
    EXPECT_EQ(v->SmtpTimeout(), 1111);
}

TEST_F(RemoteVerifyTest, AnOutcomeComesWithItsPushAndIsKeptWhenTheServerDies)
{
    auto v = make();
    v->setAddress(QStringLiteral("bad@example.com"));
    v->Verify();
    QElapsedTimer t;
    t.start();
    while (v->Status() != 3 && t.elapsed() < 3000)
        v->waitForPush(100);
    ASSERT_EQ(v->Status(), 3);
    // A server that dies right after a verification ended cannot take its
    // outcome along: the push that told of the end brought it.
    ASSERT_GT(v->serverProcessId(), 0);
    ::kill(pid_t(v->serverProcessId()), SIGKILL);
    t.restart();
    while (v->isConnected() && t.elapsed() < 5000)
        v->waitForPush(100);
    ASSERT_FALSE(v->isConnected());
    EXPECT_EQ(v->Result(), 4);
    EXPECT_EQ(v->RecptReply(), QStringLiteral("550 No such user"));
    EXPECT_THROW(v->Reset(), BrokerException);
    // Once the handle has called the object the pushed values may be out of
    // date, so they are not answered any more.
    EXPECT_THROW(v->Result(), BrokerException);
}

TEST_F(RemoteVerifyTest, EventsEndWithFinishedAndASlowHandlerCanStartTheNextAddress)
{
    // A handler that starts the next address and then works on for longer
    // than the object's start timer: the next procedure must still start on
    // its own, not inside the object's wait for this handler.
    auto v = make();
    v->setEventsEnabled(true);
    const std::pair<QString, qint32> kinds[] = {{QStringLiteral("good@depth.example"), 0},
                                                {QStringLiteral("bad@depth.example"), 4},
                                                {QStringLiteral("x@nomx.example"), 2},
                                                {QStringLiteral("not an address"), 1}};
    const int count = 200;
    int next = 0;
    QList<qint32> results;
    QList<QPair<qint32, QString>> lastProgress;
    QPair<qint32, QString> progress;
    QList<quintptr> frames; // where each look-up ran on the object's stack
    QObject::connect(v.get(), &RemoteVerify::ProgressEvent, v.get(),
                     [&](qint32 method, const QString& text) {
                         progress = {method, text};
                         if (method == 1)
                             frames << text.section(QLatin1Char('.'), 0, 0).mid(2).toULongLong();
                     });
    QObject::connect(v.get(), &RemoteVerify::FinishedEvent, v.get(), [&](qint32 result) {
        results << result;
        lastProgress << progress;
        EXPECT_EQ(v->Result(), result) << "the object answers while it waits for us";
        if (++next < count) {
            v->Reset();
            v->setAddress(kinds[next % 4].first);
            v->Verify();
            EXPECT_NE(v->Status(), 1) << "the state change comes before Verify's answer";
            QThread::msleep(20);
        }
    });
    v->setAddress(kinds[0].first);
    v->Verify();
    QElapsedTimer t;
    t.start();
    while (results.size() < count && t.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ASSERT_EQ(results.size(), count);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(results[i], kinds[i % 4].second) << i;
        EXPECT_EQ(lastProgress[i], qMakePair(15, QStringLiteral("Finished"))) << i;
    }
    ASSERT_EQ(frames.size(), count / 2);
    const auto [lowest, highest] = std::minmax_element(frames.cbegin(), frames.cend());
    EXPECT_LT(*highest - *lowest, 256u) << "procedures nested on the object's stack";
}

TEST_F(RemoteVerifyTest, AComponentThatCannotBeMadeFailsTheCreation)
{
    qputenv("FAKE_FAIL_CREATE", "1");
    try {
        make();
        ADD_FAILURE() << "created without its SMTP client";
    } catch (const BrokerException& e) {
        EXPECT_EQ(e.error().number, 7);
        EXPECT_EQ(e.error().source, QStringLiteral("Sondrix.clsVerify"));
        EXPECT_EQ(e.error().description, QStringLiteral("The SMTP client is not installed"));
    }
    qunsetenv("FAKE_FAIL_CREATE");
}
