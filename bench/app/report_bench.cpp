// Adds 1,000,000 records to the report shown in a real view, rebuilds the rows
// and prints the time taken and the whole process's resident memory; then
// gives every record an outcome and times sorting by each column, a re-show of
// the sorted rows after an Add, and the way back to record order. Each sort
// step runs on the window thread, so its time is how long the window stands
// still. Prints figures only; it never fails on a time.

#include "ui/reportmodel.h"
#include "ui/reportview.h"

#include <QApplication>
#include <QColor>
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

    const double residentWithRows = ResidentMegabytes();

    // Outcomes as a run leaves them: two words, messages that mostly name the
    // address, so nearly every message is different, and verdicts.
    view.SetVerdictsShown(true);
    for (int i = 0; i < count; ++i) {
        const bool good = i % 3 != 0;
        model.SetResult(i, good ? QStringLiteral("Valid") : QStringLiteral("Bad User"),
                        good ? QColor(0, 102, 0) : QColor(255, 0, 0), good ? 2 : 3);
        model.setMessage(
            i, good ? QStringLiteral("250 2.1.5 Ok")
                    : QStringLiteral("550 5.1.1 <user%1>: Recipient address rejected").arg(i));
        model.setVerdict(i, good ? corvanta::Judgement{corvanta::Verdict::Deliverable,
                                                       corvanta::Reason::Accepted}
                                 : corvanta::Judgement{corvanta::Verdict::Undeliverable,
                                                       corvanta::Reason::MailboxUnknown});
    }
    const auto timed = [](auto&& step) {
        QElapsedTimer clock;
        clock.start();
        step();
        QCoreApplication::processEvents();
        return clock.nsecsElapsed() / 1e6;
    };
    const char* names[] = {"No", "Email", "Result", "Message", "Verdict"};
    double sortMs[5][2] = {};
    for (int column = 0; column < 5; ++column) {
        sortMs[column][0] = timed([&] { model.sort(column, Qt::AscendingOrder); });
        sortMs[column][1] = timed([&] { model.sort(column, Qt::DescendingOrder); });
    }
    model.sort(corvanta::ReportModel::ColAddress, Qt::AscendingOrder);
    // An Add on the sorted grid: the loader rebuilds the rows at its first
    // percent and once at the end.
    const double addSortedMs = timed([&] {
        for (int i = 0; i < 1000; ++i) {
            const int n = std::snprintf(line, sizeof line, "late%05d@example.test", i);
            model.AddRecord(QByteArrayView(line, n));
            if (i == 10)
                model.Populate();
        }
        model.Populate();
    });
    const double restoreMs = timed([&] { model.RestoreRecordOrder(); });

    std::printf("records:            %d\n", count);
    std::printf("add:                %.3f s\n", addSeconds);
    std::printf("add + rebuild rows: %.3f s   (target < 1 s)\n", totalSeconds);
    std::printf("  of which CPU:     %.3f s\n", cpuSeconds);
    std::printf("jump + repaint:     %.2f ms per step\n", scrollMs);
    std::printf("resident before:    %.1f MB\n", baseline);
    std::printf("resident with rows: %.1f MB   (target < 150 MB)\n", residentWithRows);
    for (int column = 0; column < 5; ++column)
        std::printf("sort by %-8s    %.0f ms ascending, %.0f ms descending   (target < 200 ms)\n",
                    names[column], sortMs[column][0], sortMs[column][1]);
    std::printf("add 1000, sorted:   %.0f ms   (target < 200 ms)\n", addSortedMs);
    std::printf("record order again: %.0f ms\n", restoreMs);
    return 0;
}
