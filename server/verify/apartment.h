#pragma once

#include "componentfactory.h"

#include <QMetaObject>
#include <QThread>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <semaphore>
#include <type_traits>
#include <vector>

class QEventLoop;

namespace corvanta {

class clsVerify;

// A thread of its own for one verification object: it creates the object
// (with its timer and components) on that thread, serves calls to it there,
// and destroys it there.
//
// Ownership: owns the object. Destroying the apartment aborts a running
// verification, waits for it to unwind, destroys the object and ends the
// thread.
// Threads: create, open, call and destroy it from one owning thread (call()
// also works on the apartment's own thread). Calls are served even while the
// object waits on the network: the waits are nested event loops on the
// apartment's thread.
class Apartment final : public QThread
{
    Q_OBJECT

public:
    static constexpr uint DefaultStackSize = 256 * 1024;

    explicit Apartment(ComponentFactory factory, uint stackSize = DefaultStackSize);
    ~Apartment() override;

    // Starts the thread and creates the object on it. Throws what the
    // creation threw (e.g. ComponentException when a component cannot be
    // made); the apartment is then closed.
    void open();

    // Starts the thread without waiting for the object. Once it exists,
    // `ready` runs with it on the apartment's thread; if it cannot be made,
    // `failed` runs there with the error and the thread ends. Either may be
    // empty. Lets an owner start many apartments without queueing behind
    // each creation.
    void openAsync(std::function<void(clsVerify&)> ready,
                   std::function<void(std::exception_ptr)> failed);

    // Asks the apartment to close without waiting: a running verification is
    // aborted, the object destroyed, and finished() follows. The destructor
    // then only joins the thread.
    void requestClose();

    // The object once open() has returned (null before, and after closing);
    // it lives on the apartment's thread. Reach it through call() from other
    // threads, and connect to its signals with a context object.
    clsVerify* object() const { return m_object; }

    // Runs `f(object)` on the apartment's thread and returns its result,
    // rethrowing what it throws.
    template <class F> auto call(F&& f) -> std::invoke_result_t<F, clsVerify&>
    {
        using R = std::invoke_result_t<F, clsVerify&>;
        if constexpr (std::is_void_v<R>) {
            invoke([&] { f(*m_object); });
        } else {
            std::optional<R> result;
            invoke([&] { result.emplace(f(*m_object)); });
            return std::move(*result);
        }
    }

    // Runs `work(object)` on the apartment's thread soon and returns at once.
    // For an object that exists (after `ready` ran); dropped once the
    // apartment closes. The work goes through a lock of the apartment's own,
    // which a thread checker sees, unlike a queued call that hands its
    // functor over inside Qt.
    void post(std::function<void(clsVerify&)> work);

protected:
    void run() override;

private:
    void invoke(const std::function<void()>& work);
    void runPosted();
    friend class ApartmentMailbox;
    // Waits until the creation has ended (once); true when the object exists.
    bool awaitCreation();

    ComponentFactory m_factory;
    std::function<void(clsVerify&)> m_ready;
    std::function<void(std::exception_ptr)> m_failed;
    clsVerify* m_object = nullptr;
    QEventLoop* m_loop = nullptr;
    std::exception_ptr m_creationError;
    // Released by the thread once creation has ended: it publishes m_object
    // and m_creationError. A standard semaphore rather than QSemaphore, whose
    // hand-off happens inside Qt where the thread sanitizer cannot see it.
    std::binary_semaphore m_created{0};
    bool m_started = false;
    bool m_creationSeen = false;
    bool m_closeRequested = false;
    std::mutex m_postMutex;
    QObject* m_mailbox = nullptr;                          // under m_postMutex
    std::vector<std::function<void(clsVerify&)>> m_posted; // under m_postMutex
};

} // namespace corvanta
