#pragma once

#include "acceptall.h"
#include "runcontext.h"

#include <optional>

namespace corvanta {

class IVerifier;

// The verdicts of a run whose window reads reply codes (the setting
// ReadReplyCodes): judges each collected outcome from the verifier's replies,
// writes the verdict into the row, and, with ProbeAcceptAll, keeps the run's
// accept-all probes: one made-up address per domain with an accepted
// address, which the run hands to a free verifier like any address but
// which is no row and counts in no statistic. Off, it does nothing and the
// run is exactly the one without verdicts.
//
// GUI thread only; the context must outlive it.
class RunVerdicts final
{
public:
    explicit RunVerdicts(RunContext& ctx) : m_ctx(ctx) {}

    // A new run: forgets every domain's answer.
    void beginRun();
    // The outcome of `row` was just stored; reads the replies from the
    // verifier that produced it (before its reset).
    void collected(qsizetype row, IVerifier& verifier);

    // True when a probe waits for a verifier.
    bool probeWaiting() const { return m_waiting.has_value(); }
    // Takes the waiting probe's address.
    QString takeProbe();
    // A probe ended with the outcome code, or without one (it could not be
    // started, or its verifier went away).
    void probeEnded(const QString& probe, std::optional<qint32> code);
    // Probes taken or waiting whose answer has not come.
    bool probesOutstanding() const { return m_probes.outstanding(); }
    // Probes of this run.
    int probeCount() const { return m_probes.probeCount(); }

private:
    bool probing() const;
    void queueNextProbe();

    RunContext& m_ctx;
    AcceptAllProbes m_probes;
    std::optional<QString> m_waiting;
};

} // namespace corvanta
