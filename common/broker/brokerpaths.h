#pragma once

#include <QString>

namespace corvanta {

// Where the server listens and where clients coordinate starting it. Both live
// in one private folder of the user: $XDG_RUNTIME_DIR/corvanta, or
// /tmp/corvanta-<uid> where there is no runtime folder. The variable
// CORVANTA_BROKER_DIR points both programs at another folder (tests give each
// case its own so they never meet a server of another case).
struct BrokerPaths
{
    QString dir;
    QString socket; // the server's local socket
    QString lock;   // taken by a client while it starts the server

    static BrokerPaths forDir(const QString& dir);
    static BrokerPaths standard();
};

// Makes sure dir exists, is a real folder (not a link), belongs to this user
// and is open to this user alone (0700, tightened if it was looser). Returns
// false with a reason when the folder belongs to someone else or cannot be
// made: nothing is then created in it.
bool ensurePrivateDir(const QString& dir, QString* error);

// The open-file soft limit now in force (for reports and tests).
long openFileLimit();

// True when the peer of the connected local socket fd runs as this user.
// The folder's permissions already keep others out; this is a second check
// at the door that costs one system call per connection.
bool peerIsSameUser(qintptr fd);

// The process id of the peer of the connected local socket fd, 0 if unknown.
qint64 peerProcessId(qintptr fd);

} // namespace corvanta
