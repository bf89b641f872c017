#include "checkoptions.h"

#include "recheckschedule.h"

#include <cmath>
#include <limits>

namespace corvanta {
namespace {

// Seconds as given on the command line, converted to the milliseconds the
// verification object takes.
std::optional<int> secondsToMs(const QString& text)
{
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds <= 0)
        return std::nullopt;
    const double ms = std::ceil(seconds * 1000.0);
    if (ms > double(std::numeric_limits<int>::max()))
        return std::nullopt;
    return int(ms);
}

// Takes the value of an option given as "--name VALUE" or "--name=VALUE".
bool takeValue(const QStringList& args, qsizetype& i, const QString& name, QString& value,
               QString& error)
{
    const QString& arg = args.at(i);
    if (arg.size() > name.size() && arg.at(name.size()) == u'=') {
        value = arg.mid(name.size() + 1);
        return true;
    }
    if (i + 1 >= args.size()) {
        error = QStringLiteral("option %1 needs a value").arg(name);
        return false;
    }
    value = args.at(++i);
    return true;
}

} // namespace

bool splitHostPort(const QString& value, QString& host, std::optional<int>& port)
{
    port.reset();
    QString portText;
    if (value.startsWith(u'[')) {
        const qsizetype close = value.indexOf(u']');
        if (close < 0)
            return false;
        host = value.mid(1, close - 1);
        const QString rest = value.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u':'))
                return false;
            portText = rest.mid(1);
            if (portText.isEmpty())
                return false;
        }
    } else if (value.count(u':') == 1) {
        const qsizetype colon = value.indexOf(u':');
        host = value.left(colon);
        portText = value.mid(colon + 1);
        if (portText.isEmpty())
            return false;
    } else {
        host = value; // a name, an IPv4 address or a bare IPv6 address
    }
    if (host.isEmpty())
        return false;
    if (!portText.isEmpty()) {
        bool ok = false;
        const int number = portText.toInt(&ok);
        if (!ok || number < 1 || number > 65535)
            return false;
        port = number;
    }
    return true;
}

std::optional<CheckOptions> parseCheckArguments(const QStringList& args, QString& error)
{
    CheckOptions options;
    bool optionsEnded = false;
    bool dash = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const auto is = [&](const char* name) {
            const QLatin1String n(name);
            return arg == n ||
                   (arg.startsWith(n) && arg.size() > n.size() && arg.at(n.size()) == u'=');
        };
        if (optionsEnded || !arg.startsWith(u'-') || arg == QLatin1String("-")) {
            if (arg == QLatin1String("-") && !optionsEnded)
                dash = true;
            else
                options.addresses.append(arg);
            continue;
        }
        QString value;
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
        } else if (arg == QLatin1String("--progress")) {
            options.progress = true;
        } else if (arg == QLatin1String("--json")) {
            options.json = true;
        } else if (arg == QLatin1String("--accept-all")) {
            options.acceptAll = true;
        } else if (arg == QLatin1String("--no-dns-cache")) {
            options.dnsCache = false;
        } else if (arg == QLatin1String("--back-off")) {
            options.backOff = true;
        } else if (is("--per-domain")) {
            if (!takeValue(args, i, QStringLiteral("--per-domain"), value, error))
                return std::nullopt;
            bool ok = false;
            options.perDomain = value.toInt(&ok);
            if (!ok || options.perDomain < 0) {
                error = QStringLiteral("--per-domain wants a whole number, 0 for no limit, not "
                                       "'%1'")
                            .arg(value);
                return std::nullopt;
            }
        } else if (is("--greylist-retry")) {
            if (!takeValue(args, i, QStringLiteral("--greylist-retry"), value, error))
                return std::nullopt;
            const std::optional<QList<qint64>> delays = parseRecheckDelays(value);
            if (!delays) {
                error = QStringLiteral("--greylist-retry wants seconds above 0 separated by "
                                       "commas, such as 300,900,2700, not '%1'")
                            .arg(value);
                return std::nullopt;
            }
            options.recheckDelaysMs = *delays;
        } else if (is("--per-server")) {
            if (!takeValue(args, i, QStringLiteral("--per-server"), value, error))
                return std::nullopt;
            bool ok = false;
            options.perServer = value.toInt(&ok);
            if (!ok || *options.perServer < 0) {
                error = QStringLiteral("--per-server wants a whole number, 0 for no limit, not "
                                       "'%1'")
                            .arg(value);
                return std::nullopt;
            }
        } else if (arg == QLatin1String("--csv")) {
            options.csv = true;
        } else if (is("--journal")) {
            if (!takeValue(args, i, QStringLiteral("--journal"), value, error))
                return std::nullopt;
            options.journal = value;
        } else if (is("--dns-server")) {
            if (!takeValue(args, i, QStringLiteral("--dns-server"), value, error))
                return std::nullopt;
            QString host;
            std::optional<int> port;
            if (!splitHostPort(value, host, port)) {
                error = QStringLiteral("--dns-server wants HOST or HOST:PORT with a port from 1 "
                                       "to 65535, not '%1'")
                            .arg(value);
                return std::nullopt;
            }
            options.dnsServer = host;
            options.dnsPort = port;
        } else if (is("--from")) {
            if (!takeValue(args, i, QStringLiteral("--from"), value, error))
                return std::nullopt;
            options.fromAddress = value;
        } else if (is("--helo")) {
            if (!takeValue(args, i, QStringLiteral("--helo"), value, error))
                return std::nullopt;
            options.helloName = value;
        } else if (is("--dns-timeout") || is("--smtp-timeout")) {
            const QString name = arg.section(u'=', 0, 0);
            if (!takeValue(args, i, name, value, error))
                return std::nullopt;
            const std::optional<int> ms = secondsToMs(value);
            if (!ms) {
                error = QStringLiteral("%1 wants a number of seconds above 0, not '%2'")
                            .arg(name, value);
                return std::nullopt;
            }
            (name == QLatin1String("--dns-timeout") ? options.dnsTimeoutMs
                                                    : options.smtpTimeoutMs) = ms;
        } else if (is("--jobs")) {
            if (!takeValue(args, i, QStringLiteral("--jobs"), value, error))
                return std::nullopt;
            bool ok = false;
            const int jobs = value.toInt(&ok);
            if (!ok || jobs < 1 || jobs > MaxCheckJobs) {
                error = QStringLiteral("--jobs wants a whole number from 1 to %1, not '%2'")
                            .arg(MaxCheckJobs)
                            .arg(value);
                return std::nullopt;
            }
            options.jobs = jobs;
        } else {
            error = QStringLiteral("unknown option '%1'").arg(arg);
            return std::nullopt;
        }
    }
    if (options.help)
        return options;
    if (dash && !options.addresses.isEmpty()) {
        error = QStringLiteral("give addresses or '-' for standard input, not both");
        return std::nullopt;
    }
    if (!dash && options.addresses.isEmpty()) {
        error = QStringLiteral("no address given (use '-' to read them from standard input)");
        return std::nullopt;
    }
    if (options.csv && (!dash || options.json)) {
        error = QStringLiteral("--csv reads a CSV list from standard input ('-') and writes CSV, "
                               "not JSON");
        return std::nullopt;
    }
    options.readStdin = dash;
    return options;
}

