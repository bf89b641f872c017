#pragma once

#include "componentfactory.h"

namespace corvanta {

// The network components a verification object uses in production: the
// SMTP client and the DNS resolver, the resolvers sharing the process's DNS
// cache (DnsCache::process()).
ComponentFactory realComponentFactory();

} // namespace corvanta
