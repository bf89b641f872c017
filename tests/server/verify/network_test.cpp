// `sondrix check` end to end against the fake DNS server and fake mail
// servers. Runs inside a private network namespace (the mail servers listen
// on 127.0.0.x port 25).

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

// sondrix check --accept-all: one probe of a made-up address per domain with
// an accepted address, each in a session of its own. The list comes on
// standard input, and the hello name given is the one servers are greeted with.
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
                   "--from", "probe@sender.test", "--helo", "probe.corvanta.test", "--smtp-timeout",
                   "5", "--jobs", "3", "--progress", "--accept-all", "-"});
    ASSERT_TRUE(sondrix.waitForStarted(5000));
    sondrix.write("real1@everyone.test\nreal2@everyone.test\nreal1@realonly.test\n"
                  "fake@realonly.test\nreal2@realonly.test\nreal1@onercpt.test\n"
                  "real2@onercpt.test\nreal1@nobody.test\n");
    sondrix.closeWriteChannel();
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
        EXPECT_EQ(commands.value(0), "EHLO probe.corvanta.test") << "server " << i;
    }
}
