#pragma once

#include <QObject>
#include <memory>
#include <vector>

namespace corvanta {

class CTimer;

// A collection of timers that reports, through one event, which of its timers
// fired. Timers are added (never removed) and numbered from 1.
//
// Ownership: owns its timers; a timer of the collection that is still running
// when the collection goes stays in the thread's registry, and its next tick,
// finding no collection, kills it.
// Threads: use it on the thread that created it.
class CTimers final : public QObject
{
    Q_OBJECT

public:
    // Takes the next registration number of this thread; throws ObjectError
    // when the thread has used them all.
    CTimers();
    ~CTimers() override;

    qint16 Count() const { return m_count; }
    // Adds a stopped timer and returns its index.
    qint16 Add();
    // Adds n + 1 timers; n must lie in 1..199.
    void BulkLoad(qint16 n);
    std::shared_ptr<CTimer> item(qint16 Index) const;

    qint16 registrationNumber() const { return m_number; }

    // Raises `Timer` for the timer at `index`; called by the routing.
    void raiseTimer(qint16 index);

signals:
    void Timer(qint16 index);

private:
    qint16 m_count = 0;
    qint16 m_number = 0;
    std::vector<std::shared_ptr<CTimer>> m_timers;
};

} // namespace corvanta
