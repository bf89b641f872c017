#include "dnscache.h"
#include "dnsresolver.h"
#include "fakednsserver.h"
#include "nettestutil.h"

#include <ares.h>
#include <atomic>

namespace corvanta::testing {
namespace {

const QHostAddress DnsAddress(QStringLiteral("127.0.0.53"));

class DnsCacheTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(m_dns.start(DnsAddress, 53, &error)) << error.toStdString();
    }

    std::unique_ptr<DnsResolver> resolver(int timeoutMs = 2000, int port = 53,
                                          DnsCache* cache = nullptr)
    {
        auto r = std::make_unique<DnsResolver>(cache ? cache : &m_cache);
        r->setServer(DnsAddress.toString());
        r->setPort(port);
        r->setTimeout(timeoutMs);
        return r;
    }

    qsizetype asked(const QString& question) const { return m_dns.queries().count(question); }

    FakeDnsServer m_dns;
    std::atomic<qint64> m_nowMs{0};
    DnsCache m_cache{3, [this] {
                         return m_nowMs.load();
                     }};
};

TEST_F(DnsCacheTest, KeepsDefiniteAnswersForTheirTimeAndNothingElse)
{
    struct Case
    {
        const char* name;
        FakeDnsZone zone;
        bool mx;            // an MX look-up, else an address look-up
        qint64 keptSeconds; // 0: never kept
    };
    const QList<FakeMx> oneMx{{10, QStringLiteral("mx.test")}};
    const QList<QHostAddress> oneAddress{QHostAddress(QStringLiteral("127.0.0.25"))};
    using R = FakeDnsZone::Reply;
    const Case cases[] = {
        {"mx.a.test", {R::Answer, oneMx, {}, 0, 30}, true, 30},
        {"mx.b.test", {R::Answer, oneMx, {}, 0, 0}, true, 0},
        {"nodata.test", {R::Answer, {}, oneAddress, 0, 300, 60}, true, 60},
        {"nx.test", {R::NxDomain, {}, {}, 0, 300, 120}, true, 120},
        {"nx.long.test", {R::NxDomain, {}, {}, 0, 300, 86400}, true, 3600},
        {"nx.nosoa.test", {R::NxDomain, {}, {}, 0, 300, -1}, true, 0},
        {"servfail.test", {R::ServFail, {}, {}, 0, 300, 600}, true, 0},
        {"host.test", {R::Answer, {}, oneAddress, 0, 45, 100}, false, 45},
        {"nohost.test", {R::NxDomain, {}, {}, 0, 300, 90}, false, 90},
    };
    for (const Case& c : cases) {
        const QString name = QString::fromLatin1(c.name);
        m_dns.setZone(name, c.zone);
        m_cache.clear();
        m_nowMs = 0;
        const auto r = resolver();
        const auto ask = [&] {
            try {
                if (c.mx)
                    r->queryMx(QStringLiteral("u@") + name);
                else
                    r->resolveHost(name);
            } catch (const ComponentException&) {
            }
        };
        const QString question = (c.mx ? QStringLiteral("MX ") : QStringLiteral("A ")) + name;
        const qsizetype before = asked(question);
        ask();
        m_nowMs = c.keptSeconds * 1000 - 1;
        ask();
        EXPECT_EQ(asked(question) - before, c.keptSeconds > 0 ? 1 : 2) << c.name;
        m_nowMs = c.keptSeconds * 1000;
        ask();
        EXPECT_EQ(asked(question) - before, c.keptSeconds > 0 ? 2 : 3) << c.name << " expired";
    }
}

TEST_F(DnsCacheTest, CachedAnswersReadAsFreshOnes)
{
    m_dns.setMx(QStringLiteral("order.test"),
                {{20, QStringLiteral("b.order.test")}, {10, QStringLiteral("a.order.test")}});
    m_dns.setZone(QStringLiteral("nx.test"), {FakeDnsZone::Reply::NxDomain, {}, {}, 0, 300, 60});
    const auto r = resolver();
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(r->queryMx(QStringLiteral("u@order.test")).hosts,
                  (QStringList{QStringLiteral("a.order.test"), QStringLiteral("b.order.test")}));
        const ComponentError mx = errorOf([&] { r->queryMx(QStringLiteral("u@nx.test")); });
        EXPECT_EQ(mx.number, ARES_ENOTFOUND);
        EXPECT_TRUE(mx.description.contains(QLatin1String("NXDOMAIN")));
        const ComponentError host = errorOf([&] { r->resolveHost(QStringLiteral("nx.test")); });
        EXPECT_EQ(host.number, ARES_ENOTFOUND);
    }
    EXPECT_EQ(m_dns.queries().size(), 4); // MX twice, A and AAAA once each
}

