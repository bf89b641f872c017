// The verdicts' two figures:
//  1. what the classifier costs per reply: 10,000 replies made from the
//     real-world table of its test, judged in 101 rounds; prints the median,
//     the fastest and the slowest round per reply;
//  2. how many probes the accept-all check adds: the run over 10,000
//     addresses spread over 20 domains that accept any address, with
//     stand-in verifiers that answer at once; prints the verifications
//     handed out beyond the list (one probe per domain is expected) and
//     the run's wall time with verdicts off, on, and on with the probe.
//
//   cv_verdict_bench [replies] [addresses] [domains]

#include "benchparts.h"
#include "listloader.h"
#include "realreplies.h"
#include "runcontroller.h"
#include "verdict.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <vector>

using namespace corvanta;
using namespace corvanta::bench;

namespace {

struct StoredFacts
{
    qint32 code;
    QString fromReply;
    QString rcptReply;
    QString message;
};

void classifierCost(int count)
{
    std::vector<StoredFacts> replies;
    replies.reserve(size_t(count));
    const auto& table = corvanta::testing::kRealReplies;
    for (int i = 0; i < count; ++i) {
        const auto& row = table[size_t(i) % std::size(table)];
        const QString reply = QString::fromUtf8(row.reply);
        replies.push_back({row.code, row.code == 5 ? reply : QString(),
                           row.code == 5 ? QString() : reply, QString::fromUtf8(row.message)});
    }
    constexpr int kRounds = 101;
    std::vector<double> perReplyNs;
    int undeliverable = 0;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        for (const StoredFacts& f : replies) {
            const Judgement j = judge({f.code, f.fromReply, f.rcptReply, f.message});
            undeliverable += j.verdict == Verdict::Undeliverable;
        }
        perReplyNs.push_back(double(clock.nsecsElapsed()) / double(count));
    }
    std::sort(perReplyNs.begin(), perReplyNs.end());
    std::printf("classifier: %d real-world replies (%zu distinct), %d rounds: median %.3f us per "
                "reply, fastest round %.3f us, slowest %.3f us (%d undeliverable seen)\n",
                count, std::size(table), kRounds, perReplyNs[kRounds / 2] / 1000.0,
                perReplyNs.front() / 1000.0, perReplyNs.back() / 1000.0, undeliverable);
}

// Accepts every address at once, as the mail servers of accept-all domains
// do, and counts what it was asked.
class AcceptingVerifier final : public StubVerifier
{
public:
    explicit AcceptingVerifier(int& verifications) : m_verifications(verifications) {}

    void Verify() override
    {
        ++m_verifications;
        m_status = StatusFinished;
    }

private:
    int& m_verifications;
};

class AcceptingFactory final : public IVerifierFactory
{
public:
    std::unique_ptr<IVerifier> create() override
    {
        return std::make_unique<AcceptingVerifier>(verifications);
    }
    int verifications = 0;
};

void probeCount(int addresses, int domains, bool verdicts, bool probe)
{
    RunState state;
    state.ThreadCount = 50;
    RunSettings settings;
    settings.ReadReplyCodes = verdicts;
    settings.ProbeAcceptAll = probe;
    CompactReport report;
    NullStatus status;
    BenchShell shell;
    RunContext ctx{state, settings, report, status, shell};
    for (int i = 0; i < addresses; ++i)
        report.addRecord(QByteArray("user") + QByteArray::number(i) + "@domain" +
                         QByteArray::number(i % domains + 1) + ".test");
    state.LoadedCount = addresses;
    ListLoader loader(ctx);
    AcceptingFactory factory;
    RunController run(ctx, factory, loader);
    QElapsedTimer clock;
    clock.start();
    run.Start();
    std::printf("run: %d addresses over %d accept-all domains, verdicts %s, probe %s: %d "
                "verifications, %d beyond the list, %d validated, %d good, %.3f s\n",
                addresses, domains, verdicts ? "on" : "off", probe ? "on" : "off",
                factory.verifications, factory.verifications - addresses, state.ValidatedCount,
                state.GoodCount, double(clock.nsecsElapsed()) / 1e9);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int replies = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int addresses = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int domains = argc > 3 ? std::atoi(argv[3]) : 20;
    classifierCost(replies);
    probeCount(addresses, domains, false, false);
    probeCount(addresses, domains, true, false);
    probeCount(addresses, domains, true, true);
    return 0;
}
