#pragma once

#include <QtGlobal>

namespace corvanta {

// Outcome of one verification.
enum VerifyConstants : qint32
{
    verifyValid = 0,             // the recipient command was accepted
    verifyFormat = 1,            // the address failed the format check
    verifyDomain = 2,            // the look-up gave no mail server
    verifyConnectMailServer = 3, // no mail server could be reached and used
    verifyBadUser = 4,           // the recipient command was refused
    verifyBadFrom = 5,           // the sender command was refused
};

// State of a verification object.
enum ProcessStatus : qint32
{
    StatusReady = 1,
    StatusWorking = 2,
    StatusFinished = 3,
};

// Step numbers of ProgressEvent. Finished shares its number with
// ErrorRcptTo: clients have always received 15 for both.
namespace ProgressStep {
inline constexpr qint32 MailServer = 1;
inline constexpr qint32 UnnamedMailServer = 2;
inline constexpr qint32 FormatCheck = 3;
inline constexpr qint32 FormatOk = 4;
inline constexpr qint32 Resolving = 5;
inline constexpr qint32 Resolved = 6;
inline constexpr qint32 Connecting = 7;
inline constexpr qint32 CannotConnect = 8;
inline constexpr qint32 Connected = 9;
inline constexpr qint32 SendingMailFrom = 10;
inline constexpr qint32 MailFromOk = 11;
inline constexpr qint32 MailFromError = 12;
inline constexpr qint32 SendingRcptTo = 13;
inline constexpr qint32 RcptToOk = 14;
inline constexpr qint32 RcptToError = 15;
inline constexpr qint32 GoodAddress = 16;
inline constexpr qint32 Logout = 17;
inline constexpr qint32 Finished = 15;
} // namespace ProgressStep

} // namespace corvanta
