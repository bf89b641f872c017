// GetNetworkParams discovery under Wine. Wine takes the DNS servers from the
// host's resolver configuration, which it shows as Z:\etc\resolv.conf, so the
// expected list is read from there.
#include "dnsservers.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace corvanta {
namespace {

std::vector<std::string> hostIpv4Servers()
{
    std::ifstream in("Z:\\etc\\resolv.conf", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<std::string> servers;
    // The Windows record has room for IPv4 address texts only.
    for (const std::string& s : ParseResolvConf(text.str())) {
        if (s.find(':') == std::string::npos)
            servers.push_back(s);
    }
    return servers;
}

TEST(WineDnsServers, ReportsTheServersOfTheHost)
{
    const std::vector<std::string> expected = hostIpv4Servers();
    std::string primary = "stale";
    std::vector<std::string> servers;
    const std::int32_t count = GetDnsServers(primary, servers);
    if (expected.empty()) {
        EXPECT_LE(count, 1);
        EXPECT_EQ(primary, "");
        EXPECT_EQ(GetDefaultDnsServer(), "");
        return;
    }
    EXPECT_EQ(count, static_cast<std::int32_t>(expected.size()));
    EXPECT_EQ(servers, expected);
    EXPECT_EQ(primary, expected.front());
    EXPECT_EQ(GetDefaultDnsServer(), expected.front());
}

} // namespace
} // namespace corvanta
