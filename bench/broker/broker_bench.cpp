// Broker benchmarks. Prints figures; never fails on a time.
//
//   broker_bench [roundtrip|pool|idle|scale|all] [--server PROGRAM]
//                [--world N --replies R]
//
// PROGRAM is the server to start (default: the fake verification server of
// the tests, whose SMTP replies for "*@slow.*" take FAKE_REPLY_DELAY_MS, 20 by
// default, and whose "*@silent.*" servers never greet). With --world N the
// addresses go to a running fakeworld with N domains (the last one silent)
// instead; FAKE_REPLY_DELAY_MS must then match its --reply-delay-ms.
#include "remoteverify.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace corvanta;

namespace {

ClientOptions g_options;
// With --world N: fakeworld's domains domain1.test .. domainN.test, the last
// one silent, asked through the DNS server on 127.0.0.1.
int g_worldDomains = 0;
// Server replies one address waits for: 4 for the fake server (greeting,
// MAIL FROM, RCPT TO, QUIT), 5 in fakeworld (EHLO too).
int g_replies = 4;

QString poolAddress(int i)
{
    if (g_worldDomains > 1)
        return QStringLiteral("user%1@domain%2.test").arg(i).arg(i % (g_worldDomains - 1) + 1);
    return QStringLiteral("user%1@slow.example").arg(i);
}

QString silentAddress()
{
    if (g_worldDomains > 1)
        return QStringLiteral("user@domain%1.test").arg(g_worldDomains);
    return QStringLiteral("user@silent.example");
}

double cpuSeconds()
{
    struct rusage ru
    {
    };
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

long residentKb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

// User plus system CPU seconds the process has used so far.
double processCpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = f.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15 of the whole line, 12 and 13 here.
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) /
           double(sysconf(_SC_CLK_TCK));
}

std::vector<std::unique_ptr<RemoteVerify>> makePool(int n)
{
    std::vector<std::unique_ptr<RemoteVerify>> pool;
    pool.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        pool.push_back(std::make_unique<RemoteVerify>(g_options));
        if (g_worldDomains > 0)
            pool.back()->AddDnsServer(QStringLiteral("127.0.0.1"));
    }
    return pool;
}

void roundTrip()
{
    RemoteVerify v(g_options);
    constexpr int Calls = 20000;
    std::vector<double> us;
    us.reserve(Calls);
    for (int i = 0; i < 1000; ++i)
        v.ID(); // warm up
    const double cpu0 = cpuSeconds();
    for (int i = 0; i < Calls; ++i) {
        QElapsedTimer t;
        t.start();
        v.setID(i);
        us.push_back(double(t.nsecsElapsed()) / 1000.0);
    }
    const double cpu = cpuSeconds() - cpu0;
    std::sort(us.begin(), us.end());
    std::printf("round trip (setID, %d calls): median %.1f us, p99 %.1f us; client CPU %.1f us "
                "per call\n",
                Calls, us[us.size() / 2], us[us.size() * 99 / 100], cpu * 1e6 / Calls);

    constexpr int Reads = 10000000;
    QElapsedTimer t;
    t.start();
    qint64 sum = 0;
    RemoteVerify* volatile target = &v; // keeps the reads from being folded into one
    for (int i = 0; i < Reads; ++i)
        sum += target->Status();
    std::printf("reading Status: %.1f ns per read (%d reads, checksum %lld)\n",
                double(t.nsecsElapsed()) / Reads, Reads, static_cast<long long>(sum));
}

