#include "checkrunner.h"

#include "apartment.h"
#include "clsverify.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>

namespace corvanta {
namespace {

// Keeps one address per line: replies may span lines and hold tabs.
QString escapeField(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QByteArray jsonString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2); // strip the brackets
}

} // namespace

CheckRunner::CheckRunner(CheckOptions options, ComponentFactory factory, QStringList addresses,
                         QIODevice* out, QIODevice* err, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_factory(std::move(factory)),
      m_addresses(std::move(addresses)), m_out(out), m_err(err)
{}

CheckRunner::~CheckRunner() = default;

void CheckRunner::start()
{
    launchMore();
    writeReady();
}

void CheckRunner::launchMore()
{
    while (qsizetype(m_running.size()) < m_options.jobs && m_nextToLaunch < m_addresses.size())
        launch(m_nextToLaunch++);
}

void CheckRunner::launch(qsizetype index)
{
    auto apartment = std::make_unique<Apartment>(m_factory);
    try {
        apartment->open();
    } catch (const std::exception& e) {
        CheckOutcome failed;
        failed.failure = QString::fromLocal8Bit(e.what());
        m_waiting.emplace(index, failed);
        return;
    }
    const QString address = m_addresses.at(index);
    const CheckOptions& o = m_options;
    apartment->call([&, index](clsVerify& v) {
        if (o.dnsServer)
            v.AddDnsServer(*o.dnsServer);
        if (o.dnsPort)
            v.setDnsServerPort(*o.dnsPort);
        if (o.fromAddress)
            v.setFromAddress(*o.fromAddress);
        if (o.helloName)
            v.setHelloName(*o.helloName);
        if (o.dnsTimeoutMs)
            v.setDnsTimeout(*o.dnsTimeoutMs);
        if (o.smtpTimeoutMs)
            v.setSmtpTimeout(*o.smtpTimeoutMs);
        v.setEventsEnabled(o.progress);
        v.setAddress(address);
        // Both run on the object's thread and hand over to this one queued.
        if (o.progress) {
            connect(&v, &clsVerify::ProgressEvent, &v,
                    [this, index](qint32 method, const QString& description) {
                        QMetaObject::invokeMethod(
                            this, [=, this] { progress(index, method, description); },
                            Qt::QueuedConnection);
                    });
        }
        connect(&v, &clsVerify::procedureEnded, &v, [this, index, &v] {
            CheckOutcome done;
            done.checked = true;
            done.result = v.Result();
            done.message = v.GetMessage();
            done.fromReply = v.FromReply();
            done.rcptReply = v.RecptReply();
            done.smtpReplies = v.SmtpReplies();
            QMetaObject::invokeMethod(
                this, [=, this] { collect(index, done); }, Qt::QueuedConnection);
        });
        v.Verify();
    });
    m_running.emplace(index, std::move(apartment));
}

void CheckRunner::collect(qsizetype index, const CheckOutcome& outcome)
{
    m_running.erase(index); // joins the apartment's thread; its work is done
    m_waiting.emplace(index, outcome);
    launchMore();
    writeReady();
}

void CheckRunner::progress(qsizetype index, qint32 method, const QString& description)
{
    const QString line = escapeField(m_addresses.at(index)) + u'\t' + QString::number(method) +
                         u'\t' + escapeField(description) + u'\n';
    m_err->write(line.toUtf8());
}

void CheckRunner::writeReady()
{
    for (auto it = m_waiting.find(m_nextToWrite); it != m_waiting.end();
         it = m_waiting.find(m_nextToWrite)) {
        const QString& address = m_addresses.at(m_nextToWrite);
        if (it->second.checked) {
            m_out->write(
                (m_options.json ? jsonLine(address, it->second) : textLine(address, it->second)) +
                '\n');
        } else {
            m_allChecked = false;
            m_err->write(QStringLiteral("sondrix check: %1 was not checked: %2\n")
                             .arg(address, it->second.failure)
                             .toUtf8());
        }
        m_waiting.erase(it);
        ++m_nextToWrite;
    }
    if (!m_finished && m_nextToWrite == m_addresses.size()) {
        m_finished = true;
        emit finished(m_allChecked ? 0 : 1);
    }
}

QByteArray CheckRunner::textLine(const QString& address, const CheckOutcome& outcome)
{
    return (QString::number(outcome.result) + u'\t' + escapeField(address) + u'\t' +
            escapeField(outcome.message) + u'\t' + escapeField(outcome.rcptReply))
        .toUtf8();
}

QByteArray CheckRunner::jsonLine(const QString& address, const CheckOutcome& outcome)
{
    return "{\"address\":" + jsonString(address) +
           ",\"result\":" + QByteArray::number(outcome.result) +
           ",\"message\":" + jsonString(outcome.message) +
           ",\"from_reply\":" + jsonString(outcome.fromReply) +
           ",\"rcpt_reply\":" + jsonString(outcome.rcptReply) +
           ",\"smtp_replies\":" + jsonString(outcome.smtpReplies) + "}";
}

} // namespace corvanta
