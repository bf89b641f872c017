#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

namespace corvanta {

// Paces the repaints of one top-level window while switched on: at most one
// every interval, however often its contents change. A run changes rows,
// counters and the progress bar for every address, and yields to the window
// after each; painting each of those states, hundreds a second, cost the
// window thread more than the run's own work while no eye can follow them.
// Nothing is lost: what changed meanwhile is painted with the next frame.
//
// Ownership: a child of the window it paces. Threads: the GUI thread only.
class PaintPacer final : public QObject
{
public:
    PaintPacer(QWidget* window, int intervalMs);

    // Off: every change is painted as soon as the window gets to it; a
    // frame held back is painted at once.
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void releaseFrame();

    QWidget* m_window;
    int m_intervalMs;
    QElapsedTimer m_sincePaint;
    QTimer m_held; // runs while a frame is held back
    bool m_enabled = false;
};

} // namespace corvanta
