// A sondrix stand-in for the broker binding tests: serves real verification
// objects whose DNS and SMTP components are small in-memory fakes, steered by
// the address under test:
//   domain "nomx.*"        no mail server
//   domain "silent.*"      the mail server never greets (until aborted)
//   domain "slow.*"        every server reply takes FAKE_REPLY_DELAY_MS (20)
//   domain "depth.*"       the mail server's name starts with "sp" and the
//                          address of the look-up's stack frame, so a client
//                          sees whether procedures nest on the object's thread
//   local part "bad*"      the recipient is refused
// FAKE_FAIL_CREATE=1 makes every creation fail as a missing component would.
#include "hostedverify.h"
#include "scriptedcomponents.h"

namespace corvanta {
namespace {

using testing::Wait;

QString domainOf(const QString& address)
{
    return address.mid(address.lastIndexOf(QLatin1Char('@')) + 1);
}

class FakeDns final : public IDnsResolver
{
public:
    void setTimeout(int) override {}
    void setServer(const QString&) override {}
    void setPort(int) override {}
    MxLists queryMx(const QString& address) override
    {
        const QString domain = domainOf(address);
        if (domain.startsWith(QStringLiteral("nomx.")))
            return {};
        if (domain.startsWith(QStringLiteral("depth."))) {
            const int frame = 0;
            const QString name = QStringLiteral("sp%1.mx.").arg(quintptr(&frame)) + domain;
            return {{name}, {name}};
        }
        return {{QStringLiteral("mx.") + domain}, {QStringLiteral("mx.") + domain}};
    }
    QList<QHostAddress> resolveHost(const QString&) override
    {
        return {QHostAddress(QHostAddress::LocalHost)};
    }
    void cancel() override {}
};

class FakeSmtp final : public ISmtpClient
{
public:
    explicit FakeSmtp(int delayMs) : m_delayMs(delayMs) {}

    void setTimeout(int ms) override { m_timeout = ms; }
    int timeout() const override { return m_timeout; }
    State state() const override { return m_state; }
    QString helloName() const override { return m_hello; }
    void setHelloName(const QString& name) override { m_hello = name; }

    void connectAndGreet(const QString& host) override
    {
        m_slow = host.contains(QStringLiteral(".slow."));
        if (host.contains(QStringLiteral(".silent."))) {
            m_state = NotReady;
            const bool cancelled = m_wait.run(m_timeout);
            m_state = Disconnected;
            throw ComponentException(cancelled ? 1 : 10060,
                                     cancelled ? QStringLiteral("The connection was aborted")
                                               : QStringLiteral("No greeting in time"));
        }
        delay();
        m_state = Ready;
    }
    QString sendCommand(const QString& line) override
    {
        delay();
        if (line.startsWith(QStringLiteral("RCPT TO:<bad")))
            return QStringLiteral("550 No such user");
        return QStringLiteral("250 OK");
    }
    void logout() override
    {
        delay();
        m_state = Disconnected;
    }
    void abort() override
    {
        m_state = Disconnected;
        m_wait.cancel();
    }

private:
    void delay()
    {
        if (m_slow && m_wait.run(m_delayMs))
            throw ComponentException(1, QStringLiteral("The connection was aborted"));
    }

    int m_delayMs;
    int m_timeout = 60000;
    bool m_slow = false;
    State m_state = Disconnected;
    QString m_hello = QStringLiteral("fake.host");
    Wait m_wait;
};

} // namespace
} // namespace corvanta

int main(int argc, char** argv)
{
    using namespace corvanta;
    const bool failCreate = qEnvironmentVariableIntValue("FAKE_FAIL_CREATE") == 1;
    bool ok = false;
    int delay = qEnvironmentVariableIntValue("FAKE_REPLY_DELAY_MS", &ok);
    if (!ok)
        delay = 20;
    ComponentFactory factory{
        [] { return std::unique_ptr<IDnsResolver>(new FakeDns); },
        [failCreate, delay](IDnsResolver&) -> std::unique_ptr<ISmtpClient> {
            if (failCreate)
                throw ComponentException(7, QStringLiteral("The SMTP client is not installed"));
            return std::make_unique<FakeSmtp>(delay);
        },
    };
    return serveVerifyObjects(argc, argv, factory);
}
