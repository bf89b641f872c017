#include "fakesmtpserver.h"

#include "supportthread.h"

#include <QHash>
#include <QMutex>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <atomic>

namespace corvanta::testing {

namespace {

// A client line longer than this without a line end closes the connection.
constexpr qsizetype MaxClientLine = 64 * 1024;

struct Record
{
    QList<QByteArray> commands;
    int connections = 0;
    int open = 0;
    int peakOpen = 0;
    int rcpts = 0;
};

struct Shared
{
    mutable QMutex mutex;
    QHash<QString, Record> records; // by listening address
    std::atomic<int> open{0};
};

// One accepted connection. A child of its socket, so both go together.
class Session final : public QObject
{
public:
    Session(QTcpSocket* socket, const FakeSmtpBehaviour& behaviour, Shared& shared, QString key)
        : QObject(socket), m_socket(socket), m_behaviour(behaviour), m_shared(shared),
          m_key(std::move(key))
    {
        ++m_shared.open;
        {
            QMutexLocker lock(&m_shared.mutex);
            Record& record = m_shared.records[m_key];
            record.peakOpen = std::max(record.peakOpen, ++record.open);
        }
        m_drip.setInterval(std::max(1, m_behaviour.dripIntervalMs));
        connect(&m_drip, &QTimer::timeout, this, &Session::dripOne);
        connect(socket, &QTcpSocket::readyRead, this, &Session::onReadyRead);
        connect(socket, &QTcpSocket::bytesWritten, this, &Session::refillEndless);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (m_behaviour.closeOnConnect) {
            leave();
            socket->abort();
            socket->deleteLater();
            return;
        }
        if (!m_behaviour.silent)
            reply(m_behaviour.greeting, m_behaviour.closeAfterGreeting);
    }
    ~Session() override
    {
        --m_shared.open;
        leave();
    }

private:
    void onReadyRead()
    {
        m_input += m_socket->readAll();
        qsizetype end;
        while ((end = m_input.indexOf('\n')) >= 0) {
            QByteArray line = m_input.left(end);
            m_input.remove(0, end + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            if (m_behaviour.recordCommands) {
                QMutexLocker lock(&m_shared.mutex);
                m_shared.records[m_key].commands.append(line);
            }
            m_pending.append(line);
        }
        if (m_input.size() > MaxClientLine) {
            m_socket->abort();
            return;
        }
        processNext();
    }

    void processNext()
    {
        while (!m_replying && !m_endless && !m_stalled && !m_pending.isEmpty() &&
               !m_behaviour.silent)
            handle(m_pending.takeFirst());
    }

    void handle(const QByteArray& line)
    {
        const qsizetype space = line.indexOf(' ');
        const QByteArray verb = (space < 0 ? line : line.left(space)).toUpper();
        if (!m_behaviour.dropOnVerb.isEmpty() && verb == m_behaviour.dropOnVerb.toUpper()) {
            m_socket->abort();
            return;
        }
        if (!m_behaviour.stallOnVerb.isEmpty() && verb == m_behaviour.stallOnVerb.toUpper()) {
            m_stalled = true;
            return;
        }
        if (!m_behaviour.endlessOnVerb.isEmpty() && verb == m_behaviour.endlessOnVerb.toUpper()) {
            m_endless = true;
            refillEndless();
            return;
        }
        if (verb == "EHLO")
            reply(m_behaviour.ehloReply);
        else if (verb == "HELO")
            reply(m_behaviour.heloReply);
        else if (verb == "MAIL")
            reply(m_behaviour.mailReply);
        else if (verb == "RCPT")
            reply(rcptReply(line));
        else if (verb == "QUIT")
            reply(m_behaviour.quitReply, true);
        else if (verb == "RSET" || verb == "NOOP")
            reply(m_behaviour.otherReply);
        else
            reply(m_behaviour.unknownReply);
    }

    QByteArray rcptReply(const QByteArray& line)
    {
        if (m_behaviour.rcptPerSession > 0 && ++m_rcpts > m_behaviour.rcptPerSession)
            return m_behaviour.tooManyRcptReply;
        if (!m_behaviour.rcptReplySequence.isEmpty()) {
            QMutexLocker lock(&m_shared.mutex);
            const int n = m_shared.records[m_key].rcpts++;
            if (n < m_behaviour.rcptReplySequence.size())
                return m_behaviour.rcptReplySequence.at(n);
        }
        return isRejected(line) ? m_behaviour.rejectedRcptReply : m_behaviour.rcptReply;
    }

    bool isRejected(const QByteArray& line) const
    {
        const qsizetype open = line.indexOf('<');
        const QByteArray local = line.mid(open + 1);
        if (!m_behaviour.acceptedRcptPrefix.isEmpty() &&
            !local.startsWith(m_behaviour.acceptedRcptPrefix))
            return true;
        return !m_behaviour.rejectedRcptPrefix.isEmpty() &&
               local.startsWith(m_behaviour.rejectedRcptPrefix);
    }

    void leave()
    {
        if (m_left)
            return;
        m_left = true;
        QMutexLocker lock(&m_shared.mutex);
        --m_shared.records[m_key].open;
    }

    void reply(const QByteArray& text, bool closeAfter = false)
    {
        if (closeAfter)
            leave();
        m_replying = true;
        m_closeAfter = closeAfter;
        const QByteArray bytes = text + "\r\n";
        auto send = [this, bytes] {
            if (m_behaviour.dripIntervalMs > 0) {
                m_out = bytes;
                m_drip.start();
            } else {
                m_socket->write(bytes);
                replied();
            }
        };
        if (m_behaviour.replyDelayMs > 0)
            QTimer::singleShot(m_behaviour.replyDelayMs, this, send);
        else
            send();
    }

    void dripOne()
    {
        if (m_out.isEmpty()) {
            m_drip.stop();
            replied();
            return;
        }
        m_socket->write(m_out.left(1));
        m_out.remove(0, 1);
    }

    void replied()
    {
        m_replying = false;
        if (m_closeAfter) {
            m_socket->disconnectFromHost();
            return;
        }
        processNext();
    }

    void refillEndless()
    {
        if (!m_endless)
            return;
        static const QByteArray line = "250-" + QByteArray(76, 'x') + "\r\n";
        while (m_socket->state() == QAbstractSocket::ConnectedState &&
               m_socket->bytesToWrite() < 64 * 1024) {
            if (m_socket->write(line) < 0)
                return;
        }
    }

    QTcpSocket* m_socket;
    FakeSmtpBehaviour m_behaviour;
    Shared& m_shared;
    QString m_key;
    QByteArray m_input;
    QList<QByteArray> m_pending;
    QByteArray m_out;
    QTimer m_drip;
    bool m_replying = false;
    bool m_closeAfter = false;
    bool m_left = false;
    bool m_endless = false;
    bool m_stalled = false;
    int m_rcpts = 0; // recipients asked in this session
};

} // namespace

struct FakeSmtpServers::Impl
{
    Shared shared;
    // Last, so it stops before the state its thread uses is destroyed.
    SupportThread thread;
};

FakeSmtpServers::FakeSmtpServers() : m_impl(std::make_unique<Impl>()) {}

FakeSmtpServers::~FakeSmtpServers() = default;

bool FakeSmtpServers::add(const QHostAddress& address, const FakeSmtpBehaviour& behaviour,
                          QString* error, quint16 port)
{
    bool ok = false;
    Impl* impl = m_impl.get();
    const QString key = address.toString();
    impl->thread.call([&] {
        auto* server = new QTcpServer(impl->thread.context());
        server->setMaxPendingConnections(1024);
        if (!server->listen(address, port)) {
            if (error)
                *error = server->errorString();
            delete server;
            return;
        }
        ok = true;
        QObject::connect(server, &QTcpServer::newConnection, server,
                         [server, behaviour, impl, key] {
                             while (QTcpSocket* socket = server->nextPendingConnection()) {
                                 int number;
                                 {
                                     QMutexLocker lock(&impl->shared.mutex);
                                     number = ++impl->shared.records[key].connections;
                                 }
                                 FakeSmtpBehaviour b = behaviour;
                                 if (b.refuseEveryNth > 0 && number % b.refuseEveryNth == 0) {
                                     b.greeting = b.refusal;
                                     b.closeAfterGreeting = true;
                                 }
                                 new Session(socket, b, impl->shared, key);
                             }
                         });
    });
    if (ok) {
        QMutexLocker lock(&impl->shared.mutex);
        impl->shared.records[key];
    }
    return ok;
}

QList<QByteArray> FakeSmtpServers::commands(const QHostAddress& address) const
{
    QMutexLocker lock(&m_impl->shared.mutex);
    return m_impl->shared.records.value(address.toString()).commands;
}

int FakeSmtpServers::connections(const QHostAddress& address) const
{
    QMutexLocker lock(&m_impl->shared.mutex);
    return m_impl->shared.records.value(address.toString()).connections;
}

int FakeSmtpServers::peakConnections(const QHostAddress& address) const
{
    QMutexLocker lock(&m_impl->shared.mutex);
    return m_impl->shared.records.value(address.toString()).peakOpen;
}

int FakeSmtpServers::openConnections() const
{
    return m_impl->shared.open.load();
}

} // namespace corvanta::testing
