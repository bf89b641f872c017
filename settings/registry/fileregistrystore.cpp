#include "fileregistrystore.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvanta {

namespace {

constexpr std::size_t kMaxKeyNameLength = 255;

bool isValidRoot(std::int32_t root)
{
    return !RootName(root).empty();
}

// Splits a key path into its names. A trailing '\' is tolerated; an empty name
// anywhere else, or a name longer than the registry allows, is refused.
long splitPath(const std::string& path, std::vector<std::string_view>& parts)
{
    std::string_view rest = path;
    if (!rest.empty() && rest.back() == '\\')
        rest.remove_suffix(1);
    if (rest.empty())
        return regresult::Success;
    while (true) {
        const std::size_t sep = rest.find('\\');
        const std::string_view part = rest.substr(0, sep);
        if (part.empty())
            return regresult::BadPathname;
        if (part.size() > kMaxKeyNameLength)
            return regresult::InvalidParameter;
        for (char c : part) {
            // Control characters would break the file's one-line key headers.
            if (static_cast<unsigned char>(c) < 0x20)
                return regresult::InvalidParameter;
        }
        parts.push_back(part);
        if (parts.size() > kMaxKeyDepth)
            return regresult::InvalidParameter;
        if (sep == std::string_view::npos)
            return regresult::Success;
        rest = rest.substr(sep + 1);
    }
}

RegKeyNode* findKey(RegTree& tree, std::int32_t root, const std::vector<std::string_view>& parts)
{
    // A root always exists, even when the file holds nothing under it.
    RegKeyNode* key = &tree.roots[root];
    for (std::string_view part : parts) {
        key = key->findSubKey(part);
        if (key == nullptr)
            return nullptr;
    }
    return key;
}

bool hasControlChars(const std::string& s)
{
    for (char c : s) {
        if (static_cast<unsigned char>(c) < 0x20)
            return true;
    }
    return false;
}

bool readWholeFile(int fd, std::string& out)
{
    char buf[65536];
    while (true) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.append(buf, static_cast<std::size_t>(n));
    }
}

