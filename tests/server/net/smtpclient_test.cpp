#include "dnsresolver.h"
#include "fakednsserver.h"
#include "fakesmtpserver.h"
#include "nettestutil.h"
#include "smtpclient.h"

#include <QNetworkProxy>
#include <QSysInfo>

namespace corvanta::testing {
namespace {

const QHostAddress DnsAddress(QStringLiteral("127.0.0.53"));
QHostAddress at(int last)
{
    return QHostAddress(QStringLiteral("127.0.0.%1").arg(last));
}

const QHostAddress Mx = at(10);
const QString MxName = Mx.toString();

class SmtpClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(m_dns.start(DnsAddress, 53, &error)) << error.toStdString();
        m_resolver.setServer(DnsAddress.toString());
        m_resolver.setTimeout(2000);
        m_client.setTimeout(2000);
        m_client.setHelloName(QStringLiteral("probe.example"));
    }

    // Serves `address`:25 as the default behaviour changed by `change` has it,
    // and returns the address as a host name.
    QString serve(const QHostAddress& address,
                  const std::function<void(FakeSmtpBehaviour&)>& change = {})
    {
        FakeSmtpBehaviour behaviour;
        if (change)
            change(behaviour);
        QString error;
        EXPECT_TRUE(m_smtp.add(address, behaviour, &error))
            << "cannot listen on " << address.toString().toStdString()
            << ":25 (is this a private network namespace?): " << error.toStdString();
        return address.toString();
    }

    ComponentError connectError(const QString& host = MxName)
    {
        return errorOf([&] { m_client.connectAndGreet(host); });
    }

    FakeDnsServer m_dns;
    FakeSmtpServers m_smtp;
    DnsResolver m_resolver;
    SmtpClient m_client{m_resolver};
};

TEST_F(SmtpClientTest, ProbesAndLogsOutInOrder)
{
    serve(Mx, [](auto& b) {
        b.mailReply = "250-first line\r\n250-second line\r\n250 last line";
        b.rejectedRcptPrefix = "nobody";
    });
    EXPECT_EQ(m_client.state(), ISmtpClient::Disconnected);
    m_client.connectAndGreet(MxName);
    EXPECT_EQ(m_client.state(), ISmtpClient::Ready);

    EXPECT_EQ(m_client.sendCommand(QStringLiteral("MAIL FROM:<>")),
              QStringLiteral("250-first line\r\n250-second line\r\n250 last line"));
    EXPECT_EQ(m_client.sendCommand(QStringLiteral("RCPT TO:<someone@x.test>")),
              QStringLiteral("250 2.1.5 Recipient ok"));
    EXPECT_EQ(m_client.sendCommand(QStringLiteral("RCPT TO:<nobody@x.test>")),
              QStringLiteral("550 5.1.1 No such user"));
    m_client.logout();
    EXPECT_EQ(m_client.state(), ISmtpClient::Disconnected);

    const QList<QByteArray> expected{"EHLO probe.example", "MAIL FROM:<>",
                                     "RCPT TO:<someone@x.test>", "RCPT TO:<nobody@x.test>", "QUIT"};
    EXPECT_EQ(m_smtp.commands(Mx), expected);
}

TEST_F(SmtpClientTest, FallsBackToHeloWhenEhloGetsAPermanentRefusal)
{
    serve(Mx, [](auto& b) { b.ehloReply = "502 5.5.2 Command not recognized"; });
    m_client.connectAndGreet(MxName);
    EXPECT_EQ(m_client.state(), ISmtpClient::Ready);
    EXPECT_EQ(m_smtp.commands(Mx), (QList<QByteArray>{"EHLO probe.example", "HELO probe.example"}));
}

TEST_F(SmtpClientTest, ConnectionFailuresAreErrorsWithoutAConnection)
{
    struct Case
    {
        QString host;
        int number;
        const char* mentions;
    } cases[] = {
        {QStringLiteral("127.0.0.99"), SmtpClient::ConnectFailed, "127.0.0.99"}, // nobody listens
        {serve(at(12), [](auto& b) { b.closeOnConnect = true; }), SmtpClient::ConnectionLost,
         "closed"},
        {serve(at(13), [](auto& b) { b.greeting = "554 5.7.1 Go away"; }),
         SmtpClient::GreetingRefused, "554 5.7.1 Go away"},
        {serve(at(11), [](auto& b) { b.ehloReply = "421 4.3.2 Try later"; }),
         SmtpClient::HelloRefused, "421 4.3.2 Try later"},
        {QStringLiteral("unknown.test"), SmtpClient::HostNotFound, "unknown.test"},
        {QString(), SmtpClient::HostNotFound, "No mail server"},
    };
    for (const Case& c : cases) {
        const ComponentError error = connectError(c.host);
        EXPECT_EQ(error.number, c.number) << c.host.toStdString();
        EXPECT_TRUE(error.description.contains(QLatin1String(c.mentions)))
            << error.description.toStdString();
        EXPECT_EQ(m_client.state(), ISmtpClient::Disconnected);
    }
    EXPECT_TRUE(m_smtp.commands(at(13)).isEmpty());
    EXPECT_EQ(m_smtp.commands(at(11)), QList<QByteArray>{"EHLO probe.example"}) << "no HELO";
}

