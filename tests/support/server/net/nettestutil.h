#pragma once

#include "componenterror.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

QT_BEGIN_NAMESPACE
// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace corvanta::testing {

// The error a call throws; a failed expectation when it throws none.
template <typename Call> ComponentError errorOf(Call&& call)
{
    try {
        call();
    } catch (const ComponentException& e) {
        return e.error();
    }
    ADD_FAILURE() << "the call threw no ComponentException";
    return {};
}

// Milliseconds a call takes, errors included.
template <typename Call> qint64 millisecondsOf(Call&& call)
{
    QElapsedTimer timer;
    timer.start();
    try {
        call();
    } catch (const ComponentException&) {
    }
    return timer.elapsed();
}

// Runs `work` on a fresh thread inside its event loop, asks that thread to
// end after `quitAfterMs` (an interruption request, then quit), and returns
// how long the thread took to end (or -1 when it did not end within 5 s).
inline qint64 millisecondsUntilThreadEnds(const std::function<void()>& work, int quitAfterMs)
{
    QThread thread;
    QObject context;
    context.moveToThread(&thread);
    thread.start();
    QMetaObject::invokeMethod(&context, work, Qt::QueuedConnection);
    QThread::msleep(quitAfterMs);
    QElapsedTimer timer;
    timer.start();
    thread.requestInterruption();
    thread.quit();
    const bool ended = thread.wait(5000);
    const qint64 elapsed = timer.elapsed();
    if (!ended) {
        thread.terminate();
        thread.wait();
    }
    return ended ? elapsed : -1;
}

// Runs `work(i)` for i in 0..count-1, each on its own thread inside that
// thread's event loop (as verification objects do), and waits for all.
inline void onThreads(int count, const std::function<void(int)>& work)
{
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back(QThread::create([&work, i] {
            QEventLoop loop;
            QMetaObject::invokeMethod(
                &loop,
                [&] {
                    work(i);
                    loop.quit();
                },
                Qt::QueuedConnection);
            loop.exec();
        }));
        threads.back()->start();
    }
    for (auto& thread : threads)
        thread->wait();
}

// Time granted on top of a time-out on a busy shared machine.
constexpr qint64 SlackMs = 250;

} // namespace corvanta::testing
