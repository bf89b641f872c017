#pragma once

#include "componentfactory.h"
#include "hostedobject.h"

#include <memory>

namespace corvanta {

class clsVerify;

// Binds one verification object to its broker connection: maps the members of
// the object's interface (numbered as in verifymembers.h) to the object,
// relays FinishedEvent and ProgressEvent to the client while events are
// switched on, and pushes every change of status or busy flag.
//
// Lives on the apartment's thread with the object it owns.
class HostedVerify final : public HostedObject
{
public:
    // Creates the object with its components. Raises BrokerException with the
    // component's number and description when one cannot be made.
    HostedVerify(ObjectSite& site, const ComponentFactory& factory);
    ~HostedVerify() override;

    QVariant invoke(qint32 member, const wire::ValueList& args) override;
    wire::StatePush state() const override;
    void abortWork() noexcept override;

private:
    ObjectSite& m_site;
    std::unique_ptr<clsVerify> m_object;
};

// The server process: serves verification objects made with `factory` until
// the last client has gone. The `serve` command of sondrix.
int serveVerifyObjects(int argc, char** argv, ComponentFactory factory);

} // namespace corvanta
