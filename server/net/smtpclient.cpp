#include "smtpclient.h"

#include "componenterror.h"
#include "eventwait.h"
#include "idnsresolver.h"

#include <QHostAddress>
#include <QSysInfo>
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

SmtpClient::SmtpClient(IDnsResolver& resolver, MailServerLimits* limits)
    : m_resolver(resolver), m_limits(limits), m_stream([this] { wake(); }),
      m_helloName(defaultHelloName())
{
    m_wakeTimer.setSingleShot(true);
    m_wakeTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_wakeTimer, &QTimer::timeout, [this] { wake(); });
}

SmtpClient::~SmtpClient() = default;

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

    // One time-out bounds the whole attempt on this server: finding its
    // addresses, connecting, the greeting and the hello. A server whose
    // addresses all stay silent then costs one time-out, not one per step.
    QDeadlineTimer deadline(effectiveTimeout(), Qt::PreciseTimer);
    const QList<QHostAddress> addresses = resolve(name, deadline);
    m_pauseDeadline = QDeadlineTimer(QDeadlineTimer::Forever);
    m_host = name;
    for (;;) {
        QString lastError;
        bool connected = false;
        const int count = std::min<int>(addresses.size(), MaxAddressesTried);
        for (int i = 0; i < count && !connected; ++i) {
            deadline = admitted(addresses.at(i), deadline);
            // Each address left gets an equal share of the time left, so one
            // that never answers leaves time for the others.
            const QDeadlineTimer share(deadline.remainingTime() / (count - i), Qt::PreciseTimer);
            connected = tryConnect(addresses.at(i), share, lastError);
            if (!connected)
                m_slot.release();
        }
        if (!connected)
            fail(ConnectFailed, QStringLiteral("Could not connect to %1: %2").arg(name, lastError));
        m_state = NotReady;

        const QString greeting = readReply("greeting", deadline);
        if (pausedBy(greeting))
            continue;
        if (!greeting.startsWith(QLatin1Char('2')))
            fail(GreetingRefused, QStringLiteral("The mail server %1 refused the connection: %2")
                                      .arg(name, greeting));

        QString reply = exchange(QStringLiteral("EHLO ") + hello, "reply to EHLO", deadline);
        if (reply.startsWith(QLatin1Char('5')))
            reply = exchange(QStringLiteral("HELO ") + hello, "reply to HELO", deadline);
        if (pausedBy(reply))
            continue;
        if (!reply.startsWith(QLatin1Char('2')))
            fail(HelloRefused,
                 QStringLiteral("The mail server %1 refused the greeting: %2").arg(name, reply));
        break;
    }
    if (m_limits)
        m_limits->noteGreeted(m_peer);
    m_state = Ready;
}

QList<QHostAddress> SmtpClient::resolve(const QString& name, QDeadlineTimer deadline)
{
    // The resolver has a time-out of its own; the attempt's deadline cuts it
    // short by cancelling the look-up.
    bool late = false;
    QTimer limit;
    limit.setSingleShot(true);
    limit.setTimerType(Qt::PreciseTimer);
    QObject::connect(&limit, &QTimer::timeout, [this, &late] {
        late = true;
        m_resolver.cancel();
    });
    limit.start(int(std::clamp<qint64>(deadline.remainingTime(), 0, 24 * 3600 * 1000)));
    QList<QHostAddress> addresses;
    m_resolving = true;
    try {
        addresses = m_resolver.resolveHost(name);
    } catch (const ComponentException& e) {
        m_resolving = false;
        if (m_aborted)
            fail(Aborted, QStringLiteral("The SMTP operation was aborted"));
        if (late)
            fail(TimedOut, QStringLiteral("The address of the mail server %1 was not found "
                                          "within %2 ms")
                               .arg(name)
                               .arg(effectiveTimeout()));
        // The resolver's sentence names the host and says what went wrong.
        fail(HostNotFound, e.description());
    }
    m_resolving = false;
    if (m_aborted)
        fail(Aborted, QStringLiteral("The SMTP operation was aborted"));
    if (addresses.isEmpty())
        fail(HostNotFound, QStringLiteral("The mail server %1 has no address").arg(name));
    return addresses;
}

