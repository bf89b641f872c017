// The journal's cost to the window thread, and opening a list of a million
// rows whose journal holds an outcome for every one.
//
// 1. A run over 100,000 addresses with 200 stand-in verifiers (2 ms each),
//    once keeping the replies only and once with the journal as well; prints
//    the window thread's CPU seconds of each.
// 2. A list of 1,000,000 addresses with a full journal, opened with the
//    answer Yes into the real report store; prints the seconds until the
//    report shows every outcome.
//
//   cv_journal_bench [run addresses] [list rows]

#include "../run/benchparts.h"
#include "listjournals.h"
#include "listloader.h"
#include "replystore.h"
#include "runcontroller.h"
#include "statistics.h"
#include "ui/reportmodel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <ctime>

using namespace corvanta;
using namespace corvanta::bench;

namespace {

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double runCpu(int addresses, bool journal, const QString& folder)
{
    RunState state;
    state.ThreadCount = 200;
    RunSettings settings;
    CompactReport report;
    NullStatus status;
    BenchShell shell;
    ReplyStore replies;
    ListJournals journals(folder);
    OutcomeSinks sinks;
    sinks.add(replies);
    if (journal)
        sinks.add(journals);
    RunContext ctx{state, settings, report,  status,
                   shell, &sinks,   nullptr, journal ? &journals : nullptr};
    for (int i = 0; i < addresses; ++i)
        report.addRecord(QByteArray("user") + QByteArray::number(i) + "@example.org");
    state.LoadedCount = addresses;
    if (journal)
        journals.listLoaded(folder + QStringLiteral("/../list.txt"), 0, addresses, true);
    ListLoader loader(ctx);
    TimedFactory factory(2);
    RunController run(ctx, factory, loader);
    const double cpu = threadCpuSeconds();
    run.Start();
    const double spent = threadCpuSeconds() - cpu;
    if (state.ValidatedCount != addresses)
        std::fprintf(stderr, "only %d of %d validated\n", state.ValidatedCount, addresses);
    return spent;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int addresses = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int rows = argc > 2 ? std::atoi(argv[2]) : 1000000;
    QTemporaryDir dir;

    QFile(dir.filePath(QStringLiteral("list.txt"))).open(QIODevice::WriteOnly);
    // Alternated and repeated: the machine's other load moves single figures.
    std::vector<double> without;
    std::vector<double> with;
    for (int i = 0; i < 3; ++i) {
        without.push_back(runCpu(addresses, false, dir.filePath(QStringLiteral("a%1").arg(i))));
        with.push_back(runCpu(addresses, true, dir.filePath(QStringLiteral("b%1").arg(i))));
    }
    std::sort(without.begin(), without.end());
    std::sort(with.begin(), with.end());
    std::printf("run of %d: window thread cpu (median of 3) %.3f s without the journal, %.3f s "
                "with it\n",
                addresses, without[1], with[1]);

    // A list with a journal that holds an outcome for every row.
    const QString list = dir.filePath(QStringLiteral("million.txt"));
    {
        QByteArray bytes;
        for (int i = 0; i < rows; ++i)
            bytes +=
                "subscriber" + QByteArray::number(i).rightJustified(7, '0') + "@example.org\r\n";
        QFile f(list);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    const QString folder = dir.filePath(QStringLiteral("journals"));
    {
        ListJournals journals(folder);
        journals.listLoaded(list, 0, rows, true);
        OutcomeRecord outcome;
        for (int i = 0; i < rows; ++i) {
            outcome.code = i % 5 == 0 ? verifyBadUser : verifyValid;
            outcome.word = OutcomeWord(outcome.code);
            outcome.recptReply = outcome.code == verifyValid
                                     ? QStringLiteral("250 2.1.5 Ok")
                                     : QStringLiteral("550 5.1.1 User unknown");
            outcome.fromReply = QStringLiteral("250 2.1.0 Ok");
            outcome.message = outcome.recptReply;
            journals.outcomeRecorded(i, outcome);
        }
        journals.flush();
    }

    RunState state;
    RunSettings settings;
    ReportModel report;
    NullStatus status;
    BenchShell shell; // answers Yes
    ReplyStore replies;
    ListJournals journals(folder);
    OutcomeSinks sinks;
    sinks.add(replies);
    sinks.add(journals);
    RunContext ctx{state, settings, report, status, shell, &sinks, nullptr, &journals};
    // A grid over the report, as in the window, so that restored rows cost
    // what they cost there.
    QTableView view;
    view.setModel(&report);
    view.resize(800, 600);
    view.show();
    QCoreApplication::processEvents();
    ListLoader loader(ctx);
    QElapsedTimer timer;
    timer.start();
    loader.OpenListFile(list);
    QCoreApplication::processEvents();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("open of %d rows with a full journal: %.3f s to a ready report "
                "(%d outcomes restored)\n",
                rows, seconds, state.ValidatedCount);
    return 0;
}
