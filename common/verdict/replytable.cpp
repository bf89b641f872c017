// The codes and texts that decide a verdict, in one place. Each group says
// where its entries come from. Texts are matched in lower case, anywhere in
// the reply; within the text table the first group that matches wins, so the
// groups that say "this is about us, not about the mailbox" come first.

#include "replytable.h"

#include <array>
#include <cstring>
#include <string_view>
#include <vector>

namespace corvanta::replytable {

namespace {

using R = Reason;
using V = Verdict;

struct TextRule
{
    std::string_view text;
    Reason reason;
};

// clang-format off
constexpr TextRule kReplyTexts[] = {
    // TLS. RFC 3207's "530 5.7.0 Must issue a STARTTLS command first", which
    // Gmail and Postfix send word for word, and the variants of other servers.
    {"starttls", R::TlsRequired},
    {"tls required", R::TlsRequired},
    {"requires tls", R::TlsRequired},
    {"must use tls", R::TlsRequired},
    {"encryption required", R::TlsRequired},

    // Greylisting: postgrey ("Greylisted, see http://postgrey..."),
    // milter-greylist ("Greylisting in action, please come back later"),
    // sqlgrey, and the greylisting of cPanel's Exim.
    {"greylist", R::Greylisted},
    {"graylist", R::Greylisted},
    {"grey-list", R::Greylisted},
    {"gray-list", R::Greylisted},
    {"grey list", R::Greylisted},
    {"gray list", R::Greylisted},

    // Limits on how often we may ask. Gmail ("is receiving mail too quickly",
    // "unusual rate of unsolicited mail"), Yahoo ("[TSS04] Messages from ...
    // temporarily deferred"), Microsoft ("4.7.500 Server busy", "temporarily
    // rate limited"), Postfix and Exim ("too many connections from",
    // "Too many concurrent SMTP connections"), Sendmail ("Connection rate
    // limit exceeded").
    {"too many", R::RateLimited},
    {"rate limit", R::RateLimited},
    {"rate-limit", R::RateLimited},
    {"ratelimit", R::RateLimited},
    {"receiving mail too quickly", R::RateLimited},
    {"receiving mail at a rate", R::RateLimited},
    {"unusual rate", R::RateLimited},
    {"throttl", R::RateLimited},
    {"temporarily deferred", R::RateLimited},
    {"server busy", R::RateLimited},
    {"server is busy", R::RateLimited},

    // The sender, not the recipient, was refused. Postfix reports its sender
    // checks at RCPT TO ("Sender address rejected: Domain not found"), Exim
    // its callouts ("Sender verify failed"), Sendmail "Domain of sender
    // address ... does not exist".
    {"sender address rejected", R::SenderRefused},
    {"sender verify failed", R::SenderRefused},
    {"sender verification failed", R::SenderRefused},
    {"domain of sender address", R::SenderRefused},
    {"sender domain", R::SenderRefused},
    {"sender rejected", R::SenderRefused},
    {"invalid sender", R::SenderRefused},

    // Policy, block lists and reputation: refusals of the checking machine
    // that say nothing about the mailbox. The block lists' own names
    // (Spamhaus, SpamCop, Barracuda, SORBS) as Postfix's default "Client host
    // [x] blocked using zen.spamhaus.org" and Exim's "is in a black list at"
    // carry them; relay refusals of Postfix ("Relay access denied"), Sendmail
    // ("Relaying denied"), Exim ("relay not permitted"), Mimecast ("Open relay
    // not allowed") and qmail ("not in my
    // list of allowed rcpthosts"); Exim's "Administrative prohibition";
    // Microsoft's "banned sending IP"; Gmail's unsolicited-mail and
    // authentication refusals (SPF, DKIM, DMARC); Yahoo's "Connections will
    // not be accepted from".
    {"blocked", R::BlockedByPolicy},
    {"block list", R::BlockedByPolicy},
    {"blocklist", R::BlockedByPolicy},
    {"blacklist", R::BlockedByPolicy},
    {"black list", R::BlockedByPolicy},
    {"spamhaus", R::BlockedByPolicy},
    {"spamcop", R::BlockedByPolicy},
    {"barracuda", R::BlockedByPolicy},
    {"sorbs", R::BlockedByPolicy},
    {"dnsbl", R::BlockedByPolicy},
    {"listed at", R::BlockedByPolicy},
    {"reputation", R::BlockedByPolicy},
    {"policy", R::BlockedByPolicy},
    {"relay access denied", R::BlockedByPolicy},
    {"relaying denied", R::BlockedByPolicy},
    {"relay not permitted", R::BlockedByPolicy},
    {"not permitted to relay", R::BlockedByPolicy},
    {"unable to relay", R::BlockedByPolicy},
    {"relaying not allowed", R::BlockedByPolicy},
    {"relay not allowed", R::BlockedByPolicy},
    {"allowed rcpthosts", R::BlockedByPolicy},
    {"client host rejected", R::BlockedByPolicy},
    {"helo command rejected", R::BlockedByPolicy},
    {"reverse dns", R::BlockedByPolicy},
    {"reverse hostname", R::BlockedByPolicy},
    {"ptr record", R::BlockedByPolicy},
    {"not accepted from", R::BlockedByPolicy},
    {"banned", R::BlockedByPolicy},
    {"prohibit", R::BlockedByPolicy},
    {"spam", R::BlockedByPolicy},
    {"unsolicited", R::BlockedByPolicy},
    {"authentication", R::BlockedByPolicy},
    {"not authorized", R::BlockedByPolicy},
    {"spf", R::BlockedByPolicy},
    {"dkim", R::BlockedByPolicy},
    {"dmarc", R::BlockedByPolicy},

    // A full mailbox: RFC 5321's 552 "exceeded storage allocation", Gmail's
    // "is over quota", Exchange's "mailbox full", Dovecot and Exim quotas.
    {"mailbox full", R::MailboxFull},
    {"mailbox is full", R::MailboxFull},
    {"over quota", R::MailboxFull},
    {"quota exceeded", R::MailboxFull},
    {"exceeds quota", R::MailboxFull},
    {"storage allocation", R::MailboxFull},

    // A mailbox that exists but is switched off: RFC 3463's X.2.1 wording,
    // Gmail ("The email account that you tried to reach is disabled"),
    // Yahoo ("This mailbox is disabled"), Sendmail ("Mailbox disabled for
    // this recipient").
    {"disabled", R::MailboxDisabled},
    {"deactivated", R::MailboxDisabled},
    {"inactive", R::MailboxDisabled},
    {"suspended", R::MailboxDisabled},
    {"no longer active", R::MailboxDisabled},
    {"no longer in use", R::MailboxDisabled},

    // No such mailbox, for servers that send no enhanced code or a vague one:
    // RFC 5321's 550 "mailbox unavailable" (Outlook.com and Hotmail send it
    // with 5.5.0), Microsoft's "RecipientNotFound" and Directory-Based Edge
    // Blocking ("5.4.1 Recipient address rejected: Access denied"), Yahoo
    // ("This user doesn't have a yahoo.com account"), Comcast ("Not our
    // Customer"), Exim ("Unrouteable address", cPanel's "No Such User Here"),
    // qmail ("no mailbox here by that name"), Sendmail ("User unknown"),
    // Postfix ("User unknown in virtual mailbox table"), QQ ("Mailbox not
    // found"), Mimecast ("Invalid Recipient").
    {"user unknown", R::MailboxUnknown},
    {"unknown user", R::MailboxUnknown},
    {"no such user", R::MailboxUnknown},
    {"no such mailbox", R::MailboxUnknown},
    {"no such recipient", R::MailboxUnknown},
    {"no such account", R::MailboxUnknown},
    {"no such address", R::MailboxUnknown},
    {"does not exist", R::MailboxUnknown},
    {"doesn't exist", R::MailboxUnknown},
    {"doesn't have a", R::MailboxUnknown},
    {"recipient not found", R::MailboxUnknown},
    {"recipientnotfound", R::MailboxUnknown},
    {"recipnotfound", R::MailboxUnknown},
    {"recipient address rejected: access denied", R::MailboxUnknown},
    {"mailbox not found", R::MailboxUnknown},
    {"mailbox unavailable", R::MailboxUnknown},
    {"user not found", R::MailboxUnknown},
    {"unknown recipient", R::MailboxUnknown},
    {"recipient unknown", R::MailboxUnknown},
    {"address unknown", R::MailboxUnknown},
    {"invalid recipient", R::MailboxUnknown},
    {"invalid mailbox", R::MailboxUnknown},
    {"invalid address", R::MailboxUnknown},
    {"unrouteable address", R::MailboxUnknown},
    {"unroutable address", R::MailboxUnknown},
    {"unknown local part", R::MailboxUnknown},
    {"not a valid user", R::MailboxUnknown},
    {"not a valid mailbox", R::MailboxUnknown},
    {"not a valid recipient", R::MailboxUnknown},
    {"no mailbox", R::MailboxUnknown},
    {"not our customer", R::MailboxUnknown},
    {"mailbox name not allowed", R::MailboxUnknown},
};

// Enhanced status codes by subject and detail (RFC 3463 sections 3.2 and
// 3.3, the IANA registry of RFC 5248, and Microsoft's 5.1.10, which Exchange
// Online sends for "RESOLVER.ADR.RecipientNotFound"). X.7.x is not here: a
// security or policy status never condemns a mailbox (see verdict.cpp).
struct StatusRule
{
    int subject;
    int detail;
    Judgement judgement;
};

constexpr StatusRule kStatusCodes[] = {
    {1, 1, {V::Undeliverable, R::MailboxUnknown}},  // bad destination mailbox address
    {1, 2, {V::Undeliverable, R::NoMailServer}},    // bad destination system address
    {1, 3, {V::Undeliverable, R::BadSyntax}},       // bad destination mailbox address syntax
    {1, 6, {V::Undeliverable, R::MailboxUnknown}},  // mailbox has moved, no forwarding address
    {1, 7, {V::Unknown, R::SenderRefused}},         // bad sender's mailbox address syntax
    {1, 8, {V::Unknown, R::SenderRefused}},         // bad sender's system address
    {1, 10, {V::Undeliverable, R::MailboxUnknown}}, // Microsoft: recipient not found
    {2, 1, {V::Undeliverable, R::MailboxDisabled}}, // mailbox disabled, not accepting messages
    {2, 2, {V::Risky, R::MailboxFull}},             // mailbox full
};

// Permanent three-digit codes when nothing else decides (RFC 5321 section
// 4.2, RFC 7504 for 521 and 556, RFC 4954 for 530, 534 and 535). A 550
// with no other clue is the classic "no such mailbox".
struct CodeRule
{
    int code;
    Judgement judgement;
};

constexpr CodeRule kPermanentCodes[] = {
    {501, {V::Undeliverable, R::BadSyntax}},       // syntax error in the address
    {521, {V::Undeliverable, R::NoMailServer}},    // host does not accept mail
    {530, {V::Unknown, R::BlockedByPolicy}},       // authentication required
    {534, {V::Unknown, R::BlockedByPolicy}},       // authentication mechanism too weak
    {535, {V::Unknown, R::BlockedByPolicy}},       // authentication failed
    {550, {V::Undeliverable, R::MailboxUnknown}},  // mailbox unavailable
    {551, {V::Undeliverable, R::MailboxUnknown}},  // user not local
    {552, {V::Risky, R::MailboxFull}},             // exceeded storage allocation
    {553, {V::Undeliverable, R::MailboxUnknown}},  // mailbox name not allowed
    {554, {V::Unknown, R::BlockedByPolicy}},       // transaction failed: mostly a policy refusal
    {556, {V::Undeliverable, R::NoMailServer}},    // domain does not accept mail
};

// This program's own resolver and SMTP client describe failures that are not
// replies in these words (server/net): a failed look-up, a time-out, a mail
// server whose name does not resolve, and a greeting the server refused.
constexpr std::string_view kDnsFailureTexts[] = {
    "dns server", "dns look-up", "dns resolver", "servfail", "timed out"};
constexpr std::string_view kTimeoutTexts[] = {
    "timed out", "did not arrive within", "no connection within", "in time"};
constexpr std::string_view kHostLookupTexts[] = {
    "could not find the mail server", "has no address"};
constexpr std::u16string_view kGreetingRefusals[] = {
    u"refused the connection: ", u"refused the greeting: "};
// clang-format on

constexpr int kTextRuleCount = int(std::size(kReplyTexts));

// Rules by the first byte of their text, each list in table order, so one
// pass over a reply tries only the rules that can start at each position;
// the second byte rules most of them out without a comparison.
class TextIndex final
{
public:
    struct Entry
    {
        int rule;
        char second;
    };

