#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace corvanta {

// Predefined root keys, as 32-bit numbers (how the registry class holds them).
inline constexpr std::int32_t HKEY_CLASSES_ROOT_KEY = static_cast<std::int32_t>(0x80000000u);
inline constexpr std::int32_t HKEY_CURRENT_USER_KEY = static_cast<std::int32_t>(0x80000001u);
inline constexpr std::int32_t HKEY_LOCAL_MACHINE_KEY = static_cast<std::int32_t>(0x80000002u);
inline constexpr std::int32_t HKEY_USERS_KEY = static_cast<std::int32_t>(0x80000003u);

// Registry data types.
enum RegistryType : std::uint32_t
{
    RegNone = 0,
    RegSz = 1,
    RegExpandSz = 2,
    RegBinary = 3,
    RegDword = 4,
    RegDwordBigEndian = 5,
    RegMultiSz = 7,
};

using ByteArray = std::vector<std::uint8_t>;

// A value of any type, as the registry class reads and writes it. The empty
// alternative stands for "no value"; strings hold bytes in the system's 8-bit
// code page (UTF-8 outside Windows).
using RegValue = std::variant<std::monostate, bool, std::int16_t, std::int32_t, float, double,
                              std::string, ByteArray>;

// The text form of a value: what a string-typed write stores and what error
// messages quote. Numbers are written locale-free with '.' as the decimal
// separator, booleans as "True"/"False", byte arrays as their bytes.
std::string ValueText(const RegValue& value);

} // namespace corvanta
