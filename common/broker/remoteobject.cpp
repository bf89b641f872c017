#include "remoteobject.h"

#include "brokerpaths.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <QMetaMethod>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <climits>
#include <poll.h>
#include <sys/socket.h>

namespace corvanta {

namespace {

BrokerError unavailable()
{
    return brokerError(brokererr::ServerUnavailable,
                       QStringLiteral("The verification server is no longer available"));
}

} // namespace

std::unique_ptr<RemoteObject> RemoteObject::create(const QString& className,
                                                   const ClientOptions& options)
{
    const QDeadlineTimer deadline(options.startTimeoutMs);
    BrokerError error;
    for (;;) {
        const int remaining = int(qMax<qint64>(1, deadline.remainingTime()));
        std::unique_ptr<QLocalSocket> socket = connectToServer(options, &error, remaining);
        if (!socket)
            throw BrokerException(error);
        std::unique_ptr<RemoteObject> object(
            new RemoteObject(std::move(socket), options.callTimeoutMs));
        switch (object->handshake(className, remaining, &error)) {
        case CreateOutcome::Created:
            return object;
        case CreateOutcome::Refused:
            throw BrokerException(error);
        case CreateOutcome::ConnectionLost:
            // A server that was just leaving (its last object gone) may close
            // a connection it had already accepted; the next try starts a
            // fresh one.
            if (deadline.hasExpired())
                throw BrokerException(error);
            QThread::msleep(20);
            break;
        }
    }
}

std::vector<std::unique_ptr<RemoteObject>>
RemoteObject::createMany(const QString& className, int count, const ClientOptions& options)
{
    std::vector<std::unique_ptr<RemoteObject>> objects;
    if (count <= 0)
        return objects;
    objects.reserve(size_t(count));
    // The first one brings the server up if need be, and says whether the
    // class can be made at all.
    objects.push_back(create(className, options));
    // The rest go in batches: every request of a batch is on its way before
    // the first answer is awaited, so the server starts their threads side by
    // side. A batch stays below the server's queue of pending connections.
    constexpr int Batch = 32;
    const QDeadlineTimer deadline(options.startTimeoutMs);
    while (int(objects.size()) < count) {
        const int n = qMin(Batch, count - int(objects.size()));
        std::vector<std::unique_ptr<RemoteObject>> batch;
        for (int i = 0; i < n; ++i) {
            BrokerError error;
            auto socket = std::make_unique<QLocalSocket>();
            socket->connectToServer(options.paths.socket);
            if (!socket->waitForConnected(1000))
                break; // the rest of this batch is made one by one below
            std::unique_ptr<RemoteObject> object(
                new RemoteObject(std::move(socket), options.callTimeoutMs));
            if (!object->send(wire::CreateRequest{className}, &error))
                break;
            batch.push_back(std::move(object));
        }
        for (auto& object : batch) {
            BrokerError error;
            const int remaining = int(qMax<qint64>(1, deadline.remainingTime()));
            if (object->awaitCreated(remaining, &error) == CreateOutcome::Created)
                objects.push_back(std::move(object));
            else
                objects.push_back(create(className, options)); // raises if it cannot
        }
        if (batch.empty())
            objects.push_back(create(className, options));
    }
    return objects;
}

RemoteObject::RemoteObject(std::unique_ptr<QLocalSocket> socket, int callTimeoutMs)
    : m_socket(socket.release()), m_callTimeoutMs(callTimeoutMs)
{
    m_socket->setParent(this);
    m_serverPid = peerProcessId(m_socket->socketDescriptor());
    // The slots only parse frames and record what came; anything that runs
    // the caller's code is posted (notify), so it never runs inside a call.
    connect(m_socket, &QLocalSocket::readyRead, this, &RemoteObject::readIncoming);
    connect(m_socket, &QLocalSocket::disconnected, this, [this] {
        readIncoming();
        markLost();
    });
}

RemoteObject::~RemoteObject()
{
    if (m_socket) {
        // Closing is the release: the server aborts the object and frees it.
        disconnect(m_socket, nullptr, this, nullptr);
        m_socket->abort();
    }
}

RemoteObject::CreateOutcome RemoteObject::handshake(const QString& className, int timeoutMs,
                                                    BrokerError* error)
{
    if (!send(wire::CreateRequest{className}, error))
        return CreateOutcome::Refused;
    return awaitCreated(timeoutMs, error);
}

RemoteObject::CreateOutcome RemoteObject::awaitCreated(int timeoutMs, BrokerError* error)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        readIncoming();
        if (m_created) {
            if (m_created->ok)
                return CreateOutcome::Created;
            *error = m_created->error;
            return CreateOutcome::Refused;
        }
        if (m_lost) {
            *error = brokerError(
                brokererr::CannotCreate,
                QStringLiteral("The verification server closed the connection during creation"));
            return CreateOutcome::ConnectionLost;
        }
        if (deadline.hasExpired()) {
            *error = brokerError(brokererr::CannotCreate,
                                 QStringLiteral("The verification server did not create the "
                                                "object within %1 seconds")
                                     .arg(timeoutMs / 1000.0));
            return CreateOutcome::Refused;
        }
        waitForIncoming(deadline);
    }
}

