#pragma once

#include <QString>

namespace corvanta {

// The SMTP client seam (the verification object's `Smtp1`).
//
// Threads: an instance belongs to the thread that created it. Blocking
// operations wait in a nested event loop on that thread, so the thread keeps
// serving calls meanwhile; `abort()` may be called from such nested work and
// makes the pending operation end at once.
//
// Errors: a failed operation throws ComponentException.
class ISmtpClient
{
public:
    enum State : int
    {
        Disconnected = 0, // no connection
        NotReady = 1,     // a connection exists but is not greeted
        Ready = 2,        // connected and greeted, ready for commands
    };

    virtual ~ISmtpClient() = default;

    // Bounds connectAndGreet as a whole, and each later command's reply.
    virtual void setTimeout(int milliseconds) = 0;
    virtual int timeout() const = 0;
    virtual State state() const = 0;

    // The name given in EHLO/HELO. Defaults to the machine's name.
    virtual QString helloName() const = 0;
    virtual void setHelloName(const QString& name) = 0;

    // Connects to port 25 of `host` (its addresses in turn), reads the
    // greeting, sends EHLO (HELO when EHLO is refused). On return the state
    // is Ready.
    virtual void connectAndGreet(const QString& host) = 0;

    // Sends one command line (no line end) and returns the whole reply, the
    // lines of a multi-line reply joined by CR LF. A command containing CR, LF
    // or NUL is refused and never sent.
    virtual QString sendCommand(const QString& line) = 0;

    // Sends QUIT and reads its reply, then closes.
    virtual void logout() = 0;

    // Drops the connection at once; cancels a pending operation. Never throws.
    virtual void abort() = 0;
};

} // namespace corvanta
