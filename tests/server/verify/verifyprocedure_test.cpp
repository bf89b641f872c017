#include "scriptedcomponents.h"
#include "verifyprocedure.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <utility>
#include <vector>

using namespace corvanta;
using namespace corvanta::testing;

namespace {

using Step = std::pair<qint32, QString>;

// Components, state and the steps they raised, for one or more runs.
struct ProcedureRig
{
    ProcedureRig()
    {
        state.eventsEnabled = true;
        state.fromAddress = QStringLiteral("probe@sender.test");
        dns->answer = {{QStringLiteral("mx1.example.com")}, {QStringLiteral("192.0.2.1")}};
        smtp->replies = {QStringLiteral("250 2.1.0 Ok"), QStringLiteral("250 2.1.5 Ok")};
    }

    void run(const QString& address = QStringLiteral("john.doe@example.com"))
    {
        VerifyProcedure procedure(state, dnsComponent, smtpComponent,
                                  [this](qint32 m, const QString& d) { steps.emplace_back(m, d); });
        procedure.VerifyAddress(address);
    }

    std::vector<qint32> methods() const
    {
        std::vector<qint32> out;
        for (const Step& s : steps)
            out.push_back(s.first);
        return out;
    }

    std::shared_ptr<DnsScript> dns = std::make_shared<DnsScript>();
    std::shared_ptr<SmtpScript> smtp = std::make_shared<SmtpScript>();
    ScriptedDns dnsComponent{dns};
    ScriptedSmtp smtpComponent{smtp};
    VerifyState state;
    std::vector<Step> steps;
};

class ProcedureTest : public ::testing::Test, public ProcedureRig
{
};

using Methods = std::vector<qint32>;

} // namespace

TEST_F(ProcedureTest, BadFormatStopsBeforeAnyNetworkWork)
{
    for (const char* bad : {" john@example.com", "john@example.com ", "jo@hn@example.com",
                            "john@examplecom", "john.@example.com", ""}) {
        SCOPED_TRACE(bad);
        steps.clear();
        state.result = verifyBadUser;
        state.smtpReplies = QStringLiteral("left from before");
        state.recptReply = QStringLiteral("250 old");
        run(QString::fromLatin1(bad));
        EXPECT_EQ(state.result, verifyFormat);
        EXPECT_EQ(state.message, QStringLiteral("Invalid Email Format"));
        EXPECT_EQ(methods(), Methods{3});
        EXPECT_TRUE(state.smtpReplies.isEmpty());
        EXPECT_TRUE(state.recptReply.isEmpty());
    }
    EXPECT_TRUE(dns->queries.isEmpty());
    EXPECT_TRUE(smtp->connects.isEmpty());
}

TEST_F(ProcedureTest, LookupHandsOverSettingsAndTheWholeAddress)
{
    // Only the first DNS server counts; with none the resolver keeps its own.
    const std::pair<QStringList, QString> lists[] = {
        {{QStringLiteral("10.1.1.1"), QStringLiteral("10.2.2.2")}, QStringLiteral("10.1.1.1")},
        {{}, QStringLiteral("resolver's own")},
    };
    for (const auto& [servers, used] : lists) {
        dns->server = QStringLiteral("resolver's own");
        state.dnsServers = servers;
        run();
        EXPECT_EQ(dns->server, used);
    }
    state.dnsServerPort = 5353;
    state.dnsTimeout = 1234;
    state.smtpTimeout = 4321;
    dns->queries.clear();
    run(QStringLiteral("Mixed.Case@Example.COM"));
    EXPECT_EQ(dns->queries, QStringList{QStringLiteral("Mixed.Case@Example.COM")});
    EXPECT_EQ(dns->port, 5353);
    EXPECT_EQ(dns->timeout, 1234);
    EXPECT_EQ(smtp->timeout, 4321);
}

TEST_F(ProcedureTest, AcceptedRecipientWalksEveryStepAndLogsOut)
{
    dns->answer = {{QStringLiteral("mx1.example.com"), QStringLiteral("mx2.example.com")},
                   {QStringLiteral("192.0.2.1"), QStringLiteral("192.0.2.2")}};
    smtp->replies = {QStringLiteral("250 Ok"), QStringLiteral("250 Ok")};
    run();
    EXPECT_EQ(state.smtpReplies,
              QStringLiteral("Connecting to mx1.example.com\r\n250 Ok\r\n250 Ok\r\n"));
    EXPECT_EQ(state.fromReply, QStringLiteral("250 Ok"));
    EXPECT_EQ(state.recptReply, QStringLiteral("250 Ok"));
    EXPECT_EQ(smtp->commands, (QStringList{QStringLiteral("MAIL FROM:<probe@sender.test>"),
                                           QStringLiteral("RCPT TO:<john.doe@example.com>")}));
    EXPECT_EQ(smtp->connects, QStringList{QStringLiteral("mx1.example.com")});
    const std::vector<Step> expected{
        {3, "Format check"},
        {4, "OK Format check"},
        {5, "Resolving mail servers"},
        {1, "mx1.example.com"},
        {1, "mx2.example.com"},
        {6, "Resolved mail servers"},
        {7, "Connecting to mx1.example.com"},
        {9, "Connected to mail server"},
        {10, "Sending Mail From"},
        {11, "OK Mail From"},
        {13, "Sending RCPT TO"},
        {14, "OK RCPT TO"},
        {16, "Good Address"},
        {17, "Logout"},
    };
    EXPECT_EQ(steps, expected);
}

