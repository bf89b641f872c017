#pragma once

#include "privatebroker.h"
#include "remoteobject.h"
#include "testobject.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>

namespace corvanta::test {

// True while the process exists and is not a zombie waiting to be reaped
// (servers started by a client are nobody's child here).
inline bool processAlive(qint64 pid)
{
    if (::kill(pid_t(pid), 0) != 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return !(close > 0 && close + 2 < line.size() && line.at(close + 2) == 'Z');
}

// Serves events until `done` holds or `ms` pass; returns the last `done`.
inline bool waitUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

// Every case starts its own test server in a broker folder of its own.
class BrokerTest : public PrivateBrokerTest
{
protected:
    BrokerTest() : PrivateBrokerTest(CORVANTA_TEST_SERVER) {}

    void TearDown() override
    {
        for (QProcess* p : m_clients) {
            p->kill();
            p->waitForFinished(2000);
            delete p;
        }
    }

    std::unique_ptr<RemoteObject> make()
    {
        return RemoteObject::create(QString::fromLatin1(testobject::ClassName), m_options);
    }

    // Starts the helper client process holding `count` objects; returns it
    // once it reported its server's process id in *serverPid.
    QProcess* startClient(int count)
    {
        auto* p = new QProcess;
        m_clients.append(p);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CORVANTA_BROKER_DIR"), m_options.paths.dir);
        env.insert(QStringLiteral("CORVANTA_SERVER_PROGRAM"), m_options.serverProgram);
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(CORVANTA_TEST_CLIENT), {QString::number(count)});
        return p;
    }

    static qint64 readServerPid(QProcess* p)
    {
        if (!p->canReadLine())
            p->waitForReadyRead(10000);
        const QByteArray line = p->readLine().trimmed();
        if (!line.startsWith("pid "))
            ADD_FAILURE() << "helper client said: " << line.constData();
        return line.mid(4).toLongLong();
    }

    QList<QProcess*> m_clients;
};

} // namespace corvanta::test
