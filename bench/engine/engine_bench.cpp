// engine_bench: figures for the verification engine. It prints them and never
// fails on a time.
//
//   engine_bench throughput [--addresses N] [--jobs A,B,...] [--delay-ms MS]
//                           [--domains N] [--fakeworld PATH]
//     Starts the fake world (one mail server per domain, each reply delayed),
//     times one conversation alone, then checks N addresses at each number of
//     jobs and prints addresses per second against the ideal
//     (jobs / time of one conversation) and CPU seconds per address.
//     Needs port 53 and 25 on loopback: run it through run-engine-bench.sh.
//
//   engine_bench scripted [--addresses N] [--jobs A,B,...] [--delay-ms MS]
//     The same with in-memory components whose replies take MS each: the
//     engine's own ceiling, without sockets, DNS or the fake world's costs.
//
//   engine_bench memory [--objects N]
//     Opens N idle verification objects, each on its own apartment, and
//     prints the resident memory they add per object.

#include "apartment.h"
#include "checkcommand.h"
#include "openfilelimit.h"
#include "realcomponents.h"
#include "scriptedcomponents.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <vector>

using namespace corvanta;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Datagrams the namespace dropped for a full receive buffer so far: a lost
// DNS answer costs the look-up a retry, which shows up in the figures.
long udpReceiveBufferErrors()
{
    QFile snmp(QStringLiteral("/proc/net/snmp"));
    if (!snmp.open(QIODevice::ReadOnly))
        return -1;
    QList<QByteArray> header;
    for (const QByteArray& line : snmp.readAll().split('\n')) {
        if (!line.startsWith("Udp:"))
            continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (header.isEmpty()) {
            header = fields;
            continue;
        }
        const qsizetype at = header.indexOf("RcvbufErrors");
        return at >= 0 ? fields.value(at).toLong() : -1;
    }
    return -1;
}

QString option(const QStringList& args, const QString& name, const QString& fallback)
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : fallback;
}

struct RunFigures
{
    double seconds = 0;
    double cpu = 0;
    int lines = 0;
    int valid = 0;
    int exitCode = -1;
};

RunFigures runCheck(const QStringList& addresses, int jobs,
                    const ComponentFactory& factory = realComponentFactory())
{
    const QStringList args{QStringLiteral("--dns-server"),
                           QStringLiteral("127.0.0.1"),
                           QStringLiteral("--from"),
                           QStringLiteral("bench@probe.test"),
                           QStringLiteral("--jobs"),
                           QString::number(jobs),
                           QStringLiteral("-")};
    QBuffer in;
    in.setData(addresses.join(u'\n').toUtf8());
    in.open(QIODevice::ReadOnly);
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    RunFigures figures;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    figures.exitCode = runCheckCommand(args, factory, in, out, err);
    figures.seconds = double(clock.nsecsElapsed()) / 1e9;
    figures.cpu = cpuSeconds() - cpuBefore;
    for (const QByteArray& line : out.data().split('\n')) {
        if (line.isEmpty())
            continue;
        ++figures.lines;
        if (line.startsWith("0\t"))
            ++figures.valid;
    }
    if (!err.data().isEmpty())
        std::fprintf(stderr, "%s", err.data().left(2000).constData());
    return figures;
}

int throughput(const QStringList& args)
{
    const int count = option(args, QStringLiteral("--addresses"), QStringLiteral("2000")).toInt();
    const int domains = option(args, QStringLiteral("--domains"), QStringLiteral("20")).toInt();
    const QString delay = option(args, QStringLiteral("--delay-ms"), QStringLiteral("20"));
    const QString world =
        option(args, QStringLiteral("--fakeworld"),
               QCoreApplication::applicationDirPath() + QStringLiteral("/fakeworld"));
    std::vector<int> jobList;
    for (const QString& j :
         option(args, QStringLiteral("--jobs"), QStringLiteral("50,200")).split(u','))
        jobList.push_back(j.toInt());

    QProcess fake;
    fake.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    fake.start(world, {QStringLiteral("--dns"), QStringLiteral("127.0.0.1:53"),
                       QStringLiteral("--domains"), QString::number(domains),
                       QStringLiteral("--reply-delay-ms"), delay});
    if (!fake.waitForStarted(5000) || !fake.waitForReadyRead(10000) ||
        !fake.readLine().startsWith("ready")) {
        std::fprintf(stderr, "engine_bench: the fake world did not start (%s)\n",
                     qPrintable(world));
        return 1;
    }

    QStringList addresses;
    for (int i = 0; i < count; ++i)
        addresses.append(QStringLiteral("user%1@domain%2.test").arg(i).arg(i % domains + 1));

    // One conversation alone: the best of a few, so a cold start does not count.
    double single = 1e9;
    for (int i = 0; i < 5; ++i)
        single = std::min(single, runCheck({addresses.first()}, 1).seconds);
    std::printf("fake world: %d domains, every reply delayed %s ms\n", domains, qPrintable(delay));
    std::printf("one conversation alone: %.1f ms\n", single * 1000.0);
    std::printf("%6s %9s %9s %11s %11s %8s %14s %7s %9s\n", "jobs", "addresses", "seconds",
                "addr/s", "ideal/s", "of ideal", "CPU s/address", "valid", "UDP lost");
    for (int jobs : jobList) {
        const long lostBefore = udpReceiveBufferErrors();
        const RunFigures f = runCheck(addresses, jobs);
        const long lost = udpReceiveBufferErrors() - lostBefore;
        const double rate = f.lines / f.seconds;
        const double ideal = jobs / single;
        std::printf("%6d %9d %9.2f %11.1f %11.1f %7.1f%% %14.6f %7d %9ld\n", jobs, f.lines,
                    f.seconds, rate, ideal, 100.0 * rate / ideal, f.cpu / std::max(1, f.lines),
                    f.valid, lost);
        std::fflush(stdout);
    }
    fake.kill();
    fake.waitForFinished(2000);
    return 0;
}

