#include "checkcommand.h"

#include "checkoptions.h"
#include "checkrunner.h"
#include "systemdns.h"

#include <QEventLoop>
#include <QFile>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace corvanta {
namespace {

// Every check holds a thread, an event source and sockets: lift the soft
// limit on open files to what the system allows.
void raiseOpenFileLimit()
{
#ifdef Q_OS_UNIX
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
#endif
}

QStringList readAddresses(QIODevice& in)
{
    QStringList addresses;
    while (!in.atEnd()) {
        QByteArray line = in.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            addresses.append(QString::fromUtf8(line));
    }
    return addresses;
}

} // namespace

int runCheckCommand(const QStringList& arguments, const ComponentFactory& factory, QIODevice& in,
                    QIODevice& out, QIODevice& err)
{
    QString error;
    std::optional<CheckOptions> options = parseCheckArguments(arguments, error);
    if (!options) {
        err.write(
            QStringLiteral("sondrix check: %1\nTry 'sondrix check --help'.\n").arg(error).toUtf8());
        return 2;
    }
    if (options->help) {
        out.write(checkUsage().toUtf8());
        return 0;
    }
    if (!options->dnsServer) {
        const QStringList system = systemDnsServers();
        if (!system.isEmpty())
            options->dnsServer = system.first();
    }
    QStringList addresses = options->readStdin ? readAddresses(in) : options->addresses;
    if (addresses.isEmpty())
        return 0;

    raiseOpenFileLimit();
    CheckRunner runner(*options, factory, std::move(addresses), &out, &err);
    QEventLoop loop;
    int exitCode = 0;
    bool done = false;
    QObject::connect(&runner, &CheckRunner::finished, &loop, [&](int code) {
        exitCode = code;
        done = true;
        loop.quit();
    });
    runner.start();
    if (!done) // it may finish inside start() when no object can be made
        loop.exec();
    return exitCode;
}

int runCheckCommand(const QStringList& arguments, const ComponentFactory& factory)
{
    QFile in;
    QFile out;
    QFile err;
    in.open(stdin, QIODevice::ReadOnly);
    out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return runCheckCommand(arguments, factory, in, out, err);
}

} // namespace corvanta
