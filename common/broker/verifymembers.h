#pragma once

#include <QtGlobal>

namespace corvanta::verifyclass {

// The creatable verification class as the server registers it.
inline constexpr const char* ClassName = "Sondrix.clsVerify";

// The members of the verification object's interface, numbered in interface
// order. A property takes two numbers, read then write. Both programs must
// agree on these numbers; new members go at the end.
enum Member : qint32
{
    Busy = 0,
    Status,
    Reset,
    Abort,
    Result,
    Verify,
    DnsServers,
    AddDnsServer,
    ClearDnsServers,
    GetTag,
    LetTag,
    GetAddress,
    LetAddress,
    GetFromAddress,
    LetFromAddress,
    GetID,
    LetID,
    GetSmtpTimeout,
    LetSmtpTimeout,
    GetDnsTimeout,
    LetDnsTimeout,
    GetDnsServerPort,
    LetDnsServerPort,
    GetEventsEnabled,
    LetEventsEnabled,
    GetMessage,
    SmtpReplies,
    FromReply,
    RecptReply,
    GetHelloName,
    LetHelloName,
    IsValidEmail,
    MemberCount
};

// What a state push that ends a busy spell carries, in this order: the
// outcome of the verification, which only a running procedure changes. The
// client answers these members from the push until it next calls the object,
// which saves a run two or three round trips per address.
enum Settled : qint32
{
    SettledResult = 0,
    SettledMessage,
    SettledSmtpReplies,
    SettledFromReply,
    SettledRecptReply,
    SettledCount
};

// The object's events, in the order of its event interface.
enum Event : qint32
{
    FinishedEvent = 1, // (Result)
    ProgressEvent = 2, // (Method, Description)
};

} // namespace corvanta::verifyclass
