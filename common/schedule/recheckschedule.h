#pragma once

#include <QHash>
#include <QList>
#include <functional>
#include <map>
#include <optional>

namespace corvanta {

// RecheckSchedule: the addresses whose recipient was answered with a
// temporary refusal (greylisting) and when each is due to be checked again.
// The n-th re-check of a row comes `delaysMs[n]` after the check before it;
// after the last delay the row keeps the outcome it got.
//
// The clock is a seam (milliseconds on a monotonic clock) so that tests need
// no real waiting beyond the delays they choose.
//
// Threads: one thread.
class RecheckSchedule final
{
public:
    using Clock = std::function<qint64()>;

    explicit RecheckSchedule(QList<qint64> delaysMs = {}, Clock clock = {});

    bool enabled() const { return !m_delaysMs.isEmpty(); }

    // Whether a recipient reply asks for a later check: a 4xx reply.
    static bool isTemporary(const QString& rcptReply);

    // A check of `row` ended with a temporary refusal: true when the row is
    // due for another check (then waiting), false when it has had them all.
    bool schedule(qsizetype row);
    // The waiting rows due by now, earliest first; they wait no more.
    QList<qsizetype> takeDue();
    // Milliseconds until the next row is due (0 if one is), -1 when none waits.
    qint64 nextDueInMs() const;
    qsizetype waitingCount() const { return qsizetype(m_due.size()); }
    // Checks of `row` so far that ended in a temporary refusal.
    int refusals(qsizetype row) const { return m_refusals.value(row); }
    // Drops every waiting row (a stop); returns them.
    QList<qsizetype> dropAll();

private:
    QList<qint64> m_delaysMs;
    Clock m_clock;
    std::multimap<qint64, qsizetype> m_due; // due time -> row
    QHash<qsizetype, int> m_refusals;
};

// Parses "300,900,2700" (seconds, fractions allowed, each above 0) into
// milliseconds; nullopt on anything else.
std::optional<QList<qint64>> parseRecheckDelays(const QString& text);

} // namespace corvanta
