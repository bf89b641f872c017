// The file store: persistence, roots, concurrent writers in threads and
// processes, a crash before the rename, and damaged or unusable files.
#include "fileregistrystore.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace corvanta {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

RegistryData text(std::string_view s)
{
    ByteArray b(s.begin(), s.end());
    b.push_back(0);
    return {RegSz, b};
}

class FileStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string dir = (fs::temp_directory_path() / "cvstore-XXXXXX").string();
        ASSERT_NE(::mkdtemp(dir.data()), nullptr);
        m_dir = dir;
        m_file = m_dir / "sub" / "registry.reg";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string valueText(FileRegistryStore& store, const std::string& path,
                          const std::string& name)
    {
        RegistryData d;
        if (store.queryValue(HKEY_LOCAL_MACHINE_KEY, path, name, d) != 0)
            return "<missing>";
        return std::string(d.bytes.begin(), d.bytes.end() - (d.bytes.empty() ? 0 : 1));
    }

    // Writes `count` values named <prefix>V<i> through a store of its own, as
    // a separate window or program would; returns how many writes failed.
    int writeValues(const std::string& prefix, int count)
    {
        FileRegistryStore store(m_file.string());
        int failures = 0;
        for (int i = 0; i < count; ++i) {
            const std::string name = prefix + "V" + std::to_string(i);
            failures +=
                store.setValue(HKEY_LOCAL_MACHINE_KEY, "Software\\Race", name, text(name)) != 0;
        }
        return failures;
    }

    fs::path m_dir;
    fs::path m_file;
};

TEST_F(FileStoreTest, ValuesPersistInAReadableFileAndRootsStayApart)
{
    {
        FileRegistryStore store(m_file.string());
        ASSERT_EQ(
            store.setValue(HKEY_LOCAL_MACHINE_KEY, "Software\\Corvanta", "Who", text("machine")),
            0);
        ASSERT_EQ(store.setValue(HKEY_CURRENT_USER_KEY, "Software\\Corvanta", "Who", text("user")),
                  0);
    }
    FileRegistryStore reopened(m_file.string());
    EXPECT_EQ(valueText(reopened, "software\\CORVANTA", "WHO"), "machine");
    RegistryData d;
    ASSERT_EQ(reopened.queryValue(HKEY_CURRENT_USER_KEY, "Software\\Corvanta", "Who", d), 0);
    EXPECT_EQ(d.bytes, text("user").bytes);
    EXPECT_NE(reopened.openKey(HKEY_CLASSES_ROOT_KEY, "Software\\Corvanta", KeyQueryValue), 0);
    EXPECT_EQ(reopened.openKey(0x1234, "", KeyQueryValue), regresult::InvalidHandle);

    const std::string content = readFile(m_file);
    EXPECT_NE(content.find("[HKEY_LOCAL_MACHINE\\Software\\Corvanta]\n\"Who\"=\"machine\""),
              std::string::npos)
        << content;
    EXPECT_FALSE(fs::exists(m_file.string() + ".tmp"));
}

TEST_F(FileStoreTest, ManyThreadsAndProcessesWritingAtOnceLoseNothing)
{
    constexpr int kWriters = 6; // threads, and as many processes
    constexpr int kValues = 15;
    std::vector<pid_t> children;
    for (int p = 0; p < kWriters; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            ::_exit(writeValues("P" + std::to_string(p), kValues) == 0 ? 0 : 1);
        children.push_back(pid);
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < kWriters; ++t)
        threads.emplace_back(
            [this, t] { EXPECT_EQ(writeValues("T" + std::to_string(t), kValues), 0); });
    for (auto& t : threads)
        t.join();
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    FileRegistryStore reader(m_file.string());
    std::vector<std::string> names;
    EXPECT_EQ(reader.enumValues(HKEY_LOCAL_MACHINE_KEY, "Software\\Race", names), 0);
    EXPECT_EQ(names.size(), static_cast<std::size_t>(2 * kWriters * kValues));
    EXPECT_EQ(valueText(reader, "Software\\Race", "T5V14"), "T5V14");
}

