#pragma once

#include "verdict.h"

#include <optional>

namespace corvanta::replytable {

// What one SMTP reply says, read once: its codes and the first well-known
// text it holds.
struct Reading
{
    int code = 0;               // the three-digit reply code; 0 when there is none
    int subject = -1;           // the enhanced status code's subject and detail
    int detail = -1;            // (5.1.10: 1 and 10); -1 when the reply has none
    std::optional<Reason> text; // the highest-ranked text rule that matched
};

// Reads a whole reply, continuation lines included. Addresses quoted in the
// reply are ignored, so a local part such as "spam.policy" decides nothing.
Reading read(QStringView reply);

// Texts that speak of the server's view of us (policy, limits, TLS, the
// sender) rather than of the mailbox.
bool aboutTheChecker(Reason reason);

// The judgement an enhanced status code alone gives, by subject and detail.
std::optional<Judgement> byStatusCode(int subject, int detail);
// The judgement a permanent (5xx) three-digit code alone gives.
Judgement byPermanentCode(int code);

// The engine's own descriptions of failures that are not replies.
enum class EngineFailure
{
    None,
    DnsFailure,   // the look-up itself failed
    TimedOut,     // a mail server did not answer in time
    HostNotFound, // a mail server's own name did not resolve
};
EngineFailure engineFailure(QStringView message);

// The server's reply inside a description such as "The mail server x refused
// the connection: 554 ..."; empty when there is none.
QStringView embeddedReply(QStringView message);

} // namespace corvanta::replytable
