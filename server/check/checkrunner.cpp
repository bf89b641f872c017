#include "checkrunner.h"

#include "apartment.h"
#include "checkbatch.h"
#include "clsverify.h"

namespace corvanta {

CheckRunner::CheckRunner(CheckOptions options, ComponentFactory factory, CheckBatch& batch,
                         QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_factory(std::move(factory)), m_batch(batch)
{}

CheckRunner::~CheckRunner() = default;

void CheckRunner::start()
{
    launchMore();
}

void CheckRunner::launchMore()
{
    while (qsizetype(m_running.size()) < m_options.jobs && m_batch.hasNext())
        launch(m_batch.takeNext());
}

void CheckRunner::launch(qsizetype index)
{
    // The object is made and started on its own thread: this thread only
    // starts threads and collects results, so creations run side by side.
    auto apartment = std::make_unique<Apartment>(m_factory);
    const QString address = m_batch.address(index);
    const CheckOptions options = m_options;
    const auto ready = [this, index, address, options](clsVerify& v) {
        applyCheckOptions(options, v);
        v.setAddress(address);
        // Both run on the object's thread and hand over to this one queued.
        if (options.progress) {
            connect(&v, &clsVerify::ProgressEvent, &v,
                    [this, index](qint32 method, const QString& description) {
                        QMetaObject::invokeMethod(
                            this, [=, this] { m_batch.progress(index, method, description); },
                            Qt::QueuedConnection);
                    });
        }
        connect(&v, &clsVerify::procedureEnded, &v, [this, index, &v] {
            const CheckOutcome done = outcomeOf(v);
            QMetaObject::invokeMethod(
                this, [=, this] { collect(index, done); }, Qt::QueuedConnection);
        });
        v.Verify();
    };
    const auto failed = [this, index](std::exception_ptr error) {
        CheckOutcome outcome;
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            outcome.failure = QString::fromLocal8Bit(e.what());
        } catch (...) {
            outcome.failure = QStringLiteral("unknown error");
        }
        QMetaObject::invokeMethod(
            this, [=, this] { collect(index, outcome); }, Qt::QueuedConnection);
    };
    apartment->openAsync(ready, failed);
    m_running.emplace(index, std::move(apartment));
}

void CheckRunner::collect(qsizetype index, const CheckOutcome& outcome)
{
    const auto it = m_running.find(index);
    if (it != m_running.end()) {
        retire(std::move(it->second));
        m_running.erase(it);
    }
    launchMore();
    m_batch.finish(index, outcome);
}

void CheckRunner::retire(std::unique_ptr<Apartment> apartment)
{
    // Closing joins a thread; let it end on its own and forget it then,
    // rather than wait here while other results queue up.
    Apartment* raw = apartment.get();
    connect(raw, &QThread::finished, this, [this, raw] { m_closing.erase(raw); });
    raw->requestClose();
    m_closing.emplace(raw, std::move(apartment));
}

} // namespace corvanta
