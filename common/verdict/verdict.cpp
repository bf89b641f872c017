#include "verdict.h"

#include "replytable.h"

namespace corvanta {

namespace {

using R = Reason;
using V = Verdict;

// The outcome codes of a verification.
enum : qint32
{
    OutcomeValid = 0,
    OutcomeFormat = 1,
    OutcomeDomain = 2,
    OutcomeConnect = 3,
    OutcomeBadUser = 4,
    OutcomeBadFrom = 5,
};

// A temporary refusal never judges the mailbox: it is unknown whatever it
// says. Its reason says what to do about it (wait, slow down, fix TLS).
Judgement temporaryRefusal(const replytable::Reading& reply)
{
    if (reply.text && (replytable::aboutTheChecker(*reply.text) || *reply.text == R::MailboxFull))
        return {V::Unknown, *reply.text};
    if (const auto byCode = replytable::byStatusCode(reply.subject, reply.detail)) {
        if (byCode->reason == R::MailboxFull || byCode->reason == R::SenderRefused)
            return {V::Unknown, byCode->reason};
    }
    return {V::Unknown, R::TemporaryFailure};
}

// The reply to RCPT TO. The three-digit code sets the class. Within a
// permanent refusal, whatever says the refusal is about us (policy, block
// lists, limits, TLS, the sender) comes before the codes, because such a
// refusal must never condemn a mailbox; then the enhanced code; then the
// texts about mailboxes; then the three-digit code alone.
Judgement recipientReply(QStringView text)
{
    const replytable::Reading reply = replytable::read(text);
    const int kind = reply.code / 100;
    if (kind == 4)
        return temporaryRefusal(reply);
    if (kind != 5)
        return {V::Unknown, R::ServerError};
    if (reply.text && replytable::aboutTheChecker(*reply.text))
        return {V::Unknown, *reply.text};
    if (reply.subject == 7)
        return {V::Unknown, R::BlockedByPolicy};
    if (const auto byCode = replytable::byStatusCode(reply.subject, reply.detail))
        return *byCode;
    if (reply.text) {
        switch (*reply.text) {
        case R::MailboxFull:
            return {V::Risky, R::MailboxFull};
        case R::MailboxDisabled:
        case R::MailboxUnknown:
            return {V::Undeliverable, *reply.text};
        default:
            break;
        }
    }
    // Mail system, routing, protocol and content statuses (X.3 to X.6) do
    // not speak of the mailbox.
    if (reply.subject >= 3 && reply.subject <= 6)
        return {V::Unknown, R::ServerError};
    return replytable::byPermanentCode(reply.code);
}

// The reply to MAIL FROM: the recipient was never asked, so the verdict is
// unknown; the reason says why the sender was turned away when the reply
// tells.
Judgement senderReply(QStringView text)
{
    const replytable::Reading reply = replytable::read(text);
    if (reply.text && replytable::aboutTheChecker(*reply.text))
        return {V::Unknown, *reply.text};
    if (reply.code / 100 == 4)
        return {V::Unknown, R::TemporaryFailure};
    return {V::Unknown, R::SenderRefused};
}

// No MX records, a null MX or a domain that does not exist mean no mail
// server; a look-up that failed means nothing about the domain.
Judgement lookupFailure(QStringView message)
{
    if (replytable::engineFailure(message) == replytable::EngineFailure::DnsFailure)
        return {V::Unknown, R::DnsFailure};
    return {V::Undeliverable, R::NoMailServer};
}

// No mail server could be used. A server that refused us at its greeting
// said why in its reply; otherwise the engine's description tells a
// time-out from a refused or broken connection.
Judgement connectionFailure(QStringView message)
{
    const QStringView greeting = replytable::embeddedReply(message);
    if (!greeting.isEmpty()) {
        const replytable::Reading reply = replytable::read(greeting);
        if (reply.text && replytable::aboutTheChecker(*reply.text))
            return {V::Unknown, *reply.text};
        if (reply.code == 521 || reply.code == 556)
            return {V::Undeliverable, R::NoMailServer};
        if (reply.code / 100 == 4)
            return {V::Unknown, R::TemporaryFailure};
        if (reply.code / 100 == 5)
            return {V::Unknown, R::BlockedByPolicy};
    }
    switch (replytable::engineFailure(message)) {
    case replytable::EngineFailure::TimedOut:
        return {V::Unknown, R::TimedOut};
    case replytable::EngineFailure::DnsFailure:
    case replytable::EngineFailure::HostNotFound:
        return {V::Unknown, R::DnsFailure};
    case replytable::EngineFailure::None:
        break;
    }
    return {V::Unknown, R::ConnectionFailed};
}

} // namespace

Judgement judge(const VerificationFacts& facts)
{
    switch (facts.code) {
    case OutcomeValid:
        // 252: the server takes the message but would not say whether the
        // mailbox exists.
        return facts.rcptReply.startsWith(u"252") ? Judgement{V::Risky, R::Unverifiable}
                                                  : Judgement{V::Deliverable, R::Accepted};
    case OutcomeFormat:
        return {V::Undeliverable, R::BadSyntax};
    case OutcomeDomain:
        return lookupFailure(facts.message);
    case OutcomeConnect:
        return connectionFailure(facts.message);
    case OutcomeBadUser:
        return recipientReply(facts.rcptReply);
    case OutcomeBadFrom:
        return senderReply(facts.fromReply);
    default:
        return {V::Unknown, R::ServerError};
    }
}

DecidingText decidingText(qint32 code)
{
    switch (code) {
    case OutcomeValid:
    case OutcomeBadUser:
        return DecidingText::RcptReply;
    case OutcomeBadFrom:
        return DecidingText::FromReply;
    case OutcomeDomain:
    case OutcomeConnect:
        return DecidingText::Message;
    default:
        return DecidingText::None;
    }
}

Judgement withAcceptAll(Judgement judgement)
{
    if (judgement.verdict == V::Deliverable)
        return {V::Risky, R::AcceptAll};
    return judgement;
}

const char* verdictKeyword(Verdict verdict)
{
    switch (verdict) {
    case V::Deliverable:
        return "deliverable";
    case V::Undeliverable:
        return "undeliverable";
    case V::Risky:
        return "risky";
    case V::Unknown:
        break;
    }
    return "unknown";
}

const char* reasonKeyword(Reason reason)
{
    switch (reason) {
    case R::Accepted:
        return "accepted";
    case R::BadSyntax:
        return "bad_syntax";
    case R::NoMailServer:
        return "no_mail_server";
    case R::MailboxUnknown:
        return "mailbox_unknown";
    case R::MailboxDisabled:
        return "mailbox_disabled";
    case R::MailboxFull:
        return "mailbox_full";
    case R::AcceptAll:
        return "accept_all";
    case R::Greylisted:
        return "greylisted";
    case R::TemporaryFailure:
        return "temporary_failure";
    case R::RateLimited:
        return "rate_limited";
    case R::BlockedByPolicy:
        return "blocked_by_policy";
    case R::TlsRequired:
        return "tls_required";
    case R::SenderRefused:
        return "sender_refused";
    case R::ConnectionFailed:
        return "connection_failed";
    case R::TimedOut:
        return "timed_out";
    case R::DnsFailure:
        return "dns_failure";
    case R::Unverifiable:
        return "unverifiable";
    case R::ServerError:
        break;
    }
    return "server_error";
}

} // namespace corvanta
