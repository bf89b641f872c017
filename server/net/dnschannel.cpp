// The c-ares channel of DnsResolver and how the owning thread's event loop
// drives it: the channel's settings, the socket notifiers and retry timer that
// feed c-ares, and the wait until the outstanding queries have called back.

#include "componenterror.h"
#include "dnsresolver.h"
#include "eventwait.h"

#include <QSocketNotifier>
#include <algorithm>
#include <ares.h>
#include <arpa/inet.h>
#include <cstring>

namespace corvanta {

namespace {

// c-ares doubles its per-try time-out on each retry: with two tries of T/3 and
// 2T/3 the retries of one server fit the whole budget T.
constexpr int TriesPerServer = 2;

} // namespace

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
