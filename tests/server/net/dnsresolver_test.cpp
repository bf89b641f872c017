#include "dnsmasqserver.h"
#include "dnsresolver.h"
#include "fakednsserver.h"
#include "nettestutil.h"

#include <ares.h>

namespace corvanta::testing {
namespace {

const QHostAddress DnsAddress(QStringLiteral("127.0.0.53"));

class DnsResolverTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(m_dns.start(DnsAddress, 53, &error))
            << "cannot serve DNS on 127.0.0.53:53 (is this a private network namespace?): "
            << error.toStdString();
        m_resolver.setServer(DnsAddress.toString());
        m_resolver.setPort(53);
        m_resolver.setTimeout(2000);
    }

    FakeDnsServer m_dns;
    DnsResolver m_resolver;
};

TEST_F(DnsResolverTest, ListsMailServersByPreferenceKeepingTheOrderOfEqualOnesOrNone)
{
    // A root entry among real ones names no host and is left out.
    m_dns.setMx(QStringLiteral("order.test"), {{20, QStringLiteral("b.order.test")},
                                               {10, QStringLiteral("a.order.test")},
                                               {0, QStringLiteral(".")},
                                               {20, QStringLiteral("c.order.test")},
                                               {5, QStringLiteral("d.order.test")}});
    // Only the part after the last "@" is the domain.
    const auto lists = m_resolver.queryMx(QStringLiteral("x@first.test@ORDER.test"));
    const QStringList expected{QStringLiteral("d.order.test"), QStringLiteral("a.order.test"),
                               QStringLiteral("b.order.test"), QStringLiteral("c.order.test")};
    EXPECT_EQ(lists.hosts, expected);
    EXPECT_EQ(lists.alternates.size(), lists.hosts.size());
    EXPECT_EQ(m_dns.queries(), QStringList{QStringLiteral("MX order.test")});

    // No data is an empty answer, not an error.
    m_dns.setAddresses(QStringLiteral("nodata.test"), {QHostAddress(QStringLiteral("127.0.0.9"))});
    const auto none = m_resolver.queryMx(QStringLiteral("user@nodata.test"));
    EXPECT_TRUE(none.hosts.isEmpty());
    EXPECT_TRUE(none.alternates.isEmpty());
}

// Each failure is one sentence a user can read in the report.
TEST_F(DnsResolverTest, FailuresBecomeReadableErrors)
{
    m_dns.setReply(QStringLiteral("servfail.test"), FakeDnsZone::Reply::ServFail);
    m_dns.setReply(QStringLiteral("refused.test"), FakeDnsZone::Reply::Refused);
    m_dns.setReply(QStringLiteral("garbled.test"), FakeDnsZone::Reply::Garbled);
    m_dns.setMx(QStringLiteral("nullmx.test"), {{0, QStringLiteral(".")}});
    DnsResolver unreachable; // nothing listens on 127.0.0.54:53
    unreachable.setServer(QStringLiteral("127.0.0.54"));
    unreachable.setTimeout(2000);
    struct Case
    {
        DnsResolver* resolver;
        const char* address;
        int number;
        const char* text;
    } cases[] = {
        {&m_resolver, "user@missing.test", ARES_ENOTFOUND,
         "The domain missing.test does not exist (NXDOMAIN)"},
        {&m_resolver, "user@servfail.test", ARES_ESERVFAIL,
         "The DNS server failed to answer for the domain servfail.test (SERVFAIL)"},
        {&m_resolver, "user@refused.test", ARES_EREFUSED,
         "The DNS server refused the query for the domain refused.test"},
        {&m_resolver, "user@garbled.test", ARES_EBADRESP,
         "The DNS server sent a malformed reply for the domain garbled.test"},
        {&m_resolver, "user@nullmx.test", ARES_ENODATA, "The domain accepts no mail (null MX)"},
        {&unreachable, "user@lat0.test", ARES_ECONNREFUSED,
         "Could not contact the DNS server for the domain lat0.test"},
        {&m_resolver, "user@", ARES_EBADNAME, "\"\" is not a valid domain name"},
        {&m_resolver, "user@bad name.test", ARES_EBADNAME,
         "\"bad name.test\" is not a valid domain name"},
    };
    for (const Case& c : cases) {
        const ComponentError error =
            errorOf([&] { c.resolver->queryMx(QString::fromLatin1(c.address)); });
        EXPECT_EQ(error.number, c.number) << c.address;
        EXPECT_EQ(error.description, QString::fromLatin1(c.text)) << c.address;
    }
    EXPECT_EQ(
        errorOf([&] { m_resolver.resolveHost(QStringLiteral("mx.missing.test")); }).description,
        QStringLiteral("The host mx.missing.test does not exist (NXDOMAIN)"));
}

