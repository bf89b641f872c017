#include "ticktimer.h"

#include <QTimer>

namespace corvanta {

QtTickTimer::QtTickTimer(int intervalMs) : m_timer(std::make_unique<QTimer>())
{
    m_timer->setInterval(intervalMs);
    QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), [this] {
        if (m_handler)
            m_handler();
    });
}

QtTickTimer::~QtTickTimer() = default;

void QtTickTimer::setHandler(std::function<void()> handler)
{
    m_handler = std::move(handler);
}

void QtTickTimer::start()
{
    m_timer->start();
}

void QtTickTimer::stop()
{
    m_timer->stop();
}

bool QtTickTimer::isActive() const
{
    return m_timer->isActive();
}

int QtTickTimer::intervalMs() const
{
    return m_timer->interval();
}

} // namespace corvanta
