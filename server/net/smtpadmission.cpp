// How SmtpClient keeps to the process's limits per mail server: waiting for a
// connection slot, and waiting out a pause the server asked for.

#include "componenterror.h"
#include "smtpclient.h"

#include <QElapsedTimer>

namespace corvanta {

QDeadlineTimer SmtpClient::admitted(const QHostAddress& address, QDeadlineTimer deadline)
{
    m_peer = address;
    if (!m_limits)
        return deadline;
    QElapsedTimer waited;
    waited.start();
    QString pauseReply;
    // A pause is waited out for at most the time-out, counted from the
    // moment this connection first meets it.
    switch (m_limits->admit(
        address, m_slot, m_pauseDeadline, effectiveTimeout(), [this] { return m_aborted; },
        &pauseReply)) {
    case MailServerLimits::Admission::Granted:
        break;
    case MailServerLimits::Admission::Stopped:
        fail(Aborted, QStringLiteral("The SMTP operation was aborted"));
    case MailServerLimits::Admission::PausedTooLong:
        fail(GreetingRefused, QStringLiteral("The mail server %1 refused the connection: %2")
                                  .arg(m_host, pauseReply));
    }
    // The wait for the mail server's room is no part of the attempt's time.
    return QDeadlineTimer(std::max<qint64>(0, deadline.remainingTime()) + waited.elapsed(),
                          Qt::PreciseTimer);
}

bool SmtpClient::pausedBy(const QString& reply)
{
    if (!m_limits || !m_limits->noteReply(m_peer, reply))
        return false;
    drop();
    if (m_pauseDeadline.isForever())
        m_pauseDeadline = QDeadlineTimer(effectiveTimeout());
    // Past the time-out the reply ends the connection as any refusal would.
    return !m_pauseDeadline.hasExpired();
}

} // namespace corvanta
