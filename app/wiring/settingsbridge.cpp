#include "settingsbridge.h"

#include "settings.h"

namespace corvanta::bridge {

namespace {

std::string Local8(const QString& text)
{
    return text.toLocal8Bit().toStdString();
}

QString FromLocal8(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), qsizetype(text.size()));
}

RegValue ToRegValue(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
        return std::int32_t(value.toInt());
    case QMetaType::Double:
        return value.toDouble();
    case QMetaType::Float:
        return value.toFloat();
    case QMetaType::Bool:
        return value.toBool();
    default:
        return Local8(value.toString());
    }
}

QVariant FromRegValue(const RegValue& value)
{
    if (std::holds_alternative<std::monostate>(value))
        return {};
    if (const auto* text = std::get_if<std::string>(&value))
        return FromLocal8(*text);
    if (const auto* number = std::get_if<std::int32_t>(&value))
        return *number;
    if (const auto* number = std::get_if<double>(&value))
        return *number;
    if (const auto* number = std::get_if<float>(&value))
        return *number;
    return FromLocal8(ValueText(value));
}

} // namespace

QVariant ReadStoredSetting(const QString& key, const QVariant& defaultValue)
{
    return FromRegValue(
        ReadSetting(SettingsApplication, SettingsSection, Local8(key), ToRegValue(defaultValue)));
}

QString WriteStoredSetting(const QString& key, const QVariant& value)
{
    try {
        WriteSetting(SettingsApplication, SettingsSection, Local8(key), ToRegValue(value));
        return {};
    } catch (const RegistryError& error) {
        return QStringLiteral("ERROR #%1: %2")
            .arg(error.number())
            .arg(FromLocal8(error.description()));
    } catch (const std::exception& error) {
        return FromLocal8(error.what());
    }
}

RunSettings ReadStoredRunSettings(const std::function<QString()>& helloName)
{
    SetHelloNameProvider([&helloName] { return Local8(helloName()); });
    const StoredRunSettings stored = LoadRunSettings();
    SetHelloNameProvider({});

    RunSettings values;
    values.DnsServerName = FromLocal8(stored.dnsServerName);
    values.DefaultThreads = stored.defaultThreads;
    values.DnsTimeout = stored.dnsTimeout;
    values.SmtpTimeout = stored.smtpTimeout;
    values.FromAddress = FromLocal8(stored.fromAddress);
    values.HelloName = FromLocal8(stored.helloName);
    values.ReadReplyCodes = stored.readReplyCodes;
    values.ProbeAcceptAll = stored.probeAcceptAll;
    values.PerDomainLimit = stored.perDomainLimit;
    values.RecheckGreylisted = stored.recheckGreylisted;
    values.FollowDuplicates = stored.followDuplicates;
    return values;
}

} // namespace corvanta::bridge
