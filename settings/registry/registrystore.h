#pragma once

#include "registryvalue.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvanta {

// Result codes of store operations: 0 is success, anything else is the
// platform's error number (the Win32 numbers, which the file store reuses so
// both stores answer alike).
namespace regresult {
inline constexpr long Success = 0;
inline constexpr long FileNotFound = 2;
inline constexpr long AccessDenied = 5;
inline constexpr long InvalidHandle = 6;
inline constexpr long InvalidData = 13;
inline constexpr long InvalidParameter = 87;
inline constexpr long BadPathname = 161;
inline constexpr long MoreData = 234;
inline constexpr long NoMoreItems = 259;
inline constexpr long WriteFault = 29;
} // namespace regresult

// Access masks the registry class asks for when it opens a key.
inline constexpr std::uint32_t KeyQueryValue = 0x1;
inline constexpr std::uint32_t KeyEnumerateSubKeys = 0x8;
inline constexpr std::uint32_t KeyWriteAccess = 0x3F;

// One typed value as stored: the data type and the raw bytes.
struct RegistryData
{
    std::uint32_t type = RegNone;
    ByteArray bytes;
};

// Where keys and values live. Every operation opens what it needs and closes
// it again before returning, so no handle outlives a call. `root` is one of the
// predefined root keys; `path` is a key path below it with '\' between levels
// ("" is the root itself); key and value names compare without regard to case.
// A store may be shared between threads: each call is self-contained.
class IRegistryStore
{
public:
    virtual ~IRegistryStore() = default;

    // Opens the key with the given access and closes it again.
    virtual long openKey(std::int32_t root, const std::string& path, std::uint32_t access) = 0;
    // Creates the key and any missing parents, or opens it when it exists.
    virtual long createKey(std::int32_t root, const std::string& path) = 0;
    // Deletes a key that has no subkeys.
    virtual long deleteKey(std::int32_t root, const std::string& path) = 0;
    // Reads one value; an empty name is the key's default value.
    virtual long queryValue(std::int32_t root, const std::string& path, const std::string& name,
                            RegistryData& out) = 0;
    // Creates the key if needed and stores one value.
    virtual long setValue(std::int32_t root, const std::string& path, const std::string& name,
                          const RegistryData& data) = 0;
    virtual long deleteValue(std::int32_t root, const std::string& path,
                             const std::string& name) = 0;
    // Lists the names of the key's values or subkeys, in the store's order.
    virtual long enumValues(std::int32_t root, const std::string& path,
                            std::vector<std::string>& names) = 0;
    virtual long enumSubKeys(std::int32_t root, const std::string& path,
                             std::vector<std::string>& names) = 0;
    // Replaces each %NAME% by the environment variable NAME; unknown names stay.
    virtual std::string expandEnvironment(const std::string& text) = 0;
};

// The store for this platform: the Win32 registry on Windows, elsewhere the
// file store at DefaultRegistryFilePath(). The instance is shared and lives
// for the whole process.
std::shared_ptr<IRegistryStore> DefaultRegistryStore();

} // namespace corvanta
