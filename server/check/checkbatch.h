#pragma once

#include "acceptall.h"
#include "verdict.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

class QIODevice;

namespace corvanta {

// What one address came to.
struct CheckOutcome
{
    bool checked = false; // false: no verification object could check it
    QString failure;      // why, when not checked
    qint32 result = 0;
    QString message;
    QString fromReply;
    QString rcptReply;
    QString smtpReplies;
    Judgement judgement; // filled in by the batch from the fields above
};

// The outcome a finished verification object holds. Works with the local
// object and with its broker proxy alike (the proxy's getters may throw).
template <class Verifier> CheckOutcome outcomeOf(Verifier& v)
{
    CheckOutcome outcome;
    outcome.result = qint32(v.Result());
    outcome.message = v.GetMessage();
    outcome.fromReply = v.FromReply();
    outcome.rcptReply = v.RecptReply();
    outcome.smtpReplies = v.SmtpReplies();
    outcome.checked = true;
    return outcome;
}

// The addresses of one `sondrix check` run and everything it writes: hands
// the addresses out in input order, takes their outcomes in any order, and
// writes one result line per address in input order (text or JSON) to `out`,
// progress lines and the addresses that could not be checked to `err`.
// However the objects are made and driven, the output is this one.
//
// With the accept-all probe on, the first accepted address of each domain
// adds a probe of a made-up address of that domain to the addresses handed
// out (before the rest, so the held lines go out soon); the lines of the
// domain's accepted addresses wait for its answer. Probes print no line and
// their failures fail nothing.
//
// Threads: use it from one thread; the devices are written from it only.
class CheckBatch final
{
public:
    // `completed` runs once, right after the last line was written.
    CheckBatch(QStringList addresses, bool json, QIODevice& out, QIODevice& err,
               std::function<void()> completed = {}, bool acceptAll = false);

    // The addresses given; probes come on top.
    qsizetype size() const { return m_addresses.size(); }
    // The address, or the made-up one of a probe.
    const QString& address(qsizetype index) const;

    bool hasNext() const
    {
        skipSettled();
        return m_nextProbe < m_probeAddresses.size() || m_nextToHand < m_addresses.size();
    }
    // The index of the next address to check; only while hasNext().
    qsizetype takeNext();
    // The next probe to check, if one waits; for drivers that order the
    // given addresses themselves.
    std::optional<qsizetype> takeProbe()
    {
        if (m_nextProbe >= m_probeAddresses.size())
            return std::nullopt;
        return m_addresses.size() + m_nextProbe++;
    }
    // Address `index` already has an outcome from an earlier run: it is
    // written in its turn and never handed out. Before the first takeNext().
    void settle(qsizetype index, const CheckOutcome& outcome);
    // Whether address `index` was settled: a driver that orders the
    // addresses itself passes it over.
    bool settled(qsizetype index) const
    {
        return index >= 0 && index < qsizetype(m_settled.size()) && m_settled[size_t(index)];
    }
    // Called with each outcome of a check (not with settled ones, nor probes).
    void setRecorder(std::function<void(qsizetype index, const CheckOutcome& outcome)> recorder)
    {
        m_recorder = std::move(recorder);
    }

    // Writes each result line with `format` instead of the text or JSON
    // line; set before the first outcome.
    using LineFormat = std::function<QByteArray(qsizetype index, const CheckOutcome& outcome)>;
    void setLineFormat(LineFormat format) { m_format = std::move(format); }

    // One step of the verification of address `index`, on `err`.
    void progress(qsizetype index, qint32 method, const QString& description);
    // Address `index` is done; writes every line that is now due. Each index
    // is finished once. Finishing may add a probe: a driver asks hasNext()
    // again afterwards.
    void finish(qsizetype index, const CheckOutcome& outcome);
    void fail(qsizetype index, const QString& why);

    bool complete() const { return m_nextToWrite == m_addresses.size(); }
    // 0 when every address was checked, 1 otherwise.
    int exitCode() const { return m_allChecked ? 0 : 1; }

private:
    bool isProbe(qsizetype index) const { return index >= m_addresses.size(); }
    void finishProbe(qsizetype index, const CheckOutcome& outcome);
    void writeDue();

    QStringList m_addresses;
    bool m_json;
    QIODevice& m_out;
    QIODevice& m_err;
    std::function<void()> m_completed;
    LineFormat m_format;
    std::function<void(qsizetype, const CheckOutcome&)> m_recorder;
    std::vector<bool> m_settled; // empty unless something was settled
    void skipSettled() const
    {
        while (m_nextToHand < qsizetype(m_settled.size()) && m_settled[size_t(m_nextToHand)])
            ++m_nextToHand;
    }
    std::map<qsizetype, CheckOutcome> m_waiting; // done, but an earlier one is not
    std::set<qsizetype> m_held;                  // done, but their domain's probe is not
    bool m_acceptAll;
    AcceptAllProbes m_probes;
    QStringList m_probeAddresses; // index size() + i is probe i
    qsizetype m_nextProbe = 0;
    mutable qsizetype m_nextToHand = 0;
    qsizetype m_nextToWrite = 0;
    bool m_allChecked = true;
};

} // namespace corvanta
