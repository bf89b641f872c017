#include "remotecheck.h"

#include "brokerpaths.h"
#include "checkoptions.h"
#include "checkrunner.h"
#include "remoteverify.h"
#include "systemdns.h"

#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <map>
#include <memory>

namespace corvanta {
namespace {

const QString RemoteFlag = QStringLiteral("--remote");

QStringList readAddresses(QIODevice& in)
{
    QStringList addresses;
    while (!in.atEnd()) {
        QByteArray line = in.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            addresses.append(QString::fromUtf8(line));
    }
    return addresses;
}

// Hands the addresses to a pool of remote objects and writes each outcome in
// input order. Everything runs on this thread; it sleeps in its event loop
// between pushes and events.
class RemoteCheck final : public QObject
{
public:
    RemoteCheck(CheckOptions options, QStringList addresses, QIODevice* out, QIODevice* err)
        : m_options(std::move(options)), m_addresses(std::move(addresses)), m_out(out), m_err(err)
    {}

    int run()
    {
        const int poolSize = int(qMin<qsizetype>(m_options.jobs, m_addresses.size()));
        for (int i = 0; i < poolSize && m_next < m_addresses.size(); ++i)
            startSlot();
        while (m_written < m_addresses.size())
            m_loop.exec();
        return m_allChecked ? 0 : 1;
    }

private:
    struct Slot
    {
        std::unique_ptr<RemoteVerify> verify;
        qsizetype index = -1;
    };

    void startSlot()
    {
        auto slot = std::make_shared<Slot>();
        const qsizetype index = m_next++;
        try {
            slot->verify = std::make_unique<RemoteVerify>();
            RemoteVerify& v = *slot->verify;
            if (m_options.dnsServer)
                v.AddDnsServer(*m_options.dnsServer);
            if (m_options.dnsPort)
                v.setDnsServerPort(*m_options.dnsPort);
            if (m_options.fromAddress)
                v.setFromAddress(*m_options.fromAddress);
            if (m_options.helloName)
                v.setHelloName(*m_options.helloName);
            if (m_options.dnsTimeoutMs)
                v.setDnsTimeout(*m_options.dnsTimeoutMs);
            if (m_options.smtpTimeoutMs)
                v.setSmtpTimeout(*m_options.smtpTimeoutMs);
            v.setEventsEnabled(m_options.progress);
        } catch (const BrokerException& e) {
            fail(index, e.error().description);
            // A server that cannot be reached for one object will not serve
            // the rest either: report them all rather than retry each.
            while (m_next < m_addresses.size())
                fail(m_next++, e.error().description);
            return;
        }
        RemoteVerify* v = slot->verify.get();
        if (m_options.progress) {
            // With events on, the end is FinishedEvent: it comes after the
            // last progress line, so no line is put under the next address.
            connect(v, &RemoteVerify::ProgressEvent, this,
                    [this, slot](qint32 method, const QString& text) {
                        progress(slot->index, method, text);
                    });
            connect(v, &RemoteVerify::FinishedEvent, this, [this, slot] { finished(slot); });
        } else {
            connect(v, &RemoteVerify::stateChanged, this, [this, slot](qint32 status, bool) {
                if (status == StatusFinishedValue && slot->index >= 0)
                    finished(slot);
            });
        }
        connect(v, &RemoteVerify::connectionLost, this, [this, slot] {
            if (slot->index >= 0)
                fail(std::exchange(slot->index, -1),
                     QStringLiteral("The verification server is no longer available"));
            retire(slot);
        });
        m_slots.push_back(slot);
        assign(slot, index);
    }

    void assign(const std::shared_ptr<Slot>& slot, qsizetype index)
    {
        slot->index = index;
        try {
            slot->verify->setAddress(m_addresses.at(index));
            slot->verify->Verify();
        } catch (const BrokerException& e) {
            slot->index = -1;
            fail(index, e.error().description);
            retire(slot);
        }
    }

