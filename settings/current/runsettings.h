#pragma once

#include <QString>

namespace corvanta {

// The in-memory copy of the six run settings, filled once when the main
// window loads and held for the whole program. The verifiers and the run take
// their values from here; after the load only the setup dialog's OK changes
// one of them (DefaultThreads). Time-outs are in seconds here; the verifiers
// take milliseconds.
struct RunSettings
{
    QString DnsServerName;
    qint32 DefaultThreads = 5;
    qint32 DnsTimeout = 30;
    qint32 SmtpTimeout = 120;
    QString FromAddress;
    QString HelloName;
};

} // namespace corvanta
