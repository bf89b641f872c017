// The ten settings: defaults on a machine without the key, the round trip of
// every setting, forgiving number conversions and a store that cannot write.
#include "cregistry.h"
#include "dnsservers.h"
#include "settings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <tuple>
#include <unistd.h>

namespace corvanta {
namespace {

namespace fs = std::filesystem;

class SettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string dir = (fs::temp_directory_path() / "cvsettings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(dir.data()), nullptr);
        m_dir = dir;
        ::setenv("CORVANTA_REGISTRY_FILE", (m_dir / "registry.reg").c_str(), 1);
        SetDnsServerProvider([this] {
            ++m_dnsAsked;
            return std::string("192.0.2.53");
        });
        SetHelloNameProvider([this] {
            ++m_helloAsked;
            return std::string("probe.example.net");
        });
    }
    void TearDown() override
    {
        SetDnsServerProvider({});
        SetHelloNameProvider({});
        ::unsetenv("CORVANTA_REGISTRY_FILE");
        fs::remove_all(m_dir);
    }

    static void store(const char* key, const RegValue& value)
    {
        WriteSetting(SettingsApplication, SettingsSection, key, value);
    }
    static RegValue raw(const char* key)
    {
        return ReadSetting(SettingsApplication, SettingsSection, key, std::string("<missing>"));
    }