bool writeAll(int fd, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string parentDir(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void makeDirs(const std::string& dir)
{
    if (dir.empty() || dir == "/" || dir == ".")
        return;
    struct stat st
    {
    };
    if (::stat(dir.c_str(), &st) == 0)
        return;
    makeDirs(parentDir(dir));
    ::mkdir(dir.c_str(), 0700);
}

// Holds the exclusive lock of one write for its whole life.
class WriteLock final
{
public:
    explicit WriteLock(const std::string& lockPath)
    {
        m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            return;
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~WriteLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // closing releases the lock
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace

FileRegistryStore::FileRegistryStore(std::string filePath) : m_path(std::move(filePath)) {}

FileRegistryStore::LoadResult FileRegistryStore::load(RegTree& tree) const
{
    tree = RegTree{};
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? LoadResult::Missing : LoadResult::Unreadable;
    std::string text;
    const bool ok = readWholeFile(fd, text);
    ::close(fd);
    if (!ok)
        return LoadResult::Unreadable;
    std::string error;
    if (!ParseRegFile(text, tree, error)) {
        tree = RegTree{};
        return LoadResult::Corrupt;
    }
    return LoadResult::Ok;
}

template <typename Change> long FileRegistryStore::modify(Change change)
{
    makeDirs(parentDir(m_path));
    WriteLock lock(m_path + ".lock");
    if (!lock.held())
        return regresult::AccessDenied;
    RegTree tree;
    const LoadResult loaded = load(tree);
    if (loaded == LoadResult::Unreadable)
        return regresult::AccessDenied;
    bool changed = false;
    const long result = change(tree, changed);
    if (result != regresult::Success || !changed)
        return result;
    if (loaded == LoadResult::Corrupt) {
        // Keep the unreadable file for the user to inspect or mend by hand.
        char stamp[32];
        const std::time_t now = std::time(nullptr);
        std::tm tmNow{};
        ::gmtime_r(&now, &tmNow);
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tmNow);
        const std::string backup =
            m_path + ".corrupt-" + stamp + "-" + std::to_string(static_cast<long>(::getpid()));
        if (::rename(m_path.c_str(), backup.c_str()) != 0)
            return regresult::AccessDenied;
    }
    return commit(tree);
}

long FileRegistryStore::commit(const RegTree& tree)
{
    const std::string text = SerializeRegFile(tree);
    const std::string tmp = m_path + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return regresult::AccessDenied;
    const bool written = writeAll(fd, text) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        ::unlink(tmp.c_str());
        return regresult::WriteFault;
    }
    if (m_beforeRename)
        m_beforeRename();
    if (::rename(tmp.c_str(), m_path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return regresult::WriteFault;
    }
    // Make the rename itself durable.
    const int dirFd = ::open(parentDir(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return regresult::Success;
}

// Reads need no lock: the file is only ever replaced whole by a rename, so a
// reader sees either the old tree or the new one. `use` gets the key, or null
// when it does not exist.
template <typename Use>
long FileRegistryStore::readKey(std::int32_t root, const std::string& path, Use use) const
{
    std::vector<std::string_view> parts;
    if (!isValidRoot(root))
        return regresult::InvalidHandle;
    if (const long r = splitPath(path, parts); r != regresult::Success)
        return r;
    RegTree tree;
    load(tree);
    return use(findKey(tree, root, parts));
}

long FileRegistryStore::openKey(std::int32_t root, const std::string& path, std::uint32_t)
{
    return readKey(root, path, [](RegKeyNode* key) {
        return key ? regresult::Success : regresult::FileNotFound;
    });
}

long FileRegistryStore::createKey(std::int32_t root, const std::string& path)
{
    std::vector<std::string_view> parts;
    if (!isValidRoot(root))
        return regresult::InvalidHandle;
    if (const long r = splitPath(path, parts); r != regresult::Success)
        return r;
    return modify([&](RegTree& tree, bool& changed) {
        RegKeyNode* key = &tree.roots[root];
        for (std::string_view part : parts) {
            if (RegKeyNode* sub = key->findSubKey(part)) {
                key = sub;
            } else {
                key = &key->ensureSubKey(part);
                changed = true;
            }
        }
        return regresult::Success;
    });
}

long FileRegistryStore::deleteKey(std::int32_t root, const std::string& path)
{
    std::vector<std::string_view> parts;
    if (!isValidRoot(root))
        return regresult::InvalidHandle;
    if (const long r = splitPath(path, parts); r != regresult::Success)
        return r;
    if (parts.empty())
        return regresult::AccessDenied; // a root cannot be deleted
    return modify([&](RegTree& tree, bool& changed) {
        const std::vector<std::string_view> parentParts(parts.begin(), parts.end() - 1);
        RegKeyNode* parent = findKey(tree, root, parentParts);
        RegKeyNode* key = parent ? parent->findSubKey(parts.back()) : nullptr;
        if (key == nullptr)
            return regresult::FileNotFound;
        // As in the Windows registry, only a key without subkeys can go.
        if (!key->subkeys.empty())
            return regresult::AccessDenied;
        parent->subkeys.erase(parent->subkeys.begin() + (key - parent->subkeys.data()));
        changed = true;
        return regresult::Success;
    });
}

long FileRegistryStore::queryValue(std::int32_t root, const std::string& path,
                                   const std::string& name, RegistryData& out)
{
    return readKey(root, path, [&](RegKeyNode* key) {
        const RegistryData* data = key ? key->findValue(name) : nullptr;
        if (data == nullptr)
            return regresult::FileNotFound;
        out = *data;
        return regresult::Success;
    });
}

long FileRegistryStore::setValue(std::int32_t root, const std::string& path,
                                 const std::string& name, const RegistryData& data)
{
    std::vector<std::string_view> parts;
    if (!isValidRoot(root))
        return regresult::InvalidHandle;
    if (const long r = splitPath(path, parts); r != regresult::Success)
        return r;
    if (hasControlChars(name))
        return regresult::InvalidParameter;
    return modify([&](RegTree& tree, bool& changed) {
        RegKeyNode* key = &tree.roots[root];
        for (std::string_view part : parts)
            key = &key->ensureSubKey(part);
        changed = true;
        if (RegistryData* existing = key->findValue(name))
            *existing = data;
        else
            key->values.emplace_back(name, data);
        return regresult::Success;
    });
}

long FileRegistryStore::deleteValue(std::int32_t root, const std::string& path,
                                    const std::string& name)
{
    std::vector<std::string_view> parts;
    if (!isValidRoot(root))
        return regresult::InvalidHandle;
    if (const long r = splitPath(path, parts); r != regresult::Success)
        return r;
    return modify([&](RegTree& tree, bool& changed) {
        RegKeyNode* key = findKey(tree, root, parts);
        if (key == nullptr)
            return regresult::FileNotFound;
        for (auto it = key->values.begin(); it != key->values.end(); ++it) {
            if (EqualsNoCase(it->first, name)) {
                key->values.erase(it);
                changed = true;
                return regresult::Success;
            }
        }
        return regresult::FileNotFound;
    });
}

long FileRegistryStore::enumValues(std::int32_t root, const std::string& path,
                                   std::vector<std::string>& names)
{
    return readKey(root, path, [&](RegKeyNode* key) {
        if (key == nullptr)
            return regresult::FileNotFound;
        for (const auto& v : key->values)
            names.push_back(v.first);
        return regresult::Success;
    });
}

long FileRegistryStore::enumSubKeys(std::int32_t root, const std::string& path,
                                    std::vector<std::string>& names)
{
    return readKey(root, path, [&](RegKeyNode* key) {
        if (key == nullptr)
            return regresult::FileNotFound;
        for (const auto& k : key->subkeys)
            names.push_back(k.name);
        return regresult::Success;
    });
}

std::string FileRegistryStore::expandEnvironment(const std::string& text)
{
    return ExpandPercentVariables(text, [](const std::string& name, std::string& value) {
        const char* v = std::getenv(name.c_str());
        if (v == nullptr)
            return false;
        value = v;
        return true;
    });
}

std::string DefaultRegistryFilePath()
{
    if (const char* file = std::getenv("CORVANTA_REGISTRY_FILE"); file && *file)
        return file;
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = ".config";
    return base + "/corvanta/registry.reg";
}

} // namespace corvanta

namespace corvanta {

std::shared_ptr<IRegistryStore> DefaultRegistryStore()
{
    // The path is looked up on every call so that a test that points
    // CORVANTA_REGISTRY_FILE elsewhere gets a store on the new file.
    static std::mutex mutex;
    static std::shared_ptr<FileRegistryStore> store;
    const std::string path = DefaultRegistryFilePath();
    std::lock_guard lock(mutex);
    if (!store || store->filePath() != path)
        store = std::make_shared<FileRegistryStore>(path);
    return store;
}

} // namespace corvanta
