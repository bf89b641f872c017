// DNS server discovery from a resolver configuration file: none, one and
// several servers, a missing file, and the text rules.
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

TEST_F(DnsServersTest, ServersComeInFileOrderAndNoneGivesOneEmptyEntry)
{
    struct Case
    {
        const char* text; // nullptr: no file at all
        std::int32_t count;
        std::vector<std::string> servers;
    };
    const Case cases[] = {
        {"# generated\nsearch example.org\nnameserver 192.0.2.1\n"
         "options ndots:2\nnameserver\t2001:db8::53\nnameserver 10.0.0.9\n",
         3,
         {"192.0.2.1", "2001:db8::53", "10.0.0.9"}},
        {"nameserver 127.0.0.53\r\n", 1, {"127.0.0.53"}},
        // Only the keyword itself, followed by a blank and a value, counts.
        {"  nameserver   1.1.1.1  # comment\nnameservers 2.2.2.2\nnameserver\n"
         "xnameserver 3.3.3.3\nnameserver 4.4.4.4;trailing\nnameserver 5.5.5.5",
         3,
         {"1.1.1.1", "4.4.4.4", "5.5.5.5"}},
        {"search example.org\n# nameserver 1.2.3.4\n;nameserver 5.6.7.8\n", 1, {""}},
        {nullptr, 0, {""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "no file");
        const std::string path = c.text ? conf(c.text) : (m_dir / "missing").string();
        std::string primary = "stale";
        std::vector<std::string> servers{"stale", "stale"};
        EXPECT_EQ(GetDnsServers(primary, servers, path), c.count);
        EXPECT_EQ(servers, c.servers);
        EXPECT_EQ(primary, c.servers.front());
        EXPECT_EQ(GetDefaultDnsServer(path), c.servers.front());
    }
}

TEST(TrimNull, CutsAtTheFirstNul)
{
    EXPECT_EQ(TrimNull(std::string_view("10.0.0.1\0\0\0junk", 16)), "10.0.0.1");
    EXPECT_EQ(TrimNull("no nul"), "no nul");
    EXPECT_EQ(TrimNull(std::string_view("\0abc", 4)), "");
    EXPECT_EQ(TrimNull(""), "");
}

} // namespace
} // namespace corvanta
