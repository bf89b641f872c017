#include "checkcommand.h"
#include "hostedverify.h"
#include "realcomponents.h"
#include "remotecheck.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

const char* const Usage = "Usage: sondrix check [options] ADDRESS... | -\n"
                          "       sondrix check --help\n";

} // namespace

// sondrix: the verification server. Each subcommand lives in its own library;
// this file only picks one.
int main(int argc, char** argv)
{
    // Every verification object has a thread with its own event loop. Qt's
    // own dispatcher costs about half the memory and time per thread of the
    // GLib one, and nothing in the server needs GLib's main loop.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString command = args.value(1);
    if (command == QLatin1String("serve"))
        return corvanta::serveVerifyObjects(argc, argv, corvanta::realComponentFactory());
    if (command == QLatin1String("check") && corvanta::wantsRemoteCheck(args.mid(2)))
        return corvanta::runRemoteCheckCommand(args.mid(2));
    if (command == QLatin1String("check"))
        return corvanta::runCheckCommand(args.mid(2), corvanta::realComponentFactory());
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (command.isEmpty())
        std::fputs("sondrix: no command given\n", stderr);
    else
        std::fprintf(stderr, "sondrix: unknown command '%s'\n", qUtf8Printable(command));
    std::fputs(Usage, stderr);
    return 2;
}
