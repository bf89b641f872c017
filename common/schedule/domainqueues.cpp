#include "domainqueues.h"

namespace corvanta {

QString domainOfAddress(const QString& address)
{
    return address.mid(address.lastIndexOf(QLatin1Char('@')) + 1).toLower();
}

DomainQueues::DomainQueues(qsizetype first, qsizetype end, int limit, DomainOf domainOf,
                           Takes takes)
    : m_scan(first), m_end(end), m_limit(limit), m_domainOf(std::move(domainOf)),
      m_takes(std::move(takes))
{}

int DomainQueues::domainIdOf(qsizetype row)
{
    ++m_lookUps;
    const QString domain = m_domainOf(row);
    const auto it = m_ids.constFind(domain);
    if (it != m_ids.cend())
        return *it;
    const int id = int(m_domains.size());
    m_domains.emplace_back();
    m_ids.insert(domain, id);
    return id;
}

void DomainQueues::offer(int id)
{
    const Domain& d = m_domains[size_t(id)];
    if (!d.waiting.empty() && d.active < m_limit)
        m_ready.emplace(d.waiting.front(), id);
}

std::optional<qsizetype> DomainQueues::peekNext()
{
    if (m_limit <= 0 && !m_again.empty())
        return m_again.front();
    // The earliest waiting row whose domain has room, if any.
    while (!m_ready.empty()) {
        const auto [row, id] = m_ready.top();
        const Domain& d = m_domains[size_t(id)];
        if (!d.waiting.empty() && d.waiting.front() == row && d.active < m_limit)
            break;
        m_ready.pop();
    }
    while (m_scan < m_end && (m_ready.empty() || m_scan < m_ready.top().first)) {
        const qsizetype row = m_scan;
        if (m_takes && !m_takes(row)) {
            ++m_scan;
            continue;
        }
        if (m_limit <= 0)
            return row;
        if (m_scanId < 0)
            m_scanId = domainIdOf(row);
        Domain& d = m_domains[size_t(m_scanId)];
        if (d.active < m_limit && d.waiting.empty())
            return row;
        d.waiting.push_back(row);
        ++m_waiting;
        ++m_scan;
        m_scanId = -1;
    }
    if (m_ready.empty())
        return std::nullopt;
    return m_ready.top().first;
}

std::optional<qsizetype> DomainQueues::takeNext()
{
    const std::optional<qsizetype> next = peekNext();
    if (!next)
        return next;
    if (m_limit <= 0) {
        if (!m_again.empty() && m_again.front() == *next) {
            m_again.pop_front();
            --m_waiting;
        } else {
            ++m_scan;
        }
        return next;
    }
    if (*next == m_scan) {
        ++m_domains[size_t(m_scanId)].active;
        m_activeRows.insert(*next, m_scanId);
        ++m_scan;
        m_scanId = -1;
        return next;
    }
    const int id = m_ready.top().second;
    m_ready.pop();
    Domain& d = m_domains[size_t(id)];
    d.waiting.pop_front();
    --m_waiting;
    ++d.active;
    m_activeRows.insert(*next, id);
    offer(id);
    return next;
}

void DomainQueues::finished(qsizetype row)
{
    if (m_limit <= 0)
        return;
    const auto it = m_activeRows.constFind(row);
    if (it == m_activeRows.cend())
        return;
    const int id = *it;
    m_activeRows.erase(it);
    --m_domains[size_t(id)].active;
    offer(id);
}

void DomainQueues::putBack(qsizetype row)
{
    if (m_limit <= 0) {
        m_again.push_back(row);
        ++m_waiting;
        return;
    }
    finished(row);
    const int id = domainIdOf(row);
    Domain& d = m_domains[size_t(id)];
    d.waiting.push_front(row);
    ++m_waiting;
    offer(id);
}

qsizetype DomainQueues::firstLeft() const
{
    qsizetype first = std::min(m_scan, m_end);
    for (const qsizetype row : m_again)
        first = std::min(first, row);
    for (const Domain& d : m_domains)
        for (const qsizetype row : d.waiting)
            first = std::min(first, row);
    return first;
}

} // namespace corvanta
