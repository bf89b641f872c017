#include "dnscache.h"

#include <QAbstractEventDispatcher>
#include <QDeadlineTimer>
#include <QThread>

namespace corvanta {

namespace {

constexpr int TypeSoa = 6;

// A reader over a DNS message that never reads past its end.
struct MessageReader
{
    const unsigned char* data;
    int length;
    int pos = 0;
    bool ok = true;

    unsigned need(int bytes, int width)
    {
        if (!ok || pos + bytes > length) {
            ok = false;
            return 0;
        }
        unsigned value = 0;
        for (int i = 0; i < width; ++i)
            value = (value << 8) | data[pos + i];
        pos += bytes;
        return value;
    }
    unsigned u16() { return need(2, 2); }
    unsigned u32() { return need(4, 4); }
    void skip(int bytes) { need(bytes, 0); }

    // Skips a name: labels up to the root or a compression pointer.
    void skipName()
    {
        while (ok) {
            const unsigned len = need(1, 1);
            if (len == 0)
                return;
            if ((len & 0xc0) == 0xc0) {
                skip(1);
                return;
            }
            if (len > 63) {
                ok = false;
                return;
            }
            skip(int(len));
        }
    }
};

} // namespace

std::optional<qint64> dnsAnswerTtl(const unsigned char* message, int length, bool positive)
{
    if (!message || length < 12)
        return std::nullopt;
    MessageReader r{message, length};
    r.skip(4);
    const unsigned questions = r.u16();
    const unsigned answers = r.u16();
    const unsigned authorities = r.u16();
    r.skip(2);
    for (unsigned i = 0; i < questions && r.ok; ++i) {
        r.skipName();
        r.skip(4);
    }
    std::optional<qint64> ttl;
    const auto take = [&ttl](qint64 value) {
        ttl = ttl ? std::min(*ttl, value) : value;
    };
    for (unsigned i = 0; i < answers && r.ok; ++i) {
        r.skipName();
        r.skip(4);
        const qint64 recordTtl = r.u32();
        r.skip(int(r.u16()));
        if (positive)
            take(recordTtl);
    }
    if (positive)
        return r.ok ? ttl : std::nullopt;
    for (unsigned i = 0; i < authorities && r.ok; ++i) {
        r.skipName();
        const unsigned type = r.u16();
        r.skip(2);
        const qint64 recordTtl = r.u32();
        const int rdlength = int(r.u16());
        if (type != TypeSoa) {
            r.skip(rdlength);
            continue;
        }
        const int end = r.pos + rdlength;
        r.skipName(); // primary server
        r.skipName(); // mailbox
        r.skip(16);   // serial, refresh, retry, expire
        const qint64 minimum = r.u32();
        if (!r.ok || r.pos != end)
            return std::nullopt;
        take(std::min({recordTtl, minimum, DnsCache::MaxNegativeSeconds}));
    }
    return r.ok ? ttl : std::nullopt;
}

size_t qHash(const DnsCache::Key& key, size_t seed) noexcept
{
    return qHashMulti(seed, key.server, key.port, key.name, key.type);
}

DnsCache::DnsCache(int capacity, Clock clock)
    : m_capacity(std::max(1, capacity)),
      m_clock(clock ? std::move(clock) : Clock([] { return QDeadlineTimer::current().deadline(); }))
{}

DnsCache::~DnsCache() = default;

DnsCache& DnsCache::process()
{
    // Never destroyed: objects on other threads may still use it while the
    // process ends.
    static DnsCache* const cache = [] {
        auto* made = new DnsCache;
        bool ok = false;
        const int off = qEnvironmentVariableIntValue(DisableVariable, &ok);
        made->setEnabled(!qEnvironmentVariableIsSet(DisableVariable) || (ok && off == 0));
        return made;
    }();
    return *cache;
}

void DnsCache::setEnabled(bool on)
{
    std::lock_guard lock(m_mutex);
    m_enabled = on;
}

bool DnsCache::isEnabled() const
{
    std::lock_guard lock(m_mutex);
    return m_enabled;
}

DnsCache::Ticket DnsCache::acquire(const Key& key)
{
    std::lock_guard lock(m_mutex);
    Ticket ticket;
    const auto entry = m_entries.find(key);
    if (entry != m_entries.end()) {
        if (entry->expiresAtMs > m_clock()) {
            m_order.splice(m_order.begin(), m_order, entry->order);
            ticket.hit = entry->answer;
            return ticket;
        }
        m_order.erase(entry->order);
        m_entries.erase(entry);
    }
    const auto flight = m_flights.constFind(key);
    if (flight != m_flights.cend() && (*flight)->owner != QThread::currentThread()) {
        ticket.wait = *flight;
        return ticket;
    }
    if (flight == m_flights.cend()) {
        auto mine = std::make_shared<Flight>();
        mine->owner = QThread::currentThread();
        m_flights.insert(key, mine);
    }
    ticket.owner = true;
    return ticket;
}

void DnsCache::finish(const Key& key, const Answer& answer, qint64 ttlSeconds)
{
    {
        std::lock_guard lock(m_mutex);
        if (ttlSeconds > 0) {
            const qint64 expires = m_clock() + ttlSeconds * 1000;
            auto entry = m_entries.find(key);
            if (entry != m_entries.end()) {
                m_order.splice(m_order.begin(), m_order, entry->order);
                entry->answer = answer;
                entry->expiresAtMs = expires;
            } else {
                m_order.push_front(key);
                m_entries.insert(key, Entry{answer, expires, m_order.begin()});
                if (m_entries.size() > m_capacity) {
                    m_entries.remove(m_order.back());
                    m_order.pop_back();
                }
            }
        }
    }
    endFlight(key, answer);
}

void DnsCache::abandon(const Key& key)
{
    endFlight(key, std::nullopt);
}

void DnsCache::endFlight(const Key& key, const std::optional<Answer>& answer)
{
    std::lock_guard lock(m_mutex);
    const auto flight = m_flights.find(key);
    if (flight == m_flights.end() || (*flight)->owner != QThread::currentThread())
        return;
    Flight& f = **flight;
    f.done = true;
    f.answer = answer;
    // A waiter removes itself under the mutex before its thread may end, so
    // each dispatcher here is alive.
    for (QAbstractEventDispatcher* waiter : std::as_const(f.waiters))
        waiter->wakeUp();
    m_flights.erase(flight);
}

void DnsCache::addWaiter(Flight& flight, QAbstractEventDispatcher* dispatcher)
{
    std::lock_guard lock(m_mutex);
    flight.waiters.append(dispatcher);
}

void DnsCache::removeWaiter(Flight& flight, QAbstractEventDispatcher* dispatcher)
{
    std::lock_guard lock(m_mutex);
    flight.waiters.removeOne(dispatcher);
}

bool DnsCache::isDone(const Flight& flight) const
{
    std::lock_guard lock(m_mutex);
    return flight.done;
}

int DnsCache::size() const
{
    std::lock_guard lock(m_mutex);
    return int(m_entries.size());
}

void DnsCache::clear()
{
    std::lock_guard lock(m_mutex);
    m_entries.clear();
    m_order.clear();
}

} // namespace corvanta