TEST_F(DnsResolverTest, ASilentServerCostsNoMoreThanTheTimeOut)
{
    m_dns.setReply(QStringLiteral("silent.test"), FakeDnsZone::Reply::Silence);
    for (const int timeoutMs : {300, 900}) {
        m_resolver.setTimeout(timeoutMs);
        ComponentError error;
        const qint64 elapsed = millisecondsOf(
            [&] { error = errorOf([&] { m_resolver.queryMx(QStringLiteral("u@silent.test")); }); });
        EXPECT_EQ(error.number, ARES_ETIMEOUT);
        EXPECT_TRUE(error.description.contains(QLatin1String("timed out")));
        // c-ares' own retry clock may end it a little before our deadline.
        EXPECT_GE(elapsed, timeoutMs * 9 / 10);
        EXPECT_LE(elapsed, timeoutMs + SlackMs);
    }
    // Retries did happen within the budget: more than one question was asked.
    EXPECT_GT(m_dns.queries().size(), 2);
}

// Events served during a look-up may neither start another one nor be kept
// from cancelling it.
TEST_F(DnsResolverTest, EventsDuringALookUpCannotNestButCanCancelItAtOnce)
{
    m_dns.setReply(QStringLiteral("silent.test"), FakeDnsZone::Reply::Silence);
    m_dns.setMx(QStringLiteral("fine.test"), {{10, QStringLiteral("mx.fine.test")}});
    m_resolver.setTimeout(10000);
    ComponentError nested;
    QTimer::singleShot(
        50, [&] { nested = errorOf([&] { m_resolver.queryMx(QStringLiteral("u@fine.test")); }); });
    QTimer::singleShot(100, [&] { m_resolver.cancel(); });
    ComponentError error;
    const qint64 elapsed = millisecondsOf(
        [&] { error = errorOf([&] { m_resolver.queryMx(QStringLiteral("u@silent.test")); }); });
    EXPECT_TRUE(nested.description.contains(QLatin1String("already in progress")));
    EXPECT_EQ(error.number, ARES_ECANCELLED);
    EXPECT_LE(elapsed, 100 + SlackMs);
    EXPECT_GE(elapsed, 90) << "the refused nested look-up ended the outer one";

    EXPECT_EQ(m_resolver.queryMx(QStringLiteral("u@fine.test")).hosts,
              QStringList{QStringLiteral("mx.fine.test")});
    m_resolver.cancel(); // nothing pending: no effect on what follows
    EXPECT_EQ(m_resolver.queryMx(QStringLiteral("u@fine.test")).hosts.size(), 1);
}

TEST_F(DnsResolverTest, AThreadThatQuitsDuringALookUpEndsWithoutWaitingForTheTimeOut)
{
    m_dns.setReply(QStringLiteral("silent.test"), FakeDnsZone::Reply::Silence);
    int number = 0;
    const qint64 elapsed = millisecondsUntilThreadEnds(
        [&] {
            DnsResolver resolver;
            resolver.setServer(DnsAddress.toString());
            resolver.setTimeout(20000);
            number = errorOf([&] { resolver.queryMx(QStringLiteral("u@silent.test")); }).number;
        },
        200);
    EXPECT_GE(elapsed, 0) << "the thread did not end";
    EXPECT_LE(elapsed, SlackMs);
    EXPECT_EQ(number, ARES_ECANCELLED);
}