    void finished(const std::shared_ptr<Slot>& slot)
    {
        const qsizetype index = std::exchange(slot->index, -1);
        if (index < 0)
            return;
        CheckOutcome outcome;
        try {
            RemoteVerify& v = *slot->verify;
            outcome.result = v.Result();
            outcome.message = v.GetMessage();
            outcome.fromReply = v.FromReply();
            outcome.rcptReply = v.RecptReply();
            outcome.smtpReplies = v.SmtpReplies();
            outcome.checked = true;
            v.Reset();
        } catch (const BrokerException& e) {
            fail(index, e.error().description);
            retire(slot);
            return;
        }
        done(index, outcome);
        if (m_next < m_addresses.size())
            assign(slot, m_next++);
    }

    void fail(qsizetype index, const QString& why)
    {
        CheckOutcome outcome;
        outcome.failure = why;
        done(index, outcome);
    }

    // A slot whose server went away is dropped (later, outside its own
    // signal); its place is taken by a fresh object while addresses remain.
    void retire(const std::shared_ptr<Slot>& slot)
    {
        QMetaObject::invokeMethod(
            this,
            [this, slot] {
                std::erase(m_slots, slot);
                if (slot->verify) {
                    slot->verify->disconnect(this);
                    slot->verify.release()->deleteLater();
                }
                if (m_next < m_addresses.size())
                    startSlot();
            },
            Qt::QueuedConnection);
    }

    void progress(qsizetype index, qint32 method, const QString& text)
    {
        if (index < 0)
            return;
        m_err->write(
            (m_addresses.at(index) + u'\t' + QString::number(method) + u'\t' + text + u'\n')
                .toUtf8());
    }

    void done(qsizetype index, const CheckOutcome& outcome)
    {
        m_waiting.emplace(index, outcome);
        for (auto it = m_waiting.find(m_written); it != m_waiting.end();
             it = m_waiting.find(m_written)) {
            const QString& address = m_addresses.at(m_written);
            if (it->second.checked) {
                m_out->write((m_options.json ? CheckRunner::jsonLine(address, it->second)
                                             : CheckRunner::textLine(address, it->second)) +
                             '\n');
            } else {
                m_allChecked = false;
                m_err->write(QStringLiteral("sondrix check: %1 was not checked: %2\n")
                                 .arg(address, it->second.failure)
                                 .toUtf8());
            }
            m_waiting.erase(it);
            ++m_written;
        }
        if (m_written == m_addresses.size())
            m_loop.quit();
    }

    static constexpr qint32 StatusFinishedValue = 3;

    CheckOptions m_options;
    QStringList m_addresses;
    QIODevice* m_out;
    QIODevice* m_err;
    std::vector<std::shared_ptr<Slot>> m_slots;
    std::map<qsizetype, CheckOutcome> m_waiting;
    qsizetype m_next = 0;
    qsizetype m_written = 0;
    bool m_allChecked = true;
    QEventLoop m_loop;
};

} // namespace

bool wantsRemoteCheck(const QStringList& arguments)
{
    return arguments.contains(RemoteFlag);
}

int runRemoteCheckCommand(const QStringList& arguments, QIODevice& in, QIODevice& out,
                          QIODevice& err)
{
    QStringList rest = arguments;
    rest.removeAll(RemoteFlag);
    QString error;
    std::optional<CheckOptions> options = parseCheckArguments(rest, error);
    if (!options) {
        err.write(
            QStringLiteral("sondrix check: %1\nTry 'sondrix check --help'.\n").arg(error).toUtf8());
        return 2;
    }
    if (options->help) {
        out.write(checkUsage().toUtf8());
        return 0;
    }
    if (!options->dnsServer) {
        const QStringList system = systemDnsServers();
        if (!system.isEmpty())
            options->dnsServer = system.first();
    }
    QStringList addresses = options->readStdin ? readAddresses(in) : options->addresses;
    if (addresses.isEmpty())
        return 0;
    raiseOpenFileLimit();
    RemoteCheck check(*options, std::move(addresses), &out, &err);
    return check.run();
}

int runRemoteCheckCommand(const QStringList& arguments)
{
    QFile in;
    QFile out;
    QFile err;
    in.open(stdin, QIODevice::ReadOnly);
    out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return runRemoteCheckCommand(arguments, in, out, err);
}

} // namespace corvanta