TEST_F(SmtpClientTest, TriesTheAddressesOfAHostInTurnAndGreetsWithTheMachineName)
{
    serve(at(15));
    // Nothing listens on the first address.
    m_dns.setAddresses(QStringLiteral("mx.two.test"), {at(14), at(15)});
    SmtpClient client(m_resolver); // no greeting name set
    client.connectAndGreet(QStringLiteral("mx.two.test"));
    EXPECT_EQ(client.state(), ISmtpClient::Ready);
    EXPECT_EQ(m_smtp.commands(at(15)),
              QList<QByteArray>{"EHLO " + QSysInfo::machineHostName().toUtf8()});
}

TEST_F(SmtpClientTest, TalksToTheMailServerItselfWhateverProxyTheDesktopSets)
{
    // A web proxy the desktop names for every connection. Qt never proxies
    // loopback, so the mail server has an address outside it (the namespace
    // script puts 192.0.2.25 on its loopback device).
    const QHostAddress proxy = at(30);
    QString error;
    ASSERT_TRUE(m_smtp.add(proxy, {}, &error, 3128)) << error.toStdString();
    const QHostAddress remote(QStringLiteral("192.0.2.25"));
    serve(remote);
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, proxy.toString(), 3128));
    struct Restore
    {
        ~Restore() { QNetworkProxy::setApplicationProxy(QNetworkProxy()); }
    } restore;

    m_client.connectAndGreet(remote.toString());
    EXPECT_EQ(m_client.state(), ISmtpClient::Ready);
    EXPECT_EQ(m_smtp.commands(remote), QList<QByteArray>{"EHLO probe.example"});
    EXPECT_EQ(m_smtp.connections(proxy), 0);
}

TEST_F(SmtpClientTest, OneTimeOutBoundsTheWholeAttemptOnAServer)
{
    serve(Mx, [](auto& b) { b.silent = true; });
    // A byte well within the time-out, the greeting past it.
    const QString dripping = serve(at(16), [](auto& b) {
        b.dripIntervalMs = 50;
        b.greeting = "220 drip";
        b.ehloReply = "250 ok";
    });
    // Nothing ever answers on 198.51.100.0/24 (see netns-run.sh).
    const QHostAddress unanswered1(QStringLiteral("198.51.100.1"));
    const QHostAddress unanswered2(QStringLiteral("198.51.100.2"));
    m_dns.setAddresses(QStringLiteral("mx.dead.test"), {unanswered1, unanswered2});
    m_dns.setAddresses(QStringLiteral("mx.half.test"), {unanswered1, Mx});
    m_dns.setReply(QStringLiteral("mx.silent-dns.test"), FakeDnsZone::Reply::Silence);
    m_resolver.setTimeout(10000);

    const std::pair<QString, int> cases[] = {
        {MxName, SmtpClient::TimedOut},                               // no greeting
        {dripping, SmtpClient::TimedOut},                             // a greeting too slow
        {QStringLiteral("mx.dead.test"), SmtpClient::ConnectFailed},  // no address answers
        {QStringLiteral("mx.half.test"), SmtpClient::TimedOut},       // one never greets
        {QStringLiteral("mx.silent-dns.test"), SmtpClient::TimedOut}, // no address found
    };
    m_client.setTimeout(400);
    for (const auto& [host, number] : cases) {
        ComponentError error;
        const qint64 elapsed = millisecondsOf([&, &name = host] { error = connectError(name); });
        EXPECT_EQ(error.number, number)
            << host.toStdString() << ": " << error.description.toStdString();
        EXPECT_GE(elapsed, 380) << host.toStdString();
        EXPECT_LE(elapsed, 400 + SlackMs) << host.toStdString();
        EXPECT_EQ(m_client.state(), ISmtpClient::Disconnected);
    }

    // The same drip finishes within a longer time-out: pieces add up.
    m_client.setTimeout(2000);
    m_client.connectAndGreet(dripping);
    EXPECT_EQ(m_client.state(), ISmtpClient::Ready);
}

TEST_F(SmtpClientTest, EachCommandAfterTheHelloHasItsOwnTimeOut)
{
    serve(Mx, [](auto& b) { b.replyDelayMs = 150; });
    // Longer than the greeting and the hello together, shorter than the
    // whole conversation.
    m_client.setTimeout(400);
    m_client.connectAndGreet(MxName);
    EXPECT_EQ(m_client.sendCommand(QStringLiteral("MAIL FROM:<>")),
              QStringLiteral("250 2.1.0 Sender ok"));
    EXPECT_EQ(m_client.sendCommand(QStringLiteral("RCPT TO:<a@b.test>")),
              QStringLiteral("250 2.1.5 Recipient ok"));

    m_client.setTimeout(100);
    EXPECT_EQ(errorOf([&] { m_client.sendCommand(QStringLiteral("NOOP")); }).number,
              SmtpClient::TimedOut);
    EXPECT_EQ(m_client.state(), ISmtpClient::Disconnected);
}

