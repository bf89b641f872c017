// DNS server discovery from a resolver configuration file: none, one and
// several servers, an unreadable file, and the text rules.
#include "dnsservers.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace corvanta {
namespace {

namespace fs = std::filesystem;

class DnsServersTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string dir = (fs::temp_directory_path() / "cvdns-XXXXXX").string();
        ASSERT_NE(::mkdtemp(dir.data()), nullptr);
        m_dir = dir;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string conf(const std::string& text)
    {
        const fs::path path = m_dir / "resolv.conf";
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    fs::path m_dir;
};

TEST_F(DnsServersTest, SeveralServersComeInTheirOrder)
{
    const std::string path =
        conf("# generated\nsearch example.org\nnameserver 192.0.2.1\n"
             "options ndots:2\nnameserver\t2001:db8::53\nnameserver 10.0.0.9\n");
    std::string primary = "stale";
    std::vector<std::string> servers{"stale", "stale"};
    EXPECT_EQ(GetDnsServers(primary, servers, path), 3);
    EXPECT_EQ(primary, "192.0.2.1");
    EXPECT_EQ(servers, (std::vector<std::string>{"192.0.2.1", "2001:db8::53", "10.0.0.9"}));
    EXPECT_EQ(GetDefaultDnsServer(path), "192.0.2.1");
}

TEST_F(DnsServersTest, OneServer)
{
    const std::string path = conf("nameserver 127.0.0.53\r\n");
    std::string primary;
    std::vector<std::string> servers;
    EXPECT_EQ(GetDnsServers(primary, servers, path), 1);
    EXPECT_EQ(primary, "127.0.0.53");
    EXPECT_EQ(servers, std::vector<std::string>{"127.0.0.53"});
}

TEST_F(DnsServersTest, NoServerGivesOneEmptyEntry)
{
    const std::string path =
        conf("search example.org\n# nameserver 1.2.3.4\n;nameserver 5.6.7.8\n");
    std::string primary = "stale";
    std::vector<std::string> servers;
    EXPECT_EQ(GetDnsServers(primary, servers, path), 1);
    EXPECT_EQ(primary, "");
    EXPECT_EQ(servers, std::vector<std::string>{""});
    EXPECT_EQ(GetDefaultDnsServer(path), "");
}

TEST_F(DnsServersTest, UnreadableConfigurationGivesNothing)
{
    std::string primary = "stale";
    std::vector<std::string> servers{"a", "b"};
    EXPECT_EQ(GetDnsServers(primary, servers, (m_dir / "missing").string()), 0);
    EXPECT_EQ(primary, "");
    EXPECT_EQ(servers, std::vector<std::string>{""});
    EXPECT_EQ(GetDefaultDnsServer((m_dir / "missing").string()), "");
}

TEST(ResolvConf, OnlyNameserverLinesCount)
{
    EXPECT_EQ(ParseResolvConf("  nameserver   1.1.1.1  # comment\n"
                              "nameservers 2.2.2.2\n"
                              "nameserver\n"
                              "xnameserver 3.3.3.3\n"
                              "nameserver 4.4.4.4;trailing\n"
                              "nameserver 5.5.5.5"),
              (std::vector<std::string>{"1.1.1.1", "4.4.4.4", "5.5.5.5"}));
    EXPECT_TRUE(ParseResolvConf("").empty());
}

TEST(TrimNull, CutsAtTheFirstNul)
{
    EXPECT_EQ(TrimNull(std::string_view("10.0.0.1\0\0\0junk", 16)), "10.0.0.1");
    EXPECT_EQ(TrimNull("no nul"), "no nul");
    EXPECT_EQ(TrimNull(std::string_view("\0abc", 4)), "");
    EXPECT_EQ(TrimNull(""), "");
}

TEST(SystemDnsServers, DefaultIsThePrimaryOfTheSystemList)
{
    std::string primary;
    std::vector<std::string> servers;
    const std::int32_t count = GetDnsServers(primary, servers);
    ASSERT_FALSE(servers.empty());
    EXPECT_EQ(GetDefaultDnsServer(), primary.empty() && count > 0 ? servers[0] : primary);
    std::string expectedPrimary;
    std::vector<std::string> expected;
    EXPECT_EQ(GetDnsServers(expectedPrimary, expected, "/etc/resolv.conf"), count);
    EXPECT_EQ(servers, expected);
}

} // namespace
} // namespace corvanta
