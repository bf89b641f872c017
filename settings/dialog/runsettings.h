#pragma once

#include <QString>
#include <cstdint>

namespace corvanta {

// The six run settings as the program holds them in memory from the main
// window's load to the end of the program. The verifiers and the run take
// their values from here; only the setup dialog's OK changes one of them
// (DefaultThreads) after the load.
struct RunSettings
{
    QString dnsServerName;
    std::int32_t defaultThreads = 5;
    std::int32_t dnsTimeout = 30;   // seconds
    std::int32_t smtpTimeout = 120; // seconds
    QString fromAddress;
    QString helloName;
};

} // namespace corvanta
