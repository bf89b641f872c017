#pragma once

#include "registryvalue.h"

#include <QString>
#include <QVariant>

namespace corvanta {

// Bridges the Qt-free registry values and the Qt side of the program. Texts
// cross in the system's 8-bit encoding (QString::fromLocal8Bit/toLocal8Bit),
// which is how the registry layer holds them.
//
// To a QVariant: nothing -> invalid QVariant; bool, int, float, double as
// themselves; text -> QString; bytes -> QByteArray.
QVariant ToQVariant(const RegValue& value);
// From a QVariant: invalid or null -> nothing; a whole number that fits 32
// bits -> std::int32_t (so a DWORD write can take it); other numbers ->
// double; QString -> text; QByteArray -> bytes; anything else -> its text.
RegValue FromQVariant(const QVariant& value);

inline std::string ToRegistryText(const QString& text)
{
    return text.toLocal8Bit().toStdString();
}
inline QString FromRegistryText(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace corvanta
