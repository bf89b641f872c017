#include "smtpclient.h"

#include "componenterror.h"
#include "eventwait.h"
#include "idnsresolver.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QSysInfo>
#include <QTcpSocket>
#include <algorithm>

namespace corvanta {

namespace {

bool containsLineBreakOrNul(const QString& text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) ||
           text.contains(QChar(0));
}

QString defaultHelloName()
{
    // Asked once per process: every verification makes a client, and the
    // machine's name does not change under a running list.
    static const QString cached = [] {
        const QString name = QSysInfo::machineHostName();
        return name.isEmpty() ? QStringLiteral("localhost") : name;
    }();
    return cached;
}

} // namespace

SmtpClient::SmtpClient(IDnsResolver& resolver)
    : m_resolver(resolver), m_socket(std::make_unique<QTcpSocket>()),
      m_helloName(defaultHelloName())
{
    // Let the socket hold little more than one capped reply; an endless
    // sender then waits in the kernel instead of in our memory.
    m_socket->setReadBufferSize(SmtpReplyReader::MaxReplyBytes + 4096);
    // The probe talks to the mail server itself. Left to Qt, a desktop's
    // proxy setting (http_proxy, for one) would tunnel it through a web
    // proxy, which refuses port 25 or answers in the server's place, and
    // every address would come out "cannot connect". Asking no proxy also
    // spares each connection a look-up under a process-wide lock.
    m_socket->setProxy(QNetworkProxy::NoProxy);
    m_wakeTimer.setSingleShot(true);
    m_wakeTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_wakeTimer, &QTimer::timeout, [this] { wake(); });
    QTcpSocket* socket = m_socket.get();
    QObject::connect(socket, &QTcpSocket::connected, socket, [this] { wake(); });
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this] { wake(); });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, [this] { wake(); });
    QObject::connect(socket, &QTcpSocket::errorOccurred, socket, [this] { wake(); });
}

SmtpClient::~SmtpClient()
{
    m_socket->disconnect();
    m_socket->abort();
}

void SmtpClient::setTimeout(int milliseconds)
{
    m_timeoutMs = milliseconds;
}

int SmtpClient::timeout() const
{
    return m_timeoutMs;
}

ISmtpClient::State SmtpClient::state() const
{
    return m_state;
}

QString SmtpClient::helloName() const
{
    return m_helloName;
}

void SmtpClient::setHelloName(const QString& name)
{
    m_helloName = name;
}

int SmtpClient::effectiveTimeout() const
{
    return m_timeoutMs > 0 ? m_timeoutMs : DefaultTimeoutMs;
}

void SmtpClient::beginOperation()
{
    if (m_busy)
        throw ComponentException(Busy, QStringLiteral("Another SMTP operation is still running"));
    m_aborted = false;
}

void SmtpClient::connectAndGreet(const QString& host)
{
    beginOperation();
    drop();
    // Checked before any connection, so a bad name costs the server nothing.
    const QString hello = m_helloName.isEmpty() ? defaultHelloName() : m_helloName;
    if (containsLineBreakOrNul(hello))
        throw ComponentException(CommandRefused, QStringLiteral("The greeting name contains a "
                                                                "line break or NUL character "
                                                                "and was not sent"));
    const QString name = host.trimmed();
    if (name.isEmpty())
        throw ComponentException(HostNotFound, QStringLiteral("No mail server name was given"));

    m_busy = true;
    struct Idle
    {
        bool& busy;
        ~Idle() { busy = false; }
    } idle{m_busy};

    QList<QHostAddress> addresses;
    m_resolving = true;
    try {
        addresses = m_resolver.resolveHost(name);
    } catch (const ComponentException& e) {
        m_resolving = false;
        if (m_aborted)
            fail(Aborted, QStringLiteral("The SMTP operation was aborted"));
        fail(HostNotFound,
             QStringLiteral("Could not find the mail server %1: %2").arg(name, e.description()));
    }
    m_resolving = false;
    if (m_aborted)
        fail(Aborted, QStringLiteral("The SMTP operation was aborted"));
    if (addresses.isEmpty())
        fail(HostNotFound, QStringLiteral("The mail server %1 has no address").arg(name));

    QString lastError;
    bool connected = false;
    const int count = std::min<int>(addresses.size(), MaxAddressesTried);
    for (int i = 0; i < count && !connected; ++i)
        connected = tryConnect(addresses.at(i), lastError);
    if (!connected)
        fail(ConnectFailed, QStringLiteral("Could not connect to %1: %2").arg(name, lastError));
    m_state = NotReady;

    const QString greeting = readReply("greeting");
    if (!greeting.startsWith(QLatin1Char('2')))
        fail(GreetingRefused,
             QStringLiteral("The mail server %1 refused the connection: %2").arg(name, greeting));

    QString reply = exchange(QStringLiteral("EHLO ") + hello, "EHLO");
    if (reply.startsWith(QLatin1Char('5')))
        reply = exchange(QStringLiteral("HELO ") + hello, "HELO");
    if (!reply.startsWith(QLatin1Char('2')))
        fail(HelloRefused,
             QStringLiteral("The mail server %1 refused the greeting: %2").arg(name, reply));
    m_state = Ready;
}

