// The whole program against a real sondrix and fakeworld: how close a run
// comes to the rate the mail servers allow, and what corvanta itself spends.
// Run it inside a private network namespace (run-e2e-bench.sh does).
//
//   cv_e2e_bench throughput [ADDRESSES] [THREADS] [DELAY_MS] [off|verdicts|probe]
//     (the last: reply codes read, and the accept-all probe on too)
//   cv_e2e_bench silent [VERIFIERS] [SECONDS]

#include "mainprogram.h"
#include "settingsbridge.h"
#include "ui/frmmain.h"
#include "wiredruncontroller.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

using namespace corvanta;

namespace {

// Replies in one probe: greeting, HELO, MAIL FROM, RCPT TO and QUIT.
constexpr int kRepliesPerProbe = 5;
// Verify() starts the procedure on a one-shot timer of this many ms.
constexpr int kStartTimerMs = 5;
constexpr int kDomains = 20;

class AlwaysOnline final : public INetworkProbe
{
public:
    bool NetworkIsAlive() override { return true; }
};

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct World
{
    QProcess process;

    bool start(const QStringList& extra)
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(FAKEWORLD),
                      QStringList{QStringLiteral("--dns"), QStringLiteral("127.0.0.1:53"),
                                  QStringLiteral("--domains"), QString::number(kDomains)} +
                          extra);
        return process.waitForReadyRead(5000) && process.readLine().trimmed() == "ready";
    }
    ~World()
    {
        process.kill();
        process.waitForFinished(2000);
    }
};

void configure(const QTemporaryDir& tmp, int threads, int smtpTimeout)
{
    qputenv("CORVANTA_REGISTRY_FILE", QFile::encodeName(tmp.filePath(QStringLiteral("reg"))));
    qputenv("CORVANTA_BROKER_DIR", QFile::encodeName(tmp.filePath(QStringLiteral("broker"))));
    qputenv("CORVANTA_SERVER_PROGRAM", QByteArray(SONDRIX));
    bridge::WriteStoredSetting(QStringLiteral("DnsServerName"), QStringLiteral("127.0.0.1"));
    bridge::WriteStoredSetting(QStringLiteral("DefaultThreads"), threads);
    bridge::WriteStoredSetting(QStringLiteral("DnsTimeout"), 10);
    bridge::WriteStoredSetting(QStringLiteral("SmtpTimeout"), smtpTimeout);
}

QString writeList(const QTemporaryDir& tmp, int count, int firstDomain, int domains,
                  const QString& name = QStringLiteral("list.txt"))
{
    const QString path = tmp.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    for (int i = 0; i < count; ++i)
        file.write("user" + QByteArray::number(i) + "@domain" +
                   QByteArray::number(firstDomain + i % domains) + ".test\r\n");
    return path;
}

