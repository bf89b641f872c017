#include "realcomponents.h"

#include "dnscache.h"
#include "dnsresolver.h"
#include "mailserverlimits.h"
#include "smtpclient.h"

namespace corvanta {

ComponentFactory realComponentFactory()
{
    return ComponentFactory{
        [] { return std::unique_ptr<IDnsResolver>(new DnsResolver(&DnsCache::process())); },
        [](IDnsResolver& resolver) {
            return std::unique_ptr<ISmtpClient>(
                new SmtpClient(resolver, &MailServerLimits::process()));
        },
    };
}

} // namespace corvanta
