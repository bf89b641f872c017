// `sondrix check` end to end against dnsmasq or the fake DNS server and fake
// mail servers. Runs inside a private network namespace (the mail servers
// listen on 127.0.0.x port 25).

#include "dnsmasqserver.h"
#include "fakednsserver.h"
#include "fakesmtpserver.h"

#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
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

// sondrix check --accept-all: one probe of a made-up address per domain with
// an accepted address, each in a session of its own.
TEST(SondrixCheckEndToEnd, AcceptAllProbesEachDomainOnceInASessionOfItsOwn)
{
    FakeDnsServer dns;
    FakeSmtpServers smtp;
    QString error;
    ASSERT_TRUE(dns.start(QHostAddress::LocalHost, 0, &error)) << error.toStdString();
    // Each domain's server: the recipients it accepts (all when empty), and
    // how many of them a session (any number when 0).
    const std::tuple<QString, QByteArray, int> domains[] = {
        {QStringLiteral("everyone.test"), {}, 0},
        {QStringLiteral("realonly.test"), "real", 0},
        {QStringLiteral("onercpt.test"), {}, 1},
        {QStringLiteral("nobody.test"), "none", 0},
    };
    int last = 20;
    for (const auto& [domain, accepted, perSession] : domains) {
        FakeSmtpBehaviour behaviour;
        behaviour.acceptedRcptPrefix = accepted;
        behaviour.rcptPerSession = perSession;
        dns.setMx(domain, {{10, QStringLiteral("mx.") + domain}});
        dns.setAddresses(QStringLiteral("mx.") + domain, {loopback(++last)});
        ASSERT_TRUE(smtp.add(loopback(last), behaviour, &error)) << error.toStdString();
    }

    QProcess sondrix;
    sondrix.start(QStringLiteral(SONDRIX_PATH),
                  {"check", "--dns-server", QStringLiteral("127.0.0.1:%1").arg(dns.port()),
                   "--from", "probe@sender.test", "--smtp-timeout", "5", "--jobs", "3",
                   "--progress", "--accept-all", "real1@everyone.test", "real2@everyone.test",
                   "real1@realonly.test", "fake@realonly.test", "real2@realonly.test",
                   "real1@onercpt.test", "real2@onercpt.test", "real1@nobody.test"});
    ASSERT_TRUE(sondrix.waitForFinished(30000));
    const QByteArray progress = sondrix.readAllStandardError();
    EXPECT_EQ(sondrix.exitCode(), 0) << progress.constData();
    // The probes' steps are reported under their made-up addresses.
    EXPECT_EQ(QString::fromUtf8(progress).count(
                  QRegularExpression(QStringLiteral("(^|\\n)[a-z0-9]{20}@[a-z]+\\.test\t3\t"))),
              3);
    QStringList verdicts;
    for (const QByteArray& line : sondrix.readAllStandardOutput().trimmed().split('\n'))
        verdicts << QString::fromUtf8(line).section(u'\t', 1, 1) + u' ' +
                        QString::fromUtf8(line).section(u'\t', -2).replace(u'\t', u'/');
    EXPECT_EQ(
        verdicts,
        (QStringList{"real1@everyone.test risky/accept_all", "real2@everyone.test risky/accept_all",
                     "real1@realonly.test deliverable/accepted",
                     "fake@realonly.test undeliverable/mailbox_unknown",
                     "real2@realonly.test deliverable/accepted",
                     "real1@onercpt.test risky/accept_all", "real2@onercpt.test risky/accept_all",
                     "real1@nobody.test undeliverable/mailbox_unknown"}));

    // Per server: the probes (recipients we did not give), the recipients of
    // each session, and how the sessions went.
    const int ours[] = {2, 3, 2, 1};
    for (int i = 0; i < 4; ++i) {
        const QList<QByteArray> commands = smtp.commands(loopback(21 + i));
        const auto rcpts = std::count_if(commands.begin(), commands.end(),
                                         [](const QByteArray& c) { return c.startsWith("RCPT"); });
        const auto probes = std::count_if(commands.begin(), commands.end(), [](const auto& c) {
            return c.startsWith("RCPT") && !c.contains("<real") && !c.contains("<fake");
        });
        EXPECT_EQ(probes, i == 3 ? 0 : 1) << "server " << i;
        EXPECT_EQ(rcpts, ours[i] + probes) << "server " << i;
        EXPECT_EQ(smtp.connections(loopback(21 + i)), rcpts) << "one recipient a session";
    }
}
