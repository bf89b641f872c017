#include "verifierpool.h"

#include "ucverify.h"

#include <algorithm>
#include <stdexcept>

namespace corvanta {

namespace {

// One batch asks the server for this many objects at most, so that a huge
// Threads value cannot hold the window in one very long call.
constexpr int kMaxBatch = 250;

} // namespace

ControlVerifier::ControlVerifier(std::unique_ptr<ucVerify> control) : m_control(std::move(control))
{}

ControlVerifier::~ControlVerifier() = default;

qint32 ControlVerifier::Status()
{
    return m_control->Status();
}

void ControlVerifier::Reset()
{
    m_control->Reset();
}

void ControlVerifier::Abort()
{
    m_control->Abort();
}

qint32 ControlVerifier::Result()
{
    return m_control->Result();
}

void ControlVerifier::Verify()
{
    m_control->Verify();
}

void ControlVerifier::StartNext(const NextAddress& next)
{
    // The ID is the control's own: where it goes among the object's calls
    // makes no difference to the object.
    m_control->setID(next.id);
    m_control->object().beginVerify(next.address, next.resetFirst);
}

void ControlVerifier::ClearDnsServers()
{
    m_control->ClearDnsServers();
}

void ControlVerifier::AddDnsServer(const QString& server)
{
    m_control->AddDnsServer(server);
}

void ControlVerifier::setAddress(const QString& address)
{
    m_control->setAddress(address);
}

void ControlVerifier::setFromAddress(const QString& address)
{
    m_control->setFromAddress(address);
}

void ControlVerifier::setHelloName(const QString& name)
{
    m_control->setHelloName(name);
}

void ControlVerifier::setDnsTimeout(qint32 milliseconds)
{
    m_control->setDnsTimeout(milliseconds);
}

void ControlVerifier::setSmtpTimeout(qint32 milliseconds)
{
    m_control->setSmtpTimeout(milliseconds);
}

void ControlVerifier::setEventsEnabled(bool enabled)
{
    m_control->setEventsEnabled(enabled);
}

void ControlVerifier::setID(qint32 id)
{
    m_control->setID(id);
}

qint32 ControlVerifier::ID() const
{
    return m_control->ID();
}

QString ControlVerifier::GetMessage()
{
    return m_control->GetMessage();
}

QString ControlVerifier::SmtpReplies()
{
    return m_control->SmtpReplies();
}

QString ControlVerifier::FromReply()
{
    return m_control->FromReply();
}

QString ControlVerifier::RecptReply()
{
    return m_control->RecptReply();
}

bool ControlVerifier::isConnected() const
{
    return m_control->object().isConnected();
}

VerifierPool::VerifierPool(std::function<int()> poolSize) : m_poolSize(std::move(poolSize)) {}

VerifierPool::~VerifierPool() = default;

std::unique_ptr<IVerifier> VerifierPool::create()
{
    // Objects whose server went away since the batch was made are of no use.
    std::erase_if(m_spares, [](const auto& spare) { return !spare->isConnected(); });
    if (m_spares.empty()) {
        const int pool = m_poolSize ? m_poolSize() : 1;
        const int wanted = std::clamp(pool - m_handedOut, 1, kMaxBatch);
        m_spares = RemoteVerify::createMany(wanted);
        if (m_spares.empty())
            throw std::runtime_error("The verification server created no verification object");
        std::reverse(m_spares.begin(), m_spares.end());
    }
    ++m_handedOut;
    std::unique_ptr<RemoteVerify> object = std::move(m_spares.back());
    m_spares.pop_back();
    return std::make_unique<ControlVerifier>(std::make_unique<ucVerify>(std::move(object)));
}

void VerifierPool::releaseSpares()
{
    m_spares.clear();
    m_handedOut = 0;
}

} // namespace corvanta
