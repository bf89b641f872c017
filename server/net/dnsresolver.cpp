#include "dnsresolver.h"

#include "componenterror.h"
#include "dnscache.h"
#include "eventwait.h"
#include "mxanswer.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QThread>
#include <algorithm>
#include <ares.h>
#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <cstring>
#include <mutex>
#include <netdb.h>

namespace corvanta {

namespace {

void initLibraryOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { ares_library_init(ARES_LIB_INIT_ALL); });
}

// `what` names the subject as it reads inside a sentence ("the domain
// x.test"); a sentence that starts with it gets its first letter in capitals.
QString describeStatus(int status, const QString& what)
{
    const QString subject = what.left(1).toUpper() + what.mid(1);
    switch (status) {
    case ARES_ENOTFOUND:
        return QStringLiteral("%1 does not exist (NXDOMAIN)").arg(subject);
    case ARES_ESERVFAIL:
        return QStringLiteral("The DNS server failed to answer for %1 (SERVFAIL)").arg(what);
    case ARES_EREFUSED:
        return QStringLiteral("The DNS server refused the query for %1").arg(what);
    case ARES_ECONNREFUSED:
        return QStringLiteral("Could not contact the DNS server for %1").arg(what);
    case ARES_EFORMERR:
    case ARES_EBADRESP:
        return QStringLiteral("The DNS server sent a malformed reply for %1").arg(what);
    case ARES_ENOTIMP:
        return QStringLiteral("The DNS server does not support the query for %1").arg(what);
    case ARES_EBADNAME:
        return QStringLiteral("The name of %1 is not valid").arg(what);
    default:
        return QStringLiteral("The DNS look-up of %1 failed: %2")
            .arg(what, QString::fromLatin1(ares_strerror(status)));
    }
}

} // namespace

// One outstanding c-ares query and what came back for it. It lives on the
// stack of the blocking call, which waits until c-ares has called back.
struct DnsResolver::Query
{
    enum class Kind
    {
        Mx,
        A,
        Aaaa,
        Host
    };

    DnsResolver* resolver = nullptr;
    Kind kind = Kind::Mx;
    int status = ARES_ENODATA;
    bool done = false;
    QList<MxRecord> mx;
    QList<QHostAddress> addresses;
    std::optional<qint64> ttl; // how long the answer may be kept, if it says

    static void callback(void* arg, int status, int /*timeouts*/, unsigned char* abuf, int alen)
    {
        auto* query = static_cast<Query*>(arg);
        query->status = status;
        if (status == ARES_SUCCESS)
            query->parse(abuf, alen);
        if (query->status == ARES_SUCCESS || query->status == ARES_ENODATA ||
            query->status == ARES_ENOTFOUND)
            query->ttl = dnsAnswerTtl(abuf, alen, query->status == ARES_SUCCESS);
        query->done = true;
        query->resolver->queryFinished();
    }

    static void hostCallback(void* arg, int status, int /*timeouts*/, hostent* host)
    {
        auto* query = static_cast<Query*>(arg);
        query->status = status;
        if (status == ARES_SUCCESS && host && host->h_addrtype == AF_INET) {
            for (char** p = host->h_addr_list; *p; ++p) {
                quint32 raw;
                std::memcpy(&raw, *p, sizeof raw);
                query->addresses.append(QHostAddress(ntohl(raw)));
            }
        }
        query->done = true;
        query->resolver->queryFinished();
    }

    void parse(const unsigned char* abuf, int alen)
    {
        if (kind == Kind::Mx) {
            ares_mx_reply* reply = nullptr;
            status = ares_parse_mx_reply(abuf, alen, &reply);
            if (status != ARES_SUCCESS)
                return;
            mx = mxRecordsFrom(reply);
            ares_free_data(reply);
        } else if (kind == Kind::A) {
            ares_addrttl addrs[64];
            int count = 64;
            status = ares_parse_a_reply(abuf, alen, nullptr, addrs, &count);
            if (status != ARES_SUCCESS)
                return;
            for (int i = 0; i < count; ++i)
                addresses.append(QHostAddress(ntohl(addrs[i].ipaddr.s_addr)));
        } else if (kind == Kind::Aaaa) {
            ares_addr6ttl addrs[64];
            int count = 64;
            status = ares_parse_aaaa_reply(abuf, alen, nullptr, addrs, &count);
            if (status != ARES_SUCCESS)
                return;
            for (int i = 0; i < count; ++i)
                addresses.append(QHostAddress(addrs[i].ip6addr._S6_un._S6_u8));
        }
    }
};

