#pragma once

#include "brokererror.h"
#include "wire.h"

#include <functional>
#include <memory>

namespace corvanta {

// What a hosted object can do towards its client. One site per connection; it
// lives on the object's apartment thread and must only be used from there.
class ObjectSite
{
public:
    virtual ~ObjectSite() = default;

    // Sends an event to the client and returns once the client's handler has
    // returned (its acknowledgement arrived) or the connection is gone. While
    // it waits, the thread keeps serving the client's calls, so a handler may
    // call back into the object; the object must be ready for that.
    virtual void raiseEvent(qint32 event, const wire::ValueList& args) = 0;

    // Tells the client the object's status or busy flag changed. Pushes that
    // change neither are dropped here, so callers may push freely. `settled`
    // goes with a push whose busy flag is false: the values of the members
    // that only change while the object is busy, which the client then
    // answers itself until it next calls the object.
    virtual void pushState(qint32 status, bool busy, const wire::ValueList& settled = {}) = 0;
};

// A server-side object: a table of members invoked by index. Created by its
// factory on its apartment thread and used and destroyed only there.
class HostedObject
{
public:
    virtual ~HostedObject() = default;

    // Runs member number `member` with `args` and returns its value. Raises
    // BrokerException (number, source, description) to return an error; any
    // other exception is reported to the client as an error too and never
    // ends the server.
    virtual QVariant invoke(qint32 member, const wire::ValueList& args) = 0;

    // The state the client sees right after creation.
    virtual wire::StatePush state() const = 0;

    // The client is gone: stop whatever is in progress and start nothing
    // new. The object's nested waits must end through their own abort paths
    // soon after; the apartment destroys the object, on its thread, once the
    // last of them has returned. Must not throw.
    virtual void abortWork() noexcept = 0;
};

// Creates one object for one connection, on that connection's apartment
// thread. Raises BrokerException when the object cannot be made; the client's
// creation then fails with that error.
using ObjectFactory = std::function<std::unique_ptr<HostedObject>(ObjectSite& site)>;

} // namespace corvanta