TEST_F(FileStoreTest, CrashBeforeTheRenameLeavesTheOldFileWhole)
{
    FileRegistryStore store(m_file.string());
    ASSERT_EQ(store.setValue(HKEY_LOCAL_MACHINE_KEY, "Software\\C", "Kept", text("old")), 0);
    const std::string before = readFile(m_file);

    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        FileRegistryStore dying(m_file.string());
        dying.setBeforeRenameHook([] { ::_exit(3); });
        dying.setValue(HKEY_LOCAL_MACHINE_KEY, "Software\\C", "Kept", text("new"));
        dying.setValue(HKEY_LOCAL_MACHINE_KEY, "Software\\C", "Lost", text("x"));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 3); // it died inside the first write

    EXPECT_EQ(readFile(m_file), before);
    EXPECT_EQ(valueText(store, "Software\\C", "Kept"), "old");
    // The lock died with the process; the next writer carries on.
    ASSERT_EQ(store.setValue(HKEY_LOCAL_MACHINE_KEY, "Software\\C", "After", text("y")), 0);
    EXPECT_EQ(valueText(store, "Software\\C", "Kept"), "old");
    EXPECT_EQ(valueText(store, "Software\\C", "After"), "y");
}

TEST_F(FileStoreTest, DamagedFileIsKeptAsideNotOverwritten)
{
    fs::create_directories(m_file.parent_path());
    const std::string garbage = "this is not\na registry file\n";
    std::ofstream(m_file, std::ios::binary) << garbage;

    FileRegistryStore store(m_file.string());
    EXPECT_EQ(valueText(store, "Software\\D", "V"), "<missing>");
    EXPECT_EQ(readFile(m_file), garbage); // reading changes nothing

    ASSERT_EQ(store.setValue(HKEY_LOCAL_MACHINE_KEY, "Software\\D", "V", text("fresh")), 0);
    EXPECT_EQ(valueText(store, "Software\\D", "V"), "fresh");
    int backups = 0;
    for (const auto& entry : fs::directory_iterator(m_file.parent_path())) {
        if (entry.path().filename().string().rfind("registry.reg.corrupt-", 0) == 0) {
            ++backups;
            EXPECT_EQ(readFile(entry.path()), garbage);
        }
    }
    EXPECT_EQ(backups, 1);
}

TEST_F(FileStoreTest, UnusableLocationFailsWritesAndYieldsDefaults)
{
    // The folder the file should live in is a plain file.
    std::ofstream(m_dir / "sub") << "in the way";
    FileRegistryStore store(m_file.string());
    EXPECT_NE(store.createKey(HKEY_LOCAL_MACHINE_KEY, "Software\\X"), 0);
    EXPECT_NE(store.setValue(HKEY_LOCAL_MACHINE_KEY, "Software\\X", "V", text("v")), 0);
    EXPECT_EQ(valueText(store, "Software\\X", "V"), "<missing>");
}

TEST_F(FileStoreTest, PathRulesMatchTheRegistry)
{
    FileRegistryStore store(m_file.string());
    EXPECT_EQ(store.createKey(HKEY_LOCAL_MACHINE_KEY, "A\\\\B"), regresult::BadPathname);
    EXPECT_EQ(store.createKey(HKEY_LOCAL_MACHINE_KEY, std::string(256, 'k')),
              regresult::InvalidParameter);
    std::string tooDeep = "k";
    for (std::size_t i = 0; i < kMaxKeyDepth; ++i)
        tooDeep += "\\k";
    EXPECT_EQ(store.createKey(HKEY_LOCAL_MACHINE_KEY, tooDeep), regresult::InvalidParameter);
    EXPECT_EQ(store.createKey(HKEY_LOCAL_MACHINE_KEY, "A\\B\\"), 0);
    EXPECT_EQ(store.openKey(HKEY_LOCAL_MACHINE_KEY, "a\\b", KeyQueryValue), 0);
    EXPECT_EQ(store.openKey(HKEY_LOCAL_MACHINE_KEY, "", KeyQueryValue), 0);
    EXPECT_NE(store.deleteKey(HKEY_LOCAL_MACHINE_KEY, ""), 0);
    // Deleting a missing key or value changes nothing and says so.
    EXPECT_EQ(store.deleteKey(HKEY_LOCAL_MACHINE_KEY, "A\\Nope"), regresult::FileNotFound);
    EXPECT_EQ(store.deleteValue(HKEY_LOCAL_MACHINE_KEY, "A", "Nope"), regresult::FileNotFound);
}

} // namespace
} // namespace corvanta
