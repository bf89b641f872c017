// Adds 1,000,000 records to the report shown in a real view, rebuilds the rows
// and prints the time taken and the whole process's resident memory. Prints
// figures only; it never fails on a time.

#include "ui/reportmodel.h"
#include "ui/reportview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <cstdio>
#include <ctime>

namespace {

double ResidentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;

    corvanta::ReportModel model;
    corvanta::ReportView view(model);
    view.InitReport();
    view.resize(800, 600);
    view.show();
    QCoreApplication::processEvents();
    const double baseline = ResidentMegabytes();

    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpuStart = std::clock();
    char line[64];
    for (int i = 0; i < count; ++i) {
        const int n = std::snprintf(line, sizeof line, "user%07d@example%03d.test", i, i % 997);
        model.AddRecord(QByteArrayView(line, n));
    }
    const double addSeconds = timer.nsecsElapsed() / 1e9;
    model.Populate();
    QCoreApplication::processEvents(); // the view lays out and paints the first page
    const double totalSeconds = timer.nsecsElapsed() / 1e9;
    const double cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;

    // Scroll to the end and back, as a user dragging the bar would.
    QElapsedTimer scroll;
    scroll.start();
    for (int step = 0; step <= 20; ++step) {
        view.scrollTo(model.index(int(qint64(count - 1) * step / 20), 0));
        view.repaint();
    }
    const double scrollMs = scroll.nsecsElapsed() / 1e6 / 21;

    std::printf("records:            %d\n", count);
    std::printf("add:                %.3f s\n", addSeconds);
    std::printf("add + rebuild rows: %.3f s   (target < 1 s)\n", totalSeconds);
    std::printf("  of which CPU:     %.3f s\n", cpuSeconds);
    std::printf("jump + repaint:     %.2f ms per step\n", scrollMs);
    std::printf("resident before:    %.1f MB\n", baseline);
    std::printf("resident with rows: %.1f MB   (target < 150 MB)\n", ResidentMegabytes());
    return 0;
}
