// cRegistry held to one behaviour on every store: this file is built into the
// Linux tests (file store) and into the Windows tests run under Wine (the real
// registry).
#include "cregistry.h"
#include "testregistry.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>

namespace corvanta {
namespace {

using test::MakeTestRegistry;
using test::TestRegistry;

const std::string HKLM = std::to_string(HKEY_LOCAL_MACHINE_KEY);

ByteArray bytesOf(std::string_view s)
{
    return ByteArray(s.begin(), s.end());
}

template <typename F> RegistryError raised(F&& f)
{
    try {
        f();
    } catch (const RegistryError& e) {
        return e;
    }
    ADD_FAILURE() << "no RegistryError raised";
    return RegistryError(0, "", "");
}

class CRegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_env = MakeTestRegistry();
        m_key = m_env->base() + "\\Settings";
    }

    cRegistry cursor(const std::string& path, const std::string& name, std::int32_t type = RegSz)
    {
        cRegistry reg(m_env->store());
        reg.SetClassKey(m_env->root());
        reg.SetSectionKey(path);
        reg.SetValueKey(name);
        reg.SetValueType(type);
        return reg;
    }

    RegistryData stored(const std::string& name)
    {
        RegistryData data;
        data.type = 0xFFFF;
        m_env->store()->queryValue(m_env->root(), m_key, name, data);
        return data;
    }

    std::unique_ptr<TestRegistry> m_env;
    std::string m_key;
};

TEST_F(CRegistryTest, MissingValueOrKeyYieldsDefaultAndKeepsTheType)
{
    cRegistry reg = cursor(m_key, "Nothing", 42);
    reg.SetDefault(std::string("fallback"));
    EXPECT_EQ(reg.Value(), RegValue(std::string("fallback")));
    EXPECT_EQ(reg.ValueType(), 42);

    m_env->rawSet(m_key, "Other", RegSz, bytesOf(std::string_view("x\0", 2)));
    reg.SetDefault(std::int32_t{7});
    EXPECT_EQ(reg.Value(), RegValue(std::int32_t{7}));
    EXPECT_EQ(reg.ValueType(), 42);

    cRegistry noRoot = cursor(m_key, "Other");
    noRoot.SetClassKey(0);
    noRoot.SetDefault(std::string("d"));
    EXPECT_EQ(noRoot.Value(), RegValue(std::string("d")));
}

TEST_F(CRegistryTest, ReadsEveryStoredType)
{
    m_env->rawSet(m_key, "Sz", RegSz, bytesOf(std::string_view("abc\0", 4)));
    m_env->rawSet(m_key, "EmptySz", RegSz, {});
    m_env->rawSet(m_key, "Dword", RegDword, {30, 0, 0, 0});
    m_env->rawSet(m_key, "Negative", RegDword, {0xFF, 0xFF, 0xFF, 0xFF});
    m_env->rawSet(m_key, "BigEndian", RegDwordBigEndian, {0, 0, 0, 0x1E});
    m_env->rawSet(m_key, "Binary", RegBinary, {1, 0, 2, 0xFF});
    m_env->rawSet(m_key, "Multi", RegMultiSz, bytesOf(std::string_view("a\0bc\0\0", 6)));
    m_env->rawSet(m_key, "Bare", RegSz, bytesOf("abc")); // no terminator

    struct Case
    {
        const char* name;
        RegValue expected;
        std::int32_t type;
    } cases[] = {
        {"Sz", std::string("abc"), RegSz},
        {"EmptySz", std::string(), RegSz},
        {"Dword", std::int32_t{30}, RegDword},
        {"Negative", std::int32_t{-1}, RegDword},
        {"BigEndian", std::int32_t{30}, RegDwordBigEndian},
        {"Binary", ByteArray{1, 0, 2, 0xFF}, RegBinary},
        {"Multi", std::string("a\0bc\0", 5), RegMultiSz},
        {"Bare", std::string("abc"), RegSz},
    };
    for (const Case& c : cases) {
        cRegistry reg = cursor(m_key, c.name, RegNone);
        EXPECT_EQ(reg.Value(), c.expected) << c.name;
        EXPECT_EQ(reg.ValueType(), c.type) << c.name;
    }
}

