#pragma once

#include "iverifier.h"

#include <functional>
#include <memory>
#include <vector>

namespace corvanta {

class ucVerify;
class RemoteVerify;

// One verifier control as the run logic's verifier. Owns the control;
// destroying it aborts and releases the verification object. GUI thread only.
class ControlVerifier final : public IVerifier
{
public:
    explicit ControlVerifier(std::unique_ptr<ucVerify> control);
    ~ControlVerifier() override;

    qint32 Status() override;
    void Reset() override;
    void Abort() override;
    qint32 Result() override;
    void Verify() override;
    void StartNext(const NextAddress& next) override;
    void ClearDnsServers() override;
    void AddDnsServer(const QString& server) override;
    void setAddress(const QString& address) override;
    void setFromAddress(const QString& address) override;
    void setHelloName(const QString& name) override;
    void setDnsTimeout(qint32 milliseconds) override;
    void setSmtpTimeout(qint32 milliseconds) override;
    void setEventsEnabled(bool enabled) override;
    void setID(qint32 id) override;
    qint32 ID() const override;
    QString GetMessage() override;
    QString SmtpReplies() override;
    QString FromReply() override;
    QString RecptReply() override;
    bool isConnected() const override;

private:
    std::unique_ptr<ucVerify> m_control;
};

// Makes the run's verifiers. The run asks for them one at a time, but one
// round trip per object makes a pool of hundreds slow to load, so objects are
// created in batches the size of the coming pool (`poolSize`, read when a
// batch is needed, less those already handed out) and handed out from there.
// Call releaseSpares() after each run: it frees what the run did not take and
// starts the count for the next pool.
//
// create() raises BrokerException when the server cannot make an object.
// GUI thread only.
class VerifierPool final : public IVerifierFactory
{
public:
    explicit VerifierPool(std::function<int()> poolSize);
    ~VerifierPool() override;

    std::unique_ptr<IVerifier> create() override;
    void releaseSpares();

private:
    std::function<int()> m_poolSize;
    std::vector<std::unique_ptr<RemoteVerify>> m_spares;
    int m_handedOut = 0; // since the last releaseSpares()
};

} // namespace corvanta
