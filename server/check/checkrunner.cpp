#include "checkrunner.h"

#include "apartment.h"
#include "checkbatch.h"
#include "clsverify.h"

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
            connect(&v, &clsVerify::ProgressEvent, &v,
                    [this, worker](qint32 method, const QString& description) {
                        const qsizetype at = worker->index;
                        QMetaObject::invokeMethod(
                            this, [=, this] { m_batch.progress(at, method, description); },
                            Qt::QueuedConnection);
                    });
        }
        connect(&v, &clsVerify::procedureEnded, &v, [this, worker, &v] {
            const CheckOutcome done = outcomeOf(v);
            const qsizetype at = worker->index;
            QMetaObject::invokeMethod(
                this, [=, this] { collect(worker, at, done); }, Qt::QueuedConnection);
        });
        v.setAddress(address);
        v.Verify();
    };
    const auto failed = [this, worker, index](std::exception_ptr error) {
        const CheckOutcome outcome = failureOutcome(error);
        QMetaObject::invokeMethod(
            this, [=, this] { failWorker(worker, index, outcome); }, Qt::QueuedConnection);
    };
    worker->apartment->openAsync(ready, failed);
}

void CheckRunner::handOver(Worker& worker, qsizetype index)
{
    worker.index = index;
    ++m_busy;
    QMetaObject::invokeMethod(
        worker.apartment->object(),
        [object = worker.apartment->object(), address = m_batch.address(index)] {
            // Each line of the check stands for its address alone, as with
            // a new object: nothing of the previous outcome may carry over.
            object->forgetOutcome();
            object->Reset();
            object->setAddress(address);
            object->Verify();
        },
        Qt::QueuedConnection);
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