TEST_F(ProcedureTest, RefusingFirstServerLeavesTheDecisionToTheNext)
{
    dns->answer = {{QStringLiteral("mx1.example.com"), QStringLiteral("mx2.example.com")},
                   {QString(), QString()}};
    smtp->hosts[QStringLiteral("mx1.example.com")].refusal = QStringLiteral("Connection refused");
    smtp->replies = {QStringLiteral("250 Ok"), QStringLiteral("550 5.1.1 No such user")};
    run();
    EXPECT_EQ(state.result, verifyBadUser);
    EXPECT_TRUE(state.smtpReplies.startsWith(QStringLiteral("Connecting to mx2.example.com\r\n")));
    EXPECT_FALSE(state.smtpReplies.contains(QStringLiteral("mx1")));
    EXPECT_EQ(methods(), (Methods{3, 4, 5, 1, 1, 6, 7, 7, 9, 10, 11, 13, 15, 17}));
    // The refusal does not linger as the message of the later refusal.
    EXPECT_TRUE(state.message.isEmpty());
}

TEST_F(ProcedureTest, UnnamedRecordEmptySenderAndOtherTwoHundredReplies)
{
    dns->answer = {{QString()}, {QStringLiteral("192.0.2.7")}};
    state.fromAddress.clear();
    smtp->replies = {QStringLiteral("251 forwarded"), QStringLiteral("252 cannot verify")};
    run();
    EXPECT_EQ(steps.at(3), Step(2, QString()));
    EXPECT_EQ(smtp->connects, QStringList{QStringLiteral("192.0.2.7")});
    EXPECT_EQ(smtp->commands.first(), QStringLiteral("MAIL FROM:<>"));
    EXPECT_EQ(state.result, verifyValid);
}

