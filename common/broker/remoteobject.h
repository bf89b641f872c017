#pragma once

#include "activation.h"
#include "brokererror.h"
#include "wire.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QQueue>
#include <QSet>
#include <memory>
#include <vector>

class QLocalSocket;

namespace corvanta {

// The client's handle on one object in the server: one connection, one object.
// Belongs to the thread that created it (corvanta's GUI thread) and must be
// used only there.
//
// Calls are synchronous and bounded: call() returns the member's value or
// raises BrokerException (number, source, description) for the object's own
// errors, a call left unanswered within ClientOptions::callTimeoutMs, or a
// server that is gone. Once the connection is lost every later call fails at
// once with brokererr::ServerUnavailable; nothing waits on a dead server.
//
// Status and busy flag are pushed by the server whenever they change; status()
// and busy() read the latest push without a round trip. stateChanged() tells
// of a push, and waitForPush() sleeps until one comes. A push that ends a busy
// spell may carry settled values (see ObjectSite::pushState); settled() hands
// them out until this handle next calls the object or the object turns busy,
// so a value read from it is always the one a call would have returned.
//
// Events arrive as eventRaised(). The server's object waits until the handler
// connected to it returns, and serves calls meanwhile, so the handler may call
// back into this object. Events are delivered one at a time, in the order the
// object raised them: from the event loop, or, when the object raises one
// while serving a call of ours, from inside that call (otherwise both sides
// would wait for each other). Do not delete the object from a handler; use
// deleteLater().
//
// Destroying the handle closes the connection: the server aborts the
// object's work and frees it.
class RemoteObject final : public QObject
{
    Q_OBJECT

public:
    // Creates an object of `className` in the server, starting the server if
    // none runs. Raises BrokerException (brokererr::CannotCreate, or the
    // object's own creation error) within options.startTimeoutMs.
    static std::unique_ptr<RemoteObject> create(const QString& className,
                                                const ClientOptions& options = ClientOptions{});
    // Creates `count` objects of `className` at once, much faster than one
    // by one: their creations overlap in the server. All or nothing: raises
    // BrokerException like create() when any of them cannot be made.
    static std::vector<std::unique_ptr<RemoteObject>>
    createMany(const QString& className, int count, const ClientOptions& options = ClientOptions{});
    ~RemoteObject() override;

    // Runs member number `member`. See the class comment for errors.
    QVariant call(qint32 member, const wire::ValueList& args = {});

    // The same, without exceptions: false and *error on failure.
    bool tryCall(qint32 member, const wire::ValueList& args, QVariant* value, BrokerError* error);

    // Runs several members in order in one round trip, as if each were
    // called in turn: the sequence stops at the first member that fails,
    // whose error is raised (or returned), and the members after it do not
    // run. *value is the last member's value. One bound covers the whole
    // sequence.
    struct Call
    {
        qint32 member = 0;
        wire::ValueList args;
    };
    void callSequence(const std::vector<Call>& calls);
    bool trySequence(const std::vector<Call>& calls, QVariant* value, BrokerError* error);

    qint32 status() const { return m_status; }
    bool busy() const { return m_busy; }
    // Settled value number `index` of the last push, or null when there is
    // none or it may be out of date: the caller then asks by call().
    const QVariant* settled(qsizetype index) const
    {
        return index >= 0 && index < m_settled.size() ? &m_settled.at(index) : nullptr;
    }
    bool isConnected() const { return !m_lost; }
    // Counts the state pushes received so far; lets a caller see whether any
    // came since it last looked.
    quint64 pushCount() const { return m_pushCount; }

    // Runs a local event loop until the next state push, the loss of the
    // connection or `ms` milliseconds, whichever comes first. True when a
    // push came. Other events of the thread are served meanwhile.
    bool waitForPush(int ms);

    void setCallTimeout(int ms) { m_callTimeoutMs = ms; }

    // The process id of the server holding the object (from the socket's
    // peer credentials), or 0 when unknown. For diagnostics and tests.
    qint64 serverProcessId() const { return m_serverPid; }

signals:
    // Emitted, from the event loop, after pushes that came while something
    // was connected to it.
    void stateChanged(qint32 status, bool busy);
    void eventRaised(qint32 event, const corvanta::wire::ValueList& args);
    // The connection to the server was lost; every call fails from now on.
    void connectionLost();

private:
    RemoteObject(std::unique_ptr<QLocalSocket> socket, int callTimeoutMs);

    // Outcome of a creation attempt on one connection.
    enum class CreateOutcome
    {
        Created,
        Refused,
        ConnectionLost
    };
    CreateOutcome handshake(const QString& className, int timeoutMs, BrokerError* error);
    CreateOutcome awaitCreated(int timeoutMs, BrokerError* error);

    void readIncoming();
    // Sleeps until the server sends something, the connection breaks or the
    // deadline passes, and takes whatever came.
    void waitForIncoming(QDeadlineTimer deadline);
    void takeFrames();
    void handle(wire::Message& message);
    void markLost();
    // Waits until the reply to call `id` is in m_replies. False, with the
    // error, when the connection is lost or the call bound passes first.
    bool awaitReply(quint32 id, BrokerError* error);
    bool send(const wire::Message& message, BrokerError* error);
    bool sendFrames(const QByteArray& frames, BrokerError* error);
    void postNotify();
    void notify();
    void emitState();
    // False when a handler destroyed this object.
    bool deliverEvents();

    QLocalSocket* m_socket = nullptr;
    wire::FrameReader m_reader;
    QSet<quint32> m_pending;
    QHash<quint32, wire::CallReply> m_replies;
    QQueue<wire::EventMessage> m_events;
    std::optional<wire::Created> m_created;
    quint32 m_nextId = 0;
    qint32 m_status = 0;
    bool m_busy = false;
    wire::ValueList m_settled; // empty while out of date
    quint64 m_pushCount = 0;
    quint64 m_notifiedPushes = 0;
    int m_callTimeoutMs = 10000;
    qint64 m_serverPid = 0;
    bool m_lost = false;
    bool m_lostNotified = false;
    bool m_notifyPosted = false;
    bool m_delivering = false;
};

} // namespace corvanta
