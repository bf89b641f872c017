#pragma once

#include "componentfactory.h"

#include <QMetaObject>
#include <QSemaphore>
#include <QThread>
#include <exception>
#include <functional>
#include <optional>
#include <type_traits>

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
// Threads: create, open and destroy it from one owning thread; call() may be
// used from any thread, and is served even while the object waits on the
// network (the waits are nested event loops on the apartment's thread).
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

    // The object; lives on the apartment's thread. Reach it through call()
    // from other threads, and connect to its signals with a context object.
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

protected:
    void run() override;

private:
    void invoke(const std::function<void()>& work);
    void close();

    ComponentFactory m_factory;
    clsVerify* m_object = nullptr;
    QEventLoop* m_loop = nullptr;
    std::exception_ptr m_creationError;
    QSemaphore m_created;
    bool m_opened = false;
};

} // namespace corvanta