int scripted(const QStringList& args)
{
    const int count = option(args, QStringLiteral("--addresses"), QStringLiteral("2000")).toInt();
    testing::DnsScript dns;
    dns.answer = {{QStringLiteral("mx.domain.test")}, {QString()}};
    testing::SmtpScript smtp;
    smtp.replyDelayMs = option(args, QStringLiteral("--delay-ms"), QStringLiteral("20")).toInt();
    smtp.replies = {QStringLiteral("250 Ok"), QStringLiteral("250 Ok")};
    const ComponentFactory factory = testing::copyingFactory(dns, smtp);
    QStringList addresses;
    for (int i = 0; i < count; ++i)
        addresses.append(QStringLiteral("user%1@domain.test").arg(i));
    double single = 1e9;
    for (int i = 0; i < 5; ++i)
        single = std::min(single, runCheck({addresses.first()}, 1, factory).seconds);
    std::printf("in-memory components, every reply takes %d ms\n", smtp.replyDelayMs);
    std::printf("one conversation alone: %.1f ms\n", single * 1000.0);
    std::printf("%6s %9s %9s %11s %11s %8s %14s\n", "jobs", "addresses", "seconds", "addr/s",
                "ideal/s", "of ideal", "CPU s/address");
    for (const QString& j :
         option(args, QStringLiteral("--jobs"), QStringLiteral("50,200")).split(u',')) {
        const int jobs = j.toInt();
        const RunFigures f = runCheck(addresses, jobs, factory);
        const double rate = f.lines / f.seconds;
        const double ideal = jobs / single;
        std::printf("%6d %9d %9.2f %11.1f %11.1f %7.1f%% %14.6f\n", jobs, f.lines, f.seconds, rate,
                    ideal, 100.0 * rate / ideal, f.cpu / std::max(1, f.lines));
        std::fflush(stdout);
    }
    return 0;
}

int memory(const QStringList& args)
{
    const int count = option(args, QStringLiteral("--objects"), QStringLiteral("1000")).toInt();
    raiseOpenFileLimit();
    // Warm up what every object shares (libraries, the pattern, Qt's
    // per-process state) so only the objects' own memory is counted.
    {
        Apartment warm(realComponentFactory());
        warm.open();
    }
    const long before = residentKb();
    std::vector<std::unique_ptr<Apartment>> apartments;
    apartments.reserve(std::size_t(count));
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i) {
        apartments.push_back(std::make_unique<Apartment>(realComponentFactory()));
        apartments.back()->open();
    }
    const double openSeconds = double(clock.elapsed()) / 1000.0;
    const long after = residentKb();
    std::printf("%d idle verification objects, each on its own apartment (stack %u KiB)\n", count,
                Apartment::DefaultStackSize / 1024);
    std::printf("resident before: %ld KB, after: %ld KB\n", before, after);
    std::printf("resident per object: %.1f KB (opened in %.2f s)\n", double(after - before) / count,
                openSeconds);
    clock.restart();
    apartments.clear();
    std::printf("closed in %.2f s\n", double(clock.elapsed()) / 1000.0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // The same event dispatcher as sondrix uses for its threads.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == QLatin1String("throughput"))
        return throughput(args);
    if (mode == QLatin1String("scripted"))
        return scripted(args);
    if (mode == QLatin1String("memory"))
        return memory(args);
    std::fprintf(stderr, "usage: engine_bench throughput|scripted|memory [options]\n");
    return 2;
}
