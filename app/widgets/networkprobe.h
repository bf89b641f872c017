#pragma once

#include <memory>
#include <vector>

namespace corvanta {

// Answers "is any network up?" for the connection indicator. The answer gates the
// run: while it is false no new address is handed out. A probe that cannot tell
// answers false. Called on the GUI thread once a second, so it must be quick.
class INetworkProbe
{
public:
    virtual ~INetworkProbe() = default;
    virtual bool NetworkIsAlive() = 0;
};

// What the portable probe looks at for one network interface.
struct InterfaceState
{
    bool up = false;
    bool running = false;
    bool loopback = false;
    bool hasAddress = false;
};

// The network is alive when some interface is up and running (has a link), is not
// the loopback and carries an address. Loopback alone reaches no mail server.
bool anyInterfaceAlive(const std::vector<InterfaceState>& interfaces);

// The portable probe: the rule above over the system's interfaces as Qt sees them.
class InterfaceNetworkProbe final : public INetworkProbe
{
public:
    bool NetworkIsAlive() override;

    // The system's interfaces right now.
    static std::vector<InterfaceState> currentInterfaces();
};

// The probe for this platform: the system's own network-alive call on Windows, the
// interface rule elsewhere.
std::unique_ptr<INetworkProbe> createSystemNetworkProbe();

} // namespace corvanta
