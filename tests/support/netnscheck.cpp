#include "netnscheck.h"

#include <QNetworkInterface>

namespace corvanta::testing {

bool inPrivateNetworkNamespace(QString* why)
{
    // A namespace made by netns-run.sh holds loopback and nothing else; any
    // other interface means we could reach, or be reached from, a real network.
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        if (interface.type() != QNetworkInterface::Loopback) {
            if (why)
                *why = QStringLiteral("the network interface %1 is present, so this is not a "
                                      "private network namespace; start it through "
                                      "netns-run.sh or CTest")
                           .arg(interface.name());
            return false;
        }
    }
    return true;
}

} // namespace corvanta::testing
