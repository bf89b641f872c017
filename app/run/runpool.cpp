// The run's pool of verifiers: loading it, and for one slot handing out an
// address, collecting the outcome, sending the pending reset and dropping a
// verifier whose object has gone.

#include "runcontroller.h"
#include "statistics.h"

#include <QCoreApplication>
#include <algorithm>
#include <exception>
#include <limits>
#include <utility>

namespace corvanta {

namespace {

void yieldToEvents()
{
    QCoreApplication::processEvents();
}

// Runs one call on a verifier; a failing call is ignored and the run goes on.
template <typename F> bool attempt(F&& call)
{
    try {
        call();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// Seconds in the settings, milliseconds at the verifier; a setting too large
// for the verifier's 32-bit value is held at the largest one.
qint32 milliseconds(qint32 seconds)
{
    const qint64 ms = static_cast<qint64>(seconds) * 1000;
    return static_cast<qint32>(std::clamp<qint64>(ms, 0, std::numeric_limits<qint32>::max()));
}

} // namespace

void RunController::loadPool(qint32 size)
{
    const RunSettings& settings = m_ctx.settings;
    m_createError.clear();
    m_pool.clear();
    m_pool.resize(static_cast<size_t>(size));
    for (Slot& slot : m_pool) {
        try {
            slot.verifier = m_factory.create();
        } catch (const std::exception& e) {
            // Each failed creation can take the broker's whole start-up
            // bound; a server that cannot give one object will not give the
            // next either. The run goes on with the verifiers it has.
            m_createError = QString::fromLocal8Bit(e.what());
            break;
        }
        // Creating hundreds of objects takes a while; keep the window alive
        // and let a close request end the loading.
        yieldToEvents();
        if (m_ctx.state.ForceAbort)
            break;
        if (!slot.verifier)
            continue;
        IVerifier& v = *slot.verifier;
        attempt([&] { v.Reset(); });
        attempt([&] { v.setEventsEnabled(false); });
        attempt([&] { v.setDnsTimeout(milliseconds(settings.DnsTimeout)); });
        attempt([&] { v.setSmtpTimeout(milliseconds(settings.SmtpTimeout)); });
        attempt([&] { v.setHelloName(settings.HelloName); });
        attempt([&] { v.setFromAddress(settings.FromAddress); });
    }
}

qint32 RunController::statusOf(Slot& slot)
{
    qint32 value = 0;
    attempt([&] { value = slot.verifier->Status(); });
    return value;
}

bool RunController::collect(Slot& slot)
{
    IVerifier& v = *slot.verifier;
    if (slot.row >= 0 && slot.probe.isEmpty() && holdForRecheck(slot))
        return true;
    if (!slot.probe.isEmpty()) {
        std::optional<qint32> code;
        attempt([&] { code = v.Result(); });
        m_verdicts.probeEnded(std::exchange(slot.probe, QString()), code);
        --m_active;
    } else if (slot.row >= 0) {
        rowEnded(slot.row);
        if (CollectOutcome(m_ctx, v, slot.row)) {
            m_verdicts.collected(slot.row, v);
            settleCopies(slot.row);
        } else {
            // The outcome could not be read: the address keeps no outcome of
            // this run, like an address whose verifier went away.
            restoreRow(slot.row);
            countLost(slot.row);
        }
        --m_active;
    }
    // A verifier that finished without having been given an address by this
    // run has no outcome to count; it is only made free again.
    slot.row = -1;
    // Its reset is sent with its next address when this pass hands one out
    // at once, as it mostly does: each call is a round trip to the server,
    // and three of them per address kept the GUI thread waiting on replies.
    slot.resetPending = true;
    return true;
}

void RunController::freeSlot(Slot& slot)
{
    if (!slot.resetPending)
        return;
    slot.resetPending = false;
    if (slot.verifier)
        attempt([&] { slot.verifier->Reset(); });
}

bool RunController::dispatch(Slot& slot)
{
    const RunSettings& settings = m_ctx.settings;
    IVerifier& v = *slot.verifier;
    // The settings cannot change during a run (Setup is disabled) and the
    // object keeps them across Reset, so each verifier receives them with its
    // first address only: every call here is a round trip to the server, and
    // seven of them per address would make the GUI thread the bottleneck of a
    // large pool.
    if (!slot.prepared) {
        // The settings go after the reset, as they would have had the
        // reset gone out on collection.
        freeSlot(slot);
        slot.prepared = true;
        attempt([&] { v.setEventsEnabled(false); });
        attempt([&] { v.ClearDnsServers(); });
        attempt([&] { v.AddDnsServer(settings.DnsServerName); });
        attempt([&] { v.setFromAddress(settings.FromAddress); });
        attempt([&] { v.setDnsTimeout(milliseconds(settings.DnsTimeout)); });
        attempt([&] { v.setSmtpTimeout(milliseconds(settings.SmtpTimeout)); });
        attempt([&] { v.setHelloName(settings.HelloName); });
    }

    if (canProbe())
        return startProbe(slot);
    if (m_ctx.state.ForceAbort)
        return false;
    const std::optional<qsizetype> next = nextToCheck();
    if (!next)
        return false;
    const qsizetype row = *next;
    const QString address = QString::fromLocal8Bit(m_ctx.report.address(row));
    IVerifier::NextAddress start;
    start.address = address;
    start.id = static_cast<qint32>(row);
    start.idFirst = m_ctx.state.RetryMode;
    start.resetFirst = std::exchange(slot.resetPending, false);
    ++m_active;
    slot.row = row;
    MarkRowValidating(m_ctx, row);
    // Reset (when pending), Address and Verify in one round trip. The
    // sequence stops at the first call that fails, so a verifier whose
    // address could not be set never verifies its previous one.
    if (!attempt([&] { v.StartNext(start); })) {
        // The verification never started, so no outcome will come: the row
        // goes back to having none instead of holding the run open.
        --m_active;
        slot.row = -1;
        rowEnded(row);
        restoreRow(row);
        countLost(row);
    }
    ++m_dispatched;
    return true;
}

bool RunController::startProbe(Slot& slot)
{
    // Like an address, but no row: nothing is marked, counted or dispatched
    // against the run's total. It counts as active, so a stop waits for it.
    IVerifier::NextAddress next;
    next.address = m_verdicts.takeProbe();
    next.id = -1;
    next.resetFirst = std::exchange(slot.resetPending, false);
    slot.probe = next.address;
    ++m_active;
    if (!attempt([&] { slot.verifier->StartNext(next); })) {
        --m_active;
        m_verdicts.probeEnded(std::exchange(slot.probe, QString()), std::nullopt);
    }
    return true;
}

void RunController::dropSlot(Slot& slot)
{
    if (slot.row >= 0) {
        rowEnded(slot.row);
        restoreRow(slot.row);
        countLost(slot.row);
        --m_active;
    }
    if (!slot.probe.isEmpty()) {
        m_verdicts.probeEnded(std::exchange(slot.probe, QString()), std::nullopt);
        --m_active;
    }
    slot.row = -1;
    slot.resetPending = false;
    slot.verifier.reset();
}

void RunController::countLost(qsizetype row)
{
    ++m_lost;
    m_firstLost = m_firstLost < 0 ? row : std::min(m_firstLost, row);
    loseCopies(row);
}

void RunController::restoreRow(qsizetype row)
{
    if (row < 0 || row >= m_ctx.report.recordCount())
        return;
    const std::optional<qint32> code = m_ctx.report.storedCode(row);
    if (!code) {
        m_ctx.report.setResult(row, QString(), 0, 0);
    } else {
        const bool good = *code == verifyValid;
        m_ctx.report.setResult(row, OutcomeWord(*code), good ? kColourGood : kColourBad,
                               good ? kIconGood : kIconBad);
    }
    m_ctx.report.repaint();
}

} // namespace corvanta
