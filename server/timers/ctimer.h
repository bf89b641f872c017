#pragma once

#include <QObject>
#include <QVariant>
#include <memory>

namespace corvanta {

class CTimers;

// One periodic timer with an interval, an enabled switch and a `Timer` event,
// delivered on the thread that created it.
//
// Ownership: created only through create(). While it runs, the thread's
// registry holds a reference, so a running timer keeps ticking even when its
// creator lets go of it; it ends when it is stopped (or its thread ends).
// Threads: start, stop and destroy it on the thread that created it.
class CTimer final : public QObject, public std::enable_shared_from_this<CTimer>
{
    Q_OBJECT

public:
    static std::shared_ptr<CTimer> create();
    ~CTimer() override;

    // Period in milliseconds handed to the system timer when it starts.
    int Interval() const { return m_interval; }
    void setInterval(int milliseconds) { m_interval = milliseconds; }

    // The caller's own value; the timer never looks at it.
    QVariant Tag;

    bool Enabled() const { return m_enabled; }
    // True restarts a running timer or starts a stopped one; false stops it.
    void setEnabled(bool activateIt);
    void EnableTimer(int mInterval);
    void Enable();
    void Disable();
    // Stop, then start: the next tick comes one full interval from now.
    void Reset();
    void RaiseTimer_Event();

    // The identifier of the system timer, 0 when none runs.
    int systemTimerId() const { return m_timerId; }
    // Position in the owning collection and its number; 0 for a lone timer.
    qint16 index() const { return m_index; }
    qint16 ownerNumber() const { return m_owner; }

signals:
    void Timer();

private:
    CTimer() = default;
    friend class CTimers;
    void setOwner(qint16 index, qint16 ownerNumber);

    void StartSystemTimer();
    void StopSystemTimer();

    int m_interval = 2000;
    int m_timerId = 0;
    bool m_enabled = false;
    qint16 m_index = 0;
    qint16 m_owner = 0;
};

} // namespace corvanta
