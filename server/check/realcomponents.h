#pragma once

#include "componentfactory.h"

namespace corvanta {

// The network components a verification object uses in production: the
// SMTP client and the DNS resolver.
ComponentFactory realComponentFactory();

} // namespace corvanta
