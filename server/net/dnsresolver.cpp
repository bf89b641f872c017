#include "dnsresolver.h"

#include "componenterror.h"
#include "eventwait.h"

#include <QSocketNotifier>
#include <QUrl>
#include <algorithm>
#include <ares.h>
#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <cstring>
#include <mutex>
#include <netdb.h>

namespace corvanta {

namespace {

// c-ares doubles its per-try time-out on each retry: with two tries of T/3 and
// 2T/3 the retries of one server fit the whole budget T.
constexpr int TriesPerServer = 2;

void initLibraryOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { ares_library_init(ARES_LIB_INIT_ALL); });
}

QString describeStatus(int status, const QString& what)
{
    switch (status) {
    case ARES_ENOTFOUND:
        return QStringLiteral("%1 does not exist (NXDOMAIN)").arg(what);
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
        return QStringLiteral("%1 is not a valid domain name").arg(what);
    default:
        return QStringLiteral("DNS look-up of %1 failed: %2")
            .arg(what, QString::fromLatin1(ares_strerror(status)));
    }
}

// The domain in the ASCII form DNS needs; empty when it cannot be one.
QByteArray toQueryName(const QString& domain)
{
    if (domain.isEmpty() || domain.contains(QChar(0)))
        return {};
    QByteArray ace = QUrl::toAce(domain);
    if (ace.isEmpty() || ace.size() > 253)
        return {};
    // c-ares reads backslashes as escapes; no real host name contains one.
    if (ace.contains('\\'))
        return {};
    return ace;
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
    QList<QPair<int, QString>> mx; // preference, exchange ("" for the root)
    QList<QHostAddress> addresses;

    static void callback(void* arg, int status, int /*timeouts*/, unsigned char* abuf, int alen)
    {
        auto* query = static_cast<Query*>(arg);
        query->status = status;
        if (status == ARES_SUCCESS)
            query->parse(abuf, alen);
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
            for (ares_mx_reply* r = reply; r; r = r->next) {
                QString host = QString::fromLatin1(r->host);
                if (host == QLatin1String("."))
                    host.clear();
                mx.append({r->priority, host});
            }
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

DnsResolver::DnsResolver()
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
    const QByteArray name = toQueryName(domain);
    if (name.isEmpty())
        throw ComponentException(ARES_EBADNAME,
                                 QStringLiteral("\"%1\" is not a valid domain name").arg(domain));

    QDeadlineTimer deadline(effectiveTimeout());
    beginRun();
    ensureChannel(deadline);

    Query query;
    query.resolver = this;
    query.kind = Query::Kind::Mx;
    ++m_outstanding;
    ares_query(m_channel, name.constData(), ns_c_in, ns_t_mx, &Query::callback, &query);
    runUntilDone(deadline);

    const QString what = QStringLiteral("The domain ") + domain;
    throwIfInterrupted(query.status, domain);
    if (query.status == ARES_ENODATA)
        return {};
    if (query.status != ARES_SUCCESS)
        throw ComponentException(query.status, describeStatus(query.status, what));

    std::stable_sort(query.mx.begin(), query.mx.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    MxLists lists;
    for (const auto& [preference, host] : std::as_const(query.mx)) {
        if (host.isEmpty())
            continue;
        lists.hosts.append(host);
        lists.alternates.append(host);
    }
    if (lists.hosts.isEmpty() && !query.mx.isEmpty())
        throw ComponentException(ARES_ENODATA,
                                 QStringLiteral("The domain accepts no mail (null MX)"));
    return lists;
}

QList<QHostAddress> DnsResolver::resolveHost(const QString& hostName)
{
    QString host = hostName.trimmed();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    QHostAddress literal;
    if (literal.setAddress(host))
        return {literal};
    const QByteArray name = toQueryName(host);
    if (name.isEmpty())
        throw ComponentException(ARES_EBADNAME,
                                 QStringLiteral("\"%1\" is not a valid host name").arg(hostName));

    QDeadlineTimer deadline(effectiveTimeout());
    beginRun();
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

    const QString what = QStringLiteral("The host ") + host;
    if (m_cancelled || m_timedOut)
        throwIfInterrupted(ARES_ECANCELLED, host);
    QList<QHostAddress> addresses = a.addresses + aaaa.addresses;
    if (!addresses.isEmpty())
        return addresses;
    throwIfInterrupted(a.status, host);
    throwIfInterrupted(aaaa.status, host);
    // Report the more telling of the two failures; "no data" says least.
    const int status =
        a.status != ARES_SUCCESS && a.status != ARES_ENODATA ? a.status : aaaa.status;
    if (status == ARES_SUCCESS || status == ARES_ENODATA)
        throw ComponentException(ARES_ENODATA,
                                 QStringLiteral("The host %1 has no address").arg(host));
    throw ComponentException(status, describeStatus(status, what));
}

void DnsResolver::beginRun()
{
    if (m_running)
        throw ComponentException(ARES_EBADQUERY,
                                 QStringLiteral("A DNS look-up is already in progress"));
    m_cancelled = false;
    m_timedOut = false;
    m_outstanding = 0;
}

void DnsResolver::throwIfInterrupted(int status, const QString& subject) const
{
    if (m_timedOut || status == ARES_ETIMEOUT)
        throw ComponentException(ARES_ETIMEOUT,
                                 QStringLiteral("The DNS look-up of %1 timed out after %2 ms")
                                     .arg(subject, QString::number(effectiveTimeout())));
    if (m_cancelled || status == ARES_ECANCELLED || status == ARES_EDESTRUCTION)
        throw ComponentException(
            ARES_ECANCELLED, QStringLiteral("The DNS look-up of %1 was cancelled").arg(subject));
}

void DnsResolver::runUntilDone(QDeadlineTimer deadline)
{
    m_running = true;
    struct Reset
    {
        DnsResolver* self;
        ~Reset()
        {
            self->m_running = false;
            self->m_deadlineTimer.stop();
            self->m_retryTimer.stop();
        }
    } reset{this};

    if (m_outstanding == 0)
        return;
    m_deadlineTimer.start(std::max<qint64>(0, deadline.remainingTime()));
    rearmRetryTimer();
    // Completion, cancel() and the deadline end the wait; so does the thread
    // being asked to end, as a cancel.
    if (!serveEventsUntil([this] { return m_outstanding == 0 || m_cancelled || m_timedOut; }))
        m_cancelled = true;
    // Whatever is still outstanding (the thread is ending, or a query was
    // started after an earlier cancel) is cancelled here: no query may
    // outlive the call that owns its Query.
    if (m_outstanding > 0)
        ares_cancel(m_channel);
    // A query's callback must never run after its Query left the stack.
    if (m_outstanding > 0) {
        destroyChannel();
        m_outstanding = 0;
    }
}

void DnsResolver::queryFinished()
{
    if (m_outstanding > 0)
        --m_outstanding;
}

void DnsResolver::ensureChannel(QDeadlineTimer deadline)
{
    const int timeoutMs = effectiveTimeout();
    if (m_channel && m_channelServer == m_server && m_channelPort == m_port &&
        m_channelTimeoutMs == timeoutMs)
        return;
    destroyChannel();
    QString server = m_server;
    if (server.startsWith(QLatin1Char('[')) && server.endsWith(QLatin1Char(']')))
        server = server.mid(1, server.size() - 2);
    QHostAddress address;
    const bool literal = !server.isEmpty() && address.setAddress(server);
    m_channel = createChannel(literal);
    m_channelTimeoutMs = timeoutMs;

    try {
        if (m_server.isEmpty()) {
            applyPortToSystemServers();
        } else {
            if (!literal)
                address = resolveServerName(server, deadline);
            applyServer(address);
        }
    } catch (...) {
        destroyChannel();
        throw;
    }
    m_channelServer = m_server;
    m_channelPort = m_port;
}

DnsResolver::Channel DnsResolver::createChannel(bool ownServer)
{
    ares_options options{};
    int mask = ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES | ARES_OPT_SOCK_STATE_CB | ARES_OPT_FLAGS;
    if (ownServer) {
        // With the server given as an address nothing of the system's set-up
        // is used: settling every setting here keeps c-ares from reading
        // resolv.conf, nsswitch.conf and the host name for each new channel,
        // which is a good part of what a channel costs. The server list stays
        // empty until applyServer() fills it.
        mask |= ARES_OPT_SERVERS | ARES_OPT_DOMAINS | ARES_OPT_SORTLIST | ARES_OPT_NDOTS |
                ARES_OPT_LOOKUPS | ARES_OPT_NOROTATE;
        options.nservers = 0;
        options.ndomains = 0;
        options.nsort = 0;
        options.ndots = 1;
        options.lookups = const_cast<char*>("b");
    }
    options.timeout = std::max(1, effectiveTimeout() / ((1 << TriesPerServer) - 1));
    options.tries = TriesPerServer;
    // Without NOCHECKRESP c-ares turns SERVFAIL and REFUSED into a generic
    // "could not contact" after retrying; we want to say what the server said.
    // STAYOPEN keeps the server's socket between look-ups: an object checks
    // address after address through one channel, and opening, connecting and
    // closing a socket for each look-up cost more than the look-up itself.
    options.flags = ARES_FLAG_NOSEARCH | ARES_FLAG_NOCHECKRESP | ARES_FLAG_STAYOPEN;
    options.sock_state_cb = &DnsResolver::socketStateCallback;
    options.sock_state_cb_data = this;
    Channel channel = nullptr;
    const int status = ares_init_options(&channel, &options, mask);
    if (status != ARES_SUCCESS) {
        if (channel)
            ares_destroy(channel);
        throw ComponentException(status, QStringLiteral("Could not set up the DNS resolver: %1")
                                             .arg(QString::fromLatin1(ares_strerror(status))));
    }
    return channel;
}

void DnsResolver::destroyChannel()
{
    if (m_channel) {
        // ares_destroy calls back every pending query with ARES_EDESTRUCTION.
        Channel channel = m_channel;
        m_channel = nullptr;
        ares_destroy(channel);
    }
    for (Notifiers& n : m_notifiers) {
        for (QSocketNotifier* notifier : {n.read.data(), n.write.data()}) {
            if (notifier) {
                notifier->setEnabled(false);
                notifier->deleteLater();
            }
        }
    }
    m_notifiers.clear();
    m_retryTimer.stop();
    m_channelServer.clear();
    m_channelPort = -1;
    m_channelTimeoutMs = -1;
}

QHostAddress DnsResolver::resolveServerName(const QString& name, QDeadlineTimer deadline)
{
    const QByteArray ace = toQueryName(name);
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

void DnsResolver::applyServer(const QHostAddress& address)
{
    ares_addr_port_node node{};
    node.udp_port = node.tcp_port = m_port;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        node.family = AF_INET;
        node.addr.addr4.s_addr = htonl(address.toIPv4Address());
    } else {
        node.family = AF_INET6;
        const Q_IPV6ADDR raw = address.toIPv6Address();
        std::memcpy(node.addr.addr6._S6_un._S6_u8, raw.c, 16);
    }
    const int status = ares_set_servers_ports(m_channel, &node);
    if (status != ARES_SUCCESS)
        throw ComponentException(status,
                                 QStringLiteral("Could not use the DNS server %1: %2")
                                     .arg(m_server, QString::fromLatin1(ares_strerror(status))));
}

void DnsResolver::applyPortToSystemServers()
{
    ares_addr_port_node* servers = nullptr;
    if (ares_get_servers_ports(m_channel, &servers) != ARES_SUCCESS)
        return;
    for (ares_addr_port_node* s = servers; s; s = s->next)
        s->udp_port = s->tcp_port = m_port;
    if (servers)
        ares_set_servers_ports(m_channel, servers);
    ares_free_data(servers);
}

void DnsResolver::socketStateCallback(void* data, int fd, int readable, int writable)
{
    static_cast<DnsResolver*>(data)->onSocketState(fd, readable != 0, writable != 0);
}

void DnsResolver::onSocketState(int fd, bool readable, bool writable)
{
    Notifiers& n = m_notifiers[fd];
    auto update = [&](QPointer<QSocketNotifier>& notifier, QSocketNotifier::Type type, bool on) {
        if (on && !notifier) {
            notifier = new QSocketNotifier(fd, type);
            const bool isRead = type == QSocketNotifier::Read;
            QObject::connect(notifier, &QSocketNotifier::activated, notifier, [this, fd, isRead] {
                processFd(isRead ? fd : ARES_SOCKET_BAD, isRead ? ARES_SOCKET_BAD : fd);
            });
        } else if (!on && notifier) {
            // It may be the notifier whose signal is being handled right now.
            notifier->setEnabled(false);
            notifier->deleteLater();
            notifier = nullptr;
        }
    };
    update(n.read, QSocketNotifier::Read, readable);
    update(n.write, QSocketNotifier::Write, writable);
    if (!n.read && !n.write)
        m_notifiers.remove(fd);
}

void DnsResolver::processFd(int readFd, int writeFd)
{
    if (!m_channel)
        return;
    ares_process_fd(m_channel, readFd, writeFd);
    rearmRetryTimer();
}

void DnsResolver::rearmRetryTimer()
{
    if (!m_channel)
        return;
    timeval tv{};
    if (ares_timeout(m_channel, nullptr, &tv)) {
        const qint64 ms = qint64(tv.tv_sec) * 1000 + (tv.tv_usec + 999) / 1000;
        m_retryTimer.start(int(std::min<qint64>(ms, 24 * 3600 * 1000)));
    } else {
        m_retryTimer.stop();
    }
}

} // namespace corvanta
