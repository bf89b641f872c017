#pragma once

#include <QString>
#include <memory>

namespace corvanta {

// One verifier control: the run's handle on one verification object in the
// server. Used on the GUI thread only.
//
// Any member may throw a std::exception when the call fails (for example when
// the server has gone); the run ignores such failures and goes on. Reading
// Status() must be cheap: the real control answers from the last status the
// server pushed, and such a push arrives as an event on the GUI thread, so a
// caller that waits for events (QEventLoop::WaitForMoreEvents) wakes up on it.
//
// Destroying the verifier unloads it: a verification still running is aborted
// and the object is released.
class IVerifier
{
public:
    virtual ~IVerifier() = default;

    virtual qint32 Status() = 0; // a ProcessStatus value
    virtual void Reset() = 0;
    virtual void Abort() = 0;
    virtual qint32 Result() = 0; // a VerifyConstants value
    virtual void Verify() = 0;   // returns at once

    // How the run hands a verifier its next address: Reset (when
    // `resetFirst`), the ID and the Address (in the order `idFirst` says),
    // then Verify. The calls go in that order and stop at the first that
    // fails, whose error is raised. A verifier whose calls are round trips
    // makes them one.
    struct NextAddress
    {
        QString address;
        qint32 id = 0;
        bool idFirst = false;
        bool resetFirst = false;
    };
    virtual void StartNext(const NextAddress& next)
    {
        if (next.resetFirst)
            Reset();
        if (next.idFirst)
            setID(next.id);
        setAddress(next.address);
        if (!next.idFirst)
            setID(next.id);
        Verify();
    }

    virtual void ClearDnsServers() = 0;
    virtual void AddDnsServer(const QString& server) = 0;
    virtual void setAddress(const QString& address) = 0;
    virtual void setFromAddress(const QString& address) = 0;
    virtual void setHelloName(const QString& name) = 0;
    virtual void setDnsTimeout(qint32 milliseconds) = 0;
    virtual void setSmtpTimeout(qint32 milliseconds) = 0;
    virtual void setEventsEnabled(bool enabled) = 0;

    // The caller's own number, kept by the control; never sent to the object.
    virtual void setID(qint32 id) = 0;
    virtual qint32 ID() const = 0;

    virtual QString GetMessage() = 0;
    virtual QString SmtpReplies() = 0;
    virtual QString FromReply() = 0;
    virtual QString RecptReply() = 0;

    // False once the verification object is gone for good (its connection to
    // the server broke); every later call fails. Costs no round trip.
    virtual bool isConnected() const = 0;
};

// Loads verifier controls for a run. create() may throw when no verification
// object can be made (server missing, cannot start); the caller owns the result.
class IVerifierFactory
{
public:
    virtual ~IVerifierFactory() = default;
    virtual std::unique_ptr<IVerifier> create() = 0;
};

} // namespace corvanta
