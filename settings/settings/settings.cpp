#include "settings.h"

#include "cregistry.h"
#include "dnsservers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace corvanta {

namespace {

std::function<std::string()>& helloNameProvider()
{
    static std::function<std::string()> provider;
    return provider;
}

std::function<std::string()>& dnsServerProvider()
{
    static std::function<std::string()> provider;
    return provider;
}

cRegistry settingsCursor(const std::string& application, const std::string& section,
                         const std::string& key)
{
    cRegistry reg;
    reg.SetClassKey(HKEY_LOCAL_MACHINE_KEY);
    reg.SetSectionKey("Software\\" + application + "\\" + section);
    reg.SetValueKey(key);
    reg.SetValueType(RegSz);
    return reg;
}

// A setting's number: a whole stored number, or text that is a decimal number
// in full. Anything else is not a number.
bool settingNumber(const RegValue& value, double& out)
{
    if (const auto* i32 = std::get_if<std::int32_t>(&value)) {
        out = *i32;
        return true;
    }
    if (const auto* i16 = std::get_if<std::int16_t>(&value)) {
        out = *i16;
        return true;
    }
    if (const auto* f = std::get_if<float>(&value)) {
        out = *f;
        return std::isfinite(out);
    }
    if (const auto* d = std::get_if<double>(&value)) {
        out = *d;
        return std::isfinite(out);
    }
    const auto* text = std::get_if<std::string>(&value);
    if (text == nullptr)
        return false;
    std::string_view s = *text;
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty())
        return false;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), out);
    return res.ec == std::errc{} && res.ptr == s.data() + s.size() && std::isfinite(out);
}

} // namespace

RegValue ReadSetting(const std::string& application, const std::string& section,
                     const std::string& key, const RegValue& defaultValue)
{
    try {
        cRegistry reg = settingsCursor(application, section, key);
        reg.SetDefault(defaultValue);
        return reg.Value();
    } catch (const std::exception&) {
        // Reading never fails: even a store that cannot be set up yields the default.
        return defaultValue;
    }
}

void WriteSetting(const std::string& application, const std::string& section,
                  const std::string& key, const RegValue& value)
{
    cRegistry reg = settingsCursor(application, section, key);
    reg.SetValue(value);
}

float SettingToSingle(const RegValue& value, float fallback)
{
    double number = 0;
    if (!settingNumber(value, number) ||
        std::fabs(number) > static_cast<double>(std::numeric_limits<float>::max()))
        return fallback;
    return static_cast<float>(number);
}

std::int32_t SettingToLong(const RegValue& value, std::int32_t fallback)
{
    double number = 0;
    if (!settingNumber(value, number))
        return fallback;
    // The default rounding mode sends halves to the even neighbour.
    const double rounded = std::nearbyint(number);
    if (rounded < std::numeric_limits<std::int32_t>::min() ||
        rounded > std::numeric_limits<std::int32_t>::max())
        return fallback;
    return static_cast<std::int32_t>(rounded);
}

std::string SettingToText(const RegValue& value)
{
    return ValueText(value);
}

StoredWindowPlacement LoadWindowPlacement()
{
    const StoredWindowPlacement defaults;
    StoredWindowPlacement p;
    auto read = [](const char* key, float fallback) {
        return SettingToSingle(ReadSetting(SettingsApplication, SettingsSection, key, fallback),
                               fallback);
    };
    p.left = read(KeyMainLeft, defaults.left);
    p.top = read(KeyMainTop, defaults.top);
    p.width = read(KeyMainWidth, defaults.width);
    p.height = read(KeyMainHeight, defaults.height);
    return p;
}

void SaveWindowPlacement(const StoredWindowPlacement& placement)
{
    WriteSetting(SettingsApplication, SettingsSection, KeyMainLeft, placement.left);
    WriteSetting(SettingsApplication, SettingsSection, KeyMainTop, placement.top);
    WriteSetting(SettingsApplication, SettingsSection, KeyMainWidth, placement.width);
    WriteSetting(SettingsApplication, SettingsSection, KeyMainHeight, placement.height);
}

StoredRunSettings LoadRunSettings()
{
    const StoredRunSettings defaults;
    StoredRunSettings s;
    // A missing value is told apart from a stored one by reading with the
    // empty value as default; the provider is asked only then.
    auto readText = [](const char* key, const std::function<std::string()>& fallback) {
        const RegValue v = ReadSetting(SettingsApplication, SettingsSection, key, RegValue{});
        return std::holds_alternative<std::monostate>(v) ? fallback() : SettingToText(v);
    };
    auto readLong = [](const char* key, std::int32_t fallback) {
        return SettingToLong(ReadSetting(SettingsApplication, SettingsSection, key, fallback),
                             fallback);
    };
    s.dnsServerName = readText(KeyDnsServerName, [] {
        const auto& provider = dnsServerProvider();
        return provider ? provider() : GetDefaultDnsServer();
    });
    s.defaultThreads = readLong(KeyDefaultThreads, defaults.defaultThreads);
    s.dnsTimeout = readLong(KeyDnsTimeout, defaults.dnsTimeout);
    s.smtpTimeout = readLong(KeySmtpTimeout, defaults.smtpTimeout);
    s.fromAddress = readText(KeyFromAddress, [] { return std::string(DefaultFromAddress); });
    s.helloName = readText(KeyHelloName, [] {
        const auto& provider = helloNameProvider();
        return provider ? provider() : MachineHostName();
    });
    s.readReplyCodes = readLong(KeyReadReplyCodes, 0) != 0;
    s.probeAcceptAll = readLong(KeyProbeAcceptAll, 0) != 0;
    s.perDomainLimit = std::max(0, readLong(KeyPerDomainLimit, defaults.perDomainLimit));
    s.recheckGreylisted = readLong(KeyRecheckGreylisted, 0) != 0;
    s.followDuplicates = readLong(KeyFollowDuplicates, 0) != 0;
    return s;
}

void SetHelloNameProvider(std::function<std::string()> provider)
{
    helloNameProvider() = std::move(provider);
}

void SetDnsServerProvider(std::function<std::string()> provider)
{
    dnsServerProvider() = std::move(provider);
}

std::string MachineHostName()
{
#ifdef _WIN32
    char name[256] = {};
    DWORD size = sizeof name;
    if (GetComputerNameExA(ComputerNameDnsHostname, name, &size) && size > 0)
        return std::string(name, size);
#else
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) == 0 && name[0] != '\0')
        return name;
#endif
    return "localhost";
}

} // namespace corvanta
