// The run's greylisting re-checks: an address whose recipient got a temporary
// refusal keeps no outcome and waits ("Waiting to re-check") until it is due
// again; its last check gives its outcome. A stop gives each waiting address
// the outcome of its last check.

#include "domainqueues.h"
#include "recheckschedule.h"
#include "runcontroller.h"
#include "statistics.h"

#include <algorithm>
#include <exception>

namespace corvanta {

void RunController::startRechecks()
{
    m_held.clear();
    m_rechecks.reset();
    m_recheckTimer.stop();
    if (!m_ctx.settings.RecheckGreylisted)
        return;
    QList<qint64> delays = m_ctx.settings.RecheckDelaysMs;
    if (delays.isEmpty())
        delays = {5 * 60000, 15 * 60000, 45 * 60000};
    m_rechecks = std::make_unique<RecheckSchedule>(delays);
    // The timer's event wakes a run that sleeps until the next event.
    m_recheckTimer.setSingleShot(true);
    showWaitingCount();
}

bool RunController::holdForRecheck(Slot& slot)
{
    if (!m_rechecks)
        return false;
    IVerifier& v = *slot.verifier;
    OutcomeRecord held;
    try {
        held.code = v.Result();
        held.recptReply = v.RecptReply();
        held.word = OutcomeWord(held.code);
        held.message = OutcomeMessage(held.code, v);
    } catch (const std::exception&) {
        return false; // collected as any unreadable outcome
    }
    const qsizetype row = slot.row;
    if (!RecheckSchedule::isTemporary(held.recptReply) || !m_rechecks->schedule(row))
        return false;
    try {
        held.fromReply = v.FromReply();
    } catch (const std::exception&) {
    }
    rowEnded(row);
    m_held.insert(row, held);
    m_ctx.report.setResult(row, QStringLiteral("Waiting to re-check"), kColourValidating, 0);
    m_ctx.report.setMessage(row, held.message);
    m_ctx.report.repaint();
    --m_active;
    // The row goes out again; it is still one address of this run's total.
    --m_dispatched;
    slot.row = -1;
    slot.resetPending = true;
    const qint64 due = m_rechecks->nextDueInMs();
    if (!m_recheckTimer.isActive() || due < m_recheckTimer.remainingTime())
        m_recheckTimer.start(int(std::min<qint64>(due, 24 * 3600 * 1000)));
    showWaitingCount();
    return true;
}

void RunController::releaseDueRechecks()
{
    if (!m_rechecks || !m_queues)
        return;
    const QList<qsizetype> due = m_rechecks->takeDue();
    for (const qsizetype row : due)
        m_queues->putBack(row);
    // The loop may find rows due before the timer that was set for them
    // fires; that timer then wakes a later pass with nothing due. Whatever
    // came due, the timer must stand for the next row that waits, or the
    // run would sleep with nothing to wake it.
    const qint64 next = m_rechecks->nextDueInMs();
    if (next >= 0 && (!m_recheckTimer.isActive() || next < m_recheckTimer.remainingTime()))
        m_recheckTimer.start(int(std::min<qint64>(next, 24 * 3600 * 1000)));
    if (!due.isEmpty())
        showWaitingCount();
}

void RunController::dropRechecks()
{
    if (!m_rechecks)
        return;
    m_recheckTimer.stop();
    m_rechecks->dropAll();
    // Every address waiting, whether still scheduled or put back for a
    // check that never went out, holds the outcome of its last check.
    QList<qsizetype> rows = m_held.keys();
    std::sort(rows.begin(), rows.end());
    for (const qsizetype row : std::as_const(rows)) {
        if (row >= m_ctx.report.recordCount())
            continue;
        const OutcomeRecord held = m_held.value(row);
        // Recorded as any collected outcome: the journal and the full report
        // keep it too, and its copies follow it.
        RecordOutcome(m_ctx, row, held);
        settleCopies(row);
        JudgeRecordedOutcome(m_ctx, row, held);
    }
    m_held.clear();
    showWaitingCount();
}

bool RunController::rechecksWaiting() const
{
    return m_rechecks && (m_rechecks->waitingCount() > 0 || !m_held.isEmpty());
}

void RunController::showWaitingCount()
{
    // A normal run leaves the Retrying label unused; with re-checks on it
    // counts the addresses waiting for one.
    if (!m_rechecks || m_ctx.state.RetryMode)
        return;
    m_ctx.status.setLabelText(StatusLabel::Retrying, QString::number(m_rechecks->waitingCount()));
}

} // namespace corvanta
