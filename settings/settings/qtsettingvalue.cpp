#include "qtsettingvalue.h"

#include <limits>

namespace corvanta {

QVariant ToQVariant(const RegValue& value)
{
    struct Visitor
    {
        QVariant operator()(std::monostate) const { return {}; }
        QVariant operator()(bool b) const { return b; }
        QVariant operator()(std::int16_t v) const { return static_cast<int>(v); }
        QVariant operator()(std::int32_t v) const { return static_cast<int>(v); }
        QVariant operator()(float v) const { return v; }
        QVariant operator()(double v) const { return v; }
        QVariant operator()(const std::string& s) const { return FromRegistryText(s); }
        QVariant operator()(const ByteArray& b) const
        {
            return QByteArray(reinterpret_cast<const char*>(b.data()),
                              static_cast<qsizetype>(b.size()));
        }
    };
    return std::visit(Visitor{}, value);
}

RegValue FromQVariant(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return std::monostate{};
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        bool ok = false;
        const qlonglong n = value.toLongLong(&ok);
        if (ok && n >= std::numeric_limits<std::int32_t>::min() &&
            n <= std::numeric_limits<std::int32_t>::max())
            return static_cast<std::int32_t>(n);
        return value.toDouble();
    }
    case QMetaType::Float:
        return value.toFloat();
    case QMetaType::Double:
        return value.toDouble();
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return ByteArray(bytes.begin(), bytes.end());
    }
    default:
        return ToRegistryText(value.toString());
    }
}

} // namespace corvanta
