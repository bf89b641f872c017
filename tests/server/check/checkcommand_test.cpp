#include "checkcommand.h"
#include "checkoptions.h"
#include "scriptedcomponents.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace corvanta;
using namespace corvanta::testing;

namespace {

std::optional<CheckOptions> parse(const QStringList& args, QString* errorOut = nullptr)
{
    QString error;
    auto options = parseCheckArguments(args, error);
    if (errorOut)
        *errorOut = error;
    EXPECT_EQ(options.has_value(), error.isEmpty());
    return options;
}

struct CheckRun
{
    int exitCode = -1;
    QStringList lines;
    QStringList errLines;
    QByteArray out;
};

CheckRun runCheck(const QStringList& args, const ComponentFactory& factory,
                  const QByteArray& input = {})
{
    QBuffer in;
    in.setData(input);
    in.open(QIODevice::ReadOnly);
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    CheckRun run;
    run.exitCode = runCheckCommand(args, factory, in, out, err);
    run.out = out.data();
    run.lines = QString::fromUtf8(out.data()).split(u'\n', Qt::SkipEmptyParts);
    run.errLines = QString::fromUtf8(err.data()).split(u'\n', Qt::SkipEmptyParts);
    return run;
}

// A small world: each domain's single mail server answers as its name says.
ComponentFactory world()
{
    DnsScript dns;
    dns.answerFor = [](const QString& address) {
        const QString domain = address.section(u'@', -1);
        if (domain == QLatin1String("nomx.test"))
            return IDnsResolver::MxLists{}; // no records, no error
        return IDnsResolver::MxLists{{QStringLiteral("mx.") + domain}, {QString()}};
    };
    SmtpScript smtp;
    smtp.hosts[QStringLiteral("mx.silent.test")].silent = true;
    smtp.hosts[QStringLiteral("mx.refusing.test")].refusal = QStringLiteral("Connection refused");
    smtp.replies = {QStringLiteral("250 Ok"), QStringLiteral("550-No such user\r\n550\tBye")};
    return copyingFactory(dns, smtp);
}

// The same world, where no SMTP client can be made.
ComponentFactory brokenFactory()
{
    ComponentFactory broken = world();
    broken.createSmtpClient = [](IDnsResolver&) -> std::unique_ptr<ISmtpClient> {
        throw ComponentException(1, QStringLiteral("no sockets left"));
    };
    return broken;
}

} // namespace

