// fakeworld: a fake DNS server and fake mail servers for benchmarks and
// end-to-end runs, meant to run inside a private network namespace (see
// netns-run.sh) next to the program under test.
//
//   fakeworld [--dns ADDRESS:PORT] [--domains N] [--reply-delay-ms MS]
//             [--silent-domains K] [--reject-prefix TEXT] [--smtp-threads N]
//             [--misbehave-every N]
//
//   --dns ADDRESS:PORT   where the DNS server listens (UDP); default 127.0.0.1:53
//   --domains N          domains domain1.test ... domainN.test; default 20.
//                        domainI.test has one MX, mx.domainI.test (preference
//                        10), whose address is 127.1.0.0 + I and on whose
//                        port 25 a fake mail server listens.
//   --reply-delay-ms MS  every mail server waits MS before each reply (the
//                        greeting included); default 0
//   --silent-domains K   the mail servers of the last K domains accept
//                        connections but never say a word; default 0
//   --misbehave-every N  the mail server of every Nth domain misbehaves, in
//                        turn: silent, drops the connection on RCPT, answers
//                        RCPT with 421, sends one byte a second, or answers
//                        MAIL with continuation lines without end; default 0
//                        (none)
//   --reject-prefix TEXT recipients whose local part begins with TEXT get
//                        "550 5.1.1 No such user"; default "unknown"
//   --smtp-threads N     threads the mail servers are spread over; default
//                        one per domain, at most 32. Real mail servers are
//                        separate machines: served from one thread, every
//                        burst of replies would queue behind the others and
//                        the delay would be the fake world's, not the client's.
//
// Besides: nodata.test has no MX records (NODATA), nullmx.test has a null MX,
// strict.test's mail server accepts only local parts that begin with "real"
// and one recipient per session, greylist.test's answers every recipient
// "450 4.7.1 greylisted, try again later", blocked.test's "550 5.7.1 Client
// host blocked using zen.spamhaus.org", and every other name does not exist
// (NXDOMAIN).
//
// It prints "ready" on standard output once everything listens, then runs
// until it is killed or, when standard input is a pipe or terminal, until
// standard input closes; then it prints the DNS queries it answered on
// standard error. It exits with 1 and a reason on standard error when
// it cannot listen, and with 2 on a usage error.

#include "fakednsserver.h"
#include "fakesmtpserver.h"
#include "openfilelimit.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace corvanta::testing;

namespace {

struct Options
{
    QHostAddress dnsAddress{QHostAddress::LocalHost};
    quint16 dnsPort = 53;
    int domains = 20;
    int replyDelayMs = 0;
    int silentDomains = 0;
    QByteArray rejectPrefix = "unknown";
    int smtpThreads = 0; // 0: one per domain, at most MaxSmtpThreads
    int misbehaveEvery = 0;
};

// The ways a misbehaving mail server fails, in the order domains take them.
void misbehave(FakeSmtpBehaviour& behaviour, int kind)
{
    switch (kind % 5) {
    case 0:
        behaviour.silent = true;
        break;
    case 1:
        behaviour.dropOnVerb = "RCPT";
        break;
    case 2:
        behaviour.rcptReply = "421 4.3.2 Service shutting down";
        break;
    case 3:
        behaviour.dripIntervalMs = 1000;
        break;
    default:
        behaviour.endlessOnVerb = "MAIL";
        break;
    }
}

constexpr int MaxSmtpThreads = 32;

[[noreturn]] void usage(const QString& problem)
{
    std::fprintf(stderr,
                 "fakeworld: %s\nusage: fakeworld [--dns ADDRESS:PORT] [--domains N] "
                 "[--reply-delay-ms MS] [--silent-domains K] [--reject-prefix TEXT] "
                 "[--smtp-threads N] [--misbehave-every N]\n",
                 qPrintable(problem));
    std::exit(2);
}

int toNumber(const QString& option, const QString& text, int min, int max)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < min || value > max)
        usage(QStringLiteral("%1 needs a number from %2 to %3").arg(option).arg(min).arg(max));
    return value;
}

Options parse(const QStringList& args)
{
    Options options;
    for (int i = 1; i < args.size(); ++i) {
        const QString& option = args.at(i);
        if (i + 1 >= args.size())
            usage(QStringLiteral("unknown option or missing value: %1").arg(option));
        const QString value = args.at(++i);
        if (option == QLatin1String("--dns")) {
            const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
            if (colon < 0 || !options.dnsAddress.setAddress(value.left(colon)))
                usage(QStringLiteral("--dns needs ADDRESS:PORT"));
            options.dnsPort = quint16(toNumber(option, value.mid(colon + 1), 1, 65535));
        } else if (option == QLatin1String("--domains")) {
            options.domains = toNumber(option, value, 1, 60000);
        } else if (option == QLatin1String("--reply-delay-ms")) {
            options.replyDelayMs = toNumber(option, value, 0, 3600000);
        } else if (option == QLatin1String("--silent-domains")) {
            options.silentDomains = toNumber(option, value, 0, 60000);
        } else if (option == QLatin1String("--reject-prefix")) {
            options.rejectPrefix = value.toUtf8();
        } else if (option == QLatin1String("--smtp-threads")) {
            options.smtpThreads = toNumber(option, value, 1, 1024);
        } else if (option == QLatin1String("--misbehave-every")) {
            options.misbehaveEvery = toNumber(option, value, 0, 60000);
        } else {
            usage(QStringLiteral("unknown option: %1").arg(option));
        }
    }
    if (options.silentDomains > options.domains)
        usage(QStringLiteral("--silent-domains cannot exceed --domains"));
    return options;
}