QVariant RemoteObject::call(qint32 member, const wire::ValueList& args)
{
    QVariant value;
    BrokerError error;
    if (!tryCall(member, args, &value, &error))
        throw BrokerException(error);
    return value;
}

bool RemoteObject::tryCall(qint32 member, const wire::ValueList& args, QVariant* value,
                           BrokerError* error)
{
    return trySequence({Call{member, args}}, value, error);
}

void RemoteObject::callSequence(const std::vector<Call>& calls)
{
    QVariant value;
    BrokerError error;
    if (!trySequence(calls, &value, &error))
        throw BrokerException(error);
}

bool RemoteObject::trySequence(const std::vector<Call>& calls, QVariant* value, BrokerError* error)
{
    // Any call may change what the last push settled; a push that comes
    // during the call settles it anew.
    m_settled.clear();
    if (m_lost) {
        *error = unavailable();
        return false;
    }
    if (calls.empty())
        return true;
    // Every call after the first runs only if the one before it succeeded,
    // so the sequence stops where a caller waiting for each reply would
    // have stopped. All of it goes out in one write.
    QByteArray frames;
    const quint32 first = m_nextId + 1;
    for (size_t i = 0; i < calls.size(); ++i) {
        const std::optional<QByteArray> frame = wire::encode(
            wire::CallRequest{first + quint32(i), calls[i].member, calls[i].args, i > 0}, error);
        if (!frame)
            return false; // nothing was sent
        frames += *frame;
    }
    // An event handler may make calls of its own while we wait, so the
    // numbers of this sequence are fixed here.
    const quint32 last = first + quint32(calls.size()) - 1;
    m_nextId = last;
    if (!sendFrames(frames, error))
        return false;
    for (quint32 id = first; id <= last; ++id)
        m_pending.insert(id);
    // Replies come in order, so the last one means all have come.
    const bool answered = awaitReply(last, error);
    bool ok = answered;
    for (quint32 id = first; id <= last; ++id) {
        m_pending.remove(id);
        const auto it = m_replies.constFind(id);
        if (ok && it == m_replies.constEnd()) {
            *error = brokerError(brokererr::ObjectFailed,
                                 QStringLiteral("The verification server skipped a reply"));
            ok = false;
        } else if (ok && !it->ok) {
            *error = it->error;
            ok = false;
        } else if (ok && id == last) {
            *value = it->value;
        }
        m_replies.remove(id);
    }
    return ok;
}

bool RemoteObject::awaitReply(quint32 id, BrokerError* error)
{
    const QDeadlineTimer deadline(m_callTimeoutMs);
    for (;;) {
        readIncoming();
        if (m_replies.contains(id))
            return true;
        // An object may raise an event while it serves this very call and
        // wait for the handler; like any single-threaded component client we
        // run the handler now instead of letting both sides wait.
        if (!m_events.isEmpty() && !m_delivering) {
            deliverEvents();
            // A handler's own call may have read this call's reply; look
            // again before sleeping on the socket.
            continue;
        }
        if (m_lost) {
            *error = unavailable();
            return false;
        }
        if (deadline.hasExpired()) {
            // A late reply to this call is dropped when it comes.
            *error = brokerError(brokererr::CallTimedOut,
                                 QStringLiteral("The verification server did not answer within "
                                                "%1 seconds")
                                     .arg(m_callTimeoutMs / 1000.0));
            return false;
        }
        // Block on this socket alone: the caller's other events wait until
        // the call is done, as they would for any synchronous call.
        waitForIncoming(deadline);
    }
}

bool RemoteObject::waitForPush(int ms)
{
    const quint64 before = m_pushCount;
    readIncoming();
    if (m_pushCount != before || m_lost)
        return m_pushCount != before;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &RemoteObject::stateChanged, &loop, &QEventLoop::quit);
    connect(this, &RemoteObject::connectionLost, &loop, &QEventLoop::quit);
    timer.start(ms);
    while (m_pushCount == before && !m_lost && timer.isActive())
        loop.exec();
    return m_pushCount != before;
}

void RemoteObject::readIncoming()
{
    if (!m_socket)
        return;
    if (m_socket->bytesAvailable() > 0)
        m_reader.append(m_socket->readAll());
    takeFrames();
}

void RemoteObject::waitForIncoming(QDeadlineTimer deadline)
{
    // The descriptor is polled and read here rather than through the socket
    // object: its own wait switches its read notifier off and on for every
    // call, and with hundreds of verifiers the event dispatcher's
    // bookkeeping for that cost more than the call itself. Bytes the socket
    // object has buffered already are taken first, so the order holds.
    readIncoming();
    const int fd = m_socket ? int(m_socket->socketDescriptor()) : -1;
    if (fd < 0) {
        markLost();
        return;
    }
    const bool writing = m_socket->bytesToWrite() > 0;
    pollfd ready{fd, short(POLLIN | (writing ? POLLOUT : 0)), 0};
    const qint64 remaining = deadline.remainingTime();
    const int timeout = remaining < 0 ? -1 : int(qMin<qint64>(remaining, INT_MAX));
    if (::poll(&ready, 1, timeout) <= 0)
        return; // time-out or a signal: the caller looks at its deadline
    if (ready.revents & POLLOUT)
        m_socket->flush();
    if (!(ready.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)))
        return;
    const bool open = m_reader.appendFrom(fd);
    // What came before an end of stream or a break still counts.
    takeFrames();
    if (!open) {
        m_socket->abort();
        markLost();
    }
}

