// The Windows sandbox: a key of the test's own under HKEY_LOCAL_MACHINE in the
// real registry, filled behind cRegistry's back with the raw advapi32 calls.
#include "testregistry.h"
#include "win32registrystore.h"

#include <atomic>
#include <stdexcept>
#include <windows.h>

namespace corvanta::test {
namespace {

class Win32TestRegistry final : public TestRegistry
{
public:
    Win32TestRegistry()
    {
        static std::atomic<int> counter{0};
        m_base = "Software\\CorvantaTests\\" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(++counter);
    }
    ~Win32TestRegistry() override
    {
        RemoveTree(*m_store, root(), m_base);
        m_store->deleteKey(root(), "Software\\CorvantaTests"); // fails while others remain
    }

    std::shared_ptr<IRegistryStore> store() override { return m_store; }
    std::int32_t root() const override { return HKEY_LOCAL_MACHINE_KEY; }
    std::string base() const override { return m_base; }
    void rawSet(const std::string& path, const std::string& name, std::uint32_t type,
                const ByteArray& bytes) override
    {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot create " + path);
        const LONG r =
            RegSetValueExA(key, name.c_str(), 0, type, bytes.empty() ? nullptr : bytes.data(),
                           static_cast<DWORD>(bytes.size()));
        RegCloseKey(key);
        if (r != ERROR_SUCCESS)
            throw std::runtime_error("cannot set " + path + "\\" + name);
    }
    void setEnv(const std::string& name, const std::string& value) override
    {
        SetEnvironmentVariableA(name.c_str(), value.c_str());
    }

private:
    std::shared_ptr<Win32RegistryStore> m_store = std::make_shared<Win32RegistryStore>();
    std::string m_base;
};

} // namespace

std::unique_ptr<TestRegistry> MakeTestRegistry()
{
    return std::make_unique<Win32TestRegistry>();
}

} // namespace corvanta::test
