#include "mtimer.h"

#include "ctimer.h"
#include "ctimers.h"
#include "objecterror.h"
#include "systemtimers.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QThreadStorage>
#include <QTimerEvent>
#include <limits>

namespace corvanta {
namespace {

// The default system timers: Qt's event-loop timers on one router object per
// thread, whose timerEvent hands every tick to TimerProc.
class QtSystemTimers final : public QObject, public ISystemTimers
{
public:
    int setTimer(int intervalMs) override
    {
        const int id = startTimer(intervalMs, Qt::PreciseTimer);
        if (id > 0)
            m_ids.insert(id);
        return id > 0 ? id : 0;
    }

    bool killTimer(int timerId) override
    {
        if (!m_ids.remove(timerId))
            return false;
        QObject::killTimer(timerId);
        return true;
    }

protected:
    void timerEvent(QTimerEvent* event) override { MTimer::TimerProc(event->timerId()); }

private:
    QSet<int> m_ids;
};

struct ThreadRegistry;
thread_local ThreadRegistry* t_registry = nullptr;

// Everything the timer service keeps for one thread.
struct ThreadRegistry
{
    QHash<int, std::shared_ptr<CTimer>> running;
    QHash<qint16, CTimers*> collections;
    qint16 counter = 0;
    QtSystemTimers router;
    ISystemTimers* installed = nullptr;

    ISystemTimers& timers() { return installed ? *installed : router; }

    ~ThreadRegistry()
    {
        // Detach first: timers released below must find no registry to
        // update, rather than one half torn down.
        t_registry = nullptr;
        const auto ids = running.keys();
        for (int id : ids)
            timers().killTimer(id);
        running.clear();
    }
};

QThreadStorage<ThreadRegistry*>& storage()
{
    static QThreadStorage<ThreadRegistry*> s;
    return s;
}

ThreadRegistry& registry()
{
    if (!t_registry) {
        auto* created = new ThreadRegistry;
        storage().setLocalData(created);
        t_registry = created;
    }
    return *t_registry;
}

} // namespace

namespace MTimer {

void TimerProc(int timerId)
{
    ThreadRegistry* reg = t_registry;
    if (!reg)
        return;
    try {
        // Keep the timer alive for the whole tick: its handler may stop it,
        // and the registry may hold the last reference.
        const std::shared_ptr<CTimer> timer = reg->running.value(timerId);
        if (!timer) {
            reg->timers().killTimer(timerId);
            return;
        }
        if (timer->ownerNumber() < 1) {
            timer->RaiseTimer_Event();
            return;
        }
        CTimers* owner = reg->collections.value(timer->ownerNumber());
        if (!owner) {
            // The collection is gone: stop the timer and let the registry
            // drop it too, so an orphan does not linger for the thread's life.
            timer->Disable();
            return;
        }
        owner->raiseTimer(timer->index());
    } catch (...) {
        // A failing handler must not stop the routing of later ticks.
    }
}

qint16 RegisterCollection(CTimers* collection)
{
    ThreadRegistry& reg = registry();
    if (reg.counter == std::numeric_limits<qint16>::max())
        throw ObjectError(6, QStringLiteral("MTimer.RegisterCollection"),
                          QStringLiteral("Overflow"));
    ++reg.counter;
    reg.collections.insert(reg.counter, collection);
    return reg.counter;
}

ISystemTimers& systemTimers()
{
    return registry().timers();
}

void setSystemTimers(ISystemTimers* timers)
{
    registry().installed = timers;
}

int runningTimerCount()
{
    return t_registry ? int(t_registry->running.size()) : 0;
}

namespace detail {

bool isRegisteredTo(int timerId, const CTimer* timer)
{
    return t_registry && t_registry->running.value(timerId).get() == timer;
}

void registerTimer(int timerId, std::shared_ptr<CTimer> timer)
{
    registry().running.insert(timerId, std::move(timer));
}

void unregisterTimer(int timerId)
{
    if (t_registry) {
        // Move the reference out before dropping it: releasing the last
        // reference destroys the timer, which must find the entry gone.
        std::shared_ptr<CTimer> held = t_registry->running.take(timerId);
        held.reset();
    }
}

void unregisterCollection(qint16 number)
{
    if (t_registry)
        t_registry->collections.remove(number);
}

} // namespace detail
} // namespace MTimer
} // namespace corvanta
