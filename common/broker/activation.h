#pragma once

#include "brokererror.h"
#include "brokerpaths.h"

#include <QStringList>
#include <memory>

class QLocalSocket;

namespace corvanta {

// How a client finds, and if need be starts, the server.
struct ClientOptions
{
    // Where the socket and lock live; standard() unless a test says otherwise.
    BrokerPaths paths = BrokerPaths::standard();
    // The server program: `sondrix` beside the client's own executable.
    // CORVANTA_SERVER_PROGRAM overrides it (tests start a server of their own).
    QString serverProgram;
    QStringList serverArguments{QStringLiteral("serve")};
    // How long creation may take, starting the server included.
    int startTimeoutMs = 10000;
    // How long a call may go unanswered before it fails.
    int callTimeoutMs = 10000;

    static ClientOptions standard();
    // The program to start: serverProgram if set, else the standard choice.
    QString program() const;
};

// Connects to the server, starting it first when nothing listens. When two
// clients race, the lock file lets one start the server while the other
// waits, and both end on the same server. Returns a connected socket, or
// null with a clear error (program missing, not startable, died at start, no
// answer within the time-out). The socket belongs to the caller and to the
// calling thread.
std::unique_ptr<QLocalSocket> connectToServer(const ClientOptions& options, BrokerError* error,
                                              int timeoutMs);

} // namespace corvanta
