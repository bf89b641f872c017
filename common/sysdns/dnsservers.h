#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvanta {

// The system's DNS servers, in the system's order. Plain C++ (no Qt).
//
// On Windows they come from GetNetworkParams; elsewhere from the `nameserver`
// lines of the resolver configuration (/etc/resolv.conf unless a path is
// given). Either way the results take the same shape:
//   - the configuration cannot be read: count 0, primary "", servers {""};
//   - it names no server: count 1, primary "", servers {""} (Windows reports
//     one empty entry then, and the file reading mirrors it);
//   - otherwise: one entry per server, primary = the first.
// `servers` always has at least one entry. Safe to call from any thread.
std::int32_t GetDnsServers(std::string& primary, std::vector<std::string>& servers);
std::int32_t GetDnsServers(std::string& primary, std::vector<std::string>& servers,
                           const std::string& resolvConfPath);

// The first DNS server of the system, or "" when there is none.
std::string GetDefaultDnsServer();
std::string GetDefaultDnsServer(const std::string& resolvConfPath);

// The part of `text` before its first NUL character, or all of it.
std::string TrimNull(std::string_view text);

// The addresses named by the `nameserver` lines of resolver-configuration
// text, in order. Comment lines (# or ;) and other options are skipped.
std::vector<std::string> ParseResolvConf(std::string_view text);

} // namespace corvanta
