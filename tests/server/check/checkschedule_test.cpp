// `sondrix check` with a per-domain limit and greylisting re-checks, with the
// real components against fake DNS and mail servers. Runs inside a private
// network namespace (mail servers listen on 127.0.0.x port 25).

#include "checkcommand.h"
#include "fakednsserver.h"
#include "fakesmtpserver.h"
#include "realcomponents.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace corvanta;
using namespace corvanta::testing;

namespace {

class CheckSchedule : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(m_dns.start(QHostAddress::LocalHost, 0, &error)) << error.toStdString();
    }

    void addDomain(const QString& domain, int last, const FakeSmtpBehaviour& behaviour)
    {
        const QHostAddress mx(QStringLiteral("127.0.0.%1").arg(last));
        m_dns.setMx(domain, {{10, QStringLiteral("mx.") + domain}});
        m_dns.setAddresses(QStringLiteral("mx.") + domain, {mx});
        QString error;
        ASSERT_TRUE(m_smtp.add(mx, behaviour, &error)) << error.toStdString();
    }

    QStringList check(QStringList args)
    {
        args = QStringList{"--dns-server", QStringLiteral("127.0.0.1:%1").arg(m_dns.port()),
                           "--smtp-timeout", "3"} +
               args;
        QBuffer in, out, err;
        in.open(QIODevice::ReadOnly);
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        EXPECT_EQ(runCheckCommand(args, realComponentFactory(), in, out, err), 0)
            << err.data().toStdString();
        return QString::fromUtf8(out.data()).split(u'\n', Qt::SkipEmptyParts);
    }

    FakeDnsServer m_dns;
    FakeSmtpServers m_smtp;
};

TEST_F(CheckSchedule, AGreylistedAddressIsValidAfterItsThirdCheck)
{
    FakeSmtpBehaviour grey;
    grey.rcptReplySequence = {"450 4.2.0 Greylisted, come back later",
                              "450 4.2.0 Greylisted, come back later"};
    addDomain(QStringLiteral("grey.test"), 31, grey);
    addDomain(QStringLiteral("plain.test"), 32, {});
    QElapsedTimer clock;
    clock.start();
    const QStringList lines =
        check({"--jobs", "4", "--greylist-retry", "0.2,0.4", "u@grey.test", "v@plain.test"});
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("0\tu@grey.test")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("0\tv@plain.test")) << lines[1].toStdString();
    EXPECT_EQ(m_smtp.connections(QHostAddress(QStringLiteral("127.0.0.31"))), 3);
    EXPECT_GE(clock.elapsed(), 600);

    // Past the last re-check the 4xx stays the outcome.
    FakeSmtpBehaviour always;
    always.rcptReply = "450 4.2.0 Greylisted, come back later";
    addDomain(QStringLiteral("always.test"), 33, always);
    const QStringList last = check({"--greylist-retry", "0.1", "w@always.test"});
    ASSERT_EQ(last.size(), 1);
    EXPECT_FALSE(last[0].startsWith("0\t")) << last[0].toStdString();
    EXPECT_TRUE(last[0].contains("450 4.2.0")) << last[0].toStdString();
    EXPECT_EQ(m_smtp.connections(QHostAddress(QStringLiteral("127.0.0.33"))), 2);
}

TEST_F(CheckSchedule, PerDomainLimitHoldsWhileOtherDomainsGoFirst)
{
    FakeSmtpBehaviour slow;
    slow.replyDelayMs = 30;
    addDomain(QStringLiteral("big.test"), 41, slow);
    addDomain(QStringLiteral("small.test"), 42, slow);
    QStringList args{"--jobs", "10", "--per-domain", "2"};
    for (int i = 0; i < 12; ++i)
        args << QStringLiteral("u%1@big.test").arg(i);
    args << "a@small.test"
         << "b@small.test";
    const QStringList lines = check(args);
    ASSERT_EQ(lines.size(), 14);
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(lines[i].startsWith(QStringLiteral("0\tu%1@big.test").arg(i)))
            << lines[i].toStdString();
    EXPECT_LE(m_smtp.peakConnections(QHostAddress(QStringLiteral("127.0.0.41"))), 2);
    // The small domain's addresses did not wait behind the big one's.
    EXPECT_EQ(m_smtp.peakConnections(QHostAddress(QStringLiteral("127.0.0.42"))), 2);
}

} // namespace
