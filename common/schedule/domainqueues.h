#pragma once

#include <QHash>
#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <queue>
#include <vector>

namespace corvanta {

// DomainQueues: hands out the rows of a list in list order, except that a
// row whose domain already has `limit` checks going waits in its domain's
// queue, and the next row whose domain is below the limit goes first. A
// waiting row goes out as soon as its domain has room again, ahead of later
// rows.
//
// Cost: each row is looked at once by the forward scan and moves at most once
// through its domain's queue, so a list dominated by one domain costs no
// more per hand-out than any other (no scan of the list per hand-out).
//
// `domainOf(row)` gives a row's domain; `takes(row)` whether this run checks
// it at all (rows it does not are passed over). Both are asked when the scan
// reaches the row. A limit of 0 or less means no limit: plain list order.
//
// Threads: one thread.
class DomainQueues final
{
public:
    using DomainOf = std::function<QString(qsizetype row)>;
    using Takes = std::function<bool(qsizetype row)>;

    DomainQueues(qsizetype first, qsizetype end, int limit, DomainOf domainOf, Takes takes = {});

    // The next row to check, counted as active in its domain; nullopt when
    // every row left waits for room (or none is left).
    std::optional<qsizetype> takeNext();
    // What takeNext() would give now, without taking it.
    std::optional<qsizetype> peekNext();
    // The check of a taken row ended: its domain has room for one more.
    void finished(qsizetype row);
    // A taken row that must be checked again (its check ended meanwhile):
    // it goes out ahead of the rows of its domain that wait.
    void putBack(qsizetype row);

    // Rows not yet taken: those the scan has not reached (and this run
    // takes), and those waiting.
    bool hasRowsLeft()
    {
        while (m_scan < m_end && m_takes && !m_takes(m_scan)) {
            ++m_scan;
            m_scanId = -1;
        }
        return m_scan < m_end || m_waiting > 0;
    }
    // The first row not yet taken (`end` when none): where a later run would
    // resume.
    qsizetype firstLeft() const;
    // Domain look-ups so far, for those who check the cost.
    qint64 lookUps() const { return m_lookUps; }

private:
    struct Domain
    {
        int active = 0;
        std::deque<qsizetype> waiting; // rows in the order they go out
    };
    using Ready = std::pair<qsizetype, int>; // front row, domain

    int domainIdOf(qsizetype row);
    void offer(int id);

    qsizetype m_scan;
    int m_scanId = -1; // the domain of row m_scan, once looked up
    const qsizetype m_end;
    const int m_limit;
    DomainOf m_domainOf;
    Takes m_takes;
    QHash<QString, int> m_ids;
    std::vector<Domain> m_domains;
    // Domains with room and waiting rows, the one with the earliest row
    // first. Entries may be stale; they are checked when they come up.
    std::priority_queue<Ready, std::vector<Ready>, std::greater<>> m_ready;
    QHash<qsizetype, int> m_activeRows; // taken row -> domain
    std::deque<qsizetype> m_again;      // put back, without a limit
    qsizetype m_waiting = 0;
    qint64 m_lookUps = 0;
};

// The domain of an address, as the per-domain limit counts it: the part after
// the last "@", in lower case.
QString domainOfAddress(const QString& address);

} // namespace corvanta
