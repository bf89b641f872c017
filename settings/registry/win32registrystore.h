#pragma once

#include "registrystore.h"

namespace corvanta {

// The Windows registry through the ANSI advapi32 functions. Every operation
// opens its key, does its work and closes the key before returning.
// Thread-safe (the registry API is). Windows only.
class Win32RegistryStore final : public IRegistryStore
{
public:
    long openKey(std::int32_t root, const std::string& path, std::uint32_t access) override;
    long createKey(std::int32_t root, const std::string& path) override;
    long deleteKey(std::int32_t root, const std::string& path) override;
    long queryValue(std::int32_t root, const std::string& path, const std::string& name,
                    RegistryData& out) override;
    long setValue(std::int32_t root, const std::string& path, const std::string& name,
                  const RegistryData& data) override;
    long deleteValue(std::int32_t root, const std::string& path, const std::string& name) override;
    long enumValues(std::int32_t root, const std::string& path,
                    std::vector<std::string>& names) override;
    long enumSubKeys(std::int32_t root, const std::string& path,
                     std::vector<std::string>& names) override;
    std::string expandEnvironment(const std::string& text) override;
};

} // namespace corvanta
