#include "apartment.h"

#include "clsverify.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <stdexcept>

// A blocking queued call hands over inside Qt, which the thread sanitizer
// cannot see into: without telling it, the caller's stack that the call read
// looks raced when the caller goes on to reuse it.
#if defined(__SANITIZE_THREAD__)
#define CORVANTA_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define CORVANTA_TSAN 1
#endif
#endif
#ifdef CORVANTA_TSAN
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace corvanta {

namespace {

void handOverDone([[maybe_unused]] void* token)
{
#ifdef CORVANTA_TSAN
    __tsan_release(token);
#endif
}

void handOverSeen([[maybe_unused]] void* token)
{
#ifdef CORVANTA_TSAN
    __tsan_acquire(token);
#endif
}

const QEvent::Type kPostedWork = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

// Lives on the apartment's thread while its loop runs; an event to it runs
// the work posted meanwhile.
class ApartmentMailbox final : public QObject
{
public:
    explicit ApartmentMailbox(Apartment& apartment) : m_apartment(apartment) {}

    bool event(QEvent* event) override
    {
        if (event->type() != kPostedWork)
            return QObject::event(event);
        m_apartment.runPosted();
        return true;
    }

private:
    Apartment& m_apartment;
};

void Apartment::post(std::function<void(clsVerify&)> work)
{
    const std::lock_guard lock(m_postMutex);
    if (!m_mailbox)
        return;
    // A non-empty queue already has its event on the way.
    if (m_posted.empty())
        QCoreApplication::postEvent(m_mailbox, new QEvent(kPostedWork));
    m_posted.push_back(std::move(work));
}

void Apartment::runPosted()
{
    std::vector<std::function<void(clsVerify&)>> work;
    {
        const std::lock_guard lock(m_postMutex);
        work.swap(m_posted);
    }
    for (const auto& w : work)
        if (m_object)
            w(*m_object);
}

Apartment::Apartment(ComponentFactory factory, uint stackSize) : m_factory(std::move(factory))
{
    setStackSize(stackSize);
}

Apartment::~Apartment()
{
    requestClose();
    wait();
}

void Apartment::open()
{
    openAsync({}, {});
    if (!awaitCreation()) {
        wait();
        std::rethrow_exception(m_creationError);
    }
}

void Apartment::openAsync(std::function<void(clsVerify&)> ready,
                          std::function<void(std::exception_ptr)> failed)
{
    if (m_started)
        throw std::logic_error("the apartment is already open");
    m_started = true;
    m_ready = std::move(ready);
    m_failed = std::move(failed);
    start();
}

bool Apartment::awaitCreation()
{
    if (!m_started)
        return false;
    if (!m_creationSeen) {
        m_created.acquire();
        m_creationSeen = true;
    }
    return m_object != nullptr;
}

void Apartment::run()
{
    QEventLoop loop;
    try {
        m_object = new clsVerify(m_factory);
    } catch (...) {
        m_creationError = std::current_exception();
        m_created.release();
        if (m_failed)
            m_failed(m_creationError);
        return;
    }
    m_loop = &loop;
    ApartmentMailbox mailbox(*this);
    {
        const std::lock_guard lock(m_postMutex);
        m_mailbox = &mailbox;
    }
    m_created.release();
    if (m_ready)
        m_ready(*m_object);
    loop.exec();
    {
        const std::lock_guard lock(m_postMutex);
        m_mailbox = nullptr;
        m_posted.clear();
    }
    // Back at the outermost level: no procedure runs any more.
    delete m_object;
    m_object = nullptr;
    m_loop = nullptr;
}

void Apartment::invoke(const std::function<void()>& work)
{
    if (QThread::currentThread() == this) {
        work();
        return;
    }
    if (m_closeRequested || !awaitCreation())
        throw std::logic_error("the apartment is not open");
    std::exception_ptr error;
    QMetaObject::invokeMethod(
        m_object,
        [&] {
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
            handOverDone(&error);
        },
        Qt::BlockingQueuedConnection);
    handOverSeen(&error);
    if (error)
        std::rethrow_exception(error);
}

void Apartment::requestClose()
{
    if (m_closeRequested || !awaitCreation())
        return;
    m_closeRequested = true;
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
}

} // namespace corvanta
