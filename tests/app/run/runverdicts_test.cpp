#include "harness.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace corvanta;
using namespace corvanta::test;

namespace {

// all.test and late.test take any address, strict.test only its real users,
// none.test nobody, grey.test greylists. The last domain's probe can only
// start once every row has its outcome.
const QList<QByteArray> kList{"real1@all.test",    "real2@all.test",    "real1@strict.test",
                              "fake1@strict.test", "real2@strict.test", "x@none.test",
                              "y@grey.test",       "z@late.test"};

void scriptDomains(FakeFactory& factory)
{
    factory.script = [](const QString& address) {
        const QString domain = address.section(u'@', 1);
        const bool accepted =
            domain == QLatin1String("all.test") || domain == QLatin1String("late.test") ||
            (domain == QLatin1String("strict.test") && address.startsWith(QLatin1String("real")));
        return accepted ? verifyValid : verifyBadUser;
    };
    factory.rcptReplyFor = [&factory](const QString& address) {
        if (factory.codeFor(address) == verifyValid)
            return QStringLiteral("250 2.1.5 Ok");
        if (address.endsWith(QLatin1String("@grey.test")))
            return QStringLiteral("450 4.7.1 greylisted, try again later");
        return QStringLiteral("550 5.1.1 No such user");
    };
}

// The made-up addresses handed out, by domain.
std::map<QString, int> probesByDomain(const QStringList& dispatched)
{
    static const QRegularExpression madeUp(QStringLiteral("^[a-z0-9]{20}@"));
    std::map<QString, int> probes;
    for (const QString& address : dispatched)
        if (madeUp.match(address).hasMatch())
            ++probes[address.section(u'@', 1)];
    return probes;
}

QStringList verdicts(const FakeReport& report)
{
    QStringList out;
    for (const auto& row : report.rows)
        out << (row.verdict ? QString::fromLatin1(verdictKeyword(row.verdict->verdict)) + u'/' +
                                  QLatin1String(reasonKeyword(row.verdict->reason))
                            : QStringLiteral("-"));
    return out;
}

} // namespace

TEST(RunVerdicts, OneProbePerAcceptedDomainOnAPoolVerifierThatIsNoRowAndNoStatistic)
{
    Harness h;
    h.settings.ReadReplyCodes = true;
    h.settings.ProbeAcceptAll = true;
    scriptDomains(h.factory);
    h.openList(kList);
    h.state.ThreadCount = 2;
    runToEnd(h);

    EXPECT_EQ(probesByDomain(h.factory.dispatched),
              (std::map<QString, int>{{"all.test", 1}, {"late.test", 1}, {"strict.test", 1}}));
    EXPECT_EQ(h.factory.dispatched.size(), kList.size() + 3);
    EXPECT_EQ(h.factory.created, 2) << "probes use the pool's verifiers";
    EXPECT_EQ(h.report.recordCount(), kList.size());
    EXPECT_EQ(counts(h), std::tuple(8, 5, 3));
    EXPECT_EQ(h.status.label(StatusLabel::Percent), "100%");
    EXPECT_EQ(
        verdicts(h.report),
        (QStringList{"risky/accept_all", "risky/accept_all", "deliverable/accepted",
                     "undeliverable/mailbox_unknown", "deliverable/accepted",
                     "undeliverable/mailbox_unknown", "unknown/greylisted", "risky/accept_all"}));
    EXPECT_TRUE(h.shell.messages.isEmpty()) << h.shell.messages.join('\n').toStdString();
}

TEST(RunVerdicts, TheSwitchesOffLeaveTheRunAsItWas)
{
    for (const bool frame : {false, true}) {
        Harness h;
        h.settings.ReadReplyCodes = frame;
        h.settings.ProbeAcceptAll = !frame; // the probe alone needs the frame
        scriptDomains(h.factory);
        h.openList(kList);
        runToEnd(h);
        EXPECT_TRUE(probesByDomain(h.factory.dispatched).empty()) << frame;
        EXPECT_EQ(h.state.ValidatedCount, 8);
        EXPECT_EQ(verdicts(h.report).first(), frame ? "deliverable/accepted" : "-");
    }
}
