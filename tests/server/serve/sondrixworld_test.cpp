// The real sondrix served through the broker, against fakeworld's DNS and mail
// servers. Runs inside a private network namespace (the fake servers bind
// 127.0.0.1:53 and 127.1.0.x:25); outside one it fails, it never skips.
#include "remoteverify.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <gtest/gtest.h>
#include <signal.h>

using namespace corvanta;

namespace {

// Threads of a process, or -1 when it is gone: the server runs one thread per
// object, so this shows whether objects are still alive.
int threadCount(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("Threads:"))
            return line.mid(8).trimmed().toInt();
    }
    return -1;
}

qint32 verifyNow(RemoteVerify& v, const QString& address)
{
    v.Reset();
    v.setAddress(address);
    v.Verify();
    QElapsedTimer t;
    t.start();
    while (v.Status() != 3 && t.elapsed() < 5000)
        v.waitForPush(5000);
    EXPECT_EQ(v.Status(), 3) << qPrintable(address);
    return v.Result();
}

class SondrixWorldTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tmp.isValid());
        // domain1.test and domain2.test answer, domain3.test's server is silent.
        m_world.start(QStringLiteral(FAKEWORLD),
                      {"--dns", "127.0.0.1:53", "--domains", "3", "--silent-domains", "1"});
        ASSERT_TRUE(m_world.waitForReadyRead(5000))
            << "fakeworld did not start: " << m_world.readAllStandardError().constData();
        ASSERT_EQ(m_world.readLine().trimmed(), QByteArray("ready"));
        m_options.paths = BrokerPaths::forDir(m_tmp.path() + QStringLiteral("/b"));
        m_options.serverProgram = QStringLiteral(SONDRIX);
    }

    void TearDown() override
    {
        m_world.kill();
        m_world.waitForFinished(2000);
    }

    // Standard output of `sondrix check`; its standard error's lines, sorted,
    // in `errLines` when given.
    QByteArray check(const QStringList& extra, const QStringList& addresses,
                     QList<QByteArray>* errLines = nullptr)
    {
        QProcess p;
        p.setProcessEnvironment(brokerEnvironment());
        p.start(QStringLiteral(SONDRIX),
                QStringList{"check", "--dns-server", "127.0.0.1", "--jobs", "3"} + extra +
                    addresses);
        EXPECT_TRUE(p.waitForFinished(20000));
        const QByteArray err = p.readAllStandardError();
        EXPECT_EQ(p.exitCode(), 0) << err.constData();
        if (errLines) {
            *errLines = err.split('\n');
            std::sort(errLines->begin(), errLines->end());
        }
        return p.readAllStandardOutput();
    }

    QProcessEnvironment brokerEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CORVANTA_BROKER_DIR"), m_options.paths.dir);
        return env;
    }

    QTemporaryDir m_tmp;
    QProcess m_world;
    ClientOptions m_options;
};

} // namespace

