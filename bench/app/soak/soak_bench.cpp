// A long run under hostile conditions, through the real window, sondrix and
// the fake world: one mail server in ten misbehaves, the verification server
// is killed once and the network goes away and comes back once. Afterwards
// every address must have exactly one outcome, both programs must hold no more
// threads and descriptors than before, and resident memory must have stopped
// growing once the first 10,000 addresses are through.
//
// Not part of the test suite: it takes many minutes. run-soak.sh runs it in a
// private network namespace.
//
//   SOAK_ADDRESSES (default 200000), SOAK_THREADS (default 200)

#include "e2efixture.h"
#include "ireport.h"
#include "ui/reportmodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace corvanta;
using namespace corvanta::e2e;

namespace {

constexpr int kDomains = 100;
constexpr int kSettleAddresses = 10000;

struct Footprint
{
    int threads = 0;
    int descriptors = 0;
};

Footprint footprint(qint64 pid)
{
    const QString proc = QStringLiteral("/proc/%1/").arg(pid);
    const auto count = [&](const char* dir) {
        return int(QDir(proc + QLatin1String(dir))
                       .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                       .size());
    };
    return {count("task"), count("fd")};
}

// The names of the process's threads, so that a thread left over says whose
// it is.
QString threadNames(qint64 pid)
{
    const QString tasks = QStringLiteral("/proc/%1/task/").arg(pid);
    QStringList names;
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks + task + QStringLiteral("/comm"));
        if (comm.open(QIODevice::ReadOnly))
            names << QString::fromUtf8(comm.readAll().trimmed());
    }
    names.sort();
    return names.join(QStringLiteral(", "));
}

