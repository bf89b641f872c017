#pragma once

#include "remoteobject.h"
#include "verifymembers.h"

#include <QObject>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace corvanta {

// A verification object in the server, seen from the client: every member of
// the object's interface, in its order, as a synchronous call. Used on the
// thread that created it.
//
// Errors: creation raises BrokerException when the server cannot be reached or
// started, or the object cannot be made (brokererr::CannotCreate). Every
// member raises BrokerException when the call fails (server gone, no answer
// within the call bound, the object's own error). No member hangs.
//
// Status() and Busy() read the state the server last pushed: no round trip.
// stateChanged() tells of every push; waitForPush() sleeps until the next.
// Once a verification has ended, Result() and the four texts of its outcome
// come with that push too, until the next call on the object.
//
// Events come as FinishedEvent and ProgressEvent while EventsEnabled is true.
// The object waits until the connected handlers return and serves calls
// meanwhile, so a handler may call Reset, set Address and call Verify.
//
// Destroying the proxy releases the object: the server aborts its work and
// frees it.
class RemoteVerify final : public QObject
{
    Q_OBJECT

public:
    explicit RemoteVerify(const ClientOptions& options = ClientOptions{},
                          QObject* parent = nullptr);
    // Takes over an object already created in the server (createMany).
    explicit RemoteVerify(std::unique_ptr<RemoteObject> object, QObject* parent = nullptr);
    ~RemoteVerify() override;

    // Creates `count` verification objects at once (see
    // RemoteObject::createMany): for a pool of verifiers this is much faster
    // than creating them one by one. Raises BrokerException.
    static std::vector<std::unique_ptr<RemoteVerify>>
    createMany(int count, const ClientOptions& options = ClientOptions{});

    bool Busy() const { return m_object->busy(); }
    qint32 Status() const { return m_object->status(); }
    void Reset();
    void Abort();
    qint32 Result();
    void Verify();
    QStringList DnsServers();
    void AddDnsServer(const QString& sDnsServer);
    void ClearDnsServers();
    QVariant Tag();
    // Raises BrokerException (type mismatch) for a value that is not a plain
    // string, number, boolean or bytes.
    void setTag(const QVariant& vtTag);
    QString Address();
    void setAddress(const QString& sAddress);
    QString FromAddress();
    void setFromAddress(const QString& sAddress);
    qint32 ID();
    void setID(qint32 lID);
    qint32 SmtpTimeout();
    void setSmtpTimeout(qint32 lTimeout);
    qint32 DnsTimeout();
    void setDnsTimeout(qint32 lTimeout);
    qint32 DnsServerPort();
    void setDnsServerPort(qint32 lDnsServerPort);
    bool EventsEnabled();
    void setEventsEnabled(bool bEnabled);
    QString GetMessage();
    QString SmtpReplies();
    QString FromReply();
    QString RecptReply();
    QString HelloName();
    void setHelloName(const QString& sHelloName);
    bool isValidEmail(const QString& myEmail);

    // Reset (when `resetFirst`), Address = sAddress and Verify, in that
    // order, in one round trip: how a pool hands a verifier its next
    // address. Stops at the first member that fails and raises its error;
    // the members after it do not run.
    void beginVerify(const QString& sAddress, bool resetFirst);

    // Broker-level helpers, beyond the object's own interface.
    bool isConnected() const { return m_object->isConnected(); }
    bool waitForPush(int ms) { return m_object->waitForPush(ms); }
    quint64 pushCount() const { return m_object->pushCount(); }
    void setCallTimeout(int ms) { m_object->setCallTimeout(ms); }
    qint64 serverProcessId() const { return m_object->serverProcessId(); }
    // The same call as the typed members, without exceptions.
    bool tryCall(verifyclass::Member member, const wire::ValueList& args, QVariant* value,
                 BrokerError* error)
    {
        return m_object->tryCall(member, args, value, error);
    }

signals:
    void FinishedEvent(qint32 Result);
    void ProgressEvent(qint32 Method, const QString& Description);
    void stateChanged(qint32 status, bool busy);
    // The server is gone; every call fails from now on.
    void connectionLost();

protected:
    void connectNotify(const QMetaMethod& signal) override;

private:
    void bind();
    QVariant call(verifyclass::Member member, const wire::ValueList& args = {});
    // The value the last push settled, or the member's answer by call.
    QVariant settledOrCall(verifyclass::Settled index, verifyclass::Member member);

    std::unique_ptr<RemoteObject> m_object;
    bool m_relayingState = false;
};

} // namespace corvanta