// Every way a probe can end, each run twice from the state a previous
// address left: with events on (the steps are checked) and off (nothing but
// the events may differ).
TEST(ProcedureOutcomes, EachEndingSetsItsOutcomeWithEventsOnOrOff)
{
    using Setup = std::function<void(DnsScript&, SmtpScript&)>;
    const QString nullMx = QStringLiteral("The domain accepts no mail (null MX)");
    const QString servFail = QStringLiteral("The DNS server failed (SERVFAIL)");
    const QString dropped = QStringLiteral("The connection was dropped");
    const QString longRefusal =
        QStringLiteral("550-5.1.1 The account does not exist\r\n550 5.1.1 Bye");
    const QString mx1 = QStringLiteral("mx1.example.com");
    const QString mx2 = QStringLiteral("mx2.example.com");
    struct Case
    {
        const char* name;
        Setup setup;
        VerifyConstants result;
        std::optional<QString> message; // unset: not checked
        Methods methods;                // empty: not checked
        int commands;
        std::optional<Step> step; // a step that must be among those raised
    };
    const Case cases[] = {
        {"accepted", [](DnsScript&, SmtpScript&) {}, verifyValid, QString(),
         Methods{3, 4, 5, 1, 6, 7, 9, 10, 11, 13, 14, 16, 17}, 2, std::nullopt},
        // The connection is dropped anyway, and the outcome and its (empty)
        // message stand: the earlier address's message does not stay.
        {"failed log-out", [](DnsScript&, SmtpScript& s) { s.logoutFails = true; }, verifyValid,
         QString(), Methods{3, 4, 5, 1, 6, 7, 9, 10, 11, 13, 14, 16, 17}, 2, std::nullopt},
        // No records leaves the earlier message alone.
        {"no records", [](DnsScript& d, SmtpScript&) { d.answer = {}; }, verifyDomain,
         QStringLiteral("before"), Methods{3, 4, 5}, 0, std::nullopt},
        {"look-up error", [&](DnsScript& d, SmtpScript&) { d.error = servFail; }, verifyDomain,
         servFail, Methods{3, 4, 5}, 0, std::nullopt},
        // A null MX: the domain's one record names the root ".". There is no
        // server named "." to connect to.
        {"root record",
         [](DnsScript& d, SmtpScript&) {
             d.answer = {{QStringLiteral(".")}, {QString()}};
         },
         verifyDomain, nullMx, Methods{3, 4, 5}, 0, std::nullopt},
        {"no server reachable",
         [&](DnsScript& d, SmtpScript& s) {
             d.answer = {{mx1, mx2}, {QString(), QString()}};
             s.hosts[mx1].refusal = QStringLiteral("first refusal");
             s.hosts[mx2].refusal = QStringLiteral("second refusal");
         },
         verifyConnectMailServer, QStringLiteral("second refusal"),
         Methods{3, 4, 5, 1, 1, 6, 7, 7, 8}, 0, Step(8, "Can not connect to mail server")},
        {"sender refused",
         [](DnsScript&, SmtpScript& s) { s.replies[0] = QStringLiteral("451 4.7.1 Try later"); },
         verifyBadFrom, std::nullopt, Methods{3, 4, 5, 1, 6, 7, 9, 10, 12, 17}, 1, std::nullopt},
        {"empty sender reply", [](DnsScript&, SmtpScript& s) { s.replies[0] = QString(); },
         verifyBadFrom, std::nullopt, Methods{3, 4, 5, 1, 6, 7, 9, 10, 12, 17}, 1, std::nullopt},
        {"recipient refused", [&](DnsScript&, SmtpScript& s) { s.replies[1] = longRefusal; },
         verifyBadUser, QString(), Methods{3, 4, 5, 1, 6, 7, 9, 10, 11, 13, 15, 17}, 2,
         Step(15, "Error RCPT TO")},
        // A lost connection is never reported as the previous address's outcome.
        {"dropped at sender", [](DnsScript&, SmtpScript& s) { s.dropAtCommand = 0; },
         verifyConnectMailServer, dropped, Methods{}, 1, std::nullopt},
        {"dropped at recipient", [](DnsScript&, SmtpScript& s) { s.dropAtCommand = 1; },
         verifyConnectMailServer, dropped, Methods{}, 2, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VerifyState results[2];
        for (bool events : {false, true}) {
            ProcedureRig rig;
            c.setup(*rig.dns, *rig.smtp);
            rig.state.eventsEnabled = events;
            rig.state.result = c.result == verifyValid ? verifyBadUser : verifyValid;
            rig.state.message = QStringLiteral("before");
            rig.run();
            results[events] = rig.state;
            EXPECT_EQ(rig.steps.empty(), !events);
            if (!events)
                continue;
            EXPECT_EQ(rig.state.result, c.result);
            if (c.message) {
                EXPECT_EQ(rig.state.message, *c.message);
            }
            if (!c.methods.empty()) {
                EXPECT_EQ(rig.methods(), c.methods);
            }
            if (c.step) {
                EXPECT_NE(std::find(rig.steps.begin(), rig.steps.end(), *c.step), rig.steps.end());
            }
            EXPECT_EQ(rig.smtp->commands.size(), c.commands);
            // Every probe that got a connection ends with the log-out step; only
            // a connection still standing is actually logged out.
            EXPECT_EQ(rig.steps.back().first == 17, c.commands > 0);
            EXPECT_EQ(rig.smtp->logouts, c.commands > 0 && c.message != dropped ? 1 : 0);
            EXPECT_EQ(rig.smtpComponent.state(), ISmtpClient::Disconnected);
            if (c.result == verifyDomain) {
                EXPECT_TRUE(rig.smtp->connects.isEmpty());
            }
            if (c.result == verifyBadFrom) {
                EXPECT_EQ(rig.state.fromReply, rig.smtp->replies[0]);
            }
            if (c.result == verifyBadUser) {
                EXPECT_EQ(rig.state.recptReply, longRefusal);
            }
        }
        EXPECT_EQ(results[0].result, results[1].result);
        EXPECT_EQ(results[0].message, results[1].message);
        EXPECT_EQ(results[0].smtpReplies, results[1].smtpReplies);
        EXPECT_EQ(results[0].fromReply, results[1].fromReply);
        EXPECT_EQ(results[0].recptReply, results[1].recptReply);
    }
}

TEST_F(ProcedureTest, AbortIsNoticedAtEachCheckAndSetsNoOutcome)
{
    // During the look-up: no connection is tried.
    state.result = verifyBadFrom;
    dns->duringQuery = [this] {
        state.abortMark = true;
    };
    run();
    EXPECT_EQ(state.result, verifyBadFrom);
    EXPECT_TRUE(smtp->connects.isEmpty());

    // During a connection attempt: nothing is sent, nothing closed.
    dns->duringQuery = nullptr;
    state.abortMark = false;
    smtp->duringConnect = [this](const QString&) {
        state.abortMark = true;
    };
    run();
    EXPECT_EQ(state.result, verifyBadFrom);
    EXPECT_TRUE(smtp->commands.isEmpty());
    EXPECT_EQ(smtp->logouts, 0);
    EXPECT_EQ(steps.back().first, 7);

    // The next run first drops what the aborted one left standing.
    smtp->duringConnect = [this](const QString&) {
        EXPECT_EQ(smtp->aborts, 1);
    };
    state.abortMark = false;
    run();
    EXPECT_EQ(state.result, verifyValid);

    // During the sender command: the recipient is never asked.
    smtp->duringConnect = nullptr;
    smtp->commands.clear();
    state.result = verifyBadFrom;
    smtp->duringCommand = [this](const QString&) {
        state.abortMark = true;
    };
    run();
    EXPECT_EQ(state.result, verifyBadFrom);
    EXPECT_EQ(smtp->commands.size(), 1);

    // An abort that makes the command fail sets no outcome either.
    smtp->commands.clear();
    state.abortMark = false;
    smtp->dropAtCommand = 0;
    run();
    EXPECT_EQ(state.result, verifyBadFrom);
}
