#include "activation.h"

#include "openfilelimit.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace corvanta {

namespace {

constexpr int RetryPauseMs = 20;

std::unique_ptr<QLocalSocket> tryConnect(const QString& path)
{
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(path);
    if (socket->waitForConnected(1000))
        return socket;
    return nullptr;
}

// The lock file in the private folder; released when the object goes.
class StartLock final
{
public:
    bool acquire(const QString& path, const QDeadlineTimer& deadline)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            return false;
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR)
                return false;
            if (deadline.hasExpired())
                return false;
            QThread::msleep(RetryPauseMs);
        }
        return true;
    }
    ~StartLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // closing drops the lock
    }

private:
    int m_fd = -1;
};

// True once the process is gone. A process that nobody reaped stays as a
// zombie and still answers kill(0), so its state is read as well.
bool processGone(qint64 pid)
{
    if (pid <= 0)
        return false;
    if (::kill(pid_t(pid), 0) != 0)
        return errno == ESRCH;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && close + 2 < line.size() && line.at(close + 2) == 'Z';
}

BrokerError cannotCreate(const QString& description)
{
    return brokerError(brokererr::CannotCreate, description);
}

} // namespace

ClientOptions ClientOptions::standard()
{
    return ClientOptions{};
}

QString ClientOptions::program() const
{
    if (!serverProgram.isEmpty())
        return serverProgram;
    const QString overridden = qEnvironmentVariable("CORVANTA_SERVER_PROGRAM");
    if (!overridden.isEmpty())
        return overridden;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/sondrix");
}

std::unique_ptr<QLocalSocket> connectToServer(const ClientOptions& options, BrokerError* error,
                                              int timeoutMs)
{
    raiseOpenFileLimit();
    const QDeadlineTimer deadline(timeoutMs);
    if (auto socket = tryConnect(options.paths.socket))
        return socket;

    QString why;
    if (!ensurePrivateDir(options.paths.dir, &why)) {
        *error =
            cannotCreate(QStringLiteral("The verification server cannot be reached: %1").arg(why));
        return nullptr;
    }
    StartLock lock;
    if (!lock.acquire(options.paths.lock, deadline)) {
        *error = cannotCreate(
            QStringLiteral("The verification server cannot be started: the start lock %1 is not "
                           "available")
                .arg(options.paths.lock));
        return nullptr;
    }
    // Whoever held the lock before us may have started the server already.
    if (auto socket = tryConnect(options.paths.socket))
        return socket;

    const QString program = options.program();
    const QFileInfo info(program);
    if (!info.exists() || !info.isExecutable()) {
        *error =
            cannotCreate(QStringLiteral("The verification server %1 was not found").arg(program));
        return nullptr;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(options.serverArguments);
    process.setWorkingDirectory(info.absolutePath());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CORVANTA_BROKER_DIR"), options.paths.dir);
    process.setProcessEnvironment(env);
    // The server outlives this client; it must not hold on to our terminal
    // or to pipes our own parent reads to their end.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        *error = cannotCreate(QStringLiteral("The verification server %1 could not be started: %2")
                                  .arg(program, process.errorString()));
        return nullptr;
    }
    while (!deadline.hasExpired()) {
        if (auto socket = tryConnect(options.paths.socket))
            return socket;
        // A server that died at start will never answer; say so now rather
        // than at the end of the time-out.
        if (processGone(pid)) {
            if (auto socket = tryConnect(options.paths.socket))
                return socket; // it left because another server serves us
            *error = cannotCreate(
                QStringLiteral("The verification server %1 stopped before it accepted connections")
                    .arg(program));
            return nullptr;
        }
        QThread::msleep(RetryPauseMs);
    }
    *error =
        cannotCreate(QStringLiteral("The verification server %1 did not answer within %2 seconds")
                         .arg(program)
                         .arg(timeoutMs / 1000.0));
    return nullptr;
}

} // namespace corvanta
