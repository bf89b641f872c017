#include "verifyprocedure.h"

#include "componenterror.h"
#include "emailformat.h"
#include "idnsresolver.h"
#include "ismtpclient.h"

#include <exception>

namespace corvanta {
namespace {

const QString CrLf = QStringLiteral("\r\n");

// The readable description of the exception being handled.
QString currentErrorDescription()
{
    try {
        throw;
    } catch (const ComponentException& e) {
        return e.description();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unexpected error");
    }
}

bool accepted(const QString& reply)
{
    return reply.startsWith(QLatin1Char('2'));
}

// A single record whose exchange is "." says the domain takes no mail at all.
bool isNullMx(const IDnsResolver::MxLists& lists)
{
    return lists.hosts.size() == 1 && lists.hosts.first() == QLatin1String(".");
}

} // namespace

VerifyProcedure::VerifyProcedure(VerifyState& state, IDnsResolver& dns, ISmtpClient& smtp,
                                 ProgressSink progress)
    : m_state(state), m_dns(dns), m_smtp(smtp), m_progress(std::move(progress))
{}

void VerifyProcedure::progress(qint32 method, const QString& description)
{
    if (!m_state.eventsEnabled || !m_progress)
        return;
    try {
        m_progress(method, description);
    } catch (...) {
        // A client's failing handler does not change the verification.
    }
}

bool VerifyProcedure::GetMailServers(const QString& address, QStringList& servers)
{
    servers.clear();
    // Handing over the settings may fail on a picky component; the query
    // then runs with what it already has.
    try {
        m_dns.setTimeout(m_state.dnsTimeout);
    } catch (...) {
    }
    if (!m_state.dnsServers.isEmpty()) {
        try {
            m_dns.setServer(m_state.dnsServers.first());
        } catch (...) {
        }
    }
    try {
        m_dns.setPort(m_state.dnsServerPort);
    } catch (...) {
    }

    try {
        const IDnsResolver::MxLists lists = m_dns.queryMx(address);
        if (isNullMx(lists))
            throw ComponentException(0, QStringLiteral("The domain accepts no mail (null MX)"));
        const qsizetype count = lists.hosts.size();
        for (qsizetype i = 0; i < count; ++i) {
            const QString& name = lists.hosts.at(i);
            if (!name.isEmpty()) {
                progress(ProgressStep::MailServer, name);
                servers.append(name);
            } else {
                progress(ProgressStep::UnnamedMailServer, QString());
                servers.append(lists.alternates.value(i));
            }
        }
        return true;
    } catch (...) {
        m_state.message = currentErrorDescription();
        return false;
    }
}

void VerifyProcedure::VerifyAddress(const QString& address)
{
    m_state.smtpReplies.clear();
    m_state.fromReply.clear();
    m_state.recptReply.clear();

    progress(ProgressStep::FormatCheck, QStringLiteral("Format check"));
    if (!isValidEmail(address)) {
        m_state.result = verifyFormat;
        m_state.message = QStringLiteral("Invalid Email Format");
        return;
    }
    progress(ProgressStep::FormatOk, QStringLiteral("OK Format check"));
    progress(ProgressStep::Resolving, QStringLiteral("Resolving mail servers"));

    QStringList servers;
    GetMailServers(address, servers);
    if (aborted())
        return;
    if (servers.isEmpty()) {
        m_state.result = verifyDomain;
        return;
    }
    progress(ProgressStep::Resolved, QStringLiteral("Resolved mail servers"));

    // An error of the attempt that got a connection anyway stays pending: it
    // becomes the message of the steps that report "the pending error".
    std::optional<QString> pending;
    bool connected = false;
    for (const QString& name : std::as_const(servers)) {
        const ISmtpClient::State before = m_smtp.state();
        if (before == ISmtpClient::Ready || before == ISmtpClient::NotReady)
            m_smtp.abort(); // whatever an earlier run or attempt left behind
        m_smtp.setTimeout(m_state.smtpTimeout);
        if (aborted())
            return;
        progress(ProgressStep::Connecting, QStringLiteral("Connecting to ") + name);
        m_state.smtpReplies = QStringLiteral("Connecting to ") + name + CrLf;

        std::optional<QString> attemptError;
        try {
            m_smtp.connectAndGreet(name);
        } catch (...) {
            attemptError = currentErrorDescription();
        }
        if (aborted())
            return;
        if (attemptError && m_smtp.state() != ISmtpClient::Ready) {
            m_state.message = *attemptError;
            continue;
        }
        pending = attemptError;
        connected = true;
        break;
    }
    if (!connected) {
        m_state.result = verifyConnectMailServer;
        progress(ProgressStep::CannotConnect, QStringLiteral("Can not connect to mail server"));
        return;
    }

    progress(ProgressStep::Connected, QStringLiteral("Connected to mail server"));
    progress(ProgressStep::SendingMailFrom, QStringLiteral("Sending Mail From"));
    if (aborted())
        return;

    try {
        const QString fromReply =
            m_smtp.sendCommand(QStringLiteral("MAIL FROM:<") + m_state.fromAddress + u'>');
        m_state.smtpReplies += fromReply + CrLf;
        m_state.fromReply = fromReply;
        if (!accepted(fromReply)) {
            m_state.result = verifyBadFrom;
            m_state.message = pending.value_or(QString());
            progress(ProgressStep::MailFromError, QStringLiteral("Error Mail From"));
        } else {
            progress(ProgressStep::MailFromOk, QStringLiteral("OK Mail From"));
            progress(ProgressStep::SendingRcptTo, QStringLiteral("Sending RCPT TO"));
            if (aborted())
                return;
            const QString rcptReply =
                m_smtp.sendCommand(QStringLiteral("RCPT TO:<") + address + u'>');
            m_state.smtpReplies += rcptReply + CrLf;
            m_state.recptReply = rcptReply;
            if (accepted(rcptReply)) {
                progress(ProgressStep::RcptToOk, QStringLiteral("OK RCPT TO"));
                m_state.result = verifyValid;
                progress(ProgressStep::GoodAddress, QStringLiteral("Good Address"));
            } else {
                m_state.result = verifyBadUser;
                m_state.message = pending.value_or(QString());
                progress(ProgressStep::RcptToError, QStringLiteral("Error RCPT TO"));
            }
        }
    } catch (...) {
        // A dropped connection or a time-out in the middle of the probe: the
        // server could not be used, so say so rather than leave the previous
        // address's outcome in place (which could read "Valid"). An abort
        // sets no outcome; the caller discards the run anyway.
        pending = currentErrorDescription();
        if (!aborted()) {
            m_state.result = verifyConnectMailServer;
            m_state.message = *pending;
        }
    }
    closingSteps(pending);
}

void VerifyProcedure::closingSteps(const std::optional<QString>& pendingError)
{
    progress(ProgressStep::Logout, QStringLiteral("Logout"));
    try {
        if (m_smtp.state() == ISmtpClient::Ready) {
            // Set before the farewell: a server that fails it must not leave
            // an earlier address's message on this address's outcome.
            m_state.message = pendingError.value_or(QString());
            m_smtp.logout();
        }
    } catch (...) {
        // The outcome was decided before the log-out; a server that fails the
        // farewell does not change it. The connection is dropped below.
    }
    try {
        if (m_smtp.state() != ISmtpClient::Disconnected)
            m_smtp.abort();
    } catch (...) {
    }
}

} // namespace corvanta
