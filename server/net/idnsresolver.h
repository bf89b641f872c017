#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

namespace corvanta {

// The DNS resolver seam (the verification object's `Dns1`).
//
// Threads: an instance belongs to the thread that created it and is used only
// there. Blocking operations wait in a nested event loop on that thread, so the
// thread keeps serving other work (calls, timers) meanwhile; `cancel()` may be
// called from such nested work and makes the pending operation end at once.
//
// Errors: a failed operation throws ComponentException with a description
// that a user can read. A cancelled operation throws too.
class IDnsResolver
{
public:
    virtual ~IDnsResolver() = default;

    // The whole look-up (all tries together) ends within this many ms.
    virtual void setTimeout(int milliseconds) = 0;
    // A host name or IP address. Empty means: the system's resolver setup.
    virtual void setServer(const QString& server) = 0;
    virtual void setPort(int port) = 0;

    // Result of an MX query, entries in ascending preference order. The two
    // lists always have the same length: `hosts` holds the exchange names
    // (empty for a record whose name could not be given), `alternates` what
    // the procedure uses where a name is empty.
    struct MxLists
    {
        QStringList hosts;
        QStringList alternates;
    };

    // MX query for the domain after the last "@" of the whole address string.
    // NODATA yields empty lists, not an error.
    virtual MxLists queryMx(const QString& address) = 0;

    // A/AAAA of a mail server through the same server, port and time-out. An
    // IP literal is returned as it is, without a query.
    virtual QList<QHostAddress> resolveHost(const QString& hostName) = 0;

    // Stops a pending operation at once; harmless when nothing is pending.
    virtual void cancel() = 0;
};

} // namespace corvanta
