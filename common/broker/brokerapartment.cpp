#include "brokerapartment.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <exception>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvanta {

namespace {

// Exit code of an event wait that one of our own wake-ups ended.
constexpr int kWoken = 1;

// The server end of one connection. Lives on the apartment's thread, on that
// thread's stack, for as long as the thread runs its event loop.
class ApartmentConnection final : public QObject, public ObjectSite
{
public:
    ApartmentConnection(std::shared_ptr<const ClassTable> classes) : m_classes(std::move(classes))
    {}

    // The connection is a bare descriptor with a notifier of our own rather
    // than a socket object: a call costs the server a read, the handling and
    // a write, with no buffering, signal or posted dispatch in between, and
    // with hundreds of objects per server that difference is most of what a
    // call costs beyond the kernel's own work.
    bool open(qintptr fd, QEventLoop* topLoop)
    {
        m_topLoop = topLoop;
        m_fd = int(fd);
        const int flags = ::fcntl(m_fd, F_GETFL);
        if (flags < 0 || ::fcntl(m_fd, F_SETFL, flags | O_NONBLOCK) < 0) {
            ::close(m_fd);
            m_fd = -1;
            return false;
        }
        m_readable = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        // Bytes that came before the notifier existed wake it at once: it
        // looks at the descriptor, not at changes. Nothing is read before
        // the event loop runs, since only the loop can be told to end.
        connect(m_readable, &QSocketNotifier::activated, this, &ApartmentConnection::onReadable);
        return true;
    }

