#pragma once

#include <functional>
#include <memory>

namespace corvanta {

class IDnsResolver;
class ISmtpClient;

// Makes the outside components of one verification object. Called on the
// object's own thread, at its creation; a maker that cannot deliver throws
// ComponentException (or returns null), and the creation fails with it.
struct ComponentFactory
{
    std::function<std::unique_ptr<ISmtpClient>()> createSmtpClient;
    std::function<std::unique_ptr<IDnsResolver>()> createDnsResolver;
};

} // namespace corvanta