DnsResolver::DnsResolver(DnsCache* cache) : m_cache(cache)
{
    initLibraryOnce();
    m_retryTimer.setSingleShot(true);
    m_deadlineTimer.setSingleShot(true);
    // Coarse timers may fire a little early; a look-up must use its time.
    m_retryTimer.setTimerType(Qt::PreciseTimer);
    m_deadlineTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_retryTimer, &QTimer::timeout,
                     [this] { processFd(ARES_SOCKET_BAD, ARES_SOCKET_BAD); });
    QObject::connect(&m_deadlineTimer, &QTimer::timeout, [this] {
        if (!m_running)
            return;
        m_timedOut = true;
        if (m_channel)
            ares_cancel(m_channel);
    });
}

DnsResolver::~DnsResolver()
{
    // No notifier signal can be running now: delete them at once rather than
    // rely on an event loop that may never run again on this thread.
    for (Notifiers& n : m_notifiers) {
        delete n.read.data();
        delete n.write.data();
    }
    m_notifiers.clear();
    destroyChannel();
}

// Ends the caller's flight in the cache however the look-up ends: with an
// answer others may share (finish), or without one (left by an exception, or
// a failure that may pass), so that waiters ask for themselves.
class DnsResolver::FlightGuard
{
public:
    FlightGuard(DnsResolver* resolver, const DnsCache::Key& key)
        : m_cache(resolver->cacheOn() ? resolver->m_cache : nullptr), m_key(key)
    {}
    ~FlightGuard()
    {
        if (m_cache)
            m_cache->abandon(m_key);
    }
    FlightGuard(const FlightGuard&) = delete;
    FlightGuard& operator=(const FlightGuard&) = delete;

    void finish(const DnsCache::Answer& answer, std::optional<qint64> ttl)
    {
        const bool definite = answer.status == ARES_SUCCESS || answer.status == ARES_ENODATA ||
                              answer.status == ARES_ENOTFOUND;
        if (!m_cache || !definite)
            return;
        m_cache->finish(m_key, answer, ttl.value_or(0));
        m_cache = nullptr;
    }

private:
    DnsCache* m_cache;
    DnsCache::Key m_key;
};

bool DnsResolver::cacheOn() const
{
    return m_cache && m_cache->isEnabled();
}

DnsCache::Key DnsResolver::cacheKey(const QByteArray& name, int kind) const
{
    return DnsCache::Key{m_server, m_port, name, kind};
}

std::optional<DnsCache::Answer>
DnsResolver::awaitCached(const DnsCache::Key& key, QDeadlineTimer deadline, const QString& subject)
{
    if (!cacheOn())
        return std::nullopt;
    for (;;) {
        const DnsCache::Ticket ticket = m_cache->acquire(key);
        if (ticket.hit || ticket.owner)
            return ticket.hit;
        DnsCache::Flight& flight = *ticket.wait;
        QAbstractEventDispatcher* dispatcher = QThread::currentThread()->eventDispatcher();
        if (!dispatcher)
            return std::nullopt; // nothing could wake the wait: ask directly
        m_cache->addWaiter(flight, dispatcher);
        m_running = true;
        m_deadlineTimer.start(std::max<qint64>(0, deadline.remainingTime()));
        const bool served =
            serveEventsUntil([&] { return m_cancelled || m_timedOut || m_cache->isDone(flight); });
        m_running = false;
        m_deadlineTimer.stop();
        m_cache->removeWaiter(flight, dispatcher);
        if (!served)
            m_cancelled = true;
        throwIfInterrupted(ARES_SUCCESS, subject);
        // Done: with the owner's answer, or without one, then ask again.
        if (flight.answer)
            return flight.answer;
    }
}

void DnsResolver::setTimeout(int milliseconds)
{
    m_timeoutMs = milliseconds;
}

void DnsResolver::setServer(const QString& server)
{
    m_server = server.trimmed();
}

void DnsResolver::setPort(int port)
{
    m_port = port;
}

int DnsResolver::effectiveTimeout() const
{
    return m_timeoutMs > 0 ? m_timeoutMs : DefaultTimeoutMs;
}

void DnsResolver::cancel()
{
    if (!m_running)
        return;
    m_cancelled = true;
    if (m_channel)
        ares_cancel(m_channel);
}

DnsResolver::MxLists DnsResolver::queryMx(const QString& address)
{
    const QString domain = address.mid(address.lastIndexOf(QLatin1Char('@')) + 1);
    const QByteArray name = dnsQueryName(domain);
    if (name.isEmpty())
        throw ComponentException(ARES_EBADNAME,
                                 QStringLiteral("\"%1\" is not a valid domain name").arg(domain));

    QDeadlineTimer deadline(effectiveTimeout());
    beginRun();
    const DnsCache::Key key = cacheKey(name, int(Query::Kind::Mx));
    std::optional<DnsCache::Answer> answer = awaitCached(key, deadline, domain);
    if (!answer) {
        FlightGuard flight(this, key);
        ensureChannel(deadline);
        Query query;
        query.resolver = this;
        query.kind = Query::Kind::Mx;
        ++m_outstanding;
        ares_query(m_channel, name.constData(), ns_c_in, ns_t_mx, &Query::callback, &query);
        runUntilDone(deadline);
        throwIfInterrupted(query.status, domain);
        answer = DnsCache::Answer{query.status, query.mx, {}};
        flight.finish(*answer, query.ttl);
    }

    const QString what = QStringLiteral("the domain ") + domain;
    if (answer->status == ARES_ENODATA)
        return {};
    if (answer->status != ARES_SUCCESS)
        throw ComponentException(answer->status, describeStatus(answer->status, what));

    return orderMxRecords(answer->mx);
}

