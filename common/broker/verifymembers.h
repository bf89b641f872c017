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

// The object's events, in the order of its event interface.
enum Event : qint32
{
    FinishedEvent = 1, // (Result)
    ProgressEvent = 2, // (Method, Description)
};

} // namespace corvanta::verifyclass
