#include "supportthread.h"

#include <QMetaObject>

namespace corvanta::testing {

SupportThread::SupportThread()
{
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

SupportThread::~SupportThread()
{
    QObject* context = m_context;
    call([context] { delete context; });
    m_thread.quit();
    m_thread.wait();
}

void SupportThread::call(const std::function<void()>& function) const
{
    if (QThread::currentThread() == &m_thread) {
        function();
        return;
    }
    QMetaObject::invokeMethod(m_context, function, Qt::BlockingQueuedConnection);
}

} // namespace corvanta::testing