// The run's way of working: visit every verifier, collect the finished ones,
// hand out the next address, and sleep until a push when nothing changed.
void pool(int threads, int addresses, int replies, int delayMs)
{
    auto verifiers = makePool(threads);
    int next = 0;
    int done = 0;
    QElapsedTimer t;
    t.start();
    const double cpu0 = cpuSeconds();
    const qint64 serverPid = verifiers.front()->serverProcessId();
    const double serverCpu0 = processCpuSeconds(serverPid);
    for (auto& v : verifiers)
        v->beginVerify(poolAddress(next++), false);
    int failed = 0;
    while (done < addresses) {
        bool any = false;
        for (auto& v : verifiers) {
            if (v->Status() != 3)
                continue;
            any = true;
            if (v->Result() != 0)
                ++failed;
            ++done;
            // As the run does: the reset goes with the next address.
            if (next < addresses)
                v->beginVerify(poolAddress(next++), true);
            else
                v->Reset();
        }
        if (!any)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const double secs = double(t.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    const double serverCpu = processCpuSeconds(serverPid) - serverCpu0;
    const double perAddressMs = replies * delayMs + 5; // replies plus the 5 ms start timer
    const double ideal = threads * 1000.0 / perAddressMs;
    const double ideal0 = threads * 1000.0 / (replies * delayMs);
    std::printf("pool of %d, %d addresses, %d replies x %d ms: %.2f s, %.0f addresses/s\n", threads,
                addresses, replies, delayMs, secs, addresses / secs);
    std::printf("  ideal %.0f/s (with the 5 ms start timer): %.1f%%; ideal without it %.0f/s: "
                "%.1f%%\n",
                ideal, 100.0 * addresses / secs / ideal, ideal0, 100.0 * addresses / secs / ideal0);
    std::printf("  client CPU %.2f s (%.1f%% of one core), server CPU %.2f s (%.1f%%); %d of %d "
                "not valid\n",
                cpu, 100.0 * cpu / secs, serverCpu, 100.0 * serverCpu / secs, failed, addresses);
}

void idle(int threads, int seconds)
{
    auto verifiers = makePool(threads);
    for (auto& v : verifiers) {
        v->setAddress(silentAddress());
        v->Verify();
    }
    QElapsedTimer t;
    t.start();
    const double cpu0 = cpuSeconds();
    int finished = 0;
    // The run's own one-second timers; between them only pushes wake us.
    QTimer tick;
    tick.start(1000);
    while (t.elapsed() < seconds * 1000) {
        bool any = false;
        for (auto& v : verifiers)
            any |= v->Status() == 3;
        if (any)
            ++finished;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const double cpu = cpuSeconds() - cpu0;
    std::printf("%d verifiers waiting on silent servers for %d s: client CPU %.3f s (%.2f%% of one "
                "core)%s\n",
                threads, seconds, cpu, 100.0 * cpu / seconds,
                finished ? " (some finished early!)" : "");
    for (auto& v : verifiers)
        v->Abort();
}

void scale(int count)
{
    auto first = std::make_unique<RemoteVerify>(g_options);
    const qint64 pid = first->serverProcessId();
    const long rss1 = residentKb(pid);
    QElapsedTimer t;
    t.start();
    auto objects = makePool(count - 1);
    const double secs = double(t.nsecsElapsed()) / 1e9;
    // Touch each once so every object is fully set up, then measure.
    for (auto& o : objects)
        o->DnsServerPort();
    const long rssN = residentKb(pid);
    std::printf("%d live objects: created one by one in %.2f s; server resident %ld KB with 1, "
                "%ld KB with %d: %.1f KB per object\n",
                count, secs, rss1, rssN, count, double(rssN - rss1) / (count - 1));
    objects.clear();
    first.reset();
    QThread::sleep(1); // the server lingers; the next objects land in it again
    t.restart();
    auto many = RemoteVerify::createMany(count, g_options);
    std::printf("%d live objects: created with createMany in %.2f s (server %lld)\n", count,
                double(t.nsecsElapsed()) / 1e9,
                static_cast<long long>(many.front()->serverProcessId()));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString what = QStringLiteral("all");
    QTemporaryDir dir;
    g_options.paths = BrokerPaths::forDir(dir.path() + QStringLiteral("/b"));
    g_options.serverProgram = QStringLiteral(CORVANTA_BENCH_SERVER);
    g_options.startTimeoutMs = 20000;
    g_options.callTimeoutMs = 30000;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QStringLiteral("--world") && i + 1 < argc)
            g_worldDomains = QString::fromLocal8Bit(argv[++i]).toInt();
        else if (a == QStringLiteral("--replies") && i + 1 < argc)
            g_replies = QString::fromLocal8Bit(argv[++i]).toInt();
        else if (a == QStringLiteral("--server") && i + 1 < argc)
            g_options.serverProgram = QString::fromLocal8Bit(argv[++i]);
        else
            what = a;
    }
    qputenv("CORVANTA_BROKER_LINGER_MS", "200");
    const int delay = qEnvironmentVariableIsSet("FAKE_REPLY_DELAY_MS")
                          ? qEnvironmentVariableIntValue("FAKE_REPLY_DELAY_MS")
                          : 20;
    std::printf("server: %s\n", qPrintable(g_options.serverProgram));
    try {
        if (what == QStringLiteral("roundtrip") || what == QStringLiteral("all"))
            roundTrip();
        if (what == QStringLiteral("pool") || what == QStringLiteral("all"))
            pool(500, 20000, g_replies, delay);
        if (what == QStringLiteral("idle") || what == QStringLiteral("all"))
            idle(500, 10);
        if (what == QStringLiteral("scale") || what == QStringLiteral("all"))
            scale(5000);
    } catch (const BrokerException& e) {
        std::printf("error %d: %s\n", e.error().number, e.what());
        return 1;
    }
    return 0;
}
