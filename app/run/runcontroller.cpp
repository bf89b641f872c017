#include "runcontroller.h"

#include "domainqueues.h"
#include "ilistjournal.h"
#include "irunshell.h"
#include "listloader.h"
#include "recheckschedule.h"
#include "statistics.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace corvanta {

namespace {

void yieldToEvents()
{
    QCoreApplication::processEvents();
}

// Element numbers of the pool are 16-bit.
constexpr qint32 kMaxPool = 32767;

constexpr qint64 kYieldIntervalMs = 5;

} // namespace

RunController::RunController(RunContext& ctx, IVerifierFactory& factory, ListLoader& loader)
    : m_ctx(ctx), m_factory(factory), m_loader(loader)
{}

RunController::~RunController() = default;

void RunController::Start()
{
    m_ctx.state.StopRequested = false;
    m_ctx.state.ForceAbort = false;
    m_ctx.state.RetryMode = false;
    RunValidation();
}

void RunController::Retry()
{
    m_ctx.state.StopRequested = false;
    m_ctx.state.ForceAbort = false;
    m_ctx.state.RetryMode = true;
    RunValidation();
}

void RunController::TogglePause()
{
    RunState& s = m_ctx.state;
    s.IsPaused = !s.IsPaused;
    m_ctx.shell.checkMenuButton(CmdPause, s.IsPaused);
    m_ctx.shell.checkToolbarButton(CmdPause, s.IsPaused);
}

void RunController::RequestStop()
{
    m_ctx.state.StopRequested = true;
}

void RunController::setOnline(bool online)
{
    // The tick that brings this is an event, so a loop waiting for events
    // wakes up and sees the new state at once.
    m_ctx.state.IsOnline = online;
}

void RunController::RunValidation()
{
    RunState& s = m_ctx.state;
    IStatusDisplay& status = m_ctx.status;
    // Nor while a list is read or the results written: the run would go on
    // inside their yield, over records that are changing or being saved.
    if (s.IsRunning || s.IsBusy)
        return;
    if (m_ctx.report.recordCount() < 1) {
        m_loader.OpenList();
        if (m_ctx.report.recordCount() < 1)
            return;
    }
    if (!(s.StartPosition >= 1))
        s.StartPosition = 1;
    const QString dash = QStringLiteral("-");
    if (s.RetryMode) {
        s.RunTotal = s.BadCount;
        status.setLabelText(StatusLabel::Retrying, QString::number(s.RunTotal));
    } else {
        s.RunTotal = s.LoadedCount - s.ValidatedCount;
        status.setLabelText(StatusLabel::Retrying, dash);
    }
    status.setLabelText(StatusLabel::Retryed, dash);
    double position = s.StartPosition;
    SetStartPosition(m_ctx, position);
    if (s.RunTotal < 1)
        return;

    s.IsRunning = true;
    s.IsPaused = false;
    m_ctx.shell.checkMenuButton(CmdPause, false);
    m_ctx.shell.checkToolbarButton(CmdPause, false);
    m_ctx.shell.updateCommandStates();

    status.setProgressVisible(true);
    status.setProgressValue(0);
    status.setPercentVisible(true);
    status.setElapsedTimerEnabled(true);
    loadPool(std::clamp(s.ThreadCount, 1, kMaxPool));

    s.RetryedCount = 0;
    m_active = 0;
    m_dispatched = 0;
    m_lost = 0;
    m_firstLost = -1;
    m_verdicts.beginRun();
    if (s.RetryMode) {
        m_cursor = 0;
    } else {
        const double first = std::nearbyint(s.StartPosition - 1);
        const double last = static_cast<double>(m_ctx.report.recordCount());
        m_cursor = static_cast<qsizetype>(std::clamp(first, 0.0, last));
    }
    m_copies.reset();
    if (m_ctx.settings.FollowDuplicates) {
        // Indexed afresh for every run: Open and Add may have changed the
        // records since the last one, and a million lines take a fraction of
        // a second.
        m_copies = std::make_unique<DuplicateFollower>();
        m_copies->index(m_ctx.report);
    }
    m_queues.reset();
    startRechecks();
    if (m_ctx.settings.PerDomainLimit > 0 || m_rechecks) {
        const qsizetype end = std::min<qsizetype>(s.LoadedCount, m_ctx.report.recordCount());
        m_queues = std::make_unique<DomainQueues>(
            m_cursor, end, m_ctx.settings.PerDomainLimit,
            [this](qsizetype row) {
                return domainOfAddress(QString::fromLocal8Bit(m_ctx.report.address(row)));
            },
            [this](qsizetype row) { return takes(row); });
    }
    loop();
    endRun();
}