TEST_F(DnsResolverTest, ResolvesHostsToBothFamiliesAndTakesLiteralsAsTheyAre)
{
    const QHostAddress v4(QStringLiteral("127.0.0.7"));
    const QHostAddress v6(QStringLiteral("fd00::7"));
    m_dns.setAddresses(QStringLiteral("mx.host.test"), {v6, v4});
    const QList<QHostAddress> both = m_resolver.resolveHost(QStringLiteral("mx.host.test"));
    EXPECT_EQ(both, (QList<QHostAddress>{v4, v6}));

    m_dns.clear();
    EXPECT_EQ(m_resolver.resolveHost(QStringLiteral("127.0.0.8")),
              QList<QHostAddress>{QHostAddress(QStringLiteral("127.0.0.8"))});
    EXPECT_EQ(m_resolver.resolveHost(QStringLiteral("[::1]")),
              QList<QHostAddress>{QHostAddress(QStringLiteral("::1"))});
    EXPECT_TRUE(m_dns.queries().isEmpty()) << "a literal needs no question";

    m_dns.setMx(QStringLiteral("noaddress.test"), {{10, QStringLiteral("x")}});
    EXPECT_TRUE(errorOf([&] {
                    m_resolver.resolveHost(QStringLiteral("noaddress.test"));
                }).description.contains(QLatin1String("no address")));
    EXPECT_EQ(errorOf([&] { m_resolver.resolveHost(QStringLiteral("gone.test")); }).number,
              ARES_ENOTFOUND);
}

// Also: a server given by name, on a port other than 53.
TEST(DnsResolverDnsmasq, AnswersFromARealServerAreOrderedAndResolved)
{
    QList<DnsmasqServer::Mx> mx{{QStringLiteral("real.test"), QStringLiteral("mx2.real.test"), 20},
                                {QStringLiteral("real.test"), QStringLiteral("mx1.real.test"), 10}};
    // Too many records for one UDP answer: dnsmasq truncates it and the
    // resolver has to ask again over TCP.
    QStringList bigHosts;
    for (int i = 40; i >= 1; --i) {
        const QString host = QStringLiteral("mail-exchanger-number-%1.big.test").arg(i);
        mx.append({QStringLiteral("big.test"), host, i});
        bigHosts.prepend(host);
    }
    DnsmasqServer dnsmasq;
    QString error;
    ASSERT_TRUE(dnsmasq.start(
        QHostAddress::LocalHost, 5353, mx,
        {{QStringLiteral("mx1.real.test"), QHostAddress(QStringLiteral("127.0.0.21"))}}, &error))
        << error.toStdString();
    DnsResolver resolver;
    resolver.setServer(QStringLiteral("localhost")); // from the hosts file
    resolver.setPort(5353);
    resolver.setTimeout(2000);
    EXPECT_EQ(resolver.queryMx(QStringLiteral("someone@real.test")).hosts,
              (QStringList{QStringLiteral("mx1.real.test"), QStringLiteral("mx2.real.test")}));
    EXPECT_EQ(resolver.resolveHost(QStringLiteral("mx1.real.test")),
              QList<QHostAddress>{QHostAddress(QStringLiteral("127.0.0.21"))});
    EXPECT_EQ(resolver.queryMx(QStringLiteral("someone@big.test")).hosts, bigHosts);

    resolver.setPort(5354); // nobody there
    resolver.setTimeout(300);
    EXPECT_THROW(resolver.queryMx(QStringLiteral("u@real.test")), ComponentException);
}

} // namespace
} // namespace corvanta::testing
