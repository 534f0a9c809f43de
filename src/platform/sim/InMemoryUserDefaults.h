#pragma once

#include "platform/UserDefaults.h"

#include <QVariantMap>

namespace korvalen {

// User defaults that live only in memory, for tests. Counts writes so that tests can tell
// "saved again with the same value" from "not saved".
class InMemoryUserDefaults final : public UserDefaults {
public:
    InMemoryUserDefaults() = default;
    explicit InMemoryUserDefaults(QVariantMap values)
        : m_values(std::move(values))
    {
    }

    std::optional<QVariant> objectForKey(const QString& key) const override;
    void setObject(const QString& key, const QVariant& value) override;
    void removeObject(const QString& key) override;

    const QVariantMap& values() const { return m_values; }
    int writeCount() const { return m_writeCount; }

private:
    QVariantMap m_values;
    int m_writeCount = 0;
};

} // namespace korvalen
