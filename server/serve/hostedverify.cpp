#include "hostedverify.h"

#include "brokerhost.h"
#include "clsverify.h"
#include "componenterror.h"
#include "verifymembers.h"

namespace corvanta {

namespace {

const QString& source()
{
    static const QString name = QString::fromLatin1(verifyclass::ClassName);
    return name;
}

[[noreturn]] void typeMismatch(const QString& what)
{
    throw BrokerException(brokererr::TypeMismatch, source(),
                          QStringLiteral("Type mismatch: %1").arg(what));
}

// The client sends one argument for a write and for the by-reference string
// members; anything else is a caller's mistake, reported rather than guessed.
const QVariant& oneArg(const wire::ValueList& args)
{
    if (args.size() != 1)
        throw BrokerException(brokererr::WrongArguments, source(),
                              QStringLiteral("Wrong number of arguments"));
    return args.front();
}

QString stringArg(const wire::ValueList& args)
{
    const QVariant& v = oneArg(args);
    if (!v.isValid())
        return QString();
    if (v.typeId() != QMetaType::QString)
        typeMismatch(QStringLiteral("a string is expected"));
    return v.toString();
}

qint32 intArg(const wire::ValueList& args)
{
    const QVariant& v = oneArg(args);
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    if (!ok || v.typeId() == QMetaType::QString || n < std::numeric_limits<qint32>::min() ||
        n > std::numeric_limits<qint32>::max())
        typeMismatch(QStringLiteral("a 32-bit number is expected"));
    return qint32(n);
}

bool boolArg(const wire::ValueList& args)
{
    const QVariant& v = oneArg(args);
    if (v.typeId() != QMetaType::Bool && v.typeId() != QMetaType::Int &&
        v.typeId() != QMetaType::LongLong)
        typeMismatch(QStringLiteral("a boolean is expected"));
    return v.toBool();
}

} // namespace

HostedVerify::HostedVerify(ObjectSite& site, const ComponentFactory& factory) : m_site(site)
{
    try {
        m_object = std::make_unique<clsVerify>(factory);
    } catch (const ComponentException& e) {
        throw BrokerException(e.number() ? e.number() : brokererr::CannotCreate, source(),
                              e.description());
    }
    QObject::connect(m_object.get(), &clsVerify::stateChanged, m_object.get(),
                     [this](qint32 status, bool busy) {
                         if (busy) {
                             m_site.pushState(status, busy);
                             return;
                         }
                         using namespace verifyclass;
                         const clsVerify& o = *m_object;
                         wire::ValueList settled(SettledCount);
                         settled[SettledResult] = qint32(o.Result());
                         settled[SettledMessage] = o.GetMessage();
                         settled[SettledSmtpReplies] = o.SmtpReplies();
                         settled[SettledFromReply] = o.FromReply();
                         settled[SettledRecptReply] = o.RecptReply();
                         m_site.pushState(status, busy, settled);
                     });
    // The object raises its events only while they are switched on; each
    // returns once the client's handler has, as the object expects.
    QObject::connect(
        m_object.get(), &clsVerify::FinishedEvent, m_object.get(),
        [this](qint32 result) { m_site.raiseEvent(verifyclass::FinishedEvent, {result}); });
    QObject::connect(m_object.get(), &clsVerify::ProgressEvent, m_object.get(),
                     [this](qint32 method, const QString& description) {
                         m_site.raiseEvent(verifyclass::ProgressEvent, {method, description});
                     });
}

HostedVerify::~HostedVerify() = default;

wire::StatePush HostedVerify::state() const
{
    return {qint32(m_object->Status()), m_object->Busy(), {}};
}

void HostedVerify::abortWork() noexcept
{
    try {
        m_object->shutdown();
    } catch (...) {
        // The client is gone; there is nobody left to tell.
    }
}

QVariant HostedVerify::invoke(qint32 member, const wire::ValueList& args)
{
    using namespace verifyclass;
    clsVerify& o = *m_object;
    switch (Member(member)) {
    case Busy:
        return o.Busy();
    case Status:
        return qint32(o.Status());
    case Reset:
        o.Reset();
        return {};
    case Abort:
        o.Abort();
        return {};
    case Result:
        return qint32(o.Result());
    case Verify:
        o.Verify();
        return {};
    case DnsServers:
        return o.DnsServers();
    case AddDnsServer:
        o.AddDnsServer(stringArg(args));
        return {};
    case ClearDnsServers:
        o.ClearDnsServers();
        return {};
    case GetTag:
        return o.Tag();
    case LetTag: {
        // The caller's own value: any plain value, kept exactly as sent.
        const QVariant& v = oneArg(args);
        if (v.typeId() == QMetaType::QStringList)
            typeMismatch(QStringLiteral("a list cannot be kept as the tag"));
        o.setTag(v);
        return {};
    }
    case GetAddress:
        return o.Address();
    case LetAddress:
        o.setAddress(stringArg(args));
        return {};
    case GetFromAddress:
        return o.FromAddress();
    case LetFromAddress:
        o.setFromAddress(stringArg(args));
        return {};
    case GetID:
        return o.ID();
    case LetID:
        o.setID(intArg(args));
        return {};
    case GetSmtpTimeout:
        return o.SmtpTimeout();
    case LetSmtpTimeout:
        o.setSmtpTimeout(intArg(args));
        return {};
    case GetDnsTimeout:
        return o.DnsTimeout();
    case LetDnsTimeout:
        o.setDnsTimeout(intArg(args));
        return {};
    case GetDnsServerPort:
        return o.DnsServerPort();
    case LetDnsServerPort:
        o.setDnsServerPort(intArg(args));
        return {};
    case GetEventsEnabled:
        return o.EventsEnabled();
    case LetEventsEnabled:
        o.setEventsEnabled(boolArg(args));
        return {};
    case GetMessage:
        return o.GetMessage();
    case SmtpReplies:
        return o.SmtpReplies();
    case FromReply:
        return o.FromReply();
    case RecptReply:
        return o.RecptReply();
    case GetHelloName:
        return o.HelloName();
    case LetHelloName:
        o.setHelloName(stringArg(args));
        return {};
    case IsValidEmail:
        return o.isValidEmail(stringArg(args));
    case MemberCount:
        break;
    }
    throw BrokerException(brokererr::NoSuchMember, source(),
                          QStringLiteral("Object doesn't support this property or method"));
}

int serveVerifyObjects(int argc, char** argv, ComponentFactory factory)
{
    return runBrokerServer(argc, argv, [&factory](BrokerHost& host) {
        host.registerClass(
            QString::fromLatin1(verifyclass::ClassName),
            [factory](ObjectSite& site) { return std::make_unique<HostedVerify>(site, factory); });
    });
}

} // namespace corvanta