TEST(CheckOptionsTest, AcceptsEveryOptionInBothSpellings)
{
    auto o = parse({"--dns-server", "10.0.0.9:5353", "--from=probe@x.test", "--helo", "me.test",
                    "--dns-timeout", "1.5", "--smtp-timeout=2", "--jobs", "50", "--progress",
                    "--json", "--accept-all", "--per-server=8", "--back-off", "--no-dns-cache",
                    "a@b.com", "c@d.com"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->dnsServer, QStringLiteral("10.0.0.9"));
    EXPECT_EQ(o->dnsPort, 5353);
    EXPECT_EQ(o->fromAddress, QStringLiteral("probe@x.test"));
    EXPECT_EQ(o->helloName, QStringLiteral("me.test"));
    EXPECT_EQ(o->dnsTimeoutMs, 1500);
    EXPECT_EQ(o->smtpTimeoutMs, 2000);
    EXPECT_EQ(o->jobs, 50);
    EXPECT_TRUE(o->progress && o->json && o->acceptAll && !o->readStdin);
    EXPECT_EQ(o->perServer, 8);
    EXPECT_TRUE(o->backOff && !o->dnsCache);
    EXPECT_EQ(o->addresses, (QStringList{"a@b.com", "c@d.com"}));

    auto d = parse({"a@b.com"});
    ASSERT_TRUE(d);
    EXPECT_EQ(d->jobs, 1);
    EXPECT_FALSE(d->dnsServer || d->dnsPort || d->fromAddress || d->dnsTimeoutMs || d->acceptAll ||
                 d->perServer || d->backOff);
    EXPECT_TRUE(d->dnsCache);

    auto dashed = parse({"--", "-odd@b.com", "-"});
    ASSERT_TRUE(dashed);
    EXPECT_EQ(dashed->addresses, (QStringList{"-odd@b.com", "-"}));
}

TEST(CheckOptionsTest, SplitsServerAndPortIncludingIpv6)
{
    QString host;
    std::optional<int> port;
    ASSERT_TRUE(splitHostPort("ns.example", host, port));
    EXPECT_EQ(host, "ns.example");
    EXPECT_FALSE(port);
    ASSERT_TRUE(splitHostPort("[::1]:5353", host, port));
    EXPECT_EQ(host, "::1");
    EXPECT_EQ(port, 5353);
    ASSERT_TRUE(splitHostPort("fd00::53", host, port));
    EXPECT_EQ(host, "fd00::53");
    EXPECT_FALSE(port);
    for (const char* bad :
         {"", ":53", "host:", "host:0", "host:65536", "host:5x", "[::1", "[]:53", "[::1]x"})
        EXPECT_FALSE(splitHostPort(QString::fromLatin1(bad), host, port)) << bad;
}

TEST(CheckOptionsTest, UsageErrorsSayWhatIsWrong)
{
    QString error;
    const std::vector<std::pair<QStringList, const char*>> cases{
        {{}, "no address"},
        {{"--json"}, "no address"},
        {{"-", "a@b.com"}, "not both"},
        {{"--jobs", "0", "a@b.com"}, "--jobs"},
        {{"--jobs", "1001", "a@b.com"}, "--jobs"},
        {{"--jobs", "two", "a@b.com"}, "--jobs"},
        {{"--per-server", "-1", "a@b.com"}, "--per-server"},
        {{"--dns-timeout", "0", "a@b.com"}, "--dns-timeout"},
        {{"--smtp-timeout", "-1", "a@b.com"}, "--smtp-timeout"},
        {{"--smtp-timeout", "1e12", "a@b.com"}, "--smtp-timeout"},
        {{"--dns-server", "h:99999", "a@b.com"}, "--dns-server"},
        {{"a@b.com", "--from"}, "needs a value"},
        {{"--frobnicate", "a@b.com"}, "unknown option"},
    };
    for (const auto& [args, expected] : cases) {
        EXPECT_FALSE(parse(args, &error)) << args.join(' ').toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(expected))) << error.toStdString();
    }
}

// One object taking every address in turn carries nothing of an earlier
// outcome into a later line; four at once finish out of order (the first
// waits for its time-out) and still print in input order.
TEST(CheckCommandTest, WritesOneLinePerAddressInInputOrder)
{
    const QString refused = QStringLiteral("550-No such user\\r\\n550\\tBye\tundeliverable\t"
                                           "mailbox_unknown");
    const QStringList expected{
        "3\ta@silent.test\tThe mail server did not greet in time\t\tunknown\ttimed_out",
        "4\tc@good.test\t\t" + refused,
        "1\tbad address\tInvalid Email Format\t\tundeliverable\tbad_syntax",
        // A domain without mail servers sets no message of its own.
        "2\tx@nomx.test\t\t\tundeliverable\tno_mail_server",
        "3\tb@refusing.test\tConnection refused\t\tunknown\tconnection_failed",
        "4\td@good.test\t\t" + refused};
    for (const char* jobs : {"1", "4"}) {
        SCOPED_TRACE(jobs);
        const CheckRun run =
            runCheck({"--progress", "--jobs", jobs, "--smtp-timeout", "0.3", "--dns-server", "ns",
                      "a@silent.test", "c@good.test", "bad address", "x@nomx.test",
                      "b@refusing.test", "d@good.test"},
                     world());
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.lines, expected);
        // Progress names the address it is for.
        EXPECT_TRUE(run.errLines.contains("b@refusing.test\t7\tConnecting to mx.refusing.test"));
        EXPECT_TRUE(run.errLines.contains("d@good.test\t7\tConnecting to mx.good.test"));
        EXPECT_EQ(run.errLines.filter(QStringLiteral("\t15\tFinished")).size(), 6);
    }
}

