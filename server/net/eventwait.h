#pragma once

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QThread>

namespace corvanta {

// Serves the calling thread's events until `done()` holds, as a nested
// event loop would: calls, timers and other sockets of the thread are
// handled meanwhile. Returns false, without waiting on, once the thread is
// asked to end (QThread::requestInterruption followed by anything that wakes
// it, such as QThread::quit).
//
// Unlike a nested QEventLoop, ending the wait costs nothing: whatever makes
// `done()` true runs inside the wait, so it is seen as soon as that event's
// handling returns. Ending a QEventLoop instead signals the thread's wake-up
// descriptor and makes it poll once more, which on a busy run was a third of
// a verification's system calls.
//
// Threads: the calling thread, which must have an event dispatcher.
template <class Done> bool serveEventsUntil(Done&& done)
{
    QThread* self = QThread::currentThread();
    QAbstractEventDispatcher* dispatcher = self->eventDispatcher();
    while (!done()) {
        if (!dispatcher || self->isInterruptionRequested())
            return false;
        dispatcher->processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::EventLoopExec);
    }
    return true;
}

} // namespace corvanta
