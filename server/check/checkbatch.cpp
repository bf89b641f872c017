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
               .toUtf8() +
           '\t' + verdictKeyword(outcome.judgement.verdict) + '\t' +
           reasonKeyword(outcome.judgement.reason);
}

QByteArray jsonLine(const QString& address, const CheckOutcome& outcome)
{
    return "{\"address\":" + jsonString(address) +
           ",\"result\":" + QByteArray::number(outcome.result) +
           ",\"message\":" + jsonString(outcome.message) +
           ",\"from_reply\":" + jsonString(outcome.fromReply) +
           ",\"rcpt_reply\":" + jsonString(outcome.rcptReply) +
           ",\"smtp_replies\":" + jsonString(outcome.smtpReplies) + ",\"verdict\":\"" +
           verdictKeyword(outcome.judgement.verdict) + "\",\"reason\":\"" +
           reasonKeyword(outcome.judgement.reason) + "\"}";
}

} // namespace

CheckBatch::CheckBatch(QStringList addresses, bool json, QIODevice& out, QIODevice& err,
                       std::function<void()> completed, bool acceptAll)
    : m_addresses(std::move(addresses)), m_json(json), m_out(out), m_err(err),
      m_completed(std::move(completed)), m_acceptAll(acceptAll)
{}

const QString& CheckBatch::address(qsizetype index) const
{
    return isProbe(index) ? m_probeAddresses.at(index - m_addresses.size()) : m_addresses.at(index);
}

qsizetype CheckBatch::takeNext()
{
    if (m_nextProbe < m_probeAddresses.size())
        return m_addresses.size() + m_nextProbe++;
    skipSettled();
    return m_nextToHand++;
}

void CheckBatch::progress(qsizetype index, qint32 method, const QString& description)
{
    const QString line = escapeField(address(index)) + u'\t' + QString::number(method) + u'\t' +
                         escapeField(description) + u'\n';
    m_err.write(line.toUtf8());
}

void CheckBatch::fail(qsizetype index, const QString& why)
{
    CheckOutcome outcome;
    outcome.failure = why;
    finish(index, outcome);
}

void CheckBatch::settle(qsizetype index, const CheckOutcome& outcome)
{
    if (index < 0 || index >= m_addresses.size())
        return;
    if (m_settled.empty())
        m_settled.resize(size_t(m_addresses.size()), false);
    m_settled[size_t(index)] = true;
    const auto recorder = std::exchange(m_recorder, {});
    finish(index, outcome);
    m_recorder = recorder;
}

void CheckBatch::finish(qsizetype index, const CheckOutcome& outcome)
{
    if (complete())
        return;
    if (isProbe(index)) {
        finishProbe(index, outcome);
        return;
    }
    if (m_recorder && outcome.checked)
        m_recorder(index, outcome);
    CheckOutcome& done = m_waiting.insert_or_assign(index, outcome).first->second;
    if (done.checked) {
        done.judgement = judge({done.result, done.fromReply, done.rcptReply, done.message});
        if (m_acceptAll && done.result == 0) {
            switch (m_probes.accepted(m_addresses.at(index), index)) {
            case AcceptAllProbes::Answer::AcceptsAll:
                done.judgement = withAcceptAll(done.judgement);
                break;
            case AcceptAllProbes::Answer::Held:
                m_held.insert(index);
                while (const std::optional<QString> probe = m_probes.nextProbe())
                    m_probeAddresses.append(*probe);
                break;
            case AcceptAllProbes::Answer::Selective:
                break;
            }
        }
    }
    writeDue();
}

void CheckBatch::finishProbe(qsizetype index, const CheckOutcome& outcome)
{
    const bool acceptsAll = outcome.checked && outcome.result == 0;
    for (const qsizetype held : m_probes.probeEnded(address(index), acceptsAll)) {
        m_held.erase(held);
        if (acceptsAll) {
            CheckOutcome& waiting = m_waiting.at(held);
            waiting.judgement = withAcceptAll(waiting.judgement);
        }
    }
    writeDue();
}

void CheckBatch::writeDue()
{
    for (auto it = m_waiting.find(m_nextToWrite);
         it != m_waiting.end() && !m_held.contains(m_nextToWrite);
         it = m_waiting.find(m_nextToWrite)) {
        const QString& address = m_addresses.at(m_nextToWrite);
        if (it->second.checked) {
            m_out.write((m_format ? m_format(m_nextToWrite, it->second)
                         : m_json ? jsonLine(address, it->second)
                                  : textLine(address, it->second)) +
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
