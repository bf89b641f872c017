#pragma once

#include <QList>
#include <QString>

namespace corvanta {

// The in-memory copy of the six run settings, filled once when the main
// window loads and held for the whole program. The verifiers and the run take
// their values from here; after the load only the setup dialog's OK changes
// one of them (DefaultThreads) and the two verdict switches. Time-outs are in seconds here; the
// verifiers take milliseconds.
struct RunSettings
{
    QString DnsServerName;
    qint32 DefaultThreads = 5;
    qint32 DnsTimeout = 30;
    qint32 SmtpTimeout = 120;
    QString FromAddress;
    QString HelloName;
    // Read reply codes, and keep doubtful addresses apart: a verdict per
    // address and a third result file. Off, the window is the plain one.
    bool ReadReplyCodes = false;
    // With ReadReplyCodes: probe each domain once with a made-up address.
    bool ProbeAcceptAll = false;
    // Checks at once per domain in a run; 0: no limit (list order).
    qint32 PerDomainLimit = 0;
    // An address whose recipient gets a 4xx reply is checked again after
    // each of these delays in turn (empty: 5, 15 and 45 minutes); off by
    // default.
    bool RecheckGreylisted = false;
    QList<qint64> RecheckDelaysMs{};
    // Check an address that occurs more than once in the list only once and
    // give its copies that outcome ("Same as row N"). Off unless the user
    // turns it on, so that every row is checked by itself as it always was.
    bool FollowDuplicates = false;
};

} // namespace corvanta