QList<QHostAddress> DnsResolver::resolveHost(const QString& hostName)
{
    QString host = hostName.trimmed();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    QHostAddress literal;
    if (literal.setAddress(host))
        return {literal};
    const QByteArray name = dnsQueryName(host);
    if (name.isEmpty())
        throw ComponentException(ARES_EBADNAME,
                                 QStringLiteral("\"%1\" is not a valid host name").arg(hostName));

    QDeadlineTimer deadline(effectiveTimeout());
    beginRun();
    const DnsCache::Key key = cacheKey(name, int(Query::Kind::Host));
    if (const std::optional<DnsCache::Answer> cached = awaitCached(key, deadline, host)) {
        if (!cached->addresses.isEmpty())
            return cached->addresses;
        if (cached->status == ARES_ENOTFOUND)
            throw ComponentException(
                cached->status, describeStatus(cached->status, QStringLiteral("the host ") + host));
        throw ComponentException(ARES_ENODATA,
                                 QStringLiteral("The host %1 has no address").arg(host));
    }
    FlightGuard flight(this, key);
    ensureChannel(deadline);

    // Both families at once, so a server slow on one costs no extra time.
    Query a, aaaa;
    a.resolver = aaaa.resolver = this;
    a.kind = Query::Kind::A;
    aaaa.kind = Query::Kind::Aaaa;
    m_outstanding += 2;
    ares_query(m_channel, name.constData(), ns_c_in, ns_t_a, &Query::callback, &a);
    ares_query(m_channel, name.constData(), ns_c_in, ns_t_aaaa, &Query::callback, &aaaa);
    runUntilDone(deadline);

    const QString what = QStringLiteral("the host ") + host;
    if (m_cancelled || m_timedOut)
        throwIfInterrupted(ARES_ECANCELLED, host);
    QList<QHostAddress> addresses = a.addresses + aaaa.addresses;
    if (!addresses.isEmpty()) {
        // A family without addresses and without a stated negative time
        // says nothing about how long the other family's answer holds.
        std::optional<qint64> ttl;
        for (const Query* q : {&a, &aaaa})
            if (q->ttl)
                ttl = std::min(ttl.value_or(*q->ttl), *q->ttl);
        flight.finish({ARES_SUCCESS, {}, addresses}, ttl);
        return addresses;
    }
    throwIfInterrupted(a.status, host);
    throwIfInterrupted(aaaa.status, host);
    // Report the more telling of the two failures; "no data" says least.
    const int status =
        a.status != ARES_SUCCESS && a.status != ARES_ENODATA ? a.status : aaaa.status;
    if (status == ARES_SUCCESS || status == ARES_ENODATA || status == ARES_ENOTFOUND) {
        const std::optional<qint64> ttl =
            a.ttl && aaaa.ttl ? std::optional(std::min(*a.ttl, *aaaa.ttl)) : std::nullopt;
        flight.finish({status == ARES_ENOTFOUND ? ARES_ENOTFOUND : ARES_ENODATA, {}, {}}, ttl);
    }
    if (status == ARES_SUCCESS || status == ARES_ENODATA)
        throw ComponentException(ARES_ENODATA,
                                 QStringLiteral("The host %1 has no address").arg(host));
    throw ComponentException(status, describeStatus(status, what));
}

QHostAddress DnsResolver::resolveServerName(const QString& name, QDeadlineTimer deadline)
{
    const QByteArray ace = dnsQueryName(name);
    if (ace.isEmpty())
        throw ComponentException(ARES_EBADNAME,
                                 QStringLiteral("\"%1\" is not a valid DNS server").arg(name));
    // The channel still has the system's set-up here, hosts file included.
    Query query;
    query.resolver = this;
    query.kind = Query::Kind::Host;
    ++m_outstanding;
    ares_gethostbyname(m_channel, ace.constData(), AF_INET, &Query::hostCallback, &query);
    runUntilDone(deadline);
    throwIfInterrupted(query.status, QStringLiteral("the DNS server ") + name);
    if (query.status != ARES_SUCCESS || query.addresses.isEmpty())
        throw ComponentException(
            query.status == ARES_SUCCESS ? ARES_ENODATA : query.status,
            QStringLiteral("Could not find the address of the DNS server %1").arg(name));
    return query.addresses.first();
}

} // namespace corvanta
