#include "remoteverify.h"

#include <QMetaMethod>

namespace corvanta {

using namespace verifyclass;

RemoteVerify::RemoteVerify(const ClientOptions& options, QObject* parent)
    : QObject(parent),
      m_object(RemoteObject::create(QString::fromLatin1(verifyclass::ClassName), options))
{
    bind();
}

RemoteVerify::RemoteVerify(std::unique_ptr<RemoteObject> object, QObject* parent)
    : QObject(parent), m_object(std::move(object))
{
    bind();
}

std::vector<std::unique_ptr<RemoteVerify>> RemoteVerify::createMany(int count,
                                                                    const ClientOptions& options)
{
    std::vector<std::unique_ptr<RemoteVerify>> verifiers;
    for (auto& object :
         RemoteObject::createMany(QString::fromLatin1(verifyclass::ClassName), count, options))
        verifiers.push_back(std::make_unique<RemoteVerify>(std::move(object)));
    return verifiers;
}

void RemoteVerify::bind()
{
    connect(m_object.get(), &RemoteObject::connectionLost, this, &RemoteVerify::connectionLost);
    connect(m_object.get(), &RemoteObject::eventRaised, this,
            [this](qint32 event, const wire::ValueList& args) {
                if (event == verifyclass::FinishedEvent)
                    emit FinishedEvent(args.value(0).toInt());
                else if (event == verifyclass::ProgressEvent)
                    emit ProgressEvent(args.value(0).toInt(), args.value(1).toString());
            });
}

RemoteVerify::~RemoteVerify() = default;

void RemoteVerify::connectNotify(const QMetaMethod& signal)
{
    // Relayed only once someone listens: see RemoteObject::stateChanged.
    static const QMetaMethod changed = QMetaMethod::fromSignal(&RemoteVerify::stateChanged);
    if (signal == changed && !m_relayingState) {
        m_relayingState = true;
        connect(m_object.get(), &RemoteObject::stateChanged, this, &RemoteVerify::stateChanged);
    }
}

QVariant RemoteVerify::call(Member member, const wire::ValueList& args)
{
    return m_object->call(member, args);
}

QVariant RemoteVerify::settledOrCall(Settled index, Member member)
{
    if (const QVariant* value = m_object->settled(index))
        return *value;
    return call(member);
}

void RemoteVerify::beginVerify(const QString& sAddress, bool resetFirst)
{
    std::vector<RemoteObject::Call> calls;
    calls.reserve(3);
    if (resetFirst)
        calls.push_back({verifyclass::Reset, {}});
    calls.push_back({LetAddress, {sAddress}});
    calls.push_back({verifyclass::Verify, {}});
    m_object->callSequence(calls);
}

// clang-format off
void RemoteVerify::Reset() { call(verifyclass::Reset); }
void RemoteVerify::Abort() { call(verifyclass::Abort); }
qint32 RemoteVerify::Result() { return settledOrCall(SettledResult, verifyclass::Result).toInt(); }
void RemoteVerify::Verify() { call(verifyclass::Verify); }
QStringList RemoteVerify::DnsServers() { return call(verifyclass::DnsServers).toStringList(); }
void RemoteVerify::AddDnsServer(const QString& s) { call(verifyclass::AddDnsServer, {s}); }
void RemoteVerify::ClearDnsServers() { call(verifyclass::ClearDnsServers); }
QVariant RemoteVerify::Tag() { return call(GetTag); }
void RemoteVerify::setTag(const QVariant& v) { call(LetTag, {v}); }
QString RemoteVerify::Address() { return call(GetAddress).toString(); }
void RemoteVerify::setAddress(const QString& s) { call(LetAddress, {s}); }
QString RemoteVerify::FromAddress() { return call(GetFromAddress).toString(); }
void RemoteVerify::setFromAddress(const QString& s) { call(LetFromAddress, {s}); }
qint32 RemoteVerify::ID() { return call(GetID).toInt(); }
void RemoteVerify::setID(qint32 v) { call(LetID, {v}); }
qint32 RemoteVerify::SmtpTimeout() { return call(GetSmtpTimeout).toInt(); }
void RemoteVerify::setSmtpTimeout(qint32 v) { call(LetSmtpTimeout, {v}); }
qint32 RemoteVerify::DnsTimeout() { return call(GetDnsTimeout).toInt(); }
void RemoteVerify::setDnsTimeout(qint32 v) { call(LetDnsTimeout, {v}); }
qint32 RemoteVerify::DnsServerPort() { return call(GetDnsServerPort).toInt(); }
void RemoteVerify::setDnsServerPort(qint32 v) { call(LetDnsServerPort, {v}); }
bool RemoteVerify::EventsEnabled() { return call(GetEventsEnabled).toBool(); }
void RemoteVerify::setEventsEnabled(bool v) { call(LetEventsEnabled, {v}); }
QString RemoteVerify::GetMessage() { return settledOrCall(SettledMessage, verifyclass::GetMessage).toString(); }
QString RemoteVerify::SmtpReplies() { return settledOrCall(SettledSmtpReplies, verifyclass::SmtpReplies).toString(); }
QString RemoteVerify::FromReply() { return settledOrCall(SettledFromReply, verifyclass::FromReply).toString(); }
QString RemoteVerify::RecptReply() { return settledOrCall(SettledRecptReply, verifyclass::RecptReply).toString(); }
QString RemoteVerify::HelloName() { return call(GetHelloName).toString(); }
void RemoteVerify::setHelloName(const QString& s) { call(LetHelloName, {s}); }
bool RemoteVerify::isValidEmail(const QString& s) { return call(IsValidEmail, {s}).toBool(); }
// clang-format on

} // namespace corvanta