QString checkUsage()
{
    return QStringLiteral(
        "Usage: sondrix check [--dns-server HOST[:PORT]] [--from ADDRESS] [--helo NAME]\n"
        "                     [--dns-timeout SECONDS] [--smtp-timeout SECONDS] [--jobs N]\n"
        "                     [--progress] [--json | --csv] [--accept-all] [--journal FILE]\n"
        "                     [--remote] [--no-dns-cache] [--per-server N] [--back-off]\n"
        "                     [--per-domain N] [--greylist-retry SECONDS[,SECONDS...]]\n"
        "                     ADDRESS... | -\n"
        "\n"
        "Checks each address (format, mail servers, SMTP probe; no mail is sent) and\n"
        "prints one line per address in input order: the outcome code, the address,\n"
        "the message, the server's reply to the recipient, the verdict and its reason,\n"
        "separated by tabs.\n"
        "Outcome codes: 0 valid, 1 bad format, 2 no mail server, 3 connection failed,\n"
        "4 recipient refused, 5 sender refused.\n"
        "Verdicts: deliverable, undeliverable, risky, unknown (check again later).\n"
        "\n"
        "  --dns-server HOST[:PORT]  DNS server to ask (default: the system's first)\n"
        "  --from ADDRESS            sender address of the probe (default: empty)\n"
        "  --helo NAME               greeting name (default: this machine's name)\n"
        "  --dns-timeout SECONDS     limit of the MX look-up (default: 60)\n"
        "  --smtp-timeout SECONDS    limit of each SMTP step (default: 60)\n"
        "  --jobs N                  addresses checked at once, 1 to 1000 (default: 1)\n"
        "  --progress                print each step to standard error\n"
        "  --json                    print one JSON object per address\n"
        "  --accept-all              once per domain, check a made-up address too; if it\n"
        "                            is accepted, the domain's valid addresses are risky\n"
        "  --csv                     read a CSV list from standard input (the address\n"
        "                            column named email, e-mail, mail or email address,\n"
        "                            else the one holding addresses) and print each row\n"
        "                            as it came with code, message and replies added\n"
        "  --journal FILE            record each outcome in FILE; run again over the same\n"
        "                            list, skip the addresses recorded and print theirs\n"
        "  --remote                  verify in a sondrix server process, as corvanta does\n"
        "  --no-dns-cache            ask the DNS server for every look-up instead of\n"
        "                            sharing answers between checks\n"
        "  --per-server N            at most N connections at once to each mail server\n"
        "                            address (default: 0, no limit)\n"
        "  --per-domain N            at most N checks at once per domain; the others\n"
        "                            wait while other domains' addresses go first\n"
        "                            (default: 0, no limit)\n"
        "  --greylist-retry SECONDS[,SECONDS...]\n"
        "                            check an address whose recipient got a 4xx reply\n"
        "                            again after each delay in turn (e.g. 300,900,2700)\n"
        "  --back-off                after a mail server says it has too many connections\n"
        "                            (421, 4.7.x, 4.3.2), open none to it for 30 s,\n"
        "                            doubling while it keeps saying so, up to 10 min\n"
        "  -                         read addresses from standard input, one a line\n");
}

} // namespace corvanta
