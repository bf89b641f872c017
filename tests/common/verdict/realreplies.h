#pragma once

// Replies that real mail servers send, as providers document them and as
// they turn up in bounce reports, each with the verdict a list owner should
// get. Addresses and IP addresses are replaced by example ones. Used by the
// classifier's test and by its benchmark.

#include "verdict.h"

namespace corvanta::testing {

struct RealReply
{
    qint32 code;       // outcome of the verification
    const char* reply; // to RCPT TO (codes 0 and 4), MAIL FROM (5); else empty
    const char* message;
    Verdict verdict;
    Reason reason;
};

// clang-format off
inline constexpr RealReply kRealReplies[] = {
    // Gmail
    {4, "550-5.1.1 The email account that you tried to reach does not exist. Please try\r\n"
        "550-5.1.1 double-checking the recipient's email address for typos or\r\n"
        "550-5.1.1 unnecessary spaces. Learn more at\r\n"
        "550 5.1.1  https://support.google.com/mail/?p=NoSuchUser a1si12 - gsmtp",
     "", Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "550-5.2.1 The email account that you tried to reach is disabled. Learn more at\r\n"
        "550 5.2.1  https://support.google.com/mail/?p=DisabledUser x12si34 - gsmtp",
     "", Verdict::Undeliverable, Reason::MailboxDisabled},
    {4, "552-5.2.2 The email account that you tried to reach is over quota. Please direct\r\n"
        "552 5.2.2 the recipient to https://support.google.com/mail/?p=OverQuotaPerm z5si1 - gsmtp",
     "", Verdict::Risky, Reason::MailboxFull},
    {4, "452-4.2.2 The email account that you tried to reach is over quota. Please direct\r\n"
        "452 4.2.2 the recipient to https://support.google.com/mail/?p=OverQuotaTemp q7si2 - gsmtp",
     "", Verdict::Unknown, Reason::MailboxFull},
    {4, "450-4.2.1 The user you are trying to contact is receiving mail too quickly. Please\r\n"
        "450 4.2.1 resend your message at a later time. y3si9 - gsmtp",
     "", Verdict::Unknown, Reason::RateLimited},
    {4, "421-4.7.28 [203.0.113.5] Our system has detected an unusual rate of\r\n"
        "421 4.7.28 unsolicited mail originating from your IP address. a1si2 - gsmtp",
     "", Verdict::Unknown, Reason::RateLimited},
    {4, "550-5.7.1 [203.0.113.5] Our system has detected that this message is\r\n"
        "550 5.7.1 likely unsolicited mail. b2si3 - gsmtp",
     "", Verdict::Unknown, Reason::BlockedByPolicy},
    {4, "421-4.7.0 [203.0.113.5] Our system has detected that this message is suspicious due\r\n"
        "421 4.7.0 to the very low reputation of the sending IP address. d1si2 - gsmtp",
     "", Verdict::Unknown, Reason::BlockedByPolicy},
    {5, "530 5.7.0 Must issue a STARTTLS command first. d4si5 - gsmtp",
     "", Verdict::Unknown, Reason::TlsRequired},
    {4, "553-5.1.3 The recipient address <bad..dots@gmail.com> is not a valid RFC-5321\r\n"
        "553 5.1.3 address. e5si6 - gsmtp",
     "", Verdict::Undeliverable, Reason::BadSyntax},
    {0, "250 2.1.5 OK f6si7 - gsmtp", "", Verdict::Deliverable, Reason::Accepted},

    // Microsoft: Outlook.com, Hotmail, Exchange Online and Exchange Server
    {4, "550 5.5.0 Requested action not taken: mailbox unavailable (S2017062302). "
        "[BN1NAM02FT045.eop-nam02.prod.protection.outlook.com]",
     "", Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "550 5.1.10 RESOLVER.ADR.RecipientNotFound; Recipient nobody@contoso.com not found by "
        "SMTP address lookup",
     "", Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "550 5.4.1 Recipient address rejected: Access denied. AS(201806281) "
        "[DM6NAM12FT012.eop-nam12.prod.protection.outlook.com]",
     "", Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "550 5.7.606 Access denied, banned sending IP [203.0.113.5]. To request removal from "
        "this list please visit https://sender.office.com/ and follow the directions.",
     "", Verdict::Unknown, Reason::BlockedByPolicy},
    {4, "451 4.7.500 Server busy. Please try again later from [203.0.113.5]. (S77714) "
        "[VE1EUR03FT012.eop-EUR03.prod.protection.outlook.com]",
     "", Verdict::Unknown, Reason::RateLimited},
    {4, "452 4.5.3 Too many recipients", "", Verdict::Unknown, Reason::RateLimited},
    {4, "552 5.2.2 STOREDRV.Deliver; mailbox full", "", Verdict::Risky, Reason::MailboxFull},

    // Yahoo and AOL
    {4, "554 delivery error: dd This user doesn't have a yahoo.com account (nobody@yahoo.com) "
        "[0] - mta1234.mail.bf1.yahoo.com",
     "", Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "554 delivery error: dd Sorry your message to someone@yahoo.com cannot be delivered. "
        "This mailbox is disabled (554.30). - mta1021.mail.gq1.yahoo.com",
     "", Verdict::Undeliverable, Reason::MailboxDisabled},
    {4, "553 5.7.1 [BL21] Connections will not be accepted from 203.0.113.5, because the ip is "
        "in Spamhaus's list; see http://postmaster.yahoo.com/550-bl23.html",
     "", Verdict::Unknown, Reason::BlockedByPolicy},
    {4, "421 4.7.0 [TSS04] Messages from 203.0.113.5 temporarily deferred due to unexpected "
        "volume or user complaints - 4.16.55.1; see https://postmaster.yahooinc.com/error-codes",
     "", Verdict::Unknown, Reason::RateLimited},
    {4, "552 1 Requested mail action aborted, mailbox not found", "",
     Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "550 5.1.1 <nobody@aol.com>: Recipient address rejected: aol.com", "",
     Verdict::Undeliverable, Reason::MailboxUnknown},

    // Apple iCloud
    {4, "554 5.7.1 [CS01] Message rejected due to local policy. Please visit "
        "https://support.apple.com/en-us/HT204137",
     "", Verdict::Unknown, Reason::BlockedByPolicy},

    // Other large providers and filtering services
    {4, "554 resimta-h1p-028598.sys.comcast.net 203.0.113.5 found on one or more DNSBLs, see "
        "http://postmaster.comcast.net/smtp-error-codes.php#BL000010",
     "", Verdict::Unknown, Reason::BlockedByPolicy},
    // Yandex says "no such user" with a policy code; a policy code never
    // condemns a mailbox, so the address stays unknown.
    {4, "550 5.7.1 No such user!", "", Verdict::Unknown, Reason::BlockedByPolicy},
    {4, "550 Mailbox not found. http://service.mail.qq.com/cgi-bin/help?subtype=1&&id=20022",
     "", Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "550 Message was not accepted -- invalid mailbox.  Local mailbox nobody@mail.ru is "
        "unavailable: user not found",
     "", Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "550 Requested action not taken: mailbox unavailable", "",
     Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "550 nobody@earthlink.net...User unknown", "",
     Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "550 nobody@juno.com is not a valid user", "",
     Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "550 Invalid Recipient - https://community.mimecast.com/docs/DOC-1369#550", "",
     Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "451 Open relay not allowed - https://community.mimecast.com/docs/DOC-1369#451", "",
     Verdict::Unknown, Reason::BlockedByPolicy},
    {4, "554 Service unavailable; Client host [203.0.113.5] blocked using Barracuda Reputation, "
        "http://www.barracudanetworks.com/reputation/?r=1&ip=203.0.113.5",
     "", Verdict::Unknown, Reason::BlockedByPolicy},

    // Postfix defaults
    // Neither "relay" in the table's name nor words in the quoted address
    // make it a policy refusal.
    {4, "550 5.1.1 <spam.policy@example.org>: Recipient address rejected: User unknown in relay "
        "recipient table",
     "", Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "554 5.7.1 <someone@example.net>: Relay access denied", "",
     Verdict::Unknown, Reason::BlockedByPolicy},
    {4, "450 4.7.1 Client host rejected: cannot find your hostname, [203.0.113.5]", "",
     Verdict::Unknown, Reason::BlockedByPolicy},
    {4, "554 5.7.1 Service unavailable; Client host [203.0.113.5] blocked using zen.spamhaus.org; "
        "https://www.spamhaus.org/query/ip/203.0.113.5",
     "", Verdict::Unknown, Reason::BlockedByPolicy},
    {4, "450 4.2.0 <someone@example.org>: Recipient address rejected: Greylisted, see "
        "http://postgrey.schweikert.ch/help/example.org.html",
     "", Verdict::Unknown, Reason::Greylisted},
    // Postfix reports its sender checks in the reply to RCPT TO.
    {4, "553 5.1.8 <checker@corvanta.test>: Sender address rejected: Domain not found", "",
     Verdict::Unknown, Reason::SenderRefused},
    {4, "450 4.1.1 <someone@example.org>: Recipient address rejected: unverified address: host "
        "mx.example.org[198.51.100.7] said: 550 5.1.1 User unknown",
     "", Verdict::Unknown, Reason::TemporaryFailure},
    {4, "452 4.3.1 Insufficient system storage", "", Verdict::Unknown, Reason::TemporaryFailure},
    {4, "504 5.5.2 <localhost>: Helo command rejected: need fully-qualified hostname", "",
     Verdict::Unknown, Reason::BlockedByPolicy},
    {4, "552 5.2.2 <someone@example.org> Quota exceeded (mailbox for user is full)", "",
     Verdict::Risky, Reason::MailboxFull},
    {5, "554 5.7.1 <checker@corvanta.test>: Sender address rejected: Access denied", "",
     Verdict::Unknown, Reason::SenderRefused},
    {3, "", "The mail server mx.example.org refused the connection: 421 4.7.0 mx.example.org "
            "Error: too many connections from 203.0.113.5",
     Verdict::Unknown, Reason::RateLimited},

    // Exim defaults
    {4, "550 Unrouteable address", "", Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "550-Verification failed for <checker@corvanta.test>\r\n550-Unrouteable address\r\n"
        "550 Sender verify failed",
     "", Verdict::Unknown, Reason::SenderRefused},
    {4, "550 No Such User Here", "", Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "550 Administrative prohibition", "", Verdict::Unknown, Reason::BlockedByPolicy},
    {4, "550 relay not permitted", "", Verdict::Unknown, Reason::BlockedByPolicy},
    {4, "421 Too many concurrent SMTP connections; please try again later.", "",
     Verdict::Unknown, Reason::RateLimited},
    {4, "550 Rejected because 203.0.113.5 is in a black list at zen.spamhaus.org", "",
     Verdict::Unknown, Reason::BlockedByPolicy},
    {4, "451 4.7.1 Greylisting in action, please come back later", "",
     Verdict::Unknown, Reason::Greylisted},
    {4, "451 Could not complete sender verify callout", "",
     Verdict::Unknown, Reason::TemporaryFailure},

    // Sendmail defaults
    {5, "553 5.1.8 <checker@nowhere.invalid>... Domain of sender address "
        "checker@nowhere.invalid does not exist",
     "", Verdict::Unknown, Reason::SenderRefused},
    {4, "550 5.7.1 <someone@example.net>... Relaying denied", "",
     Verdict::Unknown, Reason::BlockedByPolicy},
    {4, "550 5.2.1 <someone@example.com>... Mailbox disabled for this recipient", "",
     Verdict::Undeliverable, Reason::MailboxDisabled},
    {3, "", "The mail server mx.example.com refused the connection: 421 4.3.2 Connection rate "
            "limit exceeded.",
     Verdict::Unknown, Reason::RateLimited},
    {4, "551 User not local; please try <someone@example.org>", "",
     Verdict::Undeliverable, Reason::MailboxUnknown},
    {5, "451 4.1.8 Domain of sender address checker@corvanta.test does not resolve", "",
     Verdict::Unknown, Reason::SenderRefused},

    // qmail, which puts the enhanced code at the end
    {4, "550 sorry, no mailbox here by that name. (#5.1.1)", "",
     Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "553 sorry, that domain isn't in my list of allowed rcpthosts (#5.7.1)", "",
     Verdict::Unknown, Reason::BlockedByPolicy},
    {4, "451 qqt failure (#4.3.0)", "", Verdict::Unknown, Reason::TemporaryFailure},

    // Three-digit codes with nothing else to go by (RFC 5321, RFC 7504)
    {4, "550", "", Verdict::Undeliverable, Reason::MailboxUnknown},
    {4, "554 Transaction failed", "", Verdict::Unknown, Reason::BlockedByPolicy},
    {0, "252 2.1.5 Cannot VRFY user, but will accept message and attempt delivery", "",
     Verdict::Risky, Reason::Unverifiable},
    {0, "251 2.1.5 User not local; will forward to <someone@example.org>", "",
     Verdict::Deliverable, Reason::Accepted},
    {3, "", "The mail server mx.example.com refused the connection: 521 5.3.2 mx.example.com "
            "does not accept mail",
     Verdict::Undeliverable, Reason::NoMailServer},
    {4, "503 5.5.1 Error: need MAIL command", "", Verdict::Unknown, Reason::ServerError},
    {4, "501 5.1.3 Bad recipient address syntax", "", Verdict::Undeliverable, Reason::BadSyntax},
    {4, "", "", Verdict::Unknown, Reason::ServerError},

    // A sender refused without a reason, or for the moment
    {5, "501 5.1.7 Bad sender address syntax", "", Verdict::Unknown, Reason::SenderRefused},
    {5, "421 4.3.2 Service shutting down", "", Verdict::Unknown, Reason::TemporaryFailure},

    // What this program's own resolver and SMTP client report
    {1, "", "Invalid Email Format", Verdict::Undeliverable, Reason::BadSyntax},
    {2, "", "The domain nowhere.test does not exist (NXDOMAIN)",
     Verdict::Undeliverable, Reason::NoMailServer},
    {2, "", "The domain accepts no mail (null MX)", Verdict::Undeliverable, Reason::NoMailServer},
    {2, "", "The DNS server failed to answer for The domain x.test (SERVFAIL)",
     Verdict::Unknown, Reason::DnsFailure},
    {2, "", "The DNS look-up of x.test timed out after 30000 ms",
     Verdict::Unknown, Reason::DnsFailure},
    {3, "", "Could not connect to mx.example.com: Connection refused",
     Verdict::Unknown, Reason::ConnectionFailed},
    {3, "", "Could not connect to mx.example.com: no connection within 120000 ms",
     Verdict::Unknown, Reason::TimedOut},
    {3, "", "The mail server's reply to RCPT did not arrive within 120000 ms",
     Verdict::Unknown, Reason::TimedOut},
    {3, "", "Could not find the mail server mx.gone.test: The host mx.gone.test does not exist "
            "(NXDOMAIN)",
     Verdict::Unknown, Reason::DnsFailure},
    {3, "", "The mail server mx.example.com refused the connection: 554 5.7.1 Service "
            "unavailable; Client host [203.0.113.5] blocked using zen.spamhaus.org",
     Verdict::Unknown, Reason::BlockedByPolicy},
};
// clang-format on

} // namespace corvanta::testing
