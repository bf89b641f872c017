#pragma once

#include "regfile.h"
#include "registrystore.h"

#include <functional>
#include <string>

namespace corvanta {

// The registry kept in one text file per user (registry-export format).
//
// Reads parse the current file without locking: a writer replaces the file by
// renaming a complete new one over it, so a reader sees either the old or the
// new file, never half of one. Writes take an exclusive lock on "<file>.lock"
// (flock), read the file again under the lock, apply their change and write
// "<file>.tmp", flush it to disk and rename it over the file. Concurrent
// writers in any number of threads or processes therefore lose nothing, and a
// crash before the rename leaves the old file whole.
//
// A file that cannot be parsed is never written over: reads behave as if it
// were empty, and the first write moves it aside to "<file>.corrupt-<time>"
// before starting afresh.
//
// Thread-safe; POSIX only.
class FileRegistryStore final : public IRegistryStore
{
public:
    explicit FileRegistryStore(std::string filePath);

    const std::string& filePath() const { return m_path; }

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

    // Test seam: runs after the new file is complete on disk and before it is
    // renamed over the old one, so tests can simulate a crash at that moment.
    void setBeforeRenameHook(std::function<void()> hook) { m_beforeRename = std::move(hook); }

private:
    enum class LoadResult
    {
        Ok,
        Missing,
        Corrupt,
        Unreadable,
    };
    LoadResult load(RegTree& tree) const;
    // Runs `change` on the current tree under the lock and commits the tree
    // when it reports success and `changed`.
    template <typename Change> long modify(Change change);
    long commit(const RegTree& tree);
    // Validates the root and path, loads the current tree and hands `use`
    // the key found there (null when missing); returns what `use` returns.
    template <typename Use> long readKey(std::int32_t root, const std::string& path, Use use) const;

    std::string m_path;
    std::function<void()> m_beforeRename;
};

// Where the per-user registry file lives: $CORVANTA_REGISTRY_FILE when set
// (tests point it at a temporary file), else
// $XDG_CONFIG_HOME/corvanta/registry.reg, else ~/.config/corvanta/registry.reg.
std::string DefaultRegistryFilePath();

} // namespace corvanta
