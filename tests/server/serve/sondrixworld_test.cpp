// The real sondrix served through the broker, against fakeworld's DNS and mail
// servers. Runs inside a private network namespace (the fake servers bind
// 127.0.0.1:53 and 127.1.0.x:25); outside one it fails, it never skips.
#include "remoteverify.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace corvanta;

namespace {

class SondrixWorldTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tmp.isValid());
        // domain1.test and domain2.test answer, domain3.test's server is silent.
        m_world.start(QStringLiteral(FAKEWORLD),
                      {QStringLiteral("--dns"), QStringLiteral("127.0.0.1:53"),
                       QStringLiteral("--domains"), QStringLiteral("3"),
                       QStringLiteral("--silent-domains"), QStringLiteral("1")});
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

    QByteArray check(const QStringList& extra, const QStringList& addresses)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CORVANTA_BROKER_DIR"), m_options.paths.dir);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(SONDRIX),
                QStringList{QStringLiteral("check"), QStringLiteral("--dns-server"),
                            QStringLiteral("127.0.0.1"), QStringLiteral("--jobs"),
                            QStringLiteral("3")} +
                    extra + addresses);
        EXPECT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
        return p.readAllStandardOutput();
    }

    QTemporaryDir m_tmp;
    QProcess m_world;
    ClientOptions m_options;
};

} // namespace

TEST_F(SondrixWorldTest, AbortEndsAProbeOfASilentMailServerAtOnce)
{
    RemoteVerify v(m_options);
    v.AddDnsServer(QStringLiteral("127.0.0.1"));
    v.setAddress(QStringLiteral("someone@domain1.test"));
    v.Verify();
    QElapsedTimer t;
    t.start();
    while (v.Status() != 3 && t.elapsed() < 5000)
        v.waitForPush(5000);
    ASSERT_EQ(v.Status(), 3);
    EXPECT_EQ(v.Result(), 0) << qPrintable(v.GetMessage());

    v.Reset();
    v.setAddress(QStringLiteral("someone@domain3.test"));
    v.Verify();
    QThread::msleep(300);
    QCoreApplication::processEvents();
    ASSERT_EQ(v.Status(), 2) << "the silent server should still hold the probe";
    t.restart();
    v.Abort();
    while (v.Status() != 3 && t.elapsed() < 2000)
        v.waitForPush(2000);
    EXPECT_EQ(v.Status(), 3);
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_EQ(v.Result(), 0) << "an aborted probe sets no outcome";
}

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
    const QList<QByteArray> lines = local.trimmed().split('\n');
    ASSERT_EQ(lines.size(), addresses.size()) << local.constData();
    for (qsizetype i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(lines[i].startsWith(QByteArray(1, cases[i].second) + '\t' +
                                        addresses[i].toUtf8() + '\t'))
            << lines[i].constData();
    EXPECT_EQ(check({QStringLiteral("--remote")}, addresses), local);
}
