#pragma once

#include "registryerror.h"
#include "registryvalue.h"

#include <cstdint>
#include <functional>
#include <string>

namespace corvanta {

// Where every setting lives: HKEY_LOCAL_MACHINE\Software\<application>\<section>.
inline constexpr const char* SettingsApplication = "Halvorn\\Corvanta";
inline constexpr const char* SettingsSection = "Settings";

// The ten settings' value names, in the order the main window reads them.
inline constexpr const char* KeyMainLeft = "MainLeft";
inline constexpr const char* KeyMainTop = "MainTop";
inline constexpr const char* KeyMainWidth = "MainWidth";
inline constexpr const char* KeyMainHeight = "MainHeight";
inline constexpr const char* KeyDnsServerName = "DnsServerName";
inline constexpr const char* KeyDefaultThreads = "DefaultThreads";
inline constexpr const char* KeyPerDomainLimit = "PerDomainLimit";
inline constexpr const char* KeyRecheckGreylisted = "RecheckGreylisted";
inline constexpr const char* KeyDnsTimeout = "DnsTimeout";
inline constexpr const char* KeySmtpTimeout = "SmtpTimeout";
inline constexpr const char* KeyFromAddress = "FromAddress";
inline constexpr const char* KeyHelloName = "HelloName";
// The verdict switches, stored as "1" or "0"; missing means off.
inline constexpr const char* KeyReadReplyCodes = "ReadReplyCodes";
inline constexpr const char* KeyProbeAcceptAll = "ProbeAcceptAll";
// A run checks each repeated address once: "1" or "0"; missing means off.
inline constexpr const char* KeyFollowDuplicates = "FollowDuplicates";

// The sender given in MAIL FROM until the user sets an address of their own
// domain. A role mailbox at a reserved domain is syntactically sound and
// accepted by the usual sender checks that do not resolve the domain.
inline constexpr const char* DefaultFromAddress = "postmaster@example.com";

// Reads one value of HKEY_LOCAL_MACHINE\Software\<application>\<section>.
// Never raises: a missing key or value yields `defaultValue` unchanged; a
// present one yields its text (or a number for a stored REG_DWORD).
RegValue ReadSetting(const std::string& application, const std::string& section,
                     const std::string& key, const RegValue& defaultValue);

// Stores the value's text, creating the key when needed. Raises RegistryError
// when the value cannot be written; the caller shows it.
void WriteSetting(const std::string& application, const std::string& section,
                  const std::string& key, const RegValue& value);

// Conversions of a read setting. Text must be a number in full (blanks around
// it allowed, '.' as decimal point); whatever is not a number, or does not fit
// the type, yields `fallback` instead of failing.
float SettingToSingle(const RegValue& value, float fallback);
// Rounds to the nearest integer, a half to the even neighbour.
std::int32_t SettingToLong(const RegValue& value, std::int32_t fallback);
std::string SettingToText(const RegValue& value);

// The main window's position and size, in twips.
struct StoredWindowPlacement
{
    float left = 1000;
    float top = 1000;
    float width = 11685;
    float height = 8085;
};

// The six run settings as the program holds them in memory (time-outs in seconds).
struct StoredRunSettings
{
    std::string dnsServerName;
    std::int32_t defaultThreads = 5;
    std::int32_t dnsTimeout = 30;
    std::int32_t smtpTimeout = 120;
    std::string fromAddress = DefaultFromAddress;
    std::string helloName;
    bool readReplyCodes = false;
    bool probeAcceptAll = false;
    std::int32_t perDomainLimit = 0; // checks at once per domain; 0: no limit
    bool recheckGreylisted = false;
    bool followDuplicates = false;
};

// Reads MainLeft, MainTop, MainWidth, MainHeight in that order.
StoredWindowPlacement LoadWindowPlacement();
// Writes the four values in that order. Raises RegistryError.
void SaveWindowPlacement(const StoredWindowPlacement& placement);
// Reads the six run settings in table order, then the two verdict switches,
// PerDomainLimit and RecheckGreylisted; a missing DnsServerName takes the
// DNS-server provider's answer and a missing HelloName the hello-name
// provider's (each asked only when needed).
StoredRunSettings LoadRunSettings();

// Seams for the two defaults that come from outside. The main window sets the
// hello-name provider to ask its first verifier; until then the machine's host
// name is used. The DNS provider defaults to GetDefaultDnsServer(). Passing an
// empty function restores the built-in default. Set them on the GUI thread
// before settings are read.
void SetHelloNameProvider(std::function<std::string()> provider);
void SetDnsServerProvider(std::function<std::string()> provider);
// The machine's host name ("localhost" if it cannot be had).
std::string MachineHostName();

} // namespace corvanta
