#include "apartment.h"

#include "clsverify.h"

#include <QEventLoop>

namespace corvanta {

Apartment::Apartment(ComponentFactory factory, uint stackSize) : m_factory(std::move(factory))
{
    setStackSize(stackSize);
}

Apartment::~Apartment()
{
    close();
}

void Apartment::open()
{
    start();
    m_created.acquire();
    if (m_creationError) {
        wait();
        std::rethrow_exception(m_creationError);
    }
    m_opened = true;
}

void Apartment::run()
{
    QEventLoop loop;
    try {
        m_object = new clsVerify(m_factory);
    } catch (...) {
        m_creationError = std::current_exception();
        m_created.release();
        return;
    }
    m_loop = &loop;
    m_created.release();
    loop.exec();
    // Back at the outermost level: no procedure runs any more.
    delete m_object;
    m_object = nullptr;
    m_loop = nullptr;
}

void Apartment::invoke(const std::function<void()>& work)
{
    if (!m_object)
        throw std::logic_error("the apartment is not open");
    if (QThread::currentThread() == this) {
        work();
        return;
    }
    std::exception_ptr error;
    QMetaObject::invokeMethod(
        m_object,
        [&] {
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (error)
        std::rethrow_exception(error);
}

void Apartment::close()
{
    if (!m_opened)
        return;
    m_opened = false;
    QMetaObject::invokeMethod(
        m_object,
        [this] {
            m_object->shutdown();
            // Leave the outer loop only: quitting the thread would also end
            // the components' nested waits before they could unwind.
            if (m_object->procedureRunning())
                connect(m_object, &clsVerify::procedureEnded, m_loop, &QEventLoop::quit);
            else
                m_loop->quit();
        },
        Qt::QueuedConnection);
    wait();
}

} // namespace corvanta