    fs::path m_dir;
    int m_dnsAsked = 0;
    int m_helloAsked = 0;
};

TEST_F(SettingsTest, MachineWithoutTheKeyOrWithGarbageInItGetsTheDefaults)
{
    const StoredWindowPlacement w = LoadWindowPlacement();
    EXPECT_EQ(std::tuple(w.left, w.top, w.width, w.height),
              std::tuple(1000.0f, 1000.0f, 11685.0f, 8085.0f));

    const StoredRunSettings s = LoadRunSettings();
    EXPECT_EQ(s.dnsServerName, "192.0.2.53");
    EXPECT_EQ(std::tuple(s.defaultThreads, s.dnsTimeout, s.smtpTimeout), std::tuple(5, 30, 120));
    EXPECT_EQ(s.fromAddress, DefaultFromAddress);
    EXPECT_EQ(s.helloName, "probe.example.net");
    EXPECT_FALSE(s.readReplyCodes || s.probeAcceptAll);
    EXPECT_EQ(std::tuple(m_dnsAsked, m_helloAsked), std::tuple(1, 1));
    // Reading wrote nothing.
    EXPECT_FALSE(fs::exists(m_dir / "registry.reg"));

    // Without providers the system's DNS server and the host name stand in.
    SetDnsServerProvider({});
    SetHelloNameProvider({});
    const StoredRunSettings builtIn = LoadRunSettings();
    EXPECT_EQ(builtIn.dnsServerName, GetDefaultDnsServer());
    EXPECT_EQ(builtIn.helloName, MachineHostName());
    EXPECT_FALSE(builtIn.helloName.empty());

    // Stored numbers that are not numbers, or do not fit, read as the defaults.
    store(KeyMainLeft, std::string("left"));
    store(KeyMainWidth, std::string("1e40"));
    store(KeyMainHeight, std::string(" 640 "));
    store(KeyDefaultThreads, std::string("4294967296"));
    store(KeyDnsTimeout, std::string("soon"));
    store(KeySmtpTimeout, std::string(""));
    const StoredWindowPlacement placed = LoadWindowPlacement();
    EXPECT_EQ(std::tuple(placed.left, placed.width, placed.height),
              std::tuple(1000.0f, 11685.0f, 640.0f));
    const StoredRunSettings garbled = LoadRunSettings();
    EXPECT_EQ(std::tuple(garbled.defaultThreads, garbled.dnsTimeout, garbled.smtpTimeout),
              std::tuple(5, 30, 120));
}

TEST_F(SettingsTest, EverySettingSurvivesTheRoundTrip)
{
    SaveWindowPlacement({12.5f, -300.0f, 9000.0f, 7215.0f});
    store(KeyDnsServerName, std::string("10.1.2.3"));
    store(KeyDnsTimeout, 7.0); // the setup dialog stores the number it parsed
    store(KeyHelloName, std::string("mx.mydomain.test"));
    store(KeyFromAddress, std::string("me@mydomain.test"));
    store(KeySmtpTimeout, 45.0);
    store(KeyDefaultThreads, 250.0);
    store(KeyReadReplyCodes, std::string("1"));
    store(KeyProbeAcceptAll, std::string("0"));
    store(KeyPerDomainLimit, 20.0);
    store(KeyRecheckGreylisted, std::string("1"));
    store(KeyFollowDuplicates, std::string("1"));

    const StoredWindowPlacement w = LoadWindowPlacement();
    EXPECT_EQ(std::tuple(w.left, w.top, w.width, w.height),
              std::tuple(12.5f, -300.0f, 9000.0f, 7215.0f));
    EXPECT_EQ(raw(KeyMainLeft), RegValue(std::string("12.5")));
    EXPECT_EQ(raw(KeyMainWidth), RegValue(std::string("9000")));

    const StoredRunSettings s = LoadRunSettings();
    EXPECT_EQ(std::tuple(s.dnsServerName, s.fromAddress, s.helloName),
              std::tuple("10.1.2.3", "me@mydomain.test", "mx.mydomain.test"));
    EXPECT_EQ(std::tuple(s.defaultThreads, s.dnsTimeout, s.smtpTimeout), std::tuple(250, 7, 45));
    EXPECT_EQ(std::tuple(s.readReplyCodes, s.probeAcceptAll, s.perDomainLimit, s.recheckGreylisted,
                         s.followDuplicates),
              std::tuple(true, false, 20, true, true));
    EXPECT_EQ(std::tuple(m_dnsAsked, m_helloAsked), std::tuple(0, 0));

    // Every setting is a string value under HKLM\Software\Halvorn\Corvanta\Settings.
    cRegistry reg;
    reg.SetClassKey(HKEY_LOCAL_MACHINE_KEY);
    reg.SetSectionKey("Software\\Halvorn\\Corvanta\\Settings");
    std::vector<std::string> names;
    std::int32_t count = 0;
    reg.EnumerateValues(names, count);
    EXPECT_EQ(count, 15);
    for (const std::string& name : names) {
        reg.SetValueKey(name);
        reg.Value();
        EXPECT_EQ(reg.ValueType(), RegSz) << name;
    }
}

TEST(SettingConversions, NumbersFromTextAndStoredValues)
{
    const std::pair<RegValue, std::int32_t> longs[] = {
        {std::string("7"), 7},
        {std::string(" 8\t"), 8},
        {std::string("+9"), 9},
        {std::string("-1"), -1},
        {std::string("2.5"), 2},
        {std::string("3.5"), 4},
        {std::string("1e3"), 1000},
        {std::string("2147483647"), 2147483647},
        {std::string("2147483648"), -5},
        {std::string("-2147483649"), -5},
        {std::string("12abc"), -5},
        {std::string("0x10"), -5},
        {std::string("nan"), -5},
        {std::string("inf"), -5},
        {std::string(""), -5},
        {std::int32_t{42}, 42},
        {std::int16_t{-3}, -3},
        {ByteArray{1}, -5},
        {true, -5},
        {RegValue{}, -5},
    };
    for (const auto& [value, expected] : longs)
        EXPECT_EQ(SettingToLong(value, -5), expected) << ValueText(value);

    EXPECT_EQ(SettingToSingle(std::string("-5.25"), 1.0f), -5.25f);
    EXPECT_EQ(SettingToSingle(std::string("3.4e38"), 1.0f), 3.4e38f);
    EXPECT_EQ(SettingToSingle(std::string("3.5e38"), 1.0f), 1.0f);
    EXPECT_EQ(SettingToSingle(std::string("1,5"), 1.0f), 1.0f);
    EXPECT_EQ(SettingToSingle(std::int32_t{11685}, 1.0f), 11685.0f);
}

TEST_F(SettingsTest, SettingThatCannotBeWrittenRaisesTheRegistryError)
{
    std::ofstream(m_dir / "blocker") << "a file where a folder should be";
    ::setenv("CORVANTA_REGISTRY_FILE", (m_dir / "blocker" / "registry.reg").c_str(), 1);
    try {
        store(KeyDnsTimeout, 30.0);
        ADD_FAILURE() << "WriteSetting did not raise";
    } catch (const RegistryError& e) {
        EXPECT_EQ(e.number(), 26001);
        EXPECT_EQ(e.description(), "Failed to set registry value Key: '-2147483646',Section: "
                                   "'Software\\Halvorn\\Corvanta\\Settings',Key: 'DnsTimeout' "
                                   "to value: '30'");
    }
    // Reading there still works and yields the defaults.
    EXPECT_EQ(LoadRunSettings().dnsTimeout, 30);
}

} // namespace
} // namespace corvanta