bool SmtpClient::tryConnect(const QHostAddress& address, QString& error)
{
    const QDeadlineTimer deadline(effectiveTimeout());
    m_socket->abort();
    m_socket->connectToHost(address, SmtpPort);
    while (m_socket->state() != QAbstractSocket::ConnectedState) {
        if (m_aborted)
            fail(Aborted, QStringLiteral("The SMTP operation was aborted"));
        if (m_socket->state() == QAbstractSocket::UnconnectedState) {
            error = m_socket->errorString();
            return false;
        }
        if (deadline.hasExpired()) {
            m_socket->abort();
            error = QStringLiteral("no connection within %1 ms").arg(effectiveTimeout());
            return false;
        }
        waitForEvent(deadline);
    }
    return true;
}

QString SmtpClient::sendCommand(const QString& line)
{
    beginOperation();
    if (containsLineBreakOrNul(line))
        throw ComponentException(CommandRefused, QStringLiteral("The command contains a line "
                                                                "break or NUL character and "
                                                                "was not sent"));
    if (m_state != Ready)
        throw ComponentException(NotConnected,
                                 QStringLiteral("There is no connection to a mail server"));
    m_busy = true;
    struct Idle
    {
        bool& busy;
        ~Idle() { busy = false; }
    } idle{m_busy};
    return exchange(line, "reply");
}

void SmtpClient::logout()
{
    if (m_state == Disconnected)
        return;
    if (m_state == Ready && !m_busy) {
        m_aborted = false;
        m_busy = true;
        try {
            exchange(QStringLiteral("QUIT"), "QUIT");
        } catch (const ComponentException&) {
            // The conversation ends either way; see the header.
        }
        m_busy = false;
    }
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->disconnectFromHost();
    drop();
}

void SmtpClient::abort()
{
    m_aborted = true;
    if (m_resolving)
        m_resolver.cancel();
    drop();
    wake();
}

QString SmtpClient::exchange(const QString& line, const char* step)
{
    const QByteArray bytes = line.toUtf8() + "\r\n";
    if (m_socket->write(bytes) != bytes.size())
        fail(ConnectionLost,
             QStringLiteral("Could not send to the mail server: %1").arg(m_socket->errorString()));
    // Out now: left to the socket, the line waits for the next pass of the
    // event loop, which costs a poll and a notifier switched on and off.
    m_socket->flush();
    return readReply(step);
}

QString SmtpClient::readReply(const char* step)
{
    const QDeadlineTimer deadline(effectiveTimeout());
    for (;;) {
        if (m_aborted)
            fail(Aborted, QStringLiteral("The SMTP operation was aborted"));
        switch (m_reader.feed(m_buffer)) {
        case SmtpReplyReader::Status::Complete:
            return m_reader.takeReply();
        case SmtpReplyReader::Status::TooLarge:
            fail(ReplyTooLarge, QStringLiteral("The mail server's %1 was longer than %2 bytes or "
                                               "%3 lines")
                                    .arg(QLatin1String(step))
                                    .arg(SmtpReplyReader::MaxReplyBytes)
                                    .arg(SmtpReplyReader::MaxReplyLines));
        case SmtpReplyReader::Status::Incomplete:
            break;
        }
        if (const qint64 available = m_socket->bytesAvailable(); available > 0) {
            // Ask for what is there, not for the cap: a read of the cap's size
            // allocates that much on every reply, and at that size the
            // allocator maps and unmaps fresh pages each time.
            m_buffer += m_socket->read(std::min<qint64>(available, SmtpReplyReader::MaxReplyBytes));
            continue;
        }
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            fail(ConnectionLost, QStringLiteral("The mail server closed the connection while "
                                                "we waited for its %1")
                                     .arg(QLatin1String(step)));
        if (deadline.hasExpired())
            fail(TimedOut, QStringLiteral("The mail server's %1 did not arrive within %2 ms")
                               .arg(QLatin1String(step))
                               .arg(effectiveTimeout()));
        waitForEvent(deadline);
    }
}

void SmtpClient::waitForEvent(QDeadlineTimer deadline)
{
    m_woken = false;
    m_wakeTimer.start(int(std::clamp<qint64>(deadline.remainingTime(), 0, 24 * 3600 * 1000)));
    const bool woken = serveEventsUntil([this] { return m_woken; });
    m_wakeTimer.stop();
    if (!woken)
        fail(Aborted, QStringLiteral("The SMTP operation was interrupted because its thread is "
                                     "ending"));
}

void SmtpClient::wake()
{
    m_woken = true;
}

void SmtpClient::drop()
{
    m_socket->abort();
    m_buffer.clear();
    m_reader.reset();
    m_state = Disconnected;
}

void SmtpClient::fail(SmtpError number, const QString& description)
{
    if (number != CommandRefused && number != Busy)
        drop();
    throw ComponentException(number, description);
}

} // namespace corvanta