TEST_F(SmtpClientTest, AnEndlessOrDroppedReplyFailsTheCommandAndTheConnection)
{
    const std::tuple<QString, QString, int> cases[] = {
        {serve(Mx, [](auto& b) { b.endlessOnVerb = "RCPT"; }), QStringLiteral("RCPT TO:<a@b.test>"),
         SmtpClient::ReplyTooLarge},
        {serve(at(19), [](auto& b) { b.dropOnVerb = "MAIL"; }),
         QStringLiteral("MAIL FROM:<a@b.test>"), SmtpClient::ConnectionLost},
    };
    for (const auto& [host, command, number] : cases) {
        m_client.connectAndGreet(host);
        EXPECT_EQ(errorOf([&, &line = command] { m_client.sendCommand(line); }).number, number);
        EXPECT_EQ(m_client.state(), ISmtpClient::Disconnected);
        EXPECT_EQ(errorOf([&] { m_client.sendCommand(QStringLiteral("NOOP")); }).number,
                  SmtpClient::NotConnected);
        m_client.logout(); // nothing to log out of: no error
    }
}

TEST_F(SmtpClientTest, CommandsThatCouldInjectAnotherAreNeverSent)
{
    serve(Mx);
    m_client.connectAndGreet(MxName);
    const QString injections[] = {
        QStringLiteral("RCPT TO:<a@b.test>\r\nDATA"),
        QStringLiteral("RCPT TO:<a@b.test>\nDATA"),
        QStringLiteral("RCPT TO:<a@b.test>\rDATA"),
        QStringLiteral("RCPT TO:<a@b.test>") + QChar(0) + QStringLiteral("DATA"),
    };
    for (const QString& line : injections) {
        EXPECT_EQ(errorOf([&] { m_client.sendCommand(line); }).number, SmtpClient::CommandRefused);
        EXPECT_EQ(m_client.state(), ISmtpClient::Ready);
    }
    EXPECT_EQ(m_client.sendCommand(QStringLiteral("NOOP")), QStringLiteral("250 2.0.0 Ok"));
    EXPECT_EQ(m_smtp.commands(Mx), (QList<QByteArray>{"EHLO probe.example", "NOOP"}));

    // The greeting name goes into a command too.
    m_client.setHelloName(QStringLiteral("probe\r\nMAIL FROM:<x@y.test>"));
    EXPECT_EQ(connectError(serve(at(17))).number, SmtpClient::CommandRefused);
    EXPECT_EQ(m_client.state(), ISmtpClient::Disconnected);
    EXPECT_TRUE(m_smtp.commands(at(17)).isEmpty());
}

TEST_F(SmtpClientTest, AbortEndsAPendingStepAtOnce)
{
    serve(Mx, [](auto& b) { b.silent = true; });
    const QString stalls = serve(at(18), [](auto& b) { b.stallOnVerb = "MAIL"; });
    m_dns.setReply(QStringLiteral("mx.silent-dns.test"), FakeDnsZone::Reply::Silence);
    m_client.setTimeout(10000);
    m_resolver.setTimeout(10000);

    auto abortedWithin = [&](const char* step, auto&& call) {
        QTimer::singleShot(100, [&] { m_client.abort(); });
        ComponentError error;
        const qint64 elapsed = millisecondsOf([&] { error = errorOf(call); });
        EXPECT_EQ(error.number, SmtpClient::Aborted)
            << step << ": " << error.description.toStdString();
        EXPECT_LE(elapsed, 100 + SlackMs) << step;
        EXPECT_EQ(m_client.state(), ISmtpClient::Disconnected) << step;
    };
    abortedWithin("greeting", [&] { m_client.connectAndGreet(MxName); });
    abortedWithin("host look-up",
                  [&] { m_client.connectAndGreet(QStringLiteral("mx.silent-dns.test")); });
    m_client.connectAndGreet(stalls);
    abortedWithin("reply", [&] { m_client.sendCommand(QStringLiteral("MAIL FROM:<>")); });

    // Between steps it just drops the connection; the next step knows.
    m_client.connectAndGreet(stalls);
    m_client.abort();
    EXPECT_EQ(m_client.state(), ISmtpClient::Disconnected);
    EXPECT_EQ(errorOf([&] { m_client.sendCommand(QStringLiteral("NOOP")); }).number,
              SmtpClient::NotConnected);
}

TEST_F(SmtpClientTest, AThreadThatQuitsDuringAStepEndsWithoutWaitingForTheTimeOut)
{
    serve(Mx, [](auto& b) { b.silent = true; });
    int number = 0;
    const qint64 elapsed = millisecondsUntilThreadEnds(
        [&] {
            DnsResolver resolver;
            SmtpClient client(resolver);
            client.setTimeout(20000);
            number = errorOf([&] { client.connectAndGreet(MxName); }).number;
        },
        200);
    EXPECT_GE(elapsed, 0) << "the thread did not end";
    EXPECT_LE(elapsed, SlackMs);
    EXPECT_EQ(number, SmtpClient::Aborted);
}

} // namespace
} // namespace corvanta::testing
