#include "checkbatch.h"

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

QByteArray textLine(const QString& address, const CheckOutcome& outcome)
{
    return (QString::number(outcome.result) + u'\t' + escapeField(address) + u'\t' +
            escapeField(outcome.message) + u'\t' + escapeField(outcome.rcptReply))
        .toUtf8();
}

QByteArray jsonLine(const QString& address, const CheckOutcome& outcome)
{
    return "{\"address\":" + jsonString(address) +
           ",\"result\":" + QByteArray::number(outcome.result) +
           ",\"message\":" + jsonString(outcome.message) +
           ",\"from_reply\":" + jsonString(outcome.fromReply) +
           ",\"rcpt_reply\":" + jsonString(outcome.rcptReply) +
           ",\"smtp_replies\":" + jsonString(outcome.smtpReplies) + "}";
}

} // namespace

CheckBatch::CheckBatch(QStringList addresses, bool json, QIODevice& out, QIODevice& err,
                       std::function<void()> completed)
    : m_addresses(std::move(addresses)), m_json(json), m_out(out), m_err(err),
      m_completed(std::move(completed))
{}

void CheckBatch::progress(qsizetype index, qint32 method, const QString& description)
{
    const QString line = escapeField(m_addresses.at(index)) + u'\t' + QString::number(method) +
                         u'\t' + escapeField(description) + u'\n';
    m_err.write(line.toUtf8());
}

void CheckBatch::fail(qsizetype index, const QString& why)
{
    CheckOutcome outcome;
    outcome.failure = why;
    finish(index, outcome);
}

void CheckBatch::finish(qsizetype index, const CheckOutcome& outcome)
{
    if (complete())
        return;
    m_waiting.emplace(index, outcome);
    for (auto it = m_waiting.find(m_nextToWrite); it != m_waiting.end();
         it = m_waiting.find(m_nextToWrite)) {
        const QString& address = m_addresses.at(m_nextToWrite);
        if (it->second.checked) {
            m_out.write((m_json ? jsonLine(address, it->second) : textLine(address, it->second)) +
                        '\n');
        } else {
            m_allChecked = false;
            m_err.write(QStringLiteral("sondrix check: %1 was not checked: %2\n")
                            .arg(address, it->second.failure)
                            .toUtf8());
        }
        m_waiting.erase(it);
        ++m_nextToWrite;
    }
    if (complete() && m_completed)
        m_completed();
}

} // namespace corvanta
