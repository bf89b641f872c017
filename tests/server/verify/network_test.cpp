// `sondrix check` end to end against dnsmasq and a fake mail server. Runs
// inside a private network namespace (the mail server listens on 127.0.0.9
// port 25).

#include "dnsmasqserver.h"
#include "fakesmtpserver.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace corvanta;
using namespace corvanta::testing;

namespace {

QHostAddress loopback(int last)
{
    return QHostAddress(QStringLiteral("127.0.0.%1").arg(last));
}

} // namespace

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
                   "--helo", "probe.corvanta.test", "--dns-timeout", "5", "--smtp-timeout", "5",
                   "--jobs", "3", "--progress", "--json", "-"});
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
    // The hello name set on each object is the one the mail server is greeted with.
    EXPECT_EQ(smtp.commands(loopback(9)).value(0), "EHLO probe.corvanta.test");
}