    TextIndex()
    {
        for (int i = 0; i < kTextRuleCount; ++i) {
            const std::string_view text = kReplyTexts[i].text;
            m_byFirst[static_cast<unsigned char>(text[0])].push_back({i, text[1]});
        }
    }
    const std::vector<Entry>& startingWith(unsigned char c) const { return m_byFirst[c]; }

private:
    std::array<std::vector<Entry>, 256> m_byFirst;
};

const TextIndex& textIndex()
{
    static const TextIndex index;
    return index;
}

// Replies longer than this are judged by their beginning; every text above
// sits in the first lines of the replies that carry it.
constexpr qsizetype kMaxText = 1024;

bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// The reply in lower-case ASCII (anything else becomes '?'), single words
// separated by one blank, without the words that hold an '@': a quoted
// address must not match a text.
qsizetype lowerText(QStringView text, char* out)
{
    qsizetype n = 0;
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size && n < kMaxText - 1) {
        while (i < size && isSpace(text[i].unicode()))
            ++i;
        qsizetype end = i;
        bool quotesAddress = false;
        while (end < size && !isSpace(text[end].unicode())) {
            quotesAddress = quotesAddress || text[end] == u'@';
            ++end;
        }
        if (!quotesAddress && end > i) {
            if (n > 0)
                out[n++] = ' ';
            for (; i < end && n < kMaxText - 1; ++i) {
                const char16_t c = text[i].unicode();
                out[n++] = c < 0x80 ? char(c >= u'A' && c <= u'Z' ? c + 32 : c) : '?';
            }
        }
        i = end;
    }
    return n;
}

bool isWordByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

std::optional<Reason> firstTextRule(const char* text, qsizetype size)
{
    const TextIndex& index = textIndex();
    int best = kTextRuleCount;
    // Texts begin where a word does ("Greylisted", "zen.spamhaus.org",
    // "?p=DisabledUser"), never inside one; every text has two bytes at least.
    for (qsizetype at = 0; at + 1 < size && best > 0; ++at) {
        if (at > 0 && isWordByte(text[at - 1]))
            continue;
        for (const TextIndex::Entry& entry :
             index.startingWith(static_cast<unsigned char>(text[at]))) {
            if (entry.rule >= best)
                break;
            if (entry.second != text[at + 1])
                continue;
            const std::string_view t = kReplyTexts[entry.rule].text;
            if (qsizetype(t.size()) <= size - at &&
                std::memcmp(text + at, t.data(), t.size()) == 0) {
                best = entry.rule;
                break;
            }
        }
    }
    if (best == kTextRuleCount)
        return std::nullopt;
    return kReplyTexts[best].reason;
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Reads up to three digits at `at`; -1 when there are none.
int number(QStringView text, qsizetype& at)
{
    int value = -1;
    for (int digits = 0; digits < 3 && at < text.size() && isDigit(text[at]); ++digits, ++at)
        value = (value < 0 ? 0 : value * 10) + (text[at].unicode() - u'0');
    return value;
}

// "5.1.10" at `at`: class 2, 4 or 5, then two numbers of up to three digits,
// not followed by a further digit or dot.
bool statusCodeAt(QStringView text, qsizetype at, int& subject, int& detail)
{
    if (at + 5 > text.size() || !(text[at] == u'2' || text[at] == u'4' || text[at] == u'5') ||
        text[at + 1] != u'.')
        return false;
    at += 2;
    const int s = number(text, at);
    if (s < 0 || at >= text.size() || text[at] != u'.')
        return false;
    ++at;
    const int d = number(text, at);
    if (d < 0 || (at < text.size() && (isDigit(text[at]) || text[at] == u'.')))
        return false;
    subject = s;
    detail = d;
    return true;
}

bool containsAny(std::string_view text, const auto& list)
{
    for (const std::string_view entry : list) {
        if (text.find(entry) != std::string_view::npos)
            return true;
    }
    return false;
}

} // namespace

Reading read(QStringView reply)
{
    Reading reading;
    qsizetype at = 0;
    const int code = number(reply, at);
    if (at == 3 && code >= 200 && (at == reply.size() || reply[at] == u' ' || reply[at] == u'-'))
        reading.code = code;
    if (reading.code != 0) {
        // The enhanced code follows the basic one: "550 5.1.1", "550-5.1.1".
        qsizetype next = 4;
        while (next < reply.size() && reply[next] == u' ')
            ++next;
        statusCodeAt(reply, next, reading.subject, reading.detail);
    }
    if (reading.subject < 0) {
        // qmail puts it at the end instead: "... by that name. (#5.1.1)".
        const qsizetype hash = reply.indexOf(u'#');
        if (hash >= 0)
            statusCodeAt(reply, hash + 1, reading.subject, reading.detail);
    }
    char text[kMaxText];
    reading.text = firstTextRule(text, lowerText(reply, text));
    return reading;
}

bool aboutTheChecker(Reason reason)
{
    switch (reason) {
    case R::TlsRequired:
    case R::Greylisted:
    case R::RateLimited:
    case R::SenderRefused:
    case R::BlockedByPolicy:
        return true;
    default:
        return false;
    }
}

std::optional<Judgement> byStatusCode(int subject, int detail)
{
    for (const StatusRule& rule : kStatusCodes) {
        if (rule.subject == subject && rule.detail == detail)
            return rule.judgement;
    }
    return std::nullopt;
}

Judgement byPermanentCode(int code)
{
    for (const CodeRule& rule : kPermanentCodes) {
        if (rule.code == code)
            return rule.judgement;
    }
    return {V::Unknown, R::ServerError};
}

EngineFailure engineFailure(QStringView message)
{
    char buffer[kMaxText];
    const std::string_view text(buffer, size_t(lowerText(message, buffer)));
    if (containsAny(text, kHostLookupTexts))
        return EngineFailure::HostNotFound;
    if (containsAny(text, kDnsFailureTexts))
        return EngineFailure::DnsFailure;
    if (containsAny(text, kTimeoutTexts))
        return EngineFailure::TimedOut;
    return EngineFailure::None;
}

QStringView embeddedReply(QStringView message)
{
    for (const std::u16string_view marker : kGreetingRefusals) {
        const QStringView m(marker.data(), qsizetype(marker.size()));
        const qsizetype at = message.indexOf(m, 0, Qt::CaseInsensitive);
        if (at >= 0)
            return message.mid(at + m.size());
    }
    return {};
}

} // namespace corvanta::replytable