void RunController::loop()
{
    RunState& s = m_ctx.state;
    IRunShell& shell = m_ctx.shell;
    for (;;) {
        yieldToEvents();
        m_sinceYield.start();
        if (s.ForceAbort)
            return;
        releaseDueRechecks();
        if (s.StopRequested) {
            if (m_active < 1)
                return;
            if (!shell.isOverlayVisible(Overlay::Stop)) {
                shell.setOverlayVisible(Overlay::Stop, true);
                yieldToEvents();
            }
            shell.setStopCount(m_active);
        }
        bool progressed = false;
        for (Slot& slot : m_pool) {
            if (s.ForceAbort)
                return;
            if (slot.verifier && !slot.verifier->isConnected())
                dropSlot(slot);
            if (slot.verifier && statusOf(slot) == StatusFinished)
                progressed = collect(slot) || progressed;
            yieldSometimes();
            if (s.ForceAbort)
                return;
            if (slot.verifier && slot.idle() && (canDispatch() || canProbe()) &&
                (slot.resetPending || statusOf(slot) == StatusReady))
                progressed = dispatch(slot) || progressed;
            freeSlot(slot);
        }
        if (s.StopRequested && m_active > 0)
            shell.setStopCount(m_active);
        if (complete())
            return;
        const bool anyVerifier = std::any_of(m_pool.begin(), m_pool.end(),
                                             [](const Slot& slot) { return bool(slot.verifier); });
        if (!anyVerifier) {
            // No verifier is left to do the work: the server is gone or could
            // not be started. Waiting on would wait for ever.
            return;
        }
        if (!progressed && !workWaiting())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void RunController::yieldSometimes()
{
    // Status reads cost no round trip, so a pass over hundreds of idle
    // verifiers takes microseconds; yielding after each one would cost more
    // than the pass. Yielding every few milliseconds keeps the window just as
    // responsive.
    if (m_sinceYield.isValid() && m_sinceYield.elapsed() < kYieldIntervalMs)
        return;
    yieldToEvents();
    m_sinceYield.start();
}

bool RunController::canDispatch() const
{
    const RunState& s = m_ctx.state;
    return s.IsOnline && m_dispatched < s.RunTotal && !s.IsPaused && !s.StopRequested;
}

bool RunController::canProbe() const
{
    // Probes are no rows of the run, so its total does not bound them.
    const RunState& s = m_ctx.state;
    return s.IsOnline && !s.IsPaused && !s.StopRequested && m_verdicts.probeWaiting();
}

bool RunController::takes(qsizetype row) const
{
    const std::optional<qint32> code = m_ctx.report.storedCode(row);
    if (m_ctx.state.RetryMode)
        return code && *code != verifyValid;
    // A record that already has an outcome was counted once; validating it
    // again in a normal run would count it twice and carry the counters and
    // the percentage beyond the list.
    return !code;
}

bool RunController::advanceCursor()
{
    const qsizetype end = std::min<qsizetype>(m_ctx.state.LoadedCount, m_ctx.report.recordCount());
    while (m_cursor < end && !takes(m_cursor)) {
        if (m_ctx.state.ForceAbort)
            return false;
        ++m_cursor;
    }
    return m_cursor < end;
}

std::optional<qsizetype> RunController::nextRow(bool take)
{
    if (m_queues)
        return take ? m_queues->takeNext() : m_queues->peekNext();
    if (!advanceCursor())
        return std::nullopt;
    return take ? m_cursor++ : m_cursor;
}

void RunController::rowEnded(qsizetype row)
{
    if (m_queues && row >= 0)
        m_queues->finished(row);
    m_held.remove(row);
}

bool RunController::complete()
{
    const RunState& s = m_ctx.state;
    // The rows of a domain whose probe has not answered may still turn risky.
    if (m_verdicts.probesOutstanding())
        return false;
    if (s.RetryMode ? s.RetryedCount >= s.RunTotal : s.ValidatedCount >= s.LoadedCount)
        return true;
    if (rechecksWaiting())
        return false;
    // Nothing is busy and nothing is left to hand out: the run has done all it
    // can, also when the start position was moved past unvalidated records or
    // BadCount counts more failures than the report holds.
    return m_active == 0 &&
           (m_dispatched >= s.RunTotal || (m_queues ? !m_queues->hasRowsLeft() : !advanceCursor()));
}

bool RunController::workWaiting()
{
    const RunState& s = m_ctx.state;
    if (s.ForceAbort || (s.StopRequested && m_active < 1))
        return true;
    const bool mayDispatch = canDispatch();
    for (Slot& slot : m_pool) {
        if (!slot.verifier)
            continue;
        if (!slot.verifier->isConnected())
            return true;
        const qint32 st = statusOf(slot);
        if (st == StatusFinished)
            return true;
        if (st == StatusReady && slot.idle() && ((mayDispatch && nextRow(false)) || canProbe()))
            return true;
    }
    return false;
}

double RunController::resumePosition()
{
    // Normally the first record not handed out; a record lost on the way lies
    // before it and comes first.
    const qsizetype count = m_ctx.report.recordCount();
    advanceCursor();
    qsizetype next = m_queues ? m_queues->firstLeft() : m_cursor;
    if (m_firstLost >= 0)
        next = std::min(next, m_firstLost);
    if (next >= count) {
        // The run reached the end from a moved start position: the records
        // still without an outcome lie before it.
        next = 0;
        while (next < count && m_ctx.report.storedCode(next))
            ++next;
    }
    return static_cast<double>(std::min(next, count - 1) + 1);
}

void RunController::endRun()
{
    RunState& s = m_ctx.state;
    m_ctx.shell.setOverlayVisible(Overlay::Stop, false);
    dropRechecks();
    yieldToEvents();
    // Unloading aborts what a verifier still works on; a forced end does not
    // wait for it.
    m_pool.clear();
    yieldToEvents();
    m_ctx.status.setElapsedTimerEnabled(false);
    s.IsRunning = false;
    if (m_ctx.journal) {
        m_ctx.journal->flush();
        TellJournalFailure(m_ctx);
    }
    if (!s.RetryMode && s.ValidatedCount < s.LoadedCount && m_ctx.report.recordCount() > 0) {
        double position = resumePosition();
        SetStartPosition(m_ctx, position);
    }
    m_ctx.shell.updateCommandStates();
    if (!s.ForceAbort)
        reportLostAddresses();
    if (s.CloseWhenDone)
        m_ctx.shell.closeWindow();
}

void RunController::reportLostAddresses()
{
    const RunState& s = m_ctx.state;
    const bool unfinished = m_active > 0 || (!s.StopRequested && !complete());
    if (m_lost == 0 && !unfinished)
        return;
    const QString again = s.RetryMode ? QStringLiteral("Retry") : QStringLiteral("Start");
    QString text;
    if (!m_createError.isEmpty() && m_dispatched == 0) {
        // The reason is a sentence of its own about the server.
        text = QStringLiteral("No address could be validated. ") + m_createError + QLatin1Char('.');
    } else {
        text = QStringLiteral("The connection to the verification server was lost during the "
                              "run. ") +
               QString::number(m_lost) +
               QStringLiteral(" address(es) being validated received no result. Press ") + again +
               QStringLiteral(" to validate the addresses that have no result yet.");
    }
    m_ctx.shell.showMessage(text);
}

} // namespace corvanta
