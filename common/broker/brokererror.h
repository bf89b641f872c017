#pragma once

#include <QString>
#include <exception>
#include <string>

namespace corvanta {

// An error as it crosses between the programs: a number, the name of whoever
// raised it and a description. Numbers follow the conventions callers of a
// component already know (429 cannot create, 462 server unavailable, ...), so
// the main window can show them as "ERROR #number: description".
struct BrokerError
{
    qint32 number = 0;
    QString source;
    QString description;
};

namespace brokererr {
// The object could not be created: no server, a server that did not start,
// or a class the server does not know.
inline constexpr qint32 CannotCreate = 429;
// The connection to the server is gone (the server died or closed it).
inline constexpr qint32 ServerUnavailable = 462;
// A call got no answer within its bound (the value callers know as a
// timed-out remote call).
inline constexpr qint32 CallTimedOut = qint32(0x8001011F);
// The object failed in a way it did not describe (an unexpected exception).
inline constexpr qint32 ObjectFailed = 440;
// A value of a kind that cannot cross between the programs.
inline constexpr qint32 TypeMismatch = 13;
// The object has no member with that index.
inline constexpr qint32 NoSuchMember = 438;
// Wrong number of arguments for a member.
inline constexpr qint32 WrongArguments = 450;
// The source every error raised by the broker itself carries.
inline const char* const Source = "Corvanta.Broker";
} // namespace brokererr

class BrokerException final : public std::exception
{
public:
    explicit BrokerException(BrokerError error)
        : m_error(std::move(error)), m_what(m_error.description.toStdString())
    {}
    BrokerException(qint32 number, QString source, QString description)
        : BrokerException(BrokerError{number, std::move(source), std::move(description)})
    {}

    const BrokerError& error() const noexcept { return m_error; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    BrokerError m_error;
    std::string m_what;
};

// An error raised by the broker itself (as opposed to one the object raised).
inline BrokerError brokerError(qint32 number, const QString& description)
{
    return BrokerError{number, QString::fromLatin1(brokererr::Source), description};
}

} // namespace corvanta
