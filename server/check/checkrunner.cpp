#include "checkrunner.h"

#include "apartment.h"
#include "checkbatch.h"
#include "clsverify.h"

#include <QCoreApplication>
#include <QEvent>

namespace corvanta {

namespace {

CheckOutcome failureOutcome(std::exception_ptr error)
{
    CheckOutcome outcome;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        outcome.failure = QString::fromLocal8Bit(e.what());
    } catch (...) {
        outcome.failure = QStringLiteral("unknown error");
    }
    return outcome;
}

} // namespace

CheckRunner::CheckRunner(CheckOptions options, ComponentFactory factory, CheckBatch& batch,
                         QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_factory(std::move(factory)), m_batch(batch),
      m_queues(
          0, batch.size(), m_options.perDomain,
          [&batch](qsizetype row) { return domainOfAddress(batch.address(row)); },
          [&batch](qsizetype row) { return !batch.settled(row); }),
      m_rechecks(m_options.recheckDelaysMs)
{
    m_recheckTimer.setSingleShot(true);
    connect(&m_recheckTimer, &QTimer::timeout, this, &CheckRunner::recheckDue);
}

CheckRunner::~CheckRunner() = default;

void CheckRunner::start()
{
    launchMore();
}

void CheckRunner::launchMore()
{
    while (m_busy < m_options.jobs) {
        const std::optional<qsizetype> next = takeNext();
        if (!next)
            return;
        openWorker(*next);
    }
}

std::optional<qsizetype> CheckRunner::takeNext()
{
    if (m_busy >= m_options.jobs)
        return std::nullopt;
    // Probes go first, outside the per-domain queues: one per domain.
    if (const std::optional<qsizetype> probe = m_batch.takeProbe())
        return probe;
    return m_queues.takeNext();
}

bool CheckRunner::settle(qsizetype index, const CheckOutcome& outcome)
{
    m_queues.finished(index);
    // Probes (indices past the given addresses) are never re-checked.
    if (!m_rechecks.enabled() || !outcome.checked || index >= m_batch.size() ||
        !RecheckSchedule::isTemporary(outcome.rcptReply) || !m_rechecks.schedule(index))
        return true;
    if (m_options.progress)
        m_batch.progress(index, 0, QStringLiteral("Waiting to re-check"));
    const qint64 due = m_rechecks.nextDueInMs();
    if (!m_recheckTimer.isActive() || due < m_recheckTimer.remainingTime())
        m_recheckTimer.start(int(std::min<qint64>(due, 24 * 3600 * 1000)));
    return false;
}

void CheckRunner::recheckDue()
{
    for (const qsizetype row : m_rechecks.takeDue())
        m_queues.putBack(row);
    const qint64 next = m_rechecks.nextDueInMs();
    if (next >= 0)
        m_recheckTimer.start(int(std::min<qint64>(next, 24 * 3600 * 1000)));
    launchMore();
}

void CheckRunner::openWorker(qsizetype index)
{
    auto owned = std::make_unique<Worker>();
    Worker* worker = owned.get();
    worker->apartment = std::make_unique<Apartment>(m_factory);
    worker->id = m_nextWorkerId++;
    worker->index = index;
    m_workers.emplace(worker->id, std::move(owned));
    ++m_busy;

    // The object is made and started on its own thread: this thread only
    // starts threads and collects results, so creations run side by side.
    const QString address = m_batch.address(index);
    const CheckOptions options = m_options;
    const auto ready = [this, worker, address, options](clsVerify& v) {
        applyCheckOptions(options, v);
        // Both run on the object's thread and hand over to this one queued.
        if (options.progress) {
            connect(
                &v, &clsVerify::ProgressEvent, &v,
                [this, worker](qint32 method, const QString& description) {
                    post({Message::Kind::Progress, worker, worker->index, method, description, {}});
                });
        }
        connect(&v, &clsVerify::procedureEnded, &v, [this, worker, &v] {
            post({Message::Kind::Done, worker, worker->index, 0, {}, outcomeOf(v)});
        });
        v.setAddress(address);
        v.Verify();
    };
    const auto failed = [this, worker, index](std::exception_ptr error) {
        post({Message::Kind::Failed, worker, index, 0, {}, failureOutcome(error)});
    };
    worker->apartment->openAsync(ready, failed);
}

namespace {

const QEvent::Type kInboxEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

void CheckRunner::post(Message message)
{
    bool wake = false;
    {
        const std::lock_guard lock(m_inboxMutex);
        wake = m_inbox.empty();
        m_inbox.push_back(std::move(message));
    }
    // A non-empty inbox already has its event on the way.
    if (wake)
        QCoreApplication::postEvent(this, new QEvent(kInboxEvent));
}

bool CheckRunner::event(QEvent* event)
{
    if (event->type() != kInboxEvent)
        return QObject::event(event);
    drainInbox();
    return true;
}

void CheckRunner::drainInbox()
{
    std::vector<Message> messages;
    {
        const std::lock_guard lock(m_inboxMutex);
        messages.swap(m_inbox);
    }
    for (Message& m : messages) {
        switch (m.kind) {
        case Message::Kind::Progress:
            m_batch.progress(m.index, m.method, m.description);
            break;
        case Message::Kind::Done:
            collect(m.worker, m.index, m.outcome);
            break;
        case Message::Kind::Failed:
            failWorker(m.worker, m.index, m.outcome);
            break;
        }
    }
}

void CheckRunner::handOver(Worker& worker, qsizetype index)
{
    worker.index = index;
    ++m_busy;
    worker.apartment->post([address = m_batch.address(index)](clsVerify& object) {
        // Each line of the check stands for its address alone, as with a new
        // object: nothing of the previous outcome may carry over.
        object.forgetOutcome();
        object.Reset();
        object.setAddress(address);
        object.Verify();
    });
}

void CheckRunner::collect(Worker* worker, qsizetype index, const CheckOutcome& outcome)
{
    --m_busy;
    const bool final = settle(index, outcome);
    // Keep the object busy before writing: the next conversation starts
    // while this result goes out.
    if (const std::optional<qsizetype> next = takeNext())
        handOver(*worker, *next);
    else
        retire(worker);
    if (final)
        m_batch.finish(index, outcome);
    // Room this check made in its domain, or a probe its outcome added, may
    // serve more than this worker.
    launchMore();
}

void CheckRunner::failWorker(Worker* worker, qsizetype index, const CheckOutcome& outcome)
{
    --m_busy;
    m_queues.finished(index);
    retire(worker);
    m_batch.finish(index, outcome);
    launchMore();
}

void CheckRunner::retire(Worker* worker)
{
    // Closing joins a thread; let it end on its own and forget it then,
    // rather than wait here while other results queue up.
    // An apartment whose object could not be made has ended already.
    Apartment* apartment = worker->apartment.get();
    const quint64 id = worker->id;
    connect(apartment, &QThread::finished, this, [this, id] { m_workers.erase(id); });
    apartment->requestClose();
    if (apartment->isFinished())
        m_workers.erase(id);
}

} // namespace corvanta