bool SmtpClient::tryConnect(const QHostAddress& address, QDeadlineTimer deadline, QString& error)
{
    TcpStream::Status status = m_stream.connectTo(address, SmtpPort, error);
    while (status == TcpStream::Status::Pending) {
        if (m_aborted)
            fail(Aborted, QStringLiteral("The SMTP operation was aborted"));
        if (deadline.hasExpired()) {
            m_stream.close();
            error = QStringLiteral("%1 did not answer").arg(address.toString());
            return false;
        }
        waitForEvent(deadline, false, true);
        status = m_stream.finishConnect(error);
    }
    if (m_aborted)
        fail(Aborted, QStringLiteral("The SMTP operation was aborted"));
    return status == TcpStream::Status::Done;
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
    return exchange(line, "reply", QDeadlineTimer(effectiveTimeout(), Qt::PreciseTimer));
}

void SmtpClient::logout()
{
    if (m_state == Disconnected)
        return;
    if (m_state == Ready && !m_busy) {
        m_aborted = false;
        m_busy = true;
        try {
            exchange(QStringLiteral("QUIT"), "reply to QUIT",
                     QDeadlineTimer(effectiveTimeout(), Qt::PreciseTimer));
        } catch (const ComponentException&) {
            // The conversation ends either way; see the header.
        }
        m_busy = false;
    }
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

QString SmtpClient::exchange(const QString& line, const char* step, QDeadlineTimer deadline)
{
    QString error;
    if (m_stream.write(line.toUtf8() + "\r\n", error) == TcpStream::Status::Failed)
        fail(ConnectionLost, QStringLiteral("Could not send to the mail server: %1").arg(error));
    QString reply = readReply(step, deadline);
    if (m_limits && m_state == Ready)
        m_limits->noteReply(m_peer, reply);
    return reply;
}

QString SmtpClient::readReply(const char* step, QDeadlineTimer deadline)
{
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
        QString error;
        // A command the kernel could not take at once goes out as room
        // appears; its reply cannot come before it.
        if (m_stream.hasUnsent() && m_stream.flush(error) == TcpStream::Status::Failed)
            fail(ConnectionLost,
                 QStringLiteral("Could not send to the mail server: %1").arg(error));
        switch (m_stream.read(m_buffer, SmtpReplyReader::MaxReplyBytes, error)) {
        case TcpStream::Status::Done:
            continue;
        case TcpStream::Status::Failed:
            if (error.isEmpty())
                fail(ConnectionLost, QStringLiteral("The mail server closed the connection while "
                                                    "we waited for its %1")
                                         .arg(QLatin1String(step)));
            fail(ConnectionLost, QStringLiteral("The connection failed while we waited for the "
                                                "mail server's %1: %2")
                                     .arg(QLatin1String(step), error));
        case TcpStream::Status::Pending:
            break;
        }
        if (deadline.hasExpired())
            fail(TimedOut, QStringLiteral("The mail server's %1 did not arrive within %2 ms")
                               .arg(QLatin1String(step))
                               .arg(effectiveTimeout()));
        waitForEvent(deadline, true, m_stream.hasUnsent());
    }
}

void SmtpClient::waitForEvent(QDeadlineTimer deadline, bool readable, bool writable)
{
    m_woken = false;
    m_wakeTimer.start(int(std::clamp<qint64>(deadline.remainingTime(), 0, 24 * 3600 * 1000)));
    m_stream.watch(readable, writable);
    const bool woken = serveEventsUntil([this] { return m_woken; });
    m_stream.watch(false, false);
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
    m_stream.close();
    m_slot.release();
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
