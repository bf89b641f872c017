#include "realcomponents.h"

#include "dnsresolver.h"
#include "smtpclient.h"

namespace corvanta {

ComponentFactory realComponentFactory()
{
    return ComponentFactory{
        [] { return std::unique_ptr<IDnsResolver>(new DnsResolver); },
        [](IDnsResolver& resolver) {
            return std::unique_ptr<ISmtpClient>(new SmtpClient(resolver));
        },
    };
}

} // namespace corvanta
