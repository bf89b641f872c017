#pragma once

#include "verifytypes.h"

#include <QString>
#include <QStringList>

namespace corvanta {

// What a verification object holds for its procedure: the settings it reads
// and the results it writes. Owned by the object; the procedure works on it
// in place, on the object's thread, so an Abort served in the middle of a
// network wait is seen at the procedure's next abort check.
struct VerifyState
{
    // Settings, values after creation.
    QString address;
    QString fromAddress;
    QStringList dnsServers; // only the first entry is used
    qint32 smtpTimeout = 60000;
    qint32 dnsTimeout = 60000;
    qint32 dnsServerPort = 53;
    bool eventsEnabled = false;
    bool abortMark = false;

    // Results of the last verification; nothing clears them between runs
    // except the procedure itself.
    VerifyConstants result = verifyValid;
    QString message;
    QString smtpReplies;
    QString fromReply;
    QString recptReply;
};

} // namespace corvanta
