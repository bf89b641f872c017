#pragma once

namespace corvanta {

// The thread timers underneath the timer service: a periodic timer that
// belongs to the calling thread and ticks through that thread's event loop.
// Each tick is handed to MTimer::TimerProc with the timer's identifier.
//
// Threads: every call is made on the thread that owns the timers.
class ISystemTimers
{
public:
    virtual ~ISystemTimers() = default;

    // Starts a periodic timer; returns its identifier, 0 when none was granted.
    virtual int setTimer(int intervalMs) = 0;
    // Ends the timer with this identifier; false when there was none.
    virtual bool killTimer(int timerId) = 0;
};

} // namespace corvanta
