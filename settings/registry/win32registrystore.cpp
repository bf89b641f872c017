#include "win32registrystore.h"

#include <windows.h>

namespace corvanta {

namespace {

// Predefined root handles are sign-extended 32-bit numbers.
HKEY rootHandle(std::int32_t root)
{
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(root)));
}

// Closes the key on every path out of an operation.
class KeyGuard final
{
public:
    KeyGuard() = default;
    ~KeyGuard()
    {
        if (m_key != nullptr)
            RegCloseKey(m_key);
    }
    KeyGuard(const KeyGuard&) = delete;
    KeyGuard& operator=(const KeyGuard&) = delete;
    HKEY* out() { return &m_key; }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

long createForWrite(std::int32_t root, const std::string& path, KeyGuard& key)
{
    SECURITY_ATTRIBUTES security{};
    DWORD disposition = 0;
    char emptyClass[1] = {0};
    return RegCreateKeyExA(rootHandle(root), path.c_str(), 0, emptyClass, 0, KeyWriteAccess,
                           &security, key.out(), &disposition);
}

} // namespace

long Win32RegistryStore::openKey(std::int32_t root, const std::string& path, std::uint32_t access)
{
    KeyGuard key;
    return RegOpenKeyExA(rootHandle(root), path.c_str(), 0, access, key.out());
}

long Win32RegistryStore::createKey(std::int32_t root, const std::string& path)
{
    KeyGuard key;
    return createForWrite(root, path, key);
}

long Win32RegistryStore::deleteKey(std::int32_t root, const std::string& path)
{
    return RegDeleteKeyA(rootHandle(root), path.c_str());
}

long Win32RegistryStore::queryValue(std::int32_t root, const std::string& path,
                                    const std::string& name, RegistryData& out)
{
    KeyGuard key;
    long r = RegOpenKeyExA(rootHandle(root), path.c_str(), 0, KeyQueryValue, key.out());
    if (r != ERROR_SUCCESS)
        return r;
    // The value may change between asking its size and reading it; ask again
    // until the buffer fits.
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        r = RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size);
        if (r != ERROR_SUCCESS && r != ERROR_MORE_DATA)
            return r;
        out.bytes.assign(size, 0);
        r = RegQueryValueExA(key.get(), name.c_str(), nullptr, &type,
                             size ? out.bytes.data() : nullptr, &size);
        if (r == ERROR_MORE_DATA)
            continue;
        if (r != ERROR_SUCCESS)
            return r;
        out.type = type;
        out.bytes.resize(size);
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

long Win32RegistryStore::setValue(std::int32_t root, const std::string& path,
                                  const std::string& name, const RegistryData& data)
{
    KeyGuard key;
    const long r = createForWrite(root, path, key);
    if (r != ERROR_SUCCESS)
        return r;
    return RegSetValueExA(key.get(), name.c_str(), 0, data.type,
                          data.bytes.empty() ? nullptr : data.bytes.data(),
                          static_cast<DWORD>(data.bytes.size()));
}

long Win32RegistryStore::deleteValue(std::int32_t root, const std::string& path,
                                     const std::string& name)
{
    KeyGuard key;
    const long r = RegOpenKeyExA(rootHandle(root), path.c_str(), 0, KeyWriteAccess, key.out());
    if (r != ERROR_SUCCESS)
        return r;
    return RegDeleteValueA(key.get(), name.c_str());
}

long Win32RegistryStore::enumValues(std::int32_t root, const std::string& path,
                                    std::vector<std::string>& names)
{
    KeyGuard key;
    long r = RegOpenKeyExA(rootHandle(root), path.c_str(), 0, KeyQueryValue, key.out());
    if (r != ERROR_SUCCESS)
        return r;
    DWORD longest = 0;
    r = RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &longest, nullptr, nullptr, nullptr);
    if (r != ERROR_SUCCESS)
        return r;
    std::string buffer(longest + 1, '\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        r = RegEnumValueA(key.get(), index, buffer.data(), &length, nullptr, nullptr, nullptr,
                          nullptr);
        if (r != ERROR_SUCCESS)
            break;
        names.emplace_back(buffer.data(), length);
    }
    return r == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : r;
}

long Win32RegistryStore::enumSubKeys(std::int32_t root, const std::string& path,
                                     std::vector<std::string>& names)
{
    KeyGuard key;
    long r = RegOpenKeyExA(rootHandle(root), path.c_str(), 0, KeyEnumerateSubKeys, key.out());
    if (r != ERROR_SUCCESS)
        return r;
    for (DWORD index = 0;; ++index) {
        char buffer[256] = {};
        r = RegEnumKeyA(key.get(), index, buffer, 255);
        if (r != ERROR_SUCCESS)
            break;
        names.emplace_back(buffer);
    }
    return r == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : r;
}

std::string Win32RegistryStore::expandEnvironment(const std::string& text)
{
    const DWORD needed = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (needed == 0)
        return text;
    std::string out(needed, '\0');
    const DWORD written = ExpandEnvironmentStringsA(text.c_str(), out.data(), needed);
    if (written == 0 || written > needed)
        return text;
    out.resize(written - 1); // drop the terminating zero
    return out;
}

std::shared_ptr<IRegistryStore> DefaultRegistryStore()
{
    static const auto store = std::make_shared<Win32RegistryStore>();
    return store;
}

} // namespace corvanta
