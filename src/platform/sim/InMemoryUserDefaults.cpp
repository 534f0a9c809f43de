#include "platform/sim/InMemoryUserDefaults.h"

namespace korvalen {

std::optional<QVariant> InMemoryUserDefaults::objectForKey(const QString& key) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.constEnd())
        return std::nullopt;
    return *it;
}

void InMemoryUserDefaults::setObject(const QString& key, const QVariant& value)
{
    m_values.insert(key, value);
    ++m_writeCount;
}

void InMemoryUserDefaults::removeObject(const QString& key)
{
    m_values.remove(key);
    ++m_writeCount;
}

} // namespace korvalen