TEST(CheckCommandTest, JsonAndProgressFromStandardInput)
{
    const CheckRun run = runCheck({"--json", "--progress", "--jobs", "2", "-"}, world(),
                                  "c@good.test\r\n\r\n\"q\"@x\n");
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.lines.size(), 2);
    EXPECT_EQ(run.lines[0],
              R"({"address":"c@good.test","result":4,"message":"","from_reply":"250 Ok",)"
              R"("rcpt_reply":"550-No such user\r\n550\tBye","smtp_replies":)"
              R"("Connecting to mx.good.test\r\n250 Ok\r\n550-No such user\r\n550\tBye\r\n",)"
              R"("verdict":"undeliverable","reason":"mailbox_unknown"})");
    EXPECT_EQ(run.lines[1], R"({"address":"\"q\"@x","result":1,"message":"Invalid Email Format",)"
                            R"("from_reply":"","rcpt_reply":"","smtp_replies":"",)"
                            R"("verdict":"undeliverable","reason":"bad_syntax"})");
    EXPECT_TRUE(run.errLines.contains("c@good.test\t7\tConnecting to mx.good.test"));
    EXPECT_TRUE(run.errLines.contains("c@good.test\t15\tFinished"));
    EXPECT_TRUE(run.errLines.contains("\"q\"@x\t3\tFormat check"));
    // Blank lines alone are nothing to check, not a failure.
    EXPECT_EQ(runCheck({"-"}, brokenFactory(), "\n\n").exitCode, 0);
}

// Rows go out as they came, quotes and all, with the outcome added; a list
// without an address column names its columns instead.
TEST(CheckCommandTest, CsvListInCsvOut)
{
    const CheckRun run = runCheck({"--csv", "--jobs", "2", "-"}, world(),
                                  "Name,E-mail\r\n\"Doe, J\",c@good.test\r\nX,\"bad address\"\r\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "Name,E-mail,Code,Message,Sender reply,Recipient reply,Verdict,Reason\n"
                       "\"Doe, J\",c@good.test,4,,250 Ok,\"550-No such user\r\n550\tBye\","
                       "undeliverable,mailbox_unknown\n"
                       "X,\"bad address\",1,Invalid Email Format,,,undeliverable,bad_syntax\n");

    const CheckRun none = runCheck({"--csv", "-"}, world(), "a,b\n1,2\n");
    EXPECT_EQ(none.exitCode, 2);
    ASSERT_EQ(none.errLines.size(), 1);
    EXPECT_TRUE(none.errLines[0].endsWith("(columns: a, b)")) << none.errLines[0].toStdString();
    EXPECT_EQ(runCheck({"--csv", "a@b.c"}, world()).exitCode, 2);
}

// A run again over the same list checks only what has no recorded outcome
// and prints every line in input order; another list starts afresh.
TEST(CheckCommandTest, JournalSkipsRecordedAddresses)
{
    QTemporaryDir dir;
    const QString journal = dir.filePath(QStringLiteral("check.journal"));
    const ComponentFactory broken = brokenFactory();
    const QByteArray list = "c@good.test\nbad address\nb@refusing.test\n";
    const QStringList all{
        "4\tc@good.test\t\t550-No such user\\r\\n550\\tBye\tundeliverable\tmailbox_unknown",
        "1\tbad address\tInvalid Email Format\t\tundeliverable\tbad_syntax",
        "3\tb@refusing.test\tConnection refused\t\tunknown\tconnection_failed"};

    // Nothing can be checked: the run fails, each address says why, nothing is recorded.
    const CheckRun first = runCheck({"--journal", journal, "-"}, broken, list);
    EXPECT_EQ(first.exitCode, 1);
    EXPECT_TRUE(first.lines.isEmpty());
    ASSERT_EQ(first.errLines.size(), 3);
    EXPECT_TRUE(first.errLines[0].contains("c@good.test was not checked: no sockets left"));
    const CheckRun second = runCheck({"--journal", journal, "-"}, world(), list);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.lines, all);
    // Ordered per domain, the recorded addresses are passed over too.
    const CheckRun third = runCheck({"--journal", journal, "--per-domain", "1", "-"}, broken, list);
    EXPECT_EQ(third.exitCode, 0);
    EXPECT_EQ(third.lines, all);
    EXPECT_TRUE(third.errLines.isEmpty());

    const CheckRun other = runCheck({"--journal", journal, "-"}, broken, list + "d@good.test\n");
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_TRUE(other.lines.isEmpty());
}
