#pragma once

#include <QString>
#include <exception>
#include <string>

namespace corvanta {

// An error raised by one of the server's own classes to its caller: a number,
// the member that raised it and a text a user can read.
class ObjectError final : public std::exception
{
public:
    // The start of the range of numbers that classes give their own errors.
    static constexpr int ObjectErrorBase = static_cast<int>(0x80040000u);

    ObjectError(int number, QString source, QString description)
        : m_number(number), m_source(std::move(source)), m_description(std::move(description)),
          m_what(m_description.toStdString())
    {}

    int number() const noexcept { return m_number; }
    const QString& source() const noexcept { return m_source; }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    int m_number;
    QString m_source;
    QString m_description;
    std::string m_what;
};

} // namespace corvanta
