#include "ctimer.h"

#include "mtimer.h"
#include "systemtimers.h"

namespace corvanta {

std::shared_ptr<CTimer> CTimer::create()
{
    return std::shared_ptr<CTimer>(new CTimer);
}

// A running timer is held by the registry, so it only gets here stopped
// (holding no identifier) or when its thread's registry is being torn down
// (which killed its system timer): there is nothing left to stop.
CTimer::~CTimer() = default;

void CTimer::setEnabled(bool activateIt)
{
    if (activateIt) {
        if (m_enabled)
            Reset();
        else
            Enable();
    } else if (m_enabled) {
        Disable();
    }
}

void CTimer::EnableTimer(int mInterval)
{
    m_interval = mInterval;
    Enable();
}

void CTimer::Enable()
{
    if (m_enabled)
        StopSystemTimer();
    StartSystemTimer();
}

void CTimer::Disable()
{
    StopSystemTimer();
}

void CTimer::Reset()
{
    StopSystemTimer();
    StartSystemTimer();
}

void CTimer::RaiseTimer_Event()
{
    emit Timer();
}

void CTimer::setOwner(qint16 index, qint16 ownerNumber)
{
    m_index = index;
    m_owner = ownerNumber;
}

void CTimer::StartSystemTimer()
{
    if (m_interval <= 0)
        return;
    m_timerId = MTimer::systemTimers().setTimer(m_interval);
    m_enabled = m_timerId != 0;
    if (m_enabled)
        MTimer::detail::registerTimer(m_timerId, shared_from_this());
}

void CTimer::StopSystemTimer()
{
    // The system hands a freed identifier to the next timer it makes, so an
    // identifier is only ours while the registry says so, and a stopped timer
    // forgets it: a later stop must never kill that other timer.
    if (m_timerId == 0 || !MTimer::detail::isRegisteredTo(m_timerId, this))
        return;
    const int id = m_timerId;
    MTimer::systemTimers().killTimer(id);
    m_timerId = 0;
    m_enabled = false;
    // Last: dropping the registry's reference may destroy this timer.
    MTimer::detail::unregisterTimer(id);
}

} // namespace corvanta
