#include "networkprobe.h"

#include <QNetworkInterface>
#include <QtGlobal>
#include <algorithm>

#ifdef Q_OS_WIN
#include "win/sensnetwork.h"
#endif

namespace corvanta {

bool anyInterfaceAlive(const std::vector<InterfaceState>& interfaces)
{
    return std::any_of(interfaces.begin(), interfaces.end(), [](const InterfaceState& i) {
        return i.up && i.running && !i.loopback && i.hasAddress;
    });
}

std::vector<InterfaceState> InterfaceNetworkProbe::currentInterfaces()
{
    std::vector<InterfaceState> states;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    states.reserve(std::size_t(interfaces.size()));
    for (const QNetworkInterface& interface : interfaces) {
        const auto flags = interface.flags();
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        InterfaceState state;
        state.up = flags.testFlag(QNetworkInterface::IsUp);
        state.running = flags.testFlag(QNetworkInterface::IsRunning);
        state.loopback = flags.testFlag(QNetworkInterface::IsLoopBack);
        state.hasAddress = std::any_of(entries.begin(), entries.end(),
                                       [](const auto& entry) { return !entry.ip().isNull(); });
        states.push_back(state);
    }
    return states;
}

bool InterfaceNetworkProbe::NetworkIsAlive()
{
    return anyInterfaceAlive(currentInterfaces());
}

namespace {

#ifdef Q_OS_WIN
class SensNetworkProbe final : public INetworkProbe
{
public:
    bool NetworkIsAlive() override { return win::networkIsAlive(); }
};
#endif

} // namespace

std::unique_ptr<INetworkProbe> createSystemNetworkProbe()
{
#ifdef Q_OS_WIN
    return std::make_unique<SensNetworkProbe>();
#else
    return std::make_unique<InterfaceNetworkProbe>();
#endif
}

} // namespace corvanta
