#pragma once

#include <QString>
#include <QVariant>
#include <functional>

// Reaches the stored settings from Qt code. Kept in its own translation unit
// because the settings library and the run logic each declare a type named
// RunSettings; no file may see both.
namespace corvanta::bridge {

struct StoredRunValues
{
    QString dnsServerName;
    qint32 defaultThreads = 5;
    qint32 dnsTimeout = 30;
    qint32 smtpTimeout = 120;
    QString fromAddress;
    QString helloName;
};

// One value under the program's settings key; the default when missing.
QVariant ReadStoredSetting(const QString& key, const QVariant& defaultValue);
// Stores the value's text; returns what went wrong, or an empty text.
QString WriteStoredSetting(const QString& key, const QVariant& value);
// The six run settings in their fixed order. `helloName` is asked only when
// no HelloName is stored.
StoredRunValues ReadStoredRunSettings(const std::function<QString()>& helloName);

} // namespace corvanta::bridge