TEST_F(DnsCacheTest, AnswersAreKeptPerServerPortAndSwitchedOffOnRequest)
{
    m_dns.setMx(QStringLiteral("x.test"), {{10, QStringLiteral("mx.x.test")}});
    resolver()->queryMx(QStringLiteral("u@x.test"));
    // Nothing serves port 54: a hit would hide that.
    const ComponentError other =
        errorOf([&] { resolver(300, 54)->queryMx(QStringLiteral("u@x.test")); });
    EXPECT_EQ(other.number, ARES_ECONNREFUSED);

    m_cache.setEnabled(false);
    resolver()->queryMx(QStringLiteral("u@x.test"));
    EXPECT_EQ(asked(QStringLiteral("MX x.test")), 2);
}

TEST_F(DnsCacheTest, TheLeastRecentlyUsedAnswerMakesRoom)
{
    for (const char* name : {"a.test", "b.test", "c.test", "d.test"})
        m_dns.setMx(QString::fromLatin1(name), {{10, QStringLiteral("mx.test")}});
    const auto r = resolver();
    for (const char* name : {"a", "b", "c", "a", "d", "a", "c", "b"})
        r->queryMx(QStringLiteral("u@%1.test").arg(QLatin1String(name)));
    // Capacity 3: d pushed b out (a and c were used later), b then pushed d.
    EXPECT_EQ(asked(QStringLiteral("MX a.test")), 1);
    EXPECT_EQ(asked(QStringLiteral("MX b.test")), 2);
    EXPECT_EQ(asked(QStringLiteral("MX c.test")), 1);
    EXPECT_EQ(m_cache.size(), 3);
}

TEST_F(DnsCacheTest, ManyObjectsAtFewDomainsAskOncePerDomain)
{
    DnsCache cache; // room for all ten
    m_dns.setRecordQueries(true);
    for (int d = 0; d < 10; ++d)
        m_dns.setZone(QStringLiteral("d%1.test").arg(d),
                      {FakeDnsZone::Reply::Answer, {{10, QStringLiteral("mx.test")}}, {}, 50});
    std::atomic<int> answered{0};
    // 100 objects at once, ten addresses each: 1,000 addresses.
    onThreads(100, [&](int i) {
        const auto r = resolver(5000, 53, &cache);
        for (int k = 0; k < 10; ++k)
            if (r->queryMx(QStringLiteral("u%1@d%2.test").arg(i).arg((i + k) % 10)).hosts.size() ==
                1)
                ++answered;
    });
    EXPECT_EQ(answered.load(), 1000);
    EXPECT_LE(m_dns.queries().size(), 10);
}

TEST_F(DnsCacheTest, AWaiterKeepsItsOwnTimeOutAndCancelAndIsNotHandedAnotherTimeOut)
{
    // The first asker gives up before the slow answer comes; the second,
    // waiting with a longer time-out, asks again rather than fail with it.
    m_dns.setZone(QStringLiteral("slow.test"),
                  {FakeDnsZone::Reply::Answer, {{10, QStringLiteral("mx.test")}}, {}, 600});
    std::atomic<int> firstError{0};
    std::atomic<int> secondHosts{-1};
    onThreads(2, [&](int i) {
        const auto r = resolver(i == 0 ? 300 : 3000);
        if (i == 1)
            QThread::msleep(100);
        try {
            secondHosts = int(r->queryMx(QStringLiteral("u@slow.test")).hosts.size());
        } catch (const ComponentException& e) {
            firstError = e.error().number;
        }
    });
    EXPECT_EQ(firstError.load(), ARES_ETIMEOUT);
    EXPECT_EQ(secondHosts.load(), 1);
    EXPECT_EQ(m_cache.size(), 1);

    // Cancel ends a wait at once.
    m_dns.setZone(QStringLiteral("slower.test"),
                  {FakeDnsZone::Reply::Answer, {{10, QStringLiteral("mx.test")}}, {}, 1000});
    std::atomic<qint64> waitedMs{-1};
    std::atomic<int> waitError{0};
    onThreads(2, [&](int i) {
        const auto r = resolver(5000);
        if (i == 1) {
            QThread::msleep(100);
            QTimer::singleShot(100, [&r] { r->cancel(); });
            waitedMs = millisecondsOf([&] {
                waitError = errorOf([&] { r->queryMx(QStringLiteral("u@slower.test")); }).number;
            });
        } else {
            r->queryMx(QStringLiteral("u@slower.test"));
        }
    });
    EXPECT_EQ(waitError.load(), ARES_ECANCELLED);
    EXPECT_LT(waitedMs.load(), 100 + SlackMs);
    EXPECT_EQ(asked(QStringLiteral("MX slower.test")), 1);
}

} // namespace
} // namespace corvanta::testing
