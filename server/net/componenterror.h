#pragma once

#include <QString>
#include <exception>

namespace corvanta {

// What an outside component (the SMTP client, the DNS resolver) raises when an
// operation fails: a number and a description. The verification procedure
// turns these into outcomes and messages; they never leave a verification.
struct ComponentError
{
    int number = 0;
    QString description;
};

class ComponentException final : public std::exception
{
public:
    ComponentException(int number, QString description)
        : m_error{number, std::move(description)}, m_what(m_error.description.toStdString())
    {}
    explicit ComponentException(ComponentError error)
        : m_error(std::move(error)), m_what(m_error.description.toStdString())
    {}

    const ComponentError& error() const noexcept { return m_error; }
    int number() const noexcept { return m_error.number; }
    const QString& description() const noexcept { return m_error.description; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    ComponentError m_error;
    std::string m_what;
};

} // namespace corvanta
