#include "realreplies.h"
#include "verdict.h"

#include <QString>
#include <gtest/gtest.h>
#include <set>
#include <string>

using namespace corvanta;
using corvanta::testing::kRealReplies;

TEST(Verdict, RealWorldRepliesGetTheVerdictAListOwnerCanActOn)
{
    ASSERT_GE(std::size(kRealReplies), 60u);
    for (const auto& row : kRealReplies) {
        // The facts only view their texts, so the texts live as long as the call.
        const QString reply = QString::fromUtf8(row.reply);
        const QString message = QString::fromUtf8(row.message);
        // Only the text the classifier names as deciding is given, as the
        // window fetches no other.
        VerificationFacts facts;
        facts.code = row.code;
        switch (decidingText(row.code)) {
        case DecidingText::RcptReply:
            facts.rcptReply = reply;
            break;
        case DecidingText::FromReply:
            facts.fromReply = reply;
            break;
        case DecidingText::Message:
            facts.message = message;
            break;
        case DecidingText::None:
            break;
        }
        const Judgement got = judge(facts);
        EXPECT_EQ(std::string(verdictKeyword(got.verdict)) + "/" + reasonKeyword(got.reason),
                  std::string(verdictKeyword(row.verdict)) + "/" + reasonKeyword(row.reason))
            << "code " << row.code << ": " << row.reply << row.message;
    }
}

TEST(Verdict, KeywordsAreDistinctAndTheDocumentedOnes)
{
    // A set of the documented size: no two reasons share a keyword.
    std::set<std::string> reasons;
    for (int r = 0; r <= int(Reason::ServerError); ++r)
        reasons.insert(reasonKeyword(Reason(r)));
    EXPECT_EQ(reasons,
              (std::set<std::string>{"accepted", "bad_syntax", "no_mail_server", "mailbox_unknown",
                                     "mailbox_disabled", "mailbox_full", "accept_all", "greylisted",
                                     "temporary_failure", "rate_limited", "blocked_by_policy",
                                     "tls_required", "sender_refused", "connection_failed",
                                     "timed_out", "dns_failure", "unverifiable", "server_error"}));
    std::set<std::string> verdicts;
    for (int v = 0; v <= int(Verdict::Unknown); ++v)
        verdicts.insert(verdictKeyword(Verdict(v)));
    EXPECT_EQ(verdicts,
              (std::set<std::string>{"deliverable", "undeliverable", "risky", "unknown"}));
}
