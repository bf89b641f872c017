// Runs inside a private network namespace (CTest starts it under `unshare -rn`), where
// the test can plug and unplug a virtual cable without touching the machine's network.
#include "networkprobe.h"

#include <QNetworkInterface>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

namespace corvanta {
namespace {

// Runs `ip` with the given arguments; fails the test on any error.
void ip(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("ip"), arguments);
    ASSERT_TRUE(process.waitForFinished(10000)) << "ip " << arguments.join(' ').toStdString();
    ASSERT_EQ(process.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(process.exitCode(), 0) << "ip " << arguments.join(' ').toStdString() << ": "
                                     << process.readAllStandardError().toStdString();
}

// The kernel raises and drops a link's carrier shortly after the command returns.
bool probeSettlesOn(bool expected)
{
    InterfaceNetworkProbe probe;
    for (int i = 0; i < 50; ++i) {
        if (probe.NetworkIsAlive() == expected)
            return true;
        QThread::msleep(40);
    }
    return false;
}

TEST(NetworkProbeInNamespace, FollowsACableBeingPluggedAndPulled)
{
    // A private namespace has nothing but its loopback; anything else means the test
    // is looking at a real network and proves nothing.
    const auto interfaces = QNetworkInterface::allInterfaces();
    ASSERT_EQ(interfaces.size(), 1) << "not in a private network namespace";
    ASSERT_TRUE(interfaces.first().flags().testFlag(QNetworkInterface::IsLoopBack));

    ip({"link", "set", "lo", "up"});
    EXPECT_TRUE(probeSettlesOn(false)) << "loopback alone counts as a network";
    EXPECT_FALSE(createSystemNetworkProbe()->NetworkIsAlive()) << "the system probe differs";

    // A virtual cable: cv0 is our network card, cv1 the other end of the wire.
    ip({"link", "add", "cv0", "type", "veth", "peer", "name", "cv1"});
    ip({"addr", "add", "192.0.2.10/24", "dev", "cv0"});
    ip({"link", "set", "cv0", "up"});
    EXPECT_TRUE(probeSettlesOn(false)) << "a card with no carrier counts as a network";

    ip({"link", "set", "cv1", "up"});
    EXPECT_TRUE(probeSettlesOn(true)) << "a plugged, addressed card is not seen";

    ip({"link", "set", "cv1", "down"}); // the cable is pulled
    EXPECT_TRUE(probeSettlesOn(false));

    ip({"link", "set", "cv1", "up"}); // and plugged back in
    EXPECT_TRUE(probeSettlesOn(true));
    EXPECT_TRUE(createSystemNetworkProbe()->NetworkIsAlive()) << "the system probe differs";

    ip({"link", "set", "cv0", "down"}); // the card is switched off
    EXPECT_TRUE(probeSettlesOn(false));
}

} // namespace
} // namespace corvanta
