#pragma once

#include <QString>
#include <QStringList>

namespace corvanta {

// The system's DNS servers, in the order the system asks them: the
// `nameserver` lines of the resolver configuration. Empty when it has none or
// cannot be read. Kept to this one function so the shared discovery module
// can take its place.
QStringList systemDnsServers(const QString& resolvConfPath = QStringLiteral("/etc/resolv.conf"));

} // namespace corvanta
