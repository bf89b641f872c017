#pragma once

#include <QtGlobal>
#include <memory>

namespace corvanta {

class CTimer;
class CTimers;
class ISystemTimers;

// The per-thread routing of the timer service. Every thread that uses timers
// gets its own registries (created on first use, released when the thread
// ends), so threads never share timers and nothing needs a lock.
//
// Threads: every function acts on the calling thread's registries only.
namespace MTimer {

// The system tick: routes the tick of `timerId` to its CTimer or to the
// collection that owns it. A tick nobody owns kills its system timer. Errors
// raised by event handlers are swallowed so later ticks still route.
void TimerProc(int timerId);

// Gives `collection` the next registration number of this thread and records
// it. Throws ObjectError (6, "Overflow") once the numbers are used up.
qint16 RegisterCollection(CTimers* collection);

// The system timers of this thread. By default the event-loop timers of Qt;
// tests install scripted ones. `timers` must outlive its installation; pass
// nullptr to restore the default.
ISystemTimers& systemTimers();
void setSystemTimers(ISystemTimers* timers);

// Number of running timers this thread routes (for diagnostics and tests).
int runningTimerCount();

namespace detail {
// Used by CTimer and CTimers only.
// True when the running timer registered under `timerId` is `timer`.
bool isRegisteredTo(int timerId, const CTimer* timer);
void registerTimer(int timerId, std::shared_ptr<CTimer> timer);
void unregisterTimer(int timerId);
void unregisterCollection(qint16 number);
} // namespace detail

} // namespace MTimer
} // namespace corvanta
