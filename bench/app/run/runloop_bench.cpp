// Runs the validation loop over 10,000 addresses with 200 stand-in verifiers
// that each take 20 ms per address, and prints the wall time against the
// ideal (addresses / verifiers x 20 ms) and the CPU time the loop spent.
// Then keeps 500 verifiers busy for 3 s and prints the loop's share of one
// core while it waits.
//
//   cv_run_bench_loop [addresses] [verifiers] [ms per address]

#include "benchparts.h"
#include "listloader.h"
#include "runcontroller.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <ctime>

using namespace corvanta;
using namespace corvanta::bench;

namespace {

struct Figures
{
    double wallSeconds;
    double cpuSeconds;
};

Figures runOnce(int addresses, int verifiers, int delayMs)
{
    RunState state;
    state.ThreadCount = verifiers;
    RunSettings settings;
    CompactReport report;
    NullStatus status;
    BenchShell shell;
    RunContext ctx{state, settings, report, status, shell};
    for (int i = 0; i < addresses; ++i)
        report.addRecord(QByteArray("user") + QByteArray::number(i) + "@example.org");
    state.LoadedCount = addresses;
    ListLoader loader(ctx);
    TimedFactory factory(delayMs);
    RunController run(ctx, factory, loader);

    QElapsedTimer wall;
    wall.start();
    const std::clock_t cpu = std::clock();
    run.Start();
    const Figures f{double(wall.nsecsElapsed()) / 1e9,
                    double(std::clock() - cpu) / double(CLOCKS_PER_SEC)};
    if (state.ValidatedCount != addresses)
        std::fprintf(stderr, "only %d of %d validated\n", state.ValidatedCount, addresses);
    return f;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int addresses = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int verifiers = argc > 2 ? std::atoi(argv[2]) : 200;
    const int delayMs = argc > 3 ? std::atoi(argv[3]) : 20;

    const Figures run = runOnce(addresses, verifiers, delayMs);
    const double ideal = double(addresses) / verifiers * delayMs / 1000.0;
    std::printf("run: %d addresses, %d verifiers, %d ms each: %.3f s (ideal %.3f s, %.0f%%), "
                "loop cpu %.3f s\n",
                addresses, verifiers, delayMs, run.wallSeconds, ideal,
                100.0 * ideal / run.wallSeconds, run.cpuSeconds);

    // 500 verifiers on silent servers: every one busy for the whole time.
    const Figures wait = runOnce(500, 500, 3000);
    std::printf("wait: 500 verifiers busy for %.2f s, loop cpu %.3f s (%.1f%% of one core)\n",
                wait.wallSeconds, wait.cpuSeconds, 100.0 * wait.cpuSeconds / wait.wallSeconds);
    return 0;
}
