#pragma once

#include "remoteverify.h"

#include <QVariant>
#include <QWidget>
#include <memory>

namespace corvanta {

// The main program's handle on one verification object in the server: a
// small control, always 32 by 32 pixels, with nothing to show. Creating it
// creates the object (starting the server if need be); every member passes
// through to the object, except Tag and ID, which the control keeps itself
// and the object never sees. The object's events come out as Finished and
// Progress, only while EventsEnabled is true.
//
// Errors: the constructor raises BrokerException when the object cannot be
// created, so the code creating the control can report it. Passed-through
// members raise the object's and the broker's errors unchanged.
//
// Threads: the GUI thread only. Status() and Busy() cost no round trip (the
// server pushes them); stateChanged() and object().waitForPush() let a caller
// sleep until the next change.
//
// Destroying the control releases the object by closing its connection; the
// server then aborts the object's work and frees it. It never waits for the
// server, so unloading a pool is quick even when the server hangs.
class ucVerify final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Side = 32;

    explicit ucVerify(QWidget* parent = nullptr, const ClientOptions& options = ClientOptions{});
    // Binds an object created beforehand (RemoteVerify::createMany makes a
    // whole pool's objects much faster than one control at a time).
    explicit ucVerify(std::unique_ptr<RemoteVerify> object, QWidget* parent = nullptr);
    ~ucVerify() override;

    bool Busy() const { return m_verify->Busy(); }
    qint32 Status() const { return m_verify->Status(); }
    void Reset() { m_verify->Reset(); }
    void Abort() { m_verify->Abort(); }
    qint32 Result() { return m_verify->Result(); }
    void Verify() { m_verify->Verify(); }
    QStringList DnsServers() { return m_verify->DnsServers(); }
    void AddDnsServer(const QString& sDnsServer) { m_verify->AddDnsServer(sDnsServer); }
    void ClearDnsServers() { m_verify->ClearDnsServers(); }
    // Kept here, of any type; never sent to the object.
    QVariant Tag() const { return m_tag; }
    void setTag(const QVariant& vtTag) { m_tag = vtTag; }
    QString Address() { return m_verify->Address(); }
    void setAddress(const QString& sAddress) { m_verify->setAddress(sAddress); }
    QString FromAddress() { return m_verify->FromAddress(); }
    void setFromAddress(const QString& sAddress) { m_verify->setFromAddress(sAddress); }
    // Kept here; never sent to the object.
    qint32 ID() const { return m_id; }
    void setID(qint32 lID) { m_id = lID; }
    qint32 SmtpTimeout() { return m_verify->SmtpTimeout(); }
    void setSmtpTimeout(qint32 lTimeout) { m_verify->setSmtpTimeout(lTimeout); }
    qint32 DnsTimeout() { return m_verify->DnsTimeout(); }
    void setDnsTimeout(qint32 lTimeout) { m_verify->setDnsTimeout(lTimeout); }
    qint32 DnsServerPort() { return m_verify->DnsServerPort(); }
    void setDnsServerPort(qint32 lDnsServerPort) { m_verify->setDnsServerPort(lDnsServerPort); }
    bool EventsEnabled() { return m_verify->EventsEnabled(); }
    void setEventsEnabled(bool bEnabled) { m_verify->setEventsEnabled(bEnabled); }
    QString GetMessage() { return m_verify->GetMessage(); }
    QString SmtpReplies() { return m_verify->SmtpReplies(); }
    QString FromReply() { return m_verify->FromReply(); }
    QString RecptReply() { return m_verify->RecptReply(); }
    QString HelloName() { return m_verify->HelloName(); }
    void setHelloName(const QString& sHelloName) { m_verify->setHelloName(sHelloName); }

    // The proxy of the bound object, for waiting on pushes and error-free calls.
    RemoteVerify& object() { return *m_verify; }

    QSize sizeHint() const override { return {Side, Side}; }

signals:
    void Finished(qint32 Result);
    void Progress(qint32 Method, const QString& Description);
    // The object's status or busy flag changed.
    void stateChanged(qint32 status, bool busy);

protected:
    void connectNotify(const QMetaMethod& signal) override;

private:
    void bind();

    std::unique_ptr<RemoteVerify> m_verify;
    QVariant m_tag;
    qint32 m_id = 0;
    bool m_relayingState = false;
};

} // namespace corvanta
