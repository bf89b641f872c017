#pragma once

#include <QHash>
#include <QString>
#include <deque>
#include <optional>
#include <vector>

namespace corvanta {

// The accept-all probe's bookkeeping for one run. Some domains answer 250
// for any address; a "valid" address there means little. Once per domain,
// after the first address of it was accepted, the run checks a made-up
// address of the domain in a session of its own (never in the same session
// as a real address: some servers refuse a second recipient). Until that
// probe ends, the accepted addresses of the domain are held; then they are
// released with the domain's answer, which holds for the rest of the run.
// A domain none of whose addresses was accepted is never probed.
//
// The caller names each held address by a number of its own (a report row,
// an index in its input). Threads: use it from one thread.
class AcceptAllProbes final
{
public:
    enum class Answer
    {
        Selective,  // the domain refused a made-up address: keep the verdict
        AcceptsAll, // the domain accepts any address
        Held,       // wait for probeEnded() of the domain
    };

    // An address the server accepted. Starts the domain's probe when it is
    // the domain's first (nextProbe() then offers it).
    Answer accepted(QStringView address, qsizetype item);
    // The next probe to check, at most one per domain; none when no probe
    // waits to be handed out.
    std::optional<QString> nextProbe();
    // A probe handed out by nextProbe() ended; `accepted` when the server
    // accepted the made-up address. A probe that could not be made or broke
    // off counts as refused: nothing is held back for ever. Returns the
    // items held for its domain, in the order they came.
    std::vector<qsizetype> probeEnded(QStringView probeAddress, bool accepted);

    // Probes that were started and have not ended.
    bool outstanding() const { return m_outstanding > 0; }
    // Probes started since the last clear(): one per domain.
    int probeCount() const { return m_started; }
    // Forgets every domain (a new run).
    void clear();

    // The domain of an address in lower case: what follows its last '@'.
    static QString domainOf(QStringView address);
    // A made-up address at `domain`: 20 random lower-case letters and digits.
    static QString madeUpAddress(const QString& domain);

private:
    enum class State
    {
        Probing,
        AcceptsAll,
        Selective,
    };
    struct Domain
    {
        State state = State::Probing;
        std::vector<qsizetype> held;
    };

    QHash<QString, Domain> m_domains;
    std::deque<QString> m_toSend;
    int m_outstanding = 0;
    int m_started = 0;
};

} // namespace corvanta
