// The run's side of following duplicates: the hand-out settles the copies it
// meets without a verifier, and a collected or lost row takes the copies
// waiting on it along.

#include "runcontroller.h"
#include "statistics.h"

namespace corvanta {

std::optional<qsizetype> RunController::nextToCheck()
{
    while (const std::optional<qsizetype> next = nextRow(true)) {
        const qsizetype row = *next;
        if (!m_copies)
            return row;
        const auto decision = m_copies->take(row, m_ctx.state.RetryMode, m_ctx.report);
        if (decision.take == DuplicateFollower::Take::Check)
            return row;
        // The copy counts as handed out: it belongs to this run's total. It
        // never meets a mail server, so it holds no room of its domain.
        ++m_dispatched;
        rowEnded(row);
        if (decision.take == DuplicateFollower::Take::Follow)
            followOutcome(row, decision.source);
        else
            MarkRowValidating(m_ctx, row);
        if (!canDispatch() || m_ctx.state.ForceAbort)
            return std::nullopt;
    }
    return std::nullopt;
}

void RunController::settleCopies(qsizetype row)
{
    if (!m_copies)
        return;
    for (const qsizetype copy : m_copies->checked(row))
        followOutcome(copy, row);
}

void RunController::loseCopies(qsizetype row)
{
    if (!m_copies)
        return;
    for (const qsizetype copy : m_copies->lost(row)) {
        restoreRow(copy);
        ++m_lost;
        m_firstLost = m_firstLost < 0 ? copy : std::min(m_firstLost, copy);
    }
}

void RunController::followOutcome(qsizetype row, qsizetype source)
{
    const std::optional<qint32> code = m_ctx.report.storedCode(source);
    if (!code) {
        restoreRow(row);
        return;
    }
    OutcomeRecord outcome;
    outcome.code = *code;
    outcome.word = OutcomeWord(*code);
    outcome.message = QStringLiteral("Same as row %1").arg(source + 1);
    RecordOutcome(m_ctx, row, outcome);
}

} // namespace corvanta
