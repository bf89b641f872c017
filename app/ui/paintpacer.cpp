#include "paintpacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace corvanta {

PaintPacer::PaintPacer(QWidget* window, int intervalMs)
    : QObject(window), m_window(window), m_intervalMs(intervalMs)
{
    m_held.setSingleShot(true);
    m_held.setTimerType(Qt::PreciseTimer);
    connect(&m_held, &QTimer::timeout, this, &PaintPacer::releaseFrame);
    window->installEventFilter(this);
}

void PaintPacer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (!enabled && m_held.isActive()) {
        m_held.stop();
        releaseFrame();
    }
}

bool PaintPacer::eventFilter(QObject* watched, QEvent* event)
{
    // Qt paints a window when it handles the request it posted to itself
    // after the first change; until then further changes only add to the
    // region to paint. Holding the request back holds the frame.
    if (watched != m_window || event->type() != QEvent::UpdateRequest)
        return false;
    if (!m_enabled || !m_sincePaint.isValid() || m_sincePaint.elapsed() >= m_intervalMs) {
        m_sincePaint.start();
        return false;
    }
    if (!m_held.isActive())
        m_held.start(int(std::max<qint64>(1, m_intervalMs - m_sincePaint.elapsed())));
    return true;
}

void PaintPacer::releaseFrame()
{
    QCoreApplication::postEvent(m_window, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
}

} // namespace corvanta
