#pragma once

#include "componenterror.h"
#include "componentfactory.h"
#include "idnsresolver.h"
#include "ismtpclient.h"

#include <QEventLoop>
#include <QHash>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

namespace corvanta::testing {

// In-memory stand-ins for the DNS resolver and the SMTP client. A script says
// what each operation does; a log records what the procedure asked for. Waits
// ("silent" peers) are nested event loops, as in the real components, so an
// Abort served meanwhile ends them.

// Ends a nested wait early when the component is cancelled.
class Wait
{
public:
    // Waits up to `ms`; true when cancelled rather than timed out.
    bool run(int ms)
    {
        QEventLoop loop;
        m_loop = &loop;
        m_cancelled = false;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
        m_loop = nullptr;
        return m_cancelled;
    }
    void cancel()
    {
        m_cancelled = true;
        if (m_loop)
            m_loop->quit();
    }

private:
    QEventLoop* m_loop = nullptr;
    bool m_cancelled = false;
};

struct DnsScript
{
    IDnsResolver::MxLists answer;
    std::function<IDnsResolver::MxLists(const QString&)> answerFor; // overrides `answer`
    QString error;       // non-empty: the query fails with this description
    bool silent = false; // the query waits for its time-out
    std::function<void()> duringQuery;

    // What the procedure handed over.
    QStringList queries;
    QString server;
    int port = -1;
    int timeout = -1;
};

class ScriptedDns final : public IDnsResolver
{
public:
    explicit ScriptedDns(std::shared_ptr<DnsScript> script) : m_script(std::move(script)) {}

    void setTimeout(int ms) override { m_script->timeout = ms; }
    void setServer(const QString& server) override { m_script->server = server; }
    void setPort(int port) override { m_script->port = port; }

    MxLists queryMx(const QString& address) override
    {
        m_script->queries.append(address);
        if (m_script->duringQuery)
            m_script->duringQuery();
        if (m_script->silent) {
            if (m_wait.run(m_script->timeout))
                throw ComponentException(1, QStringLiteral("The look-up was cancelled"));
            throw ComponentException(2, QStringLiteral("The DNS server did not answer in time"));
        }
        if (!m_script->error.isEmpty())
            throw ComponentException(3, m_script->error);
        return m_script->answerFor ? m_script->answerFor(address) : m_script->answer;
    }
    QList<QHostAddress> resolveHost(const QString&) override { return {}; }
    void cancel() override { m_wait.cancel(); }

private:
    std::shared_ptr<DnsScript> m_script;
    Wait m_wait;
};

struct SmtpHost
{
    QString refusal;       // non-empty: connecting fails with this description
    bool silent = false;   // the greeting never comes
    QString standingError; // non-empty: connecting raises this, yet the connection stands
};

struct SmtpScript
{
    QHash<QString, SmtpHost> hosts; // unknown hosts accept
    QStringList replies;            // reply to each command in turn
    int dropAtCommand = -1;         // 0-based command whose reply never comes
    bool logoutFails = false;
    int replyDelayMs = 0; // each reply (greeting, hello, commands, QUIT) takes this long
    std::function<void(const QString&)> duringConnect;
    std::function<void(const QString&)> duringCommand;

    QStringList connects;
    QStringList commands;
    int logouts = 0;
    int aborts = 0;
    int timeout = -1;
    int activeCalls = 0; // operations in progress at once (nesting shows here)
    int maxActiveCalls = 0;
};

class ScriptedSmtp final : public ISmtpClient
{
public:
    explicit ScriptedSmtp(std::shared_ptr<SmtpScript> script) : m_script(std::move(script)) {}

    void setTimeout(int ms) override { m_script->timeout = ms; }
    int timeout() const override { return m_script->timeout; }
    State state() const override { return m_state; }
    QString helloName() const override { return m_hello; }
    void setHelloName(const QString& name) override { m_hello = name; }

    void connectAndGreet(const QString& host) override
    {
        Active active(*m_script);
        m_script->connects.append(host);
        // Replies are scripted per conversation: an object reused for the
        // next address starts again at the first one.
        m_firstCommand = int(m_script->commands.size());
        if (m_script->duringConnect)
            m_script->duringConnect(host);
        delay(2); // the greeting and the answer to the introduction
        const SmtpHost how = m_script->hosts.value(host);
        if (how.silent) {
            m_state = NotReady;
            waitOrFail(QStringLiteral("The mail server did not greet in time"));
        }
        if (!how.refusal.isEmpty()) {
            m_state = Disconnected;
            throw ComponentException(10061, how.refusal);
        }
        m_state = Ready;
        if (!how.standingError.isEmpty())
            throw ComponentException(1, how.standingError);
    }

    QString sendCommand(const QString& line) override
    {
        Active active(*m_script);
        const int index = int(m_script->commands.size()) - m_firstCommand;
        m_script->commands.append(line);
        if (m_script->duringCommand)
            m_script->duringCommand(line);
        delay(1);
        if (index == m_script->dropAtCommand) {
            m_state = Disconnected;
            throw ComponentException(10054, QStringLiteral("The connection was dropped"));
        }
        return m_script->replies.value(index);
    }

    void logout() override
    {
        ++m_script->logouts;
        delay(1);
        if (m_script->logoutFails)
            throw ComponentException(10053, QStringLiteral("QUIT went unanswered"));
        m_state = Disconnected;
    }

    void abort() override
    {
        ++m_script->aborts;
        m_state = Disconnected;
        m_wait.cancel();
    }

private:
    struct Active
    {
        explicit Active(SmtpScript& s) : script(s)
        {
            script.maxActiveCalls = std::max(script.maxActiveCalls, ++script.activeCalls);
        }
        ~Active() { --script.activeCalls; }
        SmtpScript& script;
    };

    void delay(int replies)
    {
        if (m_script->replyDelayMs > 0)
            m_wait.run(m_script->replyDelayMs * replies);
    }

    void waitOrFail(const QString& timeoutText)
    {
        const bool cancelled = m_wait.run(m_script->timeout);
        m_state = Disconnected;
        throw ComponentException(cancelled ? 1 : 10060,
                                 cancelled ? QStringLiteral("The connection was aborted")
                                           : timeoutText);
    }

    std::shared_ptr<SmtpScript> m_script;
    State m_state = Disconnected;
    QString m_hello = QStringLiteral("verifier.test");
    int m_firstCommand = 0; // index in the script of this conversation's first command
    Wait m_wait;
};

// A factory whose components follow the given scripts.
inline ComponentFactory scriptedFactory(std::shared_ptr<DnsScript> dns,
                                        std::shared_ptr<SmtpScript> smtp)
{
    return ComponentFactory{
        [dns] { return std::unique_ptr<IDnsResolver>(new ScriptedDns(dns)); },
        [smtp](IDnsResolver&) { return std::unique_ptr<ISmtpClient>(new ScriptedSmtp(smtp)); },
    };
}

// A factory whose every object gets its own copy of the scripts, so objects
// on different threads share nothing.
inline ComponentFactory copyingFactory(const DnsScript& dns, const SmtpScript& smtp)
{
    return ComponentFactory{
        [dns] {
            return std::unique_ptr<IDnsResolver>(new ScriptedDns(std::make_shared<DnsScript>(dns)));
        },
        [smtp](IDnsResolver&) {
            return std::unique_ptr<ISmtpClient>(
                new ScriptedSmtp(std::make_shared<SmtpScript>(smtp)));
        },
    };
}

} // namespace corvanta::testing
