// The verification object with the real DNS resolver and SMTP client against
// fake servers, and `sondrix check` end to end against dnsmasq. Runs inside a
// private network namespace (mail servers listen on 127.0.0.x port 25).

#include "apartment.h"
#include "clsverify.h"
#include "dnsmasqserver.h"
#include "fakednsserver.h"
#include "fakesmtpserver.h"
#include "realcomponents.h"

#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>
#include <thread>

using namespace corvanta;
using namespace corvanta::testing;

namespace {

struct Snapshot
{
    VerifyConstants result = verifyValid;
    QString message;
    QString transcript;
    QString rcptReply;
};

QHostAddress loopback(int last)
{
    return QHostAddress(QStringLiteral("127.0.0.%1").arg(last));
}

bool waitFinished(Apartment& a, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (a.call([](clsVerify& v) { return v.Status(); }) != StatusFinished) {
        if (clock.elapsed() > limitMs)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

class NetworkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(dns.start(QHostAddress::LocalHost, 0, &error)) << error.toStdString();
        FakeSmtpBehaviour normal;
        normal.rejectedRcptPrefix = "unknown";
        addDomain(QStringLiteral("good.test"), 3, normal);
        FakeSmtpBehaviour dropping;
        dropping.dropOnVerb = "RCPT";
        addDomain(QStringLiteral("dropping.test"), 4, dropping);
        FakeSmtpBehaviour silent;
        silent.silent = true;
        addDomain(QStringLiteral("silent.test"), 5, silent);
        FakeSmtpBehaviour tempFail;
        tempFail.mailReply = "451 4.3.0 Try again later";
        addDomain(QStringLiteral("busy.test"), 6, tempFail);
        // The first server of two.test has no listener: its connection is refused.
        dns.setMx(QStringLiteral("two.test"),
                  {{10, QStringLiteral("mx1.two.test")}, {20, QStringLiteral("mx.good.test")}});
        dns.setAddresses(QStringLiteral("mx1.two.test"), {loopback(2)});
        dns.setMx(QStringLiteral("nullmx.test"), {{0, QStringLiteral(".")}});

        apartment = std::make_unique<Apartment>(realComponentFactory());
        apartment->open();
        apartment->call([this](clsVerify& v) {
            v.AddDnsServer(QStringLiteral("127.0.0.1"));
            v.setDnsServerPort(dns.port());
            v.setDnsTimeout(3000);
            v.setSmtpTimeout(3000);
            v.setFromAddress(QStringLiteral("probe@sender.test"));
            v.setHelloName(QStringLiteral("probe.corvanta.test"));
        });
    }

    void addDomain(const QString& domain, int last, const FakeSmtpBehaviour& behaviour)
    {
        const QString host = QStringLiteral("mx.") + domain;
        dns.setMx(domain, {{10, host}});
        dns.setAddresses(host, {loopback(last)});
        QString error;
        ASSERT_TRUE(smtp.add(loopback(last), behaviour, &error)) << error.toStdString();
    }

    Snapshot verify(const QString& address)
    {
        apartment->call([&](clsVerify& v) {
            v.Reset();
            v.setAddress(address);
            v.Verify();
        });
        EXPECT_TRUE(waitFinished(*apartment, 15000));
        return apartment->call([](clsVerify& v) {
            return Snapshot{v.Result(), v.GetMessage(), v.SmtpReplies(), v.RecptReply()};
        });
    }

    FakeDnsServer dns;
    FakeSmtpServers smtp;
    std::unique_ptr<Apartment> apartment;
};

} // namespace

