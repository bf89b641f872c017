#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QTimer;

namespace corvanta {

// A repeating timer, the seam through which the status panel gets its one-second
// ticks. Production uses QtTickTimer; tests fire ticks by hand so that counting and
// network checks are deterministic. Used on the GUI thread only.
class ITickTimer
{
public:
    virtual ~ITickTimer() = default;

    // Called on every tick while the timer runs. Set before start().
    virtual void setHandler(std::function<void()> handler) = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    virtual int intervalMs() const = 0;
};

// ITickTimer on a QTimer. A tick the thread cannot serve in time is not made up
// later: QTimer coalesces missed ticks, which is what a tick counter wants.
class QtTickTimer final : public ITickTimer
{
public:
    explicit QtTickTimer(int intervalMs);
    ~QtTickTimer() override;

    void setHandler(std::function<void()> handler) override;
    void start() override;
    void stop() override;
    bool isActive() const override;
    int intervalMs() const override;

private:
    std::unique_ptr<QTimer> m_timer;
    std::function<void()> m_handler;
};

} // namespace corvanta
