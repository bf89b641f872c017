// The settings on the real registry, under HKEY_LOCAL_MACHINE, written and
// read through the Win32 store.
#include "cregistry.h"
#include "dnsservers.h"
#include "settings.h"
#include "testregistry.h"
#include "win32registrystore.h"

#include <gtest/gtest.h>

namespace corvanta {
namespace {

const char* const kSettingsKey = "Software\\Halvorn\\Corvanta\\Settings";

class WinSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override { clear(); }
    void TearDown() override
    {
        clear();
        SetHelloNameProvider({});
        SetDnsServerProvider({});
    }
    static void clear()
    {
        Win32RegistryStore store;
        test::RemoveTree(store, HKEY_LOCAL_MACHINE_KEY, "Software\\Halvorn");
    }
};

TEST_F(WinSettingsTest, DefaultsWithoutTheKeyAndTheRoundTrip)
{
    SetHelloNameProvider([] { return std::string("probe.example.net"); });
    const StoredWindowPlacement w = LoadWindowPlacement();
    EXPECT_EQ(w.left, 1000.0f);
    EXPECT_EQ(w.height, 8085.0f);
    StoredRunSettings s = LoadRunSettings();
    EXPECT_EQ(s.dnsServerName, GetDefaultDnsServer());
    EXPECT_EQ(s.defaultThreads, 5);
    EXPECT_EQ(s.dnsTimeout, 30);
    EXPECT_EQ(s.smtpTimeout, 120);
    EXPECT_EQ(s.fromAddress, DefaultFromAddress);
    EXPECT_EQ(s.helloName, "probe.example.net");

    SaveWindowPlacement({10.5f, 20.0f, 9000.0f, 7000.0f});
    WriteSetting(SettingsApplication, SettingsSection, KeyDnsServerName, std::string("10.1.2.3"));
    WriteSetting(SettingsApplication, SettingsSection, KeyDefaultThreads, 300.0);
    WriteSetting(SettingsApplication, SettingsSection, KeyDnsTimeout, std::string("bad"));
    WriteSetting(SettingsApplication, SettingsSection, KeyFromAddress, std::string("me@my.test"));
    EXPECT_EQ(LoadWindowPlacement().left, 10.5f);
    EXPECT_EQ(LoadWindowPlacement().width, 9000.0f);
    s = LoadRunSettings();
    EXPECT_EQ(s.dnsServerName, "10.1.2.3");
    EXPECT_EQ(s.defaultThreads, 300);
    EXPECT_EQ(s.dnsTimeout, 30);
    EXPECT_EQ(s.fromAddress, "me@my.test");

    cRegistry reg;
    reg.SetClassKey(HKEY_LOCAL_MACHINE_KEY);
    reg.SetSectionKey(kSettingsKey);
    reg.SetValueKey(KeyMainLeft);
    EXPECT_EQ(reg.Value(), RegValue(std::string("10.5")));
    EXPECT_EQ(reg.ValueType(), RegSz);
}

TEST(WinMachineName, IsNotEmpty)
{
    EXPECT_FALSE(MachineHostName().empty());
}

} // namespace
} // namespace corvanta
