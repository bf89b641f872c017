#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace corvanta {

// What `sondrix check` was asked to do. Unset values keep the defaults of a
// new verification object.
struct CheckOptions
{
    std::optional<QString> dnsServer; // host name or address, without the port
    std::optional<int> dnsPort;
    std::optional<QString> fromAddress;
    std::optional<QString> helloName;
    std::optional<int> dnsTimeoutMs;
    std::optional<int> smtpTimeoutMs;
    int jobs = 1;
    bool progress = false;
    bool json = false;
    bool acceptAll = false;         // probe each domain with a made-up address
    bool csv = false;               // standard input is a CSV list; the output is CSV
    std::optional<QString> journal; // keep outcomes there; skip those kept before

    bool readStdin = false; // addresses come from standard input ("-")
    bool help = false;
    bool dnsCache = true; // answers shared by the checks (DnsCache::process())
    // Connections at once per mail server address, 0: no limit. Unset, and
    // without --back-off, the process keeps what its environment says.
    std::optional<int> perServer;
    bool backOff = false; // pause a mail server that says it has too many
    int perDomain = 0;    // checks at once per domain; 0: no limit
    // Delays before each re-check of an address whose recipient got a 4xx
    // reply; empty: no re-checks.
    QList<qint64> recheckDelaysMs;
    QStringList addresses;
};

// The largest number of verifications at once; each is a thread.
inline constexpr int MaxCheckJobs = 1000;

// Parses the arguments after "check". On a usage error returns nullopt and
// sets `error` to a message for the user.
std::optional<CheckOptions> parseCheckArguments(const QStringList& arguments, QString& error);

// Splits "HOST", "HOST:PORT", "[V6]:PORT" or a bare IPv6 address. False on a
// malformed value or a port outside 1..65535.
bool splitHostPort(const QString& value, QString& host, std::optional<int>& port);

QString checkUsage();

// Hands the options a verification object takes to `v`: the local object or
// its broker proxy, which share these setters. Only the values given on the
// command line are set; the rest keep the object's defaults.
template <class Verifier> void applyCheckOptions(const CheckOptions& options, Verifier& v)
{
    if (options.dnsServer)
        v.AddDnsServer(*options.dnsServer);
    if (options.dnsPort)
        v.setDnsServerPort(*options.dnsPort);
    if (options.fromAddress)
        v.setFromAddress(*options.fromAddress);
    if (options.helloName)
        v.setHelloName(*options.helloName);
    if (options.dnsTimeoutMs)
        v.setDnsTimeout(*options.dnsTimeoutMs);
    if (options.smtpTimeoutMs)
        v.setSmtpTimeout(*options.smtpTimeoutMs);
    v.setEventsEnabled(options.progress);
}

} // namespace corvanta