TEST_F(SondrixWorldTest, CheckThroughTheServerMatchesTheLocalCheck)
{
    // Each of fakeworld's kinds of domain, with the outcome it must give.
    const std::pair<QString, char> cases[] = {
        {QStringLiteral("a@domain1.test"), '0'}, {QStringLiteral("unknown@domain2.test"), '4'},
        {QStringLiteral("b@nodata.test"), '2'},  {QStringLiteral("d@nullmx.test"), '2'},
        {QStringLiteral("not an address"), '1'}, {QStringLiteral("c@nowhere.test"), '2'},
    };
    QStringList addresses;
    for (const auto& c : cases)
        addresses << c.first;
    const QByteArray local = check({}, addresses);
    const QByteArray remote = check({QStringLiteral("--remote")}, addresses);
    EXPECT_EQ(remote, local);
    const QList<QByteArray> lines = local.trimmed().split('\n');
    ASSERT_EQ(lines.size(), addresses.size()) << local.constData();
    for (qsizetype i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(lines[i].startsWith(QByteArray(1, cases[i].second) + '\t' +
                                        addresses[i].toUtf8() + '\t'))
            << lines[i].constData();

    // Progress too, down to the escaping that keeps a tab in an address from
    // splitting the line (the order across parallel checks varies).
    const QStringList odd{QStringLiteral("tab\there@domain1.test"),
                          QStringLiteral("d@domain2.test")};
    QList<QByteArray> localProgress;
    QList<QByteArray> remoteProgress;
    EXPECT_EQ(
        check({QStringLiteral("--progress")}, odd, &localProgress),
        check({QStringLiteral("--progress"), QStringLiteral("--remote")}, odd, &remoteProgress));
    EXPECT_TRUE(localProgress.contains("tab\\there@domain1.test\t3\tFormat check"));
    EXPECT_EQ(remoteProgress, localProgress);
}

// A probe held by a silent mail server ends at once when its object is
// aborted, or when the client leaves.
TEST_F(SondrixWorldTest, AbortOrAClientLeavingEndsAProbeOfASilentServerAndTheServerServesOn)
{
    // Holds the server up, and shows afterwards that it still serves.
    RemoteVerify keeper(m_options);
    keeper.AddDnsServer(QStringLiteral("127.0.0.1"));
    const qint64 pid = keeper.serverProcessId();
    ASSERT_GT(pid, 0);
    EXPECT_EQ(verifyNow(keeper, QStringLiteral("a@domain1.test")), 0)
        << qPrintable(keeper.GetMessage());

    keeper.Reset();
    keeper.setAddress(QStringLiteral("someone@domain3.test"));
    keeper.Verify();
    QThread::msleep(300);
    QCoreApplication::processEvents();
    ASSERT_EQ(keeper.Status(), 2) << "the silent server should still hold the probe";
    QElapsedTimer t;
    t.start();
    keeper.Abort();
    while (keeper.Status() != 3 && t.elapsed() < 2000)
        keeper.waitForPush(2000);
    EXPECT_EQ(keeper.Status(), 3);
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_EQ(keeper.Result(), 0) << "an aborted probe sets no outcome";

    const int baseline = threadCount(pid);
    ASSERT_GT(baseline, 0);

    // Two ways of leaving while the objects wait for a greeting that never
    // comes: a client process killed outright, and a proxy released here.
    QProcess client;
    client.setProcessEnvironment(brokerEnvironment());
    client.start(QStringLiteral(SONDRIX),
                 {"check", "--remote", "--progress", "--jobs", "3", "--dns-server", "127.0.0.1",
                  "x@domain3.test", "y@domain3.test", "z@domain3.test"});
    auto released = std::make_unique<RemoteVerify>(m_options);
    released->AddDnsServer(QStringLiteral("127.0.0.1"));
    released->setEventsEnabled(true);
    int releasedConnecting = 0;
    QObject::connect(released.get(), &RemoteVerify::ProgressEvent, released.get(),
                     [&](qint32 method, const QString&) { releasedConnecting += method == 7; });
    released->setAddress(QStringLiteral("w@domain3.test"));
    released->Verify();

    QByteArray progress;
    t.restart();
    while ((progress.count("\t7\tConnecting to") < 3 || releasedConnecting < 1) &&
           t.elapsed() < 10000) {
        client.waitForReadyRead(50);
        progress += client.readAllStandardError();
        released->waitForPush(50);
    }
    ASSERT_EQ(progress.count("\t7\tConnecting to"), 3) << progress.constData();
    ASSERT_EQ(releasedConnecting, 1);
    QThread::msleep(300); // past the connect, into the wait for the greeting
    ASSERT_EQ(released->Status(), 2) << "the silent server should still hold the probe";
    EXPECT_GE(threadCount(pid), baseline + 4) << "every object has a thread of its own";

    client.kill();
    client.waitForFinished(2000);
    released.reset();

    // Aborted and destroyed at once, not when the 60 s reply limit runs out.
    t.restart();
    while (threadCount(pid) > baseline && t.elapsed() < 5000)
        QThread::msleep(20);
    EXPECT_TRUE(threadCount(pid) > 0 && threadCount(pid) <= baseline)
        << "the server crashed or kept the objects of the clients that left: " << threadCount(pid)
        << " threads, " << baseline << " before";
    EXPECT_EQ(::kill(pid_t(pid), 0), 0) << "the server is gone";
    EXPECT_TRUE(keeper.isConnected());
    // An outcome other than the last one shows the probe really ran.
    EXPECT_EQ(verifyNow(keeper, QStringLiteral("unknown@domain2.test")), 4);
}
