#pragma once

#include "registrystore.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvanta::test {

// A registry sandbox for one test: a store and a key of its own under `root`,
// which `rawSet` can fill behind cRegistry's back (as another program would)
// and which is removed again on destruction. Each platform's test build
// provides MakeTestRegistry(): the file store in a temporary folder on Linux,
// the real registry on Windows.
class TestRegistry
{
public:
    virtual ~TestRegistry() = default;

    virtual std::shared_ptr<IRegistryStore> store() = 0;
    virtual std::int32_t root() const = 0;
    // A key path below root() that belongs to this test alone; it does not
    // exist when the test starts.
    virtual std::string base() const = 0;
    // Writes one value straight through the platform's own interface.
    virtual void rawSet(const std::string& path, const std::string& name, std::uint32_t type,
                        const ByteArray& bytes) = 0;
    virtual void setEnv(const std::string& name, const std::string& value) = 0;
};

std::unique_ptr<TestRegistry> MakeTestRegistry();

// Deletes a key with everything below it (the registry deletes only leaves).
inline void RemoveTree(IRegistryStore& store, std::int32_t root, const std::string& path)
{
    std::vector<std::string> subkeys;
    store.enumSubKeys(root, path, subkeys);
    for (const std::string& sub : subkeys)
        RemoveTree(store, root, path + "\\" + sub);
    store.deleteKey(root, path);
}

} // namespace corvanta::test