bool stdinCanClose()
{
    struct stat st
    {
    };
    if (fstat(STDIN_FILENO, &st) != 0)
        return false;
    return S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || isatty(STDIN_FILENO);
}

} // namespace

int main(int argc, char** argv)
{
    // Qt's own event dispatcher costs markedly less CPU per event than the
    // GLib one, and benchmarks want the fakes to take as little as possible.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    const Options options = parse(app.arguments());
    corvanta::raiseOpenFileLimit();

    FakeDnsServer dns;
    dns.setRecordQueries(false);
    // Each FakeSmtpServers serves its servers on a thread of its own.
    const int threads =
        options.smtpThreads > 0 ? options.smtpThreads : std::min(options.domains, MaxSmtpThreads);
    std::vector<std::unique_ptr<FakeSmtpServers>> smtp;
    for (int t = 0; t < threads; ++t)
        smtp.push_back(std::make_unique<FakeSmtpServers>());
    QString error;
    if (!dns.start(options.dnsAddress, options.dnsPort, &error)) {
        std::fprintf(stderr, "fakeworld: DNS server on %s:%u: %s\n",
                     qPrintable(options.dnsAddress.toString()), options.dnsPort, qPrintable(error));
        return 1;
    }
    for (int i = 1; i <= options.domains; ++i) {
        const QString domain = QStringLiteral("domain%1.test").arg(i);
        const QString host = QStringLiteral("mx.") + domain;
        const QHostAddress address(quint32(0x7f010000u + quint32(i)));
        dns.setMx(domain, {{10, host}});
        dns.setAddresses(host, {address});
        FakeSmtpBehaviour behaviour;
        behaviour.replyDelayMs = options.replyDelayMs;
        behaviour.rejectedRcptPrefix = options.rejectPrefix;
        behaviour.silent = i > options.domains - options.silentDomains;
        behaviour.recordCommands = false;
        if (options.misbehaveEvery > 0 && i % options.misbehaveEvery == 0)
            misbehave(behaviour, i / options.misbehaveEvery - 1);
        if (!smtp[std::size_t(i % threads)]->add(address, behaviour, &error)) {
            std::fprintf(stderr, "fakeworld: mail server on %s:25: %s\n",
                         qPrintable(address.toString()), qPrintable(error));
            return 1;
        }
    }
    dns.setMx(QStringLiteral("nodata.test"), {});
    dns.setMx(QStringLiteral("nullmx.test"), {{0, QStringLiteral(".")}});

    // Mail servers whose answers a verdict must read; on 127.2.0.x, apart
    // from the numbered domains.
    FakeSmtpBehaviour strict;
    strict.acceptedRcptPrefix = "real";
    strict.rcptPerSession = 1;
    FakeSmtpBehaviour greylist;
    greylist.rcptReply = "450 4.7.1 greylisted, try again later";
    FakeSmtpBehaviour blocked;
    blocked.rcptReply = "550 5.7.1 Client host blocked using zen.spamhaus.org";
    const std::pair<QString, FakeSmtpBehaviour> special[] = {
        {QStringLiteral("strict.test"), strict},
        {QStringLiteral("greylist.test"), greylist},
        {QStringLiteral("blocked.test"), blocked},
    };
    quint32 specialAddress = 0x7f020000u;
    for (auto [domain, behaviour] : special) {
        const QString host = QStringLiteral("mx.") + domain;
        const QHostAddress address(++specialAddress);
        dns.setMx(domain, {{10, host}});
        dns.setAddresses(host, {address});
        behaviour.replyDelayMs = options.replyDelayMs;
        behaviour.recordCommands = false;
        if (!smtp[0]->add(address, behaviour, &error)) {
            std::fprintf(stderr, "fakeworld: mail server on %s:25: %s\n",
                         qPrintable(address.toString()), qPrintable(error));
            return 1;
        }
    }

    std::optional<QSocketNotifier> stdinWatch;
    if (stdinCanClose()) {
        stdinWatch.emplace(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(&*stdinWatch, &QSocketNotifier::activated, &app, [&] {
            char buffer[256];
            if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
                app.quit();
        });
    }

    std::printf("ready\n");
    std::fflush(stdout);
    const int status = app.exec();
    std::fprintf(stderr, "fakeworld: %lld DNS queries, %lld of them MX\n",
                 static_cast<long long>(dns.queryCount()),
                 static_cast<long long>(dns.mxQueryCount()));
    return status;
}
