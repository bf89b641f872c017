#include "dnsservers.h"

// Winsock must come before windows.h, which the C++ library's thread support
// pulls in, so these go first and in this order.
#ifdef _WIN32
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on
#endif

#include <fstream>
#include <sstream>

namespace corvanta {

namespace {

constexpr const char* kResolvConf = "/etc/resolv.conf";

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::int32_t fromResolvConf(const std::string& path, std::string& primary,
                            std::vector<std::string>& servers)
{
    primary.clear();
    servers.assign(1, std::string());
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return 0;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return 0;
    const std::vector<std::string> found = ParseResolvConf(text.str());
    if (found.empty())
        return 1; // like a system whose one server entry is empty
    servers = found;
    primary = servers.front();
    return static_cast<std::int32_t>(servers.size());
}

} // namespace

std::string TrimNull(std::string_view text)
{
    const std::size_t nul = text.find('\0');
    return std::string(nul == std::string_view::npos ? text : text.substr(0, nul));
}

std::vector<std::string> ParseResolvConf(std::string_view text)
{
    std::vector<std::string> servers;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t nl = text.find('\n', pos);
        std::string_view line =
            text.substr(pos, nl == std::string_view::npos ? text.npos : nl - pos);
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
        std::size_t i = 0;
        while (i < line.size() && isBlank(line[i]))
            ++i;
        constexpr std::string_view keyword = "nameserver";
        if (line.substr(i, keyword.size()) != keyword)
            continue;
        i += keyword.size();
        if (i >= line.size() || !isBlank(line[i]))
            continue; // "nameservers" or a bare keyword
        while (i < line.size() && isBlank(line[i]))
            ++i;
        std::size_t end = i;
        while (end < line.size() && !isBlank(line[end]) && line[end] != '#' && line[end] != ';')
            ++end;
        if (end > i)
            servers.emplace_back(line.substr(i, end - i));
    }
    return servers;
}

std::int32_t GetDnsServers(std::string& primary, std::vector<std::string>& servers,
                           const std::string& resolvConfPath)
{
    return fromResolvConf(resolvConfPath, primary, servers);
}

std::int32_t GetDnsServers(std::string& primary, std::vector<std::string>& servers)
{
#ifdef _WIN32
    primary.clear();
    servers.assign(1, std::string());
    ULONG size = 0;
    GetNetworkParams(nullptr, &size);
    if (size < 1)
        return 0;
    // The size the system asked for is used unchanged; the DNS entries after
    // the first live inside this same buffer.
    std::vector<unsigned char> buffer(size);
    auto* info = reinterpret_cast<FIXED_INFO*>(buffer.data());
    if (GetNetworkParams(info, &size) != ERROR_SUCCESS)
        return 0;
    const auto addressText = [](const IP_ADDR_STRING& entry) {
        return TrimNull(std::string_view(entry.IpAddress.String, sizeof entry.IpAddress.String));
    };
    primary = addressText(info->DnsServerList);
    std::int32_t count = 0;
    for (const IP_ADDR_STRING* entry = &info->DnsServerList; entry != nullptr;
         entry = entry->Next) {
        if (count > 0)
            servers.emplace_back();
        servers[static_cast<std::size_t>(count)] = addressText(*entry);
        ++count;
    }
    return count;
#else
    return fromResolvConf(kResolvConf, primary, servers);
#endif
}

std::string GetDefaultDnsServer(const std::string& resolvConfPath)
{
    std::string primary;
    std::vector<std::string> servers;
    const std::int32_t count = GetDnsServers(primary, servers, resolvConfPath);
    if (!primary.empty())
        return primary;
    return count > 0 ? servers.front() : std::string();
}

std::string GetDefaultDnsServer()
{
    std::string primary;
    std::vector<std::string> servers;
    const std::int32_t count = GetDnsServers(primary, servers);
    if (!primary.empty())
        return primary;
    return count > 0 ? servers.front() : std::string();
}

} // namespace corvanta