TEST_F(CRegistryTest, PercentSignsSetApartStoreAnExpandableString)
{
    m_env->setEnv("CORVANTA_TEST_DIR", "/data/lists");
    cRegistry reg = cursor(m_key, "Path");
    reg.SetValue(std::string("%CORVANTA_TEST_DIR%/in.txt"));
    EXPECT_EQ(stored("Path").type, static_cast<std::uint32_t>(RegExpandSz));
    EXPECT_EQ(reg.Value(), RegValue(std::string("/data/lists/in.txt")));
    EXPECT_EQ(reg.ValueType(), RegExpandSz);

    // An unknown name is kept as written.
    reg.SetValue(std::string("%CORVANTA_NO_SUCH_VARIABLE%x"));
    EXPECT_EQ(reg.Value(), RegValue(std::string("%CORVANTA_NO_SUCH_VARIABLE%x")));

    // Only a name set apart makes a string expandable, whatever the type field says.
    for (const char* plain : {"100%", "a%%b", "%%", "50% off"}) {
        cursor(m_key, "Plain", RegExpandSz).SetValue(std::string(plain));
        EXPECT_EQ(stored("Plain").type, static_cast<std::uint32_t>(RegSz)) << plain;
    }
    cursor(m_key, "Shortest").SetValue(std::string("%X%"));
    EXPECT_EQ(stored("Shortest").type, static_cast<std::uint32_t>(RegExpandSz));
}

TEST_F(CRegistryTest, WriteFollowsTheValueTypeField)
{
    struct Case
    {
        const char* name;
        std::int32_t type;
        RegValue value;
        std::uint32_t storedType; // 0xFFFF: nothing stored
        ByteArray bytes;
    } cases[] = {
        {"AsText", RegSz, std::int32_t{30}, RegSz, bytesOf(std::string_view("30\0", 3))},
        {"AsDword", RegDword, std::int32_t{30}, RegDword, {30, 0, 0, 0}},
        // Big-endian is never written as such: the number goes out little-endian.
        {"FromBigEndian", RegDwordBigEndian, std::int16_t{-2}, RegDword, {0xFE, 0xFF, 0xFF, 0xFF}},
        // Text for a DWORD is skipped without complaint.
        {"Skipped", RegDword, std::string("30"), 0xFFFF, {}},
        {"Bytes", RegBinary, ByteArray{0, 1, 2}, RegBinary, {0, 1, 2}},
        {"NoBytes", RegBinary, ByteArray{}, RegBinary, {}},
    };
    for (const Case& c : cases) {
        EXPECT_NO_THROW(cursor(m_key, c.name, c.type).SetValue(c.value)) << c.name;
        EXPECT_EQ(stored(c.name).type, c.storedType) << c.name;
        EXPECT_EQ(stored(c.name).bytes, c.bytes) << c.name;
    }
}

TEST_F(CRegistryTest, WriteErrorsCarryNumberSourceAndText)
{
    const RegistryError notBytes =
        raised([&] { cursor(m_key, "Bin", RegBinary).SetValue(std::string("abc")); });
    EXPECT_EQ(notBytes.number(), 26001);
    EXPECT_EQ(stored("Bin").type, 0xFFFFu);

    const RegistryError badType =
        raised([&] { cursor(m_key, "Multi", RegMultiSz).SetValue(std::string("a")); });
    EXPECT_EQ(badType.number(), -2147194455);
    EXPECT_EQ(badType.description(), "Failed to set registry value Key: '" + HKLM + "',Section: '" +
                                         m_key + "',Key: 'Multi' to value: 'a'");
    EXPECT_EQ(stored("Multi").type, 0xFFFFu);

    cRegistry noRoot = cursor(m_key, "V");
    noRoot.SetClassKey(0);
    const RegistryError cannotOpen = raised([&] { noRoot.SetValue(std::int32_t{5}); });
    EXPECT_EQ(cannotOpen.number(), 26001);
    EXPECT_EQ(cannotOpen.description(), "Failed to set registry value Key: '0',Section: '" + m_key +
                                            "',Key: 'V' to value: '5'");

    const std::string source = cannotOpen.source();
    const std::string suffix = ".cRegistry";
    ASSERT_GT(source.size(), suffix.size());
    EXPECT_EQ(source.substr(source.size() - suffix.size()), suffix);
    EXPECT_EQ(source.find(".exe"), std::string::npos);
    EXPECT_EQ(source.find('/'), std::string::npos);
    EXPECT_EQ(source.find('\\'), std::string::npos);
}

