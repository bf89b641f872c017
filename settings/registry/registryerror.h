#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace corvanta {

// The error that registry access raises: a number, a source and a description,
// which the windows show as "ERROR #<number>: <description>". Plain C++ so the
// registry layer builds without Qt on every platform.
class RegistryError final : public std::exception
{
public:
    RegistryError(std::int32_t number, std::string source, std::string description)
        : m_number(number), m_source(std::move(source)), m_description(std::move(description))
    {}

    std::int32_t number() const noexcept { return m_number; }
    const std::string& source() const noexcept { return m_source; }
    const std::string& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_description.c_str(); }

private:
    std::int32_t m_number;
    std::string m_source;
    std::string m_description;
};

} // namespace corvanta
