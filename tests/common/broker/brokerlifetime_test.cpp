// Starting, sharing, losing and guarding the server: real processes throughout.
#include "brokerfixture.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <sys/stat.h>
#include <thread>

using namespace corvanta;
using namespace corvanta::test;
namespace to = corvanta::testobject;

TEST_F(BrokerTest, TheServerKilledMidCallFailsEveryCallWithoutHanging)
{
    auto obj = make();
    auto other = make();
    const qint64 pid = obj->call(to::Pid).toLongLong();
    obj->setCallTimeout(30000);
    std::thread killer([pid] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::kill(pid_t(pid), SIGKILL);
    });
    QElapsedTimer t;
    t.start();
    BrokerError error;
    QVariant value;
    const bool ok = obj->tryCall(to::Hang, {60000}, &value, &error);
    killer.join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(error.number, brokererr::ServerUnavailable);
    EXPECT_LT(t.elapsed(), 3000);

    // Later calls, on this object and on one that had no call pending, fail at once.
    t.restart();
    EXPECT_FALSE(obj->tryCall(to::Echo, {1}, &value, &error));
    EXPECT_EQ(error.number, brokererr::ServerUnavailable);
    EXPECT_FALSE(other->tryCall(to::Echo, {1}, &value, &error));
    EXPECT_EQ(error.number, brokererr::ServerUnavailable);
    EXPECT_LT(t.elapsed(), 500);
    EXPECT_FALSE(obj->isConnected());
    EXPECT_EQ(obj->status(), 1) << "the last known state stays readable";

    // A new object brings up a new server.
    auto fresh = make();
    EXPECT_NE(fresh->call(to::Pid).toLongLong(), pid);
}

TEST_F(BrokerTest, ClientsRacingToStartTheServerShareOneThatFreesTheDeadOnesObjects)
{
    QList<QProcess*> clients;
    for (int i = 0; i < 4; ++i)
        clients << startClient(3);
    QSet<qint64> pids;
    for (QProcess* c : clients)
        pids.insert(readServerPid(c));
    ASSERT_EQ(pids.size(), 1);
    const qint64 pid = *pids.begin();
    ASSERT_GT(pid, 0);
    auto obj = make();
    EXPECT_EQ(obj->call(to::Pid).toLongLong(), pid);
    EXPECT_EQ(obj->call(to::LiveObjects).toInt(), 13);

    for (QProcess* c : clients) {
        c->kill();
        c->waitForFinished(2000);
    }
    EXPECT_TRUE(waitUntil([&] { return obj->call(to::LiveObjects).toInt() == 1; }, 3000));

    obj.reset();
    EXPECT_TRUE(waitUntil([&] { return !processAlive(pid); }, 3000))
        << "the server stays after its last object went";
    EXPECT_FALSE(QFileInfo::exists(m_options.paths.socket)) << "the socket file is left behind";
}

TEST_F(BrokerTest, AServerNobodyConnectsToLeavesByItself)
{
    QProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CORVANTA_BROKER_DIR"), m_options.paths.dir);
    env.insert(QStringLiteral("CORVANTA_BROKER_GRACE_MS"), QStringLiteral("300"));
    server.setProcessEnvironment(env);
    server.start(m_options.serverProgram, {QStringLiteral("serve")});
    ASSERT_TRUE(server.waitForStarted(2000));
    EXPECT_TRUE(server.waitForFinished(3000));
    EXPECT_EQ(server.exitCode(), 0);
}

TEST_F(BrokerTest, BadFramesCloseThatConnectionAlone)
{
    auto obj = make();
    auto rawConnection = [&](const QByteArray& bytes) {
        auto s = std::make_unique<QLocalSocket>();
        s->connectToServer(m_options.paths.socket);
        EXPECT_TRUE(s->waitForConnected(1000));
        s->write(bytes);
        s->flush();
        return s;
    };
    QByteArray callBeforeCreate = *wire::encode(wire::CallRequest{1, to::Echo, {1}});
    QByteArray twoCreates = *wire::encode(wire::CreateRequest{QStringLiteral("Test.Object")});
    twoCreates += twoCreates;
    std::vector<std::unique_ptr<QLocalSocket>> sockets;
    sockets.push_back(rawConnection(QByteArray("\xff\xff\xff\xff", 4) + QByteArray(64, 'x')));
    sockets.push_back(rawConnection(QByteArray("\0\0\0\5garbage", 11)));
    sockets.push_back(rawConnection(callBeforeCreate));
    sockets.push_back(rawConnection(twoCreates));
    sockets.push_back(rawConnection(*wire::encode(wire::StatePush{3, false, {}})));
    for (auto& s : sockets) {
        const bool closed =
            s->state() == QLocalSocket::UnconnectedState || s->waitForDisconnected(2000);
        EXPECT_TRUE(closed) << "connection " << (&s - sockets.data()) << " stayed open";
    }
    EXPECT_EQ(obj->call(to::Echo, {5}).toInt(), 5);
    EXPECT_TRUE(waitUntil([&] { return obj->call(to::LiveObjects).toInt() == 1; }, 2000));

    // An unknown class is refused with a creation error, not a dropped line.
    try {
        RemoteObject::create(QStringLiteral("No.Such"), m_options);
        ADD_FAILURE() << "created an unknown class";
    } catch (const BrokerException& e) {
        EXPECT_EQ(e.error().number, brokererr::CannotCreate);
        EXPECT_TRUE(e.error().description.contains(QStringLiteral("No.Such")));
    }
}

TEST_F(BrokerTest, TheFolderAndSocketAreTheOwnersAlone)
{
    // A folder left too open is tightened before anything is made in it.
    ASSERT_TRUE(QDir().mkpath(m_options.paths.dir));
    ::chmod(QFile::encodeName(m_options.paths.dir).constData(), 0777);
    auto obj = make();
    struct stat st
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(m_options.paths.dir).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(QFile::encodeName(m_options.paths.socket).constData(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0077, 0u);
    EXPECT_EQ(st.st_uid, ::getuid());

    // A link in place of the folder is not trusted, wherever it points.
    const QString link = m_tmp.path() + QStringLiteral("/link");
    ASSERT_TRUE(QFile::link(m_options.paths.dir, link));
    QString why;
    EXPECT_FALSE(ensurePrivateDir(link, &why));
    EXPECT_TRUE(why.contains(QStringLiteral("not a folder")));
}

TEST_F(BrokerTest, AMissingOrBrokenServerFailsCreationWithinSeconds)
{
    struct Case
    {
        QString program;
        QString words;
    };
    const Case cases[] = {
        {m_tmp.path() + QStringLiteral("/nowhere/sondrix"), QStringLiteral("was not found")},
        {QStringLiteral("/bin/false"), QStringLiteral("stopped before")},
    };
    for (const Case& c : cases) {
        m_options.serverProgram = c.program;
        QElapsedTimer t;
        t.start();
        try {
            make();
            ADD_FAILURE() << "created through " << qPrintable(c.program);
        } catch (const BrokerException& e) {
            EXPECT_EQ(e.error().number, brokererr::CannotCreate);
            EXPECT_TRUE(e.error().description.contains(c.words)) << e.what();
        }
        EXPECT_LT(t.elapsed(), 3000) << qPrintable(c.program);
    }
}
