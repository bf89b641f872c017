#include "checkcommand.h"

#include "checkbatch.h"
#include "checkcsv.h"
#include "checkjournal.h"
#include "checkrunner.h"
#include "dnscache.h"
#include "dnsservers.h"
#include "mailserverlimits.h"
#include "openfilelimit.h"

#include <QBuffer>
#include <QEventLoop>
#include <QFile>

namespace corvanta {
namespace {

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

// The DNS cache and the mail server limits belong to the process that runs
// the objects: set here for this one, and through the environment for a
// server process that `--remote` starts.
void applyServerPoliteness(const CheckOptions& options)
{
    if (!options.dnsCache)
        qputenv(DnsCache::DisableVariable, "1");
    DnsCache::process().setEnabled(options.dnsCache);
    MailServerLimits::Settings limits = MailServerLimits::process().settings();
    if (options.perServer) {
        limits.maxConnections = *options.perServer;
        qputenv(MailServerLimits::MaxConnectionsVariable, QByteArray::number(*options.perServer));
    }
    if (options.backOff) {
        limits.backOff = true;
        qputenv(MailServerLimits::BackOffVariable, "1");
    }
    MailServerLimits::process().configure(limits);
}

} // namespace

int runCheck(const QStringList& arguments, QIODevice& in, QIODevice& out, QIODevice& err,
             const CheckDriver& driver)
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
        const std::string system = GetDefaultDnsServer();
        if (!system.empty())
            options->dnsServer = QString::fromStdString(system);
    }
    applyServerPoliteness(*options);
    // The list's bytes: what the journal knows it by.
    const QByteArray input =
        options->readStdin ? in.readAll() : options->addresses.join(u'\n').toUtf8();
    QBuffer inputDevice;
    inputDevice.setData(input);
    inputDevice.open(QIODevice::ReadOnly);
    std::optional<CsvCheckInput> csv;
    if (options->csv) {
        csv = readCsvCheckInput(input, error);
        if (!csv) {
            err.write(QStringLiteral("sondrix check: %1\n").arg(error).toUtf8());
            return 2;
        }
    }
    QStringList addresses = csv                  ? csv->addresses
                            : options->readStdin ? readAddresses(inputDevice)
                                                 : options->addresses;
    if (addresses.isEmpty())
        return 0;

    raiseOpenFileLimit();
    // Each job holds about three descriptors (its thread's wake-up handle,
    // its resolver's and its mail server's socket); room for all of them is
    // made before the first thread starts.
    reserveFileDescriptors(options->jobs * 4 + 64);
    QEventLoop loop;
    CheckBatch batch(
        std::move(addresses), options->json, out, err, [&loop] { loop.quit(); },
        options->acceptAll);
    if (csv) {
        if (!csv->header.isEmpty())
            out.write(csvCheckHeader(csv->header) + '\n');
        batch.setLineFormat([&csv](qsizetype index, const CheckOutcome& outcome) {
            return csvCheckLine(csv->rows[size_t(index)], outcome);
        });
    }
    CheckJournal journal;
    if (options->journal) {
        const QString name =
            options->readStdin ? QStringLiteral("(standard input)") : QStringLiteral("(arguments)");
        if (!journal.attach(*options->journal, name, input, batch, error)) {
            err.write(QStringLiteral("sondrix check: %1\n").arg(error).toUtf8());
            return 1;
        }
    }
    const std::unique_ptr<QObject> checks = driver(*options, batch);
    // The driver may finish the batch before the loop runs (no object could
    // be made) or from a nested wait of its own; the loop only sleeps.
    while (!batch.complete())
        loop.exec();
    return batch.exitCode();
}

int onStandardStreams(
    const std::function<int(QIODevice& in, QIODevice& out, QIODevice& err)>& command)
{
    QFile in;
    QFile out;
    QFile err;
    in.open(stdin, QIODevice::ReadOnly);
    out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return command(in, out, err);
}

int runCheckCommand(const QStringList& arguments, const ComponentFactory& factory, QIODevice& in,
                    QIODevice& out, QIODevice& err)
{
    return runCheck(arguments, in, out, err,
                    [&factory](const CheckOptions& options, CheckBatch& batch) {
                        auto runner = std::make_unique<CheckRunner>(options, factory, batch);
                        runner->start();
                        return std::unique_ptr<QObject>(std::move(runner));
                    });
}

int runCheckCommand(const QStringList& arguments, const ComponentFactory& factory)
{
    return onStandardStreams([&](QIODevice& in, QIODevice& out, QIODevice& err) {
        return runCheckCommand(arguments, factory, in, out, err);
    });
}

} // namespace corvanta
