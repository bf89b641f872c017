#pragma once

#include <functional>
#include <memory>

namespace corvanta {

class IDnsResolver;
class ISmtpClient;

// Makes the outside components of one verification object. Called on the
// object's own thread, at its creation: the resolver first, then the SMTP
// client, which is handed that resolver to find the addresses of mail
// servers with the same DNS server, port and time-out (it must not outlive
// it). A maker that cannot deliver throws ComponentException (or returns
// null), and the creation fails with it.
struct ComponentFactory
{
    std::function<std::unique_ptr<IDnsResolver>()> createDnsResolver;
    std::function<std::unique_ptr<ISmtpClient>(IDnsResolver& resolver)> createSmtpClient;
};

} // namespace corvanta
