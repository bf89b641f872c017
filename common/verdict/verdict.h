#pragma once

#include <QStringView>
#include <QtGlobal>

namespace corvanta {

// What a list owner does with an address.
enum class Verdict : quint8
{
    Deliverable,   // keep it
    Undeliverable, // delete it: the mailbox or the domain cannot receive mail
    Risky,         // it may receive mail, but the check cannot vouch for it
    Unknown,       // the check could not judge the mailbox; check it again later
};

// Why, as a stable keyword (reasonKeyword()). New reasons are added at the
// end so that stored numbers keep their meaning.
enum class Reason : quint8
{
    Accepted,         // the server accepted the recipient
    BadSyntax,        // the address is malformed
    NoMailServer,     // no MX, a null MX, or the domain does not exist
    MailboxUnknown,   // the server says there is no such mailbox
    MailboxDisabled,  // the mailbox exists but is switched off
    MailboxFull,      // the mailbox is over its quota
    AcceptAll,        // accepted, but so is any made-up address of the domain
    Greylisted,       // asked to come back in a few minutes
    TemporaryFailure, // any other temporary refusal
    RateLimited,      // the server is limiting how often we may ask
    BlockedByPolicy,  // refused for who is asking (IP, block list, reputation)
    TlsRequired,      // the server wants an encrypted session first
    SenderRefused,    // the sender was refused, so the recipient was never judged
    ConnectionFailed, // no mail server could be reached, or the session broke off
    TimedOut,         // a mail server did not answer in time
    DnsFailure,       // the look-up failed (time-out, SERVFAIL): not "no mail server"
    Unverifiable,     // 252: the server will not say whether the mailbox exists
    ServerError,      // a refusal that says nothing about the mailbox
};

struct Judgement
{
    Verdict verdict = Verdict::Unknown;
    Reason reason = Reason::TemporaryFailure;

    friend bool operator==(const Judgement&, const Judgement&) = default;
};

// One finished verification: its outcome code (0 valid, 1 bad format, 2 no
// mail server, 3 connection failed, 4 recipient refused, 5 sender refused),
// the server's whole replies to MAIL FROM and RCPT TO, and the object's
// message. The views must stay valid during the call only.
struct VerificationFacts
{
    qint32 code = 0;
    QStringView fromReply;
    QStringView rcptReply;
    QStringView message;
};

// The verdict of one verification. Pure and thread-safe; costs about a
// microsecond. The outcome code decides which reply counts; within a reply
// the three-digit code, then the enhanced status code, then well-known texts
// decide (see replytable.cpp for the table and its sources).
Judgement judge(const VerificationFacts& facts);

// The one text judge() reads for an outcome code, so that a caller whose
// every read is a round trip fetches only that one.
enum class DecidingText
{
    None,
    RcptReply,
    FromReply,
    Message,
};
DecidingText decidingText(qint32 code);

// The judgement of an address whose domain accepted a made-up address too:
// a deliverable address becomes risky / accept_all, anything else stays.
Judgement withAcceptAll(Judgement judgement);

// "deliverable", "undeliverable", "risky", "unknown".
const char* verdictKeyword(Verdict verdict);
// "accepted", "bad_syntax", "no_mail_server", ... (lower case, stable).
const char* reasonKeyword(Reason reason);

} // namespace corvanta
