#include "runverdicts.h"

#include "iverifier.h"
#include "verdict.h"

#include <exception>

namespace corvanta {

void RunVerdicts::beginRun()
{
    m_probes.clear();
    m_waiting.reset();
}

bool RunVerdicts::probing() const
{
    return m_ctx.settings.ReadReplyCodes && m_ctx.settings.ProbeAcceptAll;
}

void RunVerdicts::collected(qsizetype row, IVerifier& verifier)
{
    if (!m_ctx.settings.ReadReplyCodes)
        return;
    const std::optional<qint32> code = m_ctx.report.storedCode(row);
    if (!code)
        return;
    // Each read is a call into the server, so only the text that decides
    // this outcome is read; an unreadable one counts as empty, which judges
    // no mailbox worse than the code alone does.
    const auto text = [&verifier](QString (IVerifier::*read)()) {
        try {
            return (verifier.*read)();
        } catch (const std::exception&) {
            return QString();
        }
    };
    QString rcptReply;
    QString fromReply;
    QString message;
    switch (decidingText(*code)) {
    case DecidingText::RcptReply:
        rcptReply = text(&IVerifier::RecptReply);
        break;
    case DecidingText::FromReply:
        fromReply = text(&IVerifier::FromReply);
        break;
    case DecidingText::Message:
        message = text(&IVerifier::GetMessage);
        break;
    case DecidingText::None:
        break;
    }
    Judgement judgement = judge({*code, fromReply, rcptReply, message});
    if (probing() && *code == 0) {
        const QString address = QString::fromLocal8Bit(m_ctx.report.address(row));
        if (m_probes.accepted(address, row) == AcceptAllProbes::Answer::AcceptsAll)
            judgement = withAcceptAll(judgement);
        queueNextProbe();
    }
    m_ctx.report.setVerdict(row, judgement);
}

void RunVerdicts::queueNextProbe()
{
    if (!m_waiting)
        m_waiting = m_probes.nextProbe();
}

QString RunVerdicts::takeProbe()
{
    QString probe = m_waiting.value_or(QString());
    m_waiting.reset();
    queueNextProbe();
    return probe;
}

void RunVerdicts::probeEnded(const QString& probe, std::optional<qint32> code)
{
    const bool acceptsAll = code == 0;
    for (const qsizetype row : m_probes.probeEnded(probe, acceptsAll)) {
        if (!acceptsAll)
            continue;
        if (const std::optional<Judgement> held = m_ctx.report.verdict(row))
            m_ctx.report.setVerdict(row, withAcceptAll(*held));
    }
}

} // namespace corvanta
