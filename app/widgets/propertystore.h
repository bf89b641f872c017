#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace corvanta {

// Where a control keeps its saved properties between sessions. The host decides
// the medium (a form file, the registry, memory); the control only names entries.
class IPropertyStore
{
public:
    virtual ~IPropertyStore() = default;

    // The stored entry `name`, or `defaultValue` when there is none.
    virtual QVariant readProperty(const QString& name, const QVariant& defaultValue) const = 0;

    // Stores `value` under `name`. An entry equal to `defaultValue` may be left out,
    // since reading it back yields the same value.
    virtual void writeProperty(const QString& name, const QVariant& value,
                               const QVariant& defaultValue) = 0;
};

// An in-memory property store: a small key/value bag. Entries equal to their
// default are not kept, so the bag holds exactly what differs from the defaults.
class PropertyBag final : public IPropertyStore
{
public:
    PropertyBag() = default;
    explicit PropertyBag(QVariantMap values) : m_values(std::move(values)) {}

    QVariant readProperty(const QString& name, const QVariant& defaultValue) const override;
    void writeProperty(const QString& name, const QVariant& value,
                       const QVariant& defaultValue) override;

    const QVariantMap& values() const { return m_values; }
    bool contains(const QString& name) const { return m_values.contains(name); }

private:
    QVariantMap m_values;
};

} // namespace corvanta
