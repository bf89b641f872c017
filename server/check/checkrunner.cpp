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
    // The object is made and started on its own thread: this thread only
    // starts threads and collects results, so creations run side by side.
    auto apartment = std::make_unique<Apartment>(m_factory);
    const QString address = m_addresses.at(index);
    const CheckOptions options = m_options;
    const auto ready = [this, index, address, options](clsVerify& v) {
        if (options.dnsServer)
            v.AddDnsServer(*options.dnsServer);
        if (options.dnsPort)
            v.setDnsServerPort(*options.dnsPort);
        if (options.fromAddress)
            v.setFromAddress(*options.fromAddress);
        if (options.helloName)
            v.setHelloName(*options.helloName);
        if (options.dnsTimeoutMs)
            v.setDnsTimeout(*options.dnsTimeoutMs);
        if (options.smtpTimeoutMs)
            v.setSmtpTimeout(*options.smtpTimeoutMs);
        v.setEventsEnabled(options.progress);
        v.setAddress(address);
        // Both run on the object's thread and hand over to this one queued.
        if (options.progress) {
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
    };
    const auto failed = [this, index](std::exception_ptr error) {
        CheckOutcome outcome;
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            outcome.failure = QString::fromLocal8Bit(e.what());
        } catch (...) {
            outcome.failure = QStringLiteral("unknown error");
        }
        QMetaObject::invokeMethod(
            this, [=, this] { collect(index, outcome); }, Qt::QueuedConnection);
    };
    apartment->openAsync(ready, failed);
    m_running.emplace(index, std::move(apartment));
}

void CheckRunner::collect(qsizetype index, const CheckOutcome& outcome)
{
    const auto it = m_running.find(index);
    if (it != m_running.end()) {
        retire(std::move(it->second));
        m_running.erase(it);
    }
    m_waiting.emplace(index, outcome);
    launchMore();
    writeReady();
}

void CheckRunner::retire(std::unique_ptr<Apartment> apartment)
{
    // Closing joins a thread; let it end on its own and forget it then,
    // rather than wait here while other results queue up.
    Apartment* raw = apartment.get();
    connect(raw, &QThread::finished, this, [this, raw] { m_closing.erase(raw); });
    raw->requestClose();
    m_closing.emplace(raw, std::move(apartment));
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