void RemoteObject::takeFrames()
{
    for (;;) {
        wire::Message message;
        const auto result = m_reader.next(&message);
        if (result == wire::FrameReader::Result::NeedMore)
            return;
        if (result == wire::FrameReader::Result::Failed) {
            // A server that sends garbage cannot be trusted with more calls.
            m_socket->abort();
            markLost();
            return;
        }
        handle(message);
    }
}

void RemoteObject::handle(wire::Message& message)
{
    if (auto* created = std::get_if<wire::Created>(&message)) {
        m_created = *created;
        m_status = created->status;
        m_busy = created->busy;
    } else if (auto* reply = std::get_if<wire::CallReply>(&message)) {
        if (m_pending.contains(reply->id))
            m_replies.insert(reply->id, std::move(*reply));
    } else if (auto* event = std::get_if<wire::EventMessage>(&message)) {
        m_events.enqueue(std::move(*event));
        postNotify();
    } else if (auto* state = std::get_if<wire::StatePush>(&message)) {
        m_status = state->status;
        m_busy = state->busy;
        m_settled = state->busy ? wire::ValueList{} : std::move(state->settled);
        ++m_pushCount;
        // Telling of a push costs a posted event and a wake-up of the
        // thread's loop; a pool of hundreds whose owner only reads status()
        // would pay that for every push and hear nothing.
        static const QMetaMethod changed = QMetaMethod::fromSignal(&RemoteObject::stateChanged);
        if (isSignalConnected(changed))
            postNotify();
    } else {
        m_socket->abort();
        markLost();
    }
}

void RemoteObject::markLost()
{
    if (m_lost)
        return;
    m_lost = true;
    postNotify();
}

bool RemoteObject::send(const wire::Message& message, BrokerError* error)
{
    BrokerError ignored;
    const std::optional<QByteArray> frame = wire::encode(message, error ? error : &ignored);
    return frame && sendFrames(*frame, error);
}

bool RemoteObject::sendFrames(const QByteArray& frames, BrokerError* error)
{
    const auto lost = [&] {
        markLost();
        if (error)
            *error = unavailable();
        return false;
    };
    if (m_lost)
        return lost();
    // Straight to the descriptor when nothing waits in the socket object's
    // own buffer: its write path switches a write notifier on and off for
    // every call, and under the GUI thread's event loop each switch wakes
    // the loop once more. What the kernel does not take now goes through
    // the socket object, which sends it, in order, when there is room.
    qsizetype sent = 0;
    const int fd = int(m_socket->socketDescriptor());
    if (fd >= 0 && m_socket->bytesToWrite() == 0) {
        while (sent < frames.size()) {
            const ssize_t n = ::send(fd, frames.constData() + sent, size_t(frames.size() - sent),
                                     MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0) {
                sent += qsizetype(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            return lost();
        }
    }
    if (sent < frames.size()) {
        const QByteArray rest = frames.mid(sent);
        if (m_socket->write(rest) != rest.size())
            return lost();
        m_socket->flush();
    }
    return true;
}

void RemoteObject::postNotify()
{
    if (m_notifyPosted)
        return;
    m_notifyPosted = true;
    QMetaObject::invokeMethod(this, &RemoteObject::notify, Qt::QueuedConnection);
}

void RemoteObject::notify()
{
    m_notifyPosted = false;
    const QPointer<RemoteObject> self(this);
    emitState();
    if (!self || !deliverEvents())
        return;
    if (m_lost && !m_lostNotified) {
        m_lostNotified = true;
        emit connectionLost();
    }
}

void RemoteObject::emitState()
{
    if (m_pushCount == m_notifiedPushes)
        return;
    m_notifiedPushes = m_pushCount;
    emit stateChanged(m_status, m_busy);
}

bool RemoteObject::deliverEvents()
{
    // One event at a time, in order. A handler that nests an event loop or a
    // call does not get the next event until it returns: the server is still
    // waiting for this one's acknowledgement anyway.
    if (m_delivering)
        return true;
    const QPointer<RemoteObject> self(this);
    m_delivering = true;
    while (!m_events.isEmpty()) {
        const wire::EventMessage event = m_events.dequeue();
        emit eventRaised(event.event, event.args);
        if (!self)
            return false;
        if (!m_lost)
            send(wire::EventAck{event.seq}, nullptr);
        emitState();
        if (!self)
            return false;
    }
    m_delivering = false;
    return true;
}
} // namespace corvanta
