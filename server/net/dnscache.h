#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>

class QAbstractEventDispatcher;
class QThread;

namespace corvanta {

// DnsCache: the answers of DNS look-ups, shared by every verification object
// of a process. A list names a few thousand domains many times over; without
// the cache each address costs an MX query and each mail server an address
// query.
//
// What is kept: positive answers until their smallest TTL; NXDOMAIN and
// NODATA for the SOA minimum of the answer's authority section (capped at one
// hour, and not at all without an SOA). Failures that may pass (time-outs,
// SERVFAIL, refusals, malformed replies) are never kept. Entries are keyed by
// DNS server, port, name and question, so objects using different servers
// never see each other's answers. At most `capacity` entries; the least
// recently used goes first.
//
// One question at a time: while one object's query is out, the others asking
// the same question wait for its answer (see Flight) instead of sending their
// own. When the query ends without an answer worth sharing (time-out,
// cancel), the waiters ask again themselves.
//
// Threads: every method may be called from any thread.
class DnsCache final
{
public:
    static constexpr int DefaultCapacity = 100000;
    static constexpr qint64 MaxNegativeSeconds = 3600;

    // Milliseconds on a monotonic clock; a seam so tests need no real time.
    using Clock = std::function<qint64()>;

    explicit DnsCache(int capacity = DefaultCapacity, Clock clock = {});
    ~DnsCache();

    DnsCache(const DnsCache&) = delete;
    DnsCache& operator=(const DnsCache&) = delete;

    // Set (to anything but "0") in the environment, it starts the process's
    // cache disabled.
    static constexpr const char* DisableVariable = "SONDRIX_NO_DNS_CACHE";

    // The cache of this process, made on first use and never destroyed.
    static DnsCache& process();

    void setEnabled(bool on);
    bool isEnabled() const;

    struct Key
    {
        QString server;
        int port = 0;
        QByteArray name; // as sent: ASCII, in the letter case given
        int type = 0;    // the resolver's own question code
        bool operator==(const Key&) const = default;
    };

    // What a look-up found, before the resolver makes it a result or an error.
    struct Answer
    {
        int status = 0; // c-ares status: success, ENODATA or ENOTFOUND
        QList<QPair<int, QString>> mx;
        QList<QHostAddress> addresses;
    };

    // A look-up that others may wait for.
    struct Flight
    {
        QThread* owner = nullptr;
        bool done = false;
        std::optional<Answer> answer; // set when done with a shareable answer
        QList<QAbstractEventDispatcher*> waiters;
    };

    struct Ticket
    {
        std::optional<Answer> hit;    // a kept answer
        std::shared_ptr<Flight> wait; // someone else's query to wait for
        bool owner = false;           // ask, then finish() or abandon()
    };

    // A kept answer, or the query to wait for, or (owner) the duty to ask and
    // then call finish() or abandon() for `key`. A query out on the calling
    // thread is never waited for: its owner is below the caller on the same
    // stack and could not end before the caller does.
    Ticket acquire(const Key& key);
    // Ends the caller's query with `answer`, kept for `ttlSeconds` (none when
    // negative or zero), and wakes the waiters.
    void finish(const Key& key, const Answer& answer, qint64 ttlSeconds);
    // Ends the caller's query without an answer for the others.
    void abandon(const Key& key);
    // Waiters register while they wait so finish() can wake their thread.
    void addWaiter(Flight& flight, QAbstractEventDispatcher* dispatcher);
    void removeWaiter(Flight& flight, QAbstractEventDispatcher* dispatcher);
    bool isDone(const Flight& flight) const;

    int size() const;
    void clear();

private:
    struct Entry
    {
        Answer answer;
        qint64 expiresAtMs = 0;
        std::list<Key>::iterator order;
    };

    void endFlight(const Key& key, const std::optional<Answer>& answer);

    const int m_capacity;
    const Clock m_clock;
    mutable std::mutex m_mutex;
    bool m_enabled = true;
    std::list<Key> m_order; // most recently used first
    QHash<Key, Entry> m_entries;
    QHash<Key, std::shared_ptr<Flight>> m_flights;
};

size_t qHash(const DnsCache::Key& key, size_t seed = 0) noexcept;

// How long an answer may be kept, from the raw DNS message: the smallest TTL
// of the answer section for a positive answer; for NXDOMAIN or NODATA the
// smaller of the SOA record's TTL and its minimum field, capped at
// DnsCache::MaxNegativeSeconds. nullopt when the message gives no such time
// or cannot be read.
std::optional<qint64> dnsAnswerTtl(const unsigned char* message, int length, bool positive);

} // namespace corvanta