int throughput(int addresses, int threads, int delayMs, const QString& verdicts)
{
    QTemporaryDir tmp;
    World world;
    if (!world.start({QStringLiteral("--reply-delay-ms"), QString::number(delayMs)})) {
        std::fprintf(stderr, "fakeworld did not start\n");
        return 1;
    }
    configure(tmp, threads, 30);
    const bool probe = verdicts == QLatin1String("probe");
    bridge::WriteStoredSetting(QStringLiteral("ReadReplyCodes"),
                               probe || verdicts == QLatin1String("verdicts") ? 1 : 0);
    bridge::WriteStoredSetting(QStringLiteral("ProbeAcceptAll"), probe ? 1 : 0);
    ProgramOptions options;
    options.probe = std::make_unique<AlwaysOnline>();
    MainProgram program(std::move(options));
    program.window().show();
    RunState& state = program.run().State();

    // One address alone, through the same window, pool and server: the
    // time one conversation needs, as the engine benchmark measures it.
    // The best of a few, so the server's start does not count.
    const QString one = writeList(tmp, 1, 1, 1, QStringLiteral("one.txt"));
    double single = 1e9;
    for (int i = 0; i < 4; ++i) {
        program.openList(one);
        state.ThreadCount = 1;
        QElapsedTimer t;
        t.start();
        program.window().ExecuteCommand(CmdStart);
        single = std::min(single, double(t.nsecsElapsed()) / 1e9);
    }

    program.openList(writeList(tmp, addresses, 1, kDomains));
    state.ThreadCount = threads;
    QElapsedTimer wall;
    wall.start();
    const double guiBefore = cpuSeconds(RUSAGE_THREAD);
    const double processBefore = cpuSeconds(RUSAGE_SELF);
    program.window().ExecuteCommand(CmdStart);
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const double gui = cpuSeconds(RUSAGE_THREAD) - guiBefore;
    const double process = cpuSeconds(RUSAGE_SELF) - processBefore;

    // A probe cannot be quicker than its replies; with every thread busy all
    // the time that gives the ideal rate.
    const double ideal = threads * 1000.0 / (kRepliesPerProbe * delayMs);
    const double idealWithTimer = threads * 1000.0 / (kRepliesPerProbe * delayMs + kStartTimerMs);
    const double rate = state.ValidatedCount / seconds;
    std::printf("throughput: %d addresses, %d threads, %d ms per reply, verdicts %s\n", addresses,
                threads, delayMs, qPrintable(verdicts));
    std::printf("  validated %d (good %d, bad %d) in %.2f s\n", state.ValidatedCount,
                state.GoodCount, state.BadCount, seconds);
    std::printf("  %.0f addresses/s, ideal %.0f/s: %.1f%% of ideal\n", rate, ideal,
                100.0 * rate / ideal);
    std::printf("  ideal with the object's %d ms start timer %.0f/s: %.1f%%\n", kStartTimerMs,
                idealWithTimer, 100.0 * rate / idealWithTimer);
    std::printf("  one address alone through the window: %.1f ms; ideal %.0f/s: %.1f%%\n",
                single * 1000.0, threads / single, 100.0 * rate * single / threads);
    std::printf("  corvanta CPU: GUI thread %.2f s (%.1f%% of one core), whole process %.2f s\n",
                gui, 100.0 * gui / seconds, process);
    return 0;
}

int silent(int verifiers, int seconds)
{
    QTemporaryDir tmp;
    World world;
    // Every domain's mail server listens and says nothing.
    if (!world.start({QStringLiteral("--silent-domains"), QString::number(kDomains)})) {
        std::fprintf(stderr, "fakeworld did not start\n");
        return 1;
    }
    configure(tmp, verifiers, 3600);
    ProgramOptions options;
    options.probe = std::make_unique<AlwaysOnline>();
    MainProgram program(std::move(options));
    program.window().show();
    program.openList(writeList(tmp, verifiers, 1, kDomains));
    RunState& state = program.run().State();

    // Measure once every verifier has been handed its address.
    double guiStart = 0;
    double processStart = 0;
    QElapsedTimer window;
    QTimer settle;
    settle.setSingleShot(true);
    QObject::connect(&settle, &QTimer::timeout, [&] {
        guiStart = cpuSeconds(RUSAGE_THREAD);
        processStart = cpuSeconds(RUSAGE_SELF);
        window.start();
        QTimer::singleShot(seconds * 1000, [&] {
            const double elapsed = double(window.nsecsElapsed()) / 1e9;
            const double gui = cpuSeconds(RUSAGE_THREAD) - guiStart;
            const double process = cpuSeconds(RUSAGE_SELF) - processStart;
            std::printf("silent: %d verifiers waiting, %.1f s measured\n", verifiers, elapsed);
            std::printf("  corvanta CPU: GUI thread %.1f%% of one core, whole process %.1f%%\n",
                        100.0 * gui / elapsed, 100.0 * process / elapsed);
            std::printf("  validated meanwhile: %d\n", state.ValidatedCount);
            // End without waiting for the silent servers.
            state.ForceAbort = true;
        });
    });
    QTimer::singleShot(0, [&] { settle.start(5000); });
    program.window().ExecuteCommand(CmdStart);
    return 0;
}

int argument(const QStringList& args, int index, int fallback)
{
    return args.size() > index ? args.at(index).toInt() : fallback;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList args = QApplication::arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("throughput"))
        return throughput(argument(args, 2, 10000), argument(args, 3, 200), argument(args, 4, 20),
                          args.value(5, QStringLiteral("off")));
    if (mode == QLatin1String("silent"))
        return silent(argument(args, 2, 500), argument(args, 3, 10));
    std::fprintf(stderr, "usage: cv_e2e_bench throughput [ADDRESSES] [THREADS] [DELAY_MS] "
                         "[off|verdicts|probe]\n"
                         "       cv_e2e_bench silent [VERIFIERS] [SECONDS]\n");
    return 2;
}
