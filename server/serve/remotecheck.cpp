#include "remotecheck.h"

#include "checkbatch.h"
#include "checkcommand.h"
#include "remoteverify.h"

#include <QIODevice>
#include <memory>
#include <vector>

namespace corvanta {
namespace {

const QString RemoteFlag = QStringLiteral("--remote");

// Hands the addresses to a pool of remote objects and their outcomes to the
// batch. Everything runs on this thread; it sleeps in its event loop between
// pushes and events.
class RemoteCheck final : public QObject
{
public:
    RemoteCheck(CheckOptions options, CheckBatch& batch)
        : m_options(std::move(options)), m_batch(batch)
    {}

    void start()
    {
        const int poolSize = int(qMin<qsizetype>(m_options.jobs, m_batch.size()));
        for (int i = 0; i < poolSize && m_batch.hasNext(); ++i)
            startSlot();
    }

private:
    struct Slot
    {
        std::unique_ptr<RemoteVerify> verify;
        qsizetype index = -1;
    };

    void startSlot()
    {
        auto slot = std::make_shared<Slot>();
        const qsizetype index = m_batch.takeNext();
        try {
            slot->verify = std::make_unique<RemoteVerify>();
            applyCheckOptions(m_options, *slot->verify);
        } catch (const BrokerException& e) {
            m_batch.fail(index, e.error().description);
            // A server that cannot be reached for one object will not serve
            // the rest either: report them all rather than retry each.
            while (m_batch.hasNext())
                m_batch.fail(m_batch.takeNext(), e.error().description);
            return;
        }
        RemoteVerify* v = slot->verify.get();
        if (m_options.progress) {
            // With events on, the end is FinishedEvent: it comes after the
            // last progress line, so no line is put under the next address.
            connect(v, &RemoteVerify::ProgressEvent, this,
                    [this, slot](qint32 method, const QString& text) {
                        if (slot->index >= 0)
                            m_batch.progress(slot->index, method, text);
                    });
            connect(v, &RemoteVerify::FinishedEvent, this, [this, slot] { finished(slot); });
        } else {
            connect(v, &RemoteVerify::stateChanged, this, [this, slot](qint32 status, bool) {
                if (status == StatusFinishedValue && slot->index >= 0)
                    finished(slot);
            });
        }
        connect(v, &RemoteVerify::connectionLost, this, [this, slot] {
            if (slot->index >= 0)
                m_batch.fail(std::exchange(slot->index, -1),
                             QStringLiteral("The verification server is no longer available"));
            retire(slot);
        });
        m_slots.push_back(slot);
        assign(slot, index);
    }

    void assign(const std::shared_ptr<Slot>& slot, qsizetype index)
    {
        slot->index = index;
        try {
            slot->verify->setAddress(m_batch.address(index));
            slot->verify->Verify();
        } catch (const BrokerException& e) {
            slot->index = -1;
            m_batch.fail(index, e.error().description);
            retire(slot);
        }
    }

    void finished(const std::shared_ptr<Slot>& slot)
    {
        const qsizetype index = std::exchange(slot->index, -1);
        if (index < 0)
            return;
        CheckOutcome outcome;
        try {
            outcome = outcomeOf(*slot->verify);
            slot->verify->Reset();
        } catch (const BrokerException& e) {
            m_batch.fail(index, e.error().description);
            retire(slot);
            return;
        }
        m_batch.finish(index, outcome);
        if (m_batch.hasNext())
            assign(slot, m_batch.takeNext());
    }

    // A slot whose server went away is dropped (later, outside its own
    // signal); its place is taken by a fresh object while addresses remain.
    void retire(const std::shared_ptr<Slot>& slot)
    {
        QMetaObject::invokeMethod(
            this,
            [this, slot] {
                std::erase(m_slots, slot);
                if (slot->verify) {
                    slot->verify->disconnect(this);
                    slot->verify.release()->deleteLater();
                }
                if (m_batch.hasNext())
                    startSlot();
            },
            Qt::QueuedConnection);
    }

    static constexpr qint32 StatusFinishedValue = 3;

    CheckOptions m_options;
    CheckBatch& m_batch;
    std::vector<std::shared_ptr<Slot>> m_slots;
};

} // namespace

bool wantsRemoteCheck(const QStringList& arguments)
{
    return arguments.contains(RemoteFlag);
}

int runRemoteCheckCommand(const QStringList& arguments, QIODevice& in, QIODevice& out,
                          QIODevice& err)
{
    QStringList rest = arguments;
    rest.removeAll(RemoteFlag);
    // The remote pool hands addresses out in input order only.
    for (const QString& arg : std::as_const(rest)) {
        for (const char* local : {"--per-domain", "--greylist-retry"}) {
            if (arg == QLatin1String(local) || arg.startsWith(QLatin1String(local) + u'=')) {
                err.write(QStringLiteral("sondrix check: %1 works without --remote only\n")
                              .arg(QLatin1String(local))
                              .toUtf8());
                return 2;
            }
        }
    }
    return runCheck(rest, in, out, err, [](const CheckOptions& options, CheckBatch& batch) {
        auto check = std::make_unique<RemoteCheck>(options, batch);
        check->start();
        return std::unique_ptr<QObject>(std::move(check));
    });
}

int runRemoteCheckCommand(const QStringList& arguments)
{
    return onStandardStreams([&](QIODevice& in, QIODevice& out, QIODevice& err) {
        return runRemoteCheckCommand(arguments, in, out, err);
    });
}

} // namespace corvanta
