// The Linux sandbox: the file store on a file in a fresh temporary folder.
#include "fileregistrystore.h"
#include "testregistry.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace corvanta::test {
namespace {

class FileTestRegistry final : public TestRegistry
{
public:
    FileTestRegistry()
    {
        std::string dir = (std::filesystem::temp_directory_path() / "cvreg-XXXXXX").string();
        if (::mkdtemp(dir.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        m_dir = dir;
        m_store = std::make_shared<FileRegistryStore>(dir + "/registry.reg");
        static std::atomic<int> counter{0};
        m_base = "Software\\CorvantaTests\\" + std::to_string(::getpid()) + "-" +
                 std::to_string(++counter);
    }
    ~FileTestRegistry() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    std::shared_ptr<IRegistryStore> store() override { return m_store; }
    std::int32_t root() const override { return HKEY_LOCAL_MACHINE_KEY; }
    std::string base() const override { return m_base; }
    void rawSet(const std::string& path, const std::string& name, std::uint32_t type,
                const ByteArray& bytes) override
    {
        if (m_store->setValue(root(), path, name, RegistryData{type, bytes}) != 0)
            throw std::runtime_error("cannot set " + path + "\\" + name);
    }
    void setEnv(const std::string& name, const std::string& value) override
    {
        ::setenv(name.c_str(), value.c_str(), 1);
    }

private:
    std::string m_dir;
    std::string m_base;
    std::shared_ptr<FileRegistryStore> m_store;
};

} // namespace

std::unique_ptr<TestRegistry> MakeTestRegistry()
{
    return std::make_unique<FileTestRegistry>();
}

} // namespace corvanta::test
