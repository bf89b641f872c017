#pragma once

#include "componentfactory.h"
#include "verifystate.h"
#include "verifytypes.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace corvanta {

class CTimer;
class IDnsResolver;
class ISmtpClient;

// The verification object: checks one address at a time. Verify() arms a
// 5 ms one-shot timer and returns; the procedure runs when it fires, and the
// object reads StatusFinished when it is done.
//
// Ownership: owns its SMTP client, its DNS resolver and its start timer.
// Threads: belongs to the thread that created it (normally an Apartment);
// every member is called there. While the procedure waits on the network that
// thread keeps serving calls, so Abort() and the getters work mid-step.
// Events: FinishedEvent and ProgressEvent are emitted on the object's thread
// and only while EventsEnabled() is true; stateChanged() is always emitted so
// a client can sleep until the object changes instead of polling.
class clsVerify final : public QObject
{
    Q_OBJECT

public:
    // Creates the timer, then the resolver, then the SMTP client. Throws
    // ComponentException when a component cannot be made.
    explicit clsVerify(const ComponentFactory& factory, QObject* parent = nullptr);
    ~clsVerify() override;

    bool Busy() const { return m_busy; }
    ProcessStatus Status() const { return m_status; }
    // Back to StatusReady with the abort mark cleared; results stay.
    void Reset();
    // Sets the abort mark and cancels the components' pending work.
    void Abort();
    VerifyConstants Result() const { return m_state.result; }
    // Starts a verification of Address() and returns at once.
    void Verify();
    QStringList DnsServers() const { return m_state.dnsServers; }
    void AddDnsServer(const QString& sDnsServer);
    void ClearDnsServers();
    QVariant Tag() const { return m_tag; }
    void setTag(const QVariant& tag) { m_tag = tag; }
    QString Address() const { return m_state.address; }
    void setAddress(const QString& address) { m_state.address = address; }
    QString FromAddress() const { return m_state.fromAddress; }
    void setFromAddress(const QString& address) { m_state.fromAddress = address; }
    qint32 ID() const { return m_id; }
    void setID(qint32 id) { m_id = id; }
    qint32 SmtpTimeout() const { return m_state.smtpTimeout; }
    void setSmtpTimeout(qint32 milliseconds) { m_state.smtpTimeout = milliseconds; }
    qint32 DnsTimeout() const { return m_state.dnsTimeout; }
    void setDnsTimeout(qint32 milliseconds) { m_state.dnsTimeout = milliseconds; }
    qint32 DnsServerPort() const { return m_state.dnsServerPort; }
    void setDnsServerPort(qint32 port) { m_state.dnsServerPort = port; }
    bool EventsEnabled() const { return m_state.eventsEnabled; }
    void setEventsEnabled(bool enabled) { m_state.eventsEnabled = enabled; }
    QString GetMessage() const { return m_state.message; }
    QString SmtpReplies() const { return m_state.smtpReplies; }
    QString FromReply() const { return m_state.fromReply; }
    QString RecptReply() const { return m_state.recptReply; }
    QString HelloName() const;
    void setHelloName(const QString& name);
    bool isValidEmail(const QString& myEmail) const;

    // True while the procedure or its final events run (the apartment waits
    // for it to unwind before it tears the object down).
    bool procedureRunning() const { return m_inProcedure; }
    // Stops for good: no further verification starts, a running one is
    // aborted. Used when the object's owner lets go of it.
    void shutdown();
    // Back to the outcome of a new object: result and texts. The procedure
    // keeps the earlier message where it sets none (a domain without mail
    // servers), so an owner that hands one object unrelated addresses calls
    // this first. Not a member of the object's interface; never crosses to
    // a client.
    void forgetOutcome();

signals:
    void FinishedEvent(qint32 Result);
    void ProgressEvent(qint32 Method, const QString& Description);
    // Status or busy flag changed.
    void stateChanged(qint32 status, bool busy);
    // The procedure has returned and the object has finished.
    void procedureEnded();

private:
    void tmrVerify_Timer();
    void setState(ProcessStatus status, bool busy);

    VerifyState m_state;
    bool m_busy = false;
    ProcessStatus m_status = StatusReady;
    QVariant m_tag;
    qint32 m_id = 0;
    bool m_inProcedure = false;
    bool m_closing = false;

    std::shared_ptr<CTimer> m_tmrVerify;
    std::unique_ptr<IDnsResolver> m_dns;
    std::unique_ptr<ISmtpClient> m_smtp; // uses m_dns: declared after it
};

} // namespace corvanta
