#include "recheckschedule.h"

#include <QDeadlineTimer>
#include <QStringList>
#include <cmath>
#include <optional>

namespace corvanta {

RecheckSchedule::RecheckSchedule(QList<qint64> delaysMs, Clock clock)
    : m_delaysMs(std::move(delaysMs)),
      m_clock(clock ? std::move(clock) : Clock([] { return QDeadlineTimer::current().deadline(); }))
{}

bool RecheckSchedule::isTemporary(const QString& rcptReply)
{
    return rcptReply.size() >= 3 && rcptReply.at(0) == QLatin1Char('4') &&
           rcptReply.at(1).isDigit() && rcptReply.at(2).isDigit();
}

bool RecheckSchedule::schedule(qsizetype row)
{
    int& refusals = m_refusals[row];
    if (refusals >= m_delaysMs.size())
        return false;
    m_due.emplace(m_clock() + m_delaysMs.at(refusals), row);
    ++refusals;
    return true;
}

QList<qsizetype> RecheckSchedule::takeDue()
{
    QList<qsizetype> due;
    const qint64 now = m_clock();
    while (!m_due.empty() && m_due.begin()->first <= now) {
        due.append(m_due.begin()->second);
        m_due.erase(m_due.begin());
    }
    return due;
}

qint64 RecheckSchedule::nextDueInMs() const
{
    if (m_due.empty())
        return -1;
    return std::max<qint64>(0, m_due.begin()->first - m_clock());
}

QList<qsizetype> RecheckSchedule::dropAll()
{
    QList<qsizetype> rows;
    for (const auto& [due, row] : m_due)
        rows.append(row);
    m_due.clear();
    return rows;
}

std::optional<QList<qint64>> parseRecheckDelays(const QString& text)
{
    QList<qint64> delays;
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const double seconds = part.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > 7 * 24 * 3600)
            return std::nullopt;
        delays.append(qint64(std::ceil(seconds * 1000.0)));
    }
    return delays;
}

} // namespace corvanta
