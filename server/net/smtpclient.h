#pragma once

#include "ismtpclient.h"
#include "mailserverlimits.h"
#include "smtpreply.h"
#include "tcpstream.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTimer>

namespace corvanta {

class IDnsResolver;

// SmtpClient: a plain SMTP client for probing a mail server on port 25.
//
// Ownership: it keeps a reference to `resolver`, which it uses to find the
// addresses of a mail server given by name; the resolver must outlive it.
//
// Threads: create, use and destroy it on one thread that runs a Qt event loop.
// Each blocking step serves the thread's events while it waits (see
// eventwait.h), so that thread keeps serving other events; from such an
// event, abort() drops the connection and the waiting step throws at once.
// Starting another blocking operation from such an event is refused with an
// error. It must not be destroyed while one of its own steps waits; abort()
// first and destroy it once the step has returned. When the thread is asked
// to end during a step (QThread::requestInterruption, then QThread::quit),
// the step throws at once.
//
// Time-out: connectAndGreet as a whole (finding the server's addresses,
// connecting to them in turn, the greeting and the hello) must finish within
// one time-out, and so must each later command's reply, measured from the
// step's start, so a server that trickles bytes cannot stretch it. Each
// address tried gets an equal share of the time left; a wait for a mail
// server's room (see the constructor) is not counted. A time-out of zero or
// less means the default of 60000 ms. A step that runs out of time, a reply over
// the caps of SmtpReplyReader and a connection lost mid-reply all drop the
// connection (state Disconnected) and throw.
//
// Errors: ComponentException with one of the SmtpError numbers below.
class SmtpClient final : public ISmtpClient
{
public:
    static constexpr int DefaultTimeoutMs = 60000;
    static constexpr quint16 SmtpPort = 25;
    // A host with more addresses than this is tried on its first ones only,
    // so each of them keeps a useful share of the time-out.
    static constexpr int MaxAddressesTried = 8;

    enum SmtpError : int
    {
        ConnectFailed = 1,   // no address of the host accepted a connection
        TimedOut = 2,        // a step did not finish within the time-out
        ConnectionLost = 3,  // the server closed the connection
        ReplyTooLarge = 4,   // a reply went past the caps
        GreetingRefused = 5, // the greeting did not begin with "2"
        HelloRefused = 6,    // neither EHLO nor HELO was accepted
        CommandRefused = 7,  // the command holds CR, LF or NUL; nothing was sent
        NotConnected = 8,    // a command without a greeted connection
        Aborted = 9,         // abort() ended the step
        Busy = 10,           // another blocking operation is still waiting
        HostNotFound = 11,   // the mail server's name gave no address
    };

    // `limits` (may be null; must outlive the client) bounds the connections
    // per mail server and pauses them after rate refusals: a connection
    // first waits there, serving events, and abort() ends that wait. The
    // wait for a free slot does not count against the time-out; a pause is
    // waited out for at most the time-out, then connectAndGreet() fails
    // (GreetingRefused) with the reply that began the pause. A rate refusal
    // of the greeting or of EHLO is waited out the same way and tried again.
    explicit SmtpClient(IDnsResolver& resolver, MailServerLimits* limits = nullptr);
    ~SmtpClient() override;

    SmtpClient(const SmtpClient&) = delete;
    SmtpClient& operator=(const SmtpClient&) = delete;

    void setTimeout(int milliseconds) override;
    int timeout() const override;
    State state() const override;
    QString helloName() const override;
    void setHelloName(const QString& name) override;

    void connectAndGreet(const QString& host) override;
    QString sendCommand(const QString& line) override;
    // Ends the conversation politely; the connection is closed afterwards in
    // every case. A server that does not answer QUIT is no error here: the
    // conversation is over either way.
    void logout() override;
    void abort() override;

private:
    int effectiveTimeout() const;
    void beginOperation();
    QList<QHostAddress> resolve(const QString& name, QDeadlineTimer deadline);
    bool tryConnect(const QHostAddress& address, QDeadlineTimer deadline, QString& error);
    QString exchange(const QString& line, const char* step, QDeadlineTimer deadline);
    QString readReply(const char* step, QDeadlineTimer deadline);
    void waitForEvent(QDeadlineTimer deadline, bool readable, bool writable);
    void wake();
    void drop();
    [[noreturn]] void fail(SmtpError number, const QString& description);
    // See smtpadmission.cpp. Waits for the limits to admit a connection to
    // `address`; returns the attempt's deadline moved on by the wait.
    QDeadlineTimer admitted(const QHostAddress& address, QDeadlineTimer deadline);
    bool pausedBy(const QString& reply);

    IDnsResolver& m_resolver;
    MailServerLimits* m_limits = nullptr;
    MailServerLimits::Slot m_slot;
    QHostAddress m_peer;
    QString m_host; // the mail server being connected to, as named
    QDeadlineTimer m_pauseDeadline{QDeadlineTimer::Forever};
    TcpStream m_stream;
    QTimer m_wakeTimer;
    QByteArray m_buffer;
    SmtpReplyReader m_reader;
    QString m_helloName;
    int m_timeoutMs = DefaultTimeoutMs;
    State m_state = Disconnected;
    bool m_busy = false;
    bool m_aborted = false;
    bool m_resolving = false;
    bool m_woken = false;
};

} // namespace corvanta
