#pragma once

#include <QObject>
#include <QThread>
#include <functional>

namespace corvanta::testing {

// SupportThread: a thread with its own event loop for the fake servers, so a
// test's blocking client on the main thread can talk to them.
//
// call() runs a function on that thread and waits for it. Objects made there
// should have context() as parent; they are deleted on that thread when the
// SupportThread is destroyed.
class SupportThread final
{
public:
    SupportThread();
    ~SupportThread();

    SupportThread(const SupportThread&) = delete;
    SupportThread& operator=(const SupportThread&) = delete;

    QObject* context() const { return m_context; }
    void call(const std::function<void()>& function) const;

private:
    QThread m_thread;
    QObject* m_context = nullptr;
};

} // namespace corvanta::testing