// Resident set in KiB, 0 when the process is gone.
qint64 residentKib(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

bool setLoopback(bool up)
{
    return QProcess::execute(QStringLiteral("ip"),
                             {QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"),
                              up ? QStringLiteral("up") : QStringLiteral("down")}) == 0;
}

// Resident memory of one process over the run: its size once it has seen
// kSettleAddresses addresses, and the most it reached after that.
struct MemoryTrack
{
    int firstValidated = -1;
    qint64 settled = 0;
    qint64 peak = 0;

    void sample(int validated, qint64 kib)
    {
        if (kib == 0)
            return;
        if (firstValidated < 0)
            firstValidated = validated;
        if (settled == 0 && validated - firstValidated >= kSettleAddresses)
            settled = kib;
        else if (settled > 0)
            peak = std::max(peak, kib);
    }
    double growth() const { return settled > 0 ? double(peak) / double(settled) - 1.0 : 0.0; }
};

int envInt(const char* name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

} // namespace

TEST_F(E2eTest, SoakOfALongRun)
{
    const int addresses = envInt("SOAK_ADDRESSES", 200000);
    const int threads = envInt("SOAK_THREADS", 200);
    const auto rowsWithoutOutcome = [this] {
        const IReport& report = window().Report();
        qsizetype count = 0;
        for (qsizetype row = 0; row < report.recordCount(); ++row)
            count += report.storedCode(row) ? 0 : 1;
        return count;
    };
    startWorld({QStringLiteral("--domains"), QString::number(kDomains),
                QStringLiteral("--misbehave-every"), QStringLiteral("10")});
    storeSettings(threads, 3, 3);
    startProgram();
    QByteArray list;
    for (int i = 0; i < addresses; ++i)
        list += "user" + QByteArray::number(i) + "@domain" + QByteArray::number(i % kDomains + 1) +
                ".test\n";
    m_program->openList(writeList(list));
    list.clear();
    ASSERT_EQ(state().LoadedCount, addresses);
    const qint64 firstServer = serverPid();
    ASSERT_GT(firstServer, 0);
    const Footprint programBefore = footprint(getpid());
    const QString programThreadsBefore = threadNames(getpid());
    const Footprint serverBefore = footprint(firstServer);

    // Resident memory of both programs, sampled twice a second; corvanta's
    // also at each tenth of the list, to tell a leak from what the report
    // keeps for every address.
    MemoryTrack program;
    std::vector<qint64> programByTenth;
    QMap<qint64, MemoryTrack> servers;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const int validated = state().ValidatedCount;
        const qint64 kib = residentKib(getpid());
        program.sample(validated, kib);
        if (validated >= qint64(programByTenth.size() + 1) * addresses / 10)
            programByTenth.push_back(kib);
        if (const qint64 pid = serverPid())
            servers[pid].sample(validated, residentKib(pid));
    });
    sampler.start(500);

    QElapsedTimer clock;
    clock.start();
    // The server dies a third of the way through; the run ends there and the
    // addresses it was working on keep no outcome.
    bool killed = false;
    when([&] { return state().ValidatedCount >= addresses / 3; },
         [&] { killed = ::kill(pid_t(serverPid()), SIGKILL) == 0; });
    command(CmdStart);
    const double firstRunSeconds = double(clock.elapsed()) / 1000.0;
    ASSERT_TRUE(killed);
    // Counted without keeping the codes: the harness shares the program's
    // process, and its own memory must not read as the program's growth.
    const auto open = rowsWithoutOutcome();
    EXPECT_EQ(state().ValidatedCount, addresses - open);

    // Start takes the addresses without an outcome. Two thirds through, the
    // network goes away for five seconds.
    bool networkGone = false;
    bool networkBack = false;
    when([&] { return state().ValidatedCount >= 2 * addresses / 3; },
         [&] {
             m_probe->online = false;
             networkGone = setLoopback(false);
             QTimer::singleShot(5000, [&] {
                 networkBack = setLoopback(true);
                 m_probe->online = true;
             });
         });
    command(CmdStart);
    const double seconds = double(clock.elapsed()) / 1000.0;
    sampler.stop();
    EXPECT_TRUE(networkGone);
    EXPECT_TRUE(networkBack);

    const auto leftWithout = rowsWithoutOutcome();
    EXPECT_EQ(leftWithout, 0);
    EXPECT_EQ(state().ValidatedCount, addresses);
    EXPECT_EQ(state().GoodCount + state().BadCount, addresses);

    // Unloaded objects end their threads shortly after the run.
    const qint64 lastServer = serverPid();
    Footprint programAfter;
    Footprint serverAfter;
    QElapsedTimer settle;
    settle.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        programAfter = footprint(getpid());
        serverAfter = footprint(lastServer);
    } while (settle.elapsed() < 10000 && (programAfter.threads > programBefore.threads ||
                                          programAfter.descriptors > programBefore.descriptors ||
                                          serverAfter.threads > serverBefore.threads ||
                                          serverAfter.descriptors > serverBefore.descriptors));
    EXPECT_LE(programAfter.threads, programBefore.threads);
    EXPECT_LE(programAfter.descriptors, programBefore.descriptors);
    EXPECT_LE(serverAfter.threads, serverBefore.threads);
    EXPECT_LE(serverAfter.descriptors, serverBefore.descriptors);
    EXPECT_LE(program.growth(), 0.10);

    std::printf("soak: %d addresses, %d threads, %d domains (one in ten misbehaving)\n", addresses,
                threads, kDomains);
    std::printf("  first run, server killed at %d validated: %.1f s, %lld left without outcome\n",
                addresses - int(open), firstRunSeconds, static_cast<long long>(open));
    std::printf("  whole: %.1f s, validated %d (good %d, bad %d), without outcome %lld\n", seconds,
                state().ValidatedCount, state().GoodCount, state().BadCount,
                static_cast<long long>(leftWithout));
    std::printf("  corvanta threads %d -> %d, descriptors %d -> %d\n", programBefore.threads,
                programAfter.threads, programBefore.descriptors, programAfter.descriptors);
    std::printf("  corvanta threads before: %s; after: %s\n", qPrintable(programThreadsBefore),
                qPrintable(threadNames(getpid())));
    std::printf("  sondrix  threads %d -> %d, descriptors %d -> %d (first server -> last)\n",
                serverBefore.threads, serverAfter.threads, serverBefore.descriptors,
                serverAfter.descriptors);
    std::printf("  corvanta RSS after %d addresses %lld KiB, peak after %lld KiB: %+.1f%%\n",
                kSettleAddresses, static_cast<long long>(program.settled),
                static_cast<long long>(program.peak), 100.0 * program.growth());
    std::printf("  corvanta RSS at each tenth of the list (KiB):");
    for (const qint64 kib : programByTenth)
        std::printf(" %lld", static_cast<long long>(kib));
    std::printf("\n");
    if (addresses > kSettleAddresses)
        std::printf(
            "  corvanta growth after the first %d: %.0f bytes per address\n", kSettleAddresses,
            double(program.peak - program.settled) * 1024.0 / double(addresses - kSettleAddresses));
    for (auto it = servers.cbegin(); it != servers.cend(); ++it) {
        std::printf(
            "  sondrix %lld RSS after %d addresses %lld KiB, peak after %lld KiB: %+.1f%%\n",
            static_cast<long long>(it.key()), kSettleAddresses, static_cast<long long>(it->settled),
            static_cast<long long>(it->peak), 100.0 * it->growth());
        if (it.key() == lastServer) {
            EXPECT_LE(it->growth(), 0.10);
        }
    }
    std::printf("  messages shown: %lld\n", static_cast<long long>(m_modals->messages.size()));
    for (const QString& message : std::as_const(m_modals->messages))
        std::printf("    %s\n", qPrintable(message.left(160)));
}
