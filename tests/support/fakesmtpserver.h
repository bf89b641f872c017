#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <memory>

namespace corvanta::testing {

// How one fake mail server behaves. Replies are given without their final
// CR LF; a multi-line reply holds its lines joined by CR LF.
struct FakeSmtpBehaviour
{
    bool closeOnConnect = false; // accept, then close at once
    bool silent = false;         // accept, then never send a byte
    int replyDelayMs = 0;        // wait before each reply, the greeting included
    int dripIntervalMs = 0;      // send each reply one byte per interval
    bool recordCommands = true;  // off for long runs, whose records would only grow

    QByteArray greeting = "220 fake.test ESMTP ready";
    QByteArray ehloReply = "250-fake.test greets you\r\n250-PIPELINING\r\n250 8BITMIME";
    QByteArray heloReply = "250 fake.test";
    QByteArray mailReply = "250 2.1.0 Sender ok";
    QByteArray rcptReply = "250 2.1.5 Recipient ok";
    // Recipients whose local part starts with this prefix get rejectedRcptReply.
    QByteArray rejectedRcptPrefix;
    QByteArray rejectedRcptReply = "550 5.1.1 No such user";
    // When set, only recipients whose local part starts with this prefix are
    // accepted; the others get rejectedRcptReply.
    QByteArray acceptedRcptPrefix;
    // When above 0, recipients beyond this many in one session get
    // tooManyRcptReply, as servers that take one recipient per session do.
    int rcptPerSession = 0;
    QByteArray tooManyRcptReply = "452 4.5.3 Too many recipients";
    // The server's n-th RCPT (over all connections) gets the n-th of these
    // replies, later ones the replies above.
    QList<QByteArray> rcptReplySequence;
    QByteArray quitReply = "221 2.0.0 Bye";
    QByteArray otherReply = "250 2.0.0 Ok";                       // RSET, NOOP
    QByteArray unknownReply = "500 5.5.2 Command not recognized"; // anything else

    // Every Nth connection (N > 0) is greeted with `refusal` and closed, as a
    // server short of connections would.
    int refuseEveryNth = 0;
    QByteArray refusal = "421 4.7.0 fake.test Too many connections, try later";
    bool closeAfterGreeting = false;

    // On a command with this verb ("MAIL", "RCPT"...): close without a reply.
    QByteArray dropOnVerb;
    // On a command with this verb: never reply (nor to anything after it).
    QByteArray stallOnVerb;
    // On a command with this verb: send continuation lines without end.
    QByteArray endlessOnVerb;
};

// FakeSmtpServers: any number of scriptable mail servers, served together on
// one thread of their own so a test's blocking client can talk to them.
//
// Each listens on its own address, normally 127.0.0.x port 25 inside a private
// network namespace. They record every command line they receive. Every
// method may be called from any thread.
class FakeSmtpServers final
{
public:
    FakeSmtpServers();
    ~FakeSmtpServers(); // closes every server and connection, stops the thread

    FakeSmtpServers(const FakeSmtpServers&) = delete;
    FakeSmtpServers& operator=(const FakeSmtpServers&) = delete;

    // Starts a server on `address`:`port`. Returns false with a reason in
    // `error` when it cannot listen there.
    bool add(const QHostAddress& address, const FakeSmtpBehaviour& behaviour,
             QString* error = nullptr, quint16 port = 25);

    // Command lines received by the server on `address`, in order, without
    // their line ends, over all its connections.
    QList<QByteArray> commands(const QHostAddress& address) const;
    // Connections the server on `address` has accepted.
    int connections(const QHostAddress& address) const;
    // The most connections the server on `address` had open at once. A
    // connection counts as closed once the server decides to close it (after
    // QUIT or a closing greeting), so before the client can know it is over.
    int peakConnections(const QHostAddress& address) const;
    // Connections of any server still open.
    int openConnections() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace corvanta::testing