TEST_F(CRegistryTest, KeysAndValuesAreCreatedFoundAndDeleted)
{
    const std::string deep = m_key + "\\Deeper\\Deepest";
    cRegistry reg = cursor(deep, "");
    EXPECT_FALSE(reg.KeyExists());
    EXPECT_TRUE(reg.CreateKey());
    EXPECT_TRUE(reg.KeyExists());
    EXPECT_TRUE(reg.CreateKey()); // opening an existing key is fine

    // Names compare without regard to case.
    EXPECT_TRUE(cursor(m_key + "\\DEEPER\\deepest", "").KeyExists());

    cRegistry parent = cursor(m_key + "\\Deeper", "");
    const RegistryError hasChildren = raised([&] { parent.DeleteKey(); });
    EXPECT_EQ(hasChildren.number(), 26001);
    EXPECT_EQ(hasChildren.description(),
              "Failed to delete registry Key: '" + HKLM + "',Section: '" + m_key + "\\Deeper");
    EXPECT_TRUE(parent.KeyExists());

    EXPECT_TRUE(reg.DeleteKey());
    EXPECT_FALSE(reg.KeyExists());
    EXPECT_TRUE(parent.DeleteKey());
    EXPECT_EQ(raised([&] { reg.DeleteKey(); }).number(), 26001);

    cRegistry noRoot = cursor("Anything", "");
    noRoot.SetClassKey(0);
    const RegistryError cannotCreate = raised([&] { noRoot.CreateKey(); });
    EXPECT_EQ(cannotCreate.number(), 26001);
    EXPECT_EQ(cannotCreate.description(), "Failed to create registry Key: 'Anything");

    // Values are deleted too, and deleting a missing one raises.
    reg = cursor(m_key, "Gone");
    reg.SetValue(std::string("x"));
    EXPECT_TRUE(cursor(m_key, "GONE").DeleteValue());
    reg.SetDefault(std::string("default"));
    EXPECT_EQ(reg.Value(), RegValue(std::string("default")));

    const RegistryError missingValue = raised([&] { reg.DeleteValue(); });
    EXPECT_EQ(missingValue.number(), 26001);
    EXPECT_EQ(missingValue.description(), "Failed to delete registry Key: '" + HKLM +
                                              "',Section: '" + m_key + "',Key: 'Gone, ");

    cRegistry noKey = cursor(m_key + "\\Missing", "Gone");
    const RegistryError missingKey = raised([&] { noKey.DeleteValue(); });
    EXPECT_EQ(missingKey.number(), 26001);
    EXPECT_EQ(missingKey.description(), "Failed to open key '" + HKLM + "',Section: '" + m_key +
                                            "\\Missing' for delete access");
}

TEST_F(CRegistryTest, EnumeratesValuesAndSections)
{
    cRegistry missing = cursor(m_key + "\\Missing", "");
    std::vector<std::string> names;
    std::int32_t count = 0;
    for (auto enumerate : {&cRegistry::EnumerateValues, &cRegistry::EnumerateSections}) {
        names = {"stale"};
        count = 99;
        EXPECT_TRUE((missing.*enumerate)(names, count));
        EXPECT_EQ(count, 0);
        EXPECT_TRUE(names.empty());
    }

    for (const char* name : {"Zeta", "alpha", "Mid"})
        cursor(m_key, name).SetValue(std::string("v"));
    for (const char* sub : {"beta", "Alpha", "Gamma"})
        cursor(m_key + "\\" + sub, "").CreateKey();

    cRegistry reg = cursor(m_key, "");
    EXPECT_TRUE(reg.EnumerateValues(names, count));
    EXPECT_EQ(count, 3);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Mid", "Zeta", "alpha"}));

    // Subkeys come in the registry's own order: alphabetical, ignoring case.
    EXPECT_TRUE(reg.EnumerateSections(names, count));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "Gamma"}));
}

