#pragma once

#include "checkbatch.h"
#include "checkoptions.h"
#include "componentfactory.h"
#include "domainqueues.h"
#include "recheckschedule.h"

#include <QObject>
#include <QTimer>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace corvanta {

class Apartment;

// The in-process check: at most `jobs` verification objects, each on its own
// apartment, checking the batch's addresses one after another and handing
// their outcomes to the batch. An object that finishes takes the next address
// at once, as the main program's pool of verifiers does: starting a thread,
// a resolver channel and a component set per address would cost more than
// the conversation itself on a busy run.
// The owning thread sleeps in its event loop while the objects work: each
// object posts its progress and its end to the runner's inbox.
//
// The order: the batch's addresses in input order, except that with a limit
// per domain an address whose domain is at its limit waits while later ones
// go first (DomainQueues); and with re-check delays, an address whose
// recipient got a 4xx reply waits and is checked again when due
// (RecheckSchedule), its line written only after its last check.
//
// Ownership: owns the apartments; destroying it aborts the running
// verifications and waits for their threads. The batch must outlive it.
// Threads: create and run it on the batch's thread, which has an event loop.
class CheckRunner final : public QObject
{
public:
    CheckRunner(CheckOptions options, ComponentFactory factory, CheckBatch& batch,
                QObject* parent = nullptr);
    ~CheckRunner() override;

    // Starts the first jobs; the rest follow as earlier ones finish.
    void start();

protected:
    bool event(QEvent* event) override;

private:
    // One apartment and the address it checks. `index` is written on the
    // owning thread before the address is handed over, and read on the
    // apartment's thread only while that verification runs.
    struct Worker
    {
        std::unique_ptr<Apartment> apartment;
        quint64 id = 0;
        qsizetype index = -1;
    };

    void launchMore();
    std::optional<qsizetype> takeNext();
    // False when the outcome waits for a re-check instead.
    bool settle(qsizetype index, const CheckOutcome& outcome);
    void recheckDue();
    void openWorker(qsizetype index);
    void handOver(Worker& worker, qsizetype index);
    void collect(Worker* worker, qsizetype index, const CheckOutcome& outcome);
    void failWorker(Worker* worker, qsizetype index, const CheckOutcome& outcome);
    void retire(Worker* worker);

    // What an object's thread hands to the owning thread.
    struct Message
    {
        enum class Kind
        {
            Progress,
            Done,
            Failed,
        };
        Kind kind = Kind::Progress;
        Worker* worker = nullptr;
        qsizetype index = -1;
        qint32 method = 0;
        QString description;
        CheckOutcome outcome;
    };
    // Any thread. The messages go through a lock of our own, so that every
    // reader, a thread checker included, sees the hand-over; one event wakes
    // the owning thread for all that arrived meanwhile.
    void post(Message message);
    void drainInbox();

    CheckOptions m_options;
    ComponentFactory m_factory;
    CheckBatch& m_batch;
    std::map<quint64, std::unique_ptr<Worker>> m_workers; // until their threads end
    quint64 m_nextWorkerId = 1;
    int m_busy = 0;
    DomainQueues m_queues;
    RecheckSchedule m_rechecks;
    QTimer m_recheckTimer;
    std::mutex m_inboxMutex;
    std::vector<Message> m_inbox; // under m_inboxMutex
};

} // namespace corvanta
