#include "networkprobe.h"

#include <gtest/gtest.h>

namespace corvanta {
namespace {

// Up, running, loopback, addressed.
using iface = InterfaceState;

TEST(NetworkRule, NeedsOneInterfaceThatIsUpRunningAddressedAndNotLoopback)
{
    EXPECT_FALSE(anyInterfaceAlive({}));
    EXPECT_TRUE(anyInterfaceAlive({iface{true, true, false, true}}));
    EXPECT_FALSE(anyInterfaceAlive({iface{true, true, true, true}}));    // loopback only
    EXPECT_FALSE(anyInterfaceAlive({iface{true, false, false, true}}));  // no link
    EXPECT_FALSE(anyInterfaceAlive({iface{false, false, false, true}})); // switched off
    EXPECT_FALSE(anyInterfaceAlive({iface{true, true, false, false}}));  // no address
    // One good interface among dead ones is enough; the conditions must meet on
    // the same interface, not be spread over several.
    EXPECT_TRUE(anyInterfaceAlive({iface{true, true, true, true}, iface{false, false, false, true},
                                   iface{true, true, false, true}}));
    EXPECT_FALSE(anyInterfaceAlive({iface{true, true, true, true}, iface{true, false, false, true},
                                    iface{true, true, false, false}}));
}

} // namespace
} // namespace corvanta
