#include "realcomponents.h"

#include "componenterror.h"
#include "idnsresolver.h"
#include "ismtpclient.h"

namespace corvanta {

ComponentFactory realComponentFactory()
{
    // Placeholder until the network components are part of the build.
    const auto missing = [] {
        return ComponentException(0, QStringLiteral("The network components are not built in"));
    };
    return ComponentFactory{
        [missing]() -> std::unique_ptr<IDnsResolver> { throw missing(); },
        [missing](IDnsResolver&) -> std::unique_ptr<ISmtpClient> { throw missing(); },
    };
}

} // namespace corvanta
