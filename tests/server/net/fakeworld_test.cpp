#include "dnsresolver.h"
#include "nettestutil.h"
#include "smtpclient.h"

#include <QProcess>

namespace corvanta::testing {
namespace {

// fakeworld is what benchmarks and end-to-end tests of other parts stand on:
// check that its options give the world they promise.
TEST(FakeWorld, ServesTheDomainsItsOptionsDescribe)
{
    QProcess world;
    world.start(QStringLiteral(FAKEWORLD_PATH),
                {QStringLiteral("--dns"), QStringLiteral("127.0.0.1:5300"),
                 QStringLiteral("--domains"), QStringLiteral("3"),
                 QStringLiteral("--silent-domains"), QStringLiteral("1"),
                 QStringLiteral("--reply-delay-ms"), QStringLiteral("20")});
    ASSERT_TRUE(world.waitForStarted(5000));
    ASSERT_TRUE(world.waitForReadyRead(10000)) << world.readAllStandardError().toStdString();
    ASSERT_EQ(world.readAllStandardOutput(), QByteArray("ready\n"));

    DnsResolver resolver;
    resolver.setServer(QStringLiteral("127.0.0.1"));
    resolver.setPort(5300);
    resolver.setTimeout(2000);
    EXPECT_EQ(resolver.queryMx(QStringLiteral("a@domain2.test")).hosts,
              QStringList{QStringLiteral("mx.domain2.test")});
    EXPECT_EQ(resolver.resolveHost(QStringLiteral("mx.domain2.test")),
              QList<QHostAddress>{QHostAddress(QStringLiteral("127.1.0.2"))});
    EXPECT_TRUE(resolver.queryMx(QStringLiteral("a@nodata.test")).hosts.isEmpty());
    EXPECT_EQ(errorOf([&] { resolver.queryMx(QStringLiteral("a@nullmx.test")); }).description,
              QStringLiteral("The domain accepts no mail (null MX)"));
    EXPECT_TRUE(errorOf([&] {
                    resolver.queryMx(QStringLiteral("a@domain4.test"));
                }).description.contains(QLatin1String("NXDOMAIN")));

    SmtpClient client(resolver);
    client.setTimeout(2000);
    QElapsedTimer timer;
    timer.start();
    client.connectAndGreet(QStringLiteral("mx.domain1.test"));
    EXPECT_GE(timer.elapsed(), 2 * 20) << "greeting and EHLO are each delayed";
    EXPECT_TRUE(client.sendCommand(QStringLiteral("MAIL FROM:<>")).startsWith(QLatin1Char('2')));
    EXPECT_TRUE(client.sendCommand(QStringLiteral("RCPT TO:<someone@domain1.test>"))
                    .startsWith(QLatin1Char('2')));
    EXPECT_TRUE(client.sendCommand(QStringLiteral("RCPT TO:<unknown7@domain1.test>"))
                    .startsWith(QLatin1String("550")));
    client.logout();

    client.setTimeout(300);
    EXPECT_EQ(errorOf([&] { client.connectAndGreet(QStringLiteral("mx.domain3.test")); }).number,
              SmtpClient::TimedOut);

    world.closeWriteChannel();
    EXPECT_TRUE(world.waitForFinished(5000)) << "closing standard input ends it";
    EXPECT_EQ(world.exitCode(), 0);
}

TEST(FakeWorld, RejectsBadOptions)
{
    for (const QStringList& args : {QStringList{QStringLiteral("--domains"), QStringLiteral("x")},
                                    QStringList{QStringLiteral("--dns"), QStringLiteral("nowhere")},
                                    QStringList{QStringLiteral("--bogus"), QStringLiteral("1")}}) {
        QProcess world;
        world.start(QStringLiteral(FAKEWORLD_PATH), args);
        ASSERT_TRUE(world.waitForFinished(5000));
        EXPECT_EQ(world.exitCode(), 2) << args.join(QLatin1Char(' ')).toStdString();
    }
}

} // namespace
} // namespace corvanta::testing
