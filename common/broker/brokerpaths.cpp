#include "brokerpaths.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvanta {

BrokerPaths BrokerPaths::forDir(const QString& dir)
{
    const QString clean = QDir::cleanPath(dir);
    return BrokerPaths{clean, clean + QStringLiteral("/sondrix.sock"),
                       clean + QStringLiteral("/sondrix.lock")};
}

BrokerPaths BrokerPaths::standard()
{
    const QString overridden = qEnvironmentVariable("CORVANTA_BROKER_DIR");
    if (!overridden.isEmpty())
        return forDir(overridden);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return forDir(runtime + QStringLiteral("/corvanta"));
    return forDir(QStringLiteral("/tmp/corvanta-%1").arg(::getuid()));
}

bool ensurePrivateDir(const QString& dir, QString* error)
{
    const QByteArray path = QFile::encodeName(dir);
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("The folder %1 %2").arg(dir, why);
        return false;
    };
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return fail(QStringLiteral("cannot be created: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno))));
    struct stat st
    {
    };
    if (::lstat(path.constData(), &st) != 0)
        return fail(
            QStringLiteral("cannot be read: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    // A link could point anywhere another user chose; only a real folder of
    // our own is trusted.
    if (!S_ISDIR(st.st_mode))
        return fail(QStringLiteral("is not a folder"));
    if (st.st_uid != ::getuid())
        return fail(QStringLiteral("belongs to another user"));
    if ((st.st_mode & 0777) != 0700 && ::chmod(path.constData(), 0700) != 0)
        return fail(QStringLiteral("cannot be made private: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno))));
    return true;
}

long openFileLimit()
{
    struct rlimit lim
    {
    };
    if (::getrlimit(RLIMIT_NOFILE, &lim) != 0)
        return -1;
    return lim.rlim_cur == RLIM_INFINITY ? -1 : long(lim.rlim_cur);
}

bool peerIsSameUser(qintptr fd)
{
    struct ucred cred
    {
    };
    socklen_t len = sizeof cred;
    if (::getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0)
        return false;
    return cred.uid == ::getuid();
}

qint64 peerProcessId(qintptr fd)
{
    struct ucred cred
    {
    };
    socklen_t len = sizeof cred;
    if (fd < 0 || ::getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0)
        return 0;
    return cred.pid;
}

} // namespace corvanta
