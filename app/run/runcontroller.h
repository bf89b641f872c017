#pragma once

#include "duplicates.h"
#include "iverifier.h"
#include "outcome.h"
#include "runcontext.h"
#include "runverdicts.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

namespace corvanta {

class DomainQueues;
class RecheckSchedule;
class ListLoader;

// The validation run and the commands that drive it (Start, Pause, Stop,
// Retry). The Threads and Position boxes and the close rule belong to the
// window, which sets the flags of RunState this run obeys.
//
// Everything runs on the GUI thread. RunValidation() does not return until
// the run has ended: it turns a loop that yields to the event loop, so the
// commands, the status panel's timers and the close request run inside it and
// act through the flags of RunState. When a pass of the loop finds nothing to
// collect and nothing to hand out it sleeps until the next event (a verifier's
// status push, a timer, a command) rather than spinning.
//
// Order: list order from the cursor; with a per-domain limit in the settings,
// a row whose domain has that many checks going waits in its domain's queue
// while later rows go first (DomainQueues). A row is done when it has an
// outcome, whatever the order, so Position, Stop, Retry and the resume
// position keep their meaning.
//
// The controller owns the pool of verifiers during a run; the context, the
// factory and the loader must outlive it.
class RunController final
{
public:
    RunController(RunContext& ctx, IVerifierFactory& factory, ListLoader& loader);
    ~RunController();
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // Commands 200 and 203: clear StopRequested and ForceAbort, set RetryMode
    // and run over the addresses without an outcome, or over the failed ones.
    void Start();
    void Retry();
    // The run itself, for a caller that has set those flags. Ignored while a
    // run is going, so a command that slips through while the run yields
    // cannot start a second run over the same pool, and while a list is read
    // or the results are written.
    void RunValidation();
    // Command 201.
    void TogglePause();
    // Command 202: no new address is handed out; the run ends when every busy
    // verifier has been collected.
    void RequestStop();

    // A new reading of the network state, from the status panel's one-second
    // tick. While offline no address is handed out; collection goes on.
    void setOnline(bool online);

private:
    struct Slot
    {
        std::unique_ptr<IVerifier> verifier;
        qsizetype row = -1;    // the record this verifier works on; -1 when free
        QString probe;         // or the made-up address it checks for m_verdicts
        bool prepared = false; // has received the settings of this run
        // Collected but not yet reset: the reset goes out with the next
        // address, or alone before the pass moves on (see freeSlot()).
        bool resetPending = false;

        bool idle() const { return row < 0 && probe.isEmpty(); }
    };

    void loadPool(qint32 size);
    void loop();
    void endRun();

    void yieldSometimes();
    qint32 statusOf(Slot& slot);
    bool collect(Slot& slot);
    bool dispatch(Slot& slot);
    // Sends a collected verifier's reset if no address took it along.
    void freeSlot(Slot& slot);
    bool canDispatch() const;
    // A probe of the verdicts waits and may be handed out now.
    bool canProbe() const;
    bool startProbe(Slot& slot);
    // Moves the cursor to the next record this run may take; false when none.
    bool advanceCursor();
    // advanceCursor(), then settles the copies of addresses met on the way
    // that need no verifier of their own; false when no row is left to
    // check. Defined in runcopies.cpp.
    std::optional<qsizetype> nextToCheck();
    // The checked row's outcome is in, or will not come: the copies waiting
    // on it follow it, or go back to having none.
    void settleCopies(qsizetype row);
    void loseCopies(qsizetype row);
    void followOutcome(qsizetype row, qsizetype source);
    bool takes(qsizetype row) const;
    // The next row to hand out (taken when `take`); nullopt when none may go
    // now.
    std::optional<qsizetype> nextRow(bool take);
    // A row's check has ended (or never started): its domain has room again.
    void rowEnded(qsizetype row);
    // See runrechecks.cpp.
    void startRechecks();
    bool holdForRecheck(Slot& slot);
    void releaseDueRechecks();
    void dropRechecks();
    bool rechecksWaiting() const;
    void showWaitingCount();
    bool complete();
    bool workWaiting();
    // The verifier's object has gone: its address goes back to having no
    // outcome of this run, and the verifier leaves the pool.
    void dropSlot(Slot& slot);
    void restoreRow(qsizetype row);
    void countLost(qsizetype row);
    double resumePosition();
    void reportLostAddresses();

    RunContext& m_ctx;
    IVerifierFactory& m_factory;
    ListLoader& m_loader;

    std::vector<Slot> m_pool;
    // Set for a run that follows duplicates.
    std::unique_ptr<DuplicateFollower> m_copies;
    qsizetype m_cursor = 0;
    std::unique_ptr<DomainQueues> m_queues; // with a per-domain limit or re-checks
    // Greylisting re-checks: when each waiting row is due, and the outcome
    // it keeps should the run stop before its last check.
    // The last check's outcome of each address waiting for a re-check.
    std::unique_ptr<RecheckSchedule> m_rechecks;
    QHash<qsizetype, OutcomeRecord> m_held;
    QTimer m_recheckTimer;
    qint32 m_dispatched = 0;
    qint32 m_active = 0;
    qsizetype m_lost = 0;
    qsizetype m_firstLost = -1;
    QString m_createError;
    QElapsedTimer m_sinceYield;
    RunVerdicts m_verdicts{m_ctx};
};

} // namespace corvanta