    // Runs on the apartment's thread after its event loop ended: the object
    // goes first (aborted if still connected), then the socket.
    void teardown()
    {
        const bool wasClosing = m_closing;
        m_closing = true;
        if (m_object) {
            if (!wasClosing)
                m_object->abortWork();
            m_object.reset();
        }
        delete m_readable;
        m_readable = nullptr;
        delete m_writable;
        m_writable = nullptr;
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

    void raiseEvent(qint32 event, const wire::ValueList& args) override
    {
        if (m_closing)
            return;
        const quint32 seq = ++m_nextSeq;
        if (!send(wire::EventMessage{seq, event, args}))
            return;
        // Replies held back for the rest of a sequence go out now, with the
        // event: the client's handler is what this thread waits for.
        flush();
        // Wait for this event's acknowledgement. Acks are matched by number,
        // not by order: when a handler's call starts a nested event, the
        // client acknowledges the outer one first and the inner one later.
        QEventLoop loop;
        m_waits.insert(seq, &loop);
        while (!m_closing && !m_acked.contains(seq)) {
            // Our own wake-ups (an ack, a close) end the loop with 1. Any
            // other return means the thread itself is being ended, and every
            // further exec() would return at once: waiting on would spin.
            if (loop.exec() != kWoken)
                break;
        }
        m_waits.remove(seq);
        m_acked.remove(seq);
    }

    void pushState(qint32 status, bool busy, const wire::ValueList& settled) override
    {
        if (m_closing || (m_sentState && status == m_lastStatus && busy == m_lastBusy))
            return;
        m_sentState = true;
        m_lastStatus = status;
        m_lastBusy = busy;
        if (!send(wire::StatePush{status, busy, busy ? wire::ValueList{} : settled}) &&
            !settled.isEmpty())
            send(wire::StatePush{status, busy, {}}); // a value that cannot cross is read by call
    }

private:
    void onReadable()
    {
        if (m_closing)
            return;
        if (!m_reader.appendFrom(m_fd)) {
            // The client closed the connection, or it broke; what it sent
            // before that is still served.
            dispatch();
            close();
            return;
        }
        // Handled right here: the notifier stays on while a call nests an
        // event loop (an event waiting for its ack, a verification waiting
        // for the network), so later frames are read and served inside it,
        // one at a time and in order, from the same reader.
        dispatch();
    }

    void dispatch()
    {
        while (!m_closing) {
            // A call of a sequence put aside while the call before it ran
            // goes next, now that that call has returned.
            if (!m_deferred.isEmpty() && !m_running.contains(m_deferred.front().id - 1)) {
                m_holdWrites = m_deferred.size() > 1 || m_reader.hasFrame();
                handleCall(m_deferred.takeFirst());
                continue;
            }
            wire::Message message;
            switch (m_reader.next(&message)) {
            case wire::FrameReader::Result::NeedMore:
                m_holdWrites = false;
                flush();
                return;
            case wire::FrameReader::Result::Failed:
                m_holdWrites = false;
                flush();
                close();
                return;
            case wire::FrameReader::Result::Message:
                // Frames that came together (a sequence of calls sent at
                // once) get their answers together: one write, so the client
                // wakes once rather than once per call. A lone frame is
                // answered at once, as before.
                m_holdWrites = m_reader.hasFrame();
                if (const auto* call = std::get_if<wire::CallRequest>(&message);
                    call && mustWait(*call)) {
                    m_deferred.append(*call);
                    break;
                }
                handle(message);
                break;
            }
        }
    }

    void handle(const wire::Message& message)
    {
        if (const auto* create = std::get_if<wire::CreateRequest>(&message))
            handleCreate(*create);
        else if (const auto* call = std::get_if<wire::CallRequest>(&message))
            handleCall(*call);
        else if (const auto* ack = std::get_if<wire::EventAck>(&message))
            handleAck(*ack);
        else
            close(); // a client never sends replies, events or states
    }

    void handleCreate(const wire::CreateRequest& request)
    {
        if (m_object || m_createTried) {
            close(); // one connection is one object
            return;
        }
        m_createTried = true;
        wire::Created reply;
        const auto it = m_classes->constFind(request.className);
        if (it == m_classes->constEnd()) {
            reply.error = brokerError(
                brokererr::CannotCreate,
                QStringLiteral("The server has no class named \"%1\"").arg(request.className));
        } else {
            try {
                m_object = (*it)(*this);
                if (m_object) {
                    reply.ok = true;
                    const wire::StatePush state = m_object->state();
                    reply.status = state.status;
                    reply.busy = state.busy;
                    m_sentState = true;
                    m_lastStatus = state.status;
                    m_lastBusy = state.busy;
                } else {
                    reply.error = brokerError(brokererr::CannotCreate,
                                              QStringLiteral("The object could not be created"));
                }
            } catch (const BrokerException& e) {
                reply.error = e.error();
            } catch (const std::exception& e) {
                reply.error =
                    brokerError(brokererr::CannotCreate, QString::fromLocal8Bit(e.what()));
            }
        }
        send(reply);
        if (!reply.ok)
            close();
    }

    // A call that continues a sequence runs after the call before it has
    // returned. That one may still be running: its nested wait (an event
    // waiting for the client's handler) serves the frames that come in,
    // and the rest of the sequence came with it. The handler's own calls,
    // which come behind, are served meanwhile.
    bool mustWait(const wire::CallRequest& call) const
    {
        if (!call.chained)
            return false;
        if (m_running.contains(call.id - 1))
            return true;
        return std::any_of(m_deferred.cbegin(), m_deferred.cend(),
                           [&](const wire::CallRequest& d) { return d.id == call.id - 1; });
    }

    void handleCall(const wire::CallRequest& request)
    {
        if (!m_object) {
            close();
            return;
        }
        wire::CallReply reply;
        reply.id = request.id;
        if (request.chained && m_previousCallFailed) {
            // The client sent a sequence and something before this failed:
            // it would have stopped there had it waited for each reply.
            reply.ok = false;
            reply.error =
                brokerError(brokererr::ObjectFailed,
                            QStringLiteral("The call was not run because an earlier call of its "
                                           "sequence failed"));
            send(reply);
            return;
        }
        m_running.append(request.id);
        try {
            reply.value = m_object->invoke(request.member, request.args);
        } catch (const BrokerException& e) {
            reply.ok = false;
            reply.error = e.error();
        } catch (const std::exception& e) {
            reply.ok = false;
            reply.error = brokerError(brokererr::ObjectFailed, QString::fromLocal8Bit(e.what()));
        }
        m_running.removeLast();
        BrokerError encodeError;
        m_previousCallFailed = !reply.ok;
        if (!send(reply, &encodeError)) {
            // The member returned something that cannot cross: the caller
            // gets an error in its place instead of a silent empty value.
            m_previousCallFailed = true;
            if (!m_closing)
                send(wire::CallReply{request.id, false, {}, encodeError});
        }
    }

    void handleAck(const wire::EventAck& ack)
    {
        if (!m_waits.contains(ack.seq))
            return; // an ack for nothing pending is harmless; ignore it
        m_acked.insert(ack.seq);
        m_waits.value(ack.seq)->exit(kWoken);
    }

    bool send(const wire::Message& message, BrokerError* error = nullptr)
    {
        if (m_closing || m_fd < 0)
            return false;
        const std::optional<QByteArray> frame = wire::encode(message, error);
        if (!frame)
            return false;
        m_out += *frame;
        if (!m_holdWrites)
            flush();
        return true;
    }

    // Writes what the kernel takes now; the rest waits for room, in order.
    void flush()
    {
        while (!m_out.isEmpty() && !m_closing) {
            const ssize_t n =
                ::send(m_fd, m_out.constData(), size_t(m_out.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0) {
                m_out.remove(0, qsizetype(n));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (!m_writable) {
                    m_writable = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
                    connect(m_writable, &QSocketNotifier::activated, this,
                            &ApartmentConnection::flush);
                }
                m_writable->setEnabled(true);
                return;
            }
            close();
            return;
        }
        if (m_writable)
            m_writable->setEnabled(false);
    }

    // The connection is finished (closed by the client, broken, or a frame
    // was refused): abort the object's work and leave the apartment's
    // outermost loop. Only that loop is told to quit, not the thread: the
    // object's nested waits (a DNS look-up, an SMTP reply) must unwind
    // through their own abort paths, and the outer loop returns once they
    // have. The object is destroyed after that, on an unwound stack.
    void close()
    {
        if (m_closing)
            return;
        m_closing = true;
        for (QEventLoop* loop : std::as_const(m_waits))
            loop->exit(kWoken);
        if (m_object)
            m_object->abortWork();
        // The descriptor itself is closed by teardown(), once no notifier
        // can fire for it any more.
        if (m_readable)
            m_readable->setEnabled(false);
        if (m_writable)
            m_writable->setEnabled(false);
        if (m_fd >= 0)
            ::shutdown(m_fd, SHUT_RDWR);
        if (m_topLoop)
            m_topLoop->quit();
    }

    std::shared_ptr<const ClassTable> m_classes;
    int m_fd = -1;
    QSocketNotifier* m_readable = nullptr;
    QSocketNotifier* m_writable = nullptr; // made when the kernel first has no room
    QByteArray m_out;                      // frames the kernel has not taken yet
    QEventLoop* m_topLoop = nullptr;
    wire::FrameReader m_reader;
    std::unique_ptr<HostedObject> m_object;
    QHash<quint32, QEventLoop*> m_waits;
    QSet<quint32> m_acked;
    quint32 m_nextSeq = 0;
    bool m_holdWrites = false;           // more frames of a sequence are waiting
    bool m_previousCallFailed = false;   // what a chained call looks at
    QList<quint32> m_running;            // calls under way, innermost last
    QList<wire::CallRequest> m_deferred; // sequence calls waiting for the one before
    qint32 m_lastStatus = 0;
    bool m_lastBusy = false;
    bool m_sentState = false;
    bool m_createTried = false;
    bool m_closing = false;
};

} // namespace

BrokerApartment::BrokerApartment(qintptr fd, std::shared_ptr<const ClassTable> classes,
                                 QObject* parent)
    : QThread(parent), m_fd(fd), m_classes(std::move(classes))
{
    setStackSize(StackSize);
}

void BrokerApartment::run()
{
    QEventLoop loop;
    ApartmentConnection connection(m_classes);
    if (connection.open(m_fd, &loop))
        loop.exec();
    connection.teardown();
}

} // namespace corvanta
