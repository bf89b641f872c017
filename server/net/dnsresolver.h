#pragma once

#include "dnscache.h"
#include "idnsresolver.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <optional>

class QSocketNotifier;
struct ares_channeldata;

namespace corvanta {

// DnsResolver: the DNS resolver on c-ares, driven by the owning thread's event
// loop (socket notifiers plus one timer for c-ares' own retries).
//
// Threads: create, use and destroy it on one thread that runs a Qt event loop.
// A look-up serves the thread's events while it waits (see eventwait.h), so
// that thread keeps serving other events; from such an event, cancel() ends
// the look-up at once. Starting a second look-up from such an event is
// refused with an error. The resolver must not be destroyed while one of its
// own look-ups is waiting. When the thread is asked to end during a look-up
// (QThread::requestInterruption, then QThread::quit), the look-up throws at
// once (as cancelled).
//
// Time-out: the whole look-up, including resolving a server given by name,
// ends within the time-out. A time-out of zero or less means the default of
// 60000 ms, so that an unset value can never make the caller wait forever.
//
// Errors: every failure throws ComponentException whose number is the c-ares
// status code (ARES_ENOTFOUND, ARES_ETIMEOUT, ARES_ECANCELLED, ...) and whose
// description a user can read.
//
// MX results: ascending preference, records of equal preference in the order
// the server gave them. A record whose exchange is the root (".") names no
// host: a set made only of such records is a null MX, which throws "The domain
// accepts no mail (null MX)"; mixed into other records it is left out.
// `alternates` holds the same names as `hosts`, because no entry is ever
// without a name.
//
// Cache: with a DnsCache (and while it is enabled) answers come from there
// when it has them, and a look-up another thread already has out waits for
// that one's answer; the wait keeps to this resolver's time-out and cancel.
// Only a miss uses this resolver's server, port and time-out, and only a miss
// makes the c-ares channel, so objects served from the cache hold none.
class DnsResolver final : public IDnsResolver
{
public:
    static constexpr int DefaultTimeoutMs = 60000;
    static constexpr int DefaultPort = 53;

    // `cache` (may be null) must outlive the resolver.
    explicit DnsResolver(DnsCache* cache = nullptr);
    ~DnsResolver() override;

    DnsResolver(const DnsResolver&) = delete;
    DnsResolver& operator=(const DnsResolver&) = delete;

    void setTimeout(int milliseconds) override;
    void setServer(const QString& server) override;
    void setPort(int port) override;
    int timeout() const { return m_timeoutMs; }
    QString server() const { return m_server; }
    int port() const { return m_port; }

    MxLists queryMx(const QString& address) override;
    QList<QHostAddress> resolveHost(const QString& hostName) override;
    void cancel() override;

    // Public only so the C callbacks in the implementation can reach it.
    struct Query;

private:
    using Channel = ares_channeldata*;
    class FlightGuard;
    friend class FlightGuard;

    int effectiveTimeout() const;
    // The cache's key for a question (Query::Kind as int) through this
    // resolver's server and port.
    DnsCache::Key cacheKey(const QByteArray& name, int kind) const;
    // The cached answer, possibly after waiting for another thread's query;
    // nullopt when the caller must ask (and then finish the flight).
    std::optional<DnsCache::Answer> awaitCached(const DnsCache::Key& key, QDeadlineTimer deadline,
                                                const QString& subject);
    bool cacheOn() const;
    void ensureChannel(QDeadlineTimer deadline);
    // ownServer: the caller sets the one server by address right after.
    Channel createChannel(bool ownServer);
    void destroyChannel();
    QHostAddress resolveServerName(const QString& name, QDeadlineTimer deadline);
    void applyServer(const QHostAddress& address);
    void applyPortToSystemServers();

    // Runs the event loop until every query started since beginRun() has
    // called back, the deadline passes or cancel() is called.
    void beginRun();
    void runUntilDone(QDeadlineTimer deadline);
    void queryFinished();
    // Throws the time-out or cancel error when the look-up ended that way.
    void throwIfInterrupted(int status, const QString& subject) const;

    void onSocketState(int fd, bool readable, bool writable);
    void processFd(int readFd, int writeFd);
    void rearmRetryTimer();

    static void socketStateCallback(void* data, int fd, int readable, int writable);

    DnsCache* m_cache = nullptr;
    int m_timeoutMs = DefaultTimeoutMs;
    QString m_server;
    int m_port = DefaultPort;

    Channel m_channel = nullptr;
    // The settings the current channel was made for; a change makes a new one.
    QString m_channelServer;
    int m_channelPort = -1;
    int m_channelTimeoutMs = -1;

    struct Notifiers
    {
        QPointer<QSocketNotifier> read;
        QPointer<QSocketNotifier> write;
    };
    QHash<int, Notifiers> m_notifiers;
    QTimer m_retryTimer;
    QTimer m_deadlineTimer;

    int m_outstanding = 0;
    bool m_running = false;
    bool m_cancelled = false;
    bool m_timedOut = false;
};

} // namespace corvanta