TEST_F(CRegistryTest, FileAssociationsAreWrittenUnderBothRoots)
{
    // A class name of this test's own, so the real registry keeps no trace.
    const std::string base = m_env->base();
    const std::string suffix = base.substr(base.rfind('\\') + 1);
    const std::string cls = "CorvantaTest." + suffix;
    const std::string ext = "cv" + suffix;
    cRegistry reg(m_env->store());

    const RegistryError undefined = raised([&] {
        reg.CreateAdditionalEXEAssociations(
            cls, {std::string("edit"), std::string("&Edit"), std::string("x")});
    });
    EXPECT_EQ(undefined.number(), static_cast<std::int32_t>(0x800469ADu));
    EXPECT_EQ(undefined.description(),
              "Error - attempt to create additional associations before class defined.");
    const RegistryError badList =
        raised([&] { reg.CreateAdditionalEXEAssociations(cls, {std::string("edit")}); });
    EXPECT_EQ(badList.number(), static_cast<std::int32_t>(0x800469ACu));
    EXPECT_EQ(badList.description(),
              "Invalid parameter list passed to "
              "CreateAdditionalEXEAssociations - expected Name/Text/Command");

    reg.CreateEXEAssociation("  C:\\Apps\\cv.exe ", cls, "Corvanta list", ext, "", true, "", false,
                             "", true, "", 2);
    EXPECT_EQ(reg.ClassKey(), HKEY_LOCAL_MACHINE_KEY);
    reg.CreateAdditionalEXEAssociations(
        cls, {std::string("edit"), std::string("&Edit"), std::string("notepad \"%1\"")});

    const std::string exe = "\"C:\\Apps\\cv.exe\"";
    const std::pair<std::string, std::string> expected[] = {
        {"." + ext, cls},
        {cls, "Corvanta list"},
        {cls + "\\shell\\open", "&Open"},
        {cls + "\\shell\\open\\command", exe + " \"%1\""},
        {cls + "\\shell\\print", "&Print"},
        {cls + "\\shell\\print\\command", exe + " /p \"%1\""},
        {cls + "\\shell\\add", "&Install " + ext},
        {cls + "\\shell\\add\\command", exe + " /a \"%1\""},
        {cls + "\\DefaultIcon", exe + ",2"},
        {cls + "\\shell\\edit", "&Edit"},
        {cls + "\\shell\\edit\\command", "notepad \"%1\""},
    };
    for (const auto& [key, text] : expected) {
        for (const auto& [root, path] :
             {std::pair{HKEY_CLASSES_ROOT_KEY, key},
              std::pair{HKEY_LOCAL_MACHINE_KEY, "SOFTWARE\\Classes\\" + key}}) {
            cRegistry read(m_env->store());
            read.SetClassKey(root);
            read.SetSectionKey(path);
            EXPECT_EQ(read.Value(), RegValue(text)) << root << " " << path;
        }
    }
    cRegistry newVerb(m_env->store());
    newVerb.SetClassKey(HKEY_CLASSES_ROOT_KEY);
    newVerb.SetSectionKey(cls + "\\shell\\new");
    EXPECT_FALSE(newVerb.KeyExists());

    for (const std::string& key : {"." + ext, cls}) {
        test::RemoveTree(*m_env->store(), HKEY_CLASSES_ROOT_KEY, key);
        test::RemoveTree(*m_env->store(), HKEY_LOCAL_MACHINE_KEY, "SOFTWARE\\Classes\\" + key);
    }
}

// A store whose every call fails outright, as a broken platform layer would.
class ThrowingStore final : public IRegistryStore
{
public:
    long openKey(std::int32_t, const std::string&, std::uint32_t) override { fail(); }
    long createKey(std::int32_t, const std::string&) override { fail(); }
    long deleteKey(std::int32_t, const std::string&) override { fail(); }
    long queryValue(std::int32_t, const std::string&, const std::string&, RegistryData&) override
    {
        fail();
    }
    long setValue(std::int32_t, const std::string&, const std::string&,
                  const RegistryData&) override
    {
        fail();
    }
    long deleteValue(std::int32_t, const std::string&, const std::string&) override { fail(); }
    long enumValues(std::int32_t, const std::string&, std::vector<std::string>&) override
    {
        fail();
    }
    long enumSubKeys(std::int32_t, const std::string&, std::vector<std::string>&) override
    {
        fail();
    }
    std::string expandEnvironment(const std::string&) override { fail(); }

private:
    [[noreturn]] static void fail() { throw std::runtime_error("store unavailable"); }
};

TEST(CRegistryFailingStore, ReadsYieldTheDefaultAndOtherOperationsRaise)
{
    cRegistry reg(std::make_shared<ThrowingStore>());
    reg.SetClassKey(HKEY_LOCAL_MACHINE_KEY);
    reg.SetSectionKey("Software\\X");
    reg.SetValueKey("V");
    reg.SetValueType(RegSz);
    reg.SetDefault(std::int32_t{3});
    EXPECT_EQ(reg.Value(), RegValue(std::int32_t{3}));
    EXPECT_FALSE(reg.KeyExists());

    std::vector<std::string> names;
    std::int32_t count = -1;
    EXPECT_TRUE(reg.EnumerateValues(names, count));
    EXPECT_EQ(count, 0);

    const RegistryError sections = raised([&] { reg.EnumerateSections(names, count); });
    EXPECT_EQ(sections.number(), static_cast<std::int32_t>(0x800469AAu));
    EXPECT_EQ(sections.description(), "store unavailable");
    EXPECT_EQ(raised([&] { reg.SetValue(std::string("x")); }).number(), 26001);
}

} // namespace
} // namespace corvanta