TEST_F(NetworkTest, RealComponentsCarryTheWholeProbe)
{
    const Snapshot good = verify(QStringLiteral("someone@two.test"));
    EXPECT_EQ(good.result, verifyValid);
    EXPECT_EQ(good.transcript, QStringLiteral("Connecting to mx.good.test\r\n250 2.1.0 Sender "
                                              "ok\r\n250 2.1.5 Recipient ok\r\n"));
    EXPECT_TRUE(good.message.isEmpty());
    const QList<QByteArray> commands = smtp.commands(loopback(3));
    EXPECT_EQ(commands.value(0), "EHLO probe.corvanta.test"); // the object's HelloName
    EXPECT_TRUE(commands.contains("MAIL FROM:<probe@sender.test>"));
    EXPECT_TRUE(commands.contains("RCPT TO:<someone@two.test>"));
    EXPECT_EQ(commands.last(), "QUIT");

    const Snapshot unknown = verify(QStringLiteral("unknown.user@good.test"));
    EXPECT_EQ(unknown.result, verifyBadUser);
    EXPECT_EQ(unknown.rcptReply, QStringLiteral("550 5.1.1 No such user"));

    EXPECT_EQ(verify(QStringLiteral("someone@busy.test")).result, verifyBadFrom);
    EXPECT_EQ(verify(QStringLiteral("someone@missing.test")).result, verifyDomain);

    const int connections = smtp.connections(loopback(3));
    const Snapshot nullMx = verify(QStringLiteral("someone@nullmx.test"));
    EXPECT_EQ(nullMx.result, verifyDomain);
    EXPECT_EQ(smtp.connections(loopback(3)), connections);
    EXPECT_TRUE(nullMx.message.contains(QLatin1String("null MX"))) << nullMx.message.toStdString();

    // A connection dropped right after a valid address is not valid too.
    const Snapshot dropped = verify(QStringLiteral("someone@dropping.test"));
    EXPECT_EQ(dropped.result, verifyConnectMailServer);
    EXPECT_FALSE(dropped.message.isEmpty());
    EXPECT_EQ(smtp.openConnections(), 0);
}

TEST_F(NetworkTest, AbortEndsTheWaitForASilentServerAtOnce)
{
    apartment->call([](clsVerify& v) {
        v.setSmtpTimeout(60000);
        v.setAddress(QStringLiteral("someone@silent.test"));
        v.Verify();
    });
    QElapsedTimer wait;
    wait.start();
    while (smtp.connections(loopback(5)) == 0 && wait.elapsed() < 10000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(smtp.connections(loopback(5)), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let it settle into the wait
    ASSERT_EQ(apartment->call([](clsVerify& v) { return v.Status(); }), StatusWorking);
    QElapsedTimer clock;
    clock.start();
    apartment->call([](clsVerify& v) { v.Abort(); });
    ASSERT_TRUE(waitFinished(*apartment, 5000));
    const qint64 ms = clock.elapsed();
    std::printf("abort to finished: %lld ms\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 100);
}

// sondrix check against a real DNS server (dnsmasq) and a fake mail server.
TEST(SondrixCheckEndToEnd, ChecksAddressesThroughDnsmasq)
{
    FakeSmtpServers smtp;
    FakeSmtpBehaviour behaviour;
    behaviour.rejectedRcptPrefix = "nobody";
    QString error;
    ASSERT_TRUE(smtp.add(loopback(9), behaviour, &error)) << error.toStdString();
    DnsmasqServer dnsmasq;
    ASSERT_TRUE(
        dnsmasq.start(QHostAddress::LocalHost, 5300,
                      {{QStringLiteral("example.test"), QStringLiteral("mx.example.test"), 10}},
                      {{QStringLiteral("mx.example.test"), loopback(9)}}, &error))
        << error.toStdString();

    QProcess sondrix;
    sondrix.start(QStringLiteral(SONDRIX_PATH),
                  {"check", "--dns-server", "127.0.0.1:5300", "--from", "probe@sender.test",
                   "--dns-timeout", "5", "--smtp-timeout", "5", "--jobs", "3", "--progress",
                   "--json", "-"});
    ASSERT_TRUE(sondrix.waitForStarted(5000));
    sondrix.write("someone@example.test\nnobody@example.test\nnot an address\n"
                  "someone@nowhere.test\n");
    sondrix.closeWriteChannel();
    ASSERT_TRUE(sondrix.waitForFinished(30000));
    EXPECT_EQ(sondrix.exitCode(), 0);
    const QList<QByteArray> lines = sondrix.readAllStandardOutput().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith(R"({"address":"someone@example.test","result":0,)"))
        << lines[0].constData();
    EXPECT_TRUE(lines[0].contains(R"("smtp_replies":"Connecting to mx.example.test\r\n)"));
    EXPECT_TRUE(lines[1].startsWith(R"({"address":"nobody@example.test","result":4,)"));
    EXPECT_TRUE(lines[1].contains(R"("rcpt_reply":"550 5.1.1 No such user")"));
    EXPECT_TRUE(lines[2].startsWith(R"({"address":"not an address","result":1,)"));
    EXPECT_TRUE(lines[3].startsWith(R"({"address":"someone@nowhere.test","result":2,)"));
    const QByteArray progress = sondrix.readAllStandardError();
    EXPECT_TRUE(progress.contains("someone@example.test\t16\tGood Address\n"));
    EXPECT_TRUE(progress.contains("nobody@example.test\t15\tFinished\n"));
}
