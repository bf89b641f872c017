#pragma once

#include "runsettings.h"

#include <QString>
#include <QVariant>
#include <functional>

// Reaches the stored settings library from Qt code, turning its 8-bit texts
// and errors into QString.
namespace corvanta::bridge {

// One value under the program's settings key; the default when missing.
QVariant ReadStoredSetting(const QString& key, const QVariant& defaultValue);
// Stores the value's text; returns what went wrong, or an empty text.
QString WriteStoredSetting(const QString& key, const QVariant& value);
// The six run settings in their fixed order. `helloName` is asked only when
// no HelloName is stored.
RunSettings ReadStoredRunSettings(const std::function<QString()>& helloName);

} // namespace corvanta::bridge
