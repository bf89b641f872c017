// Loads a list of 1,000,000 addresses (about 25 MB) through the Open command
// and saves the result files, printing the seconds each takes and the
// resident memory of the whole process.
//
//   cv_run_bench_listfiles [lines]

#include "benchparts.h"
#include "listloader.h"
#include "resultfiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

using namespace corvanta;
using namespace corvanta::bench;

namespace {

double residentMb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').at(0).toDouble() /
                   1024.0;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    const QString listPath = dir.filePath(QStringLiteral("bench.txt"));
    {
        QByteArray bytes;
        bytes.reserve(qsizetype(lines) * 26);
        for (int i = 0; i < lines; ++i) {
            bytes += "subscriber";
            bytes += QByteArray::number(i).rightJustified(7, '0');
            bytes += "@example.org\r\n";
        }
        QFile f(listPath);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    const double fileMb = double(QFile(listPath).size()) / (1024.0 * 1024.0);

    RunState state;
    RunSettings settings;
    CompactReport report;
    NullStatus status;
    BenchShell shell;
    RunContext ctx{state, settings, report, status, shell};
    ListLoader loader(ctx);
    shell.file = listPath;

    QElapsedTimer timer;
    timer.start();
    loader.OpenList();
    const double loadSeconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("load: %d lines, %.1f MB file, %.3f s, resident %.1f MB (peak %.1f MB)\n",
                state.LoadedCount, fileMb, loadSeconds, residentMb("VmRSS:"), residentMb("VmHWM:"));

    // Outcomes as a run leaves them: most good, some bad, a few never validated.
    for (qsizetype row = 0; row < report.recordCount(); ++row) {
        if (row % 50 == 49)
            continue;
        report.setStoredCode(row, row % 7 == 3 ? verifyBadUser : verifyValid);
    }
    timer.restart();
    SaveResults(ctx);
    const double saveSeconds = double(timer.nsecsElapsed()) / 1e9;
    const auto names = resultFileNames(listPath);
    std::printf("save: %lld records, %.3f s, valid %.1f MB + errors %.1f MB, resident %.1f MB "
                "(peak %.1f MB)\n",
                static_cast<long long>(report.recordCount()), saveSeconds,
                double(QFile(names.valid).size()) / (1024.0 * 1024.0),
                double(QFile(names.errors).size()) / (1024.0 * 1024.0), residentMb("VmRSS:"),
                residentMb("VmHWM:"));
    return 0;
}
